#pragma once

// Deterministic data for tests, samples and benchmarks: a fixed-seed random
// generator, item parameters and abilities drawn from it, and scored
// responses drawn from the 3PL model with D = 1.7. The same seed gives the
// same data with every compiler and standard library (the normal draws are
// computed here, not by <random>). No file I/O.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tarvo::sim {

// xoshiro256** seeded through splitmix64.
class Random {
  public:
    explicit Random(std::uint64_t seed);

    std::uint64_t Next();
    // Uniform on [0, 1) with 53 random bits.
    double Uniform();
    // Uniform on [low, high).
    double Uniform(double low, double high);
    // Standard normal by the Box-Muller transform; draws come in pairs and
    // the second of each pair is kept for the next call.
    double Normal();

  private:
    std::uint64_t state_[4];
    double spareNormal_ = 0;
    bool hasSpare_ = false;
};

struct SimulatedItem {
    double a = 1;
    double b = 0;
    double c = 0;
};

enum class ItemModel { ThreePL, OnePL };

// 3PL: a = exp(0.3 z) clipped to [0.4, 2], b ~ N(0, 1) clipped to
// [-2.5, 2.5], c ~ uniform [0.1, 0.25]. 1PL: a = 1, c = 0, b as for 3PL.
std::vector<SimulatedItem> DrawItems(Random& random, std::size_t itemCount, ItemModel model);

// The items' parameters as three columns, in item order.
struct ItemColumns {
    std::vector<double> a, b, c;
};
ItemColumns ColumnsOf(std::span<const SimulatedItem> items);

// Abilities from N(0, 1).
std::vector<double> DrawAbilities(Random& random, std::size_t personCount);

// P = c + (1 - c) / (1 + exp(-1.7 a (theta - b))), without bounds.
double ProbabilityCorrect(double theta, const SimulatedItem& item);

// Codes 1 (correct) and 0 (incorrect), examinee-major: the code of examinee j
// for item i is at j * items.size() + i. Each code independently becomes 9
// (no valid response) with probability missingFraction.
std::vector<std::uint8_t> DrawResponses(Random& random, std::span<const double> theta,
                                        std::span<const SimulatedItem> items,
                                        double missingFraction = 0);

// One item's codes over all examinees, copied out of examinee-major codes.
std::vector<std::uint8_t> ItemColumn(std::span<const std::uint8_t> responses, std::size_t itemCount,
                                     std::size_t item);

// One examinee's codes for all items: a view into examinee-major codes.
std::span<const std::uint8_t> ExamineeRow(std::span<const std::uint8_t> responses,
                                          std::size_t itemCount, std::size_t examinee);

struct SimulationSettings {
    std::uint64_t seed = 1;
    std::size_t personCount = 1000;
    std::size_t itemCount = 20;
    ItemModel model = ItemModel::ThreePL;
    double missingFraction = 0;
};

struct SimulatedData {
    std::vector<SimulatedItem> items;
    std::vector<double> theta;
    std::vector<std::uint8_t> responses;  // examinee-major, see DrawResponses
};

// Items, then abilities, then responses, all from one generator seeded with
// settings.seed.
SimulatedData Simulate(const SimulationSettings& settings);

}  // namespace tarvo::sim
