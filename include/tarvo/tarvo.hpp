// TARVO as a library: one calibration from values in memory to typed
// tables, the same run the runner makes for the same data and options.
// Errors are values: no call throws, exits or aborts. Separate requests may
// run at the same time on separate threads.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarvo::lib {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The responses: one character per examinee and item, as a delimited
// response file's item cell holds it: '0'/'1' scored against the default
// key, a score '0'..'8' for polytomous items, a letter scored by the key;
// ' ' (or '\0') or '9' missing. Not copied: examinee j's response to item i
// is cells[j * examineeStride + i * itemStride], kept alive and unchanged by
// the caller until Calibrate returns. The run reads them as a comma-separated
// file with a header row ("id", "theta", "group" when given, then the item
// names).
struct Responses {
    std::size_t examinees = 0;
    std::size_t items = 0;
    const char* cells = nullptr;
    std::ptrdiff_t examineeStride = 0;  // 0: items (rows packed one after another)
    std::ptrdiff_t itemStride = 1;
    std::vector<std::string> itemNames;  // one per item, or empty: item1, item2, ...
    std::vector<std::string> ids;        // one per examinee, or empty: no IDs
    std::vector<double> thetas;          // given abilities, one per examinee, or empty
    // Each examinee's group label (an empty text: unknown), or empty: no
    // groups. With groups, the options' reference and focal groups
    // (runnerOptions "reference-group", "focal-groups") name their labels.
    std::vector<std::string> groups;
    std::string key;                     // the answer key as --key takes it; empty: none
    // Per examinee, the item cells its row held when the rows were not all
    // of one length (the cells beyond are missing, ' '); empty: every row
    // whole. The input check counts the short rows as a delimited file's.
    std::vector<std::size_t> rowCells;
    // The name messages give the responses where the runner names its file.
    std::string label = "responses";
};

// A prior: on with its two numbers (mean and SD, or alpha and beta), or off.
struct Prior {
    bool on = true;
    double first = 0, second = 0;
};

// Items given by value in place of an item parameter file: the items a
// marginal run holds (fixItems, scoringOnly) or a classic mode reads.
// Item i's ID and a, b, c; a value that is not a number is refused as the
// runner refuses the file's text "nan".
struct GivenItems {
    std::vector<std::string> ids;  // one per item, or empty
    std::vector<double> a, b, c;
    std::string label = "items";  // the name messages give them
};

// The runner's options as typed values; a value not given takes the
// runner's default. Each is checked by the runner's own rules, so a refusal
// is the runner's message.
struct Options {
    std::optional<int> mode;     // --mode, 1..8 (the classic estimator's)
    std::string method;          // --method: "jml" or "mml"; empty: jml
    std::string model;           // --model: 3pl, 2pl, 1pl, rasch, grm, gpcm, pcm, rsm, ...
    std::string binaryModel;     // --binary-model
    std::string itemModelsFile;  // --item-models
    std::optional<Prior> priorA, priorB, priorC, polyPriorA, polyPriorB;
    std::optional<int> quadrature;      // --quadrature
    std::string scoring;                // --scoring: eap, map, ml
    std::optional<int> emCycles;        // --em-cycles
    std::optional<double> emTolerance;  // --em-tolerance
    std::vector<std::string> compare;   // --compare, by model name
    bool fixItems = false;              // --fix-items (the item file's items held)
    bool scoringOnly = false;           // --scoring-only
    bool estimatePopulation = false;    // --estimate-population
    bool collapseEmpty = false;         // --collapse-empty
    std::optional<bool> standardize;    // --standardize (joint modes; default yes)
    unsigned threads = 0;               // --threads; 0: every core
    bool strict = false;                // --strict
    std::optional<double> populationMean, populationSd, populationRange;
    std::optional<int> populationPoints;
    // Files, only when asked: the result file, the JSON report, the score
    // table's CSV. Empty: none is written.
    std::string outputFile, reportFile, scoreTableFile;
    // Form the score table for the result even without a file.
    bool scoreTable = false;
    // Any other runner option by name and text (--item-file and its
    // columns, ...), applied after the typed ones.
    std::vector<std::pair<std::string, std::string>> runnerOptions;
    // Items given by value (the item parameter file's place); none: the
    // file --item-file names, if any.
    std::optional<GivenItems> givenItems;
};

// How far a run is, for the progress callback: percent 0..100 and the
// runner's progress text. Called on the calling thread.
using ProgressCallback = std::function<void(int percent, const std::string& text)>;

// The caller's own threads (its thread pool) for a run's parallel passes:
// runs task(0) .. task(count - 1), each once, on its threads, and returns
// without waiting for them; the run waits itself, and leaves out a task not
// yet started when the calling thread has done the job. Called on the
// calling thread, once per parallel pass, with the options' threads less
// one. The results are the same bits as with the run's own threads.
using Executor = std::function<void(unsigned count, std::function<void(unsigned)> task)>;

struct Control {
    ProgressCallback progress;                // may be empty
    const std::atomic<bool>* stop = nullptr;  // polled: true stops the run at its next check point
    // Polled with stop, on the calling thread; true stops the run (a
    // binding's interrupt check). May be empty.
    std::function<bool()> stopPoll;
    Executor executor = {};  // empty: the run starts its own threads
};

