// 2PL: a right/wrong item with slope and location; c = 0.
#include "estimation/models/model_table.h"
#include "estimation/models/right_wrong_items.h"

namespace tarvo::models {

namespace {
constexpr std::string_view kNames[] = {"a", "b"};
}  // namespace

const ItemModel kTwoPL = right_wrong::Row("2pl", "2PL", kNames, true, false,
                                          {true, true, false, false, false, false, false});

}  // namespace tarvo::models
