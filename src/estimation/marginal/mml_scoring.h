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

// Expected a posteriori: the posterior mean and SD of every examinee over
// the quadrature (the fitted ability distribution as prior).
void ScoreEap(ResponseView responses, ItemSpans items, const Quadrature& quadrature,
              WorkerPool& pool, ScoreSpans out);

// Maximum a posteriori under the normal ability distribution of the given
// mean and SD: Newton's method from the EAP, kept inside the quadrature's
// range; the standard error from the posterior curvature, capped at 99.
void ScoreMap(ResponseView responses, ItemSpans items, const Quadrature& quadrature, double mean,
              double sd, WorkerPool& pool, ScoreSpans out);

}  // namespace tarvo::mml
