#include "input/front_part.h"

#include "input/exist.h"
#include "input/item_parameter_file.h"
#include "input/response_file.h"
#include "input/settings_reader.h"

namespace tarvo {

std::optional<RunInputs> ReadRunInputs(RunHost& host) {
    RunInputs inputs;
    RunSettings& settings = inputs.settings;

    settings.itemCount = ReadItemCount(host);
    inputs.items = ItemTable(settings.itemCount);

    // A missing item parameter file is reported, and the run goes on without
    // it: every item keeps an empty AccNo and zero a, b, c.
    settings.itemParameterFile = ReadItemParameterFileName(host);
    if (!settings.itemParameterFile.empty() && !Exist(settings.itemParameterFile)) {
        host.ShowMessage("ERROR: Param file " + settings.itemParameterFile + " does not exists.");
        settings.itemParameterFile.clear();
    }
    if (!settings.itemParameterFile.empty()) {
        ReadItemParameterFields(host, settings);
        ReadItemParameterFile(settings.itemParameterFile, settings, inputs.items);
    }

    // Without responses there is nothing to estimate: the run ends here.
    settings.responseFile = ReadResponseFileName(host);
    if (!Exist(settings.responseFile)) {
        host.ShowMessage("ERROR Response file " + settings.responseFile + " does not exists.");
        return std::nullopt;
    }
    ReadResponseFields(host, settings);
    inputs.persons = ReadResponseFile(settings.responseFile, settings);
    return inputs;
}

}  // namespace tarvo
