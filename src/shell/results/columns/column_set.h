#pragma once

#include <optional>
#include <string>
#include <vector>

// Which columns of a results table are hidden: the user's own choice where
// one is remembered, else the table's usual set. Columns are named, not
// numbered, so a choice made on one run's table holds on another's whose
// columns differ (fit or no fit, three items' c or none).
namespace tarvo::shell::results {

// The columns a table hides until the user says otherwise: the Items table
// opens with its most used columns (identity, the parameters, the classical
// statistics, S-X2 with its adjusted p, and the flags) and leaves the
// counts, the standard errors, df, the unadjusted p and the mean squares to
// be shown from the header's menu. The other tables show every column.
std::vector<std::string> UsualHiddenColumns(const std::string& table);

// Per column, whether it is hidden: those named in remembered when the
// user chose, else those in usual. At least one column stays shown.
std::vector<bool> HiddenColumns(const std::vector<std::string>& columns,
                                const std::optional<std::vector<std::string>>& remembered,
                                const std::vector<std::string>& usual);

}  // namespace tarvo::shell::results
