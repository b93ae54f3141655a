#pragma once

#include <cstdint>
#include <span>

#include "core/item_parameters.h"

namespace tarvo {

struct ItemStandardErrors {
    double seea = 0;
    double seeb = 0;
    double seec = 0;
};

// One-parameter Fisher scoring loops. Each moves only its own parameter of p,
// from the codes of one item (column) and the abilities theta of all
// examinees (same length), and sets its own standard error: seeb and seec
// are set to -1 on entry, seea is left as the caller set it. With fewer than
// 10 examinees they return at once.
void EstimateItemA(double& seea, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p);
void EstimateItemB(double& seeb, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p);
void EstimateItemC(double& seec, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p);

// Cycles b, then a (modes 1..5), then c (modes 2 and 3) until none of them
// moves any more, at most 200 cycles.
void CalibrateItem(ItemStandardErrors& se, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p, int calibrationMode);

}  // namespace tarvo
