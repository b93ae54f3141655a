#include "sample_layout.h"

#include "platform/control_ids.h"

namespace tarvo::sim {

bool WriteSampleResponses(std::FILE* file, const SimulatedData& data, bool letters,
                          std::uint64_t letterSeed) {
    const std::size_t itemCount = data.items.size();
    Random random(letterSeed);
    std::string key(itemCount, '1');
    std::string line;
    bool ok = true;
    if (letters) {
        for (auto& k : key) k = static_cast<char>('A' + random.Next() % 4);
        line = "KEY                " + key + "\r\n";
        ok = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    }
    char head[64];
    for (std::size_t j = 0; j < data.theta.size() && ok; ++j) {
        std::snprintf(head, sizeof head, "E%07zu   %7.3f ", j + 1, data.theta[j]);
        line = head;
        for (std::size_t i = 0; i < itemCount; ++i) {
            const std::uint8_t code = data.responses[j * itemCount + i];
            if (code == 9) {
                line += ' ';
            } else if (!letters) {
                line += static_cast<char>('0' + code);
            } else if (code == 1) {
                line += key[i];
            } else {
                // One of the three wrong letters.
                line += static_cast<char>('A' + (key[i] - 'A' + 1 + random.Next() % 3) % 4);
            }
        }
        line += "\r\n";
        ok = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    }
    return ok;
}

bool WriteSampleItems(std::FILE* file, const SimulatedData& data) {
    bool ok = true;
    for (std::size_t i = 0; i < data.items.size() && ok; ++i) {
        const SimulatedItem& item = data.items[i];
        ok = std::fprintf(file, "ITEM%04zu             %9.5f %9.5f %9.5f\r\n", i + 1, item.a,
                          item.b, item.c) > 0;
    }
    return ok;
}

std::map<int, std::string> SampleControlTexts(std::size_t itemCount,
                                              const std::string& responseFile,
                                              const std::string& itemFile,
                                              const std::string& outputFile) {
    return {{control::kResponseFile, responseFile},
            {control::kItemParameterFile, itemFile},
            {control::kOutputFile, outputFile},
            {control::kItemCount, std::to_string(itemCount)},
            {control::kResponseStart, "20"},
            {control::kExamineeIdStart, "1"},
            {control::kExamineeIdLength, "8"},
            {control::kThetaStart, "12"},
            {control::kThetaLength, "7"},
            {control::kItemIdStart, "1"},
            {control::kItemIdLength, "8"},
            {control::kAStart, "22"},
            {control::kALength, "9"},
            {control::kBStart, "32"},
            {control::kBLength, "9"},
            {control::kCStart, "42"},
            {control::kCLength, "9"}};
}

}  // namespace tarvo::sim
