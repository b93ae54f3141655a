#pragma once

// The pair of forms of bench/reference/linking_reference.R: a base form of
// eight 3PL items and a new form made from it with A = 1.2 and B = 0.3 and
// small fixed departures, with standard errors. The expected values of the
// linking tests were printed by that script (R 4.2.2, base R only: optim
// BFGS, Nelder-Mead, BFGS again with reltol 1e-16 on the same criteria;
// the delta-method errors by central differences of those minima with step
// 1e-4; the score table by summing all 256 response patterns; the equating
// by uniroot).
#include <string>

#include "linking/common_items.h"
#include "linking/item_form.h"

namespace tarvo::linking::test {

inline ItemForm ReferenceBase() {
    ItemForm form;
    form.Resize(8);
    form.a = {0.8, 1.2, 1.0, 1.5, 0.6, 1.1, 0.9, 1.3};
    form.b = {-1.5, -0.8, -0.2, 0.0, 0.4, 0.9, 1.3, 2.0};
    form.c = {0.15, 0.2, 0.1, 0.25, 0.2, 0.15, 0.1, 0.2};
    for (int k = 0; k < 8; ++k) {
        form.id[static_cast<std::size_t>(k)] = "ITEM0" + std::to_string(k + 1);
        form.seA[static_cast<std::size_t>(k)] = 0.10 + 0.01 * k;
        form.seB[static_cast<std::size_t>(k)] = 0.08 + 0.01 * k;
        form.seC[static_cast<std::size_t>(k)] = 0.03;
    }
    return form;
}

inline ItemForm ReferenceNew() {
    ItemForm form;
    form.Resize(8);
    const double departA[] = {0.05, -0.04, 0.02, -0.06, 0.03, 0.01, -0.02, 0.04};
    const double departB[] = {0.06, -0.05, 0.03, 0.02, -0.04, 0.05, -0.03, -0.02};
    const double departC[] = {0.01, -0.02, 0, 0.02, 0.01, 0.01, 0, 0.01};
    const ItemForm base = ReferenceBase();
    for (std::size_t k = 0; k < 8; ++k) {
        form.id[k] = base.id[k];
        form.a[k] = 1.2 * base.a[k] * (1 + departA[k]);
        form.b[k] = (base.b[k] - 0.3) / 1.2 + departB[k];
        form.c[k] = base.c[k] + departC[k];
        form.seA[k] = 0.12 + 0.01 * static_cast<double>(k);
        form.seB[k] = 0.09 + 0.01 * static_cast<double>(k);
        form.seC[k] = 0.04;
    }
    return form;
}

inline AnchorSet ReferenceAnchors() {
    const ItemForm base = ReferenceBase(), fresh = ReferenceNew();
    return MakeAnchorSet(base, fresh, *MatchById(base, fresh).common);
}

}  // namespace tarvo::linking::test
