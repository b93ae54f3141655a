#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarvo::bench {

// rpf's fit statistics of one data set, through bench/reference/rpf_fit.R
// (R with Debian's r-cran-rpf): per item S-X2 (SitemFit) and the infit and
// outfit mean squares (rpf.1dim.fit), per examinee it kept the same.
struct RpfItem {
    double sx2 = 0, df = 0, p = 0, infit = 0, infitT = 0, outfit = 0, outfitT = 0;
};
// One rest-score row of an item's S-X2 table before any cells are joined.
struct RpfTableRow {
    std::size_t item = 0, rest = 0;
    double observed[2] = {0, 0}, expected[2] = {0, 0};  // incorrect, correct
};
struct RpfPerson {
    std::size_t index = 0;  // 0-based examinee
    double infit = 0, infitT = 0, outfit = 0, outfitT = 0;
};
struct RpfFit {
    bool ok = false;
    std::vector<RpfItem> items;
    std::vector<RpfTableRow> tables;
    std::vector<RpfPerson> persons;
};

// The inputs go to files under workDir named after name; estimated is the
// number of each item's parameters marked free.
RpfFit RunRpf(const std::string& script, const std::string& workDir, const std::string& name,
              std::span<const std::uint8_t> responses, std::span<const double> a,
              std::span<const double> b, std::span<const double> c, std::span<const int> estimated,
              std::span<const double> theta);

}  // namespace tarvo::bench
