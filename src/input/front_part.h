#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/run_request.h"
#include "core/run_tables.h"
#include "input/check/input_check.h"
#include "platform/run_host.h"

namespace tarvo {

// Everything the front part of a run leaves to the rest of it.
struct RunInputs {
    RunSettings settings;  // the request's, without an item parameter file that was not read
    ItemTable items;
    PersonTable persons;
    std::vector<std::string> itemNames;  // a delimited file's header names of the items
    std::vector<InputFinding> findings;  // the input check's, in its order
    // Per item: whether its line of the item parameter file holds anything
    // in the fields read (all 0 without a file).
    std::vector<char> itemLinesGiven;
    // Per item: the texts of its a, b and c fields as cut from its line
    // (empty without a file, or for a field not read), so that a held value
    // can be quoted as the file gives it.
    std::vector<std::array<std::string, 3>> itemFieldTexts;
    // A stop was asked for while an input was opened or read: the run ends
    // there, and nothing else here is to be used.
    bool stopped = false;
};

// The front part of a run: takes the settings of the request, checks that
// the files exist (a missing item parameter file is reported and the run
// goes on without it), reads the item parameter file and the response file
// (fixed columns, or delimited by the request's format entries) and checks
// what it read (each finding goes to the host as a warning). The host's stop
// poll is asked while an input is opened or read (a FIFO without a writer,
// a slow file): a stop gives inputs marked stopped. Returns nothing
// when the run ends at the response file check, after the host has shown
// the message. keepOptions: keep the response characters as read when the
// responses have a key (PersonTable::options), for the option analysis.
std::optional<RunInputs> ReadRunInputs(const RunRequest& request, RunHost& host,
                                       bool keepOptions = false);

// What the input check would find in a request's inputs, read as the run
// reads them, without a run: the findings, and the messages the front part
// showed (a file that is missing or cannot be used as laid out). It reads
// every input file whole, so a window calls it off its own thread.
struct InputCheckPreview {
    std::vector<InputFinding> findings;
    std::vector<std::string> messages;
};
InputCheckPreview CheckRequestInputs(const RunRequest& request);

}  // namespace tarvo
