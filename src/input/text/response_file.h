#pragma once

#include <string>

#include "core/run_tables.h"
#include "input/text/line_reader.h"

namespace tarvo {

struct RecordTally;

// What a run may add to the reading of the response file.
struct ResponseReading {
    // The answer key from a key file: it replaces the default key and the
    // key of a key record (which is still no examinee).
    const std::string* key = nullptr;
    // Filled with the counts of the input check; nothing is counted without.
    RecordTally* tally = nullptr;
    // Asked while the file is opened or read: a stop ends the reading.
    StopPoll stop;
    // A polytomous run: items keyed "+" are scored 0..8 by their digit, and
    // without a key every item is.
    bool byDigit = false;
    // Keep the response characters as read and the key (PersonTable's
    // options and optionKey) when the responses have a key of their own.
    bool keepOptions = false;
    // A run of the nominal model: every item read by its option code, the
    // key kept as PersonTable::optionKey.
    bool byOption = false;
    // The examinees' group field (none when its length is 0): its text,
    // trimmed, names the group of PersonTable::group and groupLabels.
    FieldSpec groupField;
};

// Reads the response file at path into persons (replacing what it held),
// examinees in file order, scoring each response against the answer key.
//
// Every line is taken as lengthened with blanks to responseStart + itemCount
// characters and its fields are cut from that; the blanks are never written
// out, so short lines with a large item count cost no more than their bytes.
// A line whose response field is all blanks is skipped. Before the first
// examinee, a line whose identifier starts with KEY (any case) gives the
// answer key instead of an examinee; the default key is all "1". Responses
// are stored as codes 1, 0 and 9. With responseStart 0 an examinee has no
// response characters at all; the code of a missing character is that of
// empty text, 0, for every item. Only the bytes up to
// the end of the last field of a line are held in memory.
//
// The table is fitted to the examinees read: ExaminID, theta, seetheta (0),
// Nvalid (0) have one entry each, responses itemCount codes each. A file that
// cannot be read, or that another run holds for writing, says so in the
// status; the table then holds what was read before the failure, if anything.
ReadStatus ReadResponseFile(const std::string& path, const RunSettings& settings,
                            PersonTable& persons, const ResponseReading& extras = {});

}  // namespace tarvo
