// The runner's HTML report: every number in its tables is the JSON report's,
// it needs nothing outside itself, it lists or summarises the examinees by
// the limit, and it is refused where it names another file of the run.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "support/html_tables.h"
#include "support/run_fixture.h"

namespace tarvo {
namespace {

using test_support::RunFixture;
using Json = nlohmann::json;

struct Ran {
    int status;
    std::string out, err;
};

Ran RunTool(const test_support::TempDir& dir, const std::string& args) {
    const std::string outFile = dir.File("stdout.txt"), errFile = dir.File("stderr.txt");
    const std::string command =
        std::string("'") + TARVO_RUN_PATH + "' " + args + " 2>'" + errFile + "' >'" + outFile + "'";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test_support::ReadFile(outFile),
            test_support::ReadFile(errFile)};
}

std::string Layout(const RunFixture& data, int items) {
    return "--response-file '" + data.responseFile() + "' --item-count " + std::to_string(items) +
           " --response-start 20 --examinee-id-start 1 --examinee-id-length 8";
}

// The decimals a shown number has after its point, and the power of ten of
// one written with an exponent.
double LastDigit(const std::string& shown) {
    const std::size_t e = shown.find('e');
    const std::string mantissa = shown.substr(0, e);
    const std::size_t point = mantissa.find('.');
    const int decimals =
        point == std::string::npos ? 0 : static_cast<int>(mantissa.size() - point - 1);
    const int power = e == std::string::npos ? 0 : std::stoi(shown.substr(e + 1));
    return std::pow(10.0, power - decimals);
}

// Every cell of every table that names its JSON equals the document's value
// there, and a number is shown as that value rounded; returns the numbers
// checked and the tables' pointers.
std::size_t CheckTables(const std::string& html, const Json& document,
                        std::set<std::string>& pointers) {
    std::size_t numbers = 0;
    for (const auto& table : test_support::HtmlTablesOf(html)) {
        pointers.insert(table.pointer);
        const Json::json_pointer at(table.pointer);
        if (!document.contains(at)) {
            ADD_FAILURE() << "no " << table.pointer << " in the JSON";
            continue;
        }
        for (const auto& row : table.rows) {
            std::vector<std::string> paths;
            std::vector<std::size_t> cells;
            if (table.members) {
                paths.push_back(table.pointer + row.index);
                cells.push_back(0);
            } else {
                for (std::size_t k = 0; k < table.columns.size(); ++k) {
                    if (table.columns[k] == "#") continue;
                    paths.push_back(table.pointer + "/" + row.index + table.columns[k]);
                    cells.push_back(k);
                }
            }
            for (std::size_t n = 0; n < paths.size(); ++n) {
                if (cells[n] >= row.cells.size()) {
                    ADD_FAILURE() << paths[n] << ": the row has too few cells";
                    continue;
                }
                const auto& cell = row.cells[cells[n]];
                const Json::json_pointer where(paths[n]);
                if (!cell.hasValue) {
                    EXPECT_FALSE(document.contains(where)) << paths[n] << " not shown";
                    continue;
                }
                if (!document.contains(where)) {
                    ADD_FAILURE() << paths[n] << " shown but not in the JSON";
                    continue;
                }
                const Json& expected = document.at(where);
                EXPECT_EQ(Json::parse(cell.value), expected) << paths[n];
                if (expected.is_number_float()) {
                    ++numbers;
                    const double shown = std::stod(cell.shown);
                    EXPECT_LE(std::fabs(shown - expected.get<double>()),
                              0.5 * LastDigit(cell.shown) * (1 + 1e-9))
                        << paths[n] << " shown as " << cell.shown;
                } else if (expected.is_number()) {
                    ++numbers;
                    EXPECT_EQ(cell.shown, expected.dump()) << paths[n];
                }
            }
        }
    }
    return numbers;
}

TEST(HtmlReport, EveryNumberInItsTablesIsTheJsonReportsAndNothingIsFetched) {
    RunFixture data(300, 10, 5);
    data.WriteFiles(37);
    const std::string json = data.dir.File("r.json"), html = data.dir.File("r.html");
    const Ran r = RunTool(data.dir, "--mode 3 " + Layout(data, 10) + " --output-file '" +
                                        data.dir.File("result.csv") + "' --standardize yes" +
                                        " --score-table '" + data.dir.File("scores.csv") +
                                        "' --report '" + json + "' --html-report '" + html + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const Json document = Json::parse(test_support::ReadFile(json));
    const std::string page = test_support::ReadFile(html);
    std::set<std::string> pointers;
    const std::size_t numbers = CheckTables(page, document, pointers);
    // Every examinee is listed (300 is below the limit), with their fit.
    EXPECT_GT(numbers, 300u * 6);
    for (const char* shown :
         {"/run", "/reliability", "/items", "/examinees", "/fit", "/local_dependence/largest",
          "/model_fit", "/summed_scores/score_table", "/loop", "/loop/ms_error", "/job/options",
          "/input_files"}) {
        EXPECT_EQ(pointers.count(shown), 1u) << shown;
    }
    // Every warning, and the plots inline.
    for (const auto& warning : document["warnings"]) {
        EXPECT_NE(page.find(warning.get<std::string>().substr(0, 40)), std::string::npos);
    }
    EXPECT_NE(page.find("<svg"), std::string::npos);
    EXPECT_NE(page.find("aria-label=\"Person-item map\""), std::string::npos);
    EXPECT_NE(page.find("id=\"options\""), std::string::npos);
    // Nothing is fetched: no link, no source, no address but the SVG
    // namespace.
    EXPECT_EQ(page.find("<link"), std::string::npos);
    EXPECT_EQ(page.find(" src="), std::string::npos);
    EXPECT_EQ(page.find("@import"), std::string::npos);
    std::string rest = page;
    for (std::size_t at; (at = rest.find("http://www.w3.org/2000/svg")) != std::string::npos;) {
        rest.erase(at, 26);
    }
    EXPECT_EQ(rest.find("http"), std::string::npos);
}

// Items scored 0..m: their thresholds and categories, and the model
// comparison, carry the JSON's numbers too; the map places every threshold.
TEST(HtmlReport, PolytomousRunsTablesAreTheJsonReportsToo) {
    test_support::TempDir dir;
    const std::string data = std::string(TARVO_SOURCE_DIR) + "/tests/data/polytomous/verbagg3.dat";
    const std::string json = dir.File("r.json"), html = dir.File("r.html");
    const Ran r =
        RunTool(dir, "--method mml --model grm --compare gpcm,grm --response-file '" + data +
                         "' --item-count 24 --response-start 20 --examinee-id-start 1 "
                         "--examinee-id-length 8 --output-file '" +
                         dir.File("result.csv") + "' --score-table '" + dir.File("scores.csv") +
                         "' --report '" + json + "' --html-report '" + html + "' --quiet");
    ASSERT_EQ(r.status, 0) << r.err;
    const Json document = Json::parse(test_support::ReadFile(json));
    const std::string page = test_support::ReadFile(html);
    std::set<std::string> pointers;
    EXPECT_GT(CheckTables(page, document, pointers), 316u * 6);
    for (const char* shown :
         {"/items", "/polytomous", "/model_comparison/models", "/model_comparison/tests", "/mml",
          "/loop/log_likelihood", "/loop/largest_change", "/summed_scores/score_table"}) {
        EXPECT_EQ(pointers.count(shown), 1u) << shown;
    }
    // Two thresholds of each of the 24 items, named item.threshold on the map.
    EXPECT_NE(page.find("<title>item 24.2 at "), std::string::npos);
    EXPECT_NE(page.find("<title>item 1.1 at "), std::string::npos);
}

// Row k's class attribute in the table that shows pointer, by data-i.
std::map<std::string, std::string> RowClasses(const std::string& page, const std::string& pointer) {
    std::map<std::string, std::string> classes;
    const std::size_t table = page.find("data-json=\"" + pointer + "\"");
    if (table == std::string::npos) return classes;
    const std::size_t end = page.find("</table>", table);
    for (std::size_t tr = page.find("<tr data-i=", table); tr < end;
         tr = page.find("<tr data-i=", tr + 1)) {
        const std::string tag = page.substr(tr, page.find('>', tr) - tr + 1);
        bool found = false;
        const std::string index = test_support::HtmlAttribute(tag, "data-i", found);
        classes[index] = test_support::HtmlAttribute(tag, "class", found);
    }
    return classes;
}

// A keyed run's option analysis: a table per item whose every cell is the
// JSON's, with a column per ability group, the key's row and the flagged
// options' rows marked, and a trace plot per item.
TEST(HtmlReport, OptionTablesPerItemCarryTheJsonsOptionsWithTheKeyAndFlagsMarked) {
    test_support::TempDir dir;
    const std::string options = std::string(TARVO_SOURCE_DIR) + "/tests/data/options/";
    const std::string json = dir.File("r.json"), html = dir.File("r.html");
    // The published key but for item 1, keyed 2 where 4 is right: its true
    // answer draws the strongest examinees and is flagged, as is its key.
    const std::string key = dir.File("wrong.key");
    test_support::WriteFile(key, "2446634452243267\r\n");
    const Ran r = RunTool(dir, "--mode 3 --response-file '" + options +
                                   "iqitems.dat' --item-count 16 --response-start 20 "
                                   "--examinee-id-start 1 --examinee-id-length 8 --key-file '" +
                                   key + "' --output-file '" + dir.File("result.csv") +
                                   "' --standardize yes --report '" + json + "' --html-report '" +
                                   html + "' --html-examinees 10");
    ASSERT_EQ(r.status, 0) << r.err;
    const Json document = Json::parse(test_support::ReadFile(json));
    const std::string page = test_support::ReadFile(html);
    std::set<std::string> pointers;
    CheckTables(page, document, pointers);
    EXPECT_EQ(pointers.count("/options"), 1u);

    const Json& items = document.at("options").at("items");
    ASSERT_EQ(items.size(), 16u);
    std::size_t flaggedRows = 0;
    for (std::size_t k = 0; k < items.size(); ++k) {
        SCOPED_TRACE(k);
        const std::string pointer = "/options/items/" + std::to_string(k) + "/options";
        ASSERT_EQ(pointers.count(pointer), 1u);
        const auto tables = test_support::HtmlTablesOf(page);
        const auto table = std::find_if(tables.begin(), tables.end(),
                                        [&](const auto& t) { return t.pointer == pointer; });
        ASSERT_NE(table, tables.end());
        // Every option, and the five groups' shares as columns of their own.
        EXPECT_EQ(table->rows.size(), items[k]["options"].size());
        for (int g = 0; g < 5; ++g) {
            const std::string member = "/group_proportion/" + std::to_string(g);
            EXPECT_NE(std::find(table->columns.begin(), table->columns.end(), member),
                      table->columns.end())
                << member;
        }
        for (const char* member :
             {"/code", "/key", "/count", "/proportion", "/mean_ability", "/point_biserial"}) {
            EXPECT_NE(std::find(table->columns.begin(), table->columns.end(), member),
                      table->columns.end())
                << member;
        }
        const auto classes = RowClasses(page, pointer);
        std::size_t keys = 0;
        for (std::size_t o = 0; o < items[k]["options"].size(); ++o) {
            const Json& option = items[k]["options"][o];
            const std::string mark =
                classes.count(std::to_string(o)) ? classes.at(std::to_string(o)) : "";
            const bool key = option["key"].get<bool>();
            const bool flagged = !option["flags"].empty();
            EXPECT_EQ(mark.find("key") != std::string::npos, key) << o;
            EXPECT_EQ(mark.find("flagged") != std::string::npos, flagged) << o;
            keys += key;
            flaggedRows += flagged;
        }
        EXPECT_EQ(keys, 1u);
        EXPECT_NE(page.find("aria-label=\"Item " + std::to_string(k + 1) + ": options by group\""),
                  std::string::npos);
    }
    EXPECT_GT(flaggedRows, 0u);
    const auto first = RowClasses(page, "/options/items/0/options");
    EXPECT_NE(std::find_if(first.begin(), first.end(),
                           [](const auto& row) { return row.second == "key flagged"; }),
              first.end());
}

// Groups calibrated together and screened for DIF: the groups' tables, each
// group's population and the screens' tables carry the JSON's numbers, the
// rows in B or C are marked by their category, every group has its
// histogram, and the sections follow the examinees, groups before DIF.
TEST(HtmlReport, GroupAndDifTablesAreTheJsonsWithTheFlaggedRowsMarked) {
    test_support::TempDir dir;
    const std::string data = std::string(TARVO_SOURCE_DIR) + "/tests/data/dif/dif_sim.dat";
    const std::string json = dir.File("r.json"), html = dir.File("r.html");
    const Ran r = RunTool(dir,
                          "--method mml --model 2pl --groups --group-start 10 --group-length 1 "
                          "--dif mh,std,lr --response-file '" +
                              data +
                              "' --item-count 12 --response-start 20 --examinee-id-start 1 "
                              "--examinee-id-length 8 --output-file '" +
                              dir.File("result.csv") + "' --report '" + json + "' --html-report '" +
                              html + "' --quiet");
    ASSERT_EQ(r.status, 0) << r.err;
    const Json document = Json::parse(test_support::ReadFile(json));
    const std::string page = test_support::ReadFile(html);
    std::set<std::string> pointers;
    EXPECT_GT(CheckTables(page, document, pointers), 3u * 12 * 6);
    for (const char* shown :
         {"/groups", "/groups/groups", "/group_calibration", "/group_calibration/groups", "/dif",
          "/dif/comparisons/0/tables/0/rows", "/dif/comparisons/0/tables/1/rows",
          "/dif/comparisons/0/tables/2/rows"}) {
        EXPECT_EQ(pointers.count(shown), 1u) << shown;
    }
    // Shown by their own sections, not again as the page's other results.
    EXPECT_EQ(page.find("Results: dif"), std::string::npos);
    EXPECT_EQ(page.find("Results: group"), std::string::npos);

    // Every row in B or C marked by its category, no other row.
    const Json& tables = document["dif"]["comparisons"][0]["tables"];
    std::size_t marked = 0;
    for (std::size_t t = 0; t < tables.size(); ++t) {
        const std::string pointer = "/dif/comparisons/0/tables/" + std::to_string(t) + "/rows";
        const auto classes = RowClasses(page, pointer);
        ASSERT_EQ(classes.size(), 12u) << pointer;
        for (std::size_t i = 0; i < 12; ++i) {
            const Json& category = tables[t]["rows"][i]["category"];
            const std::string mark = classes.at(std::to_string(i));
            const std::string expected = category == "C"   ? "flagged dif-c"
                                         : category == "B" ? "flagged dif-b"
                                                           : "";
            EXPECT_EQ(mark, expected) << pointer << " row " << i;
            marked += !expected.empty();
        }
    }
    // Item 3, planted, is in C by Mantel-Haenszel.
    EXPECT_EQ(RowClasses(page, "/dif/comparisons/0/tables/0/rows").at("2"), "flagged dif-c");
    EXPECT_GE(marked, 1u);

    for (const auto& group : document["group_calibration"]["groups"]) {
        EXPECT_NE(
            page.find("aria-label=\"Group " + group["label"].get<std::string>() + ": abilities\""),
            std::string::npos);
    }
    const std::size_t examinees = page.find("<section id=\"examinees\"");
    const std::size_t groups = page.find("<section id=\"groups\"");
    const std::size_t dif = page.find("<section id=\"dif\"");
    ASSERT_NE(dif, std::string::npos);
    EXPECT_LT(examinees, groups);
    EXPECT_LT(groups, dif);
}

// A link's page: its constants, drift, equating and score table are the
// link's JSON report's numbers; it is refused where it names an input.
TEST(HtmlReport, LinkPageHoldsTheLinksJsonNumbersAndIsRefusedOverAnInput) {
    RunFixture data(10, 12, 4);
    data.WriteFiles();
    // The new form: the base form's items on a scale A = 1.25, B = 0.4 away.
    std::string fresh;
    const std::string base = test_support::ReadFile(data.itemFile());
    for (std::size_t from = 0, end; (end = base.find('\n', from)) != std::string::npos;
         from = end + 1) {
        std::string line = base.substr(from, end - from);
        if (line.size() < 50) continue;
        const double a = std::stod(line.substr(21, 9)), b = std::stod(line.substr(31, 9));
        char fields[64];
        std::snprintf(fields, sizeof fields, "%9.5f %9.5f", a * 1.25, (b - 0.4) / 1.25);
        fresh += line.replace(21, 19, fields) + "\n";
    }
    const std::string newFile = data.dir.Write("new.itm", fresh);
    const std::string json = data.dir.File("link.json"), html = data.dir.File("link.html");
    const std::string link =
        "--link --base-items '" + data.itemFile() + "' --new-items '" + newFile + "'";
    Ran r = RunTool(data.dir, link + " --report '" + json + "' --html-report '" + html + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const Json document = Json::parse(test_support::ReadFile(json));
    const std::string page = test_support::ReadFile(html);
    std::set<std::string> pointers;
    EXPECT_GT(CheckTables(page, document, pointers), 12u * 5);
    for (const char* shown :
         {"/linking", "", "/drift", "/drift/items", "/equating", "/score_table"}) {
        EXPECT_EQ(pointers.count(shown), 1u) << shown;
    }
    EXPECT_NE(page.find("Test characteristic curve"), std::string::npos);

    r = RunTool(data.dir, link + " --html-report '" + newFile + "'");
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(test_support::ReadFile(newFile), fresh);
}

TEST(HtmlReport, ExamineesAboveTheLimitAreSummarisedAndTheLimitCanBeRaised) {
    RunFixture data(120, 8, 9);
    data.WriteFiles();
    const std::string json = data.dir.File("r.json"), html = data.dir.File("r.html");
    const std::string run = "--mode 3 " + Layout(data, 8) + " --output-file '" +
                            data.dir.File("result.csv") + "' --standardize yes --report '" + json +
                            "' --html-report '" + html + "'";
    Ran r = RunTool(data.dir, run + " --html-examinees 50");
    ASSERT_EQ(r.status, 0) << r.err;
    const Json document = Json::parse(test_support::ReadFile(json));
    std::string page = test_support::ReadFile(html);
    EXPECT_NE(page.find("The examinees in summary"), std::string::npos);
    EXPECT_EQ(page.find("Every examinee"), std::string::npos);
    // The misfitting examinees that are listed carry the JSON's numbers.
    std::set<std::string> pointers;
    CheckTables(page, document, pointers);
    for (const auto& table : test_support::HtmlTablesOf(page)) {
        if (table.pointer != "/examinees") continue;
        for (const auto& row : table.rows) {
            const auto& flags = document["examinees"][std::stoul(row.index)]["flags"];
            EXPECT_NE(std::find(flags.begin(), flags.end(), "misfit"), flags.end());
        }
    }

    r = RunTool(data.dir, run + " --html-examinees 120");
    ASSERT_EQ(r.status, 0) << r.err;
    page = test_support::ReadFile(html);
    EXPECT_EQ(page.find("The examinees in summary"), std::string::npos);
    std::size_t listed = 0;
    for (const auto& table : test_support::HtmlTablesOf(page)) {
        if (table.pointer == "/examinees") listed = std::max(listed, table.rows.size());
    }
    EXPECT_EQ(listed, 120u);

    r = RunTool(data.dir, run + " --html-examinees lots");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--html-examinees"), std::string::npos) << r.err;
}

TEST(HtmlReport, RefusedWhereItNamesAnotherFileOfTheRunAndToldWhereItCannotBeWritten) {
    RunFixture data(60, 6, 3);
    data.WriteFiles();
    const std::string result = data.dir.File("result.csv");
    const std::string run =
        "--mode 3 " + Layout(data, 6) + " --standardize yes --output-file '" + result + "'";
    const std::string responses = test_support::ReadFile(data.responseFile());
    Ran r = RunTool(data.dir, run + " --html-report '" + data.responseFile() + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--html-report " + data.responseFile() + " names the response file"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(test_support::ReadFile(data.responseFile()), responses);

    const std::string json = data.dir.File("r.json");
    r = RunTool(data.dir, run + " --report '" + json + "' --html-report '" + json + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("names the HTML report file"), std::string::npos) << r.err;

    r = RunTool(data.dir, run + " --html-report '" + result + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("names the result file"), std::string::npos) << r.err;

    // A folder that is not there: the run's result stands, the failure is
    // told naming the file, and the status says it.
    const std::string nowhere = data.dir.File("no/such/folder/r.html");
    r = RunTool(data.dir, run + " --html-report '" + nowhere + "' --quiet");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ERROR HTML report file " + nowhere), std::string::npos) << r.err;
    EXPECT_FALSE(test_support::ReadFile(result).empty());
}

}  // namespace
}  // namespace tarvo
