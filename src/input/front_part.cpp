#include "input/front_part.h"

#include "input/exist.h"
#include "input/item_parameter_file.h"
#include "input/response_file.h"

namespace tarvo {

namespace {

// What follows "cannot be read." when the reason is one the user can act on.
std::string Reason(ReadStatus status) {
    return status == ReadStatus::InUse ? " (in use by another run)" : "";
}

}  // namespace

std::optional<RunInputs> ReadRunInputs(const RunRequest& request, RunHost& host) {
    RunInputs inputs;
    RunSettings& settings = inputs.settings;
    settings = request.settings;
    inputs.items = ItemTable(settings.itemCount);
    inputs.itemLinesGiven.assign(settings.itemCount, 0);

    // A missing item parameter file is reported, and the run goes on without
    // it: every item keeps an empty AccNo and zero a, b, c.
    if (!settings.itemParameterFile.empty() && !Exist(settings.itemParameterFile)) {
        host.ShowMessage("ERROR: Param file " + settings.itemParameterFile + " does not exists.");
        settings.itemParameterFile.clear();
    }
    if (!settings.itemParameterFile.empty()) {
        const ReadStatus status = ReadItemParameterFile(settings.itemParameterFile, settings,
                                                        inputs.items, &inputs.itemLinesGiven);
        // One that cannot be read is treated like a missing one, whatever
        // part of it was read.
        if (status != ReadStatus::Read) {
            host.ShowMessage("ERROR: Param file " + settings.itemParameterFile +
                             " cannot be read." + Reason(status));
            settings.itemParameterFile.clear();
            inputs.items = ItemTable(settings.itemCount);
            inputs.itemLinesGiven.assign(settings.itemCount, 0);
        }
    }

    // Without responses there is nothing to estimate: the run ends here.
    if (!Exist(settings.responseFile)) {
        host.ShowMessage("ERROR Response file " + settings.responseFile + " does not exists.");
        return std::nullopt;
    }
    const ReadStatus status = ReadResponseFile(settings.responseFile, settings, inputs.persons);
    if (status != ReadStatus::Read) {
        host.ShowMessage("ERROR Response file " + settings.responseFile + " cannot be read." +
                         Reason(status));
        return std::nullopt;
    }
    return inputs;
}

}  // namespace tarvo
