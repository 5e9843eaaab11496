#include "ValueText.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <type_traits>

#include "PortableFloatText.h"

namespace korvale {

#if defined(__cpp_lib_to_chars) && !defined(KORVALE_PORTABLE_FLOAT_TEXT)
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
#else
// Without floating-point to_chars: the same text by way of printf and strtof.
std::string FloatToText(float value) {
    constexpr std::size_t kLongestPlain = 12;
    std::string fixed = PortableFloatText(value, FloatForm::kFixed);
    return fixed.size() <= kLongestPlain ? fixed : PortableFloatText(value, FloatForm::kShortest);
}
#endif

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

#if !defined(__cpp_lib_to_chars) || defined(KORVALE_PORTABLE_FLOAT_TEXT)
bool StartsWithNoCase(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        const char c =
            text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (c != word[i]) {
            return false;
        }
    }
    return true;
}

// What from_chars takes of text in its general format, for C++ libraries without it: an
// optional '-', then "inf", "infinity", "nan" or "nan(...)" in any case, or digits with at most
// one '.' and at least one digit, then an exponent if one follows whole. No '+', no blanks, no
// hexadecimal. The value is strtof's of that much, in the "C" locale.
std::from_chars_result FromChars(std::string_view text, float& value) {
    std::size_t at = text.empty() || text.front() != '-' ? 0 : 1;
    const auto digitsFrom = [&](std::size_t from) {
        std::size_t to = from;
        while (to < text.size() && text[to] >= '0' && text[to] <= '9') {
            ++to;
        }
        return to;
    };
    const std::string_view rest = text.substr(at);
    std::size_t taken = 0;
    if (StartsWithNoCase(rest, "infinity")) {
        taken = 8;
    } else if (StartsWithNoCase(rest, "inf")) {
        taken = 3;
    } else if (StartsWithNoCase(rest, "nan")) {
        taken = 3;
        if (taken < rest.size() && rest[taken] == '(') {
            std::size_t close = taken + 1;
            while (close < rest.size() &&
                   (std::isalnum(static_cast<unsigned char>(rest[close])) != 0 ||
                    rest[close] == '_')) {
                ++close;
            }
            if (close < rest.size() && rest[close] == ')') {
                taken = close + 1;
            }
        }
    } else {
        const std::size_t whole = digitsFrom(at);
        std::size_t end = whole;
        std::size_t fraction = whole;
        if (whole < text.size() && text[whole] == '.') {
            fraction = digitsFrom(whole + 1);
            end = fraction;
        }
        if (whole == at && fraction <= whole + 1) {
            return {text.data(), std::errc::invalid_argument};  // no digit at all
        }
        if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
            std::size_t sign = end + 1;
            if (sign < text.size() && (text[sign] == '+' || text[sign] == '-')) {
                ++sign;
            }
            const std::size_t exponent = digitsFrom(sign);
            if (exponent > sign) {
                end = exponent;
            }
        }
        taken = end - at;
    }
    if (taken == 0) {
        return {text.data(), std::errc::invalid_argument};
    }
    const std::string copy(text.substr(0, at + taken));
    static const LocalePtr cLocale(newlocale(LC_ALL_MASK, "C", locale_t{}));
    errno = 0;
    value = cLocale != nullptr ? strtof_l(copy.c_str(), nullptr, cLocale.get())
                               : std::strtof(copy.c_str(), nullptr);
    const bool outOfRange = errno == ERANGE;
    if (std::isnan(value)) {
        // As glibc reads it: the sign kept (musl drops it), no payload.
        value = std::copysign(std::numeric_limits<float>::quiet_NaN(), at == 1 ? -1.0F : 1.0F);
    }
    return {text.data() + at + taken, outOfRange ? std::errc::result_out_of_range : std::errc()};
}
#endif

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
#if defined(__cpp_lib_to_chars) && !defined(KORVALE_PORTABLE_FLOAT_TEXT)
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
#else
    const auto [ptr, ec] = FromChars(text, value);
#endif
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
