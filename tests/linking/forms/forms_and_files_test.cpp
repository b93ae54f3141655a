// Reading forms from item parameter files and result files, matching their
// common items, and the files a link writes, read back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <optional>

#include "linking/forms/common_items.h"
#include "linking/forms/form_reader.h"
#include "linking/link_files.h"
#include "linking/link_session.h"
#include "linking/reference_forms.h"
#include "support/run_fixture.h"
#include "support/temp_dir.h"

namespace tarvo::linking {
namespace {

using test_support::TempDir;

const std::string kGolden = std::string(TARVO_SOURCE_DIR) + "/tests/golden/";

TEST(ReadItemForm, CutsAnItemFileByItsColumnsAndPassesOverBlankLinesAtTheEnd) {
    TempDir dir;
    const std::string path = dir.Write("form.itm",
                                       "ITEM0001               0.92101   1.27677   0.22188\r\n"
                                       "ITEM0002               1.27297  -1.95839   0.21832\r\n"
                                       "\r\n   \r\n");
    FormRead read = ReadItemForm(path, ItemColumns{}, std::nullopt);
    ASSERT_TRUE(read.form) << read.error;
    EXPECT_FALSE(read.resultFile);
    ASSERT_EQ(read.form->size(), 2u);
    EXPECT_EQ(read.form->id[1], "ITEM0002");
    EXPECT_EQ(read.form->a[0], 0.92101);
    EXPECT_EQ(read.form->b[1], -1.95839);
    EXPECT_EQ(read.form->c[1], 0.21832);
    EXPECT_TRUE(std::isnan(read.form->seB[0]));  // no error columns given

    // The 2PL drops c; a c column of length 0 leaves c at 0 known exactly.
    read = ReadItemForm(path, ItemColumns{}, FormModel::TwoPL);
    EXPECT_EQ(read.form->c[0], 0);
    ItemColumns noC;
    noC.c = {};
    read = ReadItemForm(path, noC, std::nullopt);
    EXPECT_EQ(read.form->c[0], 0);
    EXPECT_EQ(read.form->seC[0], 0);
}

// Every value a link reads passes the range check of held items: what is
// not a number, not finite, outside what the model can use or too wide
// for its column refuses the form, naming the item and the value.
TEST(ReadLinkForm, RefusesValuesNoCalibrationGivesNamingTheItem) {
    TempDir dir;
    const auto line = [](const char* a, const char* b, const char* c) {
        char text[80];
        std::snprintf(text, sizeof text, "ITEM0002             %9s %9s %9s\r\n", a, b, c);
        return "ITEM0001               0.92101   1.27677   0.22188\r\n" + std::string(text);
    };
    struct Case {
        const char* a;
        const char* b;
        const char* c;
        std::optional<FormModel> model;
        std::string fault;  // after "PATH, "; empty: read
    };
    const std::string wide = "must fit its column of the result (from -99.999 to 999.999)";
    const Case cases[] = {
        {"1.1", "0.5", "0.2", std::nullopt, ""},
        {"1.1", "1e308", "0.2", std::nullopt,
         "item 2 (ITEM0002): the b " + wide + ", not '1e+308'"},
        {"1.1", "-1e308", "0.2", std::nullopt,
         "item 2 (ITEM0002): the b " + wide + ", not '-1e+308'"},
        {"1.1", "0.5", "-0.5", std::nullopt,
         "item 2 (ITEM0002): the c must be from 0 to below 1, not '-0.5'"},
        {"1.1", "0.5", "1.0", std::nullopt,
         "item 2 (ITEM0002): the c must be from 0 to below 1, not '1'"},
        {"1.1", "nan", "0.2", std::nullopt, "line 2 (item 2): the b must be a number, not 'nan'"},
        {"inf", "0.5", "0.2", std::nullopt, "line 2 (item 2): the a must be a number, not 'inf'"},
        {"0", "0.5", "0.2", std::nullopt, "item 2 (ITEM0002): the a must be above 0, not '0'"},
        // What the model fixes is not read.
        {"1.1", "0.5", "1.0", FormModel::TwoPL, ""},
        {"abc", "0.5", "x", FormModel::OnePL, ""},
    };
    for (const Case& c : cases) {
        const std::string path = dir.Write("form.itm", line(c.a, c.b, c.c));
        const FormRead read = ReadLinkForm(path, ItemColumns{}, c.model);
        if (c.fault.empty()) {
            EXPECT_TRUE(read.form) << read.error;
            continue;
        }
        EXPECT_FALSE(read.form) << c.b;
        EXPECT_EQ(read.error, path + ", " + c.fault);
    }

    // A result file's rows: a = inf and c = 1 as printed.
    const std::string header = "SeqItem,AccNo,a_calib,seea,b_calib,seeb,c_calib,seec\r\n";
    std::string path = dir.Write(
        "inf.csv", header + "1,I1,inf,0.1,0.5,0.1,0.2,0.01\r\n2,I2,1,0.1,0.5,0.1,0.2,0.01\r\n");
    FormRead read = ReadLinkForm(path, ItemColumns{}, std::nullopt);
    EXPECT_EQ(read.error, path + ", item 1 (I1): the a must be a finite number, not 'inf'");
    path = dir.Write("c.csv",
                     header + "1,I1,1.2,0.1,0.5,0.1,1.000,0.01\r\n2,I2,1,0.1,0.5,0.1,0.2,0.01\r\n");
    read = ReadLinkForm(path, ItemColumns{}, std::nullopt);
    EXPECT_EQ(read.error, path + ", item 1 (I1): the c must be from 0 to below 1, not '1'");
    read = ReadLinkForm(kGolden + "mode3/result.csv", ItemColumns{}, std::nullopt);
    EXPECT_TRUE(read.form) << read.error;
}

TEST(ReadItemForm, TakesTheItemSectionOfResultFilesInEveryLayout) {
    FormRead joint = ReadItemForm(kGolden + "mode3/result.csv", ItemColumns{}, std::nullopt);
    ASSERT_TRUE(joint.form) << joint.error;
    EXPECT_TRUE(joint.resultFile);
    EXPECT_EQ(joint.form->size(), 10u);
    EXPECT_EQ(joint.form->id[0], "ITEM01");
    EXPECT_EQ(joint.form->a[0], 2.0);
    EXPECT_EQ(joint.form->b[0], 1.133);
    EXPECT_EQ(joint.form->c[0], 0.387);
    EXPECT_EQ(joint.form->seB[0], 0.367);
    EXPECT_EQ(joint.form->model, FormModel::ThreePL);

    // 1PL: a = 1 and c = 0 known exactly; the 1PL's result has no AccNo.
    FormRead rasch = ReadItemForm(kGolden + "mode8/result.csv", ItemColumns{}, std::nullopt);
    ASSERT_TRUE(rasch.form) << rasch.error;
    EXPECT_EQ(rasch.form->model, FormModel::OnePL);
    EXPECT_EQ(rasch.form->a[3], 1);
    EXPECT_EQ(rasch.form->seA[3], 0);
    EXPECT_EQ(rasch.form->b[0], -0.397);

    FormRead listing = ReadItemForm(kGolden + "mode2/result.lst", ItemColumns{}, std::nullopt);
    ASSERT_TRUE(listing.form) << listing.error;
    EXPECT_EQ(listing.form->size(), 10u);
    EXPECT_EQ(listing.form->b[1], -0.067);
    // A given c (seec -1 in mode 4) is known exactly.
    FormRead given = ReadItemForm(kGolden + "mode4/result.csv", ItemColumns{}, std::nullopt);
    ASSERT_TRUE(given.form);
    EXPECT_EQ(given.form->c[0], 0.156);
    EXPECT_EQ(given.form->seC[0], 0);
}

TEST(ReadItemForm, NamesTheFileAndTheProblem) {
    TempDir dir;
    const FormRead missing = ReadItemForm(dir.File("gone.itm"), ItemColumns{}, std::nullopt);
    EXPECT_EQ(missing.error, dir.File("gone.itm") + ": cannot read this file");
    const std::string empty = dir.Write("empty.itm", "\r\n\r\n");
    EXPECT_EQ(ReadItemForm(empty, ItemColumns{}, std::nullopt).error,
              empty + ": the file holds no items");
}

// Damaged result files, as --items, --base-items, --new-items, --abilities
// and the Link window read them: each is refused with its file and line,
// never read past its rows (these once crashed the reader).
TEST(ReadItemForm, RefusesDamagedResultFilesByTheirLine) {
    TempDir dir;
    const std::string noValues = dir.Write("short.csv", "SeqItem,AccNo\r\n1,X\r\n");
    EXPECT_EQ(ReadItemForm(noValues, ItemColumns{}, std::nullopt).error,
              noValues + ": the result file's item section has no b column");

    // A second item header, wider than the first, over the first's rows.
    const std::string twoHeaders =
        dir.Write("two.csv",
                  "SeqItem,AccNo, Nobs, b_calib, seeb\r\n   1, I1,   40, -0.250,  0.300\r\n"
                  "SeqItem,AccNo, Nobs, a_calib, b_calib,c_calib, seea, seeb, seec\r\n");
    EXPECT_EQ(ReadItemForm(twoHeaders, ItemColumns{}, std::nullopt).error,
              twoHeaders +
                  ", line 3: a second item section; the first begins on line 1 (a damaged "
                  "result file)");

    // An identifier holding a line end splits its row in two.
    const std::string split =
        dir.Write("split.csv",
                  "SeqItem,AccNo, Nobs, b_calib, seeb\r\n   1, I1,   40, -0.250,  0.300\r\n"
                  "   2, I\r\n2,   40, 0.250,  0.300\r\n");
    EXPECT_EQ(ReadItemForm(split, ItemColumns{}, std::nullopt).error,
              split +
                  ", line 3: the row does not hold the 5 fields its header names, led by a row "
                  "number (a damaged result file)");

    std::string error;
    const std::string persons = dir.Write(
        "persons.csv",
        " SeqID,    ExaminID,Nvalid,   theta, seetheta\r\n    1, A,    3,   0.1,   0.3\r\n"
        " SeqID,    ExaminID\r\n");
    EXPECT_FALSE(WriteTransformedAbilities(persons, dir.File("out.csv"), 1, 0, {}, error));
    EXPECT_EQ(error, persons +
                         ", line 3: a second person section; the first begins on line 1 (a "
                         "damaged result file)");
}

TEST(CommonItems, AreMatchedByIdOrByTheAnchorPairs) {
    ItemForm base = test::ReferenceBase(), fresh = test::ReferenceNew();
    fresh.id = {"NEW1", "ITEM03", "ITEM01", "", "NEW5", "NEW6", "NEW7", "ITEM08"};
    const MatchResult byId = MatchById(base, fresh);
    ASSERT_TRUE(byId.common);
    EXPECT_EQ(byId.common->base, (std::vector<std::size_t>{2, 0, 7}));
    EXPECT_EQ(byId.common->fresh, (std::vector<std::size_t>{1, 2, 7}));

    TempDir dir;
    const std::string anchors = dir.Write(
        "anchors.txt", "# base new\r\nITEM02 NEW1\r\n\r\nITEM05,NEW5\r\nITEM06\tNEW6\r\n");
    const AnchorPairs pairs = ReadAnchorPairs(anchors);
    ASSERT_TRUE(pairs.pairs) << pairs.error;
    const MatchResult byPairs = MatchByPairs(base, fresh, *pairs.pairs);
    ASSERT_TRUE(byPairs.common) << byPairs.error;
    EXPECT_EQ(byPairs.common->base, (std::vector<std::size_t>{1, 4, 5}));
    EXPECT_EQ(byPairs.common->fresh, (std::vector<std::size_t>{0, 4, 5}));

    EXPECT_EQ(MatchByPairs(base, fresh, {{"ITEM02", "NOPE"}}).error,
              "the new form has no item NOPE");
    EXPECT_EQ(ReadAnchorPairs(dir.Write("bad.txt", "ITEM01\r\n")).error,
              dir.File("bad.txt") + ", line 1: expected two item IDs (base, new)");
    fresh.id[4] = "ITEM03";
    EXPECT_EQ(MatchById(base, fresh).error, "item ID ITEM03 appears twice in the new form");
}

TEST(CommonItems, FormsWithoutAnyIdAreMatchedByPositionOnlyWhenOfOneLength) {
    ItemForm base = test::ReferenceBase(), fresh = test::ReferenceNew();
    for (std::string& id : base.id) id.clear();
    for (std::string& id : fresh.id) id.clear();
    const MatchResult byPosition = MatchById(base, fresh);
    ASSERT_TRUE(byPosition.common);
    EXPECT_TRUE(byPosition.byPosition);
    EXPECT_EQ(byPosition.common->base, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(byPosition.common->fresh, byPosition.common->base);
    // The anchors are named by their position, as the drift screen lists them.
    const AnchorSet set = MakeAnchorSet(base, fresh, *byPosition.common);
    EXPECT_EQ(set.newId[2], "item 3");
    EXPECT_EQ(set.bNew[2], fresh.b[2]);

    // One named item, or one item more, and nothing is paired by position.
    ItemForm named = fresh;
    named.id[5] = "ITEM06";
    EXPECT_FALSE(MatchById(base, named).byPosition);
    EXPECT_EQ(MatchById(base, named).common->size(), 0u);
    ItemForm longer = fresh;
    longer.Resize(fresh.size() + 1);
    EXPECT_FALSE(MatchById(base, longer).byPosition);
    EXPECT_EQ(MatchById(base, longer).common->size(), 0u);
}

TEST(WriteItemFile, WritesTheSampleLayoutThatReadsBackWithItsColumns) {
    TempDir dir;
    ItemForm form = test::ReferenceBase();
    ItemColumns columns;
    std::string error;
    const std::string path = dir.File("out.itm");
    ASSERT_TRUE(WriteItemFile(path, form, columns, {}, error)) << error;
    const std::string text = test_support::ReadFile(path);
    EXPECT_EQ(text.substr(0, text.find("\r\n")),
              "ITEM01                 0.80000  -1.50000   0.15000   0.10000   0.08000   0.03000");
    EXPECT_EQ(ColumnOptions(columns),
              "--item-id-start 1 --item-id-length 8 --a-start 22 --a-length 9 --b-start 32 "
              "--b-length 9 --c-start 42 --c-length 9");
    const FormRead back = ReadItemForm(path, columns, std::nullopt);
    ASSERT_TRUE(back.form) << back.error;
    EXPECT_EQ(back.form->id, form.id);
    EXPECT_EQ(back.form->b, form.b);
    EXPECT_EQ(back.form->seA[7], 0.17);

    // Longer IDs and values widen the columns instead of cutting them.
    form.id[2] = "A-MUCH-LONGER-ID";
    form.b[3] = -12345.678;
    ASSERT_TRUE(WriteItemFile(path, form, columns, {}, error));
    EXPECT_EQ(columns.id.length, 16);
    EXPECT_EQ(columns.a.start, 30);
    EXPECT_EQ(columns.a.length, 12);
    const FormRead wide = ReadItemForm(path, columns, std::nullopt);
    ASSERT_TRUE(wide.form);
    EXPECT_EQ(wide.form->id[2], "A-MUCH-LONGER-ID");
    EXPECT_EQ(wide.form->b[3], -12345.678);
}

TEST(LinkFiles, TablesAndAbilitiesAreWrittenAsTheySay) {
    TempDir dir;
    std::string error;
    const std::string table = dir.File("table.csv");
    ASSERT_TRUE(
        WriteScoreTable(table, {{0, 0.25, -1, 0.5, NAN}, {1, 0.75, 0.5, 0.4, 0.125}}, {}, error));
    EXPECT_EQ(test_support::ReadFile(table),
              "score,proportion,eap,eap_sd,ml\r\n0,0.250000,-1.000000,0.500000,\r\n"
              "1,0.750000,0.500000,0.400000,0.125000\r\n");

    const std::string abilities = dir.File("abilities.csv");
    ASSERT_TRUE(
        WriteTransformedAbilities(kGolden + "mode3/result.csv", abilities, 2, 0.5, {}, error))
        << error;
    const auto lines = test_support::CrLfLines(test_support::ReadFile(abilities));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], " SeqID,    ExaminID,Nvalid,   theta, seetheta");
    // S001: theta 1.3901, se 0.6088 in the result file.
    EXPECT_EQ(lines[1], "    1,         S001,    9,   3.2802,   1.2176");

