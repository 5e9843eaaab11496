#include "PortableFloatText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace korvale {

namespace {

// d1.d2d3... x 10^exponent
struct Decimal {
    std::string digits;
    int exponent = 0;
};

// The nearest decimal of `count` significant digits (printf rounds exactly), split up.
Decimal Nearest(double value, int count) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*e", count - 1, value);
    Decimal d;
    const char* p = text;
    for (; *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9') {
            d.digits += *p;
        }
    }
    d.exponent = std::atoi(p + 1);
    return d;
}

bool ReadsBack(const Decimal& d, float value) {
    const std::string text =
        d.digits + "e" + std::to_string(d.exponent - static_cast<int>(d.digits.size()) + 1);
    return std::strtof(text.c_str(), nullptr) == value;
}

// The decimal one unit in the last digit up or down, of the same digit count.
Decimal Step(Decimal d, bool up) {
    const std::size_t count = d.digits.size();
    if (up) {
        std::size_t i = count;
        while (i > 0 && d.digits[i - 1] == '9') {
            d.digits[--i] = '0';
        }
        if (i == 0) {
            d.digits.assign(count, '0');
            d.digits[0] = '1';
            ++d.exponent;
        } else {
            ++d.digits[i - 1];
        }
    } else {
        std::size_t i = count;
        while (i > 0 && d.digits[i - 1] == '0') {
            d.digits[--i] = '9';
        }
        --d.digits[i - 1];
        if (d.digits[0] == '0') {  // 1000 - 1: one digit fewer at this count, so 9999 below
            d.digits = std::string(count, '9');
            --d.exponent;
        }
    }
    return d;
}

// The shortest decimal that reads back to value (positive and finite), the nearest of those.
// The two decimals of a count of digits either side of the value are all that can read back;
// the nearer one is tried first, as it is the one to_chars keeps when both do.
Decimal Shortest(float value) {
    const double exact = value;
    for (int count = 1; count < 9; ++count) {  // nine digits always read back
        const Decimal nearest = Nearest(exact, count);
        if (ReadsBack(nearest, value)) {
            return nearest;
        }
        const std::string text =
            nearest.digits + "e" + std::to_string(nearest.exponent - count + 1);
        const Decimal other = Step(nearest, std::strtod(text.c_str(), nullptr) < exact);
        if (ReadsBack(other, value)) {
            return other;
        }
    }
    return Nearest(exact, 9);
}

std::string Fixed(const Decimal& d, float value) {
    const int count = static_cast<int>(d.digits.size());
    if (d.exponent >= count - 1) {
        // A whole number: its exact digits, not the shortest padded with zeros.
        char text[64];
        std::snprintf(text, sizeof text, "%.0f", static_cast<double>(value));
        return text;
    }
    if (d.exponent >= 0) {
        return d.digits.substr(0, static_cast<std::size_t>(d.exponent) + 1) + "." +
               d.digits.substr(static_cast<std::size_t>(d.exponent) + 1);
    }
    std::string text(static_cast<std::size_t>(-d.exponent) + 1, '0');
    text[1] = '.';
    return text.append(d.digits);
}

std::string Scientific(const Decimal& d) {
    std::string text(1, d.digits[0]);
    if (d.digits.size() > 1) {
        text.append(1, '.').append(d.digits, 1);
    }
    const int e = std::abs(d.exponent);
    text += d.exponent < 0 ? "e-" : "e+";
    if (e < 10) {
        text += '0';
    }
    return text + std::to_string(e);
}

}  // namespace

std::string PortableFloatText(float value, FloatForm form) {
    const std::string sign = std::signbit(value) ? "-" : "";
    if (std::isnan(value)) {
        return sign + "nan";
    }
    if (std::isinf(value)) {
        return sign + "inf";
    }
    if (value == 0.0F) {
        return sign + "0";
    }
    const float magnitude = std::fabs(value);
    const Decimal d = Shortest(magnitude);
    const std::string fixed = Fixed(d, magnitude);
    if (form == FloatForm::kFixed) {
        return sign + fixed;
    }
    const std::string scientific = Scientific(d);
    return sign + (fixed.size() <= scientific.size() ? fixed : scientific);
}

}  // namespace korvale
