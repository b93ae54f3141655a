#pragma once

#include "estimation/marginal/mml_quadrature.h"
#include "fit_data.h"
#include "simulator.h"

namespace tarvo::fit {

using sim::FitData;

// The marginal estimator's default ability distribution: the standard
// normal on 61 points from -6 to 6.
inline void UseStandardNormal(FitData& data) {
    const mml::Quadrature quadrature = mml::NormalQuadrature(61, 6);
    data.gridTheta = quadrature.theta;
    data.gridWeight = quadrature.weight;
}

// A simulated set with its generating items and abilities.
inline FitData Simulated(const sim::SimulationSettings& settings, int estimated = 3) {
    FitData out = sim::FitDataOf(sim::Simulate(settings), estimated);
    UseStandardNormal(out);
    return out;
}

// The simulated 1,000 x 20 3PL set the rpf reference numbers were made on
// (bench/fit_bench.cpp, "sim1000x20").
inline FitData Sim1000x20() {
    sim::SimulationSettings settings;
    settings.seed = 20;
    settings.personCount = 1'000;
    settings.itemCount = 20;
    return Simulated(settings);
}

}  // namespace tarvo::fit
