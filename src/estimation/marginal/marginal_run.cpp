#include "estimation/marginal/marginal_run.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "estimation/classic/estimators.h"
#include "estimation/marginal/mml_information.h"
#include "estimation/marginal/mml_scoring.h"
#include "input/front_part.h"
#include "input/line_reader.h"
#include "output/masks.h"
#include "output/result_file.h"
#include "output/result_rows.h"
#include "output/result_writer.h"
#include "platform/control_ids.h"
#include "report/report_warnings.h"

namespace tarvo {

namespace {

constexpr double kLargestStandardError = 99;
constexpr std::size_t kExamineesPerMlTask = 125;
constexpr double kHighestGivenC = 0.999;

// The items whose line in the item parameter file holds anything but blanks.
std::vector<char> ItemsGivenInFile(const std::string& path, std::size_t itemCount) {
    std::vector<char> given(itemCount, 0);
    if (path.empty()) return given;
    LineReader reader(path);
    std::string line;
    for (std::size_t i = 0; i < itemCount && !reader.Ended(); ++i) {
        reader.ReadLine(line);
        given[i] = line.find_first_not_of(" \t") != std::string::npos ? 1 : 0;
    }
    return given;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// The model's own constraints on a held item: a = 1 for the 1PL, c = 0 for
// the models without a floor. A given c outside [0, 0.999] would leave no
// probability of a wrong (or a right) answer, so it is held at the bound.
void ApplyModel(MarginalModel model, ItemTable& items, std::size_t i) {
    if (model == MarginalModel::OnePL) items.a[i] = 1;
    if (model == MarginalModel::TwoPL || model == MarginalModel::OnePL ||
        model == MarginalModel::Rasch)
        items.c[i] = 0;
    items.c[i] = std::clamp(items.c[i], 0.0, kHighestGivenC);
}

void SetStandardErrors(const MarginalSettings& settings, const std::vector<char>& estimated,
                       mml::ItemSpans spans, const mml::ResponseView& view,
                       const mml::Quadrature& quadrature, const mml::ExpectedCounts& counts,
                       WorkerPool& pool, ItemTable& items) {
    const mml::ParameterLayout layout = mml::MakeLayout(settings, estimated, spans);
    std::vector<double> se;
    if (items.itemCount() > mml::kLargestCrossItemTest) {
        se = mml::StandardErrorsByItem(view, layout, settings, spans, quadrature, counts, pool);
    } else if (const std::vector<double> information = mml::ObservedInformation(
                   view, layout, settings, spans, quadrature, counts, pool);
               !mml::StandardErrorsFrom(information, layout.count, se)) {
        // Not positive definite (a parameter not identified by the data):
        // each parameter's own curvature, which understates the error.
        se.assign(layout.count, kLargestStandardError);
        for (int p = 0; p < layout.count; ++p) {
            const double d = information[static_cast<std::size_t>(p) * layout.count + p];
            if (d > 0) se[p] = 1 / std::sqrt(d);
        }
    }
    double* errors[3] = {items.seea.data(), items.seeb.data(), items.seec.data()};
    for (std::size_t i = 0; i < items.itemCount(); ++i) {
        for (int u = 0; u < 3; ++u) {
            const int p = layout.index[3 * i + u];
            errors[u][i] = p < 0 || se[p] < 0 ? -1 : std::min(se[p], kLargestStandardError);
        }
    }
}

void ScoreMl(const EngineSettings& engine, const ItemTable& items, PersonTable& persons,
             WorkerPool& pool) {
    AbilityEstimator estimator(engine.arithmetic, engine.vectorUnit);
    estimator.UseItems(items.a, items.b, items.c);
    const std::size_t personCount = persons.personCount();
    std::vector<AbilityEstimator::Workspace> workspaces(pool.Threads());
    const std::size_t tasks = (personCount + kExamineesPerMlTask - 1) / kExamineesPerMlTask;
    pool.ForEach(tasks, [&](std::size_t task, unsigned thread) {
        const std::size_t from = task * kExamineesPerMlTask;
        const std::size_t to = std::min(personCount, from + kExamineesPerMlTask);
        // Every examinee starts from theta 0, as in the theta-only modes.
        std::fill(persons.theta.begin() + from, persons.theta.begin() + to, 0.0);
        estimator.EstimateMany(to - from, persons.ResponsesOf(from).data(), &persons.theta[from],
                               &persons.seetheta[from], &persons.Nvalid[from], workspaces[thread]);
    });
}

// The estimation stage; returns true when the user stopped it.
bool EstimateMarginal(const MarginalSettings& settings, const EngineSettings& engine,
                      RunInputs& inputs, RunHost& host, WorkerPool& pool, mml::EmOutcome& outcome) {
    ItemTable& items = inputs.items;
    PersonTable& persons = inputs.persons;
    const std::size_t itemCount = items.itemCount();
    const mml::ResponseView view{persons.responses.data(), persons.personCount(), itemCount};

    const std::vector<char> given =
        settings.fixItems ? ItemsGivenInFile(inputs.settings.itemParameterFile, itemCount)
                          : std::vector<char>(itemCount, 0);
    std::vector<char> estimated(itemCount, 0);
    for (std::size_t i = 0; i < itemCount; ++i) {
        std::int32_t valid = 0;
        for (std::size_t j = 0; j < view.persons; ++j) valid += view.Row(j)[i] <= 1 ? 1 : 0;
        items.Nobs[i] = valid;
        estimated[i] = !given[i] && valid > 0 ? 1 : 0;
        items.seea[i] = items.seeb[i] = items.seec[i] = -1;
        ApplyModel(settings.model, items, i);
    }
    const mml::ItemSpans spans{items.a, items.b, items.c};
    mml::SetStartValues(settings.model, view, estimated, mml::PriorsFor(settings), spans);

    host.ProgressInit("Calibrating items (marginal maximum likelihood) ...");
    host.ProgressSet(0, "Starting EM cycles.");
    mml::Quadrature quadrature =
        mml::NormalQuadrature(settings.quadraturePoints, settings.quadratureRange);
    mml::ExpectedCounts counts;
    const std::string limit = std::to_string(settings.maxCycles);
    outcome = mml::RunEm(view, settings, estimated, spans, pool, quadrature, counts,
                         [&](int cycle, double change, double) {
                             host.ProgressSet(
                                 cycle * 100 / std::max(1, settings.maxCycles),
                                 "EM cycle " + std::to_string(cycle) + " of no more than " + limit +
                                     ".  Largest change = " + FormatWithMask(change, kMaskChange));
                             return !host.ProgressIsCancelled();
                         });
    if (!outcome.stopped) {
        host.ProgressSet(100, "Standard errors.");
        SetStandardErrors(settings, estimated, spans, view, quadrature, counts, pool, items);
    }
    host.ProgressSet(100, "Scoring examinees.");
    const mml::ScoreSpans scores{persons.theta, persons.seetheta, persons.Nvalid};
    switch (settings.scoring) {
        case MarginalScoring::Eap:
            mml::ScoreEap(view, spans, quadrature, pool, scores);
            break;
        case MarginalScoring::Map:
            mml::ScoreMap(view, spans, quadrature, outcome.populationMean, outcome.populationSd,
                          pool, scores);
            break;
        case MarginalScoring::Ml:
            ScoreMl(engine, items, persons, pool);
            break;
    }
    host.ProgressShutdown();
    return outcome.stopped;
}

// The EM cycles stand in the loop record for the joint loop's passes:
// Settled when converged, PassLimit when the cycle limit was reached.
LoopRecord EmLoopRecord(const MarginalSettings& settings, const mml::EmOutcome& em) {
    LoopRecord loop;
    loop.passes = em.cycles;
    loop.passLimit = settings.maxCycles;
    loop.tolerance = settings.tolerance;
    loop.lastChange = em.largestChange;
    loop.end = em.stopped ? LoopEnd::Stopped : em.converged ? LoopEnd::Settled : LoopEnd::PassLimit;
    return loop;
}

}  // namespace

int LayoutModeFor(MarginalModel model) {
    switch (model) {
        case MarginalModel::ThreePL:
        case MarginalModel::TwoPL:
            return 3;
        case MarginalModel::ThreePLCGiven:
            return 5;
        case MarginalModel::OnePL:
        case MarginalModel::Rasch:
            return 6;
    }
    return 3;
}

void FillMarginalReport(const MarginalSettings& settings, const mml::EmOutcome& outcome,
                        RunReport& report) {
    report.method = "mml";
    report.model = ModelName(settings.model);
    report.priors.clear();
    const mml::Priors priors = mml::PriorsFor(settings);
    if (priors.logA.on) {
        report.priors.push_back("a: log-normal, log a ~ N(" + Number(priors.logA.mean) + ", " +
                                Number(priors.logA.sd) + "^2)");
    }
    if (priors.b.on) {
        report.priors.push_back("b: normal N(" + Number(priors.b.mean) + ", " +
                                Number(priors.b.sd) + "^2)");
    }
    if (priors.c.on) {
        report.priors.push_back("c: beta Beta(" + Number(priors.c.alpha) + ", " +
                                Number(priors.c.beta) + ")");
    }
    report.loop = EmLoopRecord(settings, outcome);
    report.logLikelihood = outcome.logLikelihood;
}

RunOutcome RunMarginalCalibration(RunHost& host, const EngineSettings& engine,
                                  const MarginalSettings& settings, RunReport* report) {
    mml::EmOutcome em;
    EstimationStage marginal;
    marginal.layoutMode = LayoutModeFor(settings.model);
    marginal.check = [&settings](const RunInputs& inputs, RunHost& checkHost) {
        if (settings.model == MarginalModel::ThreePLCGiven &&
            inputs.settings.itemParameterFile.empty()) {
            checkHost.ShowMessage(
                "ERROR The model 3pl-c-given takes c from the item parameter file, "
                "and no item parameter file was given.");
            return false;
        }
        if (settings.fixItems && inputs.settings.itemParameterFile.empty()) {
            checkHost.ShowMessage(
                "ERROR Holding items fixed needs an item parameter file, and none "
                "was given.");
            return false;
        }
        return true;
    };
    marginal.estimate = [&](int, RunInputs& inputs, RunHost& stageHost, ResultWriter& writer,
                            const Engine& stageEngine) {
        EstimationOutcome outcome;
        outcome.stopped =
            EstimateMarginal(settings, engine, inputs, stageHost, stageEngine.pool, em);
        outcome.loop = EmLoopRecord(settings, em);
        writer.ItemSection(inputs.items);
        writer.PersonSection(inputs.persons);
        return outcome;
    };
    const RunOutcome outcome = RunCalibrationWith(host, engine, report, marginal);
    if (report) {
        FillMarginalReport(settings, em, *report);
        // The warnings speak of EM cycles and of this estimator's model.
        report->warnings = report::WarningsFor(*report);
    }
    return outcome;
}

}  // namespace tarvo
