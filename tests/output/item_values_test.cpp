// The one range check of item values read from files, at the edges of each
// range: what fits its column of the result and what the model can use.
#include "output/item_values.h"

#include <gtest/gtest.h>

#include <limits>

namespace tarvo {
namespace {

TEST(ItemValueFault, HoldsEachValueToWhatTheModelUsesAndItsColumnPrints) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::string column = "must fit its column of the result (below 1000)";
    const std::string wide = "must fit its column of the result (from -99.999 to 999.999)";
    struct Case {
        ItemValue kind;
        double value;
        std::string fault;
    };
    const Case cases[] = {
        {ItemValue::A, 1.2, ""},
        {ItemValue::A, 999.999, ""},
        {ItemValue::A, 999.9996, column},  // printed 1000.000
        {ItemValue::A, 1e308, column},
        {ItemValue::A, 0, "must be above 0"},
        {ItemValue::A, -0.5, "must be above 0"},
        {ItemValue::A, inf, "must be a finite number"},
        {ItemValue::A, nan, "must be a finite number"},
        {ItemValue::SignedA, -1.5, ""},
        {ItemValue::SignedA, 0, "must not be 0"},
        {ItemValue::SignedA, 1e308, wide},
        {ItemValue::SignedA, -100, wide},
        {ItemValue::B, -99.999, ""},
        {ItemValue::B, 999.999, ""},
        {ItemValue::B, -100, wide},
        {ItemValue::B, -1e308, wide},
        {ItemValue::B, 1e308, wide},
        {ItemValue::B, nan, "must be a finite number"},
        {ItemValue::C, 0, ""},
        {ItemValue::C, 0.999, ""},
        {ItemValue::C, 1.0, "must be from 0 to below 1"},
        {ItemValue::C, -0.5, "must be from 0 to below 1"},
        {ItemValue::C, -inf, "must be a finite number"},
        {ItemValue::Error, 0, ""},
        {ItemValue::Error, 99, ""},
        {ItemValue::Error, -0.1, "must be 0 or above"},
        {ItemValue::Error, inf, "must be a finite number"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ItemValueFault(c.kind, c.value), c.fault)
            << static_cast<int>(c.kind) << " " << c.value;
    }
}

}  // namespace
}  // namespace tarvo
