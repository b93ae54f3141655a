#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/run_tables.h"
#include "input/format/delimited_columns.h"
#include "input/format/response_format.h"
#include "input/text/record_tally.h"

namespace tarvo {

// One thing in the inputs that makes the results doubtful: a stable code, a
// message that names the cause and the fix, how many records, responses or
// items it concerns, and a few examples. A serious finding is a mistake in
// how the inputs were laid out or scored that makes the results wrong for
// most of the data (a delimited file read in fixed columns, a header read
// as an examinee, scores 0..5 read as right/wrong): the desktop asks before
// it runs on, and tarvo-run --strict ends the run at the check.
struct InputFinding {
    std::string code;
    std::string message;
    std::size_t count = 0;
    std::vector<std::string> examples;
    bool serious = false;
};

// Whether any finding is serious.
bool AnySerious(const std::vector<InputFinding>& findings);

// A number box's text as the run took it, with the names it goes by.
struct NumberBoxText {
    std::string name;    // "item count"
    std::string option;  // "--item-count"
    std::string text;
};

// What the input check looks at: what the run read anyway.
struct InputCheckSubject {
    ResponseFormat format = ResponseFormat::Fixed;  // as read: fixed, csv or tsv
    const RunSettings* settings = nullptr;
    std::vector<NumberBoxText> boxes;
    const RecordTally* tally = nullptr;
    const PersonTable* persons = nullptr;
    const DelimitedColumns* columns = nullptr;  // delimited files only
    bool keyFromFile = false;                   // the key came from a key file
    bool keyTyped = false;                      // the key was typed (--key, the dialog's "Key...")
    bool thetaUsed = true;  // the estimator reads the given theta (items-only classic modes)
};

// The findings, in a fixed order; none for inputs that look sound. The
// check reads only what it is given and changes nothing of the run.
std::vector<InputFinding> CheckInput(const InputCheckSubject& subject);

}  // namespace tarvo
