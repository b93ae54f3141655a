#pragma once

// Data and small steps the marginal estimator's tests share: simulated
// responses with their generating items, and the E-step at given items.

#include <cstdint>
#include <vector>

#include "estimation/kernels/mml_kernels.h"
#include "estimation/marginal/mml_em.h"
#include "simulator.h"

namespace tarvo::mml::test {

struct Data {
    std::vector<double> a, b, c;
    std::vector<std::uint8_t> codes;
    std::size_t persons = 0, items = 0;

    ResponseView View() const { return {codes.data(), persons, items}; }
    ItemSpans Spans() { return {a, b, c}; }
};

inline Data Simulated(std::size_t persons, std::size_t items, double missing, std::uint64_t seed,
                      bool threePL = true) {
    sim::Random random(seed);
    auto drawn = sim::DrawItems(random, items, sim::ItemModel::ThreePL);
    if (!threePL) {
        for (auto& item : drawn) item.c = 0;
    }
    const auto theta = sim::DrawAbilities(random, persons);
    Data d;
    d.codes = sim::DrawResponses(random, theta, drawn, missing);
    d.persons = persons;
    d.items = items;
    for (const auto& item : drawn) {
        d.a.push_back(item.a);
        d.b.push_back(item.b);
        d.c.push_back(item.c);
    }
    return d;
}

// Fills posteriors at the items and returns the E-step's counts there.
inline ExpectedCounts CountsAt(PatternPosteriors& posteriors, ItemSpans items,
                               const Quadrature& quadrature, WorkerPool& pool) {
    LogCurveTables tables;
    tables.Fill(items.a, items.b, items.c, quadrature);
    posteriors.Fill(tables, quadrature);
    EStep estep(posteriors, pool.Threads());
    ExpectedCounts counts;
    estep.Run(pool, counts);
    return counts;
}

inline const MarginalKernels& BestKernels() { return MarginalKernelsFor(VectorUnit::Best); }

}  // namespace tarvo::mml::test
