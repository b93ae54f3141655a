#include "input/text/text_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace tarvo {
namespace {

using namespace std::string_literals;

TEST(CutField, TakesColumnsFromOneAndStopsAtTheLineEnd) {
    struct Case {
        std::string line;
        FieldSpec field;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"A1      0.5", {1, 8}, "A1      "},  // blanks inside the field stay
        {"abcdef", {3, 2}, "cd"},
        {"abcdef", {5, 10}, "ef"},  // cut short by the line end
        {"abcdef", {6, 1}, "f"},
        {"abcdef", {7, 1}, ""},  // starts beyond the line
        {"abcdef", {0, 3}, ""},  // column 0 is no column
        {"abcdef", {2, 0}, ""},
        {"", {1, 5}, ""},
        {"a\tb", {2, 2}, "\tb"},  // a tab is one character
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CutField(c.line, c.field), c.expected)
            << c.line << " start " << c.field.start << " length " << c.field.length;
    }
}

TEST(TextToNumber, ReadsTheLeadingNumber) {
    struct Case {
        std::string text;
        double expected;
    };
    const std::vector<Case> cases = {
        {"1.5x", 1.5},
        {"1,5", 1.0},
        {"0,25", 0.0},
        {"-.5", -0.5},
        {" 2E3", 2000.0},
        {"\t\r\n 7", 7.0},
        {"abc", 0.0},
        {"", 0.0},
        {"   ", 0.0},
        {"-", 0.0},
        {".", 0.0},
        {"+.", 0.0},
        {"E5", 0.0},
        {"x12", 0.0},
        {"- 5", 0.0},  // only leading blanks are skipped
        {"1 2", 1.0},
        {"+42", 42.0},
        {"-1.25", -1.25},
        {"1.2.3", 1.2},  // one decimal point only
        {"5.", 5.0},
        {"007", 7.0},
        {"0.000123", 0.000123},
        {"1.2E-1", 0.12},
        {"1.2e+1", 12.0},
        {"1D2", 100.0},
        {"1d-2", 0.01},
        {"1E", 1.0},  // an exponent letter without digits adds nothing
        {"1E+", 1.0},
        {"1Ex", 1.0},
        {"-0", 0.0},
        {"&HFF", 255.0},
        {"&hff", 255.0},
        {"&HfFz", 255.0},
        {"&o17", 15.0},
        {"&Q17", 15.0},
        {"&b101", 5.0},
        {"&B102", 2.0},
        {"&17", 15.0},  // bare & is octal
        {"&19", 1.0},
        {"&", 0.0},
        {"&H", 0.0},
        {"&x1", 0.0},
        {"  &H10", 16.0},
        {"-&H10", 0.0},
        {"&H1FFFFFFFFFFFFF", 9007199254740991.0},  // 2^53 - 1, exact
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TextToNumber(c.text), c.expected) << "text: " << c.text;
    }
}

TEST(TextToNumber, RoundsCorrectlyAndNeverGivesNegativeZero) {
    EXPECT_EQ(TextToNumber("0.1"), 0.1);
    EXPECT_EQ(TextToNumber("3.14159265358979323846264338327950288"), 3.141592653589793);
    EXPECT_EQ(TextToNumber("2.2250738585072014E-308"), std::numeric_limits<double>::min());
    EXPECT_EQ(TextToNumber("4.9406564584124654E-324"), std::numeric_limits<double>::denorm_min());
    // 2^53 + 1 lies halfway: the tie goes to even, unless a later digit tips it.
    EXPECT_EQ(TextToNumber("9007199254740993"), 9007199254740992.0);
    EXPECT_EQ(TextToNumber("9007199254740993" + std::string(1000, '0') + "1E-1001"),
              9007199254740994.0);
    EXPECT_EQ(TextToNumber("0." + std::string(5000, '0') + "5E5001"), 5.0);
    EXPECT_FALSE(std::signbit(TextToNumber("-0.0")));
    EXPECT_FALSE(std::signbit(TextToNumber("-1E-999")));
}

TEST(TextToNumber, OutOfRangeValuesSaturateWithoutTrapping) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(TextToNumber("1E999"), inf);
    EXPECT_EQ(TextToNumber("-1E999"), -inf);
    EXPECT_EQ(TextToNumber("1.8E308"), inf);
    EXPECT_EQ(TextToNumber("1E99999999999999999999999999"), inf);
    EXPECT_EQ(TextToNumber("1E-999"), 0.0);
    EXPECT_EQ(TextToNumber("1E-99999999999999999999999999"), 0.0);
    EXPECT_EQ(TextToNumber(std::string(400, '9')), inf);
    EXPECT_EQ(TextToNumber("&H" + std::string(300, 'F')), inf);
    EXPECT_EQ(TextToNumber("&B" + std::string(2000, '1')), inf);
    EXPECT_EQ(TextToNumber("&H" + std::string(100000, '0') + "1"), 1.0);
}

TEST(DialogNumber, RoundsHalfToEvenAndWrapsModulo65536) {
    struct Case {
        std::string text;
        std::uint16_t expected;
    };
    const std::vector<Case> cases = {
        {"", 0},         {"45", 45},      {"3.5", 4},        {"2.5", 2},
        {"0.5", 0},      {"1.5", 2},      {"2.4999", 2},     {"2.5001", 3},
        {"-1", 65535},   {"-2.5", 65534}, {"-0.5", 0},       {"65535", 65535},
        {"65536", 0},    {"65537", 1},    {"131072.6", 1},   {"12abc", 12},
        {"abc", 0},      {"1E20", 0},  // 10^20 is a multiple of 65536
        {"1E15", 32768}, {"-65536", 0},   {"&HFFFF", 65535}, {"1E999", 0},
        {"-1E999", 0},  // infinities have no residue
    };
    for (const Case& c : cases) EXPECT_EQ(DialogNumber(c.text), c.expected) << c.text;
}

TEST(TrimSpaces, RemovesOnlySpacesAtBothEnds) {
    EXPECT_EQ(TrimSpaces("  items.txt  "), "items.txt");
    EXPECT_EQ(TrimSpaces("my items.txt"), "my items.txt");
    EXPECT_EQ(TrimSpaces("\titems.txt\t"), "\titems.txt\t");
    EXPECT_EQ(TrimSpaces("   "), "");
}

}  // namespace
}  // namespace tarvo
