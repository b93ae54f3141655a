#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "core/estimation_outcome.h"
#include "core/run_request.h"
#include "estimation/estimator.h"

namespace tarvo {

// The marginal estimator of tests with items scored 0..8 (GRM, GPCM or PCM),
// alone or beside right/wrong items of the 3PL, 2PL or 1PL: Bock-Aitkin EM
// over the request's quadrature, standard errors from the observed
// information, EAP scores. An item with an unused category below its
// largest score ends the run at its check, naming item and category, unless
// the request merges such categories (then each merge is shown as a
// warning). The result file has the polytomous layout (output/
// polytomous_rows.h). A stop between EM cycles or while the errors are
// formed leaves errors -1 and every examinee at theta 0, seetheta -1.
std::unique_ptr<Estimator> MakePolytomousEstimator(const RunRequest& request);

// Where a calibration starts instead of the values the responses give: per
// item its reported slope, thresholds (one for a right/wrong item) and c,
// and per calibrated group its population; for a refit of nearly the same
// model, which then needs fewer EM cycles. An item whose thresholds do not
// match, a common slope and a rating scale's shared steps keep their own.
struct StartValues {
    std::vector<double> a, c;
    std::vector<std::vector<double>> b;
    std::vector<PopulationEstimate> groups;
};

// The joint covariances of some items' free parameters, which a caller asks
// of a calibration beside its outcome (the IRT DIF screen's Wald tests):
// from the inverse of the one observed information the standard errors
// come from, over the parameters the estimator moves (a slope and
// intercepts, and c and u where estimated, as the item's model moves them;
// a common slope and a rating scale's steps, which no item has alone, left
// out).
struct ItemCovariances {
    std::vector<std::size_t> items;  // asked: the items, as the run's columns
    std::vector<int> widths;         // per item: its free parameters (0: not estimated)
    std::vector<double> values;      // their values at the estimates, item after item
    // Of all of them, row after row; empty when not formed, problem then
    // says why.
    std::vector<double> covariance;
    std::string problem;
};

// covariances, when given: its items' joint covariances, filled in when
// the estimation ends. Both start and covariances outlive the estimator.
std::unique_ptr<Estimator> MakePolytomousEstimator(const RunRequest& request,
                                                   const StartValues* start,
                                                   ItemCovariances* covariances = nullptr);

}  // namespace tarvo
