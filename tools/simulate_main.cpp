// tarvo-simulate: writes a response file and an item parameter file of
// simulated 3PL (or 1PL) data in the sample layout:
//   responses: examinee ID in columns 1-8, generating theta in 12-18,
//              one response per item from column 20;
//   items:     item ID in columns 1-8, a in 22-30, b in 32-40, c in 42-50.
// Lines end in CR LF. With --letters the responses are the letters A-D and
// the file starts with a key record whose identifier begins with KEY.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

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

bool WriteAll(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

std::string ResponseText(const Settings& settings, const tarvo::sim::SimulatedData& data) {
    const std::size_t itemCount = data.items.size();
    tarvo::sim::Random random(settings.simulation.seed ^ 0x5EEDu);
    std::string key(itemCount, '1');
    std::string text;
    if (settings.letters) {
        for (auto& k : key) k = static_cast<char>('A' + random.Next() % 4);
        text += "KEY                " + key + "\r\n";
    }
    char head[64];
    for (std::size_t j = 0; j < data.theta.size(); ++j) {
        std::snprintf(head, sizeof head, "E%07zu   %7.3f ", j + 1, data.theta[j]);
        text += head;
        for (std::size_t i = 0; i < itemCount; ++i) {
            const std::uint8_t code = data.responses[j * itemCount + i];
            if (code == 9) {
                text += ' ';
            } else if (!settings.letters) {
                text += static_cast<char>('0' + code);
            } else if (code == 1) {
                text += key[i];
            } else {
                // One of the three wrong letters.
                const char wrong = static_cast<char>('A' + (key[i] - 'A' + 1 + random.Next() % 3) % 4);
                text += wrong;
            }
        }
        text += "\r\n";
    }
    return text;
}

std::string ItemText(const tarvo::sim::SimulatedData& data) {
    std::string text;
    char line[80];
    for (std::size_t i = 0; i < data.items.size(); ++i) {
        const auto& item = data.items[i];
        std::snprintf(line, sizeof line, "ITEM%04zu             %9.5f %9.5f %9.5f\r\n", i + 1,
                      item.a, item.b, item.c);
        text += line;
    }
    return text;
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
    if (!WriteAll(settings.responseFile, ResponseText(settings, data))) {
        std::fprintf(stderr, "tarvo-simulate: cannot write %s\n", settings.responseFile.c_str());
        return 1;
    }
    if (!settings.itemFile.empty() && !WriteAll(settings.itemFile, ItemText(data))) {
        std::fprintf(stderr, "tarvo-simulate: cannot write %s\n", settings.itemFile.c_str());
        return 1;
    }
    return 0;
}
