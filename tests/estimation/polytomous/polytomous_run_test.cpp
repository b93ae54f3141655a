// Whole polytomous runs through the one parser and the run: the same maximum
// as OpenMx on two public questionnaires, PCM thresholds against eRm's,
// the result file's layout, the category checks, Stop.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
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

using test_support::ScriptedHost;
using Options = std::vector<std::pair<std::string, std::string>>;

std::string DataFile(const char* name) {
    return std::string(TARVO_SOURCE_DIR) + "/tests/data/polytomous/" + name;
}

// The runner's options for a file of ID in columns 1-8 and responses from
// column 20, with more options after.
Options Layout(const std::string& responses, int items, const std::string& output) {
    return {{"response-file", responses},
            {"item-count", std::to_string(items)},
            {"response-start", "20"},
            {"examinee-id-start", "1"},
            {"examinee-id-length", "8"},
            {"output-file", output},
            {"method", "mml"}};
}

struct Finished {
    RunEnd end = RunEnd::Finished;
    RunReport report;
    ScriptedHost host;
};

Finished RunWith(const Options& options) {
    request::RequestTexts texts;
    for (const auto& [name, value] : options) {
        EXPECT_EQ(request::ApplyOption(name, value, texts), "") << name;
    }
    const request::RequestCheck check = request::ParseRequest(texts);
    EXPECT_TRUE(check.request.has_value());
    Finished run;
    if (!check.request) return run;
    run.end = RunCalibration(*check.request, run.host, &run.report);
    return run;
}

// The item rows of a result file: every cell of each line before the empty
// one, the header first.
std::vector<std::vector<std::string>> ItemRows(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        EXPECT_TRUE(!line.empty() && line.back() == '\r');
        line.pop_back();
        if (line.empty()) break;
        std::vector<std::string> cells;
        std::stringstream cut(line);
        for (std::string cell; std::getline(cut, cell, ',');) cells.push_back(cell);
        if (!line.empty() && line.back() == ',') cells.emplace_back();
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

// OpenMx 2.21.1 with rpf 1.0.11 (R 4.2.2, one thread): mxComputeEM over 49
// equally spaced points on [-6, 6] of N(0, 1), Newton-Raphson M-step,
// tolerance 1e-9, no priors, slopes free of sign; a = slope / 1.7 and b_k
// on the theta metric (the shared poly_peers files). The result file
// prints three decimals, so thresholds agree to 0.0015 at the printed
// digits plus the two fits' own distance.
struct Peer {
    const char* file;
    int items;
    const char* model;
    double logLikelihood;
    std::vector<std::vector<double>> aThenB;  // the first items' a, b1..
};

const std::vector<Peer> kPeers = {
    {"verbagg3.dat",
     24,
     "grm",
     -6285.81752,
     {{0.7063879177, -0.9479684119, 0.3790147543}, {0.897770267, -0.808008181, 0.4943901002}}},
    {"verbagg3.dat",
     24,
     "gpcm",
     -6298.49644,
     {{0.4603289455, -0.4030219947, -0.1847512168}, {0.69631529, -0.5434768487, 0.2275424639}}},
    {"bfi_n.dat",
     5,
     "grm",
     -21721.378213,
     {{1.837153648, -0.8152641164, -0.1005087987, 0.3341457481, 0.9768610436, 1.710647299},
      {0.655499715, -1.300331158, -0.1320316079, 0.4859685023, 1.468642662, 2.517928079}}},
    {"bfi_n.dat",
     5,
     "gpcm",
     -21874.596072,
     {{1.057323984, -0.6884954768, 0.09477791106, 0.1763225447, 0.964883181, 1.610678025},
      {0.2442163951, -0.4645404642, 1.180554118, -0.524399712, 1.512520201, 1.509771205}}},
};

TEST(PolytomousRun, ReachesOpenMxMaximumOnPublicQuestionnaires) {
    test_support::TempDir dir;
    for (const Peer& peer : kPeers) {
        const std::string output = dir.File(std::string(peer.model) + peer.file + ".csv");
        Options options = Layout(DataFile(peer.file), peer.items, output);
        options.insert(options.end(),
                       {{"model", peer.model}, {"quadrature", "49"}, {"em-tolerance", "1e-6"}});
        const Finished run = RunWith(options);
        ASSERT_EQ(run.end, RunEnd::Finished) << peer.model << " " << peer.file;
        EXPECT_NEAR(run.report.logLikelihood, peer.logLikelihood, 0.01)
            << peer.model << " " << peer.file;
        const auto rows = ItemRows(output);
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(peer.items) + 1);
        // The first item and the last of the file (bfi_n) or the second.
        const std::size_t second = peer.items == 5 ? 5 : 2;
        const std::size_t compared[2] = {1, second};
        for (int r = 0; r < 2; ++r) {
            const std::vector<double>& expected = peer.aThenB[r];
            EXPECT_NEAR(Cell(rows, compared[r], "a"), expected[0], 0.01) << peer.model;
            for (std::size_t k = 1; k < expected.size(); ++k) {
                EXPECT_NEAR(Cell(rows, compared[r], "b" + std::to_string(k)), expected[k], 0.01)
                    << peer.model << " " << peer.file << " item " << compared[r] << " b" << k;
            }
        }
    }
}

