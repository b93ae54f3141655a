// tarvo-irt-dif-bench: the IRT DIF screen's time. Simulates two groups of
// right/wrong items under the 2PL (the reference N(0, 1), the focal
// N(0.3, 1); every tenth item with its b 0.5 higher in the focal group),
// 10,000 examinees by 60 items unless given, and prints the screen's wall
// time: one calibration of the groups with every item equal and one per
// item with it free (which forms the observed information for Lord's Wald
// tests), on the worker pool's threads; "none" last times the screen
// without standard errors, so without the Wald tests.
//   tarvo-irt-dif-bench [PERSONS ITEMS THREADS [none]]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "groups/irt_inputs.h"
#include "platform/run_host.h"
#include "run/groups/irt_dif.h"

namespace {

// The refits' messages go to the standard error.
class QuietHost final : public tarvo::HeadlessHost {
  public:
    QuietHost() : HeadlessHost(true) {}
    void ShowMessage(const std::string& text) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
};

tarvo::RunInputs Simulate(std::size_t persons, std::size_t items) {
    std::mt19937 random(20261211);
    std::normal_distribution<double> normal;
    std::uniform_real_distribution<double> uniform, slope(0.7, 1.8), location(-1.5, 1.5);
    std::vector<double> a(items), b(items);
    for (std::size_t i = 0; i < items; ++i) {
        a[i] = slope(random);
        b[i] = location(random);
    }
    std::vector<std::uint8_t> codes;
    std::vector<std::int32_t> group;
    codes.reserve(persons * items);
    for (std::size_t j = 0; j < persons; ++j) {
        const int g = static_cast<int>(j % 2);
        const double theta = (g == 1 ? 0.3 : 0.0) + normal(random);
        group.push_back(g);
        for (std::size_t i = 0; i < items; ++i) {
            const double shift = g == 1 && i % 10 == 0 ? 0.5 : 0.0;
            const double p = 1 / (1 + std::exp(-1.7 * a[i] * (theta - b[i] - shift)));
            codes.push_back(uniform(random) < p ? 1 : 0);
        }
    }
    return tarvo::bench::InputsOf(items, codes, group);
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t persons = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 10000;
    const std::size_t items = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 60;
    const unsigned threads = argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 0;
    const bool wald = !(argc > 4 && std::string(argv[4]) == "none");
    if (persons < 2 || items < 2) {
        std::fprintf(stderr, "usage: tarvo-irt-dif-bench [PERSONS ITEMS THREADS [none]]\n");
        return 2;
    }
    const tarvo::RunInputs inputs = Simulate(persons, items);
    tarvo::RunRequest request = tarvo::bench::IrtScreenRequest(threads);
    if (!wald) request.marginal.standardErrors = tarvo::StandardErrorMethod::None;
    QuietHost host;
    const auto start = std::chrono::steady_clock::now();
    const tarvo::IrtDifScreen screen = tarvo::ScreenIrtDif(request, inputs, host, {});
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!screen.problem.empty()) {
        std::fprintf(stderr, "the screen was not formed: %s\n", screen.problem.c_str());
        return 1;
    }
    std::size_t flagged = 0, planted = 0, waldFlagged = 0, waldPlanted = 0;
    for (const tarvo::IrtDifRow& row : screen.rows) {
        flagged += row.flagged ? 1 : 0;
        planted += row.flagged && row.item % 10 == 0 ? 1 : 0;
        const bool byWald = row.wald.size() > 1 && row.wald[1].flagged;
        waldFlagged += byWald ? 1 : 0;
        waldPlanted += byWald && row.item % 10 == 0 ? 1 : 0;
    }
    std::printf(
        "IRT DIF screen: %zu examinees x %zu items, 2 groups (2PL), %zu refits: %.1f s "
        "(%.2f s per refit, %s threads); %zu flagged, %zu of the %zu planted\n",
        persons, items, screen.rows.size() + 1, seconds,
        seconds / static_cast<double>(screen.rows.size() + 1),
        threads == 0 ? "all" : std::to_string(threads).c_str(), flagged, planted, (items + 9) / 10);
    if (wald) {
        std::printf("Lord's Wald tests: %zu flagged, %zu of the %zu planted\n", waldFlagged,
                    waldPlanted, (items + 9) / 10);
    } else {
        std::printf("Lord's Wald tests not formed: %s\n", screen.waldProblem.c_str());
    }
    return 0;
}
