#include "loop_timing.h"

#include <chrono>

#include "estimation/classic/estimators.h"
#include "estimation/classic/evaluation_counter.h"
#include "simulator.h"
#include "thread_time.h"

namespace tarvo::bench {

namespace {

template <typename Loop>
LoopTiming Time(const char* name, Loop loop) {
    const std::uint64_t before = EvaluationCounter().load();
    const double cpuStart = ThreadCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    loop();
    const auto end = std::chrono::steady_clock::now();
    return {name,
            0,
            0,
            std::chrono::duration<double>(end - start).count(),
            ThreadCpuSeconds() - cpuStart,
            EvaluationCounter().load() - before};
}

}  // namespace

std::vector<LoopTiming> TimeLoops(Arithmetic arithmetic, VectorUnit unit, std::size_t persons,
                                  std::size_t items, bool withItemLoops) {
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

    AbilityEstimator abilities(arithmetic, unit);
    abilities.UseItems(a, b, c);
    const ItemEstimator itemEstimator(arithmetic, unit);
    double sink = 0;
    std::vector<LoopTiming> timings;
    std::vector<double> theta(persons, 0.0);
    std::vector<double> seetheta(persons);
    std::vector<std::int32_t> Nvalid(persons);
    timings.push_back(Time("theta", [&] {
        AbilityEstimator::Workspace workspace;
        abilities.EstimateMany(persons, data.responses.data(), theta.data(), seetheta.data(),
                               Nvalid.data(), workspace);
        sink += theta[0];
    }));
    if (withItemLoops)
        timings.push_back(Time("items", [&] {
            for (std::size_t i = 0; i < items; ++i) {
                ItemParameters p{0.75, 0, static_cast<double>(0.2f)};
                ItemStandardErrors se{-1, -1, -1};
                itemEstimator.Calibrate(se, columns[i], data.theta, p, 3);
                sink += p.b;
            }
        }));
    for (auto& timing : timings) {
        timing.persons = persons;
        timing.items = items;
    }
    // Keeps the loops from being optimised away.
    if (sink == 12345.678) timings.clear();
    return timings;
}

}  // namespace tarvo::bench
