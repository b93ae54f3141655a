// FormatWithMask over any double with each of the seven masks.
//
// Input: "B" and eight bytes taken as the bits of the double (NaN payloads,
// subnormals, infinities), or else text read by strtod ("0.0625", "-0.0004",
// "1e308", "nan(0x12)", "0x1p-1074"). What follows the number is used as an
// arbitrary mask, which must not crash the formatter.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "output/masks.h"

namespace {

struct MaskCase {
    std::string_view mask;
    int decimals;
    std::size_t width;  // the width a filled result has at least; 0 when not filled
};

constexpr MaskCase kMasks[] = {
    {tarvo::kMaskCount, 0, 4},   {tarvo::kMaskSeqId, 0, 5},    {tarvo::kMaskParameter, 3, 7},
    {tarvo::kMaskTheta, 4, 9},   {tarvo::kMaskSeeTheta, 4, 8}, {tarvo::kMaskChange, 11, 0},
    {tarvo::kMaskVersion, 2, 0},
};

// The rendering by whole-number arithmetic: printf gives the exact value's
// first 18 significant digits (ties to even), which are then rounded to the
// mask's decimals as one integer, ties to even.
std::string ModelText(double value, int decimals) {
    if (std::isnan(value) || value == 0.0) value = 0.0;
    std::string units;  // the magnitude in units of 10^-decimals
    if (std::isinf(value)) {
        units = std::string(19, '9') + std::string(980 + decimals, '0');
    } else if (value != 0.0) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.17e", std::fabs(value));
        std::uint64_t mantissa = 0;  // value = mantissa * 10^(exponent - 17)
        for (const char* p = buffer; *p != 'e'; ++p) {
            if (*p != '.') mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
        }
        const int shift = std::atoi(std::strchr(buffer, 'e') + 1) - 17 + decimals;
        if (shift >= 0) {
            units = std::to_string(mantissa) + std::string(static_cast<std::size_t>(shift), '0');
        } else if (shift >= -19) {
            std::uint64_t divisor = 1;
            for (int i = 0; i < -shift; ++i) divisor *= 10;
            std::uint64_t quotient = mantissa / divisor;
            const std::uint64_t remainder = mantissa % divisor;
            const std::uint64_t rest = divisor - remainder;
            if (remainder > rest || (remainder == rest && quotient % 2 == 1)) ++quotient;
            units = std::to_string(quotient);
        }
        // Below 10^-19 units the value is far under half a unit: units stay 0.
    }
    if (units.size() < static_cast<std::size_t>(decimals) + 1) {
        units.insert(0, static_cast<std::size_t>(decimals) + 1 - units.size(), '0');
    }
    const std::size_t integerLength = units.size() - static_cast<std::size_t>(decimals);
    const std::size_t firstDigit = std::min(units.find_first_not_of('0'), integerLength - 1);
    std::string text = units.substr(firstDigit, integerLength - firstDigit);
    if (decimals > 0) text += "." + units.substr(integerLength);
    if (value < 0.0 && (decimals > 0 || text != "0")) text.insert(0, "-");
    return text;
}

// Whether the exact decimal value of a finite double has at most 18
// significant digits, so that the 18-digit expansion changes nothing.
bool HasAtMost18Digits(double value) {
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer, "%.800e", std::fabs(value));
    const std::string_view digits(buffer + 2, 800);  // after "d."
    return digits.find_first_not_of('0', 17) == std::string_view::npos;
}

void CheckMask(double value, const MaskCase& mask) {
    const std::string result = tarvo::FormatWithMask(value, mask.mask);
    const std::size_t firstNonBlank = result.find_first_not_of(' ');
    FUZZ_CHECK(firstNonBlank != std::string::npos);
    const std::string text = result.substr(firstNonBlank);

    FUZZ_CHECK(text.find_first_not_of("0123456789-.") == std::string::npos);
    FUZZ_CHECK(text.find('-', 1) == std::string::npos);
    FUZZ_CHECK(text.front() != '-' || value < 0.0);  // never for NaN or -0
    if (mask.width > 0) {
        FUZZ_CHECK(result.size() == std::max(mask.width, text.size()));
    } else {
        FUZZ_CHECK(firstNonBlank == 0);
    }
    FUZZ_CHECK(text == ModelText(value, mask.decimals));

    if (!std::isfinite(value)) return;
    const double unit = std::pow(10.0, -mask.decimals);
    const double parsed = std::strtod(text.c_str(), nullptr);
    // Rounding to the decimals, the 18-digit cut and reading back each add
    // at most their half unit.
    const double slack =
        (0.5 * unit + 1e-17 * std::fabs(value)) * (1 + 1e-15) + 0x1p-52 * (std::fabs(value) + unit);
    FUZZ_CHECK(std::fabs(parsed - value) <= slack);

    if (value != 0.0 && HasAtMost18Digits(value)) {
        char exact[1100];
        std::snprintf(exact, sizeof exact, "%.*f", mask.decimals, value);
        // printf keeps the sign of a negative value rounded to 0; without
        // decimals the mask drops it.
        const std::string expected = std::strcmp(exact, "-0") == 0 ? "0" : exact;
        FUZZ_CHECK(text == expected);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    double value = 0.0;
    std::string_view rest;
    if (size >= 9 && input.front() == 'B') {
        std::memcpy(&value, data + 1, sizeof value);
        rest = input.substr(9);
    } else {
        const std::string text(input.substr(0, 400));
        char* end = nullptr;
        value = std::strtod(text.c_str(), &end);
        rest = input.substr(static_cast<std::size_t>(end - text.c_str()));
    }

    for (const MaskCase& mask : kMasks) CheckMask(value, mask);
    FUZZ_CHECK(!tarvo::FormatWithMask(value, rest).empty());
    return 0;
}
