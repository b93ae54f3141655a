// Whole 4PL runs through the parser and the run on a simulated test
// (bench/reference/openmx_4pl_fit.R: 3,000 examinees, 20 items, seed 4004):
// the maximum OpenMx reaches, with and without the default priors, and the
// result file's upper asymptote columns.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "report/run_report.h"
#include "request/option_table.h"
#include "request/request_parser.h"
#include "run/calibration_run.h"
#include "support/scripted_host.h"
#include "support/temp_dir.h"

namespace tarvo {
namespace {

using Options = std::vector<std::pair<std::string, std::string>>;

struct Finished {
    RunEnd end = RunEnd::Finished;
    RunReport report;
    test_support::ScriptedHost host;
};

Finished RunWith(const Options& options) {
    request::RequestTexts texts;
    for (const auto& [name, value] : options) {
        EXPECT_EQ(request::ApplyOption(name, value, texts), "") << name;
    }
    const request::RequestCheck check = request::ParseRequest(texts);
    EXPECT_TRUE(check.request.has_value()) << check.message;
    Finished run;
    if (!check.request) return run;
    run.end = RunCalibration(*check.request, run.host, &run.report);
    return run;
}

Options FourPL(const std::string& output) {
    return {{"response-file", std::string(TARVO_SOURCE_DIR) + "/tests/data/models/sim_4pl.dat"},
            {"item-count", "20"},
            {"response-start", "20"},
            {"examinee-id-start", "1"},
            {"examinee-id-length", "8"},
            {"output-file", output},
            {"method", "mml"},
            {"model", "4pl"},
            {"em-tolerance", "1e-6"}};
}

// The result file's item rows, the header first.
std::vector<std::vector<std::string>> ItemRows(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) break;
        std::vector<std::string> cells;
        std::stringstream cut(line);
        for (std::string cell; std::getline(cut, cell, ',');) cells.push_back(cell);
        rows.push_back(cells);
    }
    return rows;
}

double Cell(const std::vector<std::vector<std::string>>& rows, std::size_t item,
            const std::string& column) {
    const std::vector<std::string>& header = rows.front();
    for (std::size_t k = 0; k < header.size(); ++k) {
        if (header[k] == column) return std::stod(rows[item][k]);
    }
    ADD_FAILURE() << "no column " << column;
    return NAN;
}

// OpenMx 2.21.1 with rpf 1.0.11 (R 4.2.2, one thread), rpf.drm with slope,
// intercept, logit g and logit u free, mxComputeEM over 61 points on
// [-6, 6] of N(0, 1), Newton-Raphson M-step; with the priors log a ~
// N(0, 0.5^2), c ~ Beta(5, 17), u ~ Beta(17, 5) on the probabilities: the
// data's log-likelihood at the posterior's maximum and items 1 to 3 as
// a = slope / 1.7, b, c, u.
constexpr double kWithPriorsLogLikelihood = -34151.141397;
const double kWithPriors[3][4] = {{1.40370075972, -0.66445548295, 0.25149236612, 0.94460008651},
                                  {1.26476686120, -0.53165262267, 0.20829532449, 0.86422634443},
                                  {1.43079438368, -1.15243197567, 0.13020942684, 0.92452222137}};

TEST(FourPLRun, ReachesOpenMxMaximumWithTheDefaultPriors) {
    test_support::TempDir dir;
    const std::string output = dir.File("4pl.csv");
    const Finished run = RunWith(FourPL(output));
    ASSERT_EQ(run.end, RunEnd::Finished);
    EXPECT_NEAR(run.report.logLikelihood, kWithPriorsLogLikelihood, 0.01);
    const auto rows = ItemRows(output);
    ASSERT_EQ(rows.size(), 21u);
    EXPECT_EQ(rows[0][7], "u");
    EXPECT_EQ(rows[0].back(), "seeu");
    const char* names[4] = {"a", "b1", "c", "u"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(rows[i + 1][2], "4pl");
        for (int k = 0; k < 4; ++k) {
            EXPECT_NEAR(Cell(rows, i + 1, names[k]), kWithPriors[i][k], 0.002)
                << "item " << i + 1 << " " << names[k];
        }
        EXPECT_GT(Cell(rows, i + 1, "seeu"), 0);
        EXPECT_LT(Cell(rows, i + 1, "seeu"), 0.1);
    }
    // The report carries u beside a, b, c.
    ASSERT_EQ(run.report.itemRows.size(), 20u);
    EXPECT_NEAR(run.report.itemRows[0].u, kWithPriors[0][3], 0.001);
    EXPECT_EQ(run.report.model, "4pl");
}

