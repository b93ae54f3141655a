// The library's link and score table against tarvo-run --link and --items
// over the same forms: the same JSON report and the same files, byte for
// byte, from files and from fits in memory (which the runner reads from an
// item file holding every digit); refusals as values with the runner's
// messages.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "library/simulated_responses.h"
#include "linking/reference_forms.h"
#include "support/temp_dir.h"
#include "tarvo/tarvo.hpp"

namespace tarvo {
namespace {

using test_support::ReadFile;
using test_support::TempDir;

struct Ran {
    int status;
    std::string err;
};

Ran Runner(const TempDir& dir, const std::string& args) {
    const std::string errFile = dir.File("stderr.txt");
    const std::string command = std::string("'") + TARVO_RUN_PATH + "' " + args + " >'" +
                                dir.File("stdout.txt") + "' 2>'" + errFile + "'";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(errFile)};
}

// An item file holding every digit of each value (17 significant digits in
// columns 25 wide), so that the runner reads the same doubles a fit holds.
struct Item {
    std::string id;
    double a, b, c, seA, seB, seC;
};

std::string ExactLines(const std::vector<Item>& items) {
    std::string text;
    for (const Item& item : items) {
        char line[256];
        std::snprintf(line, sizeof line, "%-8s %24.17g %24.17g %24.17g %24.17g %24.17g %24.17g\r\n",
                      item.id.c_str(), item.a, item.b, item.c, item.seA, item.seB, item.seC);
        text += line;
    }
    return text;
}

constexpr const char* kExactColumns =
    " --a-start 10 --a-length 24 --b-start 35 --b-length 24 --c-start 60 --c-length 24"
    " --seea-start 85 --seea-length 24 --seeb-start 110 --seeb-length 24"
    " --seec-start 135 --seec-length 24";

std::vector<std::pair<std::string, std::string>> ExactColumnOptions() {
    return {{"a-start", "10"},     {"a-length", "24"},    {"b-start", "35"},
            {"b-length", "24"},    {"c-start", "60"},     {"c-length", "24"},
            {"seea-start", "85"},  {"seea-length", "24"}, {"seeb-start", "110"},
            {"seeb-length", "24"}, {"seec-start", "135"}, {"seec-length", "24"}};
}

std::vector<Item> ItemsOf(const linking::ItemForm& form) {
    std::vector<Item> items;
    for (std::size_t i = 0; i < form.size(); ++i) {
        items.push_back(
            {form.id[i], form.a[i], form.b[i], form.c[i], form.seA[i], form.seB[i], form.seC[i]});
    }
    return items;
}

// A fit's items as the library reads them: the name where there is no ID,
// an error of -1 (not estimated) as 0.
std::vector<Item> ItemsOf(const lib::Result& fit) {
    std::vector<Item> items;
    auto known = [](double se) { return se < 0 ? 0.0 : se; };
    for (const lib::ItemRow& row : fit.items) {
        items.push_back({row.id.empty() ? row.name : row.id, row.a, row.b, row.c, known(row.seA),
                         known(row.seB), known(row.seC)});
    }
    return items;
}

lib::Form FileForm(const std::string& path) {
    lib::Form form;
    form.file = path;
    return form;
}

lib::Form FitForm(const lib::Result& fit, const std::string& label = "") {
    lib::Form form;
    form.fit = &fit;
    form.label = label;
    return form;
}

lib::Result Fit(std::size_t examinees, std::uint64_t seed, lib::Options options) {
    const test_support::Data data = test_support::Simulate(examinees, 8, 1, seed);
    options.threads = 1;
    lib::Result fit = lib::Calibrate(test_support::ResponsesOf(data), options);
    EXPECT_TRUE(fit.ok) << fit.error;
    return fit;
}

TEST(LibraryLink, FromFilesEqualsTheRunnersReportAndFiles) {
    const TempDir dir;
    const std::string base =
        dir.Write("base.itm", ExactLines(ItemsOf(linking::test::ReferenceBase())));
    const std::string fresh =
        dir.Write("new.itm", ExactLines(ItemsOf(linking::test::ReferenceNew())));
    struct Case {
        const char* name;
        std::string runner;
        lib::LinkOptions options;
    };
    lib::LinkOptions haebara;
    haebara.method = "haebara";
    haebara.symmetric = true;
    haebara.criterionPoints = 31;
    lib::LinkOptions bootstrap;
    bootstrap.bootstrap = 40;
    bootstrap.seed = 5;
    bootstrap.driftZ = 1.5;
    bootstrap.dropDrifting = true;
    lib::LinkOptions population;
    population.method = "mean/sigma";
    population.populationMean = 0.5;
    population.populationPoints = 41;
    for (Case& c : std::vector<Case>{
             {"stocking-lord", "", {}},
             {"haebara symmetric", " --link-method haebara --symmetric --criterion-points 31",
              haebara},
             {"bootstrap and drop", " --bootstrap 40 --seed 5 --drift-z 1.5 --drop-drifting",
              bootstrap},
             {"mean/sigma",
              " --link-method mean/sigma --population-mean 0.5 --population-points 41",
              population}}) {
        SCOPED_TRACE(c.name);
        const Ran ran = Runner(
            dir, "--link --base-items '" + base + "' --new-items '" + fresh + "'" + kExactColumns +
                     c.runner + " --report '" + dir.File("r.json") + "' --score-table '" +
                     dir.File("r.csv") + "' --equating-table '" + dir.File("r-eq.csv") +
                     "' --transformed-items '" + dir.File("r.itm") + "'");
        ASSERT_EQ(ran.status, 0) << ran.err;

        c.options.runnerOptions = ExactColumnOptions();
        c.options.reportFile = dir.File("l.json");
        c.options.scoreTableFile = dir.File("l.csv");
        c.options.equatingTableFile = dir.File("l-eq.csv");
        c.options.transformedItemsFile = dir.File("l.itm");
        const lib::LinkResult link = lib::Link(FileForm(base), FileForm(fresh), c.options);
        ASSERT_TRUE(link.ok) << link.error;
        EXPECT_EQ(link.reportJson, ReadFile(dir.File("r.json")));
        EXPECT_EQ(ReadFile(dir.File("l.json")), ReadFile(dir.File("r.json")));
        for (const char* suffix : {".csv", "-eq.csv", ".itm"}) {
            EXPECT_EQ(ReadFile(dir.File(std::string("l") + suffix)),
                      ReadFile(dir.File(std::string("r") + suffix)))
                << suffix;
        }
        // The typed tables are the report's.
        ASSERT_EQ(link.constants.size(), 4u);
        EXPECT_EQ(link.commonItems, 8u);
        EXPECT_EQ(link.matchedBy, "item ID");
        EXPECT_TRUE(link.chosen.ok);
        EXPECT_EQ(link.transformed.size(), 8u);
        EXPECT_EQ(link.equating.size(), 9u);
        EXPECT_EQ(link.scoreTable.size(), 9u);
        EXPECT_EQ(link.baseCurve.theta.size(), link.newCurve.theta.size());
        EXPECT_EQ(link.drift.size(), 8u);
        EXPECT_EQ(link.constantsBeforeDrop.empty(), link.dropped.empty());
    }
}

TEST(LibraryLink, FromFitsEqualsTheRunnerOverTheirItemsWithEveryDigit) {
    const TempDir dir;
    lib::Options twoPl;
    twoPl.method = "mml";
    twoPl.model = "2pl";
    lib::Options classic3;
    classic3.mode = 3;
    lib::Options classic6;
    classic6.mode = 6;
    struct Case {
        const char* name;
        lib::Options options;
        const char* model;
    };
    for (const Case& c : std::vector<Case>{{"mml 2pl", twoPl, "2pl"},
                                           {"classic mode 3", classic3, "3pl"},
                                           {"classic mode 6", classic6, "1pl"}}) {
        SCOPED_TRACE(c.name);
        const lib::Result baseFit = Fit(300, 11, c.options);
        const lib::Result newFit = Fit(250, 12, c.options);
        const std::string base = dir.Write("base.itm", ExactLines(ItemsOf(baseFit)));
        const std::string fresh = dir.Write("new.itm", ExactLines(ItemsOf(newFit)));
        const Ran ran =
            Runner(dir, "--link --base-items '" + base + "' --new-items '" + fresh + "'" +
                            kExactColumns + " --base-model " + c.model + " --new-model " + c.model +
                            " --report '" + dir.File("r.json") + "'");
        ASSERT_EQ(ran.status, 0) << ran.err;

        // Labelled by the files' names, the report names the same forms.
        const lib::LinkResult link = lib::Link(FitForm(baseFit, base), FitForm(newFit, fresh));
        ASSERT_TRUE(link.ok) << link.error;
        EXPECT_EQ(link.reportJson, ReadFile(dir.File("r.json")));
        EXPECT_EQ(link.matchedBy, "item ID");  // by the items' names
        if (std::string(c.model) == "1pl") {
            EXPECT_EQ(link.chosen.A, 1.0);  // two 1PL forms keep the slope
        }
    }
}

TEST(LibraryLink, AnchorPairsInMemoryMatchAnAnchorsFile) {
    const TempDir dir;
    const std::string base =
        dir.Write("base.itm", ExactLines(ItemsOf(linking::test::ReferenceBase())));
    const std::string fresh =
        dir.Write("new.itm", ExactLines(ItemsOf(linking::test::ReferenceNew())));
    const std::string anchors =
        dir.Write("anchors.txt", "ITEM01 ITEM01\nITEM03,ITEM03\nITEM05\tITEM05\nITEM08 ITEM08\n");
    lib::LinkOptions fromFile;
    fromFile.anchorsFile = anchors;
    fromFile.runnerOptions = ExactColumnOptions();
    lib::LinkOptions inMemory;
    inMemory.anchors = {
        {"ITEM01", "ITEM01"}, {"ITEM03", "ITEM03"}, {"ITEM05", "ITEM05"}, {"ITEM08", "ITEM08"}};
    inMemory.runnerOptions = ExactColumnOptions();
    const lib::LinkResult a = lib::Link(FileForm(base), FileForm(fresh), fromFile);
    const lib::LinkResult b = lib::Link(FileForm(base), FileForm(fresh), inMemory);
    ASSERT_TRUE(a.ok) << a.error;
    ASSERT_TRUE(b.ok) << b.error;
    EXPECT_EQ(a.commonItems, 4u);
    EXPECT_EQ(a.matchedBy, "anchor pairs");
    EXPECT_EQ(a.reportJson, b.reportJson);
}

// Every failure is a value with the runner's words; nothing throws.
TEST(LibraryLink, RefusalsAreValuesWithTheRunnersMessages) {
    const TempDir dir;
    const std::string base =
        dir.Write("base.itm", ExactLines(ItemsOf(linking::test::ReferenceBase())));
    lib::LinkOptions badMethod;
    badMethod.method = "median";
    lib::LinkResult link = lib::Link(FileForm(base), FileForm(base), badMethod);
    EXPECT_FALSE(link.ok);
    EXPECT_EQ(link.error,
              "--link-method takes mean/mean, mean/sigma, haebara or stocking-lord, not 'median'");

    lib::LinkOptions fewReplicates;
    fewReplicates.bootstrap = 1;
    link = lib::Link(FileForm(base), FileForm(base), fewReplicates);
    EXPECT_EQ(link.error, "--bootstrap takes a whole number from 2 to 100000, not '1'");

    lib::LinkOptions exact;
    exact.runnerOptions = ExactColumnOptions();
    link = lib::Link(FileForm(base), FileForm(dir.File("missing.itm")), exact);
    EXPECT_FALSE(link.ok);
    EXPECT_NE(link.error.find("missing.itm"), std::string::npos) << link.error;

    lib::LinkOptions overInput;
    overInput.reportFile = base;
    link = lib::Link(FileForm(base), FileForm(dir.Write("new.itm", ReadFile(base))), overInput);
    EXPECT_FALSE(link.ok);
    EXPECT_NE(link.error.find("--report"), std::string::npos) << link.error;
    EXPECT_EQ(ReadFile(base), ExactLines(ItemsOf(linking::test::ReferenceBase())));

    // A fit of items scored 0..m is no form of right/wrong items.
    lib::Options grm;
    grm.method = "mml";
    grm.model = "grm";
    const lib::Result polytomous =
        lib::Calibrate(test_support::ResponsesOf(test_support::Simulate(200, 5, 2, 3)), grm);
    ASSERT_TRUE(polytomous.ok) << polytomous.error;
    link = lib::Link(FitForm(polytomous), FileForm(base));
    EXPECT_FALSE(link.ok);
    EXPECT_NE(link.error.find("base fit"), std::string::npos) << link.error;
    const lib::ScoreTableResult table = lib::ScoreTable(FitForm(polytomous));
    EXPECT_FALSE(table.ok);
    EXPECT_FALSE(table.error.empty());
}

TEST(LibraryScoreTable, EqualsTheRunnersItemsCommandFromAFileAndAFit) {
    const TempDir dir;
    lib::Options threePl;
    threePl.method = "mml";
    const lib::Result fit = Fit(400, 21, threePl);
    const std::string items = dir.Write("fit.itm", ExactLines(ItemsOf(fit)));
    const Ran ran = Runner(dir, "--items '" + items + "'" + kExactColumns +
                                    " --population-sd 1.5 --score-table '" + dir.File("r.csv") +
                                    "' --report '" + dir.File("r.json") + "'");
    ASSERT_EQ(ran.status, 0) << ran.err;

    lib::ScoreTableOptions options;
    options.populationSd = 1.5;
    const lib::ScoreTableResult fromFit = lib::ScoreTable(FitForm(fit), options);
    ASSERT_TRUE(fromFit.ok) << fromFit.error;
    EXPECT_EQ(fromFit.reportJson, ReadFile(dir.File("r.json")));
    EXPECT_EQ(fromFit.rows.size(), 9u);

    options.runnerOptions = ExactColumnOptions();
    options.scoreTableFile = dir.File("l.csv");
    const lib::ScoreTableResult fromFile = lib::ScoreTable(FileForm(items), options);
    ASSERT_TRUE(fromFile.ok) << fromFile.error;
    EXPECT_EQ(fromFile.reportJson, fromFit.reportJson);
    EXPECT_EQ(ReadFile(dir.File("l.csv")), ReadFile(dir.File("r.csv")));
    ASSERT_EQ(fromFile.messages.size(), 1u);
    EXPECT_NE(fromFile.messages[0].find("l.csv"), std::string::npos);
}

}  // namespace
}  // namespace tarvo
