#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/score_population.h"
#include "linking/forms/form_reader.h"
#include "linking/methods/bootstrap.h"
#include "linking/methods/drift.h"
#include "linking/methods/link_methods.h"
#include "linking/tables/score_table.h"
#include "linking/tables/test_curves.h"
#include "linking/tables/true_score_equating.h"

// One link from start to end, as both front ends run it: the two forms
// read, their common items matched, every method's constants with their
// errors, the drift screen and, on request, the link again without the
// drifting items; then, with the chosen method's constants, the new form on
// the base scale, both forms' curves, the true-score equating and the new
// form's score table on the base scale. Writes no file.
namespace tarvo::linking {

// What a link is doing, as its progress names it.
enum class LinkPhase {
    Reading,    // the forms and the anchors
    Methods,    // the methods' constants
    Errors,     // their delta-method errors
    Bootstrap,  // their bootstrap errors
    Drift,      // the drift screen
    Tables,     // the curves, the equating and the score table
};

// "reading the forms", "linking", "errors", "bootstrap", "drift screen",
// "tables".
const char* LinkPhaseName(LinkPhase phase);

// Told the phase and the fraction of the whole link done (0 to 1), which
// never goes back; called on the link's own thread.
using LinkProgress = std::function<void(LinkPhase phase, double fraction)>;

// The population a score table is formed for: a normal distribution over
// points from mean - range sd to mean + range sd.
using PopulationSettings = ScorePopulation;

struct LinkRequest {
    std::string basePath, newPath;
    std::string anchorsPath;              // empty: the common items are matched by ID
    ItemColumns baseColumns, newColumns;  // where a form is an item parameter file
    std::optional<FormModel> baseModel, newModel;
    CriterionSettings criterion;
    int bootstrap = 0;  // 0: delta-method errors
    std::uint64_t seed = 1;
    LinkMethod chosen = LinkMethod::StockingLord;  // whose constants carry the new form over
    double driftThreshold = kDriftThreshold;
    bool dropDrifting = false;
    PopulationSettings population;
    // Asked while a form or the anchors are opened or read (a FIFO without a
    // writer), between the link's steps and inside its long loops (the
    // minimum's iterations, blocks of items, replicates, scores): a stop
    // ends the link there, stopped.
    StopPoll stop;
    LinkProgress progress;  // may be empty
    // Forms and anchor pairs held in memory (a library caller's fits), taken
    // in place of the files; basePath and newPath then only name the forms
    // in messages and the report. A form in memory passes the same range
    // check as one read from a file.
    const ItemForm* baseForm = nullptr;
    const ItemForm* newForm = nullptr;
    std::optional<std::vector<std::pair<std::string, std::string>>> anchorPairs;
};

struct MethodResult {
    LinkMethod method = LinkMethod::MeanMean;
    LinkConstants constants;
    int bootstrapReplicates = 0;  // with the bootstrap: those the method could link
};

// The fewest common items a link is made from.
inline constexpr std::size_t kFewestCommonItems = 2;

struct LinkOutcome {
    std::string error;     // a form or the anchors could not be read or matched
    bool stopped = false;  // a stop ended the link (error says where); nothing after it is whole
    ItemForm base, fresh;
    bool slopeFixed = false;
    bool matchedByPosition = false;      // neither form has item IDs
    AnchorSet anchors;                   // every common item
    std::vector<MethodResult> first;     // from every common item
    DriftScreen drift;                   // with the chosen method's first constants
    std::vector<std::string> dropped;    // new-form IDs left out of the relink
    std::vector<MethodResult> relinked;  // without them, when any were dropped
    ItemForm transformed;                // the new form on the base scale
    TestCurves baseCurves, newCurves;    // over CurveAbilities(), both on the base scale
    Equating equating;
    std::vector<ScoreRow> scoreTable;  // of the transformed new form

    // The constants the outputs use: relinked when items were dropped.
    const std::vector<MethodResult>& Final() const { return dropped.empty() ? first : relinked; }
    const MethodResult* Chosen(LinkMethod method) const;
};

LinkOutcome RunLink(const LinkRequest& request);

// A form as a link or a score table reads it: ReadItemForm, then every
// value the form's model takes by the range check of item values
// (CheckItemFileTexts, CheckFormValues); a value out of range refuses the
// form, naming the file, the item and the value.
FormRead ReadLinkForm(const std::string& path, const ItemColumns& columns,
                      std::optional<FormModel> model, const StopPoll& stop = {});

// A form held in memory, checked as ReadLinkForm checks a file's values;
// the model, when given, sets what it fixes (ApplyModel).
FormRead CheckedForm(const std::string& name, const ItemForm& form, std::optional<FormModel> model);

// Every method's constants from the set, with bootstrap errors when asked.
// progress hears each method's phases and its fraction of this step; a stop
// asked by stop leaves the methods after it without constants (their
// problem kStoppedProblem).
std::vector<MethodResult> LinkEveryMethod(const AnchorSet& set, const LinkSettings& settings,
                                          int bootstrap, std::uint64_t seed,
                                          const LinkProgress& progress = {},
                                          const StopPoll& stop = {});

}  // namespace tarvo::linking
