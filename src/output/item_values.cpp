#include "output/item_values.h"

#include <cmath>

#include "output/masks.h"

namespace tarvo {

namespace {

// A value wider than its column would push every field after it.
bool FitsItsColumn(double value) {
    return FormatWithMask(value, kMaskParameter).size() <= kMaskParameter.size();
}

}  // namespace

std::string ItemValueFault(ItemValue kind, double value) {
    if (!std::isfinite(value)) return "must be a finite number";
    switch (kind) {
        case ItemValue::A:
        case ItemValue::Error:
            if (kind == ItemValue::A && !(value > 0)) return "must be above 0";
            if (kind == ItemValue::Error && value < 0) return "must be 0 or above";
            if (!FitsItsColumn(value)) return "must fit its column of the result (below 1000)";
            return {};
        case ItemValue::SignedA:
            if (value == 0) return "must not be 0";
            if (!FitsItsColumn(value)) {
                return "must fit its column of the result (from -99.999 to 999.999)";
            }
            return {};
        case ItemValue::B:
            if (!FitsItsColumn(value)) {
                return "must fit its column of the result (from -99.999 to 999.999)";
            }
            return {};
        case ItemValue::C:
            if (!(value >= 0 && value < 1)) return "must be from 0 to below 1";
            return {};
    }
    return {};
}

}  // namespace tarvo
