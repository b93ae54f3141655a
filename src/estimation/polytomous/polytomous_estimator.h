#pragma once

#include <memory>
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
std::unique_ptr<Estimator> MakePolytomousEstimator(const RunRequest& request,
                                                   const StartValues* start);

}  // namespace tarvo