struct ItemRow {
    int number = 0;     // 1-based, as in the result file
    std::string id;     // the item file's ID; empty without one
    std::string name;   // the item's name
    std::string model;  // a polytomous run: the item's own model
    double a = 0, b = 0, c = 0;
    double seA = 0, seB = 0, seC = 0;  // -1: not estimated (the classic loops)
    std::vector<double> thresholds;    // a polytomous run: b1..bm
    int categories = 2;
    int nobs = 0, omitted = 0;
    double pValue = kNaN, itemRest = kNaN, meanScore = kNaN;
    bool held = false;
    std::uint32_t flags = 0;
    std::vector<std::string> flagNames;  // as the JSON report names them
    // Fit (NaN, df 0 where not formed).
    double sx2 = kNaN;
    int df = 0;
    double p = kNaN, pAdjusted = kNaN;
    double infit = kNaN, outfit = kNaN, infitT = kNaN, outfitT = kNaN;
    std::string fitNote;
};

struct PersonRow {
    std::string id;
    double theta = 0, se = 0;
    int rawScore = 0, nvalid = 0, maxScore = -1;
    std::uint32_t flags = 0;
    std::vector<std::string> flagNames;
    double lz = kNaN, infit = kNaN, outfit = kNaN;
    std::string fitNote;
};

struct ModelFit {
    bool defined = false;
    double minus2LogLikelihood = kNaN;
    int parameters = 0;
    std::size_t examinees = 0;
    double aic = kNaN, bic = kNaN;
    std::string note;
};

struct ComparedModel {
    std::string model;
    bool runModel = false;
    bool defined = false;
    double minus2LogLikelihood = kNaN;
    int parameters = 0;
    double aic = kNaN, bic = kNaN;
    int emCycles = 0;
    std::string emEnd, note;
};

struct ModelTest {
    std::string smaller, larger;
    double chiSquare = kNaN;
    int df = 0;
    double p = kNaN;
    std::string note, caution;
};

struct Q3Pair {
    int first = 0, second = 0;  // 1-based item numbers
    double q3 = 0;
};

struct ScoreRow {
    int score = 0;
    double proportion = 0, eap = 0, eapSd = 0, ml = kNaN;
};

struct Population {
    bool estimated = false;
    double mean = 0, sd = 1, seMean = kNaN, seSd = kNaN;
};

// The estimator's loop: EM cycles (log-likelihood at each cycle's start and
// its largest change) or joint passes (MSError per pass).
struct Trace {
    std::string step;  // "em_cycle" or "joint_pass"
    std::string end;   // "settled", "pass_limit", "stopped", "not_run"
    int passes = 0, completed = 0;
    std::vector<double> logLikelihood, largestChange, msError;
};

struct Finding {
    std::string code, message;
    std::size_t count = 0;
    std::vector<std::string> examples;
    bool serious = false;
};

struct Result {
    // ok: the run finished (its tables are whole). Otherwise error holds the
    // runner's message that ended it, and end says how it ended.
    bool ok = false;
    std::string end;  // "finished", "stopped", "ended_at_check", "output_incomplete",
                      // "nothing_to_estimate", "refused" (an option was refused)
    std::string error;
    std::vector<std::string> messages;  // every message the run showed
    std::vector<std::string> warnings;  // the report's warnings, one sentence each
    std::vector<Finding> findings;      // the input check's
    std::string method, model;
    int mode = 0;
    std::vector<ItemRow> items;
    std::vector<PersonRow> persons;
    ModelFit modelFit;
    double logLikelihood = kNaN;  // the marginal log-likelihood (mml)
    std::vector<std::string> priors;
    Population population;
    Trace trace;
    std::vector<Q3Pair> localDependence;  // flagged pairs, largest first
    double averageQ3 = kNaN;
    std::vector<ComparedModel> comparison;
    std::vector<ModelTest> comparisonTests;
    std::vector<ScoreRow> scoreTable;  // when formed
    double alpha = kNaN, empiricalReliability = kNaN;
    unsigned threads = 0;
    std::string reportJson;  // the whole run report as the runner's --report writes it
    // The report's groups, group_calibration and dif sections alone, as one
    // JSON object ("{}" when the run reported none): a binding reads its
    // group tables from it without parsing the whole report.
    std::string groupSectionsJson = "{}";
};

// One calibration. Never throws: every failure is a Result whose error
// says what went wrong, in the runner's words.
Result Calibrate(const Responses& responses, const Options& options, const Control& control = {});

// ---- Linking two calibrations and a form's score table ----
// The runner's --link and --items: the same reading, methods, tables, files
// and JSON report, over forms that are fits in memory or files.

