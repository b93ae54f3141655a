#include "loop_timing.h"

#include <chrono>

#include "estimation/evaluation_counter.h"
#include "estimation/item_estimation.h"
#include "estimation/theta_estimation.h"
#include "simulator.h"

namespace tarvo::bench {

namespace {

template <typename Loop>
LoopTiming Time(const char* name, Loop loop) {
    const std::uint64_t before = EvaluationCounter().load();
    const auto start = std::chrono::steady_clock::now();
    loop();
    const auto end = std::chrono::steady_clock::now();
    return {name, std::chrono::duration<double>(end - start).count(),
            EvaluationCounter().load() - before};
}

}  // namespace

std::vector<LoopTiming> TimeLoops(Arithmetic, std::size_t persons, std::size_t items) {
    sim::SimulationSettings settings;
    settings.seed = 11;
    settings.personCount = persons;
    settings.itemCount = items;
    settings.missingFraction = 0.02;
    const sim::SimulatedData data = sim::Simulate(settings);
    std::vector<double> a, b, c;
    for (const auto& item : data.items) {
        a.push_back(item.a);
        b.push_back(item.b);
        c.push_back(item.c);
    }
    std::vector<std::vector<std::uint8_t>> columns;
    for (std::size_t i = 0; i < items; ++i) {
        columns.push_back(sim::ItemColumn(data.responses, items, i));
    }

    double sink = 0;
    std::vector<LoopTiming> timings;
    timings.push_back(Time("theta", [&] {
        for (std::size_t j = 0; j < persons; ++j) {
            double theta = 0;
            double seetheta = 0;
            std::int32_t Nvalid = 0;
            EstimateTheta(theta, a, b, c, sim::ExamineeRow(data.responses, items, j), seetheta,
                          Nvalid);
            sink += theta;
        }
    }));
    timings.push_back(Time("items", [&] {
        for (std::size_t i = 0; i < items; ++i) {
            ItemParameters p{0.75, 0, static_cast<double>(0.2f)};
            ItemStandardErrors se{-1, -1, -1};
            CalibrateItem(se, columns[i], data.theta, p, 3);
            sink += p.b;
        }
    }));
    // Keeps the loops from being optimised away.
    if (sink == 12345.678) timings.clear();
    return timings;
}

}  // namespace tarvo::bench
