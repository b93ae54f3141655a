#pragma once

// The rules of the Fisher scoring loops, written once for both arithmetics:
// the step, the bounds, the stop test, the pass limit, the standard error and
// the cycle of CalibrateItem. The loops are templates over a `pass` callable
// that forms one pass's score and information sums; the reference and the
// fast implementations differ only in that callable. Every step is computed
// in the precision of the sums the pass returns, then rounded to double.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#include "core/estimate_bounds.h"
#include "core/modes.h"
#include "estimation/classic/evaluation_counter.h"
#include "estimation/classic/item_estimation.h"

namespace tarvo::scoring {

// A pass's sums in the precision the loop keeps them in.
template <typename Sum>
struct ScoringSums {
    Sum score = 0;
    Sum info = 0;
};

// A scoring loop makes at most 201 passes (it stops after pass 201 whatever
// the change), and CalibrateItem at most 200 cycles.
inline constexpr int kMostScoringPasses = 201;
inline constexpr int kMostItemCycles = 200;
// The item loops need this many examinees (not valid responses) to move.
inline constexpr std::size_t kFewestExaminees = 10;
// Change of a, b and c over a cycle that ends CalibrateItem: 0.0001 as a
// single-precision value, 9.999999747378752e-05.
inline constexpr double kCycleTolerance = static_cast<double>(0.0001f);

// The settled values of one parameter's loop. The bounds are tested in one
// direction on each side: "unless x is at most upperLimit" sends NaN and
// +infinity to aboveUpper, "if x is below lowerLimit" catches only real
// values.
struct LoopRule {
    double upperLimit;
    double aboveUpper;
    double lowerLimit;
    double belowLower;
    double tolerance;  // a smaller change of x ends the loop
    // Step without information; 0 for none. A parameter that has one is not
    // estimated without information and keeps the -1 it got on entry.
    double blindStep = 0;
    bool clearsStandardError = false;             // set the standard error to -1 on entry
    double ItemParameters::*parameter = nullptr;  // the item parameter moved
};

// The bounds are in core/estimate_bounds.h. The single-precision values are
// 0.00001, 0.001, 0.0001 and 0.01 held in single precision.
inline constexpr LoopRule kThetaRule{
    .upperLimit = kThetaBound,
    .aboveUpper = kThetaBound,
    .lowerLimit = -kThetaBound,
    .belowLower = -kThetaBound,
    .tolerance = static_cast<double>(0.00001f),
};
// seea is left as the caller set it.
inline constexpr LoopRule kItemARule{
    .upperLimit = kAUpper,
    .aboveUpper = kAUpper,
    .lowerLimit = kALower,
    .belowLower = kABelowLower,
    .tolerance = static_cast<double>(0.001f),
    .parameter = &ItemParameters::a,
};
// With a = 0 every b term is 0: the step 0/0 ends at the upper bound.
inline constexpr LoopRule kItemBRule{
    .upperLimit = kBBound,
    .aboveUpper = kBBound,
    .lowerLimit = -kBBound,
    .belowLower = -kBBound,
    .tolerance = static_cast<double>(0.0001f),
    .clearsStandardError = true,
    .parameter = &ItemParameters::b,
};
// A c of exactly 1 passes the upper test unchanged; without information c
// creeps upwards.
inline constexpr LoopRule kItemCRule{
    .upperLimit = kCUpper,
    .aboveUpper = kCAboveUpper,
    .lowerLimit = kCLower,
    .belowLower = kCBelowLower,
    .tolerance = static_cast<double>(0.0001f),
    .blindStep = static_cast<double>(0.01f),
    .clearsStandardError = true,
    .parameter = &ItemParameters::c,
};

// 1 / sqrt(information) in the precision of the sums, capped; an infinite or
// NaN value also becomes the cap.
template <typename Sum>
double CappedStandardError(Sum info) {
    const double se = static_cast<double>(1 / std::sqrt(info));
    return se <= kStandardErrorCap ? se : kStandardErrorCap;
}

// Steps x by one pass's sums and tells whether the loop is done. An undefined
// or infinite step (no information) is caught by the bound tests. Reaching a
// bound sets the previous value to the bound too, so the change test ends
// the loop.
template <const LoopRule& rule, typename Sum>
bool ScoringStep(double& x, Sum score, Sum info, int pass) {
    double previous = x;
    if constexpr (rule.blindStep != 0) {
        x = info == 0 ? x + rule.blindStep : static_cast<double>(x + score / info);
    } else {
        x = static_cast<double>(x + score / info);
    }
    if (!(x <= rule.upperLimit)) {
        x = rule.aboveUpper;
        previous = x;
    }
    if (x < rule.lowerLimit) {
        x = rule.belowLower;
        previous = x;
    }
    return std::fabs(x - previous) < rule.tolerance || pass >= kMostScoringPasses;
}

// Runs passes and steps x until the loop is done; returns the last pass's
// sums, taken where that pass started. pass() returns the sums at the
// current x (any type with score and info).
template <const LoopRule& rule, typename Pass>
auto RunScoringPasses(double& x, Pass&& pass) {
    for (int n = 1;; ++n) {
        const auto sums = pass();
        if (ScoringStep<rule>(x, sums.score, sums.info, n)) return sums;
    }
}

// One item parameter's loop (EstimateItemA, B or C): the entry rule of its
// standard error, the fewest examinees, the passes, and the standard error
// of the last pass. pass(p) returns the sums at the current parameters.
template <const LoopRule& rule, typename Pass>
void EstimateItemParameter(double& se, std::span<const std::uint8_t> column, ItemParameters& p,
                           Pass&& pass) {
    if constexpr (rule.clearsStandardError) se = kNotEstimated;
    if (column.size() < kFewestExaminees) return;

    const EvaluationTally tally(column);
    const auto last = RunScoringPasses<rule>(p.*rule.parameter, [&] {
        const auto sums = pass(std::as_const(p));
        tally.Pass();
        return sums;
    });
    if (rule.blindStep != 0 && last.info == 0) return;
    se = CappedStandardError(last.info);
}

// CalibrateItem's cycle: b, then a in the modes that estimate a (2..5), then
// c in those that estimate c (2 and 3), each seeing the values the previous loops
// left, until a cycle changes none of a, b and c or 200 cycles have run.
// estimateX(se, p) runs that parameter's loop.
template <typename EstimateB, typename EstimateA, typename EstimateC>
void CycleItemLoops(ItemStandardErrors& se, ItemParameters& p, int calibrationMode,
                    EstimateB&& estimateB, EstimateA&& estimateA, EstimateC&& estimateC) {
    const bool estimatesA = RulesOf(calibrationMode).estimatesA;
    const bool estimatesC = RulesOf(calibrationMode).estimatesC;
    for (int cycle = 1;; ++cycle) {
        const ItemParameters start = p;
        estimateB(se.seeb, p);
        if (estimatesA) estimateA(se.seea, p);
        if (estimatesC) estimateC(se.seec, p);
        if (cycle >= kMostItemCycles) break;
        if (std::fabs(p.a - start.a) < kCycleTolerance &&
            std::fabs(p.b - start.b) < kCycleTolerance &&
            std::fabs(p.c - start.c) < kCycleTolerance) {
            break;
        }
    }
}

}  // namespace tarvo::scoring
