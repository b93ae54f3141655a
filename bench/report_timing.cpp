#include "report_timing.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>

#include "core/loop_limits.h"
#include "report/report_builder.h"
#include "report/report_json.h"

namespace tarvo::bench {

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

ReportTiming TimeReport(std::size_t persons, std::size_t items) {
    // Tables as a joint 3PL run leaves them: 2% missing responses, abilities
    // spread over -3..3, items well inside their bounds.
    PersonTable personTable;
    personTable.itemCount = items;
    personTable.responses.resize(persons * items);
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    auto uniform = [&] {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return static_cast<double>((state * 2685821657736338717ull) >> 11) * 0x1.0p-53;
    };
    for (std::size_t j = 0; j < persons; ++j) {
        const double theta = -3 + 6 * uniform();
        personTable.ExaminID.push_back("E" + std::to_string(j + 1));
        personTable.theta.push_back(theta);
        personTable.seetheta.push_back(0.3);
        personTable.Nvalid.push_back(0);
        for (std::size_t i = 0; i < items; ++i) {
            const double b = -2 + 4.0 * i / items;
            const double u = uniform();
            personTable.responses[j * items + i] =
                u < 0.02 ? kNoResponse : (uniform() < 1 / (1 + std::exp(-1.7 * (theta - b))));
        }
    }
    ItemTable itemTable(items);
    for (std::size_t i = 0; i < items; ++i) {
        itemTable.AccNo[i] = "I" + std::to_string(i + 1);
        itemTable.a[i] = 1;
        itemTable.b[i] = -2 + 4.0 * i / items;
        itemTable.c[i] = 0.2;
        itemTable.seea[i] = itemTable.seeb[i] = itemTable.seec[i] = 0.05;
    }

    ReportTiming timing;
    RunReport report;
    report::DescribeRun(report, 3);
    report.loop.end = LoopEnd::PassLimit;
    report.loop.passes = kMostJointPasses;
    const auto start = std::chrono::steady_clock::now();
    report::CompleteRunReport(report, itemTable, personTable);
    timing.statisticsSeconds = SecondsSince(start);
    const auto jsonStart = std::chrono::steady_clock::now();
    timing.jsonBytes = report::ReportJson(report).size();
    timing.jsonSeconds = SecondsSince(jsonStart);
    return timing;
}

}  // namespace tarvo::bench
