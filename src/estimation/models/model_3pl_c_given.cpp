// 3PL, c from the item file: the 3PL with its lower asymptote given, not estimated.
#include "estimation/models/model_table.h"
#include "estimation/models/right_wrong_items.h"

namespace tarvo::models {

namespace {
constexpr std::string_view kNames[] = {"a", "b"};
}  // namespace

const ItemModel kThreePLCGiven =
    right_wrong::Row("3pl-c-given", "3PL, c from the item file", kNames, true, false,
                     {true, true, false, false, false, false, false});

}  // namespace tarvo::models
