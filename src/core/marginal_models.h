#pragma once

// The item response models of the marginal estimator as one table, beside
// the mode table: what each model estimates and holds, the bounds of its
// estimates, the priors that can act and those that are on unless the user
// says otherwise, the result layout and its names. Every rule that depends
// on the model reads it from here: the estimator, the front ends, the run
// report and the results window.

#include <array>
#include <cstddef>
#include <limits>
#include <optional>
#include <string_view>

#include "core/modes.h"

namespace tarvo {

enum class MarginalModel {
    ThreePL,        // a, b, c per item
    ThreePLCGiven,  // a, b per item; c as the item parameter file gives it
    TwoPL,          // a, b per item; c = 0
    OnePL,          // b per item; a = 1, c = 0
    Rasch,          // b per item and one slope common to all items; c = 0
    FourPL,         // a, b, c and the upper asymptote u per item
};

// The closed range an estimate is kept in.
struct EstimateRange {
    double lowest;
    double highest;
};

// An estimate this close to an end of its range is on it: the search
// stopped there, and its standard error is not defined.
inline constexpr double kOnBound = 1e-7;
constexpr bool OnBound(double value, EstimateRange range) {
    return value - range.lowest < kOnBound || range.highest - value < kOnBound;
}

// The ranges of the marginal estimates. With a beta prior on c, c stays off
// 0, where the prior's logarithm ends.
inline constexpr EstimateRange kMarginalA{0.02, 8};
inline constexpr EstimateRange kMarginalB{-10, 10};
inline constexpr EstimateRange kMarginalC{0, 0.95};
inline constexpr double kLowestCWithPrior = 1e-6;

// The right/wrong items' slopes and intercepts are free (the curve
// D (a theta + d), b = -d / a): a may take either sign and b any value, so
// their ranges have no end. c moves on the logit scale, inside (0, 1).
inline constexpr EstimateRange kLineA{-std::numeric_limits<double>::infinity(),
                                      std::numeric_limits<double>::infinity()};
inline constexpr EstimateRange kLineB = kLineA;
inline constexpr EstimateRange kLineC{0, 1};
// The search stops a right/wrong item's slope at this size: a slope of 100
// turns the curve from c to 1 within a tenth of the ability scale, a step no
// quadrature grid tells from a steeper one. A slope there was still rising:
// the likelihood has no maximum.
inline constexpr double kSlopeReach = 100;
// Below this size a slope leaves b = -d / a no location on the scale.
inline constexpr double kSmallestLocatingSlope = 0.05;

// Which of an item's own parameters the estimator moves.
struct FreeParameters {
    bool a = true, b = true, c = true;
};

struct MarginalModelRules {
    MarginalModel model;
    std::string_view name;     // --model, the job file and the run report
    std::string_view caption;  // the options dialog
    FreeParameters free;       // an item's own parameters that EM moves
    bool commonSlope;          // one slope shared by all estimated items, estimated
    bool aIsOne;               // a = 1
    bool cIsZero;              // c = 0: no floor
    bool cFromItemFile;        // c as the item parameter file gives it
    // The priors that can act: on a (the items' slopes, or the common
    // slope), on b, on c (only where c is estimated).
    bool priorOnA, priorOnB, priorOnC;
    // The priors on unless the user says otherwise: only where the model
    // needs one to be identified (the 3PL's c and, with it, a).
    bool defaultPriorOnA, defaultPriorOnC;
    int layoutMode;  // the joint mode whose result layout a run writes
    EstimateRange a, b, c;
    // The upper asymptote u: its prior can act, and is on unless the user
    // says otherwise.
    bool priorOnU, defaultPriorOnU;
    // Fitted by the engine of the item model table (with the polytomous
    // runs' result layout) even when every item is right/wrong.
    bool modelTable;
};

namespace marginal_models_detail {
constexpr EstimateRange A = kLineA, B = kLineB, C = kLineC, RaschA = kMarginalA;
// clang-format off
inline constexpr std::array<MarginalModelRules, 6> kTable{{
    //                              free a b c          common a=1   c=0    c file  prior a b c       default a c    layout    prior u, default u, model table
    {MarginalModel::ThreePL, "3pl", "3PL", {true, true, true}, false, false, false, false, true, true, true, true, true, 3, A, B, C, false, false, false},
    {MarginalModel::ThreePLCGiven, "3pl-c-given", "3PL, c from the item file",
                                            {true, true, false}, false, false, false, true, true, true, false, false, false, 5, A, B, C, false, false, false},
    {MarginalModel::TwoPL, "2pl", "2PL", {true, true, false}, false, false, true, false, true, true, false, false, false, 3, A, B, C, false, false, false},
    {MarginalModel::OnePL, "1pl", "1PL", {false, true, false}, false, true, true, false, false, true, false, false, false, 6, A, B, C, false, false, false},
    {MarginalModel::Rasch, "rasch", "Rasch (1PL with a common slope)",
                                            {false, true, false}, true, false, true, false, true, true, false, false, false, 6, RaschA, B, C, false, false, false},
    {MarginalModel::FourPL, "4pl", "4PL (with an upper asymptote)",
                                            {true, true, true}, false, false, false, false, true, true, true, true, true, 3, A, B, C, true, true, true},
}};
// clang-format on
}  // namespace marginal_models_detail

inline constexpr const auto& kMarginalModels = marginal_models_detail::kTable;

constexpr const MarginalModelRules& RulesOf(MarginalModel model) {
    return kMarginalModels[static_cast<std::size_t>(model)];
}

constexpr std::string_view ModelName(MarginalModel model) { return RulesOf(model).name; }

constexpr std::optional<MarginalModel> ModelNamed(std::string_view name) {
    for (const MarginalModelRules& rules : kMarginalModels) {
        if (rules.name == name) return rules.model;
    }
    return std::nullopt;
}

// The model a run takes when none is chosen: the model of the joint mode
// chosen (3: 3PL, 5: c given, 6: 1PL); any other mode: the 3PL.
constexpr MarginalModel DefaultMarginalModel(int mode) {
    if (!IsMode(mode) || RulesOf(mode).path != RunPath::Joint) return MarginalModel::ThreePL;
    if (RulesOf(mode).cGiven) return MarginalModel::ThreePLCGiven;
    return RulesOf(mode).onePL ? MarginalModel::OnePL : MarginalModel::ThreePL;
}

// The lowest c of a model whose c is estimated, with or without its prior.
constexpr double LowestC(const MarginalModelRules& rules, bool priorOnC) {
    return priorOnC && rules.priorOnC ? kLowestCWithPrior : rules.c.lowest;
}

}  // namespace tarvo
