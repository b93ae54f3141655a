// 1PL: a right/wrong item with its location alone; a = 1, c = 0.
#include "estimation/models/model_table.h"
#include "estimation/models/right_wrong_items.h"

namespace tarvo::models {

namespace {
constexpr std::string_view kNames[] = {"b"};
}  // namespace

const ItemModel kOnePL = right_wrong::Row("1pl", "1PL", kNames, false, false,
                                          {false, true, false, false, false, false, false});

}  // namespace tarvo::models
