// Fuzz target: an SRB file read from memory. Results stay within -1..1, and the embedded mip
// set survives a save and reload.

#include <cstdint>
#include <span>

#include "CSrb.h"
#include "FuzzSupport.h"
#include "MemStream.h"
#include "RoundTrip.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    korvale::fuzz::SilenceTrace();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    korvale::test::MemStream in(std::span(data, size));
    korvale::CSrb srb;
    const int result = srb.Load(in.Get());
    korvale::fuzz::Require(result >= -1 && result <= 1, "CSrb::Load result out of range");
    if (result == 1) {
        korvale::fuzz::Require(korvale::test::RoundTripProblem(srb.mip));
    }
    return 0;
}
