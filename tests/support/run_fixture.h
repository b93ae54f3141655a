#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sample_layout.h"
#include "support/scripted_host.h"
#include "support/temp_dir.h"

namespace tarvo::test_support {

// Small 3PL data sets in the sample layout (examinee ID in columns 1-8,
// theta in 12-18, responses from column 20; item ID in 1-8, a in 22-30,
// b in 32-40, c in 42-50), written as files with CR LF line ends, and a
// scripted host whose control texts point at them.
struct GeneratedItem {
    double a, b, c;
};

class RunFixture {
  public:
    RunFixture(int persons, int items, std::uint64_t seed = 7) : persons_(persons), items_(items) {
        state_ = seed * 0x9E3779B97F4A7C15ull + 1;
        for (int i = 0; i < items; ++i) {
            itemParams.push_back(
                {0.6 + 1.2 * Uniform(), -2 + 4 * Uniform(), 0.1 + 0.15 * Uniform()});
        }
        for (int j = 0; j < persons; ++j) thetas.push_back(-2.5 + 5 * Uniform());
    }

    // Writes both files; missingEvery > 0 leaves every n-th response blank.
    void WriteFiles(int missingEvery = 0) {
        std::string responses;
        for (int j = 0; j < persons_; ++j) {
            char head[32];
            std::snprintf(head, sizeof head, "P%07d   %7.3f ", j + 1, thetas[j]);
            std::string line = head;
            for (int i = 0; i < items_; ++i) {
                const GeneratedItem& it = itemParams[i];
                const double p =
                    it.c + (1 - it.c) / (1 + std::exp(-1.7 * it.a * (thetas[j] - it.b)));
                const bool missing = missingEvery > 0 && (j * items_ + i) % missingEvery == 0;
                line += missing ? ' ' : (Uniform() < p ? '1' : '0');
            }
            responses += line + "\r\n";
        }
        WriteFile(responseFile(), responses);

        std::string parameters;
        for (int i = 0; i < items_; ++i) {
            char line[80];
            std::snprintf(line, sizeof line, "ITEM%04d             %9.4f %9.4f %9.4f", i + 1,
                          itemParams[i].a, itemParams[i].b, itemParams[i].c);
            parameters += std::string(line) + "\r\n";
        }
        WriteFile(itemFile(), parameters);
    }

    // A host set up for mode with the sample layout and an output name.
    ScriptedHost Host(int mode, const std::string& outputName = "out.csv") const {
        ScriptedHost host;
        host.mode = mode;
        host.texts =
            sim::SampleControlTexts(items_, responseFile(), itemFile(), dir.File(outputName));
        return host;
    }

    std::string responseFile() const { return dir.File("responses.dat"); }
    std::string itemFile() const { return dir.File("items.itm"); }
    std::string Output(const std::string& outputName = "out.csv") const {
        return ReadFile(dir.File(outputName));
    }

    TempDir dir;
    std::vector<GeneratedItem> itemParams;
    std::vector<double> thetas;

  private:
    double Uniform() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return static_cast<double>((state_ * 0x2545F4914F6CDD1Dull) >> 11) * 0x1.0p-53;
    }

    int persons_;
    int items_;
    std::uint64_t state_;
};

// Splits a result file into its lines, checking that every line ends in CR LF.
inline std::vector<std::string> CrLfLines(const std::string& text, bool* allCrLf = nullptr) {
    std::vector<std::string> lines;
    bool ok = true;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            ok = false;
            lines.push_back(text.substr(start));
            break;
        }
        if (end == start || text[end - 1] != '\r') ok = false;
        lines.push_back(text.substr(start, end - start - (end > start ? 1 : 0)));
        start = end + 1;
    }
    if (allCrLf) *allCrLf = ok;
    return lines;
}

}  // namespace tarvo::test_support
