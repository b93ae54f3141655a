#include "output/masks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "output/decimal_expansion.h"

namespace tarvo {
namespace {

struct MaskCase {
    std::string_view mask;
    double value;
    std::size_t leadingSpaces;
    std::string text;
};

void ExpectCases(const std::vector<MaskCase>& cases) {
    for (const MaskCase& c : cases) {
        EXPECT_EQ(FormatWithMask(c.value, c.mask), std::string(c.leadingSpaces, ' ') + c.text)
            << "mask \"" << c.mask << "\" value " << c.value;
    }
}

TEST(FormatWithMask, WorkedResults) {
    ExpectCases({
        {kMaskCount, 5, 3, "5"},
        {kMaskCount, 250, 1, "250"},
        {kMaskCount, 12345, 0, "12345"},
        {kMaskCount, -3, 2, "-3"},
        {kMaskCount, 3.5, 3, "4"},
        {kMaskSeqId, 7, 4, "7"},
        {kMaskSeqId, 1234, 1, "1234"},
        {kMaskSeqId, -42, 2, "-42"},
        {kMaskParameter, 0, 2, "0.000"},
        {kMaskParameter, 1.5, 2, "1.500"},
        {kMaskParameter, -0.5, 1, "-0.500"},
        {kMaskParameter, 0.3456, 2, "0.346"},
        {kMaskParameter, -12.5, 0, "-12.500"},
        {kMaskParameter, 9.9996, 1, "10.000"},
        {kMaskTheta, 0.1234, 3, "0.1234"},
        {kMaskTheta, -1.23456, 2, "-1.2346"},
        {kMaskTheta, -123.45, 0, "-123.4500"},
        {kMaskSeeTheta, 0.35, 2, "0.3500"},
        {kMaskSeeTheta, 0.12345, 2, "0.1235"},
        {kMaskChange, 0.00012345, 0, "0.00012345000"},
        {kMaskChange, -0.5, 0, "-0.50000000000"},
        {kMaskChange, 12, 0, "12.00000000000"},
        {kMaskVersion, 0.93, 0, "0.93"},
        {kMaskVersion, 12.5, 0, "12.50"},
    });
}

TEST(FormatWithMask, SignOfResultsThatRoundToZero) {
    ExpectCases({
        {kMaskParameter, -0.0004, 1, "-0.000"},
        {kMaskTheta, -0.00004, 2, "-0.0000"},
        {kMaskChange, -1e-13, 0, "-0.00000000000"},
        {kMaskCount, -0.5, 3, "0"},  // the tie goes to the even 0, and 0 has no sign
        {kMaskCount, -0.4, 3, "0"},
        {kMaskCount, -0.6, 2, "-1"},
        {kMaskSeqId, -0.2, 4, "0"},
    });
}

TEST(FormatWithMask, NegativeZeroAndNanAreZero) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    ExpectCases({
        {kMaskParameter, -0.0, 2, "0.000"},
        {kMaskParameter, nan, 2, "0.000"},
        {kMaskParameter, -nan, 2, "0.000"},
        {kMaskCount, -0.0, 3, "0"},
        {kMaskCount, nan, 3, "0"},
        {kMaskChange, -0.0, 0, "0.00000000000"},
        {kMaskVersion, nan, 0, "0.00"},
    });
}

TEST(FormatWithMask, RoundsTheExactDoubleWithTiesToEven) {
    ExpectCases({
        {kMaskParameter, 0.0625, 2, "0.062"},  // exact tie, 2 is even
        {kMaskParameter, 0.1875, 2, "0.188"},  // exact tie, 7 is odd
        {kMaskCount, 2.5, 3, "2"},
        {kMaskCount, 3.5, 3, "4"},
        {kMaskCount, 0.5, 3, "0"},
        {kMaskCount, 0.6, 3, "1"},
        {kMaskParameter, 1.2345, 2, "1.234"},  // the double lies just below 1.2345
        {kMaskParameter, 1.2346, 2, "1.235"},
        {kMaskParameter, 2.0005, 2, "2.001"},     // the double lies just above 2.0005
        {kMaskSeeTheta, 99.99995, 1, "99.9999"},  // just below
        {kMaskParameter, 0.0005, 2, "0.001"},     // just above
    });
}

TEST(FormatWithMask, CarryAndOverflowWidenNeverCut) {
    ExpectCases({
        {kMaskParameter, 9.9996, 1, "10.000"},
        {kMaskParameter, 99.99995, 0, "100.000"},
        {kMaskParameter, 999.9996, 0, "1000.000"},
        {kMaskParameter, -9.9996, 0, "-10.000"},
        {kMaskParameter, 1234.5, 0, "1234.500"},
        {kMaskParameter, -123.5, 0, "-123.500"},
        {kMaskCount, 12345, 0, "12345"},
        {kMaskCount, 9999.5, 0, "10000"},
        {kMaskSeqId, 123456, 0, "123456"},
        {kMaskVersion, 9.999, 0, "10.00"},
    });
}

TEST(FormatWithMask, MasksWithoutFillNeverPad) {
    ExpectCases({
        {kMaskChange, 0, 0, "0.00000000000"},
        {kMaskVersion, 0, 0, "0.00"},
        {kMaskVersion, 0.005, 0, "0.01"},  // the double lies just above 0.005
        {kMaskVersion, -0.001, 0, "-0.00"},
    });
}

TEST(FormatWithMask, InfinitiesAreNineteenNinesThenZeros) {
    const std::string digits = std::string(19, '9') + std::string(980, '0');
    const double infinity = std::numeric_limits<double>::infinity();
    EXPECT_EQ(FormatWithMask(infinity, kMaskParameter), digits + ".000");
    EXPECT_EQ(FormatWithMask(-infinity, kMaskParameter), "-" + digits + ".000");
    EXPECT_EQ(FormatWithMask(infinity, kMaskCount), digits);
    EXPECT_EQ(FormatWithMask(-infinity, kMaskVersion), "-" + digits + ".00");
}

TEST(FormatWithMask, ExtremeFiniteValues) {
    // 1e300 is 1.0000000000000000525...e300; its first 18 digits end in 5.
    EXPECT_EQ(FormatWithMask(1e300, kMaskParameter),
              "100000000000000005" + std::string(283, '0') + ".000");
    const std::string largest = FormatWithMask(std::numeric_limits<double>::max(), kMaskCount);
    EXPECT_EQ(largest, "179769313486231571" + std::string(291, '0'));
    ExpectCases({
        {kMaskParameter, 5e-324, 2, "0.000"},
        {kMaskParameter, -5e-324, 1, "-0.000"},
        {kMaskChange, 5e-324, 0, "0.00000000000"},
        {kMaskCount, -5e-324, 3, "0"},
    });
}

TEST(FormatWithMask, ReadsFillFromTheMask) {
    EXPECT_EQ(FormatWithMask(5, "*x##"), "xxx5");
    EXPECT_EQ(FormatWithMask(-1.5, "*_#.000"), "_-1.500");
}

// The 18-digit expansion must break exact ties at the 18th digit to even:
// 2^-26 = 1.490116119384765625e-8 and 3 * 2^-26 = 4.470348358154296875e-8
// have exactly 19 significant digits, the last a 5.
TEST(ExpandMagnitude, BreaksTiesAtTheEighteenthDigitToEven) {
    const DecimalExpansion even = ExpandMagnitude(std::ldexp(1.0, -26));
    EXPECT_EQ(even.integerDigits, "");
    EXPECT_EQ(even.fractionDigits, "0000000149011611938476562");
    const DecimalExpansion odd = ExpandMagnitude(-std::ldexp(3.0, -26));
    EXPECT_EQ(odd.fractionDigits, "0000000447034835815429688");
}

// Independent reference: glibc's printf("%.*f") rounds the exact binary value
// to nearest with ties to even. It agrees with the mask rule whenever the cut
// at 18 significant digits cannot change the outcome, which holds when
//  - the first dropped digit lies within the first 18 significant digits, and
//  - the 18-digit expansion does not make the dropped part an exact 5 followed
//    by zeros (the one case where an inexact value could turn into a tie).
// The reference then only needs the mask's sign rule and padding.
std::string Reference(double value, int decimals, std::size_t width) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text = buffer;
    if (text == "-0") text = "0";
    if (text.size() < width) text.insert(0, width - text.size(), ' ');
    return text;
}

