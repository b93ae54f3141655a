#pragma once

#include <string>
#include <vector>

#include "core/run_tables.h"
#include "input/format/delimited_columns.h"
#include "input/format/response_format.h"
#include "input/text/input_file.h"
#include "input/text/response_file.h"

namespace tarvo {

// The cells of a delimited file's first row: the header names, or the first
// examinee's cells without a header.
struct FirstRow {
    ReadStatus status = ReadStatus::Read;
    std::vector<std::string> cells;
};
FirstRow ReadFirstRow(const std::string& path, char delimiter, const StopPoll& stop = {});

// How reading a delimited response file went.
struct DelimitedRead {
    ReadStatus status = ReadStatus::Read;
    // Not empty when the file cannot be used as laid out: the row, the
    // column, the text, and what to change.
    std::string error;
};

// Reads a delimited response file (one row per examinee, after the header
// row when there is one) into persons, as ReadResponseFile reads fixed
// columns, by the same scoring rules: each item cell holds one response
// character, blanks around it aside; an empty cell, NA, a blank and 9 are
// missing; a row whose item cells are all missing is skipped; before the
// first examinee, a row whose ID begins with KEY (any case) gives the key.
// The ID is the cell's text exactly as written, the theta the text-to-number
// rule's value of its cell. A row with fewer cells has its missing item cells
// missing. The group column's cell, trimmed, names the examinee's group; an
// empty cell or NA is no group. A cell of more than one character, or a
// quote left open at the end, is an error: persons then holds what was read
// before it.
DelimitedRead ReadDelimitedResponseFile(const std::string& path, const ResponseLayout& layout,
                                        const DelimitedColumns& columns, PersonTable& persons,
                                        const ResponseReading& extras = {});

}  // namespace tarvo
