#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "estimation/driver.h"
#include "estimation/estimators.h"
#include "estimation/response_matrix.h"
#include "estimation/standardize.h"
#include "output/masks.h"

namespace tarvo {

namespace {

constexpr int kMostPasses = 100;
constexpr int kFewestPasses = 5;
constexpr double kMSErrorTolerance = 1e-10;
constexpr std::size_t kExamineesBetweenPolls = 1000;
// 0.2 held in single precision: mode 3's starting c.
constexpr double kStartC = static_cast<double>(0.2f);

void SetStartValues(int mode, ItemTable& items) {
    for (std::size_t i = 0; i < items.itemCount(); ++i) {
        items.b[i] = 0;
        if (mode == 6) {
            items.a[i] = 1;
            items.c[i] = 0;
        } else {
            items.a[i] = 0.75;
            if (mode == 3) items.c[i] = kStartC;  // mode 5 keeps the given c
        }
    }
}

std::string PassAnnouncement(int passCounter, double previousMSError, double MSError) {
    std::string text =
        "Iteration " + std::to_string(passCounter + 1) + " of no more than 100.  ";
    if (passCounter > 0) {
        text += "MSError change = " + FormatWithMask(previousMSError - MSError, kMaskChange);
    }
    return text;
}

// Examinees estimated together as one task within a block between polls.
constexpr std::size_t kExamineesPerTask = 125;

// Re-estimates every ability from the current items, in blocks of 1000
// examinees spread over the threads. False when Stop was requested at one of
// the checks after every 1000th examinee: a block is finished before its
// check, so exactly the examinees before the check have new abilities and
// those not reached keep the abilities of the pass before.
bool AbilityPass(const ItemTable& items, PersonTable& persons, RunHost& host,
                 AbilityEstimator& estimator, std::vector<AbilityEstimator::Workspace>& workspaces,
                 const Engine& engine) {
    estimator.UseItems(items.a, items.b, items.c);
    const std::size_t personCount = persons.personCount();
    for (std::size_t first = 0; first < personCount; first += kExamineesBetweenPolls) {
        const std::size_t end = std::min(first + kExamineesBetweenPolls, personCount);
        const std::size_t tasks = (end - first + kExamineesPerTask - 1) / kExamineesPerTask;
        engine.pool.ForEach(tasks, [&](std::size_t task, unsigned thread) {
            const std::size_t from = first + task * kExamineesPerTask;
            const std::size_t to = std::min(from + kExamineesPerTask, end);
            estimator.EstimateMany(to - from, persons.ResponsesOf(from).data(), &persons.theta[from],
                                   &persons.seetheta[from], &persons.Nvalid[from],
                                   workspaces[thread]);
        });
        if (end % kExamineesBetweenPolls == 0 && host.ProgressIsCancelled()) return false;
    }
    return true;
}

// Re-estimates every item from the current abilities, items spread over the
// threads; returns the pass's MSError, the mean of the items' fit values
// taken before each item moves, summed in item order.
double ItemPass(int mode, ItemTable& items, const PersonTable& persons,
                const ItemMajorResponses& responses, const ItemEstimator& estimator,
                std::vector<double>& fits, const Engine& engine) {
    const std::size_t itemCount = items.itemCount();
    engine.pool.ForEach(itemCount, [&](std::size_t i) {
        const auto column = responses.Column(i);
        fits[i] = estimator.Fit(column, persons.theta, items.a[i], items.b[i], items.c[i],
                                items.Nobs[i]);
        ItemParameters p{items.a[i], items.b[i], items.c[i]};
        if (mode == 6) {
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
        if (mode == 3) items.c[i] = p.c;
    });
    double MSError = 0;
    for (std::size_t i = 0; i < itemCount; ++i) MSError += fits[i] / static_cast<double>(itemCount);
    return MSError;
}

}  // namespace

// Alternates ability passes and item passes until the mean item misfit
// settles (from the fifth pass on), after 101 passes, or at Stop; then
// writes both tables as they stand.
bool RunJoint(int mode, ItemTable& items, PersonTable& persons, RunHost& host,
              ResultWriter& writer, const Engine& engine) {
    for (std::size_t j = 0; j < persons.personCount(); ++j) {
        persons.theta[j] = 0;
        persons.seetheta[j] = 0;
    }
    const bool standardise = host.AskYesNo("Do you want to standardize theta?", "Tarvo");
    SetStartValues(mode, items);
    host.ProgressInit("Calibrating theta and items ...");
    host.ProgressSet(0, "Starting to iterate.");

    const ItemMajorResponses responses(persons);
    AbilityEstimator abilityEstimator(engine.arithmetic, engine.vectorUnit);
    std::vector<AbilityEstimator::Workspace> workspaces(engine.pool.Threads());
    const ItemEstimator itemEstimator(engine.arithmetic, engine.vectorUnit);
    std::vector<double> fits(items.itemCount());
    int passCounter = 0;
    double MSError = 0;
    double previousMSError = 0;
    bool stopped = false;
    for (;;) {
        host.ProgressSet(passCounter, PassAnnouncement(passCounter, previousMSError, MSError));
        if (passCounter > 0) {
            if (!AbilityPass(items, persons, host, abilityEstimator, workspaces, engine)) {
                stopped = true;
                break;
            }
            if (standardise) StandardizeTheta(persons.theta);
        }
        previousMSError = MSError;
        if (host.ProgressIsCancelled()) {
            stopped = true;
            break;
        }
        MSError = ItemPass(mode, items, persons, responses, itemEstimator, fits, engine);
        if (host.ProgressIsCancelled()) {
            stopped = true;
            break;
        }
        ++passCounter;
        if (passCounter > kMostPasses) break;
        if (passCounter >= kFewestPasses && std::fabs(MSError - previousMSError) < kMSErrorTolerance)
            break;
    }
    host.ProgressShutdown();
    writer.ItemSection(items);
    writer.PersonSection(persons);
    return stopped;
}

}  // namespace tarvo
