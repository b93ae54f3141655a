#include "estep_floor.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "thread_time.h"

namespace tarvo::bench {

namespace {

constexpr std::size_t kPoints = 64;    // 61 points padded to the lanes
constexpr std::size_t kPatterns = 27;  // per group of three items
constexpr std::size_t kSampled = 20'000;
constexpr int kRepeats = 3;

typedef double Quad __attribute__((vector_size(32)));

// The rows' traffic in whole 32-byte loads and stores: the widest moves
// the E-step's own kernels make here.
#if defined(__x86_64__) && defined(__GNUC__)
#define TARVO_FLOOR_TARGET __attribute__((target("avx2")))
#else
#define TARVO_FLOOR_TARGET
#endif

TARVO_FLOOR_TARGET double RowTraffic(const std::vector<double>& tables, std::vector<double>& sums,
                                     const std::vector<std::uint8_t>& patterns, std::size_t groups,
                                     std::size_t persons) {
    Quad w[kPoints / 4];
    double sink = 0;
    for (std::size_t j = 0; j < persons; ++j) {
        const std::uint8_t* own = &patterns[j * groups];
        for (Quad& v : w) v = Quad{} + 0.0;
        for (std::size_t g = 0; g < groups; ++g) {
            const double* row = &tables[(g * kPatterns + own[g]) * kPoints];
            for (std::size_t v = 0; v < kPoints / 4; ++v) {
                Quad part;
                __builtin_memcpy(&part, row + 4 * v, sizeof part);
                w[v] += part;
            }
        }
        for (std::size_t g = 0; g < groups; ++g) {
            double* row = &sums[(g * kPatterns + own[g]) * kPoints];
            for (std::size_t v = 0; v < kPoints / 4; ++v) {
                Quad part;
                __builtin_memcpy(&part, row + 4 * v, sizeof part);
                part += w[v];
                __builtin_memcpy(row + 4 * v, &part, sizeof part);
            }
        }
        sink += w[0][0];
    }
    return sink;
}

}  // namespace

double MeasuredEStepFloorSeconds(std::size_t persons, std::size_t items) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (!__builtin_cpu_supports("avx2")) return 0;
#endif
    const std::size_t groups = (items + 2) / 3;
    const std::size_t sampled = std::min(persons, kSampled);
    std::vector<double> tables(groups * kPatterns * kPoints, 1e-3), sums(tables.size(), 0.0);
    std::vector<std::uint8_t> patterns(sampled * groups);
    std::mt19937 draw(7);
    // The patterns of three answered items: digits 0 and 1 only.
    for (std::uint8_t& p : patterns) {
        const unsigned bits = draw();
        p = static_cast<std::uint8_t>((bits & 1) + 3 * ((bits >> 1) & 1) + 9 * ((bits >> 2) & 1));
    }
    double best = 0, sink = 0;
    for (int r = 0; r < kRepeats; ++r) {
        const double start = ThreadCpuSeconds();
        sink += RowTraffic(tables, sums, patterns, groups, sampled);
        const double seconds = ThreadCpuSeconds() - start;
        best = r == 0 ? seconds : std::min(best, seconds);
    }
    // Keeps the traffic from being optimised away.
    if (sink == 12345.678) best = 0;
    return best * static_cast<double>(persons) / static_cast<double>(sampled);
}

}  // namespace tarvo::bench
