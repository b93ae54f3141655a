#include "item_values.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "bench_data.h"

namespace tarvo::bench {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<ItemValues> Truth(const std::string& itemFile) {
    std::vector<ItemValues> items;
    for (const std::string& line : Lines(ReadWhole(itemFile))) {
        if (line.size() < 50) continue;
        ItemValues v;
        v.a = std::atof(line.substr(21, 9).c_str());
        v.b = std::atof(line.substr(31, 9).c_str());
        v.c = std::atof(line.substr(41, 9).c_str());
        items.push_back(v);
    }
    return items;
}

std::vector<ItemValues> Estimates(const std::string& resultFile) {
    std::vector<ItemValues> items;
    const auto lines = Lines(ReadWhole(resultFile));
    for (std::size_t n = 1; n < lines.size() && !lines[n].empty(); ++n) {
        std::vector<double> fields;
        std::istringstream row(lines[n]);
        for (std::string field; std::getline(row, field, ',');) {
            fields.push_back(std::atof(field.c_str()));
        }
        if (fields.size() < 9) break;
        items.push_back({fields[3], fields[4], fields[5], fields[6], fields[7], fields[8]});
    }
    return items;
}

Recovery Recover(const std::vector<ItemValues>& truth, const std::vector<ItemValues>& fit) {
    Recovery r;
    const std::size_t n = std::min(truth.size(), fit.size());
    for (int u = 0; u < 3; ++u) {
        double squares = 0, zSum = 0, zSquares = 0;
        int zCount = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double est = u == 0 ? fit[i].a : u == 1 ? fit[i].b : fit[i].c;
            const double tru = u == 0 ? truth[i].a : u == 1 ? truth[i].b : truth[i].c;
            const double se = u == 0 ? fit[i].seea : u == 1 ? fit[i].seeb : fit[i].seec;
            squares += (est - tru) * (est - tru);
            if (se > 0) {
                const double z = (est - tru) / se;
                zSum += z;
                zSquares += z * z;
                ++zCount;
            }
        }
        r.rmse[u] = n ? std::sqrt(squares / n) : NAN;
        r.zSd[u] = zCount > 1 ? std::sqrt((zSquares - zSum * zSum / zCount) / (zCount - 1)) : NAN;
    }
    return r;
}

}  // namespace tarvo::bench
