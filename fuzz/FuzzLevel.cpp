// Fuzz target: one BMAP chunk read from memory. A level that loads saves to exactly
// ChunkSize bytes and loads back with the same type, size and (where its rows covered every
// pixel) the same planes.

#include <algorithm>
#include <cstdint>

#include "CBmap.h"
#include "PixelCodec.h"
#include "FuzzSupport.h"

namespace {

bool SamePlanes(const korvale::CBmap& a, const korvale::CBmap& b) {
    for (int p = 0; p < korvale::CBmap::kPlanes; ++p) {
        const auto x = a.Plane(static_cast<korvale::PlaneId>(p));
        const auto y = b.Plane(static_cast<korvale::PlaneId>(p));
        if (!std::equal(x.begin(), x.end(), y.begin(), y.end())) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    korvale::fuzz::SilenceTrace();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using korvale::fuzz::Require;
    korvale::fuzz::InputStream in(data, size);
    korvale::CCmap global;
    global.SetDefault();
    korvale::CCmap palette;
    korvale::CBmap level;
    const int result = level.Load(in.Get(), palette, global);
    Require(result == 0 || result == 1, "CBmap::Load result out of range");
    if (result == 0) {
        Require(!level.HasData(), "a rejected level holds data");
        return 0;
    }
    const bool covered = level.Bpr() >= korvale::WriterBpr(level.Type(), level.Width());
    korvale::fuzz::OutputStream out;
    Require(level.Save(out.Get(), palette, true) == 1, "save failed");
    const auto bytes = out.Bytes();
    Require(bytes.size() == static_cast<std::size_t>(level.ChunkSize(true)),
            "saved size differs from ChunkSize");
    korvale::fuzz::InputStream again(bytes.data(), bytes.size());
    korvale::CCmap palette2;
    korvale::CBmap reloaded;
    Require(reloaded.Load(again.Get(), palette2, global) == 1, "saved level does not load");
    Require(reloaded.Type() == level.Type() && reloaded.Width() == level.Width() &&
                reloaded.Height() == level.Height(),
            "type or size changed");
    Require(!covered || SamePlanes(level, reloaded), "planes changed");
    return 0;
}
