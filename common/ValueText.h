#pragma once
// Text form of the record's numbers, for the editor's fields and the tool's summary: the
// shortest text that reads back to the same float, and a strict parse of what a person typed.

#include <optional>
#include <string>
#include <string_view>

namespace korvale {

// Plain digits where they stay short ("100000", not "1e+05"), exponent form otherwise; either
// way it reads back to the same float.
[[nodiscard]] std::string FloatToText(float value);
// The float a text stands for, or nothing when it is not a number. Surrounding blanks and one
// leading '+' (not followed by a sign) are allowed; anything else after the number is not. A
// number too large for a float gives an infinity of its sign, so a range check can name the
// accepted range; one too small gives the nearest float, a subnormal or a zero of its sign.
// Infinities and NaN also come from their own text ("inf", "-infinity", "nan").
[[nodiscard]] std::optional<float> TextToFloat(std::string_view text);

}  // namespace korvale
