// The recovery study of the polytomous models: simulated GRM, GPCM and PCM
// data of 10 four-category items at three sample sizes, fitted through the
// whole run, RMSE of a and of the thresholds over the replicates.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench_data.h"
#include "estimation/polytomous/poly_items.h"
#include "item_values.h"
#include "poly_bench.h"
#include "quiet_host.h"
#include "report/run_report.h"
#include "request/option_table.h"
#include "request/request_parser.h"
#include "run/calibration_run.h"

namespace tarvo::bench {

namespace {

constexpr int kItems = 10;
constexpr int kCategories = 4;
constexpr std::size_t kSizes[] = {500, 2'000, 8'000};

// The generating items of one model, the same in every replicate.
std::vector<poly::Item> Truth(PolytomousModel model, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> slope(0.7, 1.6), first(-1.8, -0.6), gap(0.6, 1.2),
        centre(-0.8, 0.8), spread(-0.3, 0.3);
    std::vector<poly::Item> items;
    for (int i = 0; i < kItems; ++i) {
        poly::Item item = poly::ItemOf(kCategories, RulesOf(MarginalModel::TwoPL), model);
        item.a = model == PolytomousModel::Pcm ? 1.0 : slope(random);
        if (model == PolytomousModel::Grm) {
            item.b[0] = first(random);
            for (int k = 1; k < kCategories - 1; ++k) item.b[k] = item.b[k - 1] + gap(random);
        } else {
            // Steps around a centre, not always in order.
            const double c = centre(random);
            for (int k = 0; k < kCategories - 1; ++k) item.b[k] = c + (k - 1) + spread(random);
        }
        poly::InterceptsFromThresholds(item);
        items.push_back(item);
    }
    return items;
}

// A response file of the items for persons from N(0, 1): ID in columns
// 1-8, one score digit per item from column 20, CR LF.
void WriteResponses(const std::vector<poly::Item>& items, std::size_t persons, std::uint32_t seed,
                    const std::string& path) {
    std::mt19937 random(seed);
    std::normal_distribution<double> normal;
    std::uniform_real_distribution<double> uniform;
    std::vector<double> p(kMostCategories);
    std::ofstream out(path, std::ios::binary);
    char id[32];
    for (std::size_t j = 0; j < persons; ++j) {
        const double theta = normal(random);
        std::snprintf(id, sizeof id, "P%07zu", j + 1);
        std::string line = std::string(id) + std::string(11, ' ');
        for (const poly::Item& item : items) {
            poly::CategoryProbabilities(item, theta, p);
            double u = uniform(random);
            int k = 0;
            while (k + 1 < item.categories && u >= p[k]) u -= p[k++];
            line += static_cast<char>('0' + k);
        }
        out << line << "\r\n";
    }
}

// The a and thresholds of every item row of a polytomous result file.
std::vector<std::vector<double>> PolytomousEstimates(const std::string& path) {
    std::vector<std::vector<double>> rows;
    bool header = true;
    for (const std::string& line : Lines(ReadWhole(path))) {
        if (line.empty() || line == "\r") break;
        if (header) {
            header = false;
            continue;
        }
        std::vector<std::string> cells;
        std::stringstream cut(line);
        for (std::string cell; std::getline(cut, cell, ',');) cells.push_back(cell);
        if (cells.size() < 5 + kCategories - 1) return {};
        std::vector<double> values;
        for (int c = 4; c < 5 + kCategories - 1; ++c) values.push_back(std::atof(cells[c].c_str()));
        rows.push_back(values);
    }
    return rows;
}

}  // namespace

void PrintRecoverySection(const std::string& workDir, unsigned threads, int replicates) {
    std::printf(
        "\nRecovery of generating polytomous items (%d items, %d categories, theta ~ N(0, 1)), "
        "%d replicates per size, default settings, %u threads:\n\n",
        kItems, kCategories, replicates, threads);
    std::printf(
        "| model | examinees | fits | RMSE a | RMSE thresholds | mean cycles | s per fit |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    const std::pair<const char*, PolytomousModel> models[] = {{"grm", PolytomousModel::Grm},
                                                              {"gpcm", PolytomousModel::Gpcm},
                                                              {"pcm", PolytomousModel::Pcm}};
    for (const auto& [name, model] : models) {
        const std::vector<poly::Item> truth = Truth(model, 7);
        for (const std::size_t persons : kSizes) {
            double squaresA = 0, squaresB = 0, cycles = 0, seconds = 0;
            int fits = 0, countA = 0, countB = 0;
            for (int r = 0; r < replicates; ++r) {
                const std::string data = workDir + "/poly-recovery.dat";
                const std::string output = workDir + "/poly-recovery.csv";
                WriteResponses(truth, persons, static_cast<std::uint32_t>(1000 * r + persons),
                               data);
                request::RequestTexts texts;
                const std::pair<const char*, std::string> options[] = {
                    {"response-file", data},
                    {"item-count", std::to_string(kItems)},
                    {"response-start", "20"},
                    {"examinee-id-start", "1"},
                    {"examinee-id-length", "8"},
                    {"output-file", output},
                    {"method", "mml"},
                    {"model", name},
                    {"threads", std::to_string(threads)}};
                for (const auto& [option, value] : options)
                    request::ApplyOption(option, value, texts);
                const request::RequestCheck check = request::ParseRequest(texts);
                if (!check.request) continue;
                QuietHost host;
                RunReport report;
                const auto start = std::chrono::steady_clock::now();
                if (RunCalibration(*check.request, host, &report) != RunEnd::Finished) continue;
                seconds +=
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                const auto estimates = PolytomousEstimates(output);
                if (estimates.size() != truth.size()) continue;
                ++fits;
                cycles += report.loop.passes;
                for (std::size_t i = 0; i < truth.size(); ++i) {
                    const double da = estimates[i][0] - truth[i].a;
                    squaresA += da * da;
                    ++countA;
                    for (int k = 0; k < kCategories - 1; ++k) {
                        const double db = estimates[i][1 + k] - truth[i].b[k];
                        squaresB += db * db;
                        ++countB;
                    }
                }
            }
            if (fits == 0) {
                std::printf("| %s | %zu | no fit finished |\n", name, persons);
                continue;
            }
            std::printf("| %s | %zu | %d | %.4f | %.4f | %.1f | %.3f |\n", name, persons, fits,
                        std::sqrt(squaresA / countA), std::sqrt(squaresB / countB), cycles / fits,
                        seconds / fits);
            std::fflush(stdout);
        }
    }
}

}  // namespace tarvo::bench
