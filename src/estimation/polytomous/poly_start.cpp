#include "estimation/polytomous/poly_start.h"

#include <algorithm>
#include <cmath>

#include "core/model_constants.h"

namespace tarvo::poly {

std::vector<int> RestSigns(std::span<const std::uint8_t> codes, std::span<const Item> items) {
    const std::size_t itemCount = items.size();
    const std::size_t persons = itemCount == 0 ? 0 : codes.size() / itemCount;
    // Per item: examinees, sum of scores, of rest scores, of their products.
    std::vector<double> n(itemCount, 0), x(itemCount, 0), r(itemCount, 0), xr(itemCount, 0);
    for (std::size_t j = 0; j < persons; ++j) {
        const std::span<const std::uint8_t> row = codes.subspan(j * itemCount, itemCount);
        double total = 0;
        for (std::size_t i = 0; i < itemCount; ++i) {
            if (row[i] < items[i].categories) total += row[i];
        }
        for (std::size_t i = 0; i < itemCount; ++i) {
            if (row[i] >= items[i].categories) continue;
            const double score = row[i];
            const double rest = total - score;
            n[i] += 1;
            x[i] += score;
            r[i] += rest;
            xr[i] += score * rest;
        }
    }
    std::vector<int> signs(itemCount, 1);
    for (std::size_t i = 0; i < itemCount; ++i) {
        if (n[i] > 0 && xr[i] - x[i] * r[i] / n[i] < 0) signs[i] = -1;
    }
    return signs;
}

void StartPolytomous(const CategoryCounts& counts, int sign, Item& item) {
    item.a = sign;
    double total = 0;
    for (int k = 0; k < item.categories; ++k) total += counts[k];
    double above = total;
    for (int k = 1; k < item.categories; ++k) {
        above -= counts[k - 1];
        if (item.form == ItemForm::Graded) {
            const double share = std::clamp((above + 0.5) / (total + 1), 0.01, 0.99);
            item.b[k - 1] = -sign * std::log(share / (1 - share)) / kD;
        } else {
            item.b[k - 1] = sign * std::log((counts[k - 1] + 0.5) / (counts[k] + 0.5)) / kD;
        }
    }
}

}  // namespace tarvo::poly
