#pragma once

#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/modes.h"
#include "output/result_file_rows.h"
#include "report/run_report.h"
#include "shell/results/irt_curves.h"
#include "shell/results/result_table.h"

// Everything the results window shows of one run, gathered once from the
// run report (the run's own tables, never the file it wrote): the tables,
// the items and abilities the plots use, which plots have data, and the
// summary in sentences.
namespace tarvo::results {

using ModeFamily = RunPath;  // the path of the mode (core/modes.h)
ModeFamily FamilyOfMode(int mode);

struct PlottedItem {
    int seqItem = 0;
    std::string accNo;
    ItemParameters parameters;
    std::vector<AbilityGroup> groups;  // observed proportions; empty when unknown
    // The item's S-X2 and its p, and the groups' standardised residuals
    // (observed minus expected over its standard error); NaN and empty
    // when the run has no fit.
    double sx2 = std::numeric_limits<double>::quiet_NaN();
    double p = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> groupResiduals;
    // A polytomous run: the item's own model ("grm", "3pl", ...). An item
    // scored 0..m has its curves' kind, slope and thresholds in `scored`
    // and its groups' mean scores; a right/wrong item leaves both empty.
    std::string model;
    int categories = 2;
    CategoryItem scored;
    std::vector<ScoreGroup> scoreGroups;

    bool Polytomous() const { return !scored.b.empty() || scored.nominal; }
};

struct ResultsData {
    // The run's report, shared with the examinee table, whose cells are
    // formed from it when shown.
    std::shared_ptr<const RunReport> run = std::make_shared<const RunReport>();
    // The result file's item rows as it prints them, formed from the report;
    // its examinee rows are the examinee table's.
    ResultFileRows fileItems;
    ResultTable itemTable;
    ResultTable personTable;
    ResultTable scoreTable;       // the run's summed-score table; empty when none was formed
    ResultTable pairTable;        // Yen's Q3 pairs, largest first; empty without the fit
    ResultTable comparisonTable;  // the model comparison; empty when none was asked for
    // The items the run estimated or was given, and the abilities it
    // estimated or was given; the report's values where it has them.
    std::vector<PlottedItem> items;
    std::vector<double> thetas;

    const RunReport& Report() const { return *run; }
    ModeFamily Family() const { return FamilyOfMode(Report().mode); }
    bool HasCharacteristicCurves() const { return !items.empty(); }
    bool HasInformation() const { return !items.empty(); }
    // Items scored 0..m: the expected score against the groups' mean scores.
    bool HasExpectedScores() const {
        for (const PlottedItem& item : items) {
            if (item.Polytomous()) return true;
        }
        return false;
    }
    // Estimated abilities only: the given ones of an items-only run are input.
    bool HasHistogram() const { return !thetas.empty() && Family() != ModeFamily::ItemsOnly; }
    // The joint loop's passes, or the marginal estimator's EM cycles.
    bool HasConvergence() const {
        const LoopRecord& loop = Report().loop;
        if (loop.step == LoopStep::EmCycle) return !loop.logLikelihood.empty();
        return Family() == ModeFamily::Joint && !loop.msError.empty();
    }
    bool HasItemsTab() const { return itemTable.RowCount() > 0; }
    bool HasExamineesTab() const { return personTable.RowCount() > 0; }
    bool HasScoreTable() const { return Report().summedScores.has_value(); }
    bool HasLocalDependence() const { return pairTable.RowCount() > 0; }
    bool HasModelComparison() const { return comparisonTable.RowCount() > 0; }
};

// The rows the run's result file holds, each field as the file prints it
// (the same rows ParseResultFile reads back from the file's text); the
// first without the examinee rows.
ResultFileRows ItemRowsOfRun(const RunReport& report);
ResultFileRows RowsOfRun(const RunReport& report);

ResultsData CollectResultsData(RunReport report);

// A model by its usual name: "3PL", "3PL, c given", "Rasch", "GRM".
std::string ModelCaption(std::string_view model);

// An item's entry in the Plots list. A polytomous run's names the item's
// own model ("Item 12 (GRM, 4 categories)", "Item 3 (3PL)"); in a run of
// right/wrong items, which share the run's model, the sequence number (and
// the AccNo after it).
std::string PlotsListEntry(const PlottedItem& item);
// The Plots list's title: "Items", naming the run's one model when its
// entries do not ("Items (3PL)").
std::string PlotsListTitle(const ResultsData& data);

// What the score table is formed for, as a sentence ("N(0, 1) over 61
// points"); empty when there is no table.
std::string ScoreTablePopulation(const ResultsData& data);

// How the run ended, its counts, reliabilities and warnings, one sentence each.
std::vector<std::string> SummarySentences(const ResultsData& data);

}  // namespace tarvo::results
