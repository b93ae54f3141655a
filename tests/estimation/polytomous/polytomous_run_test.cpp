// Whole polytomous runs through the one parser and the run: the same maximum
// as OpenMx on two public questionnaires, PCM and RSM thresholds against
// eRm's,
// the result file's layout, the category checks, Stop.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/estimate_bounds.h"
#include "core/polytomous_models.h"
#include "report/report_summary.h"
#include "report/run_report.h"
#include "request/option_table.h"
#include "request/request_parser.h"
#include "run/calibration_run.h"
#include "support/sanitized.h"
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

// A copy of a response file (scores from column 20) with the given items
// (1-based) reversed: highest minus the score, a blank still missing;
// only its first `examinees` lines when that is not 0.
std::string Reversed(const std::string& from, const std::string& to, const std::vector<int>& items,
                     int highest, std::size_t examinees = 0) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    std::size_t lines = 0;
    for (std::string line; std::getline(in, line) && (examinees == 0 || lines < examinees);
         ++lines) {
        for (const int i : items) {
            char& code = line[static_cast<std::size_t>(19 + i - 1)];
            if (code >= '0' && code <= '9') code = static_cast<char>('0' + highest - (code - '0'));
        }
        out << line << '\n';
    }
    return to;
}

#ifdef TARVO_SANITIZED
// The sanitizer builds fit the first 1,500 examinees of sim_grm5, where the
// keyed data's maximum is the run's own.
constexpr std::size_t kSimExaminees = 1500;
#else
constexpr std::size_t kSimExaminees = 0;  // all 10,000
#endif

struct KeyedFit {
    double logLikelihood;
    std::vector<std::vector<std::string>> rows;
};

KeyedFit FitOf(const std::string& responses, int items, const char* model,
               const std::string& output) {
    Options options = Layout(responses, items, output);
    options.insert(options.end(),
                   {{"model", model}, {"quadrature", "49"}, {"em-tolerance", "1e-6"}});
    const Finished run = RunWith(options);
    EXPECT_EQ(run.end, RunEnd::Finished) << model << " " << responses;
    return {run.report.logLikelihood, ItemRows(output)};
}

// From the default starts and without priors, reverse-keyed items reach
// the maximum of the data as keyed: each reversed slope is the keyed one's
// negative and its thresholds the keyed ones in reverse order (P(m - X >=
// k) = 1 - P(X >= m + 1 - k)). Every second item of sim_grm5 (scores 0..4)
// reversed under the GRM and the GPCM; the keyed maxima are OpenMx
// 2.21.1's with rpf 1.0.11 (R 4.2.2, one thread; mxComputeEM over 49
// equally spaced points on [-6, 6] of N(0, 1), Newton-Raphson M-step,
// tolerance 1e-9, no priors, slopes free of sign: the shared
// sim_grm5_poly_peers files).
TEST(PolytomousRun, ReverseKeyedItemsReachTheMaximumOfTheDataAsKeyed) {
    test_support::TempDir dir;
    std::vector<int> everySecond;
    for (int i = 2; i <= 30; i += 2) everySecond.push_back(i);
    const std::string keyed =
        Reversed(DataFile("sim_grm5.dat"), dir.File("keyed.dat"), {}, 4, kSimExaminees);
    const std::string reversed =
        Reversed(DataFile("sim_grm5.dat"), dir.File("reversed.dat"), everySecond, 4, kSimExaminees);
    const std::pair<const char*, double> models[] = {{"grm", -376235.061926},
                                                     {"gpcm", -377610.790549}};
    for (const auto& [model, openMx] : models) {
        const KeyedFit asKeyed = FitOf(keyed, 30, model, dir.File("keyed.csv"));
        const KeyedFit fit = FitOf(reversed, 30, model, dir.File("reversed.csv"));
        EXPECT_NEAR(fit.logLikelihood, asKeyed.logLikelihood, 0.01) << model;
        if (kSimExaminees == 0) {
            EXPECT_NEAR(fit.logLikelihood, openMx, 0.01) << model;
        }
        for (const int i : everySecond) {
            const std::size_t row = static_cast<std::size_t>(i);
            const double a = Cell(asKeyed.rows, row, "a");
            EXPECT_GT(a, 0.1) << model << " item " << i;
            EXPECT_NEAR(Cell(fit.rows, row, "a"), -a, 0.0021) << model << " item " << i;
            for (int k = 1; k <= 4; ++k) {
                EXPECT_NEAR(Cell(fit.rows, row, "b" + std::to_string(k)),
                            Cell(asKeyed.rows, row, "b" + std::to_string(5 - k)), 0.0021)
                    << model << " item " << i << " b" << k;
            }
        }
    }
    // The PCM's one slope cannot follow half the items reversed: its
    // maximum is at a common slope of 0, the items independent, where
    // OpenMx's fit of the reversed data ends too
    // (bench/reference/openmx_reversed_fit.R, the settings of the test
    // below: log-likelihood -454660.071615, slope 2e-6).
    if (kSimExaminees == 0) {
        const KeyedFit fit = FitOf(reversed, 30, "pcm", dir.File("pcm.csv"));
        EXPECT_NEAR(fit.logLikelihood, -454660.071615, 0.01);
        EXPECT_LT(std::abs(Cell(fit.rows, 1, "a")), kLeastDiscrimination);
    }
}

