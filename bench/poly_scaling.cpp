// How the cost of a marginal run grows with the test, by item model: the
// GRM and the GPCM of five categories, and a mixed test (every other item
// right/wrong under the 3PL, the rest GRM), against the 3PL on the same
// numbers of examinees and items, each run whole (EM, standard errors,
// scores) in a child process.
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "estimation/polytomous/poly_items.h"
#include "poly_bench.h"

namespace tarvo::bench {

namespace {

struct Size {
    std::size_t persons, items;
    bool large;  // left out by --quick
};
constexpr Size kSizes[] = {{2'000, 50, false}, {5'000, 100, false}, {5'000, 200, false},
                           {5'000, 400, true}, {20'000, 400, true}, {20'000, 1'000, true}};
constexpr int kCategories = 5;

// Responses of persons from N(0, 1) to items of one model (GRM and GPCM
// slopes from 0.6 to 2, thresholds spread over -2..2; 3PL guessing 0.05 to
// 0.25): ID in columns 1-8, one digit per item from column 20.
void WriteResponses(const std::string& model, Size size, const std::string& path) {
    std::mt19937 random(static_cast<std::uint32_t>(size.persons * 7 + size.items));
    std::uniform_real_distribution<double> slope(0.6, 2.0), first(-2.0, -0.8), gap(0.4, 0.9),
        guess(0.05, 0.25), uniform;
    std::normal_distribution<double> normal;
    const bool mixed = model == "mixed";
    const PolytomousModel kind = model == "gpcm" ? PolytomousModel::Gpcm : PolytomousModel::Grm;
    std::vector<poly::Item> items;
    std::vector<double> guessing;
    std::vector<char> isBinary;
    for (std::size_t i = 0; i < size.items; ++i) {
        const bool binary = model == "3pl" || (mixed && i % 2 == 1);
        isBinary.push_back(binary ? 1 : 0);
        poly::Item item =
            poly::ItemOf(binary ? 2 : kCategories, RulesOf(MarginalModel::TwoPL), kind);
        item.a = slope(random);
        item.b[0] = binary ? normal(random) : first(random);
        for (int k = 1; k + 1 < item.categories; ++k) item.b[k] = item.b[k - 1] + gap(random);
        poly::InterceptsFromThresholds(item);
        items.push_back(item);
        guessing.push_back(binary ? guess(random) : 0.0);
    }
    std::ofstream out(path, std::ios::binary);
    std::vector<double> p(kMostCategories);
    std::string line;
    for (std::size_t j = 0; j < size.persons; ++j) {
        const double theta = normal(random);
        char id[48];
        std::snprintf(id, sizeof id, "P%07zu%11s", j, "");
        line = id;
        for (std::size_t i = 0; i < size.items; ++i) {
            const bool binary = isBinary[i] != 0;
            poly::CategoryProbabilities(items[i], theta, p);
            if (binary) p[1] = guessing[i] + (1 - guessing[i]) * p[1];
            double u = uniform(random);
            int k = 0;
            if (binary) {
                k = u < p[1] ? 1 : 0;
            } else {
                while (k + 1 < items[i].categories && u >= p[k]) u -= p[k++];
            }
            line += static_cast<char>('0' + k);
        }
        line += "\r\n";
        out << line;
    }
}

}  // namespace

void PrintScalingSection(const std::string& workDir, unsigned threads, bool quick) {
    std::printf(
        "\nMarginal runs by item model as the test grows (simulated, five categories for the "
        "GRM and GPCM; mixed: every other item 3PL, the rest GRM), %u thread(s), the whole run "
        "with the standard errors (Louis), "
        "processor seconds and peak memory, ratio to the 3PL of the same size:\n\n",
        threads);
    std::printf(
        "| examinees | items | model | processor s | wall s | cycles | peak MB | "
        "processor / 3PL |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    for (const Size size : kSizes) {
        if (quick && size.large) continue;
        double baseline = 0;
        for (const char* model : {"3pl", "grm", "gpcm", "mixed"}) {
            const std::string stem = workDir + "/scale-" + model + "-" +
                                     std::to_string(size.persons) + "x" +
                                     std::to_string(size.items);
            WriteResponses(model, size, stem + ".dat");
            const PolyMeasure m =
                RunPolyInChild(threads, model, stem + ".dat", size.items, stem + "-out.txt");
            if (!m.ok) {
                std::printf("| %zu | %zu | %s | failed: %s |\n", size.persons, size.items, model,
                            m.error.c_str());
                continue;
            }
            if (std::string(model) == "3pl") baseline = m.cpu;
            std::printf("| %zu | %zu | %s | %.2f | %.2f | %d | %.1f | %.2f |\n", size.persons,
                        size.items, model, m.cpu, m.wall, m.cycles,
                        static_cast<double>(m.peakKiB) / 1024,
                        baseline > 0 ? m.cpu / baseline : 0.0);
            std::fflush(stdout);
        }
    }
}

}  // namespace tarvo::bench
