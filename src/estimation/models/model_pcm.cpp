// Partial credit: the GPCM with one slope common to its items, estimated; it sets the spread of the
// abilities, as the population's SD would.
#include "estimation/models/model_table.h"
#include "estimation/models/scored_items.h"

namespace tarvo::models {

namespace {
constexpr std::string_view kNames[] = {"a", "b"};
}  // namespace

const ItemModel kPcm = scored::PartialCreditRow("pcm", "PCM", kNames, false, true);

}  // namespace tarvo::models