// bfi_n with N2 and N4 reversed (scores 0..5) reaches OpenMx's maximum of
// the data as keyed under the GRM and the GPCM (the settings above; the
// shared bfi_n_poly_peers files), N2 and N4 with the peers' slopes
// negated.
TEST(PolytomousRun, ReverseKeyedQuestionnaireItemsReachOpenMxMaximum) {
    test_support::TempDir dir;
    const std::string reversed =
        Reversed(DataFile("bfi_n.dat"), dir.File("bfi_n_reversed.dat"), {2, 4}, 5);
    struct Case {
        const char* model;
        double logLikelihood;
        double slopes[2];  // N2 and N4, as keyed
    };
    const Case cases[] = {{"grm", -21721.378213, {1.712568049, 0.7520557064}},
                          {"gpcm", -21874.596072, {0.9922522941, 0.3021648836}}};
    for (const Case& c : cases) {
        const KeyedFit fit = FitOf(reversed, 5, c.model, dir.File(std::string(c.model) + ".csv"));
        EXPECT_NEAR(fit.logLikelihood, c.logLikelihood, 0.01) << c.model;
        EXPECT_NEAR(Cell(fit.rows, 2, "a"), -c.slopes[0], 0.002) << c.model;
        EXPECT_NEAR(Cell(fit.rows, 4, "a"), -c.slopes[1], 0.002) << c.model;
    }
}

// The PCM's one slope cannot follow two reversed items among three keyed
// ones: its maximum on bfi_n with N2 and N4 reversed is at a common slope
// of 0 (the items independent), which OpenMx reaches too
// (bench/reference/openmx_reversed_fit.R: OpenMx 2.21.1, rpf 1.0.11, R
// 4.2.2, rpf.nrm with GPCM contrasts and one slope labelled for every
// item, starts a = 1, mxComputeEM over 49 equally spaced points on [-6,
// 6] of N(0, 1), tolerance 1e-9, no priors: log-likelihood -24139.254173,
// slope 3e-6). Every item is flagged as not discriminating, its
// thresholds printed at the widest their cells hold, its errors at the cap.
TEST(PolytomousRun, PartialCreditSlopeFallsToZeroWithReverseKeyedItemsAndIsFlagged) {
    test_support::TempDir dir;
    const std::string reversed =
        Reversed(DataFile("bfi_n.dat"), dir.File("bfi_n_reversed.dat"), {2, 4}, 5);
    Options options = Layout(reversed, 5, dir.File("pcm.csv"));
    options.insert(options.end(),
                   {{"model", "pcm"}, {"quadrature", "49"}, {"em-tolerance", "1e-6"}});
    const Finished run = RunWith(options);
    ASSERT_EQ(run.end, RunEnd::Finished);
    EXPECT_NEAR(run.report.logLikelihood, -24139.254173, 0.01);
    const auto rows = ItemRows(dir.File("pcm.csv"));
    for (std::size_t i = 1; i <= 5; ++i) {
        EXPECT_LT(std::abs(Cell(rows, i, "a")), kLeastDiscrimination) << i;
        for (int k = 1; k <= 5; ++k) {
            EXPECT_LE(std::abs(Cell(rows, i, "b" + std::to_string(k))), 99.999) << i;
            EXPECT_EQ(Cell(rows, i, "seeb" + std::to_string(k)), kStandardErrorCap) << i;
        }
        const ItemReport& item = run.report.itemRows[i - 1];
        EXPECT_TRUE(item.flags & kItemNotDiscriminating) << i;
        EXPECT_FALSE(item.flags & (kItemBAtBound | kItemSeAtCap)) << i;
    }
    bool told = false;
    for (const std::string& warning : run.report.warnings) {
        told = told || warning.find("5 items do not discriminate") != std::string::npos;
    }
    EXPECT_TRUE(told);
}

