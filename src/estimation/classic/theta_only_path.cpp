#include <algorithm>
#include <string>
#include <vector>

#include "core/modes.h"
#include "estimation/classic/classic_paths.h"
#include "estimation/classic/estimators.h"
#include "parallel/compute_ahead.h"

namespace tarvo {

namespace {

// Examinees estimated together as one task, and tasks estimated ahead of
// the rows written per thread.
constexpr std::size_t kExamineesPerTask = 256;
constexpr std::size_t kTasksAheadPerThread = 4;

}  // namespace

// Abilities for given items. The examinees are estimated ahead on all
// threads, but progress, breathing, Stop and rows go one examinee at a time
// in order on the calling thread, so a Stop keeps exactly the rows finished
// before it, as if each examinee were estimated just before its row.
EstimationOutcome RunThetaOnly(int mode, ItemTable& items, PersonTable& persons, RunHost& host,
                               ResultWriter& writer, const Engine& engine) {
    writer.PersonHeader();
    if (RulesOf(mode).onePL) {
        for (std::size_t i = 0; i < items.itemCount(); ++i) {
            items.a[i] = 1;
            items.c[i] = 0;
        }
    }
    host.ProgressInit("Calibrating theta...");

    AbilityEstimator estimator(engine.arithmetic, engine.vectorUnit);
    estimator.UseItems(items.a, items.b, items.c);
    const std::size_t personCount = persons.personCount();
    const std::size_t taskCount = (personCount + kExamineesPerTask - 1) / kExamineesPerTask;
    const std::size_t window = kTasksAheadPerThread * engine.pool.Threads();
    // Results of the examinees estimated ahead, kExamineesPerTask per slot.
    std::vector<double> theta(window * kExamineesPerTask);
    std::vector<double> seetheta(window * kExamineesPerTask);
    std::vector<std::int32_t> Nvalid(window * kExamineesPerTask);
    std::vector<AbilityEstimator::Workspace> workspaces(window);

    const std::string ofCount = " of " + std::to_string(personCount) + ".";
    int lastPercent = 0;
    EstimationOutcome outcome;
    outcome.rowsTotal = personCount;
    auto estimate = [&](std::size_t task, std::size_t slot) {
        const std::size_t first = task * kExamineesPerTask;
        const std::size_t last = std::min(first + kExamineesPerTask, personCount);
        // Every examinee starts from theta 0.
        const std::size_t at = slot * kExamineesPerTask;
        std::fill_n(theta.begin() + at, last - first, 0.0);
        estimator.EstimateMany(last - first, persons.ResponsesOf(first).data(), &theta[at],
                               &seetheta[at], &Nvalid[at], workspaces[slot]);
    };
    auto write = [&](std::size_t task) {
        const std::size_t first = task * kExamineesPerTask;
        const std::size_t last = std::min(first + kExamineesPerTask, personCount);
        const std::size_t at = (task % window) * kExamineesPerTask;
        for (std::size_t j = first + 1; j <= last; ++j) {
            const int percent = RoundedPercent(j, personCount);
            if (percent != lastPercent) {
                host.ProgressSet(percent, "Person " + std::to_string(j) + ofCount);
                lastPercent = percent;
            }
            host.Breathe();
            if (host.ProgressIsCancelled()) {
                outcome.stopped = true;
                return false;
            }
            const std::size_t k = at + (j - 1 - first);
            writer.Person(j, persons.ExaminID[j - 1], Nvalid[k], theta[k], seetheta[k]);
            // Kept for the run report; the estimates of later tasks never
            // read the table's abilities.
            persons.theta[j - 1] = theta[k];
            persons.seetheta[j - 1] = seetheta[k];
            persons.Nvalid[j - 1] = Nvalid[k];
            outcome.rowsWritten = j;
        }
        return true;
    };
    ComputeAheadInOrder(engine.pool, taskCount, window, estimate, write);
    host.ProgressShutdown();
    return outcome;
}

}  // namespace tarvo
