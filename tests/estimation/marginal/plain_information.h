#pragma once

#include <vector>

#include "estimation/marginal/mml_information.h"

namespace tarvo::mml::test {

// The observed information by Louis' formula in plain scalar loops, one
// thread: what ObservedInformation forms by matrix products, to rounding.
std::vector<double> PlainObservedInformation(ResponseView responses, const ParameterLayout& layout,
                                             const MarginalSettings& settings, ItemSpans items,
                                             const Quadrature& quadrature,
                                             const ExpectedCounts& counts);

}  // namespace tarvo::mml::test
