#pragma once

// Everything a run is asked to do, as typed values: built once by the
// request parser from the texts of either front end (the dialog's controls
// or the runner's options), checked there, and read by every part of the
// run. Nothing in a run reads a control or an option again.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/marginal_settings.h"
#include "core/response_matrix.h"
#include "core/run_tables.h"
#include "core/score_population.h"

namespace tarvo {

enum class Method {
    Classic,   // joint maximum likelihood in the chosen mode ("jml")
    Marginal,  // marginal maximum likelihood, Bock-Aitkin EM ("mml")
};

// How the response file is laid out beyond its fixed columns, by name and
// text; empty for the fixed-column layout. Kept, written to the job file
// and read back as it stands, so that other readers can add their entries.
struct InputFormat {
    std::vector<std::pair<std::string, std::string>> entries;
};

// The examinees' group field and which groups a run compares: a fixed-column
// field (start and length, both 0 for none) or a delimited file's column (by
// name or 1-based number; empty for none). Empty reference: the first group in
// the file; empty focal list: every other group.
struct GroupSettings {
    std::uint16_t start = 0;
    std::uint16_t length = 0;
    std::string column;
    std::string reference;
    std::vector<std::string> focal;

    bool present() const { return length > 0 || !column.empty(); }
};

// The DIF screens a finished run forms from its examinees' scored responses,
// each focal group against the reference group; none asked: no screen.
struct DifRequest {
    bool mantelHaenszel = false;
    bool standardization = false;
    bool logistic = false;
    // The likelihood-ratio test of the groups calibrated together with each
    // item's parameters free across the groups against all items equal.
    bool irt = false;
    // Match on the rest score (the other items) instead of the total score.
    bool restScore = false;
    // The IRT screen's anchors, item names or 1-based numbers as given:
    // held equal across the groups in both compared models, every other
    // item free in both but the one studied. Empty: every other item.
    std::vector<std::string> anchors;

    // The screens formed from the scored responses alone.
    bool anyCounted() const { return mantelHaenszel || standardization || logistic; }
    bool any() const { return anyCounted() || irt; }
};

// Items whose parameters a calibration of several groups estimates in each
// group on its own, the others held equal across the groups (the anchors).
struct FreeItems {
    // Item names or 1-based numbers as given, resolved once the items are read.
    std::vector<std::string> items;
    // Free the items the DIF screens flag (the counted screens, or
    // Mantel-Haenszel when none is asked).
    bool byDif = false;

    bool any() const { return !items.empty() || byDif; }
};

struct RunRequest {
    int mode = 2;  // 1..8
    // The files and the fixed columns, by the dialog's text rules: the item
    // parameter file name trimmed of spaces, the response file name exactly
    // as typed, every number box by the number box rule.
    RunSettings settings;
    GroupSettings groups;  // the group field; not part of the dialog's boxes
    DifRequest dif;
    FreeItems freeItems;  // only with groups calibrated together
    // The same boxes' texts as they were given, by control identifier: the
    // input check quotes a text that the rules read as something else.
    std::map<int, std::string> boxTexts;
    std::string outputFile;  // exactly as typed
    Method method = Method::Classic;
    MarginalSettings marginal;  // read only by the marginal estimator
    // The file of every item's model (marginal.polytomous is then PerItem);
    // exactly as typed.
    std::string itemModelsFile;
    // The marginal models fitted besides the run's own on the same data for
    // the report's model comparison, fewest parameters first, each nested
    // in the next; empty: none. The result file is the run's model's only.
    std::vector<MarginalModel> compareModels;
    // The same for a polytomous run (one model for every item): its models
    // fitted on the same items, the partial credit ones fewest parameters
    // first (RSM, PCM, GPCM, each nested in the next), the GRM last.
    std::vector<PolytomousModel> comparePolytomous;
    // The answer to the standardise question of the joint modes; nothing:
    // the run asks the user when it gets there.
    std::optional<bool> standardize;
    unsigned threads = 0;    // worker threads; 0: one per core
    std::string reportFile;  // the runner's JSON report; empty: none
    // The runner's HTML report (one printable page of the whole run) and how
    // many examinees it lists before it summarises them; empty: none.
    std::string htmlReportFile;
    std::size_t htmlExaminees = 2000;
    // A serious finding of the input check ends the run at the check; else
    // the front end is asked whether to run anyway (the runner runs on).
    bool strict = false;
    // The summed-score table (CSV) of the run's final items, beside the
    // result file; empty: none. The classic estimator forms it for
    // scorePopulation, the marginal one for its quadrature and population.
    std::string scoreTableFile;
    ScorePopulation scorePopulation;
    InputFormat format;
    // Responses in memory, read in place of the response file (whose name
    // then only labels them in messages); the caller keeps them alive for
    // the run. Null: the response file is read.
    const ResponseMatrix* responses = nullptr;
    // Items given by value, read in place of the item parameter file; the
    // caller keeps them alive for the run. Null: the file is read.
    const ItemValues* givenItems = nullptr;
};

// Whether a marginal run fits other models besides its own for a comparison.
inline bool ComparesModels(const RunRequest& request) {
    return request.method == Method::Marginal &&
           (!request.compareModels.empty() || !request.comparePolytomous.empty());
}

}  // namespace tarvo