// A mixed test from sim_grm5's first `examinees`: its first six items
// scored right (2..4) or wrong (0..1), item 3 the other way when `reverse`;
// the other items keep their scores 0..4. With `flat`, every examinee is
// written twice, item 6 right on one line and wrong on the other, so that
// item 6 tells nothing about ability.
std::string MixedRightWrong(const std::string& to, bool reverse, bool flat, std::size_t examinees) {
    std::ifstream in(DataFile("sim_grm5.dat"), std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    std::size_t lines = 0;
    for (std::string line; std::getline(in, line) && lines < examinees; ++lines) {
        for (int i = 1; i <= 6; ++i) {
            char& code = line[static_cast<std::size_t>(19 + i - 1)];
            const bool right = code >= '2';
            code = right != (reverse && i == 3) ? '1' : '0';
        }
        if (!flat) {
            out << line << '\n';
            continue;
        }
        for (const char six : {'0', '1'}) {
            line[19 + 5] = six;
            out << line << '\n';
        }
    }
    return to;
}

Finished MixedRun(const std::string& responses, const std::string& output) {
    Options options = Layout(responses, 30, output);
    options.insert(options.end(), {{"model", "grm"},
                                   {"binary-model", "2pl"},
                                   {"quadrature", "49"},
                                   {"em-tolerance", "1e-6"}});
    return RunWith(options);
}

// The right/wrong items of a run with items scored 0..m move their slopes
// and intercepts free of sign: a reversed item reaches the maximum of the
// data as keyed, its slope the keyed one's negative and its b the same
// (P(1 - X = 1) = 1 - P(X = 1) turns a theta + d into -(a theta + d)).
TEST(PolytomousRun, ReversedRightWrongItemAmongGradedItemsReachesItsNegativeSlope) {
    test_support::TempDir dir;
    const std::size_t examinees = 2000;
    const Finished keyed = MixedRun(MixedRightWrong(dir.File("keyed.dat"), false, false, examinees),
                                    dir.File("keyed.csv"));
    const Finished reversed =
        MixedRun(MixedRightWrong(dir.File("reversed.dat"), true, false, examinees),
                 dir.File("reversed.csv"));
    ASSERT_EQ(keyed.end, RunEnd::Finished);
    ASSERT_EQ(reversed.end, RunEnd::Finished);
    EXPECT_NEAR(reversed.report.logLikelihood, keyed.report.logLikelihood, 0.01);
    const auto asKeyed = ItemRows(dir.File("keyed.csv"));
    const auto rows = ItemRows(dir.File("reversed.csv"));
    EXPECT_EQ(rows[3][2], "2pl");
    EXPECT_GT(Cell(asKeyed, 3, "a"), 0.3);
    EXPECT_NEAR(Cell(rows, 3, "a"), -Cell(asKeyed, 3, "a"), 0.002);
    EXPECT_NEAR(Cell(rows, 3, "b1"), Cell(asKeyed, 3, "b1"), 0.002);
    for (const std::size_t i : {1, 2, 4, 5, 6, 7}) {
        EXPECT_NEAR(Cell(rows, i, "a"), Cell(asKeyed, i, "a"), 0.002) << "item " << i;
    }
    EXPECT_TRUE(reversed.report.itemRows[2].flags & kItemNegativeDiscrimination);
}

// A right/wrong item that tells nothing about ability reaches a slope of
// about 0: it is flagged as not discriminating, its b printed at the widest
// its cell holds.
TEST(PolytomousRun, FlatRightWrongItemAmongGradedItemsIsFlaggedAsNotDiscriminating) {
    test_support::TempDir dir;
    const Finished run =
        MixedRun(MixedRightWrong(dir.File("flat.dat"), false, true, 1000), dir.File("flat.csv"));
    ASSERT_EQ(run.end, RunEnd::Finished);
    const auto rows = ItemRows(dir.File("flat.csv"));
    EXPECT_LT(std::abs(Cell(rows, 6, "a")), kLeastDiscrimination);
    EXPECT_LE(std::abs(Cell(rows, 6, "b1")), 99.999);
    const ItemReport& item = run.report.itemRows[5];
    EXPECT_TRUE(item.flags & kItemNotDiscriminating);
    EXPECT_FALSE(item.flags & kItemBAtBound);
    EXPECT_GT(Cell(rows, 5, "a"), 0.3);
}

double Correlation(const std::vector<double>& x, const std::vector<double>& y) {
    const double n = static_cast<double>(x.size());
    double mx = 0, my = 0;
    for (std::size_t k = 0; k < x.size(); ++k) {
        mx += x[k] / n;
        my += y[k] / n;
    }
    double sxy = 0, sxx = 0, syy = 0;
    for (std::size_t k = 0; k < x.size(); ++k) {
        sxy += (x[k] - mx) * (y[k] - my);
        sxx += (x[k] - mx) * (x[k] - mx);
        syy += (y[k] - my) * (y[k] - my);
    }
    return sxy / std::sqrt(sxx * syy);
}

// Every item's thresholds b1..bK of a result file, item after item.
std::vector<double> Thresholds(const std::vector<std::vector<std::string>>& rows, int items,
                               int thresholds) {
    std::vector<double> b;
    for (int i = 1; i <= items; ++i) {
        for (int k = 1; k <= thresholds; ++k) b.push_back(Cell(rows, i, "b" + std::to_string(k)));
    }
    return b;
}

// eRm 1.0.2 (R 4.2.2) conditional PCM thresholds of verbagg3, items 1-6,
// b1 then b2, origin at the mean threshold (the shared poly_peers file).
TEST(PolytomousRun, PartialCreditThresholdsFollowConditionalEstimates) {
    const std::vector<double> erm = {-1.233264265,  -0.8979990564, -1.342236168,  -0.6375096667,
                                     -0.6793673693, -0.6687247198, -0.6702099539, -0.258979071,
                                     -0.4976165582, 0.1185005408,  0.3254075916,  0.3687796019};
    test_support::TempDir dir;
    const std::string output = dir.File("pcm.csv");
    Options options = Layout(DataFile("verbagg3.dat"), 24, output);
    options.insert(options.end(), {{"model", "pcm"}, {"quadrature", "49"}});
    ASSERT_EQ(RunWith(options).end, RunEnd::Finished);
    const auto rows = ItemRows(output);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(rows[i + 1][2], "pcm");
        // One slope for every item.
        EXPECT_EQ(rows[i + 1][4], rows[1][4]);
    }
    EXPECT_GT(Correlation(Thresholds(rows, 6, 2), erm), 0.999);
}

