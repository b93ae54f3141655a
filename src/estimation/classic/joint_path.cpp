#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "core/loop_limits.h"
#include "core/modes.h"
#include "estimation/classic/classic_paths.h"
#include "estimation/classic/estimators.h"
#include "estimation/classic/response_matrix.h"
#include "estimation/classic/standardize.h"
#include "output/masks.h"
#include "parallel/compute_ahead.h"

namespace tarvo {

namespace {

constexpr std::size_t kExamineesBetweenPolls = 1000;
// 0.2 held in single precision: the starting c where the run estimates c.
constexpr double kStartC = static_cast<double>(0.2f);

void SetStartValues(const ModeRules& rules, ItemTable& items) {
    for (std::size_t i = 0; i < items.itemCount(); ++i) {
        items.b[i] = 0;
        if (rules.onePL) {
            items.a[i] = 1;
            items.c[i] = 0;
        } else {
            items.a[i] = 0.75;
            if (rules.estimatesC) items.c[i] = kStartC;  // a given c is kept
        }
    }
}

std::string PassAnnouncement(int passCounter, double previousMSError, double MSError) {
    std::string text = "Iteration " + std::to_string(passCounter + 1) + " of no more than " +
                       std::to_string(kJointPassesAnnounced) + ".  ";
    if (passCounter > 0) {
        text += "MSError change = " + FormatWithMask(previousMSError - MSError, kMaskChange);
    }
    return text;
}

// Examinees estimated together as one task; a whole number of tasks fills
// the block between two polls.
constexpr std::size_t kExamineesPerTask = 125;
static_assert(kExamineesBetweenPolls % kExamineesPerTask == 0);
constexpr std::size_t kTasksAheadPerThread = 4;

// What the passes of one run reuse, allocated once.
struct JointWork {
    JointWork(std::size_t personCount, std::size_t itemCount, unsigned threads)
        : theta(personCount),
          seetheta(personCount),
          Nvalid(personCount),
          workspaces(kTasksAheadPerThread * threads),
          fits(itemCount),
          order(itemCount),
          seconds(itemCount, 0.0) {
        for (std::size_t i = 0; i < itemCount; ++i) order[i] = i;
    }
    // New abilities before they are taken over into the person table.
    std::vector<double> theta, seetheta;
    std::vector<std::int32_t> Nvalid;
    std::vector<AbilityEstimator::Workspace> workspaces;  // one per task slot
    // The items' fit values, the order in which the threads take the items
    // up, and how long each item took in the pass before.
    std::vector<double> fits;
    std::vector<std::size_t> order;
    std::vector<double> seconds;
};

// Re-estimates every ability from the current items, all threads computing
// ahead. The new abilities are taken over into the table in examinee order,
// and Stop is polled after every 1000th examinee taken over, so when a Stop
// ends the pass exactly the examinees before the check have new abilities
// and those not reached keep the abilities of the pass before. False when
// stopped.
bool AbilityPass(const ItemTable& items, PersonTable& persons, RunHost& host,
                 AbilityEstimator& estimator, JointWork& work, const Engine& engine) {
    estimator.UseItems(items.a, items.b, items.c);
    const std::size_t personCount = persons.personCount();
    const std::size_t tasks = (personCount + kExamineesPerTask - 1) / kExamineesPerTask;
    auto range = [&](std::size_t task) {
        const std::size_t from = task * kExamineesPerTask;
        return std::pair{from, std::min(from + kExamineesPerTask, personCount)};
    };
    bool stopped = false;
    ComputeAheadInOrder(
        engine.pool, tasks, work.workspaces.size(),
        [&](std::size_t task, std::size_t slot) {
            const auto [from, to] = range(task);
            std::copy(persons.theta.begin() + from, persons.theta.begin() + to,
                      work.theta.begin() + from);
            estimator.EstimateMany(to - from, persons.ResponsesOf(from).data(), &work.theta[from],
                                   &work.seetheta[from], &work.Nvalid[from], work.workspaces[slot]);
        },
        [&](std::size_t task) {
            const auto [from, to] = range(task);
            std::copy(work.theta.begin() + from, work.theta.begin() + to,
                      persons.theta.begin() + from);
            std::copy(work.seetheta.begin() + from, work.seetheta.begin() + to,
                      persons.seetheta.begin() + from);
            std::copy(work.Nvalid.begin() + from, work.Nvalid.begin() + to,
                      persons.Nvalid.begin() + from);
            if (to % kExamineesBetweenPolls == 0 && host.ProgressIsCancelled()) {
                stopped = true;
                return false;
            }
            return true;
        });
    return !stopped;
}

// Re-estimates every item from the current abilities, items spread over the
// threads; returns the pass's MSError, the mean of the items' fit values
// taken before each item moves, summed in item order. The threads take the
// items that took longest in the pass before first, so that no long item is
// left for one thread at the end; the order does not touch any result.
double ItemPass(int mode, ItemTable& items, const PersonTable& persons,
                const ItemMajorResponses& responses, const ItemEstimator& estimator,
                JointWork& work, const Engine& engine) {
    const ModeRules& rules = RulesOf(mode);
    const std::size_t itemCount = items.itemCount();
    std::stable_sort(work.order.begin(), work.order.end(), [&](std::size_t x, std::size_t y) {
        return work.seconds[x] > work.seconds[y];
    });
    engine.pool.ForEach(itemCount, [&](std::size_t k) {
        const std::size_t i = work.order[k];
        const auto start = std::chrono::steady_clock::now();
        const auto column = responses.Column(i);
        work.fits[i] =
            estimator.Fit(column, persons.theta, items.a[i], items.b[i], items.c[i], items.Nobs[i]);
        ItemParameters p{items.a[i], items.b[i], items.c[i]};
        if (rules.onePL) {
            p.a = 1;
            p.c = 0;
        }
        ItemStandardErrors se{items.seea[i], items.seeb[i], items.seec[i]};
        estimator.Calibrate(se, column, persons.theta, p, mode);
        items.seea[i] = se.seea;
        items.seeb[i] = se.seeb;
        items.seec[i] = se.seec;
        items.a[i] = p.a;
        items.b[i] = p.b;
        if (rules.estimatesC) items.c[i] = p.c;
        work.seconds[i] =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    });
    // An item with too few valid responses has the fit value kNoFit (-1) and
    // is averaged like the others. Its responses do not change between
    // passes, so it adds the same amount to every pass's MSError and leaves
    // the change between two passes, which the stop rule reads, untouched.
    double MSError = 0;
    for (std::size_t i = 0; i < itemCount; ++i) {
        MSError += work.fits[i] / static_cast<double>(itemCount);
    }
    return MSError;
}

}  // namespace

// Alternates ability passes and item passes until the mean item misfit
// settles (from kFewestJointPasses on), after kMostJointPasses, or at Stop; then
// writes both tables as they stand.
EstimationOutcome RunJoint(int mode, std::optional<bool> standardize, ItemTable& items,
                           PersonTable& persons, RunHost& host, ResultWriter& writer,
                           const Engine& engine) {
    for (std::size_t j = 0; j < persons.personCount(); ++j) {
        persons.theta[j] = 0;
        persons.seetheta[j] = 0;
    }
    // The question is asked only when the request holds no answer.
    const bool standardise =
        standardize ? *standardize : host.AskYesNo("Do you want to standardize theta?", "Tarvo");
    EstimationOutcome outcome;
    outcome.standardized = standardise;
    LoopRecord& loop = outcome.loop;
    loop.tolerance = kMSErrorTolerance;
    loop.passLimit = kMostJointPasses;
    loop.msError.reserve(kMostJointPasses);
    SetStartValues(RulesOf(mode), items);
    host.ProgressInit("Calibrating theta and items ...");
    host.ProgressSet(0, "Starting to iterate.");

    const ItemMajorResponses responses(persons);
    AbilityEstimator abilityEstimator(engine.arithmetic, engine.vectorUnit);
    JointWork work(persons.personCount(), items.itemCount(), engine.pool.Threads());
    const ItemEstimator itemEstimator(engine.arithmetic, engine.vectorUnit);
    int passCounter = 0;
    double MSError = 0;
    double previousMSError = 0;
    int passesDone = 0;  // whole passes in the tables when stopped
    for (;;) {
        passesDone = passCounter;
        host.ProgressSet(passCounter, PassAnnouncement(passCounter, previousMSError, MSError));
        if (passCounter > 0) {
            if (!AbilityPass(items, persons, host, abilityEstimator, work, engine)) {
                loop.end = LoopEnd::Stopped;
                break;
            }
            if (standardise) outcome.thetaSpread = StandardizeTheta(persons.theta);
        }
        previousMSError = MSError;
        if (host.ProgressIsCancelled()) {
            loop.end = LoopEnd::Stopped;
            break;
        }
        MSError = ItemPass(mode, items, persons, responses, itemEstimator, work, engine);
        loop.msError.push_back(MSError);
        loop.lastChange = std::fabs(MSError - previousMSError);
        if (host.ProgressIsCancelled()) {
            passesDone = passCounter + 1;  // this pass's items are in
            loop.end = LoopEnd::Stopped;
            break;
        }
        ++passCounter;
        if (passCounter >= kMostJointPasses) {
            loop.end = LoopEnd::PassLimit;
            break;
        }
        if (passCounter >= kFewestJointPasses && loop.lastChange < kMSErrorTolerance) {
            loop.end = LoopEnd::Settled;
            break;
        }
    }
    // Passes begun, as the announcements count them.
    loop.passes = loop.end == LoopEnd::Stopped ? passCounter + 1 : passCounter;
    loop.completed = loop.end == LoopEnd::Stopped ? passesDone : passCounter;
    outcome.stopped = loop.end == LoopEnd::Stopped;
    host.ProgressShutdown();
    writer.ItemSection(items);
    writer.PersonSection(persons);
    return outcome;
}

}  // namespace tarvo
