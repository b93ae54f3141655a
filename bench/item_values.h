#pragma once

#include <string>
#include <vector>

namespace tarvo::bench {

// One item's parameters and standard errors (-1: none), as generated, as
// read from a result file or as a reference program fitted them.
struct ItemValues {
    double a = 0, b = 0, c = 0, seea = -1, seeb = -1, seec = -1;
};

// The lines of text, without their CR LF or LF ends.
std::vector<std::string> Lines(const std::string& text);

// The generating items, from the item file's fixed columns.
std::vector<ItemValues> Truth(const std::string& itemFile);

// The item rows of a result file in the joint layout (3PL columns).
std::vector<ItemValues> Estimates(const std::string& resultFile);

// The recovery of generating items: RMSE of a, b and c, and the standard
// deviation over the items of (estimate - truth) / SE (NaN without errors).
struct Recovery {
    double rmse[3] = {0, 0, 0};
    double zSd[3] = {0, 0, 0};
};
Recovery Recover(const std::vector<ItemValues>& truth, const std::vector<ItemValues>& fit);

}  // namespace tarvo::bench