// eRm 1.0.2 (R 4.2.2, RSM(), conditional ML, nlm) thresholds of every item,
// b1 then b2 (verbagg3) or b1..b5 (bfi_n), origin at the mean threshold
// (the shared poly_peers files). CML fixes another origin and the logit
// metric, so the thresholds are compared by their correlation. On bfi_n
// (five items, a skewed trait) the marginal estimates under a normal
// population part further from the conditional ones: 0.9989 here, and
// the PCM's 0.9986 against eRm's PCM.
struct RatingPeer {
    const char* file;
    int items;
    int thresholds;
    double correlation;
    std::vector<double> b;
};
const std::vector<RatingPeer> kRatingPeers = {
    {"verbagg3.dat",
     24,
     2,
     0.999,
     {-1.365518991,  -0.7846933912, -1.277865944,  -0.6970403447, -0.9578037746, -0.3769781753,
      -0.7491624502, -0.1683368508, -0.4839461316, 0.09687946773, 0.1311522691,  0.7119778684,
      -1.579267184,  -0.9984415848, -1.11093505,   -0.5301094504, -1.017780909,  -0.4369553101,
      -0.4186433364, 0.1621822629,  -0.5339638182, 0.04686178112, 0.598789241,   1.17961484,
      -0.7013116983, -0.1204860989, -0.1588800756, 0.4219455237,  0.1495242581,  0.7303498574,
      0.7240545396,  1.304880139,   0.7773200385,  1.358145638,   1.934785743,   2.515611342,
      -1.057709843,  -0.4768842442, -0.8573789436, -0.2765533443, -0.190730537,  0.3900950623,
      -0.134724405,  0.4461011943,  0.2636540824,  0.8444796818,  1.046435728,   1.627261328}},
    {"bfi_n.dat", 5, 5, 0.998, {-0.9220895046,  0.181621266,   -0.3779293627, 0.7006321025,
                                1.285691415,    -1.354194237,  -0.2504834668, -0.8100340955,
                                0.2685273696,   0.8535866823,  -1.137835751,  -0.03412498065,
                                -0.5936756094,  0.4848858558,  1.069945168,   -1.11399151,
                                -0.01028073962, -0.5698313683, 0.5087300968,  1.09378941,
                                -0.9502624358,  0.1534483349,  -0.4061022939, 0.6724591713,
                                1.257518484}},
};

