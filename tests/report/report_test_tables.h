#pragma once

#include <string>
#include <vector>

#include "core/run_tables.h"

namespace tarvo::test_support {

// A person table from rows of response characters '1', '0' and '9'.
inline PersonTable TableOf(const std::vector<std::string>& rows) {
    PersonTable persons;
    persons.itemCount = rows.empty() ? 0 : rows[0].size();
    for (std::size_t j = 0; j < rows.size(); ++j) {
        persons.ExaminID.push_back("P" + std::to_string(j + 1));
        persons.theta.push_back(0);
        persons.seetheta.push_back(0);
        persons.Nvalid.push_back(0);
        for (char code : rows[j])
            persons.responses.push_back(static_cast<std::uint8_t>(code - '0'));
    }
    return persons;
}

}  // namespace tarvo::test_support
