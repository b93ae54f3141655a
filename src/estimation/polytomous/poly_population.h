#pragma once

// The ability distribution's mean and SD of a polytomous run with held
// items (which set the scale): after each EM cycle the normal population
// moves to the mean and SD of the examinees' posteriors, and the
// quadrature with it; at the end, their standard errors from the
// population's block of the observed information (Louis' formula: each
// examinee's posterior expectation of minus the normal log density's
// Hessian in (mean, SD), less the posterior covariance of its score).

#include "core/estimation_outcome.h"
#include "estimation/polytomous/poly_em.h"

namespace tarvo::poly {

// Moves population and quadrature to the posteriors of the items as the
// last E-step left its tables; returns the larger change of the mean and
// the SD.
double MovePopulation(std::span<const Item> items, Responses responses, double range,
                      mml::Quadrature& quadrature, EmTables& tables,
                      PopulationEstimate& population);

// The errors of the population's mean and SD at the items as they stand
// (NaN where the block is not positive definite).
void SetPopulationErrors(std::span<const Item> items, Responses responses,
                         const mml::Quadrature& quadrature, EmTables& tables,
                         PopulationEstimate& population);

}  // namespace tarvo::poly
