#include "rpf_reference.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "bench_data.h"
#include "item_values.h"

namespace tarvo::bench {

namespace {

double Field(const std::string& text) {
    return text == "NA" ? NAN : std::strtod(text.c_str(), nullptr);
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream row(line);
    for (std::string field; std::getline(row, field, ',');) fields.push_back(field);
    return fields;
}

bool Write(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

RpfFit RunRpf(const std::string& script, const std::string& workDir, const std::string& name,
              std::span<const std::uint8_t> responses, std::span<const double> a,
              std::span<const double> b, std::span<const double> c, std::span<const int> estimated,
              std::span<const double> theta) {
    RpfFit fit;
    const std::size_t items = a.size();
    const std::string base = workDir + "/rpf-" + name;
    std::string codes, itemLines, thetaLines;
    for (std::size_t j = 0; j < theta.size(); ++j) {
        for (std::size_t i = 0; i < items; ++i)
            codes += static_cast<char>('0' + responses[j * items + i]);
        codes += '\n';
        char text[40];
        std::snprintf(text, sizeof text, "%.17g\n", theta[j]);
        thetaLines += text;
    }
    for (std::size_t i = 0; i < items; ++i) {
        char text[120];
        std::snprintf(text, sizeof text, "%.17g,%.17g,%.17g,%d\n", a[i], b[i], c[i], estimated[i]);
        itemLines += text;
    }
    if (!Write(base + ".codes", codes) || !Write(base + ".items", itemLines) ||
        !Write(base + ".theta", thetaLines)) {
        return fit;
    }
    const std::string output = base + ".out";
    std::remove(output.c_str());
    const std::string command = "Rscript '" + script + "' '" + base + ".codes' '" + base +
                                ".items' '" + base + ".theta' '" + output + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) return fit;
    for (const std::string& line : Lines(ReadWhole(output))) {
        const std::vector<std::string> f = Split(line);
        if (f.size() == 8 && f[0] == "item") {
            fit.items.push_back({Field(f[1]), Field(f[2]), Field(f[3]), Field(f[4]), Field(f[5]),
                                 Field(f[6]), Field(f[7])});
        } else if (f.size() == 7 && f[0] == "table") {
            RpfTableRow row;
            row.item = std::strtoul(f[1].c_str(), nullptr, 10);
            row.rest = std::strtoul(f[2].c_str(), nullptr, 10);
            for (int k = 0; k < 2; ++k) {
                row.observed[k] = Field(f[3 + k]);
                row.expected[k] = Field(f[5 + k]);
            }
            fit.tables.push_back(row);
        } else if (f.size() == 6 && f[0] == "person") {
            fit.persons.push_back({std::strtoul(f[1].c_str(), nullptr, 10) - 1, Field(f[2]),
                                   Field(f[3]), Field(f[4]), Field(f[5])});
        }
    }
    fit.ok = fit.items.size() == items;
    return fit;
}

}  // namespace tarvo::bench
