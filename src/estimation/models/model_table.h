#pragma once

// The item model table: one row per model, each defined in its own file
// (model_<name>.cpp). The right/wrong models are named by the marginal
// model table's names, the models of items scored 0..m by the polytomous
// one's; an item of a run takes the row of its model.

#include <optional>
#include <span>
#include <string_view>

#include "core/marginal_models.h"
#include "core/polytomous_models.h"
#include "estimation/models/item_model.h"

namespace tarvo::models {

extern const ItemModel kThreePL;
extern const ItemModel kThreePLCGiven;
extern const ItemModel kTwoPL;
extern const ItemModel kOnePL;
extern const ItemModel kRasch;
extern const ItemModel kFourPL;
extern const ItemModel kGrm;
extern const ItemModel kGpcm;
extern const ItemModel kPcm;
extern const ItemModel kRsm;
extern const ItemModel kNominal;

// Every row, the right/wrong ones first.
std::span<const ItemModel* const> AllModels();

const ItemModel& ModelFor(MarginalModel model);
// A model of items scored 0..m (not None, not PerItem).
const ItemModel& ModelFor(PolytomousModel model);
// The row of that name; nothing for any other text.
const ItemModel* ModelNamed(std::string_view name);

// A new item of the row with the given categories (a right/wrong row: 2)
// and the row's mask; its values the row's defaults (a = 1, c = 0, u = 1).
Item NewItem(const ItemModel& model, int categories);

}  // namespace tarvo::models
