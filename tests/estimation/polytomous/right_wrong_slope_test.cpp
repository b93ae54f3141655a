// Right/wrong items through the model table's engine (an item-models file):
// a reversed item's slope crosses 0 to the maximum another program finds,
// which a fit that keeps the slope above 0 cannot reach, and the report
// flags it as discriminating negatively, never as at a bound.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "report/run_report.h"
#include "request/option_table.h"
#include "request/request_parser.h"
#include "run/calibration_run.h"
#include "support/lsat7.h"
#include "support/scripted_host.h"
#include "support/temp_dir.h"

namespace tarvo {
namespace {

using Options = std::vector<std::pair<std::string, std::string>>;

// LSAT section 7 in the runner's layout (ID in columns 1-8, responses from
// column 20), the item `reversed` (from 1, 0 for none) scored 1 - x.
std::string WriteLsat7(const std::string& path, int reversed) {
    const std::vector<std::uint8_t> codes = test_support::Lsat7();
    std::ofstream out(path, std::ios::binary);
    for (std::size_t j = 0; j * 5 < codes.size(); ++j) {
        char id[16];
        std::snprintf(id, sizeof id, "P%07zu", j + 1);
        std::string line = std::string(id) + std::string(11, ' ');
        for (int i = 0; i < 5; ++i) {
            const int code = codes[j * 5 + static_cast<std::size_t>(i)];
            line += static_cast<char>('0' + (i + 1 == reversed ? 1 - code : code));
        }
        out << line << "\r\n";
    }
    return path;
}

struct Fit {
    RunEnd end = RunEnd::EndedAtCheck;
    RunReport report;
    // The result file's item rows by column name, the header first.
    std::vector<std::vector<std::string>> rows;

    double Cell(std::size_t item, const std::string& column) const {
        for (std::size_t k = 0; k < rows.front().size(); ++k) {
            if (rows.front()[k] == column) return std::stod(rows[item][k]);
        }
        ADD_FAILURE() << "no column " << column;
        return 0;
    }
};

// Every item a 2PL of the model table's engine; extra options after.
Fit FitTwoPL(const test_support::TempDir& dir, const std::string& responses,
             const std::string& name, const Options& extra) {
    test_support::WriteFile(dir.File("models.txt"), "2pl\n2pl\n2pl\n2pl\n2pl\n");
    const std::string output = dir.File(name + ".csv");
    Options options = {{"response-file", responses},
                       {"item-count", "5"},
                       {"response-start", "20"},
                       {"examinee-id-start", "1"},
                       {"examinee-id-length", "8"},
                       {"output-file", output},
                       {"method", "mml"},
                       {"item-models", dir.File("models.txt")},
                       {"em-tolerance", "1e-6"}};
    options.insert(options.end(), extra.begin(), extra.end());
    request::RequestTexts texts;
    for (const auto& [option, value] : options) {
        EXPECT_EQ(request::ApplyOption(option, value, texts), "") << option;
    }
    const request::RequestCheck check = request::ParseRequest(texts);
    Fit fit;
    if (!check.request) {
        ADD_FAILURE() << "the request was refused";
        return fit;
    }
    test_support::ScriptedHost host;
    fit.end = RunCalibration(*check.request, host, &fit.report);
    std::ifstream in(output, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) break;
        std::vector<std::string> cells;
        std::stringstream cut(line);
        for (std::string cell; std::getline(cut, cell, ',');) cells.push_back(cell);
        fit.rows.push_back(cells);
    }
    return fit;
}

// OpenMx 2.21.1 (rpf 1.0.11, R 4.2.2) by bench/reference/reach_reference.R
// (`lsat7.dat 5 20 2pl 3`): Bock-Aitkin EM on 61 points from -6 to 6 of
// N(0, 1), no priors, each slope free of sign and started with the sign of
// its item-rest correlation, tolerance 1e-9: log-likelihood -2658.805115,
// item 3 a -1.004427, b -1.057203 (the D = 1.7 metric); the same maximum
// as keyed, with a +1.004426.
TEST(RightWrongSlope, ReversedItemOfTheModelTableReachesItsNegativeSlopeAndOpenMxMaximum) {
    const test_support::TempDir dir;
    const std::string keyedFile = WriteLsat7(dir.File("keyed.dat"), 0);
    const std::string reversedFile = WriteLsat7(dir.File("reversed.dat"), 3);
    const Options noPrior = {{"prior-a", "none"}};
    const Fit keyed = FitTwoPL(dir, keyedFile, "keyed", noPrior);
    const Fit reversed = FitTwoPL(dir, reversedFile, "reversed", noPrior);
    ASSERT_EQ(keyed.end, RunEnd::Finished);
    ASSERT_EQ(reversed.end, RunEnd::Finished);
    ASSERT_EQ(reversed.rows.size(), 6u);
    EXPECT_NEAR(reversed.report.logLikelihood, -2658.805115, 0.01);
    EXPECT_NEAR(reversed.report.logLikelihood, keyed.report.logLikelihood, 1e-4);
    EXPECT_NEAR(reversed.Cell(3, "a"), -1.004427, 0.005);
    EXPECT_NEAR(reversed.Cell(3, "b1"), -1.057203, 0.005);
    EXPECT_NEAR(keyed.Cell(3, "a"), 1.004426, 0.005);
    for (const std::size_t i : {1, 2, 4, 5}) {
        EXPECT_NEAR(reversed.Cell(i, "a"), keyed.Cell(i, "a"), 0.002) << "item " << i;
        EXPECT_NEAR(reversed.Cell(i, "b1"), keyed.Cell(i, "b1"), 0.002) << "item " << i;
    }

    // The report: a finding to check the key, not a bound or a flat item.
    const ItemReport& item = reversed.report.itemRows[2];
    EXPECT_TRUE(item.flags & kItemNegativeDiscrimination);
    EXPECT_FALSE(item.flags &
                 (kItemAAtBound | kItemBAtBound | kItemSeAtCap | kItemNotDiscriminating));
    for (const std::size_t i : {0, 1, 3, 4}) {
        EXPECT_EQ(reversed.report.itemRows[i].flags &
                      (kItemNegativeDiscrimination | kItemAAtBound | kItemBAtBound),
                  0u)
            << "item " << i + 1;
    }
    bool told = false;
    for (const std::string& warning : reversed.report.warnings) {
        told = told || warning.find("1 item discriminates negatively: item 3") == 0;
        EXPECT_EQ(warning.find("at a bound"), std::string::npos) << warning;
    }
    EXPECT_TRUE(told);

    // The log-normal prior keeps every slope above 0, as the old range did:
    // item 3 then ends positive, and the data's likelihood well below the
    // free fit's.
    const Fit held = FitTwoPL(dir, reversedFile, "held", {{"prior-a", "0,0.5"}});
    ASSERT_EQ(held.end, RunEnd::Finished);
    EXPECT_GT(held.Cell(3, "a"), 0);
    EXPECT_GT(reversed.report.logLikelihood, held.report.logLikelihood + 1);
}

}  // namespace
}  // namespace tarvo
