#include "shell/results/columns/column_set.h"

#include <algorithm>

namespace tarvo::shell::results {

std::vector<std::string> UsualHiddenColumns(const std::string& table) {
    if (table != "items") return {};
    return {"Nobs", "seea", "seeb", "seec", "df", "p", "infit", "outfit"};
}

std::vector<bool> HiddenColumns(const std::vector<std::string>& columns,
                                const std::optional<std::vector<std::string>>& remembered,
                                const std::vector<std::string>& usual) {
    const std::vector<std::string>& names = remembered ? *remembered : usual;
    std::vector<bool> hidden(columns.size(), false);
    for (std::size_t k = 0; k < columns.size(); ++k) {
        hidden[k] = std::find(names.begin(), names.end(), columns[k]) != names.end();
    }
    // A table with every column hidden would show nothing to right-click.
    if (std::all_of(hidden.begin(), hidden.end(), [](bool h) { return h; })) {
        std::fill(hidden.begin(), hidden.end(), false);
    }
    return hidden;
}

}  // namespace tarvo::shell::results
