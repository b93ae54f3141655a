#include "bench_data.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/control_ids.h"
#include "simulator.h"

namespace tarvo::bench {

namespace {

// Response file: examinee ID in columns 1-8, generating theta in 12-18, one
// response per item from column 20 (a blank where none is valid). Written
// examinee by examinee so that even a million examinees need little memory
// beyond the simulated codes.
bool WriteResponses(const std::string& path, const sim::SimulatedData& sim) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const std::size_t itemCount = sim.items.size();
    std::string line;
    bool ok = true;
    for (std::size_t j = 0; j < sim.theta.size() && ok; ++j) {
        char head[64];
        std::snprintf(head, sizeof head, "E%07zu   %7.3f ", j + 1, sim.theta[j]);
        line = head;
        for (std::size_t i = 0; i < itemCount; ++i) {
            const std::uint8_t code = sim.responses[j * itemCount + i];
            line += code == 9 ? ' ' : static_cast<char>('0' + code);
        }
        line += "\r\n";
        ok = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    }
    return std::fclose(file) == 0 && ok;
}

// Item parameter file: item ID in columns 1-8, a in 22-30, b in 32-40, c in 42-50.
bool WriteItems(const std::string& path, const sim::SimulatedData& sim) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = true;
    for (std::size_t i = 0; i < sim.items.size() && ok; ++i) {
        const auto& item = sim.items[i];
        ok = std::fprintf(file, "ITEM%04zu             %9.5f %9.5f %9.5f\r\n", i + 1, item.a,
                          item.b, item.c) > 0;
    }
    return std::fclose(file) == 0 && ok;
}

// Writes under a temporary name first, so an interrupted run leaves no
// half-written file that a later run would take as finished.
template <typename Writer>
bool WriteOnce(const std::string& path, Writer write) {
    if (std::filesystem::exists(path)) return true;
    const std::string partial = path + ".partial";
    if (!write(partial)) return false;
    std::error_code error;
    std::filesystem::rename(partial, path, error);
    return !error;
}

}  // namespace

std::string DataSet::Name() const {
    return std::to_string(persons) + "x" + std::to_string(items) + (onePL ? "-1pl" : "-3pl") +
           "-s" + std::to_string(seed);
}

DataFiles EnsureDataFiles(const DataSet& data, const std::string& dir) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    DataFiles files{dir + "/" + data.Name() + ".dat", dir + "/" + data.Name() + ".itm"};
    if (std::filesystem::exists(files.responseFile) && std::filesystem::exists(files.itemFile)) {
        return files;
    }

    sim::SimulationSettings settings;
    settings.seed = data.seed;
    settings.personCount = data.persons;
    settings.itemCount = data.items;
    settings.model = data.onePL ? sim::ItemModel::OnePL : sim::ItemModel::ThreePL;
    settings.missingFraction = data.missingFraction;
    const sim::SimulatedData simulated = sim::Simulate(settings);
    const bool ok =
        WriteOnce(files.responseFile,
                  [&](const std::string& path) { return WriteResponses(path, simulated); }) &&
        WriteOnce(files.itemFile,
                  [&](const std::string& path) { return WriteItems(path, simulated); });
    return ok ? files : DataFiles{};
}

std::map<int, std::string> ControlTexts(const DataSet& data, const DataFiles& files,
                                        const std::string& outputFile) {
    return {{control::kResponseFile, files.responseFile},
            {control::kItemParameterFile, files.itemFile},
            {control::kOutputFile, outputFile},
            {control::kItemCount, std::to_string(data.items)},
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

}  // namespace tarvo::bench
