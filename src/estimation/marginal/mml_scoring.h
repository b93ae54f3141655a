#pragma once

#include <cstdint>
#include <span>

#include "estimation/marginal/mml_em.h"

namespace tarvo::mml {

// Where the scores go: one entry per examinee.
struct ScoreSpans {
    std::span<double> theta, seetheta;
    std::span<std::int32_t> Nvalid;
};

// The examinees [from, to) to score; every examinee by default. A run
// scores block after block so that it can stop between two.
struct ExamineeBlock {
    std::size_t from = 0;
    std::size_t to = static_cast<std::size_t>(-1);
};

// Expected a posteriori: the posterior mean and SD of every examinee over
// the quadrature (the fitted ability distribution as prior), with the items
// posteriors was last filled with.
void ScoreEap(const PatternPosteriors& posteriors, const Quadrature& quadrature, WorkerPool& pool,
              ScoreSpans out, ExamineeBlock block = {});

// Maximum a posteriori under the normal ability distribution of the given
// mean and SD: Newton's method from the EAP, kept inside the quadrature's
// range; the standard error from the posterior curvature, capped at 99.
// The EAP that starts each search comes from posteriors, filled with items.
void ScoreMap(const PatternPosteriors& posteriors, ItemSpans items, const Quadrature& quadrature,
              double mean, double sd, WorkerPool& pool, ScoreSpans out, ExamineeBlock block = {});

}  // namespace tarvo::mml
