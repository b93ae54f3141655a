#pragma once

// The models of items scored in more than two categories, as one table:
// each row says whether the item's slope is estimated and how the model is
// named. The polytomous estimator, the request parser and the result file
// read them from here; the right/wrong items of a mixed test keep the
// marginal model table's rules.

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace tarvo {

enum class PolytomousModel {
    None,     // every item right/wrong: the dichotomous estimator
    Grm,      // graded response: P(X >= k) logistic in D a (theta - b_k)
    Gpcm,     // generalized partial credit: steps b_k, slope a
    Pcm,      // partial credit: the GPCM with one slope common to its items
    Rsm,      // rating scale: the PCM with b_k = location + tau_k, the taus shared by a scale
    PerItem,  // each item's model as the item-models file names it
    Nominal,  // Bock's nominal model: the options of multiple-choice items, read by option code
};

struct PolytomousModelRules {
    PolytomousModel model;
    std::string_view name;  // --model, the job file and the result file
    bool slopeFree;         // a estimated per item
    bool commonSlope;       // one slope shared by the model's items, estimated: it sets
                            // the spread of the abilities, as the population's SD would
    bool cumulative;        // thresholds of P(X >= k) (GRM) or steps (partial credit)
    bool sharedSteps;       // each item has a location; the steps' offsets from it (summing
                            // to 0) are shared by the items of one scale
};

inline constexpr std::array<PolytomousModelRules, 7> kPolytomousModels{{
    {PolytomousModel::None, "", false, false, false, false},
    {PolytomousModel::Grm, "grm", true, false, true, false},
    {PolytomousModel::Gpcm, "gpcm", true, false, false, false},
    {PolytomousModel::Pcm, "pcm", false, true, false, false},
    {PolytomousModel::Rsm, "rsm", false, true, false, true},
    // Not a model of its own: the report names the run by it, and each
    // item is judged by the widest slope range.
    {PolytomousModel::PerItem, "per-item", true, false, false, false},
    // A slope and an intercept per option, the first option's 0.
    {PolytomousModel::Nominal, "nominal", true, false, false, false},
}};

constexpr const PolytomousModelRules& RulesOf(PolytomousModel model) {
    return kPolytomousModels[static_cast<std::size_t>(model)];
}

constexpr std::optional<PolytomousModel> PolytomousModelNamed(std::string_view name) {
    for (const PolytomousModelRules& rules : kPolytomousModels) {
        if (rules.model == PolytomousModel::PerItem) continue;
        if (!rules.name.empty() && rules.name == name) return rules.model;
    }
    return std::nullopt;
}

// A slope nearer 0 than this leaves b = -d / (D a) no location: the item
// does not discriminate, and its thresholds are reported as not defined.
inline constexpr double kLeastDiscrimination = 0.05;

// The most categories of an item: scores 0..8.
inline constexpr int kMostCategories = 9;

}  // namespace tarvo
