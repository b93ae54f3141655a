#pragma once

#include "core/estimation_outcome.h"
#include "estimation/marginal/mml_em.h"

namespace tarvo::mml {

// The standard errors of an estimated ability distribution's mean and SD,
// from the population's own block of the observed information by Louis'
// formula: for every examinee, the posterior expectation of minus the
// normal log density's Hessian in (mean, SD), less the posterior covariance
// of its score, summed over examinees (in examinee order, so the same for
// every thread count). The items are taken as posteriors was last filled
// with, as the held items of a linking run are; the covariance with items estimated beside
// the population is left out. NaN where the block is not positive definite.
void SetPopulationErrors(const PatternPosteriors& posteriors, const Quadrature& quadrature,
                         WorkerPool& pool, PopulationEstimate& population);

}  // namespace tarvo::mml
