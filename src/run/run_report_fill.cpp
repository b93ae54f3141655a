#include "run/run_report_fill.h"

#include <new>
#include <thread>

#include "report/report_builder.h"
#include "report/report_warnings.h"

namespace tarvo {

namespace {

RunEnd EndOf(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::Finished:
            return RunEnd::Finished;
        case RunOutcome::Stopped:
            return RunEnd::Stopped;
        case RunOutcome::EndedAtCheck:
            return RunEnd::EndedAtCheck;
        case RunOutcome::OutputIncomplete:
            return RunEnd::OutputIncomplete;
    }
    return RunEnd::OutputIncomplete;
}

unsigned ThreadsAsked(const EngineSettings& engine) {
    if (engine.threads > 0) return engine.threads;
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace

void FillRunReport(RunReport& report, int mode, const EngineSettings& engine, RunOutcome outcome,
                   const RunTrace& trace, double wallSeconds) {
    report::DescribeRun(report, mode);
    report.end = EndOf(outcome);
    report.resultFile = trace.outputFile;
    report.arithmetic = engine.arithmetic == Arithmetic::Reference ? "reference" : "fast";
    report.threads = trace.threads > 0 ? trace.threads : ThreadsAsked(engine);
    report.wallSeconds = wallSeconds;
    std::size_t reached = 0;
    if (trace.estimation) {
        report.loop = trace.estimation->loop;
        report.standardized = trace.estimation->standardized;
        report.thetaSpread = trace.estimation->thetaSpread;
        reached = trace.estimation->rowsWritten;
    }
    if (!trace.inputs) return;
    try {
        // Without an estimation stage the tables hold no estimates to judge.
        if (!trace.estimation) {
            report::CountRunInputs(report, trace.inputs->persons);
            return;
        }
        report::CompleteRunReport(report, trace.inputs->items, trace.inputs->persons, reached);
    } catch (const std::bad_alloc&) {
        // A run that ran out of memory may leave too little for its report:
        // keep what is known of the run itself.
        report.itemRows.clear();
        report.personRows.clear();
        report.warnings = report::WarningsFor(report);
    }
}

}  // namespace tarvo
