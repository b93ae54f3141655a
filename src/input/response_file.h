#pragma once

#include <string>

#include "core/run_tables.h"

namespace tarvo {

// Reads the response file at path into a person table, examinees in file
// order, scoring each response against the answer key.
//
// Every line is lengthened with blanks to responseStart + itemCount
// characters and its fields are cut from that. A line whose response field is
// all blanks is skipped. Before the first examinee, a line whose identifier
// starts with KEY (any case) gives the answer key instead of an examinee;
// the default key is all "1". Responses are stored as codes 1, 0 and 9. With
// responseStart 0 an examinee has no response characters at all; the code
// of a missing character is that of empty text, 0, for every item. A file that cannot be read gives no examinees.
//
// The table is fitted to the examinees read: ExaminID, theta, seetheta (0),
// Nvalid (0) have one entry each, responses itemCount codes each.
PersonTable ReadResponseFile(const std::string& path, const RunSettings& settings);

}  // namespace tarvo
