// tarvo-run --link and --items as a user starts them: what they print,
// the files they write and how those files are read again.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "linking/reference_forms.h"
#include "support/run_fixture.h"

namespace tarvo {
namespace {

using test_support::ReadFile;
using test_support::RunFixture;
using test_support::TempDir;

struct Ran {
    int status;
    std::string out, err;
};

Ran RunLink(const TempDir& dir, const std::string& args) {
    const std::string outFile = dir.File("stdout.txt"), errFile = dir.File("stderr.txt");
    const std::string command =
        std::string("'") + TARVO_RUN_PATH + "' " + args + " >'" + outFile + "' 2>'" + errFile + "'";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(outFile), ReadFile(errFile)};
}

// The sample layout with the errors after c, as this program writes items.
std::string ItemLines(const linking::ItemForm& form) {
    std::string text;
    for (std::size_t i = 0; i < form.size(); ++i) {
        char line[160];
        std::snprintf(line, sizeof line, "%-8s             %9.5f %9.5f %9.5f %9.5f %9.5f %9.5f\r\n",
                      form.id[i].c_str(), form.a[i], form.b[i], form.c[i], form.seA[i], form.seB[i],
                      form.seC[i]);
        text += line;
    }
    return text;
}

const char* kErrorColumns =
    " --seea-start 52 --seea-length 9 --seeb-start 62 --seeb-length 9 --seec-start 72"
    " --seec-length 9";

// METHOD A B se_A se_B, by method; NA reads as NaN.
std::map<std::string, std::vector<double>> MethodLines(const std::string& out) {
    std::map<std::string, std::vector<double>> lines;
    std::istringstream text(out);
    std::string line;
    while (std::getline(text, line)) {
        std::istringstream words(line);
        std::string method, number;
        std::vector<double> values;
        words >> method;
        while (words >> number) {
            char* end = nullptr;
            const double value = std::strtod(number.c_str(), &end);
            if (number == "NA") {
                values.push_back(NAN);
            } else if (*end == '\0') {
                values.push_back(value);
            } else {
                break;
            }
        }
        if (values.size() == 4) lines[method] = values;
    }
    return lines;
}

TEST(LinkRunner, PrintsEveryMethodsConstantsAsTheIndependentCalculationHasThem) {
    TempDir dir;
    const std::string base = dir.Write("base.itm", ItemLines(linking::test::ReferenceBase()));
    const std::string fresh = dir.Write("new.itm", ItemLines(linking::test::ReferenceNew()));
    const std::string report = dir.File("link.json");
    const Ran ran = RunLink(dir, "--link --base-items '" + base + "' --new-items '" + fresh + "'" +
                                     kErrorColumns + " --report '" + report + "'");
    ASSERT_EQ(ran.status, 0) << ran.err;
    // bench/reference/linking_reference.R (see tests/linking/reference_forms.h).
    const std::map<std::string, std::vector<double>> expected = {
        {"mean/mean", {1.1978571429, 0.2969383929, 0.07637898, 0.06797205}},
        {"mean/sigma", {1.2168534517, 0.2974845367, 0.07967848, 0.06946624}},
        {"haebara", {1.1998740870, 0.3021132514, 0.07971602, 0.08223649}},
        {"stocking-lord", {1.1865315978, 0.3115923901, 0.08208112, 0.09210970}},
    };
    const auto printed = MethodLines(ran.out);
    ASSERT_EQ(printed.size(), 4u) << ran.out;
    for (const auto& [method, values] : expected) {
        ASSERT_EQ(printed.count(method), 1u) << method;
        for (std::size_t k = 0; k < 4; ++k) {
            EXPECT_NEAR(printed.at(method)[k], values[k], 3e-6) << method << " " << k;
        }
    }
    EXPECT_EQ(ran.out.substr(0, ran.out.find(' ')), "mean/mean");  // the first line

    const nlohmann::json json = nlohmann::json::parse(ReadFile(report));
    ASSERT_EQ(json["linking"].size(), 4u);
    EXPECT_EQ(json["linking"][3]["method"], "stocking-lord");
    EXPECT_NEAR(json["linking"][3]["A"].get<double>(), 1.1865315978, 3e-6);
    EXPECT_NEAR(json["linking"][3]["se_B"].get<double>(), 0.09210970, 3e-6);
    EXPECT_EQ(json["common_items"], 8);
    EXPECT_EQ(json["common_items_matched_by"], "item ID");
    EXPECT_EQ(json["drift"]["items"].size(), 8u);
    EXPECT_EQ(json["equating"].size(), 9u);
    EXPECT_EQ(json["score_table"].size(), 9u);
    EXPECT_EQ(json["curves"]["base"]["theta"].size(), json["curves"]["new"]["se"].size());
}

// A new form that is a FIFO nobody writes keeps the link reading; a stop
// signal ends it as stopped, with status 1 and nothing written.
TEST(LinkRunner, AStopSignalEndsTheLinkAsStoppedAndWritesNothing) {
    TempDir dir;
    const std::string base = dir.Write("base.itm", ItemLines(linking::test::ReferenceBase()));
    const std::string fifo = dir.File("waiting.itm");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string table = dir.File("table.csv");
    const std::string command =
        std::string("'") + TARVO_RUN_PATH + "' --link --quiet --base-items '" + base +
        "' --new-items '" + fifo + "' --score-table '" + table + "' 2>'" + dir.File("stderr.txt") +
        "' & link=$!; sleep 2; kill -TERM $link; wait $link";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    EXPECT_EQ(ReadFile(dir.File("stderr.txt")),
              "Stopped: the link was stopped (reading the forms); nothing was written\n");
    EXPECT_FALSE(std::ifstream(table).good());
}

TEST(LinkRunner, TheTransformedItemsAreReadByEveryModeWithThePrintedColumns) {
    RunFixture data(40, 6);
    data.WriteFiles();
    // The new form: the fixture's items on a scale with A = 1.5, B = 0.5.
    linking::ItemForm fresh;
    fresh.Resize(6);
    for (std::size_t i = 0; i < 6; ++i) {
        fresh.id[i] = "ITEM000" + std::to_string(i + 1);
        fresh.a[i] = 1.5 * data.itemParams[i].a;
        fresh.b[i] = (data.itemParams[i].b - 0.5) / 1.5;
        fresh.c[i] = data.itemParams[i].c;
        fresh.seA[i] = fresh.seB[i] = fresh.seC[i] = -1;
    }
    const std::string newFile = data.dir.Write("new.itm", ItemLines(fresh));
    const std::string moved = data.dir.File("moved.itm");
    const Ran ran =
        RunLink(data.dir, "--link --base-items '" + data.itemFile() + "' --new-items '" + newFile +
                              "' --transformed-items '" + moved + "'");
    ASSERT_EQ(ran.status, 0) << ran.err;
    const auto printed = MethodLines(ran.out);
    EXPECT_EQ(printed.size(), 4u) << ran.out;
    for (const auto& [method, values] : printed) {
        EXPECT_NEAR(values[0], 1.5, 1e-4) << method;
        EXPECT_NEAR(values[1], 0.5, 1e-4) << method;
        EXPECT_EQ(std::isnan(values[2]), true) << method << ": no item errors, no delta errors";
    }
    const std::string columns =
        "--item-id-start 1 --item-id-length 8 --a-start 22 --a-length 9 --b-start 32 "
        "--b-length 9 --c-start 42 --c-length 9";
    EXPECT_NE(ran.out.find("--item-file " + moved + " " + columns), std::string::npos) << ran.out;

    // Mode 1 with the transformed items gives the abilities of the original.
    const std::string common = "--mode 1 --response-file '" + data.responseFile() +
                               "' --item-count 6 --response-start 20 --examinee-id-start 1"
                               " --examinee-id-length 8 --quiet " +
                               columns;
    ASSERT_EQ(RunLink(data.dir, common + " --item-file '" + data.itemFile() + "' --output-file '" +
                                    data.dir.File("original.csv") + "'")
                  .status,
              0);
    ASSERT_EQ(RunLink(data.dir, common + " --item-file '" + moved + "' --output-file '" +
                                    data.dir.File("moved.csv") + "'")
                  .status,
              0);
    const auto original = test_support::CrLfLines(ReadFile(data.dir.File("original.csv")));
    const auto carried = test_support::CrLfLines(ReadFile(data.dir.File("moved.csv")));
    ASSERT_EQ(original.size(), carried.size());
    for (std::size_t j = 1; j < original.size(); ++j) {
        const double thetaOriginal = std::stod(original[j].substr(original[j].rfind(',') - 9, 9));
        const double thetaCarried = std::stod(carried[j].substr(carried[j].rfind(',') - 9, 9));
        EXPECT_NEAR(thetaOriginal, thetaCarried, 2e-4) << original[j] << " / " << carried[j];
    }
}

TEST(LinkRunner, ListsDriftingItemsAndDropsThemOnRequest) {
    TempDir dir;
    linking::ItemForm fresh = linking::test::ReferenceNew();
    fresh.b[4] += 1.5;
    const std::string base = dir.Write("base.itm", ItemLines(linking::test::ReferenceBase()));
    const std::string newFile = dir.Write("new.itm", ItemLines(fresh));
    const std::string args = "--link --base-items '" + base + "' --new-items '" + newFile + "'";
    Ran ran = RunLink(dir, args);
    ASSERT_EQ(ran.status, 0) << ran.err;
    EXPECT_NE(ran.out.find("drifting ITEM05: z = "), std::string::npos) << ran.out;
    EXPECT_EQ(ran.out.find("dropped"), std::string::npos);
    const double before = MethodLines(ran.out).at("stocking-lord")[1];

    const std::string report = dir.File("drift.json");
    ran = RunLink(dir, args + " --drop-drifting --report '" + report + "'");
    ASSERT_EQ(ran.status, 0) << ran.err;
    EXPECT_NE(ran.out.find("dropped ITEM05; the constants above are from the other 7 common items"),
              std::string::npos)
        << ran.out;
    const double after = MethodLines(ran.out).at("stocking-lord")[1];
    EXPECT_LT(std::fabs(after - 0.3), std::fabs(before - 0.3));
    const nlohmann::json json = nlohmann::json::parse(ReadFile(report));
    EXPECT_EQ(json["dropped"], nlohmann::json::array({"ITEM05"}));
    EXPECT_TRUE(json["drift"]["items"][4]["drifting"].get<bool>());
    // The item files give no errors: the robust z alone flagged it.
    EXPECT_EQ(json["drift"]["items"][4]["flagged_by"],
              "robust z alone (standard errors not known)");
    EXPECT_TRUE(json["drift"]["items"][4]["difference_over_se"].is_null());
    EXPECT_EQ(json["linking_before_drop"].size(), 4u);

    // With the errors, each difference is also over its own: ITEM05 is
    // beyond both, and ITEM02, moved by 0.7 where its b errors are 0.6,
    // stands out among the others but within its errors.
    fresh.b[1] += 0.7 / 1.2;
    fresh.seB[1] = 0.6;
    linking::ItemForm baseForm = linking::test::ReferenceBase();
    baseForm.seB[1] = 0.6;
    const std::string withErrors =
        "--link --base-items '" + dir.Write("base-se.itm", ItemLines(baseForm)) +
        "' --new-items '" + dir.Write("new-se.itm", ItemLines(fresh)) + "'" + kErrorColumns;
    ran = RunLink(dir, withErrors + " --report '" + report + "'");
    ASSERT_EQ(ran.status, 0) << ran.err;
    EXPECT_NE(ran.out.find("drifting ITEM05: z = "), std::string::npos) << ran.out;
    EXPECT_NE(ran.out.find(" SE (b base"), std::string::npos) << ran.out;
    EXPECT_NE(ran.out.find("within its errors ITEM02: z = "), std::string::npos) << ran.out;
    const nlohmann::json both = nlohmann::json::parse(ReadFile(report));
    EXPECT_EQ(both["drift"]["items"][4]["flagged_by"], "robust z and standard error");
    EXPECT_GT(both["drift"]["items"][4]["difference_over_se"].get<double>(), 2.7);
    EXPECT_FALSE(both["drift"]["items"][1]["drifting"].get<bool>());
    EXPECT_GT(std::fabs(both["drift"]["items"][1]["z"].get<double>()), 2.7);
    EXPECT_LT(std::fabs(both["drift"]["items"][1]["difference_over_se"].get<double>()), 2.7);
}

TEST(LinkRunner, ScoreTablesAbilitiesAndEquatingAreWritten) {
    TempDir dir;
    const std::string base = dir.Write("base.itm", ItemLines(linking::test::ReferenceBase()));
    const std::string fresh = dir.Write("new.itm", ItemLines(linking::test::ReferenceNew()));
    const std::string golden = std::string(TARVO_SOURCE_DIR) + "/tests/golden/mode3/result.csv";
    Ran ran =
        RunLink(dir, "--link --base-items '" + base + "' --new-items '" + fresh +
                         "' --score-table '" + dir.File("table.csv") + "' --equating-table '" +
                         dir.File("equating.csv") + "' --abilities '" + golden +
                         "' --transformed-abilities '" + dir.File("abilities.csv") + "'");
    ASSERT_EQ(ran.status, 0) << ran.err;
    const auto table = test_support::CrLfLines(ReadFile(dir.File("table.csv")));
    ASSERT_EQ(table.size(), 10u);
    // Score 4 of the reference script's table.
    EXPECT_EQ(table[5].substr(0, 30), "4,0.191396,-0.151989,0.630558,");
    const auto equating = test_support::CrLfLines(ReadFile(dir.File("equating.csv")));
    ASSERT_EQ(equating.size(), 10u);
    EXPECT_EQ(equating[2], "1,,0.971223");
    // The header and the 40 examinees of the golden data.
    EXPECT_EQ(test_support::CrLfLines(ReadFile(dir.File("abilities.csv"))).size(), 41u);

    // The score table of one form alone, for a population given.
    ran = RunLink(dir, "--items '" + base + "' --score-table '" + dir.File("base.csv") +
                           "' --population-mean 0.5 --population-sd 0.8");
    ASSERT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(test_support::CrLfLines(ReadFile(dir.File("base.csv"))).size(), 10u);
}

TEST(LinkRunner, RefusesWhatItCannotDoWithAMessageNamingIt) {
    TempDir dir;
    const std::string base = dir.Write("base.itm", ItemLines(linking::test::ReferenceBase()));
    Ran ran = RunLink(dir, "--link --base-items '" + base + "'");
    EXPECT_EQ(ran.status, 2);
    EXPECT_EQ(ran.err,
              "tarvo-run: --link needs --base-items FILE and --new-items FILE (see tarvo-run "
              "--link --help)\n");
    ran = RunLink(dir, "--link --base-items '" + base + "' --new-items '" + base +
                           "' --transformed-items '" + base + "'");
    EXPECT_EQ(ran.status, 2);
    EXPECT_NE(ran.err.find("--transformed-items " + base + " names the --base-items file"),
              std::string::npos);
    ran =
        RunLink(dir, "--link --base-items '" + base + "' --new-items '" + dir.File("no.itm") + "'");
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, "ERROR " + dir.File("no.itm") + ": cannot read this file\n");
    ran =
        RunLink(dir, "--link --base-items '" + base + "' --new-items '" + base + "' --bootstrap 1");
    EXPECT_EQ(ran.status, 2);
    EXPECT_NE(ran.err.find("--bootstrap takes a whole number from 2 to 100000"), std::string::npos);
    // A new form with b = 1e308 would link at A = 5e-30 with se 0 and carry
    // its items over with a of 1e29.
    std::string wildLines = ItemLines(linking::test::ReferenceNew());
    std::size_t fourth = 0;
    for (int k = 0; k < 3; ++k) fourth = wildLines.find('\n', fourth) + 1;
    wildLines.replace(fourth + 31, 9, "    1e308");  // b, columns 32-40
    const std::string fresh = dir.Write("wild.itm", wildLines);
    ran = RunLink(dir, "--link --base-items '" + base + "' --new-items '" + fresh + "'" +
                           kErrorColumns + " --transformed-items '" + dir.File("t.itm") + "'");
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, "ERROR " + fresh +
                           ", item 4 (ITEM04): the b must fit its column of the result (from "
                           "-99.999 to 999.999), not '1e+308'\n");
    EXPECT_EQ(ran.out.find("stocking-lord"), std::string::npos);
    EXPECT_EQ(ReadFile(dir.File("t.itm")), "");
    ran = RunLink(dir, "--items '" + fresh + "' --score-table '" + dir.File("s.csv") + "'");
    EXPECT_EQ(ran.status, 1);
    ran = RunLink(dir, "--link --help");
    EXPECT_EQ(ran.status, 0);
    EXPECT_NE(ran.out.find("METHOD A B se_A se_B"), std::string::npos);
}

}  // namespace
}  // namespace tarvo
