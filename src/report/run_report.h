#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "core/loop_limits.h"

namespace tarvo {

// What a run did, gathered beside the result file: how it ended, how the
// joint loop went, classical statistics and flags for every item and
// examinee, and warnings in plain sentences. Computed from the run's tables
// after the run (the pass history by the joint loop as it goes); the result
// file never depends on it.

enum class RunEnd { Finished, Stopped, EndedAtCheck, OutputIncomplete };

// How the joint loop ended.
enum class LoopEnd {
    NotRun,     // not a joint run, or it ended before its first pass
    Settled,    // MSError changed by less than the tolerance from the fifth pass on
    PassLimit,  // used every pass without settling
    Stopped,    // the user stopped it
};

struct LoopRecord {
    LoopEnd end = LoopEnd::NotRun;
    int passes = 0;                        // passes begun, as the progress texts count them
    std::vector<double> msError;           // MSError after each pass, pass 1 first
    double lastChange = 0;                 // |MSError change| between the last two passes
    double tolerance = kMSErrorTolerance;  // the settle rule's tolerance
    int passLimit = kMostJointPasses;      // the most passes a run makes
};

// Flags of one item; each names a reason to distrust or not use an estimate.
enum ItemFlag : std::uint32_t {
    kItemAAtBound = 1u << 0,         // a = 0 or a = 2
    kItemBAtBound = 1u << 1,         // b = -5 or +5
    kItemCAtBound = 1u << 2,         // c at its lower bound or 0.999
    kItemSeAtCap = 1u << 3,          // a standard error at the cap of 99
    kItemNotEstimated = 1u << 4,     // standard errors -1
    kItemAllCorrect = 1u << 5,       // every valid response correct
    kItemAllWrong = 1u << 6,         // every valid response wrong
    kItemTooFewResponses = 1u << 7,  // fewer than 10 valid responses
};

struct ItemReport {
    int seqItem = 0;  // 1-based, as in the result file
    std::string accNo;
    double a = 0, b = 0, c = 0;  // the estimates (or given values) the run ended with
    double seea = 0, seeb = 0, seec = 0;
    int nobs = 0;             // valid responses
    int omitted = 0;          // code 9 responses
    double pValue = 0;        // proportion correct among valid responses (NaN: none)
    double itemRest = 0;      // corrected point-biserial (NaN: undefined)
    std::uint32_t flags = 0;  // ItemFlag bits
    // Observed proportion correct in 10 ability groups of equal size (by the
    // run's thetas), for the fit plot: mean theta, proportion, valid count.
    std::vector<double> groupTheta, groupProportion;
    std::vector<int> groupCount;
};

enum PersonFlag : std::uint32_t {
    kPersonAllCorrect = 1u << 0,
    kPersonAllWrong = 1u << 1,
    kPersonNoValid = 1u << 2,
    kPersonThetaAtBound = 1u << 3,  // theta at +-3, or beyond after standardisation
};

struct PersonReport {
    std::string examinId;
    double theta = 0, seetheta = 0;  // as the run ended (given theta in items-only modes)
    int rawScore = 0;                // number correct
    int nvalid = 0;
    std::uint32_t flags = 0;  // PersonFlag bits
};

struct RunReport {
    // The run.
    int mode = 0;
    std::string path;            // "theta-only", "items-only" or "joint"
    std::string method = "jml";  // estimator: "jml" (classic) or "mml"
    std::string model;           // "3pl", "3pl-c-given", "2pl", "1pl", "rasch"
    std::string resultFile;
    RunEnd end = RunEnd::Finished;
    std::size_t examinees = 0, items = 0;
    std::size_t missingResponses = 0;
    double missingShare = 0;
    std::string arithmetic;  // "fast" or "reference"
    unsigned threads = 0;
    double wallSeconds = 0;
    bool standardized = false;  // the user answered Yes to standardising theta
    // Joint runs that standardise: the standard deviation of the abilities
    // inside +-3 that the last standardisation divided by (NaN otherwise).
    double thetaSpread = std::numeric_limits<double>::quiet_NaN();

    LoopRecord loop;                  // the joint loop (classic) or the EM cycles (mml)
    double logLikelihood = 0;         // marginal log-likelihood (mml only)
    std::vector<std::string> priors;  // every prior used, named (mml only)

    std::vector<ItemReport> itemRows;
    std::vector<PersonReport> personRows;

    // The whole.
    double alpha = 0;                 // Cronbach's alpha (KR-20), NaN when undefined
    double empiricalReliability = 0;  // NaN when undefined
    int rawScoreOrderInversions =
        -1;  // 1PL modes: pairs of raw-score groups out of order; -1 otherwise

    std::vector<std::string> warnings;  // each one sentence: cause and what to do
};

}  // namespace tarvo
