// Whole runs with the marginal estimator: the result layout of the matching
// joint mode, the same file on any number of threads, items held at the
// item file's values, Stop, the checks that end a run, and the report.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "support/run_fixture.h"
#include "support/run_request.h"

namespace tarvo {
namespace {

using test_support::RunMarginal;

using test_support::CrLfLines;
using test_support::RunFixture;
using test_support::ScriptedHost;

struct Layout {
    MarginalModel model;
    const char* itemHeader;
    int fields;  // comma-separated fields of an item row
};

TEST(MarginalRun, ResultHasTheLayoutOfTheMatchingJointMode) {
    const Layout layouts[] = {
        {MarginalModel::ThreePL, "SeqItem,AccNo, Nobs, a_calib, b_calib,c_calib, seea, seeb, seec",
         9},
        {MarginalModel::TwoPL, "SeqItem,AccNo, Nobs, a_calib, b_calib,c_calib, seea, seeb, seec",
         9},
        {MarginalModel::ThreePLCGiven,
         "SeqItem,AccNo, Nobs, a_calib, b_calib,c_given, seea, seeb, seec", 9},
        {MarginalModel::OnePL, "SeqItem,AccNo, Nobs, b_calib, seeb", 5},
        {MarginalModel::Rasch, "SeqItem,AccNo, Nobs, b_calib, seeb", 5},
    };
    RunFixture data(300, 8);
    data.WriteFiles(17);
    for (const Layout& layout : layouts) {
        ScriptedHost host = data.Host(3);
        MarginalSettings settings;
        settings.model = layout.model;
        RunReport report;
        ASSERT_EQ(RunMarginal(host, settings, &report), RunEnd::Finished)
            << ModelName(layout.model);
        bool crlf = false;
        const auto lines = CrLfLines(data.Output(), &crlf);
        EXPECT_TRUE(crlf);
        ASSERT_EQ(lines.size(), 1u + 8 + 1 + 1 + 300) << ModelName(layout.model);
        EXPECT_EQ(lines[0], layout.itemHeader);
        EXPECT_EQ(lines[9], "");
        EXPECT_EQ(lines[10], " SeqID,    ExaminID,Nvalid,   theta, seetheta");
        int commas = 0;
        for (char ch : lines[1]) commas += ch == ',' ? 1 : 0;
        EXPECT_EQ(commas + 1, layout.fields) << lines[1];
        EXPECT_TRUE(host.questions.empty());  // no standardise question
        EXPECT_EQ(host.viewed.size(), 1u);
        EXPECT_EQ(report.method, "mml");
        EXPECT_EQ(report.model, ModelName(layout.model));
        EXPECT_GT(report.loop.passes, 1);
        EXPECT_LT(report.logLikelihood, 0);
        EXPECT_EQ(report.priors.size(), layout.model == MarginalModel::ThreePL ? 2u
                                        : layout.model == MarginalModel::OnePL ? 0u
                                                                               : 1u);
    }
}

TEST(MarginalRun, TwoPLWritesCAsZeroAndItsErrorAsNotEstimated) {
    RunFixture data(200, 5);
    data.WriteFiles();
    ScriptedHost host = data.Host(3);
    MarginalSettings settings;
    settings.model = MarginalModel::TwoPL;
    ASSERT_EQ(RunMarginal(host, settings, nullptr), RunEnd::Finished);
    const auto lines = CrLfLines(data.Output());
    for (int i = 1; i <= 5; ++i) {
        EXPECT_NE(lines[i].find(",  0.000,"), std::string::npos) << lines[i];
        EXPECT_EQ(lines[i].substr(lines[i].size() - 8), ", -1.000") << lines[i];
    }
}

// The blocks of the E-step and of the information, the M-step's items and
// the scores may go to any thread, and the kernels may be any unit's: the
// file is the same bits. (A unit the processor lacks falls back to the
// widest it has, which the comparison then repeats.)
TEST(MarginalRun, SameFileOnEveryThreadCountAndVectorUnit) {
    RunFixture data(700, 12);
    data.WriteFiles(23);
    struct Way {
        unsigned threads;
        VectorUnit unit;
    };
    const Way ways[] = {{1, VectorUnit::Best},   {2, VectorUnit::Best}, {3, VectorUnit::Best},
                        {2, VectorUnit::Avx512}, {2, VectorUnit::Avx2}, {2, VectorUnit::Portable}};
    for (MarginalScoring scoring :
         {MarginalScoring::Eap, MarginalScoring::Map, MarginalScoring::Ml}) {
        std::string first;
        for (const Way& way : ways) {
            ScriptedHost host = data.Host(3);
            MarginalSettings settings;
            settings.scoring = scoring;
            EngineSettings engine;
            engine.vectorUnit = way.unit;
            ASSERT_EQ(RunMarginal(host, settings, nullptr, way.threads, engine), RunEnd::Finished);
            if (first.empty()) {
                first = data.Output();
            } else {
                EXPECT_EQ(data.Output(), first)
                    << way.threads << " threads, unit " << static_cast<int>(way.unit);
            }
        }
    }
}

TEST(MarginalRun, HeldItemsKeepTheItemFilesValues) {
    RunFixture data(600, 10);
    data.WriteFiles();
    // An item file that gives the first four items only.
    std::string parameters;
    for (int i = 0; i < 4; ++i) {
        char line[80];
        std::snprintf(line, sizeof line, "ITEM%04d             %9.4f %9.4f %9.4f", i + 1,
                      data.itemParams[i].a, data.itemParams[i].b, data.itemParams[i].c);
        parameters += std::string(line) + "\r\n";
    }
    test_support::WriteFile(data.itemFile(), parameters);
    ScriptedHost host = data.Host(3);
    MarginalSettings settings;
    settings.fixItems = true;
    settings.estimatePopulation = true;
    RunReport report;
    ASSERT_EQ(RunMarginal(host, settings, &report), RunEnd::Finished);
    // The held items set the scale: the population is estimated, with errors.
    EXPECT_TRUE(report.population.estimated);
    EXPECT_GT(report.population.seMean, 0);
    EXPECT_GT(report.population.seSd, 0);
    const auto lines = CrLfLines(data.Output());
    for (int i = 0; i < 10; ++i) {
        const std::string& row = lines[1 + i];
        if (i < 4) {
            char expected[80];
            std::snprintf(expected, sizeof expected, "%7.3f,%7.3f,%7.3f, -1.000, -1.000, -1.000",
                          data.itemParams[i].a, data.itemParams[i].b, data.itemParams[i].c);
            EXPECT_EQ(row.substr(row.size() - std::string(expected).size()), expected) << row;
        } else {
            EXPECT_EQ(row.find("-1.000, -1.000, -1.000"), std::string::npos) << row;
        }
    }
}

TEST(MarginalRun, AGivenCOutsideZeroToOneIsHeldAtTheBound) {
    RunFixture data(300, 4);
    data.WriteFiles();
    data.itemParams[0].c = 1.5;   // no wrong answer possible
    data.itemParams[1].c = -0.3;  // not a probability
    std::string parameters;
    for (const auto& item : data.itemParams) {
        char line[80];
        std::snprintf(line, sizeof line, "ITEM               %9.4f %9.4f %9.4f", item.a, item.b,
                      item.c);
        parameters += std::string(line) + "\r\n";
    }
    test_support::WriteFile(data.itemFile(), parameters);
    ScriptedHost host = data.Host(5);
    MarginalSettings settings;
    settings.model = MarginalModel::ThreePLCGiven;
    ASSERT_EQ(RunMarginal(host, settings, nullptr), RunEnd::Finished);
    const std::string output = data.Output();
    EXPECT_EQ(output.find("nan"), std::string::npos);
    const auto lines = CrLfLines(output);
    EXPECT_NE(lines[1].find(",  0.999,"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find(",  0.000,"), std::string::npos) << lines[2];
}

TEST(MarginalRun, AnswersThatNoAbilityExplainsLeaveEveryNumberFinite) {
    // Two held steps in opposite order: right on the first and wrong on the
    // second fits no ability at all (each point's likelihood is 0 in double).
    test_support::TempDir dir;
    test_support::WriteFile(dir.File("steep.itm"),
                            "ITEM0001               999.0000    0.5000    0.0000\r\n"
                            "ITEM0002               999.0000   -0.5000    0.0000\r\n");
    std::string responses;
    for (const char* codes : {"10111", "01000", "11010", "00101"}) {
        responses += "P000000" + std::string(1, static_cast<char>('1' + responses.size() % 9)) +
                     "           " + codes + "\r\n";
    }
    test_support::WriteFile(dir.File("steep.dat"), responses);
    for (MarginalScoring scoring :
         {MarginalScoring::Eap, MarginalScoring::Map, MarginalScoring::Ml}) {
        ScriptedHost host;
        host.mode = 3;
        host.texts = sim::SampleControlTexts(5, dir.File("steep.dat"), dir.File("steep.itm"),
                                             dir.File("out.csv"));
        MarginalSettings settings;
        settings.fixItems = true;
        settings.scoring = scoring;
        RunReport report;
        ASSERT_EQ(RunMarginal(host, settings, &report), RunEnd::Finished);
        EXPECT_TRUE(std::isfinite(report.logLikelihood));
        EXPECT_EQ(report.loop.end, LoopEnd::Settled);
    }
}

TEST(MarginalRun, ChecksEndTheRunWithAMessage) {
    RunFixture data(50, 4);
    data.WriteFiles();
    struct Case {
        MarginalModel model;
        bool fixItems;
    };
    for (const Case& test :
         {Case{MarginalModel::ThreePLCGiven, false}, Case{MarginalModel::ThreePL, true}}) {
        ScriptedHost host = data.Host(3);
        host.texts[control::kItemParameterFile] = "";
        MarginalSettings settings;
        settings.model = test.model;
        settings.fixItems = test.fixItems;
        EXPECT_EQ(RunMarginal(host, settings, nullptr), RunEnd::EndedAtCheck);
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_NE(host.messages[0].find("item parameter file"), std::string::npos);
    }
}

TEST(MarginalRun, HeldValuesTheModelCannotUseAreRefusedNamingTheLine) {
    RunFixture data(50, 4);
    data.WriteFiles();
    struct Case {
        MarginalModel model;
        const char* a;
        const char* b;
        const char* c;
        std::string refusal;  // empty: the run goes on
    };
    const std::string file = data.itemFile();
    const auto refused = [&](const std::string& what) {
        return "ERROR Item parameter file " + file + ", line 2 (item 2): the held " + what + ".";
    };
    const Case cases[] = {
        {MarginalModel::ThreePL, "abc", "0.5", "0.2", refused("a must be a number, not 'abc'")},
        {MarginalModel::ThreePL, "nan", "0.5", "0.2", refused("a must be a number, not 'nan'")},
        {MarginalModel::ThreePL, "1e999", "0.5", "0.2",
         refused("a must be a finite number, not '1e999'")},
        {MarginalModel::ThreePL, "-0.5", "0.5", "0.2", refused("a must be above 0, not '-0.5'")},
        {MarginalModel::ThreePL, "0", "0.5", "0.2", refused("a must be above 0, not '0'")},
        {MarginalModel::ThreePL, "1000", "0.5", "0.2",
         refused("a must fit its column of the result (below 1000), not '1000'")},
        {MarginalModel::ThreePL, "1.2", "-1e400", "0.2",
         refused("b must be a finite number, not '-1e400'")},
        {MarginalModel::ThreePL, "1.2", "0.5x", "0.2", refused("b must be a number, not '0.5x'")},
        {MarginalModel::ThreePL, "1.2", "-1e308", "0.2",
         refused("b must fit its column of the result (from -99.999 to 999.999), not '-1e308'")},
        {MarginalModel::TwoPL, "1.2", "1000", "0",
         refused("b must fit its column of the result (from -99.999 to 999.999), not '1000'")},
        {MarginalModel::ThreePL, "1.2", "0.5", "1",
         refused("c must be from 0 to below 1, not '1'")},
        {MarginalModel::ThreePL, "1.2", "0.5", "-0.1",
         refused("c must be from 0 to below 1, not '-0.1'")},
        // The model's own a and c are not read from the line.
        {MarginalModel::TwoPL, "1.2", "0.5", "1.5", ""},
        {MarginalModel::OnePL, "-3", "0.5", "abc", ""},
        {MarginalModel::ThreePL, "999.9", "0.5", "0.999", ""},
        {MarginalModel::ThreePL, "1.2", "-99.9", "0.2", ""},
    };
    for (const Case& test : cases) {
        char line[80];
        std::snprintf(line, sizeof line, "ITEM0002             %9s %9s %9s\r\n", test.a, test.b,
                      test.c);
        test_support::WriteFile(
            file, "ITEM0001                1.0000    0.0000    0.2000\r\n" + std::string(line));
        ScriptedHost host = data.Host(3);
        MarginalSettings settings = SettingsFor(test.model);
        settings.fixItems = true;
        const RunEnd end = RunMarginal(host, settings, nullptr);
        if (test.refusal.empty()) {
            EXPECT_EQ(end, RunEnd::Finished) << test.a << " " << test.c;
            continue;
        }
        EXPECT_EQ(end, RunEnd::EndedAtCheck) << test.refusal;
        ASSERT_FALSE(host.messages.empty());
        EXPECT_EQ(host.messages.back(), test.refusal);
    }
}

// A stop is answered in every phase: between EM cycles, after EM (before
// the standard errors) and between blocks of examinees being scored. With
// exactly three cycles and 300 examinees the polls fall at cycles 1 to 3,
// after EM, and before the first block of scores.
TEST(MarginalRun, AStopIsAnsweredInEveryPhaseAndSaysWhatWasLeftUndone) {
    RunFixture data(300, 6);
    data.WriteFiles();
    MarginalSettings settings;
    settings.maxCycles = 3;
    settings.tolerance = 1e-12;
    struct Case {
        int stopAtPoll;
        const char* said;
        bool errors;  // the items' standard errors were formed
    } cases[] = {
        {2,
         "the result holds the estimates as they stood after EM cycle 2; the standard errors "
         "and the scores were not computed (-1, theta 0).",
         false},
        {4,
         "the result holds the estimates as they stood after EM cycle 3; the standard errors "
         "and the scores were not computed (-1, theta 0).",
         false},
        {5,
         "the result holds the estimates as they stood after EM cycle 3; the scores of 300 of "
         "300 examinees were not computed (theta 0, seetheta -1).",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stopAtPoll);
        ScriptedHost host = data.Host(3);
        host.stopAtPoll = c.stopAtPoll;
        RunReport report;
        EXPECT_EQ(RunMarginal(host, settings, &report), RunEnd::Stopped);
        EXPECT_EQ(host.stopLines, std::vector<std::string>{c.said});
        EXPECT_EQ(host.calls.back(), "shutdown");
        const auto lines = CrLfLines(data.Output());
        ASSERT_EQ(lines.size(), 1u + 6 + 1 + 1 + 300);
        EXPECT_EQ(lines[1].ends_with(", -1.000, -1.000, -1.000"), !c.errors) << lines[1];
        EXPECT_TRUE(lines[11].ends_with(",    6,   0.0000,  -1.0000")) << lines[11];
        // The EM cycles made are in the report, each with its trace.
        EXPECT_EQ(report.loop.logLikelihood.size(), static_cast<std::size_t>(report.loop.passes));
        for (const ItemReport& item : report.itemRows) {
            EXPECT_EQ(item.flags & kItemNotEstimated, 0u) << item.seqItem;
        }
    }
}

// Without an item to hold, nothing sets the scale: the population stays
// N(0, 1) and the report does not call it estimated.
TEST(MarginalRun, APopulationIsEstimatedOnlyUnderHeldItems) {
    RunFixture data(200, 5);
    data.WriteFiles();
    test_support::WriteFile(data.itemFile(), "\r\n\r\n\r\n\r\n\r\n");
    ScriptedHost host = data.Host(3);
    MarginalSettings settings;
    settings.fixItems = true;
    settings.estimatePopulation = true;
    RunReport report;
    ASSERT_EQ(RunMarginal(host, settings, &report), RunEnd::Finished);
    EXPECT_FALSE(report.population.estimated);
    EXPECT_EQ(report.population.mean, 0);
    EXPECT_EQ(report.population.sd, 1);
    EXPECT_TRUE(std::isnan(report.population.seMean));
}

// MAP scores take the population the run estimated as their prior: each is
// where the slope of its log posterior under N(mean, SD^2) is zero.
TEST(MarginalRun, MapScoresTakeThePopulationTheRunEstimated) {
    RunFixture data(600, 10);
    for (double& theta : data.thetas) theta = 1.2 + 0.35 * theta;  // mean 1.2, SD about 0.5
    data.WriteFiles();
    ScriptedHost host = data.Host(3);
    MarginalSettings settings;
    settings.fixItems = true;
    settings.estimatePopulation = true;
    settings.scoring = MarginalScoring::Map;
    RunReport report;
    ASSERT_EQ(RunMarginal(host, settings, &report), RunEnd::Finished);
    const PopulationEstimate& population = report.population;
    ASSERT_TRUE(population.estimated);
    EXPECT_NEAR(population.mean, 1.2, 0.1);
    EXPECT_NEAR(population.sd, 0.5, 0.1);
    const auto lines = CrLfLines(test_support::ReadFile(data.responseFile()));
    ASSERT_EQ(report.personRows.size(), 600u);
    ASSERT_EQ(report.itemRows.size(), 10u);
    for (std::size_t j = 0; j < 600; j += 7) {
        const double theta = report.personRows[j].theta;
        double slope = -(theta - population.mean) / (population.sd * population.sd);
        for (std::size_t i = 0; i < 10; ++i) {
            const ItemReport& item = report.itemRows[i];
            const double s = 1 / (1 + std::exp(-1.7 * item.a * (theta - item.b)));
            const double p = item.c + (1 - item.c) * s;
            const double dp = (1 - item.c) * 1.7 * item.a * s * (1 - s);
            slope += lines[j][19 + i] == '1' ? dp / p : -dp / (1 - p);
        }
        EXPECT_NEAR(slope, 0, 1e-6) << "examinee " << j + 1 << " at " << theta;
    }
}

// An item without a single valid response has nothing to be estimated
// from: it keeps its start values, without standard errors, and the other
// items are estimated as usual.
TEST(MarginalRun, AnItemNobodyAnsweredIsNotEstimated) {
    RunFixture data(300, 6);
    data.WriteFiles();
    std::string responses = test_support::ReadFile(data.responseFile());
    for (std::size_t start = 0; start < responses.size();) {
        responses[start + 19 + 2] = ' ';  // item 3: responses from column 20
        start = responses.find('\n', start) + 1;
    }
    test_support::WriteFile(data.responseFile(), responses);
    for (MarginalModel model : {MarginalModel::ThreePL, MarginalModel::TwoPL}) {
        SCOPED_TRACE(ModelName(model));
        ScriptedHost host = data.Host(3);
        RunReport report;
        ASSERT_EQ(RunMarginal(host, SettingsFor(model), &report), RunEnd::Finished);
        const auto lines = CrLfLines(data.Output());
        for (int i = 1; i <= 6; ++i) {
            EXPECT_EQ(lines[i].ends_with(", -1.000, -1.000, -1.000"), i == 3) << lines[i];
        }
        ASSERT_EQ(report.itemRows.size(), 6u);
        EXPECT_EQ(report.itemRows[2].nobs, 0);
        EXPECT_NE(report.itemRows[2].flags & kItemNotEstimated, 0u);
    }
}

}  // namespace
}  // namespace tarvo
