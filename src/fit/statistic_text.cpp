#include "fit/statistic_text.h"

#include <cmath>
#include <cstdio>

namespace tarvo::fit {

std::string FixedText(double x, int digits) {
    if (!std::isfinite(x)) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", digits, x);
    return text;
}

std::string PValueText(double p) {
    if (!std::isfinite(p)) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.2g", p);
    return text;
}

}  // namespace tarvo::fit
