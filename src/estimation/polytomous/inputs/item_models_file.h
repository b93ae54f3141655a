#pragma once

// The item-models file: one line per item naming its model (grm, gpcm, pcm,
// rsm, 3pl, 2pl or 1pl); a polytomous model may add the item's number of
// categories (more than its responses show is allowed: the top categories
// are then unused), and the rating scale model a scale's name after that
// (items of one name share their steps; without one, the items with the
// same number of categories form a scale). Words are split by blanks, tabs
// or commas; blank lines after the last item are passed over.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/marginal_models.h"
#include "core/polytomous_models.h"
#include "estimation/polytomous/inputs/poly_categories.h"
#include "input/text/input_file.h"

namespace tarvo::poly {

struct ItemModelLine {
    // PolytomousModel::None: a right/wrong item of binaryModel.
    PolytomousModel polytomous = PolytomousModel::None;
    MarginalModel binaryModel = MarginalModel::ThreePL;
    int categories = 0;  // 0: as the responses show
    std::string scale;   // rsm only; empty: by its categories
    std::string text;    // the line as written, for messages
};

struct ItemModels {
    std::vector<ItemModelLine> lines;
    std::string error;  // the run's error, naming the file, the line and its text
};

// The lines of a file named fileName (for the messages), for a test of
// itemCount items.
ItemModels ParseItemModels(std::string_view fileName, std::span<const std::string> lines,
                           std::size_t itemCount);

// Reads and parses the file at path, asking stop while it is opened or read
// (a FIFO without a writer): a stop gives no lines and an error.
ItemModels ReadItemModels(const std::string& path, std::size_t itemCount,
                          const StopPoll& stop = {});

// Checks the models against the responses: a keyed item (scored right or
// wrong by the key) takes a right/wrong model, an item scored by its digit
// with more than two scores a polytomous one with at least as many
// categories as its scores, and the items of one rating scale the same
// number of categories. keyed is per item (empty: none keyed). Empty, or
// the run's error.
std::string CheckItemModels(std::string_view fileName, std::span<const ItemModelLine> lines,
                            std::span<const CategoryCounts> counts, std::span<const char> keyed);

}  // namespace tarvo::poly
