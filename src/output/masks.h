#pragma once

#include <string>
#include <string_view>

namespace tarvo {

// The seven number masks of the program.
inline constexpr std::string_view kMaskCount = "* ##";             // SeqItem, Nobs, Nvalid
inline constexpr std::string_view kMaskSeqId = "* ###";            // SeqID
inline constexpr std::string_view kMaskParameter = "* #.000";      // a, b, c and their errors
inline constexpr std::string_view kMaskTheta = "* ##.0000";        // theta
inline constexpr std::string_view kMaskSeeTheta = "* #.0000";      // seetheta
inline constexpr std::string_view kMaskChange = "##.00000000000";  // MSError change
inline constexpr std::string_view kMaskVersion = "0.00";           // version number

// Renders value with one of the masks above: fixed-point with the mask's
// decimals, rounded from the exact double's first 18 significant digits,
// right-aligned to the mask's width when the mask starts with a fill "* ",
// never cut when wider. NaN and -0 render as 0.
std::string FormatWithMask(double value, std::string_view mask);

}  // namespace tarvo
