#pragma once

// The report sections of a run with two groups, screened for DIF and
// calibrated together, formed by the engine's own section writers from
// simulated right/wrong answers, for the results window's tests.

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "dif/dif_report.h"
#include "parallel/worker_pool.h"
#include "report/run_report.h"
#include "run/polytomous_section.h"

namespace tarvo::shell::test_support {

// 400 examinees of group "R" and 300 of "F" (lower ability) on six items,
// item 2 (index 1) harder for F; every 50th examinee without a group.
inline std::vector<ReportSection> GroupSections() {
    constexpr std::size_t kItems = 6;
    PersonTable persons;
    persons.itemCount = kItems;
    persons.groupLabels = {"R", "F"};
    std::mt19937_64 random(41);
    std::normal_distribution<double> normal;
    std::uniform_real_distribution<double> uniform;
    for (std::size_t j = 0; j < 700; ++j) {
        const std::int32_t g = j < 400 ? 0 : 1;
        const double theta = normal(random) - 0.4 * g;
        for (std::size_t i = 0; i < kItems; ++i) {
            const double b = -1.0 + 0.4 * static_cast<double>(i) + (i == 1 && g == 1 ? 1.2 : 0);
            const double p = 1 / (1 + std::exp(-1.7 * (theta - b)));
            persons.responses.push_back(uniform(random) < p ? 1 : 0);
        }
        persons.theta.push_back(theta);
        persons.seetheta.push_back(0.4);
        persons.ExaminID.push_back("E" + std::to_string(j));
        persons.group.push_back(j % 50 == 49 ? PersonTable::kNoGroup : g);
    }
    DifRequest request;
    request.mantelHaenszel = request.standardization = request.logistic = true;
    WorkerPool pool(1);
    const dif::DifReport dif =
        dif::DifOfRun(request, GroupSettings{10, 1, "", "", {}}, persons, dif::ItemNames{}, pool);
    ReportSection difSection;
    difSection.key = "dif";
    difSection.json = dif.json;

    EstimationOutcome outcome;
    outcome.categories.assign(kItems, 2);
    outcome.itemParameters = 12;
    outcome.logLikelihood = -2400.5;
    outcome.groupErrors = GroupErrorSource::WithItems;
    outcome.examineesWithoutGroup = 14;
    PopulationEstimate reference;
    PopulationEstimate focal{true, -0.41, 1.05, 0.07, 0.06};
    outcome.groups = {GroupEstimate{"R", 392, true, reference},
                      GroupEstimate{"F", 294, false, focal}};
    return {difSection, GroupsSection(persons, outcome)};
}

}  // namespace tarvo::shell::test_support
