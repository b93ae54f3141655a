// 3PL: a right/wrong item with slope, location and lower asymptote, all estimated.
#include "estimation/models/model_table.h"
#include "estimation/models/right_wrong_items.h"

namespace tarvo::models {

namespace {
constexpr std::string_view kNames[] = {"a", "b", "c"};
}  // namespace

const ItemModel kThreePL = right_wrong::Row("3pl", "3PL", kNames, true, true,
                                            {true, true, true, false, true, true, false});

}  // namespace tarvo::models
