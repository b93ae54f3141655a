#pragma once

#include <string>

#include "core/run_request.h"
#include "core/run_tables.h"
#include "request/request_texts.h"

namespace tarvo::request {

// The examinees' group field and the groups a run compares, from the texts
// of --group-start, --group-length, --group-column, --reference-group and
// --focal-groups (the dialog's Group field gives the first two). Returns
// empty, or the refusal: a number out of range, a field given twice over
// (columns and a column name), a fixed-column field that overlaps the
// responses, the ID or the theta, a reference or focal group without a
// group field, or the reference among the focal groups. The labels
// themselves are checked once the file is read (CheckGroupLabels).
std::string ReadGroupSettings(const RequestTexts& texts, const RunSettings& boxes,
                              GroupSettings& groups);

}  // namespace tarvo::request