// The same OpenMx fit without priors stops after 17 EM cycles at
// -34178.361382, with the c of items 5 and 3 sliding to 0 (their logits
// without end): its maximum is at least that. Our fit goes on to a higher
// one; the likelihood is the same function (the fit with priors gives the
// same log-likelihood to 0.001 at the same estimates).
constexpr double kWithoutPriorsOpenMx = -34178.361382;

TEST(FourPLRun, WithoutPriorsReachesAtLeastOpenMxMaximum) {
    test_support::TempDir dir;
    const std::string output = dir.File("4pl.csv");
    Options options = FourPL(output);
    options.insert(options.end(), {{"prior-a", "none"}, {"prior-c", "none"}, {"prior-u", "none"}});
    const Finished run = RunWith(options);
    ASSERT_EQ(run.end, RunEnd::Finished);
    EXPECT_GT(run.report.logLikelihood, kWithoutPriorsOpenMx - 0.01);
    // c at the end of its range has no standard error: the cap.
    const auto rows = ItemRows(output);
    ASSERT_EQ(rows.size(), 21u);
    EXPECT_LT(Cell(rows, 5, "c"), 0.001);
}

// --model 4pl takes the table's engine with its priors on; --prior-u is
// checked as --prior-c is, and acts only for a model with an upper
// asymptote.
TEST(FourPLRun, RequestTakesTheUpperAsymptotesPrior) {
    const auto parse = [](const Options& options) {
        request::RequestTexts texts;
        for (const auto& [name, value] : options) {
            EXPECT_EQ(request::ApplyOption(name, value, texts), "") << name;
        }
        return request::ParseRequest(texts);
    };
    request::RequestCheck check = parse({{"method", "mml"}, {"model", "4pl"}});
    ASSERT_TRUE(check.request) << check.message;
    const MarginalSettings& m = check.request->marginal;
    EXPECT_EQ(m.model, MarginalModel::FourPL);
    EXPECT_TRUE(FitsByModelTable(m));
    EXPECT_TRUE(PriorsFor(m).u.on);
    EXPECT_EQ(PriorsFor(m).u.alpha, 17);
    EXPECT_TRUE(PriorsFor(m).c.on);

    check = parse({{"method", "mml"}, {"model", "4pl"}, {"prior-u", "none"}});
    ASSERT_TRUE(check.request);
    EXPECT_FALSE(PriorsFor(check.request->marginal).u.on);

    check = parse({{"method", "mml"}, {"model", "4pl"}, {"prior-u", "5,0.5"}});
    EXPECT_FALSE(check.request);
    EXPECT_EQ(check.field, request::RequestField::PriorUBeta);

    check = parse({{"method", "mml"}, {"model", "3pl"}, {"prior-u", "17,5"}});
    ASSERT_TRUE(check.request);
    EXPECT_FALSE(PriorsFor(check.request->marginal).u.on);
    EXPECT_FALSE(FitsByModelTable(check.request->marginal));

    check = parse({{"method", "mml"}, {"model", "grm"}, {"binary-model", "4pl"}});
    ASSERT_TRUE(check.request) << check.message;
    EXPECT_EQ(check.request->marginal.model, MarginalModel::FourPL);
}

}  // namespace
}  // namespace tarvo
