#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/run_tables.h"
#include "input/input_check.h"
#include "platform/run_host.h"

namespace tarvo {

// Everything the front part of a run leaves to the rest of it.
struct RunInputs {
    RunSettings settings;
    ItemTable items;
    PersonTable persons;
    std::vector<std::string> itemNames;  // a delimited file's header names of the items
    std::vector<InputFinding> findings;  // the input check's, in its order
};

// The front part of a run: reads the settings from the host's control texts,
// checks that the files exist (a missing item parameter file is reported and
// the run goes on without it), reads the item parameter file and the response
// file (fixed columns, or delimited by the format settings) and checks what
// it read (each finding goes to the host as a warning). Returns nothing when
// the run ends at the response file check, after the host has shown the
// message.
std::optional<RunInputs> ReadRunInputs(RunHost& host);

}  // namespace tarvo
