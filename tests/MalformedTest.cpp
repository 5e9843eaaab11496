// Damage sweeps over a generated SRB file: every byte flipped, zeroed and cut. Whatever happens,
// the loader must not crash, must keep its promises about results, and whatever it loads must
// save and load back unchanged.

#include <gtest/gtest.h>

#include "CSrb.h"
#include "Limits.h"
#include "RoundTrip.h"
#include "TestSupport.h"

namespace korvale::test {
namespace {

Bytes GeneratedSrb(CSrb& srb) {
    srb.header = {1, 2, 3, 4, 5, 6};
    EXPECT_TRUE(MakeMipSet(srb.mip, 0, 2, 3));
    // Mix the types: slot 2 and 0 become 16-bit levels.
    EXPECT_TRUE(FillPattern(srb.mip.levels[2], 5, 4, 4, 3));
    EXPECT_TRUE(FillPattern(srb.mip.levels[0], 3, 1, 1, 4));
    ScratchDir dir;
    EXPECT_GT(srb.Save(dir.Path("gen.srb")), 0);
    return ReadFile(dir.Path("gen.srb"));
}

int LoadBytes(CSrb& srb, const Bytes& bytes) {
    MemStream in(bytes);
    return srb.Load(in.Get());
}

// Whatever loaded is sane and survives a save and a reload; "" when so. (Failures are reported
// after the sweep, since its trace output is captured.)
std::string SaneAndStable(CSrb& loaded) {
    for (const CBmap& level : loaded.mip.levels) {
        if (level.HasData() &&
            (level.Width() < 0 || level.Width() > limits::kMaxSide || level.Height() < 0 ||
             level.Height() > limits::kMaxSide ||
             level.Plane(PlaneId::kA).size() != static_cast<std::size_t>(level.Width()) *
                                                    static_cast<std::size_t>(level.Height()))) {
            return "level out of bounds";
        }
    }
    return RoundTripProblem(loaded.mip);
}

TEST(Malformed, EveryByteFlippedOrZeroedLoadsSafely) {
    CSrb original;
    const Bytes file = GeneratedSrb(original);
    ASSERT_GT(file.size(), 300U);
    std::vector<std::string> problems;
    (void)CaptureStdout([&] {
        for (std::size_t i = 0; i < file.size(); ++i) {
            for (const int change : {0xFF, 0x80, 0x01, -1}) {
                Bytes damaged = file;
                damaged[i] = change < 0 ? 0 : static_cast<std::uint8_t>(damaged[i] ^ change);
                CSrb srb;
                const int r = LoadBytes(srb, damaged);
                std::string problem =
                    r < -1 || r > 1 ? "result " + std::to_string(r) : SaneAndStable(srb);
                if (!problem.empty()) {
                    problems.push_back("byte " + std::to_string(i) + " change " +
                                       std::to_string(change) + ": " + problem);
                }
            }
        }
    });
    EXPECT_TRUE(problems.empty()) << problems.size() << " problems, first: "
                                  << (problems.empty() ? std::string() : problems.front());
}

TEST(Malformed, TruncatedFilesLoadOnlyWholeLevels) {
    CSrb original;
    const Bytes file = GeneratedSrb(original);
    std::vector<std::string> problems;
    (void)CaptureStdout([&] {
        for (std::size_t length = 0; length <= file.size(); ++length) {
            CSrb srb;
            const int r = LoadBytes(
                srb, Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length)));
            // -1 while a checked header word is cut (the nine SRH2 words are not checked), 0 when
            // the mip set's tag is missing, 1 once it is there.
            const int expected = length < 60 ? -1 : length < 100 ? 0 : 1;
            if (r != expected) {
                problems.push_back("cut at " + std::to_string(length) + ": result " +
                                   std::to_string(r));
            }
            for (std::size_t k = 0; k < CMip::kSlots; ++k) {
                const CBmap& level = srb.mip.levels[k];
                // A level is either complete and exact, or not there at all; the whole file has
                // all.
                const bool whole = length == file.size();
                if ((level.HasData() || whole) && !SameLevel(level, original.mip.levels[k])) {
                    problems.push_back("cut at " + std::to_string(length) + ": slot " +
                                       std::to_string(k));
                }
            }
        }
    });
    EXPECT_TRUE(problems.empty()) << problems.size() << " problems, first: "
                                  << (problems.empty() ? std::string() : problems.front());
}

}  // namespace
}  // namespace korvale::test
