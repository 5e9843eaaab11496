// Fuzz target: a MIP file read from memory. Whatever loads must save, and what the save wrote
// must load back to the same slots, types, sizes and planes.

#include <cstdint>
#include <span>

#include "FuzzSupport.h"
#include "MemStream.h"
#include "RoundTrip.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    korvale::fuzz::SilenceTrace();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    korvale::test::MemStream in(std::span(data, size));
    korvale::CMip mip;
    const int result = mip.Load(in.Get());
    korvale::fuzz::Require(result == 0 || result == 1, "CMip::Load result out of range");
    if (result == 1) {
        korvale::fuzz::Require(korvale::test::RoundTripProblem(mip));
    }
    return 0;
}
