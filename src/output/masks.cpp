#include "output/masks.h"

#include <cmath>
#include <cstddef>

#include "output/decimal_expansion.h"

namespace tarvo {

namespace {

// What a mask asks for: its width, its number of decimals and, when it
// starts with "*x", the fill character x for the positions left of the number.
struct MaskLayout {
    std::size_t width = 0;
    std::size_t decimals = 0;
    bool hasFill = false;
    char fill = ' ';
};

// Reads the mask elements "*x", '#', '0' and '.'; other characters are not
// part of any mask the program uses and are passed over.
MaskLayout ParseMask(std::string_view mask) {
    MaskLayout layout;
    bool afterPoint = false;
    for (std::size_t i = 0; i < mask.size(); ++i) {
        const char element = mask[i];
        if (element == '*' && i + 1 < mask.size()) {
            layout.hasFill = true;
            layout.fill = mask[++i];
            layout.width += 2;
        } else if (element == '#' || element == '0') {
            ++layout.width;
            if (afterPoint) ++layout.decimals;
        } else if (element == '.' && !afterPoint) {
            ++layout.width;
            afterPoint = true;
        }
    }
    return layout;
}

// Adds one unit in the last place of a digit string, carrying to the left
// and growing by a leading 1 when every digit was a 9.
void IncrementDigits(std::string& digits) {
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    digits.insert(digits.begin(), '1');
}

// The integer digits followed by exactly `decimals` fraction digits, rounded
// on the first dropped digit; an exact 5 with nothing after it goes to the
// even neighbour.
std::string RoundToDecimals(const DecimalExpansion& expansion, std::size_t decimals) {
    const std::string& fraction = expansion.fractionDigits;
    std::string kept = expansion.integerDigits;
    if (fraction.size() <= decimals) {
        kept += fraction;
        kept.append(decimals - fraction.size(), '0');
        return kept;
    }
    kept.append(fraction, 0, decimals);

    const char firstDropped = fraction[decimals];
    bool roundUp = firstDropped > '5';
    if (firstDropped == '5') {
        const bool laterNonZero =
            fraction.find_first_not_of('0', decimals + 1) != std::string::npos;
        // With no digit kept at all, the last kept digit is an implied 0.
        const bool lastKeptOdd = !kept.empty() && (kept.back() - '0') % 2 == 1;
        roundUp = laterNonZero || lastKeptOdd;
    }
    if (roundUp) IncrementDigits(kept);
    return kept;
}

}  // namespace

std::string FormatWithMask(double value, std::string_view mask) {
    const MaskLayout layout = ParseMask(mask);
    // NaN and a zero of either sign both read as plain 0.
    if (std::isnan(value) || value == 0.0) value = 0.0;
    const bool negative = std::signbit(value);

    const std::string kept = RoundToDecimals(ExpandMagnitude(value), layout.decimals);
    const std::size_t integerLength = kept.size() - layout.decimals;
    const std::size_t firstDigit = kept.find_first_not_of('0');
    std::string integerPart = firstDigit < integerLength
                                  ? kept.substr(firstDigit, integerLength - firstDigit)
                                  : std::string("0");

    std::string text;
    // A result that is the single digit 0 carries no sign; one with decimals
    // keeps it even when every digit is 0 (-0.000).
    if (negative && (layout.decimals > 0 || integerPart != "0")) text += '-';
    text += integerPart;
    if (layout.decimals > 0) {
        text += '.';
        text.append(kept, integerLength, layout.decimals);
    }

    // Right-aligned in the mask's width; a wider text is never cut.
    if (layout.hasFill && text.size() < layout.width) {
        text.insert(0, layout.width - text.size(), layout.fill);
    }
    return text;
}

}  // namespace tarvo
