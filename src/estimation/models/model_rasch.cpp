// Rasch (1PL with a common slope): the 1PL whose slope the right/wrong estimator shares among the
// items; here, as the 1PL, a = 1.
#include "estimation/models/model_table.h"
#include "estimation/models/right_wrong_items.h"

namespace tarvo::models {

namespace {
constexpr std::string_view kNames[] = {"b"};
}  // namespace

const ItemModel kRasch = right_wrong::Row("rasch", "Rasch (1PL with a common slope)", kNames, false,
                                          false, {true, true, false, false, false, false, false});

}  // namespace tarvo::models
