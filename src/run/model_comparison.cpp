#include "run/model_comparison.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <nlohmann/json.hpp>

#include "output/result_file.h"
#include "output/result_writer.h"
#include "parallel/worker_pool.h"
#include "platform/side_fit_host.h"
#include "run/estimator_table.h"
#include "run/run_fit.h"

namespace tarvo {

namespace {

using Json = nlohmann::ordered_json;

// A compared model's request: the run's, fitted by maximum likelihood (no
// prior), with EAP scores (the scores are not kept, and EAP costs least).
RunRequest RequestFor(const RunRequest& request, MarginalModel model) {
    RunRequest compared = request;
    MarginalSettings settings = SettingsFor(model);
    settings.priorLogA.on = false;
    settings.priorB.on = false;
    settings.priorC.on = false;
    const MarginalSettings& run = request.marginal;
    settings.quadraturePoints = run.quadraturePoints;
    settings.quadratureRange = run.quadratureRange;
    settings.maxCycles = run.maxCycles;
    settings.tolerance = run.tolerance;
    settings.logLikelihoodTolerance = run.logLikelihoodTolerance;
    settings.accelerate = run.accelerate;
    settings.fixItems = run.fixItems;
    settings.estimatePopulation = run.estimatePopulation;
    compared.marginal = settings;
    compared.compareModels.clear();
    compared.scoreTableFile.clear();
    return compared;
}

// A polytomous run's compared model: the run's settings (its right/wrong
// items keep their model) with every item scored 0..m by this model, and
// no prior on any item.
RunRequest RequestFor(const RunRequest& request, PolytomousModel model) {
    RunRequest compared = request;
    MarginalSettings& settings = compared.marginal;
    settings.polytomous = model;
    settings.priorLogA.on = false;
    settings.priorB.on = false;
    settings.priorC.on = false;
    settings.polytomousLogA.on = false;
    settings.polytomousB.on = false;
    compared.comparePolytomous.clear();
    compared.scoreTableFile.clear();
    return compared;
}

std::string NameOf(const ComparedModel& row) {
    return std::string(row.polytomous == PolytomousModel::None ? ModelName(row.model)
                                                               : RulesOf(row.polytomous).name);
}

void TakeEnd(const EstimationOutcome& outcome, ComparedModel& row) {
    row.end = outcome.loop.end;
    row.cycles = outcome.loop.completed;
    if (row.end == LoopEnd::PassLimit) {
        row.note =
            "Its EM used every cycle without settling, so its -2LL may be above the "
            "minimum.";
    }
}

// Fits row's model by compared, the request RequestFor made of the run's.
ComparedModel FitModel(const RunRequest& compared, ComparedModel row, const RunInputs& asRead,
                       RunHost& host, const EngineSettings& engine) {
    SideFitHost quiet(host, "Fitting the " + NameOf(row) + " for the model comparison ...");
    try {
        const std::unique_ptr<Estimator> estimator = MakeEstimator(compared);
        RunInputs inputs = asRead;
        const std::function<bool()> stop = [&quiet] { return quiet.ProgressIsCancelled(); };
        if (std::string refusal = estimator->CheckInputs(inputs, stop); !refusal.empty()) {
            row.note = "Not fitted: " + refusal;
            return row;
        }
        // A result file that is never opened takes the rows and writes nothing.
        ResultFile nowhere;
        ResultWriter writer(nowhere, estimator->LayoutMode(), false);
        WorkerPool pool(compared.threads, engine.executor);
        const EstimationOutcome outcome = estimator->Estimate(
            inputs, quiet, writer, Engine{pool, engine.arithmetic, engine.vectorUnit});
        TakeEnd(outcome, row);
        if (outcome.stopped) {
            row.note = "Stopped before its estimation ended; not compared.";
            return row;
        }
        row.fit = ModelFitOfRun(compared, inputs, outcome);
    } catch (const std::bad_alloc&) {
        row.note = "Not fitted: there was not enough memory.";
    } catch (const std::exception& failure) {
        row.note = std::string("Not fitted: ") + failure.what() + ".";
    }
    if (!quiet.Message().empty() && row.note.empty()) row.note = quiet.Message();
    return row;
}

Json Value(double x) { return std::isfinite(x) ? Json(x) : Json(nullptr); }
Json Note(const std::string& note) { return note.empty() ? Json(nullptr) : Json(note); }

const char* EndName(LoopEnd end) {
    switch (end) {
        case LoopEnd::Settled:
            return "settled";
        case LoopEnd::PassLimit:
            return "cycle_limit";
        case LoopEnd::Stopped:
            return "stopped";
        case LoopEnd::NotRun:
            break;
    }
    return "not_run";
}

Json ModelJson(const ComparedModel& row) {
    const fit::ModelFit& f = row.fit;
    return Json{
        {"model", NameOf(row)},
        {"run_model", row.runModel},
        {"defined", f.defined},
        {"minus_2_log_likelihood", f.defined ? Value(f.minus2LogLikelihood) : Json(nullptr)},
        {"parameters", f.defined ? Json(f.parameters) : Json(nullptr)},
        {"aic", f.defined ? Value(f.aic) : Json(nullptr)},
        {"bic", f.defined ? Value(f.bic) : Json(nullptr)},
        {"em_cycles", row.cycles},
        {"em_end", EndName(row.end)},
        {"note", Note(row.note.empty() ? f.note : row.note)},
    };
}

Json TestJson(const ComparedModel& smaller, const ComparedModel& larger,
              const fit::NestedComparison& test) {
    const bool defined = std::isfinite(test.statistic) && std::isfinite(test.p);
    return Json{
        {"smaller", NameOf(smaller)},
        {"larger", NameOf(larger)},
        {"chi_square", defined ? Json(test.statistic) : Json(nullptr)},
        {"df", defined ? Json(test.df) : Json(nullptr)},
        {"p", defined ? Json(test.p) : Json(nullptr)},
        {"note", Note(test.note)},
        {"caution", defined ? Note(test.caution) : Json(nullptr)},
    };
}

std::string Cell(const char* format, double x) {
    if (!std::isfinite(x)) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, format, x);
    return text;
}

std::string Row(const std::string& model, const std::string& m2ll, const std::string& k,
                const std::string& aic, const std::string& bic, const std::string& test) {
    char text[256];
    std::snprintf(text, sizeof text, "  %-8s %12s %11s %12s %12s  %s", model.c_str(), m2ll.c_str(),
                  k.c_str(), aic.c_str(), bic.c_str(), test.c_str());
    std::string line = text;
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

std::string TestCell(const fit::NestedComparison& test) {
    if (!std::isfinite(test.statistic) || !std::isfinite(test.p)) return "n/a";
    return Cell("%.3f", test.statistic) + " on " + std::to_string(test.df) + " df, p " +
           Cell("%.3g", test.p) + (test.caution.empty() ? "" : " (conservative)");
}

// Whether a test compares a model nested in the other: not so for the GRM,
// whose cumulative logits no partial credit model has.
bool NestedPair(const ComparedModel& larger) { return larger.polytomous != PolytomousModel::Grm; }

std::vector<std::string> TableLines(const ModelComparison& comparison) {
    std::vector<std::string> lines;
    const bool polytomous =
        !comparison.models.empty() && comparison.models[0].polytomous != PolytomousModel::None;
    lines.push_back(
        "Model comparison on the same data, every model by maximum likelihood without priors "
        "(* the run's own fit; each model tested against the one above it, which is nested in "
        "it" +
        std::string(polytomous ? "; the grm is nested in none of the others and has no test" : "") +
        "):");
    lines.push_back(Row("model", "-2LL", "parameters", "AIC", "BIC", "likelihood ratio"));
    for (std::size_t k = 0; k < comparison.models.size(); ++k) {
        const ComparedModel& row = comparison.models[k];
        const fit::ModelFit& f = row.fit;
        const std::string name = NameOf(row) + (row.runModel ? " *" : "");
        const std::string test = k == 0             ? ""
                                 : !NestedPair(row) ? "none: not nested"
                                                    : TestCell(comparison.tests[k - 1]);
        if (!f.defined) {
            lines.push_back(Row(name, "n/a", "n/a", "n/a", "n/a", test));
            continue;
        }
        lines.push_back(Row(name, Cell("%.3f", f.minus2LogLikelihood), std::to_string(f.parameters),
                            Cell("%.3f", f.aic), Cell("%.3f", f.bic), test));
    }
    for (const ComparedModel& row : comparison.models) {
        const std::string& note = row.note.empty() ? row.fit.note : row.note;
        if (!note.empty()) lines.push_back("  " + NameOf(row) + ": " + note);
    }
    for (std::size_t k = 0; k < comparison.tests.size(); ++k) {
        const fit::NestedComparison& test = comparison.tests[k];
        if (test.note.empty() || !comparison.models[k].fit.defined ||
            !comparison.models[k + 1].fit.defined) {
            continue;
        }
        lines.push_back("  " + NameOf(comparison.models[k]) + " against " +
                        NameOf(comparison.models[k + 1]) + ": " + test.note);
    }
    for (std::size_t k = 0; k < comparison.tests.size(); ++k) {
        const fit::NestedComparison& test = comparison.tests[k];
        if (test.caution.empty() || !std::isfinite(test.p)) continue;
        lines.push_back("  " + NameOf(comparison.models[k]) + " against " +
                        NameOf(comparison.models[k + 1]) + ": " + test.caution);
    }
    return lines;
}

}  // namespace

ModelComparison CompareModels(const RunRequest& request, const RunInputs& asRead,
                              const RunInputs& runInputs, const EstimationOutcome& runOutcome,
                              RunHost& host, const EngineSettings& engine) {
    ModelComparison comparison;
    for (const PolytomousModel model : request.comparePolytomous) {
        ComparedModel row;
        row.model = request.marginal.model;
        row.polytomous = model;
        if (model == request.marginal.polytomous && !PriorsActed(request, runOutcome)) {
            row.runModel = true;
            TakeEnd(runOutcome, row);
            row.fit = ModelFitOfRun(request, runInputs, runOutcome);
            comparison.models.push_back(std::move(row));
            continue;
        }
        comparison.models.push_back(
            FitModel(RequestFor(request, model), std::move(row), asRead, host, engine));
    }
    for (const MarginalModel model : request.compareModels) {
        if (model == request.marginal.model && !PriorsActed(request, runOutcome)) {
            ComparedModel row;
            row.model = model;
            row.runModel = true;
            TakeEnd(runOutcome, row);
            row.fit = ModelFitOfRun(request, runInputs, runOutcome);
            comparison.models.push_back(std::move(row));
            continue;
        }
        ComparedModel row;
        row.model = model;
        comparison.models.push_back(
            FitModel(RequestFor(request, model), std::move(row), asRead, host, engine));
    }
    for (std::size_t k = 1; k < comparison.models.size(); ++k) {
        if (!NestedPair(comparison.models[k])) {
            fit::NestedComparison none;
            none.note =
                "The GRM is nested in none of the partial credit models (RSM, PCM, GPCM), so no "
                "likelihood-ratio test compares them; compare them by AIC and BIC.";
            comparison.tests.push_back(std::move(none));
            continue;
        }
        fit::NestedComparison test =
            fit::CompareNested(comparison.models[k - 1].fit, comparison.models[k].fit);
        // The smaller model is the larger one with c = 0, at the end of c's
        // range: the statistic is then below a chi-square on df (a mixture
        // of it and 0), so the chi-square p is too large.
        const bool cOnItsBound = comparison.models[k].polytomous == PolytomousModel::None &&
                                 RulesOf(comparison.models[k].model).free.c &&
                                 !RulesOf(comparison.models[k - 1].model).free.c;
        if (cOnItsBound && std::isfinite(test.p)) {
            test.caution =
                "c = 0 lies on the boundary of the 3PL's range, so this p is conservative: the "
                "true p is smaller (the statistic follows a mixture of chi-squares on 0 to df df).";
        }
        comparison.tests.push_back(std::move(test));
    }
    return comparison;
}

ReportSection ModelComparisonSection(const ModelComparison& comparison) {
    Json models = Json::array();
    for (const ComparedModel& row : comparison.models) models.push_back(ModelJson(row));
    Json tests = Json::array();
    for (std::size_t k = 0; k < comparison.tests.size(); ++k) {
        tests.push_back(
            TestJson(comparison.models[k], comparison.models[k + 1], comparison.tests[k]));
    }
    ReportSection section;
    section.key = "model_comparison";
    section.json =
        Json{
            {"models", std::move(models)},
            {"tests", std::move(tests)},
            {"priors",
             "none: every model is fitted by maximum likelihood, as the likelihood-ratio test "
             "needs; "
             "the run's own fit is taken over when no prior acted in it, and fitted again without "
             "its priors otherwise"},
        }
            .dump(-1, ' ', false, Json::error_handler_t::replace);
    section.summary = TableLines(comparison);
    return section;
}

ReportSection ModelComparisonFailedSection(const std::string& why) {
    ReportSection section;
    section.key = "model_comparison";
    section.json = Json{{"note", "The models could not be compared: " + why}}.dump(
        -1, ' ', false, Json::error_handler_t::replace);
    section.warnings.push_back("The models could not be compared: " + why +
                               " The result file and the run's own fit are complete.");
    return section;
}

}  // namespace tarvo
