#pragma once

#include <memory>

#include "core/run_request.h"
#include "estimation/estimator.h"

namespace tarvo {

// The marginal estimator of the request's model: Bock-Aitkin EM over the
// items, standard errors from the observed information, and scores of every
// examinee (EAP, MAP or ML). The result file has the layout of the joint
// mode the model table names for the model (the 2PL writes c = 0.000 and
// seec = -1.000; the Rasch model's common slope is in the run report).
// With fixItems, the items whose line in the item parameter file holds
// anything keep the file's values (under the model's own constraints: a = 1
// for the 1PL, c = 0 without a floor); a given c is kept inside [0, 0.999].
// Items without a valid response are not estimated; their errors are -1.
// No standardise question is asked: the scores are on the scale of the
// fitted ability distribution. A stop is answered in every phase: between
// EM cycles, while the standard errors are formed and between blocks of
// examinees being scored; what was not computed is written as -1 errors
// and, for examinees, theta 0.
std::unique_ptr<Estimator> MakeMarginalEstimator(const RunRequest& request);

}  // namespace tarvo
