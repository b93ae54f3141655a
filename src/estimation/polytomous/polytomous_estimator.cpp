#include "estimation/polytomous/polytomous_estimator.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/estimate_bounds.h"
#include "estimation/em_progress.h"
#include "estimation/marginal/mml_em.h"
#include "estimation/polytomous/poly_categories.h"
#include "estimation/polytomous/poly_em.h"
#include "estimation/polytomous/poly_information.h"
#include "estimation/polytomous/poly_start.h"
#include "output/polytomous_rows.h"

namespace tarvo {

namespace {

using poly::Item;

class PolytomousEstimator final : public Estimator {
  public:
    explicit PolytomousEstimator(const RunRequest& request)
        : settings_(request.marginal), binary_(RulesOf(request.marginal.model)) {}

    // Not read for the rows: they have their own layout. The joint 3PL mode
    // names the run's parameters for the front ends.
    int LayoutMode() const override { return 3; }

    std::string CheckInputs(const RunInputs& inputs) const override {
        if (settings_.fixItems) {
            return "ERROR Holding items fixed (--fix-items) is not available for polytomous "
                   "items yet.";
        }
        if (settings_.scoring != MarginalScoring::Eap) {
            return "ERROR Polytomous runs score examinees by EAP only (--scoring eap).";
        }
        if (settings_.collapseEmpty) return {};
        const std::vector<poly::CategoryCounts> counts =
            poly::CountCategories(inputs.persons.responses, inputs.persons.itemCount);
        return poly::EmptyCategoryError(counts);
    }

    EstimationOutcome Estimate(RunInputs& inputs, RunHost& host, ResultWriter& writer,
                               const Engine& engine) override;

  private:
    void WriteRows(const std::vector<Item>& items, const RunInputs& inputs,
                   ResultWriter& writer) const;

