#include "simulator.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <numbers>

namespace tarvo::sim {

namespace {

std::uint64_t SplitMix64(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::uint64_t RotateLeft(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

}  // namespace

Random::Random(std::uint64_t seed) {
    for (std::uint64_t& word : state_) word = SplitMix64(seed);
}

std::uint64_t Random::Next() {
    const std::uint64_t result = RotateLeft(state_[1] * 5, 7) * 9;
    const std::uint64_t t = state_[1] << 17;
    state_[2] ^= state_[0];
    state_[3] ^= state_[1];
    state_[1] ^= state_[2];
    state_[0] ^= state_[3];
    state_[2] ^= t;
    state_[3] = RotateLeft(state_[3], 45);
    return result;
}

double Random::Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

double Random::Uniform(double low, double high) { return low + (high - low) * Uniform(); }

double Random::Normal() {
    if (hasSpare_) {
        hasSpare_ = false;
        return spareNormal_;
    }
    // 1 - Uniform() lies in (0, 1], so the logarithm is finite.
    const double radius = std::sqrt(-2 * std::log(1 - Uniform()));
    const double angle = 2 * std::numbers::pi * Uniform();
    spareNormal_ = radius * std::sin(angle);
    hasSpare_ = true;
    return radius * std::cos(angle);
}

std::vector<SimulatedItem> DrawItems(Random& random, std::size_t itemCount, ItemModel model) {
    std::vector<SimulatedItem> items(itemCount);
    for (SimulatedItem& item : items) {
        if (model == ItemModel::ThreePL) {
            item.a = std::clamp(std::exp(0.3 * random.Normal()), 0.4, 2.0);
            item.b = std::clamp(random.Normal(), -2.5, 2.5);
            item.c = random.Uniform(0.1, 0.25);
        } else {
            item.b = std::clamp(random.Normal(), -2.5, 2.5);
        }
    }
    return items;
}

ItemColumns ColumnsOf(std::span<const SimulatedItem> items) {
    ItemColumns columns;
    for (const SimulatedItem& item : items) {
        columns.a.push_back(item.a);
        columns.b.push_back(item.b);
        columns.c.push_back(item.c);
    }
    return columns;
}

std::vector<double> DrawAbilities(Random& random, std::size_t personCount) {
    std::vector<double> theta(personCount);
    for (double& value : theta) value = random.Normal();
    return theta;
}

double ProbabilityCorrect(double theta, const SimulatedItem& item) {
    return item.c + (1 - item.c) / (1 + std::exp(-1.7 * item.a * (theta - item.b)));
}

std::vector<std::uint8_t> DrawResponses(Random& random, std::span<const double> theta,
                                        std::span<const SimulatedItem> items,
                                        double missingFraction) {
    std::vector<std::uint8_t> responses;
    responses.reserve(theta.size() * items.size());
    for (const double ability : theta) {
        for (const SimulatedItem& item : items) {
            std::uint8_t code = random.Uniform() < ProbabilityCorrect(ability, item) ? 1 : 0;
            // The missing draw is made only when asked for, so data without
            // missing codes do not depend on this option.
            if (missingFraction > 0 && random.Uniform() < missingFraction) code = 9;
            responses.push_back(code);
        }
    }
    return responses;
}

std::vector<std::uint8_t> ItemColumn(std::span<const std::uint8_t> responses, std::size_t itemCount,
                                     std::size_t item) {
    assert(itemCount > 0 && item < itemCount && responses.size() % itemCount == 0);
    std::vector<std::uint8_t> column;
    column.reserve(responses.size() / itemCount);
    for (std::size_t at = item; at < responses.size(); at += itemCount) {
        column.push_back(responses[at]);
    }
    return column;
}

std::span<const std::uint8_t> ExamineeRow(std::span<const std::uint8_t> responses,
                                          std::size_t itemCount, std::size_t examinee) {
    assert((examinee + 1) * itemCount <= responses.size());
    return responses.subspan(examinee * itemCount, itemCount);
}

SimulatedData Simulate(const SimulationSettings& settings) {
    Random random(settings.seed);
    SimulatedData data;
    data.items = DrawItems(random, settings.itemCount, settings.model);
    data.theta = DrawAbilities(random, settings.personCount);
    data.responses = DrawResponses(random, data.theta, data.items, settings.missingFraction);
    return data;
}

}  // namespace tarvo::sim
