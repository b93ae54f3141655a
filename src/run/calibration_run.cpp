#include "run/calibration_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <thread>

#include "core/modes.h"
#include "core/program.h"
#include "dif/dif_report.h"
#include "estimation/polytomous/poly_groups.h"
#include "input/front_part.h"
#include "linking/link_files.h"
#include "linking/link_report_json.h"
#include "output/result_file.h"
#include "output/result_rows.h"
#include "output/result_writer.h"
#include "report/option_section.h"
#include "report/report_builder.h"
#include "run/estimator_table.h"
#include "run/fit_sections.h"
#include "run/groups/free_items.h"
#include "run/groups/irt_dif.h"
#include "run/input_check_section.h"
#include "run/input_files_section.h"
#include "run/model_comparison.h"
#include "run/polytomous_section.h"
#include "run/recording_host.h"
#include "run/run_files.h"
#include "run/run_fit.h"
#include "run/run_score_table.h"
#include "run/stop_line.h"

namespace tarvo {

namespace {

// Whole result lines are gathered into writes of about this size. Kept well
// below PIPE_BUF (4096 bytes), so that a result written into a pipe arrives
// in whole lines even when the process is ended in the middle of a write.
constexpr std::size_t kResultLinesGathered = 2048;

// What one run leaves besides its result file, for the report; each part
// stays empty when the run ended before reaching it.
struct RunRecord {
    std::optional<RunInputs> inputs;
    std::optional<EstimationOutcome> estimation;
    std::string error;  // the message that ended the run
    std::string stopLine;
    unsigned threads = 0;  // worker threads the estimation used
    // The engine as asked, its arithmetic chosen by the run's size once the
    // inputs are read.
    EngineSettings engine;
    std::optional<SummedScoreReport> summedScores;
    std::vector<std::string> unwrittenFiles;
    // The tables as read, kept before the estimation changes them when the
    // run compares models on them; why they could not be kept.
    std::optional<RunInputs> inputsAsRead;
    std::string comparisonProblem;
    std::string completeResult;  // the result file once it is written whole
    // Keep the response characters for the report's option analysis.
    bool keepOptions = false;
    // A run that frees items across its groups: the counted DIF screens,
    // formed on the items as read before their columns were split; the
    // report's part on the freed items.
    std::optional<dif::DifReport> difBeforeSplit;
    std::optional<ReportSection> freedItems;
    // The tables as read, for the IRT DIF screen's refits.
    std::optional<RunInputs> difInputs;
};

// Where FreeItemsOfRun leaves what the report tells.
struct RecordOfFreed {
    std::optional<dif::DifReport>& screens;
    std::optional<ReportSection>& section;
};

// Why a run that wrote its result had nothing to estimate; empty when it
// had items and examinees.
std::string NothingToEstimate(const RunInputs& inputs) {
    if (inputs.items.itemCount() == 0) {
        return "the run has no items: the item count is 0, so no response is read.";
    }
    if (inputs.persons.personCount() == 0) {
        const RunSettings& s = inputs.settings;
        const unsigned first = s.responseStart;
        return "the response file " + s.responseFile + " has no examinee with a response in " +
               (first == 0 ? std::string("the response columns (the response start column is 0)")
                           : "columns " + std::to_string(first) + " to " +
                                 std::to_string(first + s.itemCount - 1)) +
               ".";
    }
    return {};
}

RunEnd Refuse(RunHost& host, RunRecord& record, std::string message, RunEnd end) {
    host.ShowMessage(message);
    record.error = std::move(message);
    return end;
}

RunEnd StoppedWhileReading(RunHost& host, RunRecord& record) {
    record.inputs.reset();
    record.stopLine = kStoppedWhileReading;
    host.RunStopped(record.stopLine);
    return RunEnd::Stopped;
}

bool IsPolytomous(const RunRequest& request) {
    return request.method == Method::Marginal && FitsByModelTable(request.marginal);
}

bool IsNominal(const RunRequest& request) {
    return request.method == Method::Marginal &&
           request.marginal.polytomous == PolytomousModel::Nominal;
}

// The score table of a finished run, from the items as the estimation left
// them, and its file when one is asked for. A file that cannot be formed
// or written is told and recorded; the result file is whole either way.
void FormScoreTable(const RunRequest& request, const RunInputs& inputs,
                    const EstimationOutcome& outcome, int reportUpTo, RunHost& host,
                    RunRecord& record) {
    const std::string& path = request.scoreTableFile;
    if (IsNominal(request)) {
        // A nominal item's options are not scores: no table of summed scores.
        if (path.empty()) return;
        std::string unwritten = "The score table file " + path +
                                " was not written: the nominal model's options are not scores.";
        host.ShowMessage("ERROR " + unwritten);
        record.unwrittenFiles.push_back(std::move(unwritten));
        return;
    }
    if (path.empty() && HighestScoreOfRun(request, inputs.items, outcome) > reportUpTo) return;
    std::string problem;
    record.summedScores = ScoreTableOfRun(request, inputs.items, outcome, problem);
    if (path.empty()) return;
    std::string unwritten;
    if (!record.summedScores) {
        unwritten = "The score table file " + path + " was not written: " + problem + ".";
    } else {
        // Checked by its identity too, now that the result file exists.
        const std::vector<NamedFile> notThese = FilesOfRunBeside(request, path);
        const std::string failure =
            WriteOutputFile(path, linking::ScoreTableText(record.summedScores->rows), notThese);
        if (!failure.empty()) {
            unwritten = "The score table file " + path + " could not be written: " + failure + ".";
        }
    }
    if (unwritten.empty()) return;
    host.ShowMessage("ERROR " + unwritten);
    record.unwrittenFiles.push_back(std::move(unwritten));
}

// The report's part for the score table: the table and the curves as
// data, and a line for the summary.
ReportSection ScoreTableSection(const RunRequest& request, const SummedScoreReport& table) {
    ReportSection section;
    section.key = "summed_scores";
    section.json = linking::ScoreReportJson(table.rows, table.curves, &table.population);
    const ScorePopulation& p = table.population;
    char population[160];
    std::snprintf(population, sizeof population, "N(%.3g, %.3g) over %d points", p.mean, p.sd,
                  p.points);
    std::string line = "Score table: " + std::to_string(table.rows.size()) + " raw scores, " +
                       (table.overQuadrature ? "the quadrature with the population " : "") +
                       population;
    if (!request.scoreTableFile.empty()) line += ", in " + request.scoreTableFile;
    section.summary.push_back(line + ".");
    return section;
}

// The items a calibration of several groups frees, as named and as the DIF
// screens flag them, split into one column per group; the screens the run
// asked for are formed first, on the items as read. A name that is no item
// is the refusal returned.
std::string FreeItemsOfRun(const RunRequest& request, RunInputs& inputs, RecordOfFreed& record);

// The run itself; what it leaves for the report goes into record.
RunEnd RunWithoutGuard(const RunRequest& request, RunHost& host, const EngineSettings& engine,
                       int reportScoresUpTo, RunRecord& record) {
    const std::unique_ptr<Estimator> estimator = MakeEstimator(request);
    // The tables hold itemCount codes per examinee, so a small file with a
    // large item count can ask for more memory than there is: that ends the
    // run with a message instead of ending the program.
    try {
        record.inputs = ReadRunInputs(request, host, record.keepOptions);
    } catch (const std::bad_alloc&) {
        return Refuse(host, record, "ERROR Not enough memory to read the input files.",
                      RunEnd::EndedAtCheck);
    } catch (const std::exception& failure) {
        return Refuse(host, record,
                      std::string("ERROR The input files could not be read: ") + failure.what(),
                      RunEnd::EndedAtCheck);
    }
    if (!record.inputs) return RunEnd::EndedAtCheck;
    if (record.inputs->stopped) return StoppedWhileReading(host, record);
    RunInputs& inputs = *record.inputs;
    // A serious finding of the input check: --strict ends the run here; a
    // front end with a user asks whether to run anyway.
    if (AnySerious(inputs.findings)) {
        std::vector<std::string> serious;
        for (const InputFinding& finding : inputs.findings) {
            if (finding.serious) serious.push_back(finding.message);
        }
        if (request.strict) {
            return Refuse(
                host, record,
                "ERROR The input check found " +
                    std::string(serious.size() == 1 ? "a mistake that makes"
                                                    : "mistakes that make") +
                    " the results wrong, and --strict ends the run there: " + serious.front(),
                RunEnd::EndedAtCheck);
        }
        if (!host.RunDespiteFindings(serious)) {
            record.error = "The run was not started: the input check found mistakes in the inputs.";
            return RunEnd::EndedAtCheck;
        }
    }
    if (request.dif.irt) record.difInputs = inputs;
    if (request.freeItems.any()) {
        RecordOfFreed freed{record.difBeforeSplit, record.freedItems};
        if (std::string refusal = FreeItemsOfRun(request, inputs, freed); !refusal.empty()) {
            return Refuse(host, record, std::move(refusal), RunEnd::EndedAtCheck);
        }
    }
    record.engine.arithmetic =
        ArithmeticOfRun(engine.arithmetic, inputs.persons.personCount(), inputs.items.itemCount());
    const std::function<bool()> stop = [&host] { return host.ProgressIsCancelled(); };
    if (std::string refusal = estimator->CheckInputs(inputs, stop); !refusal.empty()) {
        // A file the estimator reads itself (the item-models file) may be
        // what a stop broke off: the run then ends as stopped while reading.
        if (host.ProgressIsCancelled()) return StoppedWhileReading(host, record);
        return Refuse(host, record, std::move(refusal), RunEnd::EndedAtCheck);
    }

    if (ComparesModels(request)) {
        try {
            record.inputsAsRead = inputs;
        } catch (const std::bad_alloc&) {
            record.comparisonProblem = "there was not enough memory for a copy of the data.";
        }
    }

    // Writing the result or the score table over one of the run's own
    // inputs would destroy the data it was computed from.
    const std::string& outputFile = request.outputFile;
    if (std::string clash = OutputFileClash(request, inputs.settings); !clash.empty()) {
        return Refuse(host, record, std::move(clash), RunEnd::EndedAtCheck);
    }
    ResultFile file;
    file.GatherLinesUpTo(kResultLinesGathered);
    if (!file.Open(outputFile)) {
        return Refuse(
            host, record,
            "ERROR Output file " + outputFile + " cannot be written. (" + file.OpenFailure() + ")",
            RunEnd::EndedAtCheck);
    }

    const int layoutMode = estimator->LayoutMode();
    ResultWriter writer(file, layoutMode, IsCsvLayout(outputFile));
    try {
        WorkerPool pool(request.threads, engine.executor);
        record.threads = pool.Threads();
        record.estimation = estimator->Estimate(
            inputs, host, writer, Engine{pool, record.engine.arithmetic, record.engine.vectorUnit});
    } catch (const std::bad_alloc&) {
        // The estimators build working copies of the responses.
        host.ProgressShutdown();
        file.Close();
        return Refuse(host, record,
                      "ERROR Not enough memory to finish the run. Output file " + outputFile +
                          " is incomplete.",
                      RunEnd::OutputIncomplete);
    } catch (const std::exception& failure) {
        // Whatever else ends the estimation early (a thread, a lock, the
        // front end) ends the run the same way: the result is not whole.
        host.ProgressShutdown();
        file.Close();
        return Refuse(host, record,
                      std::string("ERROR The run failed: ") + failure.what() + ". Output file " +
                          outputFile + " is incomplete.",
                      RunEnd::OutputIncomplete);
    } catch (...) {
        host.ProgressShutdown();
        file.Close();
        return Refuse(host, record,
                      "ERROR The run failed. Output file " + outputFile + " is incomplete.",
                      RunEnd::OutputIncomplete);
    }
    const EstimationOutcome& outcome = *record.estimation;
    if (outcome.stopped) {
        record.stopLine = WhatTheResultHolds(outcome, RulesOf(layoutMode).path);
        host.RunStopped(record.stopLine);
    }

    if (!file.Close()) {
        return Refuse(host, record,
                      "ERROR Output file " + outputFile + " could not be written completely.",
                      RunEnd::OutputIncomplete);
    }
    record.completeResult = outputFile;
    host.ViewResult(outputFile);
    if (outcome.stopped) return RunEnd::Stopped;
    // The rules give such a run a result; it is written, and the run says
    // why nothing in it was estimated.
    record.error = NothingToEstimate(inputs);
    if (!record.error.empty()) return RunEnd::NothingToEstimate;
    FormScoreTable(request, inputs, outcome, reportScoresUpTo, host, record);
    return RunEnd::Finished;
}

// The run and its boundary: an exception from a stage that has no handler of
// its own still ends the run with a message instead of leaving it silently.
// reportScoresUpTo: the report forms its own score table for tests of at
// most that highest raw score (-1: none).
RunEnd RunGuarded(const RunRequest& request, RunHost& host, const EngineSettings& engine,
                  int reportScoresUpTo, RunRecord& record) {
    try {
        return RunWithoutGuard(request, host, engine, reportScoresUpTo, record);
    } catch (const std::bad_alloc&) {
        // Memory ran out outside the estimation: reading the inputs, or
        // forming what goes beside a result file that is already whole.
        const std::string result =
            record.completeResult.empty()
                ? " Output file " + request.outputFile + " is not complete."
                : " Output file " + record.completeResult +
                      " is complete; what goes beside it (report, score table) is not.";
        return Refuse(host, record, "ERROR The run ran out of memory." + result,
                      RunEnd::OutputIncomplete);
    } catch (const std::exception& failure) {
        return Refuse(host, record, std::string("ERROR The run failed: ") + failure.what() + ".",
                      RunEnd::OutputIncomplete);
    } catch (...) {
        return Refuse(host, record, "ERROR The run failed.", RunEnd::OutputIncomplete);
    }
}

std::string Fixed3(double x) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", x);
    return text;
}

// What S-X2 integrated over, in words for the report.
std::string GridText(const RunRequest& request, const EstimationOutcome& outcome) {
    if (request.method != Method::Marginal) {
        return "a normal with the mean and SD of the estimated abilities, 61 points over +-6 SD";
    }
    const std::string points = std::to_string(request.marginal.quadraturePoints) +
                               " points over +-" + Fixed3(request.marginal.quadratureRange) + " SD";
    if (!outcome.population.estimated) return "the standard normal population, " + points;
    return "the fitted population, normal with mean " + Fixed3(outcome.population.mean) +
           " and SD " + Fixed3(outcome.population.sd) + ", " + points;
}

// The fit statistics of a finished run as report sections; a run that was
// stopped or failed has no final tables to judge. A failure of the fit
// (memory) costs only the fit, never the run.
std::vector<ReportSection> FitOfFinishedRun(const RunRequest& request, RunEnd end,
                                            const RunRecord& record) {
    if (end != RunEnd::Finished || !record.inputs || !record.estimation) return {};
    // A nominal item's options are not scores: no summed-score fit.
    if (IsNominal(request)) return {};
    try {
        const fit::FitResults fit =
            IsPolytomous(request)
                ? FitOfPolytomousRun(request, *record.inputs, *record.estimation,
                                     record.engine.executor)
                : FitOfRun(request, *record.inputs, *record.estimation, record.engine.executor);
        return FitSections(fit, record.inputs->items, record.inputs->persons,
                           GridText(request, *record.estimation));
    } catch (const std::bad_alloc&) {
        return {FitFailedSection("there was not enough memory.")};
    } catch (const std::exception& failure) {
        return {FitFailedSection(std::string(failure.what()) + ".")};
    }
}

// The model comparison of a finished marginal run that asks for one; a
// failure costs only the comparison.
std::vector<ReportSection> ComparisonOfFinishedRun(const RunRequest& request, RunEnd end,
                                                   const RunRecord& record, RunHost& host) {
    if (!ComparesModels(request)) return {};
    if (end != RunEnd::Finished || !record.inputs || !record.estimation) return {};
    if (!record.inputsAsRead) return {ModelComparisonFailedSection(record.comparisonProblem)};
    try {
        return {ModelComparisonSection(CompareModels(request, *record.inputsAsRead, *record.inputs,
                                                     *record.estimation, host, record.engine))};
    } catch (const std::bad_alloc&) {
        return {ModelComparisonFailedSection("there was not enough memory.")};
    } catch (const std::exception& failure) {
        return {ModelComparisonFailedSection(std::string(failure.what()) + ".")};
    }
}

// The DIF screens a finished run was asked for, from its examinees' scored
// responses (formed before the split where the run freed items), and the
// IRT screen's refits; their failure (memory) costs only the screens.
std::optional<ReportSection> DifOfFinishedRun(const RunRequest& request, RunEnd end,
                                              const RunRecord& record, RunHost& host) {
    if (!(request.dif.any() || record.difBeforeSplit) || end != RunEnd::Finished ||
        !record.inputs) {
        return std::nullopt;
    }
    std::optional<ReportSection> section;
    try {
        if (record.difBeforeSplit) {
            section.emplace();
            section->key = "dif";
            section->json = record.difBeforeSplit->json;
            section->summary = record.difBeforeSplit->summary;
            section->warnings = record.difBeforeSplit->warnings;
        } else if (request.dif.anyCounted()) {
            section.emplace();
            section->key = "dif";
            WorkerPool pool(request.threads);
            const dif::ItemNames names{&record.inputs->items.AccNo, &record.inputs->itemNames};
            dif::DifReport dif =
                dif::DifOfRun(request.dif, request.groups, record.inputs->persons, names, pool);
            section->json = std::move(dif.json);
            section->summary = std::move(dif.summary);
            section->warnings = std::move(dif.warnings);
        }
        if (request.dif.irt && record.difInputs) {
            const IrtDifScreen screen =
                ScreenIrtDif(request, *record.difInputs, host, record.engine);
            section = IrtDifSection(screen, *record.difInputs, std::move(section));
        }
    } catch (const std::bad_alloc&) {
        section.emplace();
        section->key = "dif";
        section->json = "{\"formed\":false,\"note\":\"there was not enough memory.\"}";
        section->warnings.push_back(
            "The DIF screens (--dif) were not formed: there was not enough memory.");
    }
    return section;
}

// The option analysis of a run whose responses have a key, and of its items
// scored 0..m: grouped by theta where the run finished estimating abilities,
// else by the summed score. Its failure (memory) costs only the analysis.
std::optional<report::OptionAnalysis> OptionsOfRun(const RunRequest& request, RunEnd end,
                                                   const RunRecord& record) {
    if (!record.inputs || record.inputs->stopped) return std::nullopt;
    const PersonTable& persons = record.inputs->persons;
    const std::vector<int> noCategories;
    const std::vector<int>& categories =
        record.estimation ? record.estimation->categories : noCategories;
    bool scoredItems = false;
    for (const int count : categories) scoredItems = scoredItems || count > 2;
    if (persons.options.empty() && !scoredItems) return std::nullopt;
    if (persons.itemCount == 0 || persons.personCount() == 0) return std::nullopt;
    const bool byTheta = end == RunEnd::Finished && record.estimation &&
                         (request.method == Method::Marginal ||
                          (IsMode(request.mode) && RulesOf(request.mode).estimatesTheta()));
    try {
        report::OptionInputs in;
        in.itemCount = persons.itemCount;
        in.options = persons.options;
        in.codes = persons.responses;
        in.key = persons.optionKey;
        in.categories = categories;
        if (byTheta) in.ability = persons.theta;
        in.abilityName = byTheta ? "theta" : "total score";
        return report::AnalyseOptions(in);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::string FreeItemsOfRun(const RunRequest& request, RunInputs& inputs, RecordOfFreed& record) {
    PersonTable& persons = inputs.persons;
    const poly::GroupPlan plan =
        poly::PlanGroups(request.groups, persons.group, persons.groupLabels);
    // The estimator's check says what is wrong with the groups.
    if (!plan.error.empty()) return {};
    std::vector<std::size_t> freed;
    std::vector<std::string> why(persons.itemCount);
    if (!request.freeItems.items.empty()) {
        std::string problem;
        const auto named = ResolveItems(request.freeItems.items, inputs, "--free-items", problem);
        if (!named) return problem;
        for (const std::size_t i : *named) {
            freed.push_back(i);
            why[i] = "named by --free-items";
        }
    }
    if (request.dif.anyCounted() || request.freeItems.byDif) {
        DifRequest asked = request.dif;
        // Freeing by the screens without one asked: Mantel-Haenszel's.
        if (!asked.anyCounted()) asked.mantelHaenszel = true;
        WorkerPool pool(request.threads);
        const dif::ItemNames names{&inputs.items.AccNo, &inputs.itemNames};
        record.screens = dif::DifOfRun(asked, request.groups, persons, names, pool);
        for (const dif::DifReport::Flagged& flagged :
             request.freeItems.byDif ? record.screens->toFree
                                     : std::vector<dif::DifReport::Flagged>{}) {
            freed.push_back(flagged.item);
            why[flagged.item] += (why[flagged.item].empty() ? "" : "; ") + flagged.why;
        }
    }
    std::sort(freed.begin(), freed.end());
    freed.erase(std::unique(freed.begin(), freed.end()), freed.end());
    std::vector<std::string> names;
    for (const std::size_t i : freed) names.push_back(DisplayNameOf(inputs, i));
    const ItemSplit split = SplitItems(inputs, freed, plan.index, plan.labels);
    record.section = FreedItemsSection(split, names, why, request.freeItems.byDif);
    return {};
}

// A run that ended before its inputs were read chose no arithmetic.
const char* ArithmeticName(Arithmetic arithmetic) {
    switch (arithmetic) {
        case Arithmetic::Reference:
            return "reference";
        case Arithmetic::Fast:
            return "fast";
        case Arithmetic::BySize:
            return "";
    }
    return "";
}

unsigned ThreadsAsked(unsigned threads) {
    if (threads > 0) return threads;
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace

RunEnd RunCalibration(const RunRequest& request, RunHost& host, RunReport* report,
                      const EngineSettings& engine, const ReportExtras& extras) {
    const auto start = std::chrono::steady_clock::now();
    RecordingHost recording(host);
    RunRecord record;
    record.engine = engine;
    record.keepOptions = report != nullptr;
    const int reportScoresUpTo =
        extras.summedScores && report != nullptr ? extras.mostRawScore : -1;
    const RunEnd end = RunGuarded(request, recording, engine, reportScoresUpTo, record);
    if (report == nullptr) return end;
    std::vector<ReportSection> fitSections = FitOfFinishedRun(request, end, record);
    for (ReportSection& section : ComparisonOfFinishedRun(request, end, record, recording)) {
        fitSections.push_back(std::move(section));
    }
    record.inputsAsRead.reset();
    const std::optional<report::OptionAnalysis> options = OptionsOfRun(request, end, record);
    report::ReportSources sources;
    sources.request = &request;
    sources.end = end;
    sources.error = record.error;
    // The front part shows its own refusals (a missing response file).
    if (sources.error.empty() && end == RunEnd::EndedAtCheck && !recording.Messages().empty()) {
        sources.error = recording.Messages().back();
    }
    sources.stopLine = record.stopLine;
    sources.messages = recording.Messages();
    if (record.inputs) {
        sources.inputSettings = &record.inputs->settings;
        sources.items = &record.inputs->items;
        sources.persons = &record.inputs->persons;
        sources.itemNames = &record.inputs->itemNames;
        // The check ran on what was read: its findings come first, as they
        // were found first.
        sources.sections.push_back(InputCheckSection(record.inputs->findings));
        sources.sections.push_back(InputFilesSection(record.inputs->settings));
        if (request.groups.present() || !record.inputs->persons.group.empty()) {
            sources.sections.push_back(GroupsSection(request, record.inputs->persons));
        }
    }
    if (record.freedItems) sources.sections.push_back(*record.freedItems);
    if (record.estimation) sources.outcome = &*record.estimation;
    sources.arithmetic = ArithmeticName(record.engine.arithmetic);
    sources.threads = record.threads > 0 ? record.threads : ThreadsAsked(request.threads);
    // The run's time, not the time a question waited for the user.
    sources.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() -
        recording.SecondsAsking();
    sources.program = std::string(kProgramName);
    sources.job = extras.job;
    sources.sections.insert(sources.sections.end(), extras.sections.begin(), extras.sections.end());
    for (ReportSection& section : fitSections) sources.sections.push_back(std::move(section));
    if (std::optional<ReportSection> dif = DifOfFinishedRun(request, end, record, recording)) {
        sources.sections.push_back(std::move(*dif));
    }
    if (record.inputs && record.estimation && !record.estimation->optionSlopes.empty()) {
        sources.sections.push_back(NominalSection(record.inputs->items, *record.estimation));
    } else if (record.inputs && record.estimation && !record.estimation->categories.empty()) {
        sources.sections.push_back(
            PolytomousSection(record.inputs->items, record.inputs->persons, *record.estimation));
    }
    if (record.inputs && record.estimation && !record.estimation->groups.empty()) {
        sources.sections.push_back(GroupsSection(record.inputs->persons, *record.estimation));
    }
    if (record.summedScores) {
        sources.summedScores = &*record.summedScores;
        sources.sections.push_back(ScoreTableSection(request, *record.summedScores));
    }
    if (options) {
        sources.options = &*options;
        sources.sections.push_back(report::OptionSection(*options));
    }
    sources.unwrittenFiles = record.unwrittenFiles;
    *report = report::BuildRunReport(sources);
    return end;
}

}  // namespace tarvo
