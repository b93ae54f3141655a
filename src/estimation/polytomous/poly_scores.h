#pragma once

// MAP and ML scores of a test of polytomous and right/wrong items: each
// examinee's log-likelihood over the items answered (plus, for MAP, the
// log of a normal ability density) maximised by Fisher scoring in theta,
// kept within the bounds; the standard error from the information at the
// estimate. A pattern of every item's lowest (or highest) score has no
// finite ML estimate: it ends at the bound, as the dichotomous ML's does.

#include <span>

#include "core/estimation_outcome.h"
#include "estimation/polytomous/poly_em.h"

namespace tarvo::poly {

// The derivatives of P(X = k) by theta, k = 0..categories - 1; p from
// CategoryProbabilities at the same theta.
void CategoryThetaDerivatives(const Item& item, double theta, std::span<const double> p,
                              std::span<double> derivatives);

struct ModeScoring {
    bool prior = false;  // MAP: the normal density below; ML: none
    double mean = 0, sd = 1;
    double lowest = -3, highest = 3;
};

// Replaces each examinee's theta (its start, the EAP) with the mode and
// seTheta with its error; an examinee without a valid response keeps the
// start, with no error (-1) under ML.
//
// With groups attached to the responses and their populations given, MAP
// takes each examinee's own group's density instead, within its mean +-
// groupReach SDs.
void ScoreByMode(std::span<const Item> items, Responses responses, const ModeScoring& scoring,
                 std::span<double> theta, std::span<double> seTheta,
                 std::span<const PopulationEstimate> groups = {}, double groupReach = 6);

}  // namespace tarvo::poly
