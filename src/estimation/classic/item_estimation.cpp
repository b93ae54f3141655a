#include "estimation/classic/item_estimation.h"

#include <cassert>
#include <cstddef>

#include "estimation/classic/model.h"
#include "estimation/classic/scoring_loops.h"

namespace tarvo {

namespace {

// The derivative W of P by each parameter, at the examinee's theta with
// P = ProbCorrect and Q = 1 - P.
constexpr auto kByA = [](double theta, double prob, double q, const ItemParameters& p) {
    return kD * (theta - p.b) * q * (prob - p.c) / (1 - p.c);
};
constexpr auto kByB = [](double, double prob, double q, const ItemParameters& p) {
    return -kD * p.a * q * (prob - p.c) / (1 - p.c);
};
constexpr auto kByC = [](double, double, double q, const ItemParameters& p) {
    return q / (1 - p.c);
};

// One pass's sums over the valid codes, one response at a time: the score
// adds W (u - P) / (P Q) and the information W^2 / (P Q). Each term is
// formed in double and added in the precision of Sum: double for a, extended
// precision for b and c. That is how the calibrations these loops are held
// to were computed, and it is part of the result, not a detail: when all of
// an item's responses are equal, the b and c steps run into a bound and the
// last bit of the sum decides on which side of it they stop (see
// fast::CalibrateItem, which hands such items back to these loops).
template <typename Sum, typename Derivative>
scoring::ScoringSums<Sum> ItemPass(std::span<const std::uint8_t> column,
                                   std::span<const double> theta, const ItemParameters& p,
                                   Derivative derivative) {
    // Local sums, not the returned struct's: they stay in registers.
    Sum score = 0;
    Sum info = 0;
    for (std::size_t j = 0; j < column.size(); ++j) {
        if (column[j] == kNoResponse) continue;
        const double u = column[j];
        const double prob = ProbCorrect(theta[j], p.a, p.b, p.c);
        const double q = 1 - prob;
        const double w = derivative(theta[j], prob, q, p);
        score += w * (u - prob) / (prob * q);
        info += w * w / (prob * q);
    }
    return {score, info};
}

}  // namespace

void EstimateItemA(double& seea, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p) {
    assert(column.size() == theta.size());
    scoring::EstimateItemParameter<scoring::kItemARule>(
        seea, column, p,
        [&](const ItemParameters& at) { return ItemPass<double>(column, theta, at, kByA); });
}

void EstimateItemB(double& seeb, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p) {
    assert(column.size() == theta.size());
    scoring::EstimateItemParameter<scoring::kItemBRule>(
        seeb, column, p,
        [&](const ItemParameters& at) { return ItemPass<long double>(column, theta, at, kByB); });
}

void EstimateItemC(double& seec, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p) {
    assert(column.size() == theta.size());
    scoring::EstimateItemParameter<scoring::kItemCRule>(
        seec, column, p,
        [&](const ItemParameters& at) { return ItemPass<long double>(column, theta, at, kByC); });
}

void CalibrateItem(ItemStandardErrors& se, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p, int calibrationMode) {
    scoring::CycleItemLoops(
        se, p, calibrationMode,
        [&](double& seeb, ItemParameters& q) { EstimateItemB(seeb, column, theta, q); },
        [&](double& seea, ItemParameters& q) { EstimateItemA(seea, column, theta, q); },
        [&](double& seec, ItemParameters& q) { EstimateItemC(seec, column, theta, q); });
}

}  // namespace tarvo
