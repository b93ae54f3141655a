#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "fit/rest_score_expected.h"

namespace tarvo::fit {

// What a model's fit to the whole data needs from an estimator that has a
// marginal likelihood.
struct ModelLikelihood {
    double logLikelihood = 0;  // marginal log-likelihood of the responses, no priors
    int parameters = 0;        // parameters estimated (items' and population's)
};

// Everything the fit statistics read: plain values as a run leaves them,
// no type of the run itself.
struct FitInputs {
    // The items as the run ended, on the logistic metric with D = 1.7.
    std::span<const double> a, b, c;
    // Per item: how many of its parameters the run estimated (0 for an item
    // held at given values); S-X2's degrees of freedom lose them.
    std::span<const int> estimatedParameters;
    // Codes 1 (correct), 0 (incorrect) and 9 (no response), examinee after
    // examinee, one per item: the layout of the run's PersonTable.
    std::span<const std::uint8_t> responses;
    // Per examinee: the ability the run gave (the estimate of a classic run,
    // the written score of a marginal one); not finite means none.
    std::span<const double> theta;
    // Per examinee: the ability group of the observed-proportion plot
    // (0 .. abilityGroups - 1), or -1 for an examinee in no group.
    std::span<const std::int32_t> abilityGroup;
    std::size_t abilityGroups = 0;
    // The ability distribution of S-X2: the fitted population of a marginal
    // run (its quadrature), or a normal with the mean and SD of the
    // estimated abilities for a classic run.
    AbilityGrid grid;
    // The estimator's marginal likelihood; none for the classic estimator.
    std::optional<ModelLikelihood> likelihood;
};

// What the generalized S-X2 of a polytomous or mixed test reads.
struct CategoryFitInputs {
    // The items as the run ended, each by its own model.
    std::span<const ScoredItem> items;
    // Per item: how many of its parameters the run estimated.
    std::span<const int> estimatedParameters;
    // Scores 0 .. categories - 1 and 9 (no response), examinee after
    // examinee, one per item; a code at or above the item's categories is no
    // response either.
    std::span<const std::uint8_t> responses;
    AbilityGrid grid;
    // Per examinee, as FitInputs has them: the written ability (not finite:
    // none) and the ability group. Without abilities only S-X2 is formed.
    std::span<const double> theta;
    std::span<const std::int32_t> abilityGroup;
    std::size_t abilityGroups = 0;
    std::optional<ModelLikelihood> likelihood;
};

}  // namespace tarvo::fit
