#pragma once

// The inputs of the fit statistics owned in one place, for the tests and the
// benchmark: the items, codes, abilities, ability groups and the ability
// distribution's points and weights, and a view of them as FitInputs.
// Header only; whoever includes it links tarvo_fit.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fit/fit_inputs.h"
#include "simulator.h"

namespace tarvo::sim {

struct FitData {
    std::vector<double> a, b, c, theta;
    std::vector<int> estimated;
    std::vector<std::uint8_t> responses;
    std::vector<std::int32_t> group;
    std::size_t groups = 0;
    std::vector<double> gridTheta, gridWeight;

    std::size_t Items() const { return a.size(); }

    fit::FitInputs Inputs() const {
        fit::FitInputs in;
        in.a = a;
        in.b = b;
        in.c = c;
        in.estimatedParameters = estimated;
        in.responses = responses;
        in.theta = theta;
        in.abilityGroup = group;
        in.abilityGroups = groups;
        in.grid = {gridTheta, gridWeight};
        return in;
    }
};

// A simulated set's generating items and abilities, every item counted as
// having estimated parameters; no groups and no grid yet.
inline FitData FitDataOf(const SimulatedData& data, int estimated) {
    FitData out;
    ItemColumns columns = ColumnsOf(data.items);
    out.a = std::move(columns.a);
    out.b = std::move(columns.b);
    out.c = std::move(columns.c);
    out.estimated.assign(out.a.size(), estimated);
    out.theta = data.theta;
    out.responses = data.responses;
    return out;
}

}  // namespace tarvo::sim