TEST(PolytomousRun, RatingScaleThresholdsFollowConditionalEstimatesWithSharedSteps) {
    test_support::TempDir dir;
    for (const RatingPeer& peer : kRatingPeers) {
        const std::string output = dir.File(std::string("rsm") + peer.file + ".csv");
        Options options = Layout(DataFile(peer.file), peer.items, output);
        options.insert(options.end(), {{"model", "rsm"}, {"quadrature", "49"}});
        const Finished run = RunWith(options);
        ASSERT_EQ(run.end, RunEnd::Finished) << peer.file;
        const auto rows = ItemRows(output);
        const std::vector<double> ours = Thresholds(rows, peer.items, peer.thresholds);
        EXPECT_GT(Correlation(ours, peer.b), peer.correlation) << peer.file;
        for (int i = 0; i < peer.items; ++i) {
            EXPECT_EQ(rows[i + 1][2], "rsm");
            EXPECT_EQ(rows[i + 1][4], rows[1][4]) << "one slope";
            // The steps' offsets are the scale's: b_k - b_1 the same for every
            // item, to the printed digits.
            const std::size_t at = static_cast<std::size_t>(i * peer.thresholds);
            for (int k = 1; k < peer.thresholds; ++k) {
                EXPECT_NEAR(ours[at + k] - ours[at], ours[k] - ours[0], 0.0021) << peer.file;
            }
            // Every threshold has an error of its own.
            EXPECT_GT(Cell(rows, i + 1, "seeb" + std::to_string(peer.thresholds)), 0);
        }
    }
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

// Each item's model from an item-models file: a keyed item stays
// right/wrong, a digit-scored item takes the model named (with more
// categories than it shows, too); every mistake names the file, the line
// and its text.
TEST(PolytomousRun, ItemModelsFileGivesEachItemItsModelAndNamesEveryMistake) {
    test_support::TempDir dir;
    const std::string responses = dir.File("mixed.dat");
    std::vector<std::string> lines = {"KEY     " + std::string(11, ' ') + "AB++"};
    const char* patterns[] = {"AB21", "BA00", "AA11", "BB21", "AB10",
                              "CA01", "AB20", "BB11", "AA01", "AC21"};
    for (int j = 0; j < 60; ++j) {
        char id[16];
        std::snprintf(id, sizeof id, "P%07d", j + 1);
        lines.push_back(std::string(id) + std::string(11, ' ') + patterns[(j * 7) % 10]);
    }
    WriteLines(responses, lines);
    const std::string models = dir.File("models.txt");
    const auto runWith = [&](const std::vector<std::string>& modelLines) {
        WriteLines(models, modelLines);
        Options options = Layout(responses, 4, dir.File("mixed.csv"));
        options.emplace_back("item-models", models);
        return RunWith(options);
    };
    const Finished run = runWith({"3pl", "1pl", "gpcm", "grm 4"});
    ASSERT_EQ(run.end, RunEnd::Finished) << run.host.messages.back();
    const auto rows = ItemRows(dir.File("mixed.csv"));
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[1][2], "3pl");
    EXPECT_EQ(rows[2][2], "1pl");
    EXPECT_EQ(rows[2][4], "  1.000") << "the 1PL's slope is 1";
    EXPECT_EQ(rows[3][2], "gpcm");
    EXPECT_EQ(Cell(rows, 3, "Categories"), 3);
    EXPECT_EQ(rows[4][2], "grm");
    EXPECT_EQ(Cell(rows, 4, "Categories"), 4) << "more categories than observed";
    EXPECT_EQ(run.report.model, "per-item");

    const std::pair<std::vector<std::string>, std::string> mistakes[] = {
        {{"3pl", "2pl", "gpcm"}, "has 3 lines, but the test has 4 items"},
        {{"3pl", "2pl", "gpcm", "nrm"}, "line 4 ('nrm'): unknown model 'nrm'"},
        {{"3pl", "grm", "gpcm", "gpcm"}, "line 2 ('grm'): item 2 is scored right or wrong"},
        {{"3pl", "2pl", "2pl", "gpcm"}, "line 3 ('2pl'): item 3 has scores 0 to 2"},
        {{"3pl", "2pl", "gpcm 2", "gpcm"}, "line 3 ('gpcm 2'): item 3 has scores 0 to 2"},
        {{"3pl", "2pl", "rsm 3 A", "rsm 4 A"}, "line 4 ('rsm 4 A'): item 4 has 4 categories"},
        {{"3pl 4", "2pl", "gpcm", "gpcm"}, "line 1 ('3pl 4'): a right/wrong model"},
        {{"3pl", "2pl", "gpcm x", "gpcm"}, "line 3 ('gpcm x'): the number of categories"},
    };
    for (const auto& [modelLines, wanted] : mistakes) {
        const Finished refused = runWith(modelLines);
        EXPECT_EQ(refused.end, RunEnd::EndedAtCheck) << wanted;
        ASSERT_FALSE(refused.host.messages.empty()) << wanted;
        const std::string& message = refused.host.messages.back();
        EXPECT_NE(message.find("Item models file " + models), std::string::npos) << message;
        EXPECT_NE(message.find(wanted), std::string::npos) << message;
    }
}

