#include "estimation/polytomous/inputs/poly_categories.h"

namespace tarvo::poly {

std::vector<CategoryCounts> CountCategories(std::span<const std::uint8_t> codes,
                                            std::size_t itemCount) {
    std::vector<CategoryCounts> counts(itemCount, CategoryCounts{});
    if (itemCount == 0) return counts;
    for (std::size_t at = 0; at < codes.size(); ++at) {
        const std::uint8_t code = codes[at];
        if (code < kMostCategories) ++counts[at % itemCount][code];
    }
    return counts;
}

int CategoriesOf(const CategoryCounts& counts) {
    for (int k = kMostCategories - 1; k >= 0; --k) {
        if (counts[k] > 0) return k + 1;
    }
    return 0;
}

namespace {

bool ScoredByKey(std::span<const char> keyed, std::size_t i) {
    return i < keyed.size() && keyed[i] != 0;
}

}  // namespace

std::string EmptyCategoryError(std::span<const CategoryCounts> counts,
                               std::span<const char> keyed) {
    for (std::size_t i = 0; i < counts.size(); ++i) {
        if (ScoredByKey(keyed, i)) continue;
        const int categories = CategoriesOf(counts[i]);
        for (int k = 0; k + 1 < categories; ++k) {
            if (counts[i][k] != 0) continue;
            return "ERROR Item " + std::to_string(i + 1) + " has no response in category " +
                   std::to_string(k) + " of its scores 0 to " + std::to_string(categories - 1) +
                   ": its thresholds cannot be estimated. Recode its scores, or merge the "
                   "unused categories (--collapse-empty).";
        }
    }
    return {};
}

std::vector<std::string> CollapseEmptyCategories(std::span<std::uint8_t> codes,
                                                 std::vector<CategoryCounts>& counts,
                                                 std::span<const char> keyed) {
    const std::size_t itemCount = counts.size();
    std::vector<std::string> changes;
    std::vector<std::array<std::uint8_t, kMostCategories>> renumbered(itemCount);
    std::vector<char> changed(itemCount, 0);
    for (std::size_t i = 0; i < itemCount; ++i) {
        if (ScoredByKey(keyed, i)) continue;
        std::uint8_t next = 0;
        std::string dropped;
        const int categories = CategoriesOf(counts[i]);
        for (int k = 0; k < kMostCategories; ++k) {
            renumbered[i][k] = next;
            if (counts[i][k] > 0) {
                ++next;
            } else if (k < categories) {
                dropped += (dropped.empty() ? "" : ", ") + std::to_string(k);
            }
        }
        if (dropped.empty()) continue;
        changed[i] = 1;
        CategoryCounts merged{};
        for (int k = 0; k < kMostCategories; ++k) merged[renumbered[i][k]] += counts[i][k];
        counts[i] = merged;
        changes.push_back("Item " + std::to_string(i + 1) + ": the unused categories " + dropped +
                          " were merged away; its scores now run from 0 to " +
                          std::to_string(next - 1) + ".");
    }
    if (changes.empty() || itemCount == 0) return changes;
    for (std::size_t at = 0; at < codes.size(); ++at) {
        const std::size_t i = at % itemCount;
        if (changed[i] && codes[at] < kMostCategories) codes[at] = renumbered[i][codes[at]];
    }
    return changes;
}

}  // namespace tarvo::poly
