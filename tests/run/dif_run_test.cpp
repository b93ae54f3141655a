// The DIF screens of whole runs: the report's section and warning from a
// classic and a marginal run of the simulated file with planted DIF, and a
// request made without the parser (the library's) and without a group
// field told that no screen was formed.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "platform/control_ids.h"
#include "report/report_json.h"
#include "report/report_summary.h"
#include "support/run_request.h"
#include "support/temp_dir.h"

namespace tarvo {
namespace {

using Json = nlohmann::json;

// tests/data/dif/dif_sim.dat: 1,500 examinees, 12 items from column 20, the
// group (R, F) in column 10; item 3 harder for F, item 7 with another slope.
struct DifRun {
    test_support::TempDir dir;
    test_support::ScriptedHost host;

    DifRun() {
        host.mode = 6;
        host.texts = {
            {control::kResponseFile, std::string(TARVO_SOURCE_DIR) + "/tests/data/dif/dif_sim.dat"},
            {control::kOutputFile, dir.File("out.csv")},
            {control::kItemCount, "12"},
            {control::kResponseStart, "20"},
            {control::kExamineeIdStart, "1"},
            {control::kExamineeIdLength, "8"}};
    }

    RunRequest Request(bool marginal, bool withGroups) const {
        RunRequest request = test_support::RequestOf(host.texts, host.mode, 2);
        if (marginal) {
            request.method = Method::Marginal;
            request.marginal.model = MarginalModel::TwoPL;
            request.marginal.priorLogA.on = false;
            request.marginal.priorC.on = false;
        }
        if (withGroups) request.groups = GroupSettings{10, 1, "", "", {}};
        request.dif.mantelHaenszel = request.dif.standardization = request.dif.logistic = true;
        return request;
    }
};

const ReportSection* Section(const RunReport& report, const char* key) {
    for (const ReportSection& section : report.sections) {
        if (section.key == key) return &section;
    }
    return nullptr;
}

TEST(DifRun, ClassicAndMarginalRunsReportTheSameScreens) {
    DifRun run;
    std::string tables[2];
    for (const bool marginal : {false, true}) {
        SCOPED_TRACE(marginal ? "marginal" : "classic");
        RunReport report;
        ASSERT_EQ(RunCalibration(run.Request(marginal, true), run.host, &report), RunEnd::Finished);
        const ReportSection* dif = Section(report, "dif");
        ASSERT_NE(dif, nullptr);
        const Json json = Json::parse(dif->json);
        EXPECT_EQ(json["matching"], "total");
        ASSERT_EQ(json["comparisons"].size(), 1u);
        const Json& c = json["comparisons"][0];
        EXPECT_EQ(c["reference"], "R");
        EXPECT_EQ(c["focal"], "F");
        EXPECT_EQ(c["purified"], Json::array({3, 7}));
        ASSERT_EQ(c["tables"].size(), 3u);
        const Json& mh = c["tables"][0];
        EXPECT_EQ(mh["method"], "mh");
        ASSERT_EQ(mh["rows"].size(), 12u);
        // Base R's numbers of the same screen (tests/dif).
        EXPECT_NEAR(mh["rows"][2]["statistic"].get<double>(), 48.2688361424, 1e-6);
        EXPECT_EQ(mh["rows"][2]["category"], "C");
        EXPECT_EQ(mh["rows"][1]["category"], "A");
        EXPECT_NEAR(c["tables"][2]["rows"][6]["non_uniform"]["chi_square"].get<double>(),
                    50.4695091543, 1e-6);
        tables[marginal ? 1 : 0] = c.dump();
        // The summary lists the flagged rows; a warning names them.
        bool named = false;
        for (const std::string& warning : report.warnings) {
            named = named || (warning.find("Mantel-Haenszel flags") == 0 &&
                              warning.find("item 3 (C)") != std::string::npos);
        }
        EXPECT_TRUE(named);
        const std::string summary = report::SummaryText(report);
        EXPECT_NE(summary.find("DIF, Mantel-Haenszel, group 'F' against 'R' (750 and 750"),
                  std::string::npos)
            << summary;
        // The report's JSON carries the section.
        EXPECT_TRUE(Json::parse(report::ReportJson(report)).contains("dif"));
    }
    // The screens read the scored responses, not the estimates.
    EXPECT_EQ(tables[0], tables[1]);
}

TEST(DifRun, WithoutAGroupFieldNoScreenIsFormedAndTheReferenceMayBeAnyGroup) {
    DifRun run;
    RunReport report;
    ASSERT_EQ(RunCalibration(run.Request(false, false), run.host, &report), RunEnd::Finished);
    const ReportSection* dif = Section(report, "dif");
    ASSERT_NE(dif, nullptr);
    EXPECT_EQ(Json::parse(dif->json)["formed"], false);
    ASSERT_EQ(dif->warnings.size(), 1u);
    EXPECT_EQ(dif->warnings[0],
              "The DIF screens (--dif) were not formed: the examinees have no group field to "
              "compare.");

    // Group F as the reference: R is the focal group, the effects turned over.
    RunRequest named = run.Request(false, true);
    named.groups.reference = "F";
    RunReport turned;
    ASSERT_EQ(RunCalibration(named, run.host, &turned), RunEnd::Finished);
    const Json c = Json::parse(Section(turned, "dif")->json)["comparisons"][0];
    EXPECT_EQ(c["focal"], "R");
    EXPECT_NEAR(c["tables"][0]["rows"][2]["effect"].get<double>(), 2.23330488325, 1e-6);
}

}  // namespace
}  // namespace tarvo