// True when the two conditions above hold for value with that many decimals,
// read from its 18-digit expansion as printf("%.17e") gives it.
bool CutCanDecide(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17e", std::fabs(value));
    const std::string text = buffer;
    const std::string digits = text.substr(0, 1) + text.substr(2, 17);
    const int integerCount = std::stoi(text.substr(text.find('e') + 1)) + 1;
    const int firstDropped = integerCount + decimals;  // index into the digits
    if (firstDropped >= 18) return false;
    if (firstDropped < 0) return true;  // far below the last decimal
    return !(digits[static_cast<std::size_t>(firstDropped)] == '5' &&
             digits.find_first_not_of('0', static_cast<std::size_t>(firstDropped) + 1) ==
                 std::string::npos);
}

struct FilledMask {
    std::string_view mask;
    int decimals;
    std::size_t width;
};

constexpr FilledMask kFilledMasks[] = {
    {kMaskCount, 0, 4},    {kMaskSeqId, 0, 5},   {kMaskParameter, 3, 7}, {kMaskTheta, 4, 9},
    {kMaskSeeTheta, 4, 8}, {kMaskChange, 11, 0}, {kMaskVersion, 2, 0},
};

TEST(FormatWithMask, AgreesWithExactRoundingOfRandomValues) {
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-14, 6);
    int compared = 0;
    for (int i = 0; i < 40000; ++i) {
        const double value = mantissa(random) * std::pow(10.0, exponent(random));
        for (const FilledMask& m : kFilledMasks) {
            if (!CutCanDecide(value, m.decimals)) continue;
            ++compared;
            ASSERT_EQ(FormatWithMask(value, m.mask), Reference(value, m.decimals, m.width))
                << "mask \"" << m.mask << "\" value " << value;
        }
    }
    EXPECT_GT(compared, 200000);
}

// Values k / 2^n with small n have at most 18 significant digits, so the
// 18-digit expansion is exact and every tie is a true tie: the mask result is
// exact rounding with ties to even, which printf gives too.
TEST(FormatWithMask, AgreesWithExactRoundingOfDyadicFractions) {
    std::mt19937_64 random(7);
    std::uniform_int_distribution<long long> numerator(-(1LL << 30), 1LL << 30);
    std::uniform_int_distribution<int> power(0, 12);
    for (int i = 0; i < 40000; ++i) {
        const double value = std::ldexp(static_cast<double>(numerator(random)), -power(random));
        for (const FilledMask& m : kFilledMasks) {
            ASSERT_EQ(FormatWithMask(value, m.mask), Reference(value, m.decimals, m.width))
                << "mask \"" << m.mask << "\" value " << value;
        }
    }
}

}  // namespace
}  // namespace tarvo
