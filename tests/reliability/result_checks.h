#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace tarvo::test_support {

inline const std::string kPersonHeader = " SeqID,    ExaminID,Nvalid,   theta, seetheta";

inline std::vector<std::string> Fields(const std::string& row) {
    std::vector<std::string> fields;
    std::stringstream stream(row);
    for (std::string field; std::getline(stream, field, ',');) fields.push_back(field);
    return fields;
}

// The number a result field shows; NaN when the field is not a whole
// decimal number (a sign, digits, at most one point, blanks before).
inline double FieldNumber(const std::string& field) {
    const char* begin = field.c_str();
    while (*begin == ' ') ++begin;
    std::size_t k = (*begin == '-') ? 1 : 0;
    bool digit = false, point = false;
    for (; begin[k] != '\0'; ++k) {
        if (begin[k] >= '0' && begin[k] <= '9') {
            digit = true;
        } else if (begin[k] == '.' && !point) {
            point = true;
        } else {
            return std::nan("");
        }
    }
    return digit ? std::strtod(begin, nullptr) : std::nan("");
}

// Rows numbered 1, 2, 3, ... with fieldCount fields each.
inline void ExpectNumberedRows(const std::vector<std::string>& rows, std::size_t fieldCount) {
    for (std::size_t k = 0; k < rows.size(); ++k) {
        SCOPED_TRACE(rows[k]);
        const auto fields = Fields(rows[k]);
        ASSERT_EQ(fields.size(), fieldCount);
        EXPECT_EQ(FieldNumber(fields[0]), double(k + 1));
    }
}

}  // namespace tarvo::test_support
