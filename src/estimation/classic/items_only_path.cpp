#include <string>
#include <vector>

#include "core/estimate_bounds.h"
#include "core/modes.h"
#include "estimation/classic/classic_paths.h"
#include "estimation/classic/estimators.h"
#include "estimation/classic/response_matrix.h"
#include "parallel/compute_ahead.h"

namespace tarvo {

namespace {

// Items estimated ahead of the rows written, per thread.
constexpr std::size_t kItemsAheadPerThread = 2;

struct ItemResult {
    std::int32_t Nobs = 0;
    ItemParameters p;
    ItemStandardErrors se;
};

// One item for given abilities. It starts from a = b = c = 0 (a given c is
// kept, the 1PL's a = 1 too); an item with too few valid responses for a fit
// keeps those values and -1 errors.
void EstimateItem(int mode, const ItemTable& items, std::size_t i,
                  std::span<const std::uint8_t> column, std::span<const double> theta,
                  const ItemEstimator& estimator, ItemResult& result) {
    const ModeRules& rules = RulesOf(mode);
    result.Nobs = items.Nobs[i];
    estimator.Fit(column, theta, items.a[i], items.b[i], items.c[i], result.Nobs);
    result.se = ItemStandardErrors{kNotEstimated, kNotEstimated, kNotEstimated};
    result.p = ItemParameters{0, 0, 0};
    if (rules.cGiven) result.p.c = items.c[i];
    if (rules.onePL) result.p.a = 1;
    if (result.Nobs >= kFewestResponsesForFit) {
        estimator.Calibrate(result.se, column, theta, result.p, mode);
    }
    if (result.se.seea == kNotEstimated && !rules.onePL) result.p.a = 0;
    if (result.se.seeb == kNotEstimated) result.p.b = 0;
    if (result.se.seec == kNotEstimated && !rules.cGiven) result.p.c = 0;
}

}  // namespace

// Items for given abilities. The items are estimated ahead on all threads,
// but progress, breathing, Stop and rows go one item at a time in order on
// the calling thread, so a Stop keeps exactly the rows finished before it.
EstimationOutcome RunItemsOnly(int mode, ItemTable& items, const PersonTable& persons,
                               RunHost& host, ResultWriter& writer, const Engine& engine) {
    host.ProgressInit("Calibrating items...");
    host.ProgressSet(0, "Item 0");
    writer.ItemsOnlyHeader();
    const std::size_t itemCount = items.itemCount();
    if (RulesOf(mode).onePL) {
        for (std::size_t i = 0; i < itemCount; ++i) {
            items.a[i] = 1;
            items.c[i] = 0;
        }
    }

    const ItemMajorResponses responses(persons);
    const ItemEstimator estimator(engine.arithmetic, engine.vectorUnit);
    const std::size_t window = kItemsAheadPerThread * engine.pool.Threads();
    std::vector<ItemResult> slots(window);

    const std::string ofCount = " of " + std::to_string(itemCount) + ".";
    EstimationOutcome outcome;
    outcome.rowsTotal = itemCount;
    auto estimate = [&](std::size_t i, std::size_t slot) {
        EstimateItem(mode, items, i, responses.Column(i), persons.theta, estimator, slots[slot]);
    };
    auto write = [&](std::size_t i) {
        host.ProgressSet(RoundedPercent(i + 1, itemCount),
                         "Item " + std::to_string(i + 1) + ofCount);
        host.Breathe();
        if (host.ProgressIsCancelled()) {
            outcome.stopped = true;
            return false;
        }
        const ItemResult& result = slots[i % window];
        items.Nobs[i] = result.Nobs;
        ItemRow row{i + 1, items.AccNo[i], items.Nobs[i]};
        writer.ItemBeforeEstimation(row);

        items.seea[i] = result.se.seea;
        items.seeb[i] = result.se.seeb;
        items.seec[i] = result.se.seec;
        row.a = result.p.a;
        row.b = result.p.b;
        row.c = result.p.c;
        row.seea = result.se.seea;
        row.seeb = result.se.seeb;
        row.seec = result.se.seec;
        writer.ItemAfterEstimation(row);
        // Kept for the run report once the row is out; only this item's own
        // estimate reads its given values, and it is done.
        items.a[i] = result.p.a;
        items.b[i] = result.p.b;
        items.c[i] = result.p.c;
        outcome.rowsWritten = i + 1;
        return true;
    };
    ComputeAheadInOrder(engine.pool, itemCount, window, estimate, write);
    host.ProgressShutdown();
    return outcome;
}

}  // namespace tarvo
