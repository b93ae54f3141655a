#include "fit/summed_score_fit.h"

#include <algorithm>
#include <cassert>
#include <limits>

#include "core/model_constants.h"

namespace tarvo::fit {

void TotalScoreCounts::RestScoreTable(std::size_t item, std::span<double> examineesOut,
                                      std::span<double> correctOut) const {
    assert(examineesOut.size() == items && correctOut.size() == items);
    for (std::size_t r = 0; r < items; ++r) {
        const double missedAtR = examinees[r] - correct[r * items + item];
        const double rightAtNext = correct[(r + 1) * items + item];
        examineesOut[r] = missedAtR + rightAtNext;
        correctOut[r] = rightAtNext;
    }
}

TotalScoreCounts CountTotalScores(std::span<const std::uint8_t> responses, std::size_t items) {
    TotalScoreCounts counts;
    counts.items = items;
    counts.examinees.assign(items + 1, 0.0);
    counts.correct.assign((items + 1) * items, 0.0);
    if (items == 0) return counts;
    const std::size_t persons = responses.size() / items;
    for (std::size_t j = 0; j < persons; ++j) {
        const std::uint8_t* row = responses.data() + j * items;
        std::size_t total = 0;
        bool complete = true;
        for (std::size_t i = 0; i < items; ++i) {
            total += row[i] == kCorrect;
            complete &= row[i] == kCorrect || row[i] == kIncorrect;
        }
        if (!complete) {
            ++counts.leftOut;
            continue;
        }
        ++counts.complete;
        counts.examinees[total] += 1;
        double* correct = counts.correct.data() + total * items;
        for (std::size_t i = 0; i < items; ++i) correct[i] += row[i];
    }
    return counts;
}

std::vector<Sx2Outcome> SummedScoreFit(std::span<const double> a, std::span<const double> b,
                                       std::span<const double> c, std::span<const int> estimated,
                                       AbilityGrid grid, const TotalScoreCounts& counts) {
    const std::size_t items = a.size();
    assert(counts.items == items && estimated.size() == items);
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    std::vector<Sx2Outcome> out(items, Sx2Outcome{kNaN, 0, kNaN, 0, 0, Sx2Gap::None});
    if (items < 2) {
        for (Sx2Outcome& item : out) item.gap = Sx2Gap::NoOtherItems;
        return out;
    }
    if (counts.complete == 0) {
        for (Sx2Outcome& item : out) item.gap = Sx2Gap::NoCompleteExaminees;
        return out;
    }
    std::vector<double> expected(items * items);
    ExpectedProportionsByRestScore(a, b, c, grid, expected);
    std::vector<double> examinees(items), correct(items);
    Sx2Scratch scratch;
    for (std::size_t i = 0; i < items; ++i) {
        counts.RestScoreTable(i, examinees, correct);
        const Sx2Table table{examinees, correct,
                             std::span<const double>(expected).subspan(i * items, items)};
        out[i] = Sx2FromTable(table, estimated[i], scratch);
    }
    return out;
}

namespace {

// Per item, rest score and category how many complete examinees gave it,
// laid out as the expected proportions are.
std::vector<double> ObservedByRestScore(std::span<const std::uint8_t> responses,
                                        const RestScoreCategories& expected,
                                        CategoryFitCounts& counts) {
    const std::size_t items = expected.categories.size();
    std::vector<double> observed(expected.values.size(), 0.0);
    const std::size_t persons = responses.size() / items;
    for (std::size_t j = 0; j < persons; ++j) {
        const std::uint8_t* row = responses.data() + j * items;
        std::size_t total = 0;
        bool complete = true;
        for (std::size_t i = 0; i < items; ++i) {
            complete &= row[i] < expected.categories[i];
            total += row[i];
        }
        if (!complete) {
            ++counts.leftOut;
            continue;
        }
        ++counts.complete;
        for (std::size_t i = 0; i < items; ++i) {
            const std::size_t rest = total - row[i];
            observed[expected.offset[i] + rest * expected.categories[i] + row[i]] += 1;
        }
    }
    return observed;
}

}  // namespace

std::vector<Sx2Outcome> CategorySummedScoreFit(std::span<const ScoredItem> items,
                                               std::span<const int> estimated, AbilityGrid grid,
                                               std::span<const std::uint8_t> responses,
                                               CategoryFitCounts& counts) {
    assert(estimated.size() == items.size());
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    std::vector<Sx2Outcome> out(items.size(), Sx2Outcome{kNaN, 0, kNaN, 0, 0, Sx2Gap::None});
    counts = {};
    if (items.size() < 2) {
        counts.leftOut = items.empty() ? 0 : responses.size() / items.size();
        for (Sx2Outcome& item : out) item.gap = Sx2Gap::NoOtherItems;
        return out;
    }
    const RestScoreCategories expected = ExpectedCategoriesByRestScore(items, grid);
    const std::vector<double> observed = ObservedByRestScore(responses, expected, counts);
    if (counts.complete == 0) {
        for (Sx2Outcome& item : out) item.gap = Sx2Gap::NoCompleteExaminees;
        return out;
    }
    const std::span<const double> allObserved(observed), allExpected(expected.values);
    std::vector<double> examinees;
    Sx2Scratch scratch;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::size_t cells = expected.categories[i];
        const std::size_t rests = expected.RestScores(i);
        const std::size_t first = expected.offset[i];
        examinees.assign(rests, 0.0);
        for (std::size_t r = 0; r < rests; ++r) {
            for (std::size_t k = 0; k < cells; ++k) examinees[r] += observed[first + r * cells + k];
        }
        const CategorySx2Table table{cells, examinees, allObserved.subspan(first, rests * cells),
                                     allExpected.subspan(first, rests * cells)};
        out[i] = Sx2FromCategoryTable(table, estimated[i], scratch);
    }
    return out;
}

}  // namespace tarvo::fit
