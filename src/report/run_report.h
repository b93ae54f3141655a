#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/estimation_outcome.h"
#include "core/score_population.h"
#include "linking/tables/score_table.h"
#include "linking/tables/test_curves.h"
#include "report/option_analysis.h"

namespace tarvo {

// What a run did, gathered beside the result file: what was asked, how it
// ended, how the estimator's loop went, classical statistics and flags for
// every item and examinee, and warnings in plain sentences. Built once,
// after the run, by the report builder from the request, the run's tables
// and the estimator's outcome; the result file never depends on it.

// A part of the report that another layer computes (fit statistics, the
// input check's findings): its JSON value as text, under its own key, and
// the lines it adds to the summary and to the warnings. The builder takes
// any number of them; nothing else writes the report.
struct ReportSection {
    std::string key;                    // the JSON key, beside "items" and "examinees"
    std::string json;                   // one JSON value (an object or an array)
    std::vector<std::string> summary;   // lines for the summary, without line ends
    std::vector<std::string> warnings;  // sentences, after the run's own warnings
    // Its warnings come before every other, and the summaries show them
    // before the line on how the run ended (the input check's: a mistake in
    // the inputs is read before the results are).
    bool leads = false;
    // What the section adds to each item's and each examinee's row, by row
    // index: members of the row's JSON object as text ("\"fit\":{...}"), and
    // flag bits (ItemFlag, PersonFlag). Empty, or shorter than the rows: the
    // rows beyond get nothing.
    std::vector<std::string> itemMembers, personMembers;
    std::vector<std::uint32_t> itemFlags, personFlags;
};

// How the flags judge the estimates: per parameter (and theta) whether the
// estimator moved it and the range it kept it in (an estimate within slack
// of an end, or beyond it, is on a bound), and the fewest valid responses
// the estimator needs for an item.
struct JudgedParameter {
    bool estimated = false;
    double lowest = 0, highest = 0;
    double slack = 0;
};
struct EstimateJudgement {
    JudgedParameter a, b, c, theta;
    int fewestResponses = 0;
    // Whether a parameter on a bound has no standard error for that reason
    // (the marginal estimator forms none there), or -1 always means that
    // the parameter was not estimated (the classic loops, whose reset
    // values may lie on a bound).
    bool boundsExplainMissingErrors = false;
    // Slopes free of sign (the right/wrong marginal items): below
    // smallestLocatingSlope in size b is no location, and at slopeReach the
    // search stopped a slope still rising. 0: not judged.
    double smallestLocatingSlope = 0;
    double slopeReach = 0;
};

// Flags of one item; each names a reason to distrust or not use an estimate.
enum ItemFlag : std::uint32_t {
    kItemAAtBound = 1u << 0,                // a on a bound of the estimator's range
    kItemBAtBound = 1u << 1,                // b on a bound
    kItemCAtBound = 1u << 2,                // c on a bound
    kItemSeAtCap = 1u << 3,                 // a standard error at the cap of 99
    kItemNotEstimated = 1u << 4,            // an estimated parameter without a standard error
    kItemAllCorrect = 1u << 5,              // every valid response correct
    kItemAllWrong = 1u << 6,                // every valid response wrong
    kItemTooFewResponses = 1u << 7,         // fewer valid responses than the estimator needs
    kItemNegativeDiscrimination = 1u << 8,  // item-rest correlation or estimated slope below 0
    kItemMisfit = 1u << 9,                  // the fit statistics reject the model's curve
    kItemLocalDependence = 1u << 10,        // in a pair of items with a large residual correlation
    kItemNotDiscriminating = 1u << 11,      // |a| too small for b = -d / a to be a location
    kItemNoMaximum = 1u << 12,              // the slope grew to the search's reach: no maximum
};

struct ItemReport {
    int seqItem = 0;  // 1-based, as in the result file
    std::string accNo;
    std::string name;            // a delimited file's header name of the item; empty otherwise
    double a = 0, b = 0, c = 0;  // the estimates (or given values) the run ended with
    double seea = 0, seeb = 0, seec = 0;
    // The upper asymptote of an item that has one (4PL) and its error; NaN
    // for every other item.
    double u = std::numeric_limits<double>::quiet_NaN();
    double seeu = std::numeric_limits<double>::quiet_NaN();
    int nobs = 0;         // valid responses
    int omitted = 0;      // code 9 responses
    double pValue = 0;    // proportion correct among valid responses (NaN: none)
    double itemRest = 0;  // corrected point-biserial (NaN: undefined)
    bool held = false;    // held at the item parameter file's values
    int categories = 2;   // more than two: scored 0..m, judged by polytomousJudgement
    // A polytomous run: the item's own model ("grm", "3pl", ...) and its
    // thresholds b1..bm (b alone for a right/wrong item); empty otherwise.
    std::string model;
    std::vector<double> thresholds;
    // A nominal item: each option's slope and intercept (option 1's, the
    // reference, 0 and 0) and its keyed option, 0-based (-1: none).
    std::vector<double> optionSlopes, optionIntercepts;
    int keyedOption = -1;
    double meanScore = std::numeric_limits<double>::quiet_NaN();  // an item scored 0..m
    std::uint32_t flags = 0;                                      // ItemFlag bits
    // Observed proportion correct in 10 ability groups of equal size (by the
    // run's thetas), for the fit plot: mean theta, proportion, valid count.
    std::vector<double> groupTheta, groupProportion;
    std::vector<int> groupCount;
    // An item scored 0..m: its mean score in the same groups, in place of
    // the proportion correct.
    std::vector<double> groupMeanScore;
};

enum PersonFlag : std::uint32_t {
    kPersonAllCorrect = 1u << 0,
    kPersonAllWrong = 1u << 1,
    kPersonNoValid = 1u << 2,
    kPersonThetaAtBound =
        1u << 3,              // theta on a bound of its range, or beyond after standardisation
    kPersonMisfit = 1u << 4,  // lz below -1.96: the responses do not follow the model
};

struct PersonReport {
    std::string examinId;
    double theta = 0, seetheta = 0;  // as the run ended (given theta in items-only modes)
    int rawScore = 0;                // number correct; with items scored 0..m the summed score
    int nvalid = 0;
    int maxScore = -1;        // the most rawScore could be over the items answered; -1: nvalid
    std::uint32_t flags = 0;  // PersonFlag bits
};

// The summed-score table of the run's final items and their test curves,
// with the population the table was formed for.
struct SummedScoreReport {
    ScorePopulation population;
    bool overQuadrature = false;       // the marginal estimator's quadrature
    bool populationEstimated = false;  // moved to the population the run estimated
    std::vector<linking::ScoreRow> rows;
    linking::TestCurves curves;
};

struct RunReport {
    // What was asked: the program, the request as a job file (the options
    // that would run it again) and the input files as the run used them.
    std::string program;
    std::string job;
    std::string responseFile;
    std::string itemFile;  // empty: none was read
    // A classic mode that takes its items from the item parameter file ran
    // without one (missing, unreadable or not named): every estimate uses
    // a = b = c = 0.
    bool itemParametersMissing = false;

