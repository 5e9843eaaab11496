// Fuzz target: one BMAP chunk read from memory. A level that loads saves to exactly
// ChunkSize bytes and loads back with the same type, size and (where its rows covered every
// pixel) the same planes.

#include <cstdint>
#include <span>

#include "CBmap.h"
#include "FuzzSupport.h"
#include "MemStream.h"
#include "PixelCodec.h"
#include "PlaneCompare.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    korvale::fuzz::SilenceTrace();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using korvale::fuzz::Require;
    using korvale::test::MemStream;
    MemStream in(std::span(data, size));
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
    MemStream out;
    Require(level.Save(out.Get(), palette, true) == 1, "save failed");
    const auto bytes = out.Written();
    Require(bytes.size() == static_cast<std::size_t>(level.ChunkSize(true)),
            "saved size differs from ChunkSize");
    MemStream again(bytes);
    korvale::CCmap palette2;
    korvale::CBmap reloaded;
    Require(reloaded.Load(again.Get(), palette2, global) == 1, "saved level does not load");
    Require(reloaded.Type() == level.Type() && reloaded.Width() == level.Width() &&
                reloaded.Height() == level.Height(),
            "type or size changed");
    Require(!covered || korvale::test::SamePlanes(level, reloaded), "planes changed");
    return 0;
}