    MarginalSettings settings_;
    const MarginalModelRules& binary_;
};

EstimationOutcome PolytomousEstimator::Estimate(RunInputs& inputs, RunHost& host,
                                                ResultWriter& writer, const Engine& engine) {
    ItemTable& table = inputs.items;
    PersonTable& persons = inputs.persons;
    const std::size_t itemCount = table.itemCount();
    std::vector<poly::CategoryCounts> counts =
        poly::CountCategories(persons.responses, persons.itemCount);
    if (settings_.collapseEmpty) {
        for (const std::string& change : poly::CollapseEmptyCategories(persons.responses, counts)) {
            host.ShowWarning(change);
        }
    }

    std::vector<Item> items(itemCount);
    std::vector<char> estimated(itemCount, 0), binary(itemCount, 0);
    for (std::size_t i = 0; i < itemCount; ++i) {
        items[i] = poly::ItemOf(poly::CategoriesOf(counts[i]), binary_, settings_.polytomous);
    }
    const std::vector<int> signs = poly::RestSigns(persons.responses, items);
    for (std::size_t i = 0; i < itemCount; ++i) {
        const int categories = poly::CategoriesOf(counts[i]);
        std::int32_t valid = 0;
        for (int k = 0; k < kMostCategories; ++k) valid += counts[i][k];
        table.Nobs[i] = valid;
        // One score only: nothing to estimate.
        estimated[i] = categories >= 2 ? 1 : 0;
        binary[i] = items[i].form == poly::ItemForm::Binary && estimated[i];
        if (!estimated[i]) continue;
        // A common slope is one for all its items: it starts at +1.
        const int sign = items[i].commonSlope ? 1 : signs[i];
        if (items[i].form != poly::ItemForm::Binary)
            poly::StartPolytomous(counts[i], sign, items[i]);
    }
    // The right/wrong items start as the dichotomous estimator starts them.
    {
        const mml::ItemSpans spans{table.a, table.b, table.c};
        std::fill(table.c.begin(), table.c.end(), 0.0);
        mml::SetStartValues(
            settings_.model,
            mml::ResponseView{persons.responses.data(), persons.personCount(), itemCount}, binary,
            poly::BinaryPriors(settings_), spans);
        for (std::size_t i = 0; i < itemCount; ++i) {
            if (!binary[i]) continue;
            items[i].a = binary_.aIsOne ? 1 : table.a[i];
            items[i].b[0] = table.b[i];
            items[i].c = binary_.cIsZero ? 0 : table.c[i];
        }
    }
    for (std::size_t j = 0; j < persons.personCount(); ++j) {
        persons.theta[j] = 0;
        persons.seetheta[j] = kNotEstimated;
    }

    EstimationOutcome outcome;
    outcome.heldItems.assign(itemCount, 0);
    LoopRecord& loop = outcome.loop;
    StartEmLoop(host, loop, settings_,
                "Calibrating items (marginal maximum likelihood, polytomous) ...");
    const mml::Quadrature quadrature =
        mml::NormalQuadrature(settings_.quadraturePoints, settings_.quadratureRange);
    poly::EmTables tables(items, quadrature.Points());
    const poly::Responses responses{persons.responses, persons.personCount(), itemCount};
    const poly::EmOutcome em =
        poly::RunPolytomousEm(items, estimated, responses, settings_, quadrature, tables,
                              engine.pool, EmCycleProgress(host, loop, settings_));
    EndEmLoop(loop, em.cycles, em.largestChange, em.stopped, em.converged);
    outcome.logLikelihood = em.logLikelihood;

    bool stopped = em.stopped || host.ProgressIsCancelled();
    if (!stopped) {
        host.ProgressSet(100, "Standard errors.");
        stopped = !poly::SetStandardErrors(
            items, estimated, responses, poly::BinaryPriors(settings_), quadrature, tables,
            engine.pool, [&] { return !host.ProgressIsCancelled(); });
    }
    if (stopped) {
        outcome.errorsFormed = false;
        outcome.leftUndone = "the standard errors and the scores were not computed (-1, theta 0)";
        for (Item& item : items) {
            item.seA = item.seC = kNotEstimated;
            item.seB.fill(kNotEstimated);
        }
    } else {
        host.ProgressSet(100, "Scoring examinees.");
        poly::ScoreExpected(items, responses, quadrature, tables, engine.pool, persons.theta,
                            persons.seetheta);
    }
    outcome.stopped = stopped;
    host.ProgressShutdown();

    // The item table as the report reads it: a, the first threshold, c.
    for (std::size_t i = 0; i < itemCount; ++i) {
        const Item& item = items[i];
        table.a[i] = item.a;
        table.b[i] = item.b[0];
        table.c[i] = item.c;
        table.seea[i] =
            estimated[i] && (item.slopeFree || item.commonSlope) ? item.seA : kNotEstimated;
        table.seeb[i] = estimated[i] ? item.seB[0] : kNotEstimated;
        table.seec[i] = estimated[i] && item.guessFree ? item.seC : kNotEstimated;
    }
    for (const Item& item : items) {
        outcome.itemModels.emplace_back(poly::ModelNameOf(item, binary_, settings_.polytomous));
        outcome.categories.push_back(item.categories);
        outcome.thresholds.emplace_back(item.B().begin(), item.B().end());
        const std::span<const double> errors =
            std::span<const double>(item.seB).first(item.Thresholds());
        outcome.thresholdErrors.emplace_back(errors.begin(), errors.end());
    }
    WriteRows(items, inputs, writer);
    return outcome;
}

void PolytomousEstimator::WriteRows(const std::vector<Item>& items, const RunInputs& inputs,
                                    ResultWriter& writer) const {
    const ItemTable& table = inputs.items;
    const PersonTable& persons = inputs.persons;
    int mostThresholds = 1;
    for (const Item& item : items) mostThresholds = std::max(mostThresholds, item.Thresholds());
    writer.Line(PolytomousItemHeader(mostThresholds));
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Item& item = items[i];
        PolytomousItemRow row;
        row.seq = i + 1;
        row.AccNo = table.AccNo[i];
        row.model = poly::ModelNameOf(item, binary_, settings_.polytomous);
        row.categories = item.categories;
        row.hasC = item.form == poly::ItemForm::Binary;
        row.a = item.a;
        row.c = item.c;
        row.seA = item.slopeFree || item.commonSlope ? item.seA : kNotEstimated;
        row.seC = item.guessFree ? item.seC : kNotEstimated;
        row.b = item.B();
        row.seB = std::span<const double>(item.seB).first(item.Thresholds());
        writer.Line(PolytomousItemRowText(row, mostThresholds));
    }
    writer.Line("");
    writer.Line(PolytomousPersonHeader());
    for (std::size_t j = 0; j < persons.personCount(); ++j) {
        std::int32_t raw = 0, most = 0;
        const std::span<const std::uint8_t> row = persons.ResponsesOf(j);
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (static_cast<int>(row[i]) >= items[i].categories) continue;
            raw += row[i];
            most += items[i].categories - 1;
        }
        writer.Line(PolytomousPersonRowText(j + 1, persons.ExaminID[j], raw, most, persons.theta[j],
                                            persons.seetheta[j]));
    }
}

}  // namespace

std::unique_ptr<Estimator> MakePolytomousEstimator(const RunRequest& request) {
    return std::make_unique<PolytomousEstimator>(request);
}

}  // namespace tarvo
