#include "editor/FieldText.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace korvale {

QString FloatToText(float value) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return QString::fromLatin1(buffer.data(), static_cast<qsizetype>(result.ptr - buffer.data()));
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
