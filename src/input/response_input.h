#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/response_matrix.h"
#include "core/run_request.h"
#include "core/run_tables.h"
#include "input/check/input_check.h"
#include "input/format/delimited_columns.h"
#include "input/format/response_format.h"
#include "input/text/input_file.h"
#include "input/text/record_tally.h"
#include "platform/control_texts.h"

namespace tarvo {

// How the run reads its response file, decided before any file is read: a
// delimited file's columns give the item count, which the item parameter
// file needs.
struct ResponsePlan {
    ResponseLayout layout;                    // its format is fixed, csv or tsv (auto decided)
    std::optional<DelimitedColumns> columns;  // delimited files
    FieldSpec groupField;                     // fixed columns: the examinees' group, if any
    std::string error;     // the layout cannot be used: shown once the file is known to exist
    bool stopped = false;  // a stop was asked for while the first lines were read
};

// Reads the format settings from the control texts; for a delimited file
// (or auto) reads the response file's first row and finds the columns. A
// file that does not exist or cannot be read plans as it is set; the run's
// own checks report it. The stop poll is asked while the first lines are
// read. groups: the examinees' group field (columns of a fixed-column file,
// a column of a delimited one).
ResponsePlan PlanResponseFile(const ControlTexts& texts, const StopPoll& stop = {},
                              const GroupSettings& groups = {});

// The item count the plan gives: the number of item columns of a delimited
// file; nothing for fixed columns (the item count box gives it).
std::optional<std::uint16_t> PlannedItemCount(const ResponsePlan& plan);

// What reading the response file by the plan left beside the person table.
struct ResponseFileRead {
    ReadStatus status = ReadStatus::Read;
    std::string error;  // the file or the key file cannot be used as laid out
    RecordTally tally;
    bool keyFromFile = false;
    bool keyTyped = false;
    std::vector<std::string> itemNames;  // a delimited file's header names of the items
};

// Reads the response file by the plan: fixed columns exactly as always, or
// delimited rows; with the key file when one is named; counting for the
// input check as it goes; a stop asked for meanwhile ends the reading
// (Stopped). byDigit: a polytomous run, keepOptions: keep the characters
// as read for the option analysis, byOption: a nominal run, every item read
// by its option code (ResponseReading).
ResponseFileRead ReadPlannedResponses(const ResponsePlan& plan, const RunSettings& settings,
                                      PersonTable& persons, bool byDigit = false,
                                      const StopPoll& stop = {}, bool keepOptions = false,
                                      bool byOption = false);

// The plan of responses held in memory: read as a comma-separated file
// with a header row (MatrixColumns), and the request's typed key.
ResponsePlan MatrixPlan(const ResponseMatrix& matrix, const ControlTexts& texts);

// Reads responses held in memory by that plan, with its key, as
// ReadPlannedResponses reads a delimited file.
ResponseFileRead ReadMatrixResponses(const ResponseMatrix& matrix, const ResponsePlan& plan,
                                     const RunSettings& settings, PersonTable& persons,
                                     bool byDigit, const StopPoll& stop = {},
                                     bool keepOptions = false, bool byOption = false);

// The input check over what was read, with the number boxes' texts from the
// control texts; thetaUsed: the estimator reads the given theta.
std::vector<InputFinding> CheckReadInput(const ControlTexts& texts, const ResponsePlan& plan,
                                         const RunSettings& settings, const ResponseFileRead& read,
                                         const PersonTable& persons, bool thetaUsed);

// How the plan names the examinees' group field in a message: "column 10",
// "columns 10-11", or a delimited file's "column 2 (sex)".
std::string GroupFieldName(const ResponsePlan& plan);

}  // namespace tarvo