// The rating scale items of one named scale share their steps; the other
// scale's items have steps of their own.
TEST(PolytomousRun, NamedRatingScalesKeepTheirOwnSteps) {
    test_support::TempDir dir;
    const std::string output = dir.File("scales.csv");
    // The first eight items: "want" and "do" in turn.
    Options options = Layout(DataFile("verbagg3.dat"), 8, output);
    std::vector<std::string> lines;
    for (int i = 0; i < 8; ++i) lines.push_back(i % 2 == 0 ? "rsm 3 want" : "rsm 3 do");
    WriteLines(dir.File("scales.txt"), lines);
    options.emplace_back("item-models", dir.File("scales.txt"));
    ASSERT_EQ(RunWith(options).end, RunEnd::Finished);
    const auto rows = ItemRows(output);
    const auto step = [&](std::size_t item) {
        return Cell(rows, item, "b2") - Cell(rows, item, "b1");
    };
    EXPECT_NEAR(step(1), step(7), 0.0021);
    EXPECT_NEAR(step(2), step(8), 0.0021);
    EXPECT_GT(std::abs(step(1) - step(2)), 0.01);
}

// The thetas of a result file's examinee rows, in order.
std::vector<double> Thetas(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<double> thetas;
    std::string line;
    bool persons = false;
    while (std::getline(in, line)) {
        if (line == "\r") {
            persons = true;
            std::getline(in, line);  // their header
            continue;
        }
        if (!persons) continue;
        std::vector<std::string> cells;
        std::stringstream cut(line);
        for (std::string cell; std::getline(cut, cell, ',');) cells.push_back(cell);
        thetas.push_back(std::stod(cells.at(4)));
    }
    return thetas;
}

