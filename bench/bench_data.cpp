#include "bench_data.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "sample_layout.h"
#include "simulator.h"

namespace tarvo::bench {

namespace {

bool WriteWith(const std::string& path, bool (*write)(std::FILE*, const sim::SimulatedData&),
               const sim::SimulatedData& data) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = write(file, data);
    return std::fclose(file) == 0 && written;
}

bool WriteResponses(std::FILE* file, const sim::SimulatedData& data) {
    return sim::WriteSampleResponses(file, data);
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

sim::SimulationSettings SimulationOf(const DataSet& data) {
    sim::SimulationSettings settings;
    settings.seed = data.seed;
    settings.personCount = data.persons;
    settings.itemCount = data.items;
    settings.model = data.onePL ? sim::ItemModel::OnePL : sim::ItemModel::ThreePL;
    settings.missingFraction = data.missingFraction;
    return settings;
}

DataFiles EnsureDataFiles(const DataSet& data, const std::string& dir) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    DataFiles files{dir + "/" + data.Name() + ".dat", dir + "/" + data.Name() + ".itm"};
    if (std::filesystem::exists(files.responseFile) && std::filesystem::exists(files.itemFile)) {
        return files;
    }

    const sim::SimulatedData simulated = sim::Simulate(SimulationOf(data));
    const bool ok = WriteOnce(files.responseFile,
                              [&](const std::string& path) {
                                  return WriteWith(path, WriteResponses, simulated);
                              }) &&
                    WriteOnce(files.itemFile, [&](const std::string& path) {
                        return WriteWith(path, sim::WriteSampleItems, simulated);
                    });
    return ok ? files : DataFiles{};
}

std::map<int, std::string> ControlTexts(const DataSet& data, const DataFiles& files,
                                        const std::string& outputFile) {
    return sim::SampleControlTexts(data.items, files.responseFile, files.itemFile, outputFile);
}

std::string ReadWhole(const std::string& path) {
    std::string text;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[1 << 16];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
            text.append(buffer, got);
        }
        std::fclose(file);
    }
    return text;
}

}  // namespace tarvo::bench
