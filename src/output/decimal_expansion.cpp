#include "output/decimal_expansion.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace tarvo {

namespace {

constexpr int kSignificantDigits = 18;

// An infinity reads as nineteen 9s followed by zeros up to 999 integer digits.
constexpr int kInfinityNines = 19;
constexpr int kInfinityIntegerDigits = 999;

}  // namespace

DecimalExpansion ExpandMagnitude(double value) {
    const double magnitude = std::fabs(value);
    if (std::isinf(magnitude)) {
        return {std::string(kInfinityNines, '9') +
                    std::string(kInfinityIntegerDigits - kInfinityNines, '0'),
                {}};
    }
    if (magnitude == 0.0) return {};

    // Scientific notation with 17 digits after the point is the exact value
    // correctly rounded to 18 significant digits, ties to even:
    // "d.ddddddddddddddddde-XX".
    char buffer[64];
    const auto converted = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                         std::chars_format::scientific, kSignificantDigits - 1);
    const std::string_view text(buffer, static_cast<std::size_t>(converted.ptr - buffer));

    std::string digits(1, text[0]);
    digits.append(text.substr(2, kSignificantDigits - 1));

    std::string_view exponentText = text.substr(text.find('e') + 1);
    if (exponentText.front() == '+') exponentText.remove_prefix(1);
    int exponent = 0;
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);

    // Number of the 18 digits that stand before the decimal point.
    const int integerCount = exponent + 1;
    DecimalExpansion expansion;
    if (integerCount <= 0) {
        expansion.fractionDigits =
            std::string(static_cast<std::size_t>(-integerCount), '0') + digits;
    } else if (integerCount >= kSignificantDigits) {
        expansion.integerDigits =
            digits + std::string(static_cast<std::size_t>(integerCount - kSignificantDigits), '0');
    } else {
        expansion.integerDigits = digits.substr(0, static_cast<std::size_t>(integerCount));
        expansion.fractionDigits = digits.substr(static_cast<std::size_t>(integerCount));
    }
    return expansion;
}

}  // namespace tarvo
