#pragma once

// Reads a DIF test file of fixed columns: the group in column 10 (blank: no
// group), one score digit per item from column 20 (blank: missing). Groups
// are numbered in order of first appearance, as a run numbers them.
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "dif/dif_data.h"

namespace tarvo::dif {

struct FixedDifFile {
    std::size_t itemCount = 0;
    std::vector<std::uint8_t> codes;
    std::vector<std::int32_t> group;
    std::vector<std::string> labels;

    DifData Data() const { return DifData{itemCount, codes, group, labels.size()}; }
};

inline FixedDifFile ReadFixedDifFile(const std::string& path, std::size_t items) {
    FixedDifFile file;
    file.itemCount = items;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        line.resize(19 + items, ' ');
        const std::string label = line.substr(9, 1) == " " ? "" : line.substr(9, 1);
        std::int32_t g = -1;
        if (!label.empty()) {
            std::size_t k = 0;
            while (k < file.labels.size() && file.labels[k] != label) ++k;
            if (k == file.labels.size()) file.labels.push_back(label);
            g = static_cast<std::int32_t>(k);
        }
        file.group.push_back(g);
        for (std::size_t i = 0; i < items; ++i) {
            const char c = line[19 + i];
            file.codes.push_back(c >= '0' && c <= '8' ? static_cast<std::uint8_t>(c - '0')
                                                      : kMissing);
        }
    }
    return file;
}

inline std::string DifTestData(const std::string& name) {
    return std::string(TARVO_SOURCE_DIR) + "/tests/data/" + name;
}

}  // namespace tarvo::dif
