// The HTML report's pieces: the person-item map's data, the page built from
// a report whose texts hold markup and bytes that are not UTF-8.
#include "report/html/html_report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>

#include "report/html/html_writer.h"
#include "report/html/person_item_map.h"
#include "support/html_tables.h"

namespace tarvo::report {
namespace {

RunReport SmallReport() {
    RunReport report;
    report.program = "TARVO test";
    report.job = "{}";
    report.mode = 3;
    report.model = "3pl";
    report.resultFile = "out.csv";
    for (int i = 1; i <= 3; ++i) {
        ItemReport item;
        item.seqItem = i;
        item.a = 1;
        item.b = -1.0 + i * 0.5;  // -0.5, 0, 0.5
        item.c = 0.2;
        report.itemRows.push_back(item);
    }
    const double thetas[] = {-2.9, -0.1, 0.1, 0.2, 1.4, 7.5, std::nan("")};
    for (double t : thetas) {
        PersonReport person;
        person.examinId = "E";
        person.theta = t;
        person.nvalid = 3;
        report.personRows.push_back(person);
    }
    return report;
}

TEST(PersonItemMap, CountsEveryFiniteAbilityOnceAndPlacesEveryLocationOnTheScale) {
    RunReport report = SmallReport();
    // An item scored 0..3 shows each threshold; a location past the axis's
    // reach is left off.
    report.itemRows[1].categories = 4;
    report.itemRows[1].thresholds = {-1.2, 0.3, 1.1};
    report.itemRows[2].b = 40;
    ASSERT_TRUE(HasPersonItemMap(report));
    const PersonItemMap theta = MapOf(report, 1, 0.5);
    EXPECT_EQ(theta.examinees, 6u);  // the NaN is left out
    EXPECT_EQ(std::accumulate(theta.counts.begin(), theta.counts.end(), std::size_t{0}), 6u);
    EXPECT_EQ(theta.outside, 1u);  // 7.5 beyond the axis's +6, in the top bin
    EXPECT_EQ(theta.counts.back(), 1u);
    ASSERT_EQ(theta.locations.size(), 4u);
    EXPECT_EQ(theta.locations[0].label, "2.1");
    EXPECT_DOUBLE_EQ(theta.locations[0].location, -1.2);
    EXPECT_EQ(theta.locations[1].label, "1");
    EXPECT_EQ(theta.locations[3].label, "2.3");
    // -0.1 and 0.1 in neighbouring bins of 0.5: the bin edges are on 0.
    const auto bin = [&](double t) {
        return static_cast<std::size_t>(std::floor((t - theta.low) / theta.binWidth));
    };
    EXPECT_EQ(theta.counts[bin(-0.1)], 1u);
    EXPECT_EQ(theta.counts[bin(0.1)], 2u);  // 0.1 and 0.2

    const PersonItemMap logits = MapOf(report, kLogitsPerTheta, 0.5);
    EXPECT_EQ(logits.counts, theta.counts);
    EXPECT_DOUBLE_EQ(logits.locations[0].location, -1.2 * 1.7);
    EXPECT_DOUBLE_EQ(logits.low, theta.low * 1.7);

    for (PersonReport& p : report.personRows) p.theta = std::nan("");
    EXPECT_FALSE(HasPersonItemMap(report));
}

TEST(PersonItemMap, RaschFamilyByModelOrClassicMode) {
    RunReport report = SmallReport();
    EXPECT_FALSE(RaschFamily(report));
    report.model = "pcm";
    EXPECT_TRUE(RaschFamily(report));
    report.model = "1pl";
    report.mode = 6;
    EXPECT_TRUE(RaschFamily(report));
}

TEST(HtmlPage, TextsFromTheInputsCannotBreakThePageOrItsTables) {
    RunReport report = SmallReport();
    report.itemRows[0].accNo = "<script>x</script>";
    report.personRows[0].examinId = "A\xFF\"B";
    report.warnings.push_back("Look at <b>this</b> & that.");
    const std::string page = HtmlReport(report);
    EXPECT_EQ(page.find("<script>x"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;x&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(page.find("Look at &lt;b&gt;this&lt;/b&gt; &amp; that."), std::string::npos);
    EXPECT_NE(page.find("A\xEF\xBF\xBD&quot;B"), std::string::npos);
    // The page's one script is its own; each table row read back whole.
    EXPECT_EQ(page.find("<script>", page.find("</script>")), std::string::npos);
    for (const auto& table : test_support::HtmlTablesOf(page)) {
        for (const auto& row : table.rows) {
            EXPECT_EQ(row.cells.size(), table.members ? 1u : table.columns.size()) << table.pointer;
        }
    }
    // Without examinees there is no map, and the page says so.
    report.personRows.clear();
    EXPECT_NE(HtmlReport(report).find("no abilities to map"), std::string::npos);
}

TEST(HtmlPage, NumbersAreShownRoundedWithTheJsonTextKept) {
    using html::Json;
    EXPECT_EQ(html::Shown(Json(0.123456), 3), "0.123");
    EXPECT_EQ(html::Shown(Json(7.6e-05), 3), "7.60e-05");  // not 0.000
    EXPECT_EQ(html::Shown(Json(42), 3), "42");
    EXPECT_EQ(html::Shown(Json(nullptr), 3), "\xE2\x80\x93");
    EXPECT_EQ(html::JsonText(Json(0.1 + 0.2)), "0.30000000000000004");
}

}  // namespace
}  // namespace tarvo::report
