#pragma once
// The shortest text that reads back to the same float, written exactly as std::to_chars writes
// it, for C++ libraries that lack floating-point to_chars (the WebAssembly build's).

#include <string>

namespace korvale {

enum class FloatForm {
    kShortest,  // to_chars(first, last, value): plain digits or exponent form, whichever is shorter
    kFixed,     // to_chars(first, last, value, std::chars_format::fixed)
};

[[nodiscard]] std::string PortableFloatText(float value, FloatForm form);

}  // namespace korvale