// A mixed test's result file read back as its item file: held items
// (--fix-items, --scoring-only) give the same abilities to the printed
// digits' rounding of the parameters; an item whose model differs is refused.
TEST(PolytomousRun, ResultFileReadBackHoldsItsItemsAndGivesTheSameAbilities) {
    test_support::TempDir dir;
    const std::string first = dir.File("first.csv");
    Options options = Layout(DataFile("verbagg3.dat"), 6, first);
    const std::string models = dir.File("models.txt");
    WriteLines(models, {"gpcm", "grm", "rsm", "rsm", "pcm", "gpcm"});
    options.emplace_back("item-models", models);
    ASSERT_EQ(RunWith(options).end, RunEnd::Finished);
    const std::vector<double> estimated = Thetas(first);
    ASSERT_EQ(estimated.size(), 316u);

    for (const char* held : {"scoring-only", "fix-items"}) {
        const std::string again = dir.File(std::string(held) + ".csv");
        Options scoring = Layout(DataFile("verbagg3.dat"), 6, again);
        scoring.insert(scoring.end(),
                       {{"item-models", models}, {"item-file", first}, {held, "yes"}});
        const Finished run = RunWith(scoring);
        ASSERT_EQ(run.end, RunEnd::Finished) << run.host.messages.back();
        if (std::string(held) == "scoring-only") {
            // Nothing was estimated: no EM ending, no prior, no penalised fit.
            const std::string summary = report::SummaryText(run.report);
            EXPECT_EQ(summary.rfind("Scored: ", 0), 0u) << summary;
            EXPECT_EQ(summary.find("ettled"), std::string::npos) << summary;
            EXPECT_EQ(summary.find("priors"), std::string::npos) << summary;
            EXPECT_EQ(summary.find("penalised"), std::string::npos) << summary;
        }
        const std::vector<double> thetas = Thetas(again);
        ASSERT_EQ(thetas.size(), estimated.size());
        for (std::size_t j = 0; j < thetas.size(); ++j) {
            EXPECT_NEAR(thetas[j], estimated[j], 0.002) << held << " examinee " << j + 1;
        }
        const auto rows = ItemRows(again);
        EXPECT_EQ(rows[1][4], ItemRows(first)[1][4]) << "held at the file's a";
    }

    // The item IDs are the file's AccNo cells, wherever a fixed-column file
    // would have them.
    std::ifstream in(first, std::ios::binary);
    std::string named;
    int n = 0;
    for (std::string line; std::getline(in, line);) {
        const std::size_t comma = line.find(',');
        if (n > 0 && n <= 6) {
            line = line.substr(0, comma + 1) + "Q" + std::to_string(n) +
                   line.substr(line.find(',', comma + 1));
        }
        named += line + "\n";
        ++n;
    }
    std::ofstream(dir.File("named.csv"), std::ios::binary) << named;
    Options ids = Layout(DataFile("verbagg3.dat"), 6, dir.File("ids.csv"));
    ids.insert(ids.end(), {{"item-models", models},
                           {"item-file", dir.File("named.csv")},
                           {"scoring-only", "yes"},
                           {"item-id-start", "1"},
                           {"item-id-length", "8"}});
    ASSERT_EQ(RunWith(ids).end, RunEnd::Finished);
    const auto idRows = ItemRows(dir.File("ids.csv"));
    ASSERT_EQ(idRows.size(), 7u);
    for (int i = 1; i <= 6; ++i) {
        EXPECT_NE(idRows[i][1].find("Q" + std::to_string(i)), std::string::npos) << idRows[i][1];
        EXPECT_EQ(idRows[i][2], ItemRows(first)[i][2]) << "the model stays in its own cell";
    }

    Options other = Layout(DataFile("verbagg3.dat"), 6, dir.File("other.csv"));
    const std::string graded = dir.File("graded.txt");
    WriteLines(graded, {"grm", "grm", "rsm", "rsm", "pcm", "gpcm"});
    other.insert(other.end(),
                 {{"item-models", graded}, {"item-file", first}, {"scoring-only", "yes"}});
    const Finished refused = RunWith(other);
    EXPECT_EQ(refused.end, RunEnd::EndedAtCheck);
    ASSERT_FALSE(refused.host.messages.empty());
    EXPECT_NE(refused.host.messages.back().find(", line 2 ("), std::string::npos)
        << refused.host.messages.back();
    EXPECT_NE(refused.host.messages.back().find("item 1 is gpcm in the file and grm in this run"),
              std::string::npos)
        << refused.host.messages.back();
}