    // The run.
    int mode = 0;
    std::string path;            // "theta-only", "items-only" or "joint"
    std::string method = "jml";  // estimator: "jml" (classic) or "mml"
    std::string model;  // "3pl", "3pl-c-given", "2pl", "1pl", "rasch"; "grm", "gpcm", "pcm"
    // A polytomous run with right/wrong items: their model ("3pl", ...).
    std::string binaryModel;
    std::string resultFile;
    RunEnd end = RunEnd::Finished;
    std::string error;     // the message that ended the run, or why nothing was estimated
    std::string stopLine;  // a stopped run: what the result holds
    std::vector<std::string> messages;  // every message the run showed, in order
    std::size_t examinees = 0, items = 0;
    std::size_t missingResponses = 0;
    double missingShare = 0;
    std::string arithmetic;  // "fast" or "reference"; empty: the run chose none
    unsigned threads = 0;
    double wallSeconds = 0;     // the run's time, without the standardise question's wait
    bool standardized = false;  // the user answered Yes to standardising theta
    // Joint runs that standardise: the standard deviation of the abilities
    // inside +-3 that the last standardisation divided by (NaN otherwise).
    double thetaSpread = std::numeric_limits<double>::quiet_NaN();

    LoopRecord loop;  // the joint loop (classic) or the EM cycles (mml)
    // The marginal estimator's: the marginal log-likelihood, every prior
    // that acted, named, and the estimated population.
    double logLikelihood = std::numeric_limits<double>::quiet_NaN();
    std::vector<std::string> priors;
    PopulationEstimate population;
    // How the items' standard errors were formed (a shortcut is said in the
    // warnings and the JSON's mml.standard_errors).
    ErrorForm errorForm = ErrorForm::Whole;
    EstimateJudgement judgement;  // what the flags were judged by
    // A polytomous run: what its items scored 0..m were judged by (judgement
    // judges its right/wrong items).
    std::optional<EstimateJudgement> polytomousJudgement;
    // A run whose item-models file gives right/wrong items a model other
    // than the run's: what those items were judged by, by the model's name
    // (an item's `model`).
    std::vector<std::pair<std::string, EstimateJudgement>> itemModelJudgements;

    std::vector<ItemReport> itemRows;
    std::vector<PersonReport> personRows;

    // The whole.
    double alpha = std::numeric_limits<double>::quiet_NaN();  // Cronbach's alpha (KR-20)
    // The right/wrong items KR-20 was formed over when some items are scored
    // 0..m (-1: every item is right/wrong).
    int kr20Items = -1;
    // Over every examinee with an estimate: a valid response and a finite
    // theta with its error; all right or all wrong counts where the scores
    // are the posterior's (EAP, MAP), which are finite there.
    double empiricalReliability = std::numeric_limits<double>::quiet_NaN();
    std::size_t empiricalExaminees = 0;  // the examinees it was formed over
    // The marginal estimator's EAP or MAP scores: every examinee with a
    // valid response has a finite estimate.
    bool posteriorScores = false;
    int rawScoreOrderInversions =
        -1;  // 1PL modes: pairs of raw-score groups out of order; -1 otherwise

    std::vector<std::string> warnings;  // each one sentence: cause and what to do
    // The first warnings that come from a section that leads (the input
    // check's), which the summaries show before the line on how the run ended.
    std::size_t leadingWarnings = 0;
    std::vector<ReportSection> sections;

    // Formed when the run finished and its score table was asked for.
    std::optional<SummedScoreReport> summedScores;
    // The option analysis of a keyed test (and of the items scored 0..m),
    // as plain data; the JSON's `options` section is made from it.
    std::optional<report::OptionAnalysis> options;
    // The files beside the result that could not be written, one message
    // each: the result is whole, but the run did not do all it was asked.
    std::vector<std::string> unwrittenFiles;
};

}  // namespace tarvo
