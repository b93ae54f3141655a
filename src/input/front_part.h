#pragma once

#include <optional>

#include "core/run_tables.h"
#include "platform/run_host.h"

namespace tarvo {

// Everything the front part of a run leaves to the rest of it.
struct RunInputs {
    RunSettings settings;
    ItemTable items;
    PersonTable persons;
};

// The front part of a run: reads the settings from the host's control texts,
// checks that the files exist (a missing item parameter file is reported and
// the run goes on without it), reads the item parameter file and the response
// file. Returns nothing when the run ends at the response file check, after
// the host has shown the message.
std::optional<RunInputs> ReadRunInputs(RunHost& host);

}  // namespace tarvo
