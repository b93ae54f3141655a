#pragma once

#include <optional>
#include <string>

#include "core/response_matrix.h"
#include "core/run_tables.h"
#include "input/format/delimited_columns.h"
#include "input/text/response_file.h"

namespace tarvo {

// The columns a delimited file with the matrix's header row would have:
// "id", "theta" and "group" first when the matrix has them, then the items
// by name.
DelimitedColumns MatrixColumns(const ResponseMatrix& matrix);

// Reads responses held in memory into persons as ReadDelimitedResponseFile
// reads the rows of a delimited file with a header (the first examinee is
// row 2), by the same rules: a blank or 9 is missing, an examinee without
// a response is skipped, before the first examinee one whose ID begins with
// KEY gives the key (unless extras holds one), and the tally counts alike.
// A stop asked for meanwhile ends the reading (false); else true.
bool ReadResponseMatrix(const ResponseMatrix& matrix, PersonTable& persons,
                        const ResponseReading& extras = {});

}  // namespace tarvo
