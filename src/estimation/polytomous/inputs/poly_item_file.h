#pragma once

// A polytomous item parameter file: the item rows of a polytomous run's
// result file (a header naming SeqItem, AccNo, Model, Categories, a,
// b1..bK and c, then one row per item up to the first empty line), read
// back so that its items are held at their values (--fix-items). A row's
// SeqItem names its item; items without a row are estimated.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/polytomous_models.h"
#include "input/text/input_file.h"

namespace tarvo::poly {

struct HeldItemRow {
    std::size_t line = 0;  // in the file, from 1
    std::string text;      // the row as written, for messages
    std::string accNo;     // its AccNo cell, trimmed
    std::string model;
    int categories = 0;
    double a = 0, c = 0;
    std::array<double, kMostCategories - 1> b{};
};

struct HeldItems {
    std::vector<std::optional<HeldItemRow>> items;  // per item of the test
    std::string error;                              // the run's error, naming the file and the line
};

// Reads the file at path for a test of itemCount items, asking stop while it
// is opened or read (a FIFO without a writer). A row's values pass the range
// check of every held item's value (ItemValueFault: a slope of either sign
// for an item scored 0..m, above 0 for a right/wrong one), a graded item's
// thresholds rise, and no item has two rows. A file with an error, or whose
// reading a stop ended, holds no item: the rows before the faulty one are
// dropped with it.
HeldItems ReadPolytomousItemFile(const std::string& path, std::size_t itemCount,
                                 const StopPoll& stop = {});

}  // namespace tarvo::poly