    EXPECT_FALSE(
        WriteTransformedAbilities(kGolden + "mode2/result.csv", abilities, 1, 0, {}, error));
    EXPECT_NE(error.find("no person section"), std::string::npos);
    EXPECT_FALSE(WriteScoreTable(dir.File("no/such/folder.csv"), {}, {}, error));
    EXPECT_EQ(error, dir.File("no/such/folder.csv") + ": cannot write this file (" +
                         dir.File("no/such/folder.csv") + ": No such file or directory)");
}

TEST(LinkFiles, OutputsMayNotOverwriteTheInputsOrEachOther) {
    TempDir dir;
    const std::string input = dir.Write("in.itm", "x\r\n");
    EXPECT_EQ(OutputClash({{"--new-items", input}}, {{"--report", dir.File("r.json")}}), "");
    EXPECT_EQ(OutputClash({{"--new-items", input}}, {{"--transformed-items", input}}),
              "--transformed-items " + input + " names the --new-items file");
    EXPECT_EQ(OutputClash({}, {{"--score-table", "a.csv"}, {"--equating-table", "a.csv"}}),
              "--equating-table and --score-table name the same file a.csv");
    // Two outputs not written yet are one file by another spelling too.
    const std::string report = dir.File("r.json");
    const std::string doubled = dir.path().string() + "//./r.json";
    EXPECT_EQ(OutputClash({}, {{"--report", report}, {"--score-table", doubled}}),
              "--score-table and --report name the same file " + doubled);
}

}  // namespace
}  // namespace tarvo::linking
