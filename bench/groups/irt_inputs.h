#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/marginal_settings.h"
#include "core/run_request.h"
#include "input/front_part.h"

namespace tarvo::bench {

// Simulated right/wrong responses (examinee j's to item i at j * items +
// i) and each examinee's group (0 the reference "R", 1 the focal "F") as
// the run's inputs, for the IRT DIF screen.
inline RunInputs InputsOf(std::size_t items, std::span<const std::uint8_t> codes,
                          std::span<const std::int32_t> group) {
    RunInputs inputs;
    inputs.settings.itemCount = static_cast<std::uint16_t>(items);
    inputs.settings.responseFile = "simulated";
    inputs.items = ItemTable(items);
    PersonTable& table = inputs.persons;
    table.itemCount = items;
    table.groupLabels = {"R", "F"};
    table.responses.assign(codes.begin(), codes.end());
    for (std::size_t j = 0; j < group.size(); ++j) {
        table.group.push_back(group[j]);
        table.ExaminID.push_back(std::to_string(j + 1));
        table.theta.push_back(0);
        table.seetheta.push_back(0);
        table.Nvalid.push_back(static_cast<std::int32_t>(items));
    }
    return inputs;
}

// The IRT screen's request: a 2PL calibration of the two groups together.
inline RunRequest IrtScreenRequest(unsigned threads) {
    RunRequest request;
    request.method = Method::Marginal;
    request.marginal = SettingsFor(MarginalModel::TwoPL);
    request.marginal.groups = true;
    request.groups.length = 1;
    request.dif.irt = true;
    request.threads = threads;
    return request;
}

}  // namespace tarvo::bench
