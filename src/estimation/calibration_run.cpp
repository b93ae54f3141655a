#include "estimation/calibration_run.h"

#include <string>

#include "estimation/driver.h"
#include "input/front_part.h"
#include "output/result_file.h"
#include "output/result_rows.h"
#include "output/result_writer.h"
#include "platform/control_ids.h"

namespace tarvo {

namespace {

constexpr std::size_t kResultLinesGathered = 64 * 1024;

// Writing the result over one of the run's own input files would destroy
// the data it was computed from.
bool NamesAnInputFile(const std::string& outputFile, const RunSettings& settings) {
    if (IsSameFile(outputFile, settings.responseFile)) return true;
    return !settings.itemParameterFile.empty() &&
           IsSameFile(outputFile, settings.itemParameterFile);
}

}  // namespace

RunOutcome RunCalibration(RunHost& host) { return RunCalibration(host, EngineSettings{}); }

RunOutcome RunCalibration(RunHost& host, const EngineSettings& engine) {
    std::optional<RunInputs> inputs = ReadRunInputs(host);
    if (!inputs) return RunOutcome::EndedAtCheck;

    const std::string outputFile = host.ControlText(control::kOutputFile);
    if (NamesAnInputFile(outputFile, inputs->settings)) {
        host.ShowMessage("ERROR Output file " + outputFile + " is an input file.");
        return RunOutcome::EndedAtCheck;
    }
    ResultFile file;
    // Whole lines go to the file in batches of about this many bytes.
    file.GatherLinesUpTo(kResultLinesGathered);
    if (!file.Open(outputFile)) {
        host.ShowMessage("ERROR Output file " + outputFile + " cannot be written.");
        return RunOutcome::EndedAtCheck;
    }

    const int mode = host.CalibrationMode();
    ResultWriter writer(file, mode, IsCsvLayout(outputFile));
    WorkerPool pool(engine.threads);
    const bool stopped = RunEstimation(mode, inputs->items, inputs->persons, host, writer,
                                       Engine{pool, engine.arithmetic, engine.vectorUnit});

    if (!file.Close()) {
        host.ShowMessage("ERROR Output file " + outputFile + " could not be written completely.");
        return RunOutcome::OutputIncomplete;
    }
    host.ViewResult(outputFile);
    return stopped ? RunOutcome::Stopped : RunOutcome::Finished;
}

}  // namespace tarvo
