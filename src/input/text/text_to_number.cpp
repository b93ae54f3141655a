// The text-to-number rule (declared in text_rules.h). The accepted text is
// rewritten into a short normalised form and converted with std::from_chars,
// which is exact (correctly rounded) and does not depend on the locale.

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "input/text/text_rules.h"

namespace tarvo {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Decimal digits kept for the conversion. Beyond about 770 significant digits
// later digits only matter as "something non-zero follows", which one extra
// digit 1 records.
constexpr std::size_t kMaxSignificantDigits = 800;
// A decimal exponent clamped far outside the double range; it only has to
// keep its sign and stay clear of overflow while digits are added.
constexpr std::int64_t kExponentClamp = 1'000'000'000;
// Binary digits above which a whole number is certainly beyond the double range.
constexpr std::size_t kMaxWholeBits = 1100;

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

bool IsLeadingBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; }

int DigitValue(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    return 99;
}

// The whole number after "&", in base 16, 8 or 2.
double ReadWholeNumber(std::string_view text) {
    int base = 8;
    int bitsPerDigit = 3;
    if (!text.empty()) {
        switch (text.front()) {
            case 'H':
            case 'h':
                base = 16;
                bitsPerDigit = 4;
                text.remove_prefix(1);
                break;
            case 'O':
            case 'o':
            case 'Q':
            case 'q':
                text.remove_prefix(1);
                break;
            case 'B':
            case 'b':
                base = 2;
                bitsPerDigit = 1;
                text.remove_prefix(1);
                break;
            default:
                break;  // bare "&": octal digits follow at once
        }
    }

    // Collect the significant bits, then convert them as a hexadecimal number.
    std::string bits;
    for (char ch : text) {
        const int digit = DigitValue(ch);
        if (digit >= base) break;
        for (int bit = bitsPerDigit - 1; bit >= 0; --bit) {
            const bool one = ((digit >> bit) & 1) != 0;
            if (one || !bits.empty()) bits.push_back(one ? '1' : '0');
        }
        if (bits.size() > kMaxWholeBits) return kInfinity;
    }
    if (bits.empty()) return 0.0;

    bits.insert(0, (4 - bits.size() % 4) % 4, '0');
    std::string hex;
    for (std::size_t i = 0; i < bits.size(); i += 4) {
        const int nibble = (bits[i] - '0') * 8 + (bits[i + 1] - '0') * 4 + (bits[i + 2] - '0') * 2 +
                           (bits[i + 3] - '0');
        hex.push_back("0123456789abcdef"[nibble]);
    }
    double value = 0.0;
    const auto result =
        std::from_chars(hex.data(), hex.data() + hex.size(), value, std::chars_format::hex);
    return result.ec == std::errc() ? value : kInfinity;
}

// Adds a decimal exponent digit, staying within the clamp.
std::int64_t AppendExponentDigit(std::int64_t exponent, int digit) {
    return exponent >= kExponentClamp ? kExponentClamp : exponent * 10 + digit;
}

// Sign, digits with at most one point, optional exponent.
double ReadDecimalNumber(std::string_view text) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }

    // Significant digits (leading zeros dropped) and the power of ten of the
    // first of them: value = 0.<digits> * 10^order.
    std::string digits;
    bool sawDigit = false;
    bool droppedNonZero = false;
    std::int64_t order = 0;
    auto takeDigit = [&](char ch, bool beforePoint) {
        sawDigit = true;
        if (digits.empty() && ch == '0') {
            if (!beforePoint && order > -kExponentClamp) --order;
            return;
        }
        if (beforePoint && order < kExponentClamp) ++order;
        if (digits.size() < kMaxSignificantDigits) {
            digits.push_back(ch);
        } else if (ch != '0') {
            droppedNonZero = true;
        }
    };
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) takeDigit(text[pos], true);
    if (pos < text.size() && text[pos] == '.') {
        for (++pos; pos < text.size() && IsDigit(text[pos]); ++pos) takeDigit(text[pos], false);
    }
    if (!sawDigit) return 0.0;

    std::int64_t exponent = 0;
    if (pos < text.size() &&
        (text[pos] == 'E' || text[pos] == 'e' || text[pos] == 'D' || text[pos] == 'd')) {
        ++pos;
        bool negativeExponent = false;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
            negativeExponent = text[pos] == '-';
            ++pos;
        }
        for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
            exponent = AppendExponentDigit(exponent, text[pos] - '0');
        }
        if (negativeExponent) exponent = -exponent;
    }

    if (digits.empty()) return 0.0;  // all zeros: +0, never -0
    const std::int64_t scale = order + exponent;
    const double infinity = negative ? -kInfinity : kInfinity;
    if (scale > 400) return infinity;
    if (scale < -400) return 0.0;

    if (droppedNonZero) digits.push_back('1');
    std::string normalised = negative ? "-0." : "0.";
    normalised += digits;
    normalised += 'e';
    normalised += std::to_string(scale);

    double value = 0.0;
    const auto result = std::from_chars(normalised.data(), normalised.data() + normalised.size(),
                                        value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) return scale > 0 ? infinity : 0.0;
    return value == 0.0 ? 0.0 : value;
}

}  // namespace

double TextToNumber(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsLeadingBlank(text[pos])) ++pos;
    text.remove_prefix(pos);
    if (text.empty()) return 0.0;
    if (text.front() == '&') return ReadWholeNumber(text.substr(1));
    return ReadDecimalNumber(text);
}

}  // namespace tarvo