// The report's model fit of a run, parsed.
nlohmann::json ModelFitOf(const RunReport& report) {
    for (const ReportSection& section : report.sections) {
        if (section.key == "model_fit") return nlohmann::json::parse(section.json);
    }
    ADD_FAILURE() << "no model_fit section";
    return {};
}

// AIC and BIC count every parameter the estimator moved: each item's own by
// its model, the PCM and RSM items' common slope once, each rating scale's
// free steps once, nothing for a held item, and the population's mean and
// SD when they are estimated.
TEST(PolytomousRun, ModelFitCountsEachModelsParametersOnce) {
    test_support::TempDir dir;
    const std::string first = dir.File("first.csv");
    Options options = Layout(DataFile("verbagg3.dat"), 10, first);
    const std::string models = dir.File("models.txt");
    WriteLines(models,
               {"pcm", "pcm", "rsm", "rsm", "rsm 3 do", "rsm 3 do", "grm", "gpcm", "grm", "pcm"});
    options.emplace_back("item-models", models);
    const Finished all = RunWith(options);
    ASSERT_EQ(all.end, RunEnd::Finished);
    // Three PCM items' two thresholds, the common slope, four locations,
    // the two scales' one free step each, three GRM and GPCM items' slope
    // and two thresholds.
    const nlohmann::json fit = ModelFitOf(all.report);
    ASSERT_TRUE(fit.at("defined").get<bool>());
    EXPECT_EQ(fit.at("parameters").get<int>(), 3 * 2 + 1 + 4 + 2 + 3 * 3);
    EXPECT_DOUBLE_EQ(fit.at("minus_2_log_likelihood").get<double>(), -2 * all.report.logLikelihood);
    EXPECT_DOUBLE_EQ(fit.at("bic").get<double>(),
                     fit.at("minus_2_log_likelihood").get<double>() + 22 * std::log(316.0));

    // Items 2 (PCM), 4 (RSM), 8 (GPCM) and 9 (GRM) held at the first run's
    // values, the rest estimated with the population.
    std::ifstream in(first, std::ios::binary);
    std::string kept;
    bool items = true;
    for (std::string line; std::getline(in, line);) {
        items = items && line != "\r";
        const std::string seq = line.substr(0, line.find(','));
        const bool estimated = seq == "   1" || seq == "   3" || seq == "   5" || seq == "   6" ||
                               seq == "   7" || seq == "  10";
        if (!items || !estimated) kept += line + "\n";
    }
    const std::string held = dir.File("held.csv");
    std::ofstream(held, std::ios::binary) << kept;
    Options again = Layout(DataFile("verbagg3.dat"), 10, dir.File("again.csv"));
    again.insert(again.end(), {{"item-models", models},
                               {"item-file", held},
                               {"fix-items", "yes"},
                               {"estimate-population", "yes"}});
    const Finished some = RunWith(again);
    ASSERT_EQ(some.end, RunEnd::Finished) << some.host.messages.back();
    // PCM items 1 and 10 with the common slope, the locations of 3, 5 and
    // 6 with a free step of each scale, GRM item 7, the mean and the SD.
    EXPECT_EQ(ModelFitOf(some.report).at("parameters").get<int>(), 2 * 2 + 1 + 3 + 2 + 3 + 2);
}

}  // namespace
}  // namespace tarvo
