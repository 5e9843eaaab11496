#pragma once
// Text form of the dialog's numbers: the shortest text that reads back to the same float, and
// a strict parse of what the user typed.

#include <QString>
#include <optional>

namespace korvale {

[[nodiscard]] QString FloatToText(float value);
// The float a field's text stands for, or nothing when it is not a number. Surrounding blanks
// are allowed; anything else after the number is not.
[[nodiscard]] std::optional<float> TextToFloat(const QString& text);

}  // namespace korvale
