#pragma once

// Simulated responses for the library's tests, in memory and as the CSV
// file the runner reads them from.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tarvo/tarvo.hpp"

namespace tarvo::test_support {

// Responses of a 2PL-like simulation with a few missing: scores 0..maxScore
// per item, as characters, examinee after examinee.
struct Data {
    std::size_t examinees = 0, items = 0;
    std::vector<char> cells;
    std::vector<std::string> ids, names;
};

inline Data Simulate(std::size_t examinees, std::size_t items, int maxScore, std::uint64_t seed) {
    Data data;
    data.examinees = examinees;
    data.items = items;
    std::uint64_t state = seed;
    auto uniform = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state >> 11) / 9007199254740992.0;
    };
    for (std::size_t i = 0; i < items; ++i) data.names.push_back("q" + std::to_string(i + 1));
    for (std::size_t j = 0; j < examinees; ++j) {
        data.ids.push_back("P" + std::to_string(1000 + j));
        const double theta = 4 * (uniform() + uniform() + uniform()) / 3 - 2;
        for (std::size_t i = 0; i < items; ++i) {
            int score = 0;
            for (int k = 1; k <= maxScore; ++k) {
                const double b = -1.5 + 3.0 * static_cast<double>(i) / static_cast<double>(items) +
                                 (k - 1) * 0.6;
                if (uniform() < 1 / (1 + std::exp(-1.7 * (theta - b)))) score = k;
            }
            data.cells.push_back(uniform() < 0.02 ? ' ' : static_cast<char>('0' + score));
        }
    }
    return data;
}

inline std::string AsCsv(const Data& data) {
    std::string text = "id";
    for (const std::string& name : data.names) text += "," + name;
    text += "\n";
    for (std::size_t j = 0; j < data.examinees; ++j) {
        text += data.ids[j];
        for (std::size_t i = 0; i < data.items; ++i) {
            const char cell = data.cells[j * data.items + i];
            text += ",";
            if (cell != ' ') text += cell;
        }
        text += "\n";
    }
    return text;
}

inline lib::Responses ResponsesOf(const Data& data) {
    lib::Responses responses;
    responses.examinees = data.examinees;
    responses.items = data.items;
    responses.cells = data.cells.data();
    responses.itemNames = data.names;
    responses.ids = data.ids;
    return responses;
}

}  // namespace tarvo::test_support
