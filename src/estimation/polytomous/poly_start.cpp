#include "estimation/polytomous/poly_start.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "estimation/models/model_table.h"
#include "estimation/models/nominal_model.h"

namespace tarvo::poly {

namespace {

// Sweeps over the items before the signs are taken as they stand.
constexpr int kMostSweeps = 20;

}  // namespace

std::vector<int> RestSigns(std::span<const std::uint8_t> codes, std::span<const Item> items) {
    const std::size_t itemCount = items.size();
    const std::size_t persons = itemCount == 0 ? 0 : codes.size() / itemCount;
    const auto answered = [&](std::size_t j, std::size_t i) {
        return codes[j * itemCount + i] < items[i].categories;
    };
    std::vector<int> signs(itemCount, 1);
    // Every examinee's signed total over the items answered.
    std::vector<double> total(persons, 0);
    for (std::size_t j = 0; j < persons; ++j) {
        for (std::size_t i = 0; i < itemCount; ++i) {
            if (answered(j, i)) total[j] += codes[j * itemCount + i];
        }
    }
    for (int sweep = 0; sweep < kMostSweeps; ++sweep) {
        bool changed = false;
        for (std::size_t i = 0; i < itemCount; ++i) {
            // The covariance of the item's score with the rest, over the
            // examinees who answered it.
            double n = 0, x = 0, r = 0, xr = 0;
            for (std::size_t j = 0; j < persons; ++j) {
                if (!answered(j, i)) continue;
                const double score = codes[j * itemCount + i];
                const double rest = total[j] - signs[i] * score;
                n += 1;
                x += score;
                r += rest;
                xr += score * rest;
            }
            const int sign = n > 0 && xr - x * r / n < 0 ? -1 : 1;
            if (sign == signs[i]) continue;
            for (std::size_t j = 0; j < persons; ++j) {
                if (answered(j, i)) total[j] += (sign - signs[i]) * codes[j * itemCount + i];
            }
            signs[i] = sign;
            changed = true;
        }
        if (!changed) break;
    }
    // Turning every sign over fits the data as well: most items positive,
    // on a tie the first.
    std::ptrdiff_t balance = 0;
    for (const int sign : signs) balance += sign;
    if (balance < 0 || (balance == 0 && itemCount > 0 && signs[0] < 0)) {
        for (int& sign : signs) sign = -sign;
    }
    return signs;
}

void StartPolytomous(const CategoryCounts& counts, int sign, Item& item) {
    if (item.model->start) item.model->start(counts, sign, item);
}

std::vector<int> KeyedOptions(std::string_view optionKey, std::size_t itemCount) {
    std::vector<int> keyed(itemCount, -1);
    for (std::size_t i = 0; i < itemCount && i < optionKey.size(); ++i) {
        const int option = optionKey[i] - '1';
        if (option >= 0 && option < kMostCategories - 1) keyed[i] = option;
    }
    return keyed;
}

void StartNominal(std::span<const std::uint8_t> codes, std::span<const char> estimated,
                  std::span<Item> items) {
    const std::size_t itemCount = items.size();
    const std::size_t persons = itemCount == 0 ? 0 : codes.size() / itemCount;
    std::vector<double> right(persons, 0);
    for (std::size_t j = 0; j < persons; ++j) {
        for (std::size_t i = 0; i < itemCount; ++i) {
            const int code = codes[j * itemCount + i];
            if (items[i].keyed >= 0 && code == items[i].keyed) right[j] += 1;
        }
    }
    std::array<nominal::OptionSummary, kMostCategories> summary{};
    for (std::size_t i = 0; i < itemCount; ++i) {
        Item& item = items[i];
        if (!estimated[i] || !item.model->optionSlopes) continue;
        const std::span<nominal::OptionSummary> options =
            std::span<nominal::OptionSummary>(summary).first(item.categories);
        nominal::SummariseOptions(codes, itemCount, i, item.categories, item.keyed, right, options);
        nominal::StartValues(options, item.keyed,
                             std::span<double>(item.slopes).first(item.Thresholds()),
                             std::span<double>(item.d).first(item.Thresholds()));
    }
}

}  // namespace tarvo::poly
