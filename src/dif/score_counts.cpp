#include "dif/score_counts.h"

#include <algorithm>
#include <atomic>
#include <numeric>

namespace tarvo::dif {

namespace {

// Examinees per task: large enough that handing out a task costs nothing,
// small enough that both threads end together.
constexpr std::size_t kBlock = 8192;

// Runs body(first, last, thread) over blocks of examinees on every thread.
template <typename Body>
void OverBlocks(std::size_t personCount, WorkerPool& pool, Body&& body) {
    const std::size_t blocks = (personCount + kBlock - 1) / kBlock;
    std::atomic<std::size_t> next{0};
    pool.OnAllThreads([&](unsigned thread) {
        for (std::size_t b; (b = next.fetch_add(1, std::memory_order_relaxed)) < blocks;) {
            body(b * kBlock, std::min(personCount, (b + 1) * kBlock), thread);
        }
    });
}

}  // namespace

std::vector<int> ItemCategories(const DifData& data, WorkerPool& pool) {
    const std::size_t items = data.itemCount;
    std::vector<std::vector<int>> highest(pool.Threads(), std::vector<int>(items, 1));
    OverBlocks(data.personCount(), pool, [&](std::size_t first, std::size_t last, unsigned t) {
        std::vector<int>& mine = highest[t];
        for (std::size_t j = first; j < last; ++j) {
            const std::uint8_t* row = data.codes.data() + j * items;
            for (std::size_t i = 0; i < items; ++i) {
                if (row[i] != kMissing && row[i] > mine[i]) mine[i] = row[i];
            }
        }
    });
    std::vector<int> categories(items, 2);
    for (const std::vector<int>& mine : highest) {
        for (std::size_t i = 0; i < items; ++i)
            categories[i] = std::max(categories[i], mine[i] + 1);
    }
    return categories;
}

ScoreCounts CountScores(const DifData& data, std::span<const int> categories,
                        std::span<const char> inMatching, WorkerPool& pool) {
    ScoreCounts out;
    const std::size_t items = data.itemCount;
    out.itemCount = items;
    out.groupCount = data.groupCount;
    out.categories.assign(categories.begin(), categories.end());
    out.inMatching.assign(inMatching.begin(), inMatching.end());
    std::size_t highestTotal = 0, most = 2;
    for (const int k : categories) {
        highestTotal += static_cast<std::size_t>(k - 1);
        most = std::max(most, static_cast<std::size_t>(k));
    }
    out.scoreCount = highestTotal + 1;
    out.categoryCount = most;
    const std::size_t size = items * out.groupCount * out.scoreCount * out.categoryCount;
    if (size == 0) return out;

    std::vector<std::vector<std::uint32_t>> tables(pool.Threads());
    tables[0].assign(size, 0);
    const std::size_t rowStride = out.scoreCount * out.categoryCount;
    OverBlocks(data.personCount(), pool, [&](std::size_t first, std::size_t last, unsigned t) {
        std::vector<std::uint32_t>& table = tables[t];
        if (table.empty()) table.assign(size, 0);
        std::uint32_t* base = table.data();
        for (std::size_t j = first; j < last; ++j) {
            const std::int32_t g = data.group[j];
            if (g < 0 || static_cast<std::size_t>(g) >= out.groupCount) continue;
            const std::uint8_t* row = data.codes.data() + j * items;
            std::size_t score = 0;
            for (std::size_t i = 0; i < items; ++i) {
                if (row[i] != kMissing && inMatching[i]) score += row[i];
            }
            const std::size_t offset =
                static_cast<std::size_t>(g) * rowStride + score * out.categoryCount;
            const std::size_t itemStride = out.groupCount * rowStride;
            for (std::size_t i = 0; i < items; ++i) {
                if (row[i] != kMissing) ++base[i * itemStride + offset + row[i]];
            }
        }
    });
    out.counts = std::move(tables[0]);
    for (std::size_t t = 1; t < tables.size(); ++t) {
        if (tables[t].empty()) continue;
        for (std::size_t k = 0; k < size; ++k) out.counts[k] += tables[t][k];
    }
    return out;
}

ItemStrata StrataOf(const ScoreCounts& counts, std::size_t item, Matching matching,
                    std::size_t reference, std::size_t focal) {
    const auto categories = static_cast<std::size_t>(counts.categories[item]);
    ItemStrata strata(counts.scoreCount, categories);
    const bool held = counts.inMatching[item] != 0;
    const std::size_t groups[2] = {reference, focal};
    for (std::size_t g = 0; g < 2; ++g) {
        for (std::size_t s = 0; s < counts.scoreCount; ++s) {
            for (std::size_t y = 0; y < categories; ++y) {
                const std::uint32_t n = counts.counts[counts.Index(item, groups[g], s, y)];
                if (n == 0) continue;
                std::size_t stratum = s;
                if (matching == Matching::Total && !held) stratum = s + y;
                if (matching == Matching::Rest && held) stratum = s - y;
                strata.at(stratum, g, y) += n;
            }
        }
    }
    return strata;
}

}  // namespace tarvo::dif
