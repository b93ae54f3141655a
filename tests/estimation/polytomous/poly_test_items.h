#pragma once

// Items of the polytomous engine's tests, each from its slope and
// thresholds.

#include <cstddef>
#include <vector>

#include "estimation/polytomous/poly_items.h"

namespace tarvo::poly::test {

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
    return item;
}

}  // namespace tarvo::poly::test
