// Generalized partial credit: P(X = k) proportional to exp(k D a theta + d_1 + .. + d_k).
#include "estimation/models/model_table.h"
#include "estimation/models/scored_items.h"

namespace tarvo::models {

namespace {
constexpr std::string_view kNames[] = {"a", "b"};
}  // namespace

const ItemModel kGpcm = scored::PartialCreditRow("gpcm", "GPCM", kNames, true, false);

}  // namespace tarvo::models
