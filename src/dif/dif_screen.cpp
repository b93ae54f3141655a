#include "dif/dif_screen.h"

#include <cmath>

#include "dif/score_counts.h"
#include "dif/standardization.h"
#include "fit/multiple_testing.h"

namespace tarvo::dif {

namespace {

// Each method's words, in the order of DifMethod.
struct MethodWords {
    const char* name;
    const char* key;
};
constexpr MethodWords kMethodWords[] = {
    {"Mantel-Haenszel", "mh"}, {"standardization", "std"}, {"logistic regression", "lr"}};

}  // namespace

const char* MethodName(DifMethod method) { return kMethodWords[static_cast<int>(method)].name; }

const char* MethodKey(DifMethod method) { return kMethodWords[static_cast<int>(method)].key; }

namespace {

MantelResult MantelOf(const ItemStrata& strata) {
    return strata.categories > 2 ? MantelOrdinal(strata) : MantelHaenszel(strata);
}

DifRow MantelRow(const ItemStrata& strata) {
    DifRow row;
    row.mantel = MantelOf(strata);
    row.statistic = row.mantel.chiSquare;
    row.df = 1;
    row.p = row.mantel.p;
    row.effect = strata.categories > 2 ? row.mantel.smd : row.mantel.delta;
    row.category = row.mantel.category;
    if (!std::isfinite(row.statistic)) {
        row.note = "no stratum holds both groups with different answers";
    } else if (row.category == ' ') {
        row.note = "the common odds ratio is 0 or infinite: one group's answers are all alike";
    }
    return row;
}

DifRow StandardizationRow(const ItemStrata& strata) {
    DifRow row;
    row.statistic = StandardizedDifference(strata);
    row.effect = row.statistic;
    if (strata.categories > 2) {
        // The ETS sizes of the standardized mean difference, without a test.
        row.mantel.itemSd = ItemScoreSd(strata);
        row.category = ScoredItemCategory(row.effect, row.mantel.itemSd, 0.0);
    } else {
        row.category = StdPDifCategory(row.effect);
    }
    if (!std::isfinite(row.statistic)) row.note = "no stratum holds both groups";
    return row;
}

DifRow LogisticRow(const ItemStrata& strata) {
    DifRow row;
    row.logistic = LogisticDif(strata);
    row.statistic = row.logistic.both;
    row.df = 2;
    row.p = row.logistic.bothP;
    row.effect = row.logistic.bothR2;
    row.category = row.logistic.category;
    row.note = row.logistic.note;
    return row;
}

void AdjustAcrossItems(DifTable& table) {
    if (table.method == DifMethod::Standardization) return;
    auto adjust = [&](auto read, auto write) {
        std::vector<double> p;
        for (const DifRow& row : table.rows) p.push_back(read(row));
        const std::vector<double> adjusted = fit::BenjaminiHochberg(p);
        for (std::size_t k = 0; k < table.rows.size(); ++k) write(table.rows[k], adjusted[k]);
    };
    adjust([](const DifRow& r) { return r.p; }, [](DifRow& r, double v) { r.pAdjusted = v; });
    if (table.method != DifMethod::Logistic) return;
    adjust([](const DifRow& r) { return r.logistic.uniformP; },
           [](DifRow& r, double v) { r.uniformPAdjusted = v; });
    adjust([](const DifRow& r) { return r.logistic.nonUniformP; },
           [](DifRow& r, double v) { r.nonUniformPAdjusted = v; });
}

// The items the first stage flags on the whole test's matching score.
std::vector<std::size_t> FirstStageFlags(const ScoreCounts& counts, Matching matching,
                                         std::size_t reference, std::size_t focal) {
    std::vector<std::size_t> flagged;
    for (std::size_t i = 0; i < counts.itemCount; ++i) {
        const char category = MantelOf(StrataOf(counts, i, matching, reference, focal)).category;
        if (category == 'B' || category == 'C') flagged.push_back(i);
    }
    return flagged;
}

}  // namespace

DifScreen ScreenDif(const DifData& data, const DifOptions& options, WorkerPool& pool) {
    DifScreen screen;
    screen.matching = options.matching;
    screen.categories = ItemCategories(data, pool);
    const std::size_t items = data.itemCount;
    const std::vector<char> everyItem(items, 1);
    const ScoreCounts whole = CountScores(data, screen.categories, everyItem, pool);

    std::vector<std::size_t> focalGroups = options.focal;
    if (focalGroups.empty()) {
        for (std::size_t g = 0; g < data.groupCount; ++g) {
            if (g != options.reference) focalGroups.push_back(g);
        }
    }
    std::vector<std::size_t> groupCounts(data.groupCount, 0);
    for (const std::int32_t g : data.group) {
        if (g >= 0 && static_cast<std::size_t>(g) < data.groupCount) ++groupCounts[g];
    }

    for (const std::size_t focal : focalGroups) {
        DifComparison comparison;
        comparison.reference = options.reference;
        comparison.focal = focal;
        comparison.referenceCount = groupCounts[options.reference];
        comparison.focalCount = groupCounts[focal];
        comparison.purified = FirstStageFlags(whole, options.matching, options.reference, focal);
        // Every item flagged would leave nothing to match on: then the
        // whole test stays the matching score.
        if (comparison.purified.size() == items) comparison.purified.clear();
        ScoreCounts purified;
        if (!comparison.purified.empty()) {
            std::vector<char> matchingSet = everyItem;
            for (const std::size_t i : comparison.purified) matchingSet[i] = 0;
            purified = CountScores(data, screen.categories, matchingSet, pool);
        }
        const ScoreCounts& counts = comparison.purified.empty() ? whole : purified;

        for (const DifMethod method : options.methods) {
            DifTable table;
            table.method = method;
            table.rows.resize(items);
            comparison.tables.push_back(std::move(table));
        }
        comparison.observed.resize(items);
        pool.ForEach(items, [&](std::size_t i) {
            const ItemStrata strata =
                StrataOf(counts, i, options.matching, options.reference, focal);
            for (DifTable& table : comparison.tables) {
                DifRow row = table.method == DifMethod::MantelHaenszel ? MantelRow(strata)
                             : table.method == DifMethod::Standardization
                                 ? StandardizationRow(strata)
                                 : LogisticRow(strata);
                row.item = i;
                row.categories = screen.categories[i];
                table.rows[i] = std::move(row);
            }
            comparison.observed[i] = {ObservedByScore(strata, 0), ObservedByScore(strata, 1)};
        });
        for (DifTable& table : comparison.tables) AdjustAcrossItems(table);
        screen.comparisons.push_back(std::move(comparison));
    }
    return screen;
}

}  // namespace tarvo::dif
