#pragma once

#include "estimation/marginal/mml_em.h"
#include "estimation/marginal/mml_settings.h"
#include "platform/run_host.h"
#include "report/run_report.h"
#include "run/calibration_run.h"

namespace tarvo {

// A calibration run with the marginal estimator: the same front part, result
// file checks and viewer as RunCalibration, then Bock-Aitkin EM over the
// items, standard errors from the observed information, and scores of every
// examinee (EAP, MAP or ML). The result file has the layout of the joint
// mode whose columns fit the model:
//   3pl -> mode 3 (a, b, c estimated),
//   3pl-c-given -> mode 5 (c from the item parameter file, "c_given"),
//   2pl -> mode 3 (c written as 0.000 and seec as -1.000, not estimated),
//   1pl, rasch -> mode 6 (b and seeb; the Rasch model's common slope is in
//   the run report).
// With fixItems, the items whose line in the item parameter file is not blank
// keep the file's values (under the model's own constraints: a = 1 for the
// 1PL, c = 0 without a floor); a given c is kept inside [0, 0.999]. Items
// without a valid response are not estimated; their errors are -1.
// The standardise question is not asked: the scores are on the scale of the
// fitted ability distribution. When report is given, the fields this
// estimator owns are filled (see FillMarginalReport).
RunOutcome RunMarginalCalibration(RunHost& host, const EngineSettings& engine,
                                  const MarginalSettings& settings, RunReport* report);

// The joint mode whose result layout a model's run uses.
int LayoutModeFor(MarginalModel model);

// Records the method, model, every prior in force, the EM cycles (as the
// loop's passes: Settled when converged, PassLimit when the cycle limit was
// reached, Stopped at Stop) and the marginal log-likelihood.
void FillMarginalReport(const MarginalSettings& settings, const mml::EmOutcome& outcome,
                        RunReport& report);

}  // namespace tarvo
