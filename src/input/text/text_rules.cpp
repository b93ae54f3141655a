#include "input/text/text_rules.h"

#include <cmath>

namespace tarvo {

std::string_view CutField(std::string_view line, FieldSpec field) {
    if (field.start == 0 || field.start > line.size()) return {};
    return line.substr(field.start - 1u, field.length);
}

std::size_t FieldEnd(FieldSpec field) {
    if (field.start == 0 || field.length == 0) return 0;
    return std::size_t{field.start} - 1u + field.length;
}

std::uint16_t DialogNumber(std::string_view text) {
    const double value = TextToNumber(text);
    if (!std::isfinite(value)) return 0;

    // Round half to even without relying on the floating-point rounding mode.
    double whole = std::floor(value);
    const double fraction = value - whole;  // exact: whole is within 1 of value
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;

    // fmod is exact, so even huge whole numbers wrap to their true residue.
    double residue = std::fmod(whole, 65536.0);
    if (residue < 0.0) residue += 65536.0;
    return static_cast<std::uint16_t>(residue);
}

std::string TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

}  // namespace tarvo