// One calibrated form of right/wrong items: a fit's items, or a file (an
// item parameter file cut by the columns given as runner options, or a
// result file of this program, whose item section is found by its header).
struct Form {
    // A finished fit, kept alive by the caller until the call returns; its
    // items are read at full precision, each named by its ID, or by its
    // name where it has no ID. Null: the file is read.
    const Result* fit = nullptr;
    std::string file;
    // "3pl", "2pl" or "1pl" (--base-model, --new-model, --model); empty: a
    // file's own (the 3PL unless a result file has no a column), or the
    // fit's (1PL for a 1PL fit or classic mode 6, 2PL for a 2PL or Rasch
    // fit, else the 3PL).
    std::string model;
    // The name messages and the report give a fit; empty: "base fit",
    // "new fit" or "fit".
    std::string label;
};

// The runner's link options as typed values; a value not given takes the
// runner's default, and each is checked by the runner's own rules.
struct LinkOptions {
    std::string method;       // --link-method: mean/mean, mean/sigma, haebara, stocking-lord
    std::string anchorsFile;  // --anchors
    // Common items as pairs of IDs, base then new, in place of an anchors
    // file; empty: the anchors file, or the items of the same ID.
    std::vector<std::pair<std::string, std::string>> anchors;
    std::optional<int> criterionPoints;  // --criterion-points
    std::optional<double> criterionRange, criterionMean, criterionSd;
    bool symmetric = false;          // --symmetric
    std::optional<int> bootstrap;    // --bootstrap N: errors from N resamples
    std::optional<std::uint64_t> seed;  // --seed
    std::optional<double> driftZ;    // --drift-z
    bool dropDrifting = false;       // --drop-drifting
    std::optional<int> populationPoints;  // the score table's population
    std::optional<double> populationMean, populationSd, populationRange;
    // Files, only when asked; empty: none is written.
    std::string reportFile, htmlReportFile, transformedItemsFile, scoreTableFile,
        equatingTableFile;
    std::string abilitiesFrom, transformedAbilitiesFile;  // a result file's abilities carried over
    // Any other runner option of --link by name and text (the item files'
    // columns: "a-start", "22", ...), applied after the typed ones.
    std::vector<std::pair<std::string, std::string>> runnerOptions;
};

struct LinkConstants {
    std::string method;
    bool ok = false;  // false: problem says why the method found none
    double A = kNaN, B = kNaN, seA = kNaN, seB = kNaN;  // NaN: not defined
    std::string problem;
    int bootstrapReplicates = 0;  // with the bootstrap: the resamples the method linked
};

struct DriftRow {
    std::string baseId, newId;
    double bBase = kNaN, bNewOnBase = kNaN, difference = kNaN, z = kNaN;
    double seDifference = kNaN, differenceOverSe = kNaN;
    bool drifting = false;
    std::string flaggedBy;  // where drifting: "both" or "robust_z"
};

// A form's curves over the abilities -4..4: the expected summed score, the
// information and the standard error of theta.
struct TestCurve {
    std::vector<double> theta, expectedScore, information, se;
};

struct EquatingRow {
    int newScore = 0;
    double theta = kNaN;  // on the base scale; NaN where the straight line equates
    double baseScore = 0;
};

struct FormItem {
    std::string id;
    double a = 0, b = 0, c = 0, seA = kNaN, seB = kNaN, seC = kNaN;
};

struct LinkResult {
    bool ok = false;
    std::string error;                  // the runner's message when the link was not made
    std::vector<std::string> messages;  // what the runner prints beside its table
    std::vector<LinkConstants> constants;         // every method, after any relink
    std::vector<LinkConstants> constantsBeforeDrop;  // when drifting items were dropped
    std::string chosenMethod;
    LinkConstants chosen;  // the constants that carry the new form over
    std::size_t commonItems = 0;
    std::string matchedBy;  // "item ID", "position" or "anchor pairs"
    bool driftScreened = false;
    std::string driftNote;
    std::vector<DriftRow> drift;
    std::vector<std::string> dropped;  // new-form IDs left out of the relink
    std::vector<FormItem> transformed;  // the new form on the base scale
    TestCurve baseCurve, newCurve;
    std::vector<EquatingRow> equating;  // empty with equatingError when not formed
    std::string equatingError;
    std::vector<ScoreRow> scoreTable;  // the transformed new form's
    std::string reportJson;            // the runner's --report of the same link
};

// The options of a form's score table (the runner's --items).
struct ScoreTableOptions {
    std::optional<int> populationPoints;
    std::optional<double> populationMean, populationSd, populationRange;
    std::string reportFile, htmlReportFile, scoreTableFile;  // empty: none written
    std::vector<std::pair<std::string, std::string>> runnerOptions;  // columns, ...
};

struct ScoreTableResult {
    bool ok = false;
    std::string error;
    std::vector<std::string> messages;
    std::vector<ScoreRow> rows;
    TestCurve curve;
    std::string reportJson;  // the runner's --items --report
};

// Puts the new form on the base form's scale. Never throws; a stop (the
// control's flag or poll) while a file is read ends it with an error.
LinkResult Link(const Form& base, const Form& fresh, const LinkOptions& options = {},
                const Control& control = {});

// One form's summed-score table for a population, with its curves.
ScoreTableResult ScoreTable(const Form& form, const ScoreTableOptions& options = {},
                            const Control& control = {});

// The library's version, the program's.
std::string Version();

}  // namespace tarvo::lib
