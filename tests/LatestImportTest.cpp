// The preview's imports on their own thread: the newest request wins, an older result is never
// handed out, and destroying the importer while it works waits for the import and reports
// nothing. The imports here are stand-ins held at a gate, so the order of events is the test's.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "LatestImport.h"
#include "MemStream.h"
#include "PictureBuilder.h"

namespace korvale {
namespace {

using namespace std::chrono_literals;

// Stand-in imports: each records the top width it was asked for, waits until the test lets it
// through, and makes a set whose colour count is that width (a failure for width 0).
class Gate {
  public:
    LatestImport::Work Work() {
        return [this](const ImportOptions& options, CMip& mip) {
            std::unique_lock guard(lock_);
            started_.push_back(options.topWidth);
            const std::size_t mine = started_.size();
            changed_.notify_all();
            changed_.wait(guard, [&] { return opened_ >= mine; });
            finished_ = mine;
            if (options.topWidth == 0) {
                return Status::Failure("no top width");
            }
            mip.col = options.topWidth;
            return Status();
        };
    }
    LatestImport::Ready Ready() {
        return [this](std::uint64_t request) {
            const std::scoped_lock guard(lock_);
            ready_.push_back(request);
            changed_.notify_all();
        };
    }
    // Lets the next count imports through (those started and those still to come).
    void Open(std::size_t count = 1) {
        const std::scoped_lock guard(lock_);
        opened_ += count;
        changed_.notify_all();
    }
    void WaitStarted(std::size_t count) {
        std::unique_lock guard(lock_);
        changed_.wait(guard, [&] { return started_.size() >= count; });
    }
    void WaitReady(std::size_t count) {
        std::unique_lock guard(lock_);
        changed_.wait(guard, [&] { return ready_.size() >= count; });
    }
    std::vector<int> Started() {
        const std::scoped_lock guard(lock_);
        return started_;
    }
    std::vector<std::uint64_t> Reported() {
        const std::scoped_lock guard(lock_);
        return ready_;
    }
    std::size_t Finished() {
        const std::scoped_lock guard(lock_);
        return finished_;
    }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<int> started_;
    std::vector<std::uint64_t> ready_;
    std::size_t opened_ = 0;
    std::size_t finished_ = 0;
};

ImportOptions Width(int width) {
    ImportOptions options;
    options.topWidth = width;
    return options;
}

TEST(LatestImport, ARequestIsMadeReportedAndHandedOutOnce) {
    Gate gate;
    LatestImport imports(gate.Work(), gate.Ready());
    EXPECT_EQ(imports.Newest(), 0U);
    const std::uint64_t request = imports.Ask(Width(64));
    EXPECT_EQ(request, 1U);
    EXPECT_TRUE(imports.Busy());
    EXPECT_FALSE(imports.Take(request).has_value());  // still at the gate
    gate.Open();
    const auto made = imports.Wait(request);
    ASSERT_TRUE(made.has_value());
    EXPECT_EQ(made->request, 1U);
    EXPECT_TRUE(made->status.Ok());
    EXPECT_EQ(made->mip.col, 64);
    EXPECT_FALSE(imports.Busy());
    // Handed out: neither a second take nor a wait gives it again, and a wait does not hang.
    EXPECT_FALSE(imports.Take(request).has_value());
    EXPECT_FALSE(imports.Wait(request).has_value());
    gate.WaitReady(1);
    EXPECT_EQ(gate.Reported(), (std::vector<std::uint64_t>{1}));
}

TEST(LatestImport, AFailureIsHandedOutWithItsReason) {
    Gate gate;
    gate.Open();
    LatestImport imports(gate.Work(), gate.Ready());
    const auto made = imports.Wait(imports.Ask(Width(0)));
    ASSERT_TRUE(made.has_value());
    EXPECT_EQ(made->status.Reason(), "no top width");
}

TEST(LatestImport, RequestsWhileOneRunsReplaceEachOtherAndOnlyTheNewestIsMade) {
    Gate gate;
    LatestImport imports(gate.Work(), gate.Ready());
    const std::uint64_t first = imports.Ask(Width(1));
    gate.WaitStarted(1);
    // The user goes on changing options while the first import runs.
    EXPECT_EQ(imports.Ask(Width(2)), 2U);
    EXPECT_EQ(imports.Ask(Width(3)), 3U);
    const std::uint64_t newest = imports.Ask(Width(4));
    EXPECT_EQ(newest, 4U);
    EXPECT_FALSE(imports.Wait(first).has_value());  // replaced: returns at once
    gate.Open(2);
    const auto made = imports.Wait(newest);
    ASSERT_TRUE(made.has_value());
    EXPECT_EQ(made->request, newest);
    EXPECT_EQ(made->mip.col, 4);
    // 2 and 3 never ran; 1 ran, but only 4 was reported.
    EXPECT_EQ(gate.Started(), (std::vector<int>{1, 4}));
    gate.WaitReady(1);  // reported just after it can be taken
    EXPECT_EQ(gate.Reported(), (std::vector<std::uint64_t>{4}));
    EXPECT_FALSE(imports.Take(first).has_value());
}

TEST(LatestImport, AResultNotTakenBeforeANewerRequestIsDropped) {
    Gate gate;
    gate.Open(2);
    LatestImport imports(gate.Work(), gate.Ready());
    const std::uint64_t first = imports.Ask(Width(8));
    gate.WaitReady(1);  // made and reported; the front end has not taken it yet
    const std::uint64_t second = imports.Ask(Width(16));
    EXPECT_FALSE(imports.Take(first).has_value());
    EXPECT_FALSE(imports.Wait(first).has_value());
    const auto made = imports.Wait(second);
    ASSERT_TRUE(made.has_value());
    EXPECT_EQ(made->mip.col, 16);
    gate.WaitReady(2);  // reported just after it can be taken
    EXPECT_EQ(gate.Reported(), (std::vector<std::uint64_t>{1, 2}));
}

TEST(LatestImport, ForgottenRequestsAreNeitherStartedNorReported) {
    Gate gate;
    LatestImport imports(gate.Work(), gate.Ready());
    const std::uint64_t running = imports.Ask(Width(1));
    gate.WaitStarted(1);
    const std::uint64_t waiting = imports.Ask(Width(2));
    imports.Forget();
    EXPECT_FALSE(imports.Wait(running).has_value());  // at once: neither is the newest
    EXPECT_FALSE(imports.Wait(waiting).has_value());
    gate.Open(2);
    // A request after it is made as usual, and only it is reported.
    const auto made = imports.Wait(imports.Ask(Width(3)));
    ASSERT_TRUE(made.has_value());
    EXPECT_EQ(made->mip.col, 3);
    EXPECT_EQ(gate.Started(), (std::vector<int>{1, 3}));
    gate.WaitReady(1);
    EXPECT_EQ(gate.Reported(), (std::vector<std::uint64_t>{4}));  // 3 was Forget's number
}

TEST(LatestImport, DestroyedWhileWorkingWaitsForTheImportAndReportsNothing) {
    struct Case {
        const char* name;
        int asked;  // requests asked for: the first runs, any other waits behind it
    };
    for (const Case c : {Case{"one running", 1}, Case{"one running, one waiting", 2}}) {
        SCOPED_TRACE(c.name);
        Gate gate;
        std::thread opener;
        {
            LatestImport imports(gate.Work(), gate.Ready());
            (void)imports.Ask(Width(1));
            gate.WaitStarted(1);
            for (int i = 2; i <= c.asked; ++i) {
                (void)imports.Ask(Width(i));
            }
            // The running import can only end once the destructor is already waiting for it.
            opener = std::thread([&gate] {
                std::this_thread::sleep_for(50ms);
                gate.Open(2);
            });
        }
        EXPECT_EQ(gate.Finished(), 1U);  // the import had ended when the destructor returned
        opener.join();
        EXPECT_EQ(gate.Started(), (std::vector<int>{1}));
        EXPECT_TRUE(gate.Reported().empty());
    }
}

TEST(LatestImport, ThePictureImportIsTheDirectImport) {
    const Image picture = test::Picture(48, 40, [](int x, int y) {
        return Rgba8{static_cast<std::uint8_t>(x * 5), static_cast<std::uint8_t>(y * 6), 40, 255};
    });
    ImportOptions options;
    options.type = 0;
    options.topWidth = 32;
    options.topHeight = 16;
    options.levels = 3;
    LatestImport imports(picture, nullptr);
    const auto made = imports.Wait(imports.Ask(options));
    ASSERT_TRUE(made.has_value());
    ASSERT_TRUE(made->status.Ok()) << made->status.Reason();
    EXPECT_EQ(made->mip.FilledSlots(), (std::vector<int>{5, 4, 3}));  // 32 x 16 down to 8 x 4
    CMip direct;
    ASSERT_TRUE(ImportImage(picture, options, direct).Ok());
    test::MemStream ours;
    test::MemStream theirs;
    ASSERT_EQ(made->mip.Save(ours.Get()), 1);
    ASSERT_EQ(direct.Save(theirs.Get()), 1);
    EXPECT_EQ(ours.Written(), theirs.Written());
}

}  // namespace
}  // namespace korvale
