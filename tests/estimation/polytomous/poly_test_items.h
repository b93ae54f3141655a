#pragma once

// Items, settings and simulated scores the polytomous engine's tests share,
// each item from its slope and thresholds.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/marginal_settings.h"
#include "estimation/polytomous/poly_items.h"

namespace tarvo::poly::test {

// The score an examinee at theta gives the item, from a uniform draw u.
inline std::uint8_t DrawScore(const Item& item, double theta, double u, std::span<double> p) {
    CategoryProbabilities(item, theta, p);
    int k = 0;
    while (k + 1 < item.categories && u >= p[k]) u -= p[k++];
    return static_cast<std::uint8_t>(k);
}

inline Item Graded(double a, std::vector<double> b) {
    Item item =
        ItemOf(static_cast<int>(b.size()) + 1, RulesOf(MarginalModel::TwoPL), PolytomousModel::Grm);
    item.a = a;
    for (std::size_t k = 0; k < b.size(); ++k) item.b[k] = b[k];
    InterceptsFromThresholds(item);
    return item;
}

inline Item Partial(double a, std::vector<double> b) {
    Item item = ItemOf(static_cast<int>(b.size()) + 1, RulesOf(MarginalModel::TwoPL),
                       PolytomousModel::Gpcm);
    item.a = a;
    for (std::size_t k = 0; k < b.size(); ++k) item.b[k] = b[k];
    InterceptsFromThresholds(item);
    return item;
}

// A right/wrong item: the 2PL, or the 3PL where it has a guessing c.
inline Item Binary(double a, double b, double c = 0) {
    Item item = ItemOf(2, RulesOf(c > 0 ? MarginalModel::ThreePL : MarginalModel::TwoPL),
                       PolytomousModel::Grm);
    item.a = a;
    item.b[0] = b;
    item.c = c;
    // The estimator moves the intercept d = -a b.
    InterceptsFromThresholds(item);
    return item;
}

// The GRM beside 2PL items, no prior, tight tolerances.
inline MarginalSettings Plain() {
    MarginalSettings settings = SettingsFor(MarginalModel::TwoPL);
    settings.polytomous = PolytomousModel::Grm;
    settings.tolerance = 1e-7;
    settings.logLikelihoodTolerance = 1e-9;
    return settings;
}

}  // namespace tarvo::poly::test

namespace tarvo::poly {
namespace test_items = test;
}  // namespace tarvo::poly
