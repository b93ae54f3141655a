#include "report/report_summary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "report/plural.h"

namespace tarvo::report {

namespace {

std::string Scientific(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1e", value);
    return text;
}

std::string Fixed3(double value) {
    if (!std::isfinite(value)) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

std::string RowsLine(const RunReport& report) {
    return Plural(report.examinees, "examinee", "examinees") + ", " +
           Plural(report.items, "item", "items");
}

}  // namespace

bool EveryItemHeld(const RunReport& report) {
    return !report.itemRows.empty() &&
           std::all_of(report.itemRows.begin(), report.itemRows.end(),
                       [](const ItemReport& item) { return item.held; });
}

bool OnlyScored(const RunReport& report) {
    return report.method == "mml" && !report.population.estimated && EveryItemHeld(report);
}

std::string EndingLine(const RunReport& report) {
    const bool cycles = report.loop.step == LoopStep::EmCycle;
    const char* pass = cycles ? "EM cycle" : "pass";
    const char* passes = cycles ? "EM cycles" : "passes";
    const std::string change = cycles ? "largest change " : "MSError change ";
    const LoopRecord& loop = report.loop;
    const auto counted = [&](int n) {
        return Plural(static_cast<std::size_t>(std::max(n, 0)), pass, passes);
    };
    switch (report.end) {
        case RunEnd::EndedAtCheck:
            return "Ended at a check: nothing was estimated.";
        case RunEnd::OutputIncomplete:
            return "The result file is incomplete: the run did not finish.";
        case RunEnd::NothingToEstimate:
            return "Nothing was estimated: " + report.error;
        case RunEnd::Stopped:
            if (!report.stopLine.empty()) {
                return "Stopped by the user: " + report.stopLine;
            }
            return "Stopped by the user.";
        case RunEnd::Finished:
            break;
    }
    if (OnlyScored(report)) {
        return "Scored: " + RowsLine(report) + ", every item held at the item file's values.";
    }
    switch (loop.end) {
        case LoopEnd::Settled:
            return "Settled after " + counted(loop.passes) + " (" + change +
                   Scientific(loop.lastChange) + ").";
        case LoopEnd::PassLimit:
            return "Not settled: stopped at the pass limit of " + counted(loop.passLimit) +
                   ", last " + change + Scientific(loop.lastChange) + ".";
        case LoopEnd::Stopped:
        case LoopEnd::NotRun:
            break;
    }
    return "Finished: " + RowsLine(report) + " (" + report.path + " path).";
}

std::string SummaryText(const RunReport& report) {
    // The warnings of the sections that lead (the input check's) come
    // first: a mistake in the inputs is read before the results are.
    const std::size_t leading = std::min(report.leadingWarnings, report.warnings.size());
    std::string text;
    for (std::size_t k = 0; k < leading && report.end != RunEnd::EndedAtCheck; ++k)
        text += "WARNING " + report.warnings[k] + "\n";
    text += EndingLine(report) + "\n";
    if (report.end == RunEnd::EndedAtCheck) {
        // What the sections found in the inputs may explain the refusal.
        for (const ReportSection& section : report.sections) {
            for (const std::string& warning : section.warnings) text += "WARNING " + warning + "\n";
        }
        return text;
    }
    if (report.method == "mml") {
        const std::string binary =
            report.binaryModel.empty() ? "" : ", right/wrong items " + report.binaryModel;
        text += "Marginal (" + report.model + binary + "): log-likelihood " +
                Fixed3(report.logLikelihood);
        if (OnlyScored(report)) {
            text += ".\n";
        } else {
            std::string priors;
            for (const std::string& prior : report.priors)
                priors += (priors.empty() ? "" : "; ") + prior;
            text += "; priors: " + (priors.empty() ? std::string("none") : priors) + ".\n";
        }
        if (report.population.estimated) text += PopulationLine(report.population) + "\n";
    }
    // Beside items scored 0..m, KR-20 is over the right/wrong items alone.
    const std::string kr20 =
        report.kr20Items < 0
            ? "KR-20"
            : "KR-20 over the " + Plural(static_cast<std::size_t>(report.kr20Items),
                                         "right/wrong item", "right/wrong items");
    // The empirical reliability names the examinees it is over.
    std::string empirical = Fixed3(report.empiricalReliability);
    if (std::isfinite(report.empiricalReliability)) {
        empirical += " over " + Plural(report.empiricalExaminees, "examinee", "examinees") +
                     " with an estimate";
    }
    // KR-20 over no right/wrong item is no statistic at all.
    if (report.kr20Items == 0) {
        text += "Reliability: empirical " + empirical + ".\n";
    } else {
        text += "Reliability: alpha (" + kr20 + ") " + Fixed3(report.alpha) + ", empirical " +
                empirical + ".\n";
    }
    if (report.rawScoreOrderInversions >= 0) {
        const int n = report.rawScoreOrderInversions;
        text += "Raw-score order: " + std::to_string(n) + (n == 1 ? " pair" : " pairs") +
                " of raw-score groups out of order.\n";
    }
    for (const ReportSection& section : report.sections) {
        for (const std::string& line : section.summary) text += line + "\n";
    }
    for (std::size_t k = leading; k < report.warnings.size(); ++k)
        text += "WARNING " + report.warnings[k] + "\n";
    return text;
}

std::string PopulationLine(const PopulationEstimate& population) {
    return "Population: mean " + Fixed3(population.mean) + " (SE " + Fixed3(population.seMean) +
           "), SD " + Fixed3(population.sd) + " (SE " + Fixed3(population.seSd) + ").";
}

}  // namespace tarvo::report
