#include "shell/results/results_data.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "core/polytomous_models.h"
#include "output/masks.h"
#include "output/nominal_rows.h"
#include "output/polytomous_rows.h"
#include "output/result_rows.h"
#include "report/plural.h"
#include "report/report_summary.h"
#include "shell/results/fit_tables.h"

namespace tarvo::results {
namespace {

// An item scored 0..m by its model's name: the GRM's curves are
// cumulative, the partial-credit models' are not.
CategoryItem ScoredItem(const std::string& model, double a, std::vector<double> thresholds) {
    const auto named = PolytomousModelNamed(model);
    CategoryItem item;
    item.cumulative = named ? RulesOf(*named).cumulative : true;
    item.a = a;
    item.b = std::move(thresholds);
    return item;
}

std::vector<PlottedItem> ItemsFromReport(const RunReport& report,
                                         const std::vector<ItemFitValues>& fit) {
    std::vector<PlottedItem> items;
    for (const ItemReport& row : report.itemRows) {
        PlottedItem item;
        item.seqItem = row.seqItem;
        item.accNo = row.accNo;
        item.parameters = {row.a, row.b, row.c};
        if (const std::size_t k = items.size(); k < fit.size()) {
            item.sx2 = fit[k].sx2;
            item.p = fit[k].p;
            item.groupResiduals = fit[k].groupResiduals;
        }
        for (std::size_t g = 0; g < row.groupTheta.size() && g < row.groupProportion.size() &&
                                g < row.groupCount.size();
             ++g) {
            item.groups.push_back({row.groupTheta[g], row.groupProportion[g], row.groupCount[g]});
        }
        item.model = row.model;
        item.categories = row.categories;
        if (!row.optionSlopes.empty()) {
            item.scored.nominal = true;
            item.scored.a = row.a;
            item.scored.slopes = row.optionSlopes;
            item.scored.intercepts = row.optionIntercepts;
            item.scored.keyed = row.keyedOption;
        } else if (row.categories > 2) {
            item.scored = ScoredItem(row.model, row.a, row.thresholds);
        }
        if (row.categories > 2 || !row.optionSlopes.empty()) {
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

// A value as its field in the result file shows it, without the padding.
std::string Printed(double value, std::string_view mask) { return PrintedField(value, mask); }

// A polytomous run's rows (thresholds b1..bK and their errors, K the most
// of any item; cells an item lacks are empty), from its report section.
void PolytomousRows(const RunReport& report, const ReportSection& section, ResultFileRows& rows) {
    using Json = nlohmann::json;
    std::vector<Json> members;
    std::size_t most = 1;
    for (const std::string& text : section.itemMembers) {
        const Json parsed = Json::parse("{" + text + "}", nullptr, false);
        const Json row = parsed.is_object() ? parsed.value("polytomous", Json()) : Json();
        if (row.is_object()) most = std::max(most, row.value("thresholds", Json::array()).size());
        members.push_back(row);
    }
    // A nominal run's rows have each option's slope and intercept instead.
    bool nominal = false;
    for (const Json& row : members) {
        if (!row.is_object() || !row.contains("option_slopes")) continue;
        nominal = true;
        most = std::max(most, row.value("option_slopes", Json::array()).size());
    }
    rows.items.columns = HeaderNames(nominal ? NominalItemHeader(static_cast<int>(most))
                                             : PolytomousItemHeader(static_cast<int>(most)));
    auto cells = [&](const Json& values, std::vector<std::string>& fields) {
        for (std::size_t k = 0; k < most; ++k) {
            const bool has = values.is_array() && k < values.size() && values[k].is_number();
            fields.push_back(has ? Printed(values[k].get<double>(), kMaskParameter) : "");
        }
    };
    for (std::size_t i = 0; nominal && i < report.itemRows.size(); ++i) {
        const ItemReport& item = report.itemRows[i];
        const Json row = i < members.size() && members[i].is_object() ? members[i] : Json::object();
        const Json key = row.value("keyed_option", Json());
        std::vector<std::string> fields = {
            Printed(item.seqItem, kMaskCount),
            TrimmedField(item.accNo),
            row.value("model", std::string()),
            Printed(item.categories, kMaskCount),
            Printed(key.is_number() ? key.get<double>() : 0.0, kMaskCount),
            Printed(item.a, kMaskParameter)};
        cells(row.value("option_slopes", Json()), fields);
        cells(row.value("option_intercepts", Json()), fields);
        fields.push_back(Printed(item.seea, kMaskParameter));
        cells(row.value("option_slope_errors", Json()), fields);
        cells(row.value("option_intercept_errors", Json()), fields);
        rows.items.rows.push_back(std::move(fields));
    }
    if (nominal) return;
    for (std::size_t i = 0; i < report.itemRows.size(); ++i) {
        const ItemReport& item = report.itemRows[i];
        const Json row = i < members.size() ? members[i] : Json();
        const std::string model = row.is_object() ? row.value("model", std::string()) : "";
        // Right/wrong items are the ones with a guessing parameter.
        const bool hasC = item.categories <= 2;
        std::vector<std::string> fields = {
            Printed(item.seqItem, kMaskCount), TrimmedField(item.accNo), model,
            Printed(item.categories, kMaskCount), Printed(item.a, kMaskParameter)};
        cells(row.is_object() ? row.value("thresholds", Json()) : Json(), fields);
        fields.push_back(hasC ? Printed(item.c, kMaskParameter) : "");
        fields.push_back(Printed(item.seea, kMaskParameter));
        cells(row.is_object() ? row.value("threshold_errors", Json()) : Json(), fields);
        fields.push_back(hasC ? Printed(item.seec, kMaskParameter) : "");
        rows.items.rows.push_back(std::move(fields));
    }
}

std::string Number(double value, const char* format) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

using report::Plural;

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

ResultFileRows ItemRowsOfRun(const RunReport& report) {
    ResultFileRows rows;
    for (const ReportSection& section : report.sections) {
        if (section.key != "polytomous") continue;
        PolytomousRows(report, section, rows);
        return rows;
    }
    if (!IsMode(report.mode)) return rows;
    const RunPath path = RulesOf(report.mode).path;
    const bool onePL = RulesOf(report.mode).onePL;
    // The items-only paths write four lines per item outside the CSV layout.
    rows.listingLayout = path == RunPath::ItemsOnly && !IsCsvLayout(report.resultFile);
    if (path != RunPath::ThetaOnly) {
        rows.items.columns = rows.listingLayout
                                 ? std::vector<std::string>{"SeqItem", "AccNo", "Nobs", "a",   "b",
                                                            "c",       "seea",  "seeb", "seec"}
                                 : HeaderNames(ItemHeader(report.mode));
        const bool onlyB = onePL && !rows.listingLayout;
        for (const ItemReport& item : report.itemRows) {
            std::vector<std::string> fields = {Printed(item.seqItem, kMaskCount),
                                               TrimmedField(item.accNo),
                                               Printed(item.nobs, kMaskCount)};
            const double values[] = {item.a, item.b, item.c, item.seea, item.seeb, item.seec};
            for (std::size_t k = 0; k < 6; ++k) {
                if (!onlyB || k == 1 || k == 4)
                    fields.push_back(Printed(values[k], kMaskParameter));
            }
            rows.items.rows.push_back(std::move(fields));
        }
    }
    return rows;
}

ResultFileRows RowsOfRun(const RunReport& report) {
    ResultFileRows rows = ItemRowsOfRun(report);
    const PersonSection section = PersonSectionOf(report);
    rows.persons.columns = PersonColumns(section);
    if (section == PersonSection::None) return rows;
    rows.persons.rows.reserve(report.personRows.size());
    for (std::size_t j = 0; j < report.personRows.size(); ++j) {
        std::vector<std::string>& fields = rows.persons.rows.emplace_back();
        for (std::size_t field = 0; field < rows.persons.columns.size(); ++field) {
            fields.push_back(PersonField(report, section, j, field));
        }
    }
    return rows;
}

ResultsData CollectResultsData(RunReport report) {
    ResultsData data;
    data.run = std::make_shared<const RunReport>(std::move(report));
    const RunReport& run = *data.run;
    data.fileItems = ItemRowsOfRun(run);
    // The items' fit is read once; an examinee's when its cells are shown.
    const std::vector<ItemFitValues> fit = ReadItemFit(run);
    data.itemTable = BuildItemTable(data.fileItems.items, run, fit);
    data.personTable = BuildPersonTable(data.run);
    if (run.summedScores) data.scoreTable = BuildScoreTable(*run.summedScores);
    data.pairTable = BuildLocalDependenceTable(run);
    data.comparisonTable = BuildComparisonTable(run);

    data.items = ItemsFromReport(run, fit);
    data.thetas.reserve(run.personRows.size());
    for (const PersonReport& person : run.personRows) data.thetas.push_back(person.theta);
    return data;
}

std::string ModelCaption(std::string_view model) {
    if (model == "3pl-c-given") return "3PL, c given";
    if (model == "rasch") return "Rasch";
    std::string caption(model);
    for (char& ch : caption) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return caption;
}

std::string PlotsListEntry(const PlottedItem& item) {
    std::string entry = std::to_string(item.seqItem);
    if (!item.model.empty()) {
        // An item of a polytomous model has its categories, even two.
        const bool scored = item.categories > 2 || PolytomousModelNamed(item.model).has_value();
        entry = "Item " + entry + " (" + ModelCaption(item.model) +
                (scored ? ", " + std::to_string(item.categories) + " categories" : "") + ")";
    }
    if (!item.accNo.empty()) entry += "  " + item.accNo;
    return entry;
}

std::string PlotsListTitle(const ResultsData& data) {
    const bool ownModels = std::any_of(data.items.begin(), data.items.end(),
                                       [](const PlottedItem& item) { return !item.model.empty(); });
    if (ownModels || data.Report().model.empty()) return "Items";
    return "Items (" + ModelCaption(data.Report().model) + ")";
}

std::string ScoreTablePopulation(const ResultsData& data) {
    if (!data.Report().summedScores) return {};
    const SummedScoreReport& scores = *data.Report().summedScores;
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
    const RunReport& report = data.Report();
    // The input check's findings come first: a mistake in the inputs is
    // read before the results are.
    const std::size_t leading = std::min(report.leadingWarnings, report.warnings.size());
    std::vector<std::string> sentences(report.warnings.begin(),
                                       report.warnings.begin() + static_cast<long>(leading));
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
    sentences.push_back("The result file holds " +
                        Plural(data.fileItems.items.rows.size(), "item row", "item rows") +
                        " and " +
                        Plural(data.personTable.RowCount(), "examinee row", "examinee rows") + ".");
    const bool marginal = report.method == "mml";
    const bool polytomous = PolytomousItems(report) > 0;
    // Scoring only holds every item: nothing was estimated, no prior acted.
    if (marginal && report::EveryItemHeld(report)) {
        sentences.push_back("Every item was held at the item file's values (" +
                            ModelsOfTheItems(report) + "); the marginal log-likelihood is " +
                            Number(report.logLikelihood, "%.3f") + ".");
    } else if (marginal) {
        std::string priors;
        for (const std::string& prior : report.priors)
            priors += (priors.empty() ? "" : "; ") + prior;
        sentences.push_back("The items were estimated by marginal maximum likelihood (" +
                            ModelsOfTheItems(report) + "); the marginal log-likelihood is " +
                            Number(report.logLikelihood, "%.3f") +
                            ". Priors: " + (priors.empty() ? std::string("none") : priors) + ".");
    }
    if (marginal && report.population.estimated) {
        const PopulationEstimate& p = report.population;
        sentences.push_back("The ability distribution was estimated: mean " +
                            Number(p.mean, "%.3f") + " (standard error " +
                            Number(p.seMean, "%.3f") + "), SD " + Number(p.sd, "%.3f") +
                            " (standard error " + Number(p.seSd, "%.3f") + ").");
    }
    // A run without items or examinees settles at once, and a run that only
    // scored ran cycles that estimated nothing; neither says anything.
    if (report.end != RunEnd::NothingToEstimate && !report::OnlyScored(report)) {
        if (const std::string loop = LoopSentence(report.loop, marginal); !loop.empty()) {
            sentences.push_back(loop);
        }
    }
    if (haveStatistics) {
        // Beside items scored 0..m, KR-20 is the right/wrong items' alone.
        const std::string kr20 = report.kr20Items < 0
                                     ? "Cronbach's alpha (KR-20)"
                                     : "Cronbach's alpha (KR-20) of the " +
                                           Plural(static_cast<std::size_t>(report.kr20Items),
                                                  "right/wrong item", "right/wrong items");
        if (report.kr20Items != 0) {
            sentences.push_back(std::isnan(report.alpha)
                                    ? kr20 + " is undefined for these responses."
                                    : kr20 + " is " + Number(report.alpha, "%.3f") + ".");
        }
        sentences.push_back(std::isnan(report.empiricalReliability)
                                ? "The empirical reliability of theta is undefined for this run."
                                : "The empirical reliability of theta is " +
                                      Number(report.empiricalReliability, "%.3f") + " over the " +
                                      Plural(report.empiricalExaminees, "examinee", "examinees") +
                                      " with an estimate.");
        if (report.rawScoreOrderInversions > 0) {
            sentences.push_back(Plural(static_cast<std::size_t>(report.rawScoreOrderInversions),
                                       "pair of raw-score groups is",
                                       "pairs of raw-score groups are") +
                                " out of order in theta.");
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
            "With items scored in more than two categories every fit statistic (S-X2, infit "
            "and outfit, the examinees' lz, Q3, -2LL, AIC and BIC) takes each item by its own "
            "model; the Plots show each item's category curves and its expected score against "
            "the observed mean scores.");
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
    sentences.insert(sentences.end(), report.warnings.begin() + static_cast<long>(leading),
                     report.warnings.end());
    return sentences;
}

}  // namespace tarvo::results
