#include "run/run_score_table.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "core/polytomous_models.h"
#include "linking/forms/ability_grid.h"
#include "linking/tables/score_table.h"
#include "linking/tables/scored_items.h"
#include "linking/tables/test_curves.h"

namespace tarvo {
namespace {

// The first item whose parameters are not all finite, or nothing.
std::optional<std::size_t> FirstUnfinished(const std::vector<linking::ScoredItem>& items) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        const linking::ScoredItem& item = items[i];
        bool finite = std::isfinite(item.a) && std::isfinite(item.c);
        for (int k = 0; k + 1 < item.categories; ++k) finite = finite && std::isfinite(item.b[k]);
        if (!finite) return i;
    }
    return std::nullopt;
}

}  // namespace

ScorePopulation ScorePopulationOfRun(const RunRequest& request, const EstimationOutcome& outcome) {
    if (request.method != Method::Marginal) return request.scorePopulation;
    ScorePopulation population;
    population.points = request.marginal.quadraturePoints;
    population.range = request.marginal.quadratureRange;
    if (outcome.population.estimated) {
        population.mean = outcome.population.mean;
        population.sd = outcome.population.sd;
    }
    return population;
}

int HighestScoreOfRun(const RunRequest& request, const ItemTable& items,
                      const EstimationOutcome& outcome) {
    return linking::HighestScore(ScoredItemsOfRun(request, items, outcome));
}

std::optional<SummedScoreReport> ScoreTableOfRun(const RunRequest& request, const ItemTable& items,
                                                 const EstimationOutcome& outcome,
                                                 std::string& problem) {
    const std::vector<linking::ScoredItem> scored = ScoredItemsOfRun(request, items, outcome);
    if (const std::optional<std::size_t> item = FirstUnfinished(scored)) {
        problem = "item " + std::to_string(*item + 1) +
                  (scored[*item].scoring == linking::ItemScoring::RightWrong
                       ? " has no finite a, b and c"
                       : " has no finite slope and thresholds");
        return std::nullopt;
    }
    SummedScoreReport table;
    table.population = ScorePopulationOfRun(request, outcome);
    table.overQuadrature = request.method == Method::Marginal;
    table.populationEstimated = table.overQuadrature && outcome.population.estimated;
    const ScorePopulation& p = table.population;
    table.rows =
        linking::SummedScoreTable(scored, linking::NormalGrid(p.points, p.range, p.mean, p.sd));
    table.curves = linking::MakeTestCurves(scored, linking::CurveAbilities());
    return table;
}

std::vector<ScoredItem> ScoredItemsOfRun(const RunRequest& request, const ItemTable& items,
                                         const EstimationOutcome& outcome) {
    std::vector<linking::ScoredItem> scored(items.itemCount());
    const bool cumulative = RulesOf(request.marginal.polytomous).cumulative;
    for (std::size_t i = 0; i < scored.size(); ++i) {
        linking::ScoredItem& item = scored[i];
        item.a = items.a[i];
        item.b[0] = items.b[i];
        item.c = items.c[i];
        if (i < outcome.upper.size()) item.u = outcome.upper[i];
        if (i >= outcome.categories.size() || outcome.categories[i] <= 2) continue;
        // Each item by its own model where the run names it (an item-models
        // file mixes graded and partial-credit items).
        const auto own = i < outcome.itemModels.size() ? PolytomousModelNamed(outcome.itemModels[i])
                                                       : std::optional<PolytomousModel>();
        const bool graded = own ? RulesOf(*own).cumulative : cumulative;
        item.scoring = graded ? linking::ItemScoring::Graded : linking::ItemScoring::PartialCredit;
        item.categories = outcome.categories[i];
        item.c = 0;
        const std::vector<double>& b = outcome.thresholds[i];
        std::copy(b.begin(), b.begin() + item.categories - 1, item.b.begin());
    }
    return scored;
}

}  // namespace tarvo
