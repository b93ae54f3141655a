#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tarvo::dif {

// The code of a missing response in the scored responses.
constexpr std::uint8_t kMissing = 9;

// The scored responses a screen reads: itemCount codes per examinee, examinee
// after examinee, each a score 0..8 or kMissing; each examinee's group, an
// index below groupCount or negative where unknown (left out of every
// comparison).
struct DifData {
    std::size_t itemCount = 0;
    std::span<const std::uint8_t> codes;
    std::span<const std::int32_t> group;
    std::size_t groupCount = 0;

    std::size_t personCount() const { return group.size(); }
};

// What an examinee's matching score counts besides the items of the matching
// set: with Total the studied item always counts (Holland and Thayer's
// criterion), with Rest it never does.
enum class Matching { Total, Rest };

// One item's responses of one comparison, by stratum: count(s, g, y) is the
// number of examinees of the reference (g = 0) or focal (g = 1) group whose
// matching score is s and whose score on the item is y (0..categories-1).
struct ItemStrata {
    std::size_t strata = 0;
    std::size_t categories = 0;
    std::vector<double> counts;  // [(s * 2 + g) * categories + y]

    ItemStrata() = default;
    ItemStrata(std::size_t strataCount, std::size_t categoryCount)
        : strata(strataCount),
          categories(categoryCount),
          counts(strataCount * 2 * categoryCount, 0.0) {}

    double& at(std::size_t s, std::size_t g, std::size_t y) {
        return counts[(s * 2 + g) * categories + y];
    }
    double at(std::size_t s, std::size_t g, std::size_t y) const {
        return counts[(s * 2 + g) * categories + y];
    }
};

}  // namespace tarvo::dif
