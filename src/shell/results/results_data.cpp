#include "shell/results/results_data.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/polytomous_models.h"
#include "shell/results/fit_tables.h"

namespace tarvo::results {
namespace {

double Field(const PrintedTable& table, const std::vector<std::string>& row,
             std::initializer_list<std::string_view> names, double fallback) {
    const int column = table.Column(names);
    return column < 0 ? fallback : PrintedNumber(row[static_cast<std::size_t>(column)]);
}

// An item scored 0..m by its model's name: the GRM's curves are
// cumulative, the partial-credit models' are not.
CategoryItem ScoredItem(const std::string& model, double a, std::vector<double> thresholds) {
    const auto named = PolytomousModelNamed(model);
    return {named ? RulesOf(*named).cumulative : true, a, std::move(thresholds)};
}

std::vector<PlottedItem> ItemsFromReport(const RunReport& report) {
    std::vector<PlottedItem> items;
    const RunFit fit = ReadRunFit(report);
    for (const ItemReport& row : report.itemRows) {
        PlottedItem item;
        item.seqItem = row.seqItem;
        item.accNo = row.accNo;
        item.parameters = {row.a, row.b, row.c};
        if (const std::size_t k = items.size(); k < fit.items.size()) {
            item.sx2 = fit.items[k].sx2;
            item.p = fit.items[k].p;
            item.groupResiduals = fit.items[k].groupResiduals;
        }
        for (std::size_t g = 0; g < row.groupTheta.size() && g < row.groupProportion.size() &&
                                g < row.groupCount.size();
             ++g) {
            item.groups.push_back({row.groupTheta[g], row.groupProportion[g], row.groupCount[g]});
        }
        item.model = row.model;
        if (row.categories > 2) {
            item.scored = ScoredItem(row.model, row.a, row.thresholds);
            for (std::size_t g = 0; g < row.groupTheta.size() && g < row.groupMeanScore.size() &&
                                    g < row.groupCount.size();
                 ++g) {
                item.scoreGroups.push_back(
                    {row.groupTheta[g], row.groupMeanScore[g], row.groupCount[g]});
            }
        }
        items.push_back(std::move(item));
    }
    return items;
}

// The printed values; a 1PL row has b only (a = 1, c = 0). A polytomous
// file's rows name their model and categories, and an item scored 0..m
// has the thresholds b1..bm (a right/wrong item's b is its b1).
std::vector<PlottedItem> ItemsFromFile(const PrintedTable& table) {
    std::vector<PlottedItem> items;
    const int modelColumn = table.Column({"Model"});
    for (const auto& row : table.rows) {
        PlottedItem item;
        item.seqItem = static_cast<int>(Field(table, row, {"SeqItem"}, 0));
        item.accNo = row.size() > 1 ? row[1] : std::string();
        item.parameters = {Field(table, row, {"a_calib", "a"}, 1.0),
                           Field(table, row, {"b_calib", "b", "b1"}, 0.0),
                           Field(table, row, {"c_calib", "c_given", "c"}, 0.0)};
        if (modelColumn >= 0) {
            item.model = row[static_cast<std::size_t>(modelColumn)];
            const double categories = Field(table, row, {"Categories"}, 2);
            if (categories > 2) {
                std::vector<double> b;
                for (int k = 1; k < categories; ++k) {
                    const std::string name = "b" + std::to_string(k);
                    b.push_back(Field(table, row, {name}, NAN));
                }
                if (std::any_of(b.begin(), b.end(), [](double x) { return !std::isfinite(x); }))
                    continue;
                item.scored = ScoredItem(item.model, item.parameters.a, std::move(b));
                item.parameters.c = 0;
            }
        }
        if (std::isfinite(item.parameters.a) && std::isfinite(item.parameters.b) &&
            std::isfinite(item.parameters.c)) {
            items.push_back(std::move(item));
        }
    }
    return items;
}

std::string Number(double value, const char* format) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string Plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

const char* WhatTheModeDoes(ModeFamily family) {
    switch (family) {
        case ModeFamily::ThetaOnly:
            return "estimates abilities from given item parameters";
        case ModeFamily::ItemsOnly:
            return "estimates item parameters from given abilities";
        case ModeFamily::Joint:
            return "estimates abilities and item parameters together";
    }
    return "";
}

std::size_t PolytomousItems(const RunReport& report) {
    return static_cast<std::size_t>(
        std::count_if(report.itemRows.begin(), report.itemRows.end(),
                      [](const ItemReport& item) { return item.categories > 2; }));
}

// "grm", or with right/wrong items beside those scored 0..m "grm for the 10
// items scored in more than two categories, 3pl for the 30 right/wrong items".
std::string ModelsOfTheItems(const RunReport& report) {
    const std::size_t scored = PolytomousItems(report);
    if (scored == 0 || report.binaryModel.empty()) return report.model;
    const std::size_t rightWrong = report.itemRows.size() - scored;
    return report.model + " for the " + Plural(scored, "item", "items") +
           " scored in more than two categories, " + report.binaryModel + " for the " +
           Plural(rightWrong, "right/wrong item", "right/wrong items");
}

// The classic joint loop counts passes; the marginal estimator, EM cycles.
std::string LoopSentence(const LoopRecord& loop, bool marginal) {
    const std::string what = marginal ? "The EM cycles" : "The joint estimation";
    const char* one = marginal ? "cycle" : "pass";
    const char* many = marginal ? "cycles" : "passes";
    // The marginal estimator settles on its parameters' change, not on MSError.
    const std::string settledBelow =
        marginal ? ": the largest parameter change fell below " : ": MSError changed by less than ";
    const std::string lastChange = marginal ? " without settling; the largest parameter change was "
                                            : " without settling; MSError changed by ";
    const auto passes = static_cast<std::size_t>(std::max(loop.passes, 0));
    switch (loop.end) {
        case LoopEnd::NotRun:
            return "";
        case LoopEnd::Settled:
            return what + " settled after " + Plural(passes, one, many) + settledBelow +
                   Number(loop.tolerance, "%g") + ".";
        case LoopEnd::PassLimit:
            return what + " used all " +
                   Plural(static_cast<std::size_t>(std::max(loop.passLimit, 0)), one, many) +
                   lastChange + Number(loop.lastChange, "%.3g") + " in the last " + one +
                   ". Treat the estimates with care.";
        case LoopEnd::Stopped:
            return what + " stopped in " + one + " " + std::to_string(loop.passes) + ".";
    }
    return "";
}

}  // namespace

ModeFamily FamilyOfMode(int mode) { return IsMode(mode) ? RulesOf(mode).path : RunPath::Joint; }

ResultsData CollectResultsData(std::string_view fileText, RunReport report) {
    ResultsData data;
    data.report = std::move(report);
    data.file = ParseResultFile(fileText);
    data.itemTable = BuildItemTable(data.file.items, data.report);
    data.personTable = BuildPersonTable(data.file.persons, data.report);
    if (data.report.summedScores) data.scoreTable = BuildScoreTable(*data.report.summedScores);
    data.pairTable = BuildLocalDependenceTable(data.report);
    data.comparisonTable = BuildComparisonTable(data.report);

    data.items = data.report.itemRows.empty() ? ItemsFromFile(data.file.items)
                                              : ItemsFromReport(data.report);
    if (!data.report.personRows.empty()) {
        data.thetas.reserve(data.report.personRows.size());
        for (const PersonReport& person : data.report.personRows)
            data.thetas.push_back(person.theta);
    } else if (const int column = data.file.persons.Column({"theta"}); column >= 0) {
        data.thetas.reserve(data.file.persons.rows.size());
        for (const auto& row : data.file.persons.rows) {
            data.thetas.push_back(PrintedNumber(row[static_cast<std::size_t>(column)]));
        }
    }
    return data;
}

std::string ScoreTablePopulation(const ResultsData& data) {
    if (!data.report.summedScores) return {};
    const SummedScoreReport& scores = *data.report.summedScores;
    const ScorePopulation& p = scores.population;
    char text[200];
    std::snprintf(text, sizeof text, "N(%.3g, %.3g) over %d points from %.3g to %.3g", p.mean, p.sd,
                  p.points, p.mean - p.range * p.sd, p.mean + p.range * p.sd);
    std::string sentence = "For the population " + std::string(text);
    if (scores.overQuadrature) {
        sentence += scores.populationEstimated
                        ? ": the quadrature, moved to the estimated population"
                        : ": the quadrature";
    }
    return sentence + ".";
}

std::vector<std::string> SummarySentences(const ResultsData& data) {
    const RunReport& report = data.report;
    std::vector<std::string> sentences;
    switch (report.end) {
        case RunEnd::Finished:
            sentences.push_back("The run finished.");
            break;
        case RunEnd::Stopped:
            sentences.push_back(report.stopLine.empty()
                                    ? "The run was stopped: the result holds what was computed "
                                      "until then."
                                    : "The run was stopped: " + report.stopLine);
            break;
        case RunEnd::NothingToEstimate:
            sentences.push_back("Nothing was estimated: " + report.error);
            break;
        case RunEnd::EndedAtCheck:
            sentences.push_back("The run ended at a check before estimating anything.");
            break;
        case RunEnd::OutputIncomplete:
            sentences.push_back("The run could not write its whole result.");
            break;
    }
    // A marginal run borrows a joint mode's result layout only; the method
    // sentence below says what it estimated.
    if (IsMode(report.mode) && report.method != "mml") {
        sentences.push_back("Mode " + std::to_string(report.mode) + " " +
                            WhatTheModeDoes(data.Family()) + ".");
    }
    if (!report.resultFile.empty()) sentences.push_back("Result file: " + report.resultFile + ".");

    const bool haveStatistics = !report.itemRows.empty() || !report.personRows.empty();
    if (report.examinees > 0 || report.items > 0) {
        sentences.push_back("The run read " + Plural(report.examinees, "examinee", "examinees") +
                            " and " + Plural(report.items, "item", "items") + "; " +
                            Plural(report.missingResponses, "response was", "responses were") +
                            " missing (" + Number(100 * report.missingShare, "%.1f") + "%).");
    }
    sentences.push_back(
        "The result file holds " + Plural(data.file.items.rows.size(), "item row", "item rows") +
        " and " + Plural(data.file.persons.rows.size(), "examinee row", "examinee rows") + ".");
    const bool marginal = report.method == "mml";
    const bool polytomous = PolytomousItems(report) > 0;
    if (marginal) {
        std::string priors;
        for (const std::string& prior : report.priors)
            priors += (priors.empty() ? "" : "; ") + prior;
        sentences.push_back("The items were estimated by marginal maximum likelihood (" +
                            ModelsOfTheItems(report) + "); the marginal log-likelihood is " +
                            Number(report.logLikelihood, "%.3f") +
                            ". Priors: " + (priors.empty() ? std::string("none") : priors) + ".");
        if (report.population.estimated) {
            const PopulationEstimate& p = report.population;
            sentences.push_back("The ability distribution was estimated: mean " +
                                Number(p.mean, "%.3f") + " (standard error " +
                                Number(p.seMean, "%.3f") + "), SD " + Number(p.sd, "%.3f") +
                                " (standard error " + Number(p.seSd, "%.3f") + ").");
        }
    }
    // A run without items or examinees settles at once; that says nothing.
    if (report.end != RunEnd::NothingToEstimate) {
        if (const std::string loop = LoopSentence(report.loop, marginal); !loop.empty()) {
            sentences.push_back(loop);
        }
    }
    if (haveStatistics) {
        // Beside items scored 0..m, KR-20 is the right/wrong items' alone.
        const std::string kr20 = report.kr20Items < 0
                                     ? "Cronbach's alpha (KR-20)"
                                     : "Cronbach's alpha (KR-20) of the " +
                                           std::to_string(report.kr20Items) + " right/wrong items";
        if (report.kr20Items != 0) {
            sentences.push_back(std::isnan(report.alpha)
                                    ? kr20 + " is undefined for these responses."
                                    : kr20 + " is " + Number(report.alpha, "%.3f") + ".");
        }
        sentences.push_back(std::isnan(report.empiricalReliability)
                                ? "The empirical reliability of theta is undefined for this run."
                                : "The empirical reliability of theta is " +
                                      Number(report.empiricalReliability, "%.3f") + ".");
        if (report.rawScoreOrderInversions > 0) {
            sentences.push_back(
                Plural(static_cast<std::size_t>(report.rawScoreOrderInversions), "pair", "pairs") +
                " of raw-score groups are out of order in theta.");
        } else if (report.rawScoreOrderInversions == 0) {
            sentences.push_back("Higher raw scores always have higher thetas.");
        }
    } else {
        sentences.push_back("Item and examinee statistics are not available for this run.");
    }
    if (polytomous) {
        for (const ReportSection& section : report.sections) {
            if (section.key != "polytomous") continue;
            sentences.insert(sentences.end(), section.summary.begin(), section.summary.end());
        }
        sentences.push_back(
            "The fit statistics and the score table are not formed for a test with items scored "
            "in more than two categories; the Plots show each item's category curves and its "
            "expected score against the observed mean scores.");
    }
    if (report.wallSeconds > 0) {
        sentences.push_back(
            "The run took " + Number(report.wallSeconds, "%.2f") + " seconds" +
            (report.threads > 0 ? " on " + Plural(report.threads, "thread", "threads")
                                : std::string()) +
            (report.arithmetic.empty() ? std::string()
                                       : " with the " + report.arithmetic + " arithmetic") +
            ".");
    }
    for (const std::string& warning : report.warnings) sentences.push_back(warning);
    return sentences;
}

}  // namespace tarvo::results
