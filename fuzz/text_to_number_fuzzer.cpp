// The text-to-number rule and the number box rule over arbitrary text.
//
// The whole input is the text. Its first eight bytes also make a double that
// is printed in several ways and must read back exactly.

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "input/text/text_rules.h"

namespace {

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

bool SameNumber(double x, double y) { return x == y && std::signbit(x) == std::signbit(y); }

// Zero is always read as +0.
double PlusZero(double value) { return value == 0.0 ? 0.0 : value; }

int DigitValue(char ch) {
    if (IsDigit(ch)) return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return 99;
}

// Checks the whole number after "&" against plain integer arithmetic, or,
// beyond 64 bits, against the bounds its number of bits sets.
void CheckWholeNumber(std::string_view text, double value) {
    unsigned base = 8;
    if (!text.empty()) {
        const char letter = text.front();
        if (letter == 'H' || letter == 'h') base = 16;
        if (letter == 'B' || letter == 'b') base = 2;
        if (std::string_view("HhOoQqBb").find(letter) != std::string_view::npos) {
            text.remove_prefix(1);
        }
    }
    std::uint64_t whole = 0;
    bool beyond64Bits = false;
    int bits = 0;
    std::string hexDigits;
    for (char ch : text) {
        const auto digit = static_cast<unsigned>(DigitValue(ch));
        if (digit >= base) break;
        hexDigits.push_back(ch);
        if (bits == 0 && digit != 0) {
            bits = std::bit_width(digit);
        } else if (bits != 0) {
            bits += std::bit_width(base - 1);
        }
        if (whole > (std::numeric_limits<std::uint64_t>::max() - digit) / base) {
            beyond64Bits = true;
        } else {
            whole = whole * base + digit;
        }
    }
    if (!beyond64Bits) {
        // Conversion of a 64-bit whole number rounds to nearest, ties to even.
        FUZZ_CHECK(SameNumber(value, static_cast<double>(whole)));
        return;
    }
    if (base == 16) {
        FUZZ_CHECK(SameNumber(value, std::strtod(("0x" + hexDigits).c_str(), nullptr)));
    }
    if (bits > 1024) {
        FUZZ_CHECK(value == std::numeric_limits<double>::infinity());
    } else {
        FUZZ_CHECK(value >= std::ldexp(1.0, bits - 1));
        FUZZ_CHECK(value <= std::ldexp(1.0, bits));
    }
}

// The decimal form of the rule rewritten for strtod, which converts exactly:
// sign, digits with one point, and the exponent only when it has digits.
std::string DecimalForStrtod(std::string_view text, bool& hasDigit) {
    std::string out;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) out += text[i++];
    int digits = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i, ++digits) out += text[i];
    if (i < text.size() && text[i] == '.') {
        out += '.';
        for (++i; i < text.size() && IsDigit(text[i]); ++i, ++digits) out += text[i];
    }
    hasDigit = digits > 0;
    if (i < text.size() && std::string_view("EeDd").find(text[i]) != std::string_view::npos) {
        std::string exponent = "e";
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
        const std::size_t firstDigit = j;
        for (; j < text.size() && IsDigit(text[j]); ++j) exponent += text[j];
        if (j > firstDigit) out += exponent;
    }
    return out;
}

void CheckAgainstModel(std::string_view text, double value) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        FUZZ_CHECK(SameNumber(value, 0.0));
        return;
    }
    text.remove_prefix(first);
    if (text.front() == '&') {
        CheckWholeNumber(text.substr(1), value);
        return;
    }
    bool hasDigit = false;
    const std::string decimal = DecimalForStrtod(text, hasDigit);
    const double expected = hasDigit ? PlusZero(std::strtod(decimal.c_str(), nullptr)) : 0.0;
    FUZZ_CHECK(SameNumber(value, expected));
}

// The number box rule by other means: rint rounds ties to even in the
// default rounding mode, and the residue modulo 65536 is taken from the
// integer mantissa.
std::uint16_t ModelDialogNumber(double value) {
    if (!std::isfinite(value)) return 0;
    const double whole = std::rint(value);
    if (std::fabs(whole) < 0x1p53) {
        return static_cast<std::uint16_t>(
            static_cast<std::uint64_t>(static_cast<std::int64_t>(whole)));
    }
    int exponent = 0;
    const double fraction = std::frexp(whole, &exponent);
    const auto mantissa = static_cast<std::int64_t>(std::ldexp(fraction, 53));
    const int shift = exponent - 53;  // whole = mantissa * 2^shift, shift >= 1
    if (shift >= 16) return 0;
    return static_cast<std::uint16_t>(static_cast<std::uint64_t>(mantissa) << shift);
}

// A double printed by printf in several forms reads back as strtod reads it.
void CheckPrinted(double x, std::string_view choices) {
    auto choice = [&](std::size_t i) -> unsigned char {
        return i < choices.size() ? static_cast<unsigned char>(choices[i]) : 0;
    };
    char buffer[512];

    std::snprintf(buffer, sizeof buffer, "%.17g", x);
    std::string shortest = buffer;
    // The exponent may be written with any of its four letters, after blanks.
    const std::size_t e = shortest.find('e');
    if (e != std::string::npos) shortest[e] = "EeDd"[choice(0) % 4];
    shortest.insert(0, std::string_view(" \t\r\n", choice(1) % 5));
    FUZZ_CHECK(SameNumber(tarvo::TextToNumber(shortest), PlusZero(x)));

    std::snprintf(buffer, sizeof buffer, "%.*e", choice(2) % 30, x);
    FUZZ_CHECK(SameNumber(tarvo::TextToNumber(buffer), PlusZero(std::strtod(buffer, nullptr))));

    if (std::fabs(x) < 1e100) {
        std::snprintf(buffer, sizeof buffer, "%.*f", choice(3) % 30, x);
        FUZZ_CHECK(SameNumber(tarvo::TextToNumber(buffer), PlusZero(std::strtod(buffer, nullptr))));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const double value = tarvo::TextToNumber(text);
    FUZZ_CHECK(!std::isnan(value));
    FUZZ_CHECK(value != 0.0 || !std::signbit(value));
    CheckAgainstModel(text, value);

    // Leading blanks are skipped, and a comma never continues a number.
    FUZZ_CHECK(SameNumber(tarvo::TextToNumber(" \t\r\n" + std::string(text)), value));
    FUZZ_CHECK(SameNumber(tarvo::TextToNumber(std::string(text) + ",5"), value));

    const std::uint16_t boxValue = tarvo::DialogNumber(text);
    FUZZ_CHECK(boxValue == tarvo::DialogNumber(text));
    FUZZ_CHECK(boxValue == ModelDialogNumber(value));

    if (size >= sizeof(double)) {
        double x = 0.0;
        std::memcpy(&x, data, sizeof x);
        // printf writes infinities and NaNs as words the rule does not read.
        if (std::isfinite(x)) CheckPrinted(x, text.substr(sizeof x));
    }
    return 0;
}
