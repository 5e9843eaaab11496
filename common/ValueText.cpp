#include "ValueText.h"

#include <array>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <type_traits>

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

namespace {

struct FreeLocale {
    void operator()(locale_t locale) const noexcept { freelocale(locale); }
};
using LocalePtr = std::unique_ptr<std::remove_pointer_t<locale_t>, FreeLocale>;

// A number from_chars found too large or too small for a float. from_chars leaves the value
// alone then, so the C library rounds it: to an infinity of its sign on overflow, to the nearest
// float (a subnormal or a zero of its sign) on underflow. Always in the "C" locale, whatever the
// program's own locale says a decimal point is.
float OutOfRange(std::string_view text) {
    static const LocalePtr cLocale(newlocale(LC_ALL_MASK, "C", locale_t{}));
    const std::string copy(text);
    if (cLocale == nullptr) {
        return text.front() == '-' ? -HUGE_VALF : HUGE_VALF;
    }
    return strtof_l(copy.c_str(), nullptr, cLocale.get());
}

}  // namespace

std::optional<float> TextToFloat(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n";
    const std::size_t begin = text.find_first_not_of(kBlanks);
    if (begin == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(begin, text.find_last_not_of(kBlanks) - begin + 1);
    if (text.front() == '+') {
        text.remove_prefix(1);  // from_chars takes no plus sign; people do type one
        if (text.empty() || text.front() == '-') {
            return std::nullopt;
        }
    }
    float value = 0.0F;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ptr != end) {
        return std::nullopt;
    }
    if (ec == std::errc::result_out_of_range) {
        return OutOfRange(text);
    }
    if (ec != std::errc()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace korvale
