#include "run/run_score_table.h"

#include <cmath>

#include "linking/forms/ability_grid.h"
#include "linking/tables/score_table.h"
#include "linking/tables/test_curves.h"
#include "output/result_file.h"

namespace tarvo {
namespace {

// The run's items as a form of a, b and c as given: the model's fixed
// values (c = 0, a common slope) are already in the table.
linking::ItemForm FormOf(const ItemTable& items) {
    linking::ItemForm form;
    form.model = linking::FormModel::ThreePL;
    form.id = items.AccNo;
    form.a = items.a;
    form.b = items.b;
    form.c = items.c;
    form.seA = items.seea;
    form.seB = items.seeb;
    form.seC = items.seec;
    return form;
}

bool Names(const std::string& file, const std::string& other) {
    return !other.empty() && (file == other || IsSameFile(file, other));
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

std::optional<SummedScoreReport> ScoreTableOfRun(const RunRequest& request, const ItemTable& items,
                                                 const EstimationOutcome& outcome,
                                                 std::string& problem) {
    for (std::size_t i = 0; i < items.itemCount(); ++i) {
        if (!std::isfinite(items.a[i]) || !std::isfinite(items.b[i]) ||
            !std::isfinite(items.c[i])) {
            problem = "item " + std::to_string(i + 1) + " has no finite a, b and c";
            return std::nullopt;
        }
    }
    SummedScoreReport table;
    table.population = ScorePopulationOfRun(request, outcome);
    table.overQuadrature = request.method == Method::Marginal;
    table.populationEstimated = table.overQuadrature && outcome.population.estimated;
    const ScorePopulation& p = table.population;
    const linking::ItemForm form = FormOf(items);
    table.rows =
        linking::SummedScoreTable(form, linking::NormalGrid(p.points, p.range, p.mean, p.sd));
    table.curves = linking::MakeTestCurves(form, linking::CurveAbilities());
    return table;
}

std::string ScoreTableClash(const RunRequest& request, const RunSettings& settings) {
    const std::string& file = request.scoreTableFile;
    if (file.empty()) return {};
    if (Names(file, settings.responseFile) || Names(file, settings.itemParameterFile)) {
        return "ERROR Score table file " + file + " is an input file.";
    }
    if (Names(file, request.outputFile)) {
        return "ERROR Score table file " + file + " is the result file.";
    }
    if (Names(file, request.reportFile)) {
        return "ERROR Score table file " + file + " is the report file.";
    }
    return {};
}

}  // namespace tarvo
