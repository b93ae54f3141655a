// tarvo-simulate: writes a response file and an item parameter file of
// simulated 3PL (or 1PL) data in the sample layout (see sample_layout.h).
// With --letters the responses are the letters A-D and the file starts with
// a key record whose identifier begins with KEY.
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

#include "sample_layout.h"
#include "simulator.h"

namespace {

struct Settings {
    tarvo::sim::SimulationSettings simulation;
    std::string responseFile;
    std::string itemFile;
    bool letters = false;
};

int Usage(const char* problem) {
    if (problem) std::fprintf(stderr, "tarvo-simulate: %s\n", problem);
    std::fputs(
        "Usage: tarvo-simulate --responses FILE [--items FILE] [--persons N] [--item-count K]\n"
        "                      [--seed S] [--model 3pl|1pl] [--missing FRACTION] [--letters]\n",
        problem ? stderr : stdout);
    return problem ? 2 : 0;
}

template <typename T>
bool ParseNumber(std::string_view text, T& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// Opens path, lets write fill it and closes it; false when any step fails.
template <typename Writer>
bool WriteFile(const std::string& path, Writer write) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = write(file);
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    for (int k = 1; k < argc; ++k) {
        const std::string_view option = argv[k];
        if (option == "--help") return Usage(nullptr);
        if (option == "--letters") {
            settings.letters = true;
            continue;
        }
        if (k + 1 >= argc) return Usage("an option needs a value");
        const std::string_view value = argv[++k];
        bool ok = true;
        if (option == "--responses") {
            settings.responseFile = value;
        } else if (option == "--items") {
            settings.itemFile = value;
        } else if (option == "--persons") {
            ok = ParseNumber(value, settings.simulation.personCount);
        } else if (option == "--item-count") {
            ok = ParseNumber(value, settings.simulation.itemCount);
        } else if (option == "--seed") {
            ok = ParseNumber(value, settings.simulation.seed);
        } else if (option == "--missing") {
            ok = ParseNumber(value, settings.simulation.missingFraction);
        } else if (option == "--model") {
            ok = value == "3pl" || value == "1pl";
            settings.simulation.model =
                value == "1pl" ? tarvo::sim::ItemModel::OnePL : tarvo::sim::ItemModel::ThreePL;
        } else {
            return Usage(("unknown option " + std::string(option)).c_str());
        }
        if (!ok) return Usage(("bad value for " + std::string(option)).c_str());
    }
    if (settings.responseFile.empty()) return Usage("--responses is required");

    const tarvo::sim::SimulatedData data = tarvo::sim::Simulate(settings.simulation);
    const bool responsesWritten = WriteFile(settings.responseFile, [&](std::FILE* file) {
        return tarvo::sim::WriteSampleResponses(file, data, settings.letters,
                                                settings.simulation.seed ^ 0x5EEDu);
    });
    if (!responsesWritten) {
        std::fprintf(stderr, "tarvo-simulate: cannot write %s\n", settings.responseFile.c_str());
        return 1;
    }
    const auto writeItems = [&](std::FILE* file) {
        return tarvo::sim::WriteSampleItems(file, data);
    };
    if (!settings.itemFile.empty() && !WriteFile(settings.itemFile, writeItems)) {
        std::fprintf(stderr, "tarvo-simulate: cannot write %s\n", settings.itemFile.c_str());
        return 1;
    }
    return 0;
}
