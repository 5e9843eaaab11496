#pragma once
// Included before every file of the WebAssembly build (scripts/wasm.sh). emscripten 3.1.6's
// C++ library predates std::bit_cast; the compiler (clang 14) has it built in, so the sources
// stay the same in both builds.

#include <bit>
#include <type_traits>
#include <version>

#ifndef __cpp_lib_bit_cast
namespace std {
template <class To, class From>
requires(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To> &&
         is_trivially_copyable_v<From>) constexpr To bit_cast(const From& from) noexcept {
    return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif
