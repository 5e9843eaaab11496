#include "editor/FieldText.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace korvale {

QString FloatToText(float value) {
    // Plain digits read best ("100000", not "1e+05"); exponents only where plain digits would
    // run long. Either way it is the shortest text that reads back to the same float.
    constexpr std::ptrdiff_t kLongestPlain = 12;
    std::array<char, 128> buffer{};
    char* const first = buffer.data();
    const auto fixed = std::to_chars(first, first + buffer.size(), value, std::chars_format::fixed);
    if (fixed.ec == std::errc() && fixed.ptr - first <= kLongestPlain) {
        return QString::fromLatin1(first, static_cast<qsizetype>(fixed.ptr - first));
    }
    const auto shortest = std::to_chars(first, first + buffer.size(), value);
    return QString::fromLatin1(first, static_cast<qsizetype>(shortest.ptr - first));
}

std::optional<float> TextToFloat(const QString& text) {
    std::string s = text.trimmed().toStdString();
    if (!s.empty() && s.front() == '+') {
        s.erase(0, 1);  // from_chars takes no plus sign, people do type one
    }
    if (s.empty()) {
        return std::nullopt;
    }
    float value = 0.0F;
    const char* end = s.data() + s.size();
    const auto [ptr, ec] = std::from_chars(s.data(), end, value);
    if (ptr != end) {
        return std::nullopt;
    }
    if (ec == std::errc::result_out_of_range) {
        // A number too large (or too small) for a float: keep its sign so the range check
        // names the accepted range instead of saying it is no number.
        return s.front() == '-' ? -HUGE_VALF : HUGE_VALF;
    }
    if (ec != std::errc()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace korvale
