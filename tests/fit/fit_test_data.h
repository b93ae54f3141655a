#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "fit/fit_inputs.h"
#include "simulator.h"

namespace tarvo::fit {

// The marginal estimator's default ability distribution: the standard
// normal on equally spaced points from -range to range, weights summing to 1.
struct NormalGrid {
    std::vector<double> theta, weight;

    explicit NormalGrid(int points = 61, double range = 6) {
        double total = 0;
        for (int k = 0; k < points; ++k) {
            const double z = -range + 2 * range * k / (points - 1);
            theta.push_back(z);
            weight.push_back(std::exp(-z * z / 2));
            total += weight.back();
        }
        for (double& w : weight) w /= total;
    }

    AbilityGrid Grid() const { return {theta, weight}; }
};

// What ComputeFit reads, owned by the test.
struct FitData {
    std::vector<double> a, b, c, theta;
    std::vector<int> estimated;
    std::vector<std::uint8_t> responses;
    std::vector<std::int32_t> group;
    std::size_t groups = 0;
    NormalGrid grid;

    std::size_t Items() const { return a.size(); }

    FitInputs Inputs() const {
        FitInputs in;
        in.a = a;
        in.b = b;
        in.c = c;
        in.estimatedParameters = estimated;
        in.responses = responses;
        in.theta = theta;
        in.abilityGroup = group;
        in.abilityGroups = groups;
        in.grid = grid.Grid();
        return in;
    }
};

// A simulated set with its generating items and abilities.
inline FitData Simulated(const sim::SimulationSettings& settings, int estimated = 3) {
    const sim::SimulatedData data = sim::Simulate(settings);
    FitData out;
    for (const sim::SimulatedItem& item : data.items) {
        out.a.push_back(item.a);
        out.b.push_back(item.b);
        out.c.push_back(item.c);
    }
    out.estimated.assign(out.a.size(), estimated);
    out.theta = data.theta;
    out.responses = data.responses;
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
