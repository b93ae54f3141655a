#pragma once

// How a run and its estimation ended, in the shapes every estimator fills
// and every reader (the run, the report, the front ends) takes: the run's
// ending, the loop record with its trace, and the estimator's outcome.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "core/loop_limits.h"

namespace tarvo {

// How a run ended.
enum class RunEnd {
    Finished,           // the result file is complete and the viewer was started
    Stopped,            // the user stopped it; what was computed is written
    EndedAtCheck,       // a check ended it before anything was estimated
    OutputIncomplete,   // a write failed or the estimation failed: the result is not whole
    NothingToEstimate,  // the result is written as the rules give it, but the run had no
                        // item or no examinee to estimate
};

// How the estimator's loop ended.
enum class LoopEnd {
    NotRun,     // no loop (the theta-only and items-only paths), or none begun
    Settled,    // the stop rule was met
    PassLimit,  // every pass or cycle was used without settling
    Stopped,    // the user stopped it
};

// What one step of a loop is.
enum class LoopStep {
    JointPass,  // the classic joint loop: an ability pass and an item pass
    EmCycle,    // the marginal estimator: one E-step and one M-step
};

// The loop's history: its ending, its steps and what changed in each.
struct LoopRecord {
    LoopStep step = LoopStep::JointPass;
    LoopEnd end = LoopEnd::NotRun;
    int passes = 0;     // steps begun, as the progress texts count them
    int completed = 0;  // steps whose results are in the tables
    // Joint passes: MSError after each pass, pass 1 first.
    std::vector<double> msError;
    // EM cycles: the marginal log-likelihood at the start of each cycle and
    // the largest parameter change the cycle made.
    std::vector<double> logLikelihood;
    std::vector<double> largestChange;
    double lastChange = 0;                 // the last step's change, as the stop rule reads it
    double tolerance = kMSErrorTolerance;  // the stop rule's tolerance
    int passLimit = kMostJointPasses;      // the most steps a run makes
};

// The ability distribution of a marginal run whose population was
// estimated: its mean and SD with their standard errors.
struct PopulationEstimate {
    bool estimated = false;
    double mean = 0, sd = 1;
    double seMean = std::numeric_limits<double>::quiet_NaN();
    double seSd = std::numeric_limits<double>::quiet_NaN();
};

// How the marginal estimators formed the items' standard errors: from the
// inverse of the whole observed information, or by a shortcut that makes
// them smaller than that.
enum class ErrorForm {
    Whole,         // the inverse of the whole information, cross-item terms included
    ItemBlocks,    // each item's own block inverted: the cross-item terms left out
    OwnCurvature,  // the information was not positive definite: each parameter's own
                   // curvature
    CrossProduct,  // the cross-products of the examinees' gradients, as asked: an
                   // approximation of the information
    NotFormed,     // none were asked for: every error is -1
};

// One group of a run that calibrates several groups together: its label,
// how many examinees it has, and its ability distribution (the reference
// group's held at N(0, 1), the others' estimated with their errors).
struct GroupEstimate {
    std::string label;
    std::size_t examinees = 0;
    bool reference = false;
    PopulationEstimate population;
};

// How the focal groups' standard errors were formed.
enum class GroupErrorSource {
    WithItems,    // the inverse of the one observed information of items and groups
    GroupsAlone,  // each group's own block, the items taken as known: smaller
    NotFormed,    // none were asked for, or a stop came first
};

// How the estimation of a run ended, beside the result rows it wrote and
// the run's tables it left as the estimation ended them.
struct EstimationOutcome {
    bool stopped = false;  // the user stopped it
    LoopRecord loop;
    // Joint runs: whether theta was standardised, and the standard deviation
    // the last standardisation divided by (NaN: none).
    bool standardized = false;
    double thetaSpread = std::numeric_limits<double>::quiet_NaN();
    // Theta-only and items-only paths: the rows written, of how many.
    std::size_t rowsWritten = 0;
    std::size_t rowsTotal = 0;
    // Marginal runs: the marginal log-likelihood at the estimates (NaN:
    // none), the items held at the item file's values (one per item), the
    // population, and what a stop left undone.
    double logLikelihood = std::numeric_limits<double>::quiet_NaN();
    std::vector<char> heldItems;
    bool errorsFormed = true;  // false: a stop came before the standard errors
    ErrorForm errorForm = ErrorForm::Whole;
    PopulationEstimate population;
    std::string leftUndone;  // e.g. "the standard errors and the scores were not computed"
    // Polytomous runs, per item: its model's name, its categories and its
    // thresholds b1..bm (one for a right/wrong item); empty for other runs.
    std::vector<std::string> itemModels;
    std::vector<int> categories;
    std::vector<std::vector<double>> thresholds;
    std::vector<std::vector<double>> thresholdErrors;  // as the result file prints them
    // A run with an item that has an upper asymptote, per item: u (1 for an
    // item without one) and its error (-1 where not estimated); empty for
    // other runs.
    std::vector<double> upper;
    std::vector<double> upperErrors;
    // Nominal runs, per item: the keyed option (-1: none), how many chose
    // each option, and each option's slope and intercept with their errors,
    // the first option's (the reference: 0, 0, errors -1) first; empty for
    // other runs. The item's thresholds are empty, and its responses are
    // left scored by the key (1 the keyed option, 0 another, 9 none).
    std::vector<int> keyedOptions;
    std::vector<std::vector<std::int32_t>> optionCounts;
    std::vector<std::vector<double>> optionSlopes, optionIntercepts;
    std::vector<std::vector<double>> optionSlopeErrors, optionInterceptErrors;
    // Polytomous runs: the item parameters the estimator moved, as its
    // standard errors count them (each estimated item's own, a common slope
    // once, each rating scale's free steps once); the population's are apart.
    int itemParameters = 0;
    // Runs of several groups: each group, the reference first, the
    // examinees left out for want of a group, and how the groups' errors
    // were formed; empty in a run of one group.
    std::vector<GroupEstimate> groups;
    std::size_t examineesWithoutGroup = 0;
    GroupErrorSource groupErrors = GroupErrorSource::NotFormed;
};

}  // namespace tarvo
