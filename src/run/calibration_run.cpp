#include "run/calibration_run.h"

#include <chrono>
#include <exception>
#include <new>
#include <string>

#include "estimation/classic/driver.h"
#include "input/front_part.h"
#include "output/result_file.h"
#include "output/result_rows.h"
#include "output/result_writer.h"
#include "platform/control_ids.h"
#include "run/run_report_fill.h"
#include "run/run_trace.h"

namespace tarvo {

namespace {

// Whole result lines are gathered into writes of about this size. Kept well
// below PIPE_BUF (4096 bytes), so that a result written into a pipe arrives
// in whole lines even when the process is ended in the middle of a write.
constexpr std::size_t kResultLinesGathered = 2048;

// Writing the result over one of the run's own input files would destroy
// the data it was computed from.
bool NamesAnInputFile(const std::string& outputFile, const RunSettings& settings) {
    if (IsSameFile(outputFile, settings.responseFile)) return true;
    return !settings.itemParameterFile.empty() &&
           IsSameFile(outputFile, settings.itemParameterFile);
}

}  // namespace

RunOutcome RunCalibration(RunHost& host) { return RunCalibration(host, EngineSettings{}); }

namespace {
RunOutcome RunWithoutGuard(RunHost& host, const EngineSettings& engine, RunTrace& trace,
                           const EstimationStage& stage);
}  // namespace

RunOutcome RunCalibration(RunHost& host, const EngineSettings& engine) {
    return RunCalibration(host, engine, nullptr);
}

namespace {

// The run and its boundary: an exception from a stage that has no handler of
// its own still ends the run with a message instead of leaving it silently.
RunOutcome RunGuarded(RunHost& host, const EngineSettings& engine, RunTrace& trace,
                      const EstimationStage& stage) {
    try {
        return RunWithoutGuard(host, engine, trace, stage);
    } catch (const std::exception& failure) {
        host.ShowMessage(std::string("ERROR The run failed: ") + failure.what() + ".");
    } catch (...) {
        host.ShowMessage("ERROR The run failed.");
    }
    return RunOutcome::OutputIncomplete;
}

}  // namespace

RunOutcome RunCalibration(RunHost& host, const EngineSettings& engine, RunReport* report) {
    EstimationStage classic;
    classic.estimate = [](int mode, RunInputs& inputs, RunHost& stageHost, ResultWriter& writer,
                          const Engine& stageEngine) {
        return RunEstimation(mode, inputs.items, inputs.persons, stageHost, writer, stageEngine);
    };
    return RunCalibrationWith(host, engine, report, classic);
}

RunOutcome RunCalibrationWith(RunHost& host, const EngineSettings& engine, RunReport* report,
                              const EstimationStage& stage) {
    const auto start = std::chrono::steady_clock::now();
    RunTrace trace;
    const RunOutcome outcome = RunGuarded(host, engine, trace, stage);
    if (report) {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const int mode = stage.layoutMode != 0 ? stage.layoutMode : host.CalibrationMode();
        FillRunReport(*report, mode, engine, outcome, trace, seconds);
    }
    return outcome;
}

namespace {

// The run itself; what it leaves for the report goes into trace.
RunOutcome RunWithoutGuard(RunHost& host, const EngineSettings& engine, RunTrace& trace,
                           const EstimationStage& stage) {
    // The tables hold itemCount codes per examinee, so a small file with a
    // large item count can ask for more memory than there is: that ends the
    // run with a message instead of ending the program.
    std::optional<RunInputs>& inputs = trace.inputs;
    try {
        inputs = ReadRunInputs(host);
    } catch (const std::bad_alloc&) {
        host.ShowMessage("ERROR Not enough memory to read the input files.");
        return RunOutcome::EndedAtCheck;
    } catch (const std::exception& failure) {
        host.ShowMessage(std::string("ERROR The input files could not be read: ") + failure.what());
        return RunOutcome::EndedAtCheck;
    }
    if (!inputs) return RunOutcome::EndedAtCheck;
    if (stage.check && !stage.check(*inputs, host)) return RunOutcome::EndedAtCheck;

    const std::string outputFile = host.ControlText(control::kOutputFile);
    trace.outputFile = outputFile;
    if (NamesAnInputFile(outputFile, inputs->settings)) {
        host.ShowMessage("ERROR Output file " + outputFile + " is an input file.");
        return RunOutcome::EndedAtCheck;
    }
    ResultFile file;
    file.GatherLinesUpTo(kResultLinesGathered);
    if (!file.Open(outputFile)) {
        host.ShowMessage("ERROR Output file " + outputFile + " cannot be written. (" +
                         file.OpenFailure() + ")");
        return RunOutcome::EndedAtCheck;
    }

    const int mode = stage.layoutMode != 0 ? stage.layoutMode : host.CalibrationMode();
    ResultWriter writer(file, mode, IsCsvLayout(outputFile));
    bool stopped = false;
    try {
        WorkerPool pool(engine.threads);
        trace.threads = pool.Threads();
        trace.estimation = stage.estimate(mode, *inputs, host, writer,
                                          Engine{pool, engine.arithmetic, engine.vectorUnit});
        stopped = trace.estimation->stopped;
    } catch (const std::bad_alloc&) {
        // The estimation paths build working copies of the responses.
        host.ProgressShutdown();
        file.Close();
        host.ShowMessage("ERROR Not enough memory to finish the run. Output file " + outputFile +
                         " is incomplete.");
        return RunOutcome::OutputIncomplete;
    } catch (const std::exception& failure) {
        // Whatever else ends the estimation early (a thread, a lock, the
        // front end) ends the run the same way: the result is not whole.
        host.ProgressShutdown();
        file.Close();
        host.ShowMessage(std::string("ERROR The run failed: ") + failure.what() + ". Output file " +
                         outputFile + " is incomplete.");
        return RunOutcome::OutputIncomplete;
    } catch (...) {
        host.ProgressShutdown();
        file.Close();
        host.ShowMessage("ERROR The run failed. Output file " + outputFile + " is incomplete.");
        return RunOutcome::OutputIncomplete;
    }

    if (!file.Close()) {
        host.ShowMessage("ERROR Output file " + outputFile + " could not be written completely.");
        return RunOutcome::OutputIncomplete;
    }
    host.ViewResult(outputFile);
    return stopped ? RunOutcome::Stopped : RunOutcome::Finished;
}

}  // namespace

}  // namespace tarvo
