#pragma once

#include "linking/methods/link_methods.h"

namespace tarvo::linking {

// Haebara or Stocking-Lord: the (A, B) that minimise the criterion over the
// grid of the settings, from the start given (mean/sigma's constants
// usually), and the sensitivity of the minimum to every common item's
// parameters: minus the inverse Hessian times the gradient's derivatives
// with respect to the parameters (GradientSensitivity, by central
// differences). The watch hears the minimum found (half way) and the
// errors' progress; a stop asked of it gives no constants.
LinkConstants CharacteristicCurveLink(LinkMethod method, const AnchorSet& set,
                                      const LinkSettings& settings, double startA, double startB,
                                      Sensitivity& sensitivity, const StepWatch& watch = {});

}  // namespace tarvo::linking