// eRm 1.0.2 (R 4.2.2) conditional PCM thresholds of verbagg3, items 1-6,
// b1 then b2, origin at the mean threshold (the shared poly_peers file).
TEST(PolytomousRun, PartialCreditThresholdsFollowConditionalEstimates) {
    const double erm[12] = {-1.233264265,  -0.8979990564, -1.342236168,  -0.6375096667,
                            -0.6793673693, -0.6687247198, -0.6702099539, -0.258979071,
                            -0.4976165582, 0.1185005408,  0.3254075916,  0.3687796019};
    test_support::TempDir dir;
    const std::string output = dir.File("pcm.csv");
    Options options = Layout(DataFile("verbagg3.dat"), 24, output);
    options.insert(options.end(), {{"model", "pcm"}, {"quadrature", "49"}});
    ASSERT_EQ(RunWith(options).end, RunEnd::Finished);
    const auto rows = ItemRows(output);
    double ours[12];
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(rows[i + 1][2], "pcm");
        // One slope for every item.
        EXPECT_EQ(rows[i + 1][4], rows[1][4]);
        ours[2 * i] = Cell(rows, i + 1, "b1");
        ours[2 * i + 1] = Cell(rows, i + 1, "b2");
    }
    double mx = 0, my = 0;
    for (int k = 0; k < 12; ++k) {
        mx += ours[k] / 12;
        my += erm[k] / 12;
    }
    double sxy = 0, sxx = 0, syy = 0;
    for (int k = 0; k < 12; ++k) {
        sxy += (ours[k] - mx) * (erm[k] - my);
        sxx += (ours[k] - mx) * (ours[k] - mx);
        syy += (erm[k] - my) * (erm[k] - my);
    }
    EXPECT_GT(sxy / std::sqrt(sxx * syy), 0.999);
}

void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    std::ofstream out(path, std::ios::binary);
    for (const std::string& line : lines) out << line << "\r\n";
}

TEST(PolytomousRun, UnusedMiddleCategoryEndsTheRunOrIsMerged) {
    test_support::TempDir dir;
    const std::string responses = dir.File("gap.dat");
    // Item 3 has scores 0 and 2 only.
    std::vector<std::string> lines;
    const char* patterns[] = {"002", "120", "212", "100", "222", "012", "220", "102"};
    for (int j = 0; j < 40; ++j) {
        char id[16];
        std::snprintf(id, sizeof id, "P%07d", j + 1);
        lines.push_back(std::string(id) + std::string(11, ' ') + patterns[j % 8]);
    }
    WriteLines(responses, lines);
    Options options = Layout(responses, 3, dir.File("gap.csv"));
    options.emplace_back("model", "grm");
    const Finished refused = RunWith(options);
    EXPECT_EQ(refused.end, RunEnd::EndedAtCheck);
    ASSERT_FALSE(refused.host.messages.empty());
    EXPECT_NE(refused.host.messages.back().find("Item 3 has no response in category 1"),
              std::string::npos)
        << refused.host.messages.back();

    options.emplace_back("collapse-empty", "yes");
    const Finished merged = RunWith(options);
    EXPECT_EQ(merged.end, RunEnd::Finished);
    bool told = false;
    for (const std::string& w : merged.host.warnings) told = told || w.find("Item 3") == 0;
    EXPECT_TRUE(told);
    const auto rows = ItemRows(dir.File("gap.csv"));
    EXPECT_EQ(rows[3][2], "3pl") << "two categories left: the right/wrong model";
}

TEST(PolytomousRun, KeyRecordMixesKeyedAndDigitScoredItems) {
    test_support::TempDir dir;
    const std::string responses = dir.File("mixed.dat");
    std::vector<std::string> lines = {"KEY     " + std::string(11, ' ') + "AB+"};
    const char* patterns[] = {"AB2", "BA0", "AA1", "BB2", "AB1", "CA0", "AB2", "BB1", "AA0", "AC2"};
    for (int j = 0; j < 60; ++j) {
        char id[16];
        std::snprintf(id, sizeof id, "P%07d", j + 1);
        lines.push_back(std::string(id) + std::string(11, ' ') + patterns[(j * 7) % 10]);
    }
    WriteLines(responses, lines);
    Options options = Layout(responses, 3, dir.File("mixed.csv"));
    options.insert(options.end(), {{"model", "gpcm"}, {"binary-model", "2pl"}});
    const Finished run = RunWith(options);
    ASSERT_EQ(run.end, RunEnd::Finished);
    const auto rows = ItemRows(dir.File("mixed.csv"));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].front(), "SeqItem");
    EXPECT_EQ(rows[1][2], "2pl");
    EXPECT_EQ(rows[3][2], "gpcm");
    EXPECT_EQ(Cell(rows, 3, "Categories"), 3);
    // The keyed item's c is 0 (2PL); the polytomous one has none.
    EXPECT_EQ(rows[0][7], "c");
    EXPECT_EQ(rows[1][7], "  0.000");
    EXPECT_EQ(rows[3][7], "");
}

}  // namespace
}  // namespace tarvo
