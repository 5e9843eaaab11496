#include "ValueText.h"

#include <array>
#include <charconv>
#include <cmath>

namespace korvale {

std::string FloatToText(float value) {
    constexpr std::ptrdiff_t kLongestPlain = 12;
    std::array<char, 128> buffer{};
    char* const first = buffer.data();
    const auto fixed = std::to_chars(first, first + buffer.size(), value, std::chars_format::fixed);
    if (fixed.ec == std::errc() && fixed.ptr - first <= kLongestPlain) {
        return std::string(first, fixed.ptr);
    }
    const auto shortest = std::to_chars(first, first + buffer.size(), value);
    return std::string(first, shortest.ptr);
}

std::optional<float> TextToFloat(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n";
    const std::size_t begin = text.find_first_not_of(kBlanks);
    if (begin == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(begin, text.find_last_not_of(kBlanks) - begin + 1);
    if (text.front() == '+') {
        text.remove_prefix(1);  // from_chars takes no plus sign; people do type one
    }
    if (text.empty()) {
        return std::nullopt;
    }
    float value = 0.0F;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ptr != end) {
        return std::nullopt;
    }
    if (ec == std::errc::result_out_of_range) {
        return text.front() == '-' ? -HUGE_VALF : HUGE_VALF;
    }
    if (ec != std::errc()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace korvale
