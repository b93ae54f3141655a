// The files new users bring, run through tarvo-run as they would: each of
// the mistakes that used to give confident nonsense without a word now gives
// a warning that names the cause and the fix (or, for a byte order mark, the
// right result); --detect proposes the layout.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/temp_dir.h"

namespace tarvo {
namespace {

using test_support::ReadFile;
using test_support::TempDir;

struct Finished {
    int status;
    std::string out;
    std::string err;
};

Finished RunTarvo(const TempDir& dir, const std::string& args) {
    const std::string command = std::string("'") + TARVO_RUN_PATH + "' " + args + " >'" +
                                dir.File("out.txt") + "' 2>'" + dir.File("err.txt") + "'";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir.File("out.txt")),
            ReadFile(dir.File("err.txt"))};
}

// ID in columns 1-4, theta in 6-10, four responses from column 12, theta-only
// scoring (mode 7: b from the item file) so that every run is quick.
const std::string kKeyed =
    "KEY        ABCD\r\n"
    "P001  0.5  ABCA\r\n"
    "P002 -1.0  AB D\r\n"
    "P003  1.25 DCBA\r\n"
    "P004  0.0  ABCD\r\n";
const std::string kItems = "I1  0.5\r\nI2 -0.5\r\nI3  1.0\r\nI4  0.0\r\n";

std::string Layout(const TempDir& dir, const std::string& responses) {
    return "--mode 7 --response-file '" + responses + "' --item-file '" + dir.File("items.itm") +
           "' --item-id-start 1 --item-id-length 2 --b-start 4 --b-length 4 --item-count 4 "
           "--response-start 12 --examinee-id-start 1 --examinee-id-length 4 --quiet "
           "--output-file '" +
           dir.File("result.csv") + "'";
}

class UserData : public ::testing::Test {
  protected:
    void SetUp() override { dir.Write("items.itm", kItems); }

    // The warnings of a run on these bytes with the layout changed by extra.
    std::string Warnings(const std::string& bytes, const std::string& extra = "") {
        const Finished run = RunTarvo(dir, Layout(dir, dir.Write("resp.dat", bytes)) + " " + extra);
        EXPECT_EQ(run.status, 0) << run.err;
        return run.err;
    }

    TempDir dir;
};

TEST_F(UserData, AByteOrderMarkBeforeTheKeyGivesTheSameResultAsWithout) {
    ASSERT_EQ(Warnings(kKeyed), "");
    const std::string plain = ReadFile(dir.File("result.csv"));
    ASSERT_EQ(Warnings("\xEF\xBB\xBF" + kKeyed), "");
    EXPECT_EQ(ReadFile(dir.File("result.csv")), plain);
    EXPECT_NE(plain.find("P001"), std::string::npos);
}

TEST_F(UserData, AnEmptyIdFieldOnAKeyedFileSaysTheKeyWasScoredAsAnExaminee) {
    const std::string err = Warnings(kKeyed, "--examinee-id-length ''");
    EXPECT_NE(err.find("WARNING the first record (line 1) begins with KEY, but no Examinee ID "
                       "field is set, so the key was scored as an examinee"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("--examinee-id-start, --examinee-id-length"), std::string::npos);
}

TEST_F(UserData, DelimitedFilesReadAsFixedColumnsSayWhichFormatToUse) {
    std::string tsv = "P001\t1\t0\t1\t1\r\nP002\t0\t0\t1\t0\r\nP003\t1\t1\t1\t0\r\n";
    std::string err = Warnings(tsv, "--response-start 5");
    EXPECT_NE(err.find("the file looks tab-separated: use --format tsv"), std::string::npos) << err;

    const std::string csv = "id,i1,i2,i3,i4\r\nP001,1,0,1,1\r\nP002,0,0,1,0\r\n";
    err = Warnings(csv, "--response-start 5");
    EXPECT_NE(err.find("the file looks comma-separated: use --format csv"), std::string::npos)
        << err;
    // Read as CSV, it needs no warning.
    const Finished run = RunTarvo(dir, Layout(dir, dir.File("resp.dat")) +
                                           " --format csv --id-column id --response-start ''"
                                           " --examinee-id-start '' --examinee-id-length ''");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
}

TEST_F(UserData, ResponsesThatStartInsideTheIdColumnsAreNamed) {
    const std::string err = Warnings(kKeyed, "--response-start 3");
    EXPECT_NE(err.find("the response field (columns 3-6) overlaps the Examinee ID field "
                       "(columns 1-4)"),
              std::string::npos)
        << err;
}

TEST_F(UserData, IdsWithCharactersOfSeveralBytesAreNamed) {
    const std::string err = Warnings(
        "KEY        ABCD\r\nJos\xC3\xA9 0.5  ABCA\r\nP002  1.0  ABCD\r\n", "--response-start 12");
    EXPECT_NE(err.find("WARNING 1 examinee ID holds bytes above 127 (first: line 2"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("cut inside a character of several bytes"), std::string::npos) << err;
}

TEST_F(UserData, AnItemCountLargerThanTheRecordsIsNamed) {
    const std::string err = Warnings(kKeyed, "--item-count 9");
    EXPECT_NE(err.find("the item count 9 makes the response field end at column 20, beyond "
                       "every record (the longest has 15 characters), so items 5-9 are missing "
                       "for every examinee"),
              std::string::npos)
        << err;
}

TEST_F(UserData, ACellOfMoreThanOneCharacterEndsTheRunNamingRowColumnAndText) {
    const std::string file = dir.Write("resp.csv", "id,i1,i2,i3,i4\r\nP1,1,10,1,0\r\n");
    const Finished run = RunTarvo(dir, "--mode 7 --format csv --id-column id --response-file '" +
                                           file + "' --output-file '" + dir.File("r.csv") + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("ERROR Response file " + file +
                                ": row 2, column 3 (i2) holds '10', more than one character",
                            0),
              0u)
        << run.err;
}

TEST_F(UserData, DetectPrintsTheOptionsThatReproduceTheLayout) {
    Finished run = RunTarvo(dir, "--detect '" + dir.Write("resp.dat", kKeyed) + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "--format fixed --examinee-id-start 1 --examinee-id-length 4 --theta-start 6 "
              "--theta-length 5 --response-start 12 --item-count 4\n");
    EXPECT_NE(run.err.find("# key record on line 1"), std::string::npos);

    run = RunTarvo(dir,
                   "--detect '" + dir.Write("resp.tsv", "id\tq1\tq2\nKEY\tA\tB\np1\tA\t\n") + "'");
    EXPECT_EQ(run.out, "--format tsv --id-column id --item-columns q1:q2\n");

    run = RunTarvo(dir, "--detect '" + dir.File("none.dat") + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot be read"), std::string::npos);
}

// What spreadsheets in many locales save: --detect proposes it, the run
// reads it with --delimiter, and read in fixed columns the warning comes
// first, before the line on how the run ended; --strict ends the run there.
TEST_F(UserData, ASemicolonFileIsDetectedReadAndNamedWhenReadInFixedColumns) {
    const std::string file = dir.Write(
        "resp.csv",
        "id;i1;i2;i3;i4\r\nP001;1;0;1;1\r\nP002;0;0;1;0\r\nP003;1;1;1;0\r\nP004;0;1;1;1\r\n");
    Finished run = RunTarvo(dir, "--detect '" + file + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "--format csv --delimiter ';' --id-column id --item-columns i1:i4\n");

    const std::string delimited =
        " --format csv --delimiter ';' --id-column id --response-start ''"
        " --examinee-id-start '' --examinee-id-length ''";
    run = RunTarvo(dir, Layout(dir, file) + delimited);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string result = ReadFile(dir.File("result.csv"));
    EXPECT_NE(result.find("P004"), std::string::npos);
    EXPECT_EQ(RunTarvo(dir, Layout(dir, file) + " --format auto --id-column id --response-start ''"
                                                " --examinee-id-start '' --examinee-id-length ''")
                  .status,
              0);
    EXPECT_EQ(ReadFile(dir.File("result.csv")), result);
    EXPECT_EQ(RunTarvo(dir, Layout(dir, file) + " --format tsv --delimiter ';'").status, 1);
    EXPECT_EQ(RunTarvo(dir, Layout(dir, file) + " --format csv --delimiter :").status, 2);

    // In fixed columns, as Detect used to propose it: the summary begins
    // with the warning.
    std::string fixed = Layout(dir, file) + " --response-start 6 --item-count 1 --report '" +
                        dir.File("report.json") + "'";
    fixed.replace(fixed.find(" --quiet"), 8, "");
    run = RunTarvo(dir, fixed);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("WARNING every record holds ';' (semicolon) 4 times", 0), 0u)
        << run.out;
    EXPECT_NE(run.out.find("--format csv --delimiter ';'"), std::string::npos);
    const std::string report = ReadFile(dir.File("report.json"));
    EXPECT_NE(report.find("\"code\": \"delimiter-in-fixed-columns\""), std::string::npos);
    EXPECT_NE(report.find("\"serious\": true"), std::string::npos);

    run = RunTarvo(dir, fixed + " --strict --output-file '" + dir.File("strict.csv") + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ERROR The input check found mistakes that make the results wrong, "
                           "and --strict ends the run there: every record holds ';'"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(ReadFile(dir.File("strict.csv")), "");
    // Sound inputs run under --strict as without it.
    EXPECT_EQ(RunTarvo(dir, Layout(dir, file) + delimited + " --strict").status, 0);
}

// Scores 0..5 run as right/wrong items without a key.
TEST_F(UserData, ARatingScaleRunAsRightWrongItemsIsNamed) {
    const std::string err = Warnings("P001  0.5  0523\r\nP002 -1.0  4105\r\nP003  1.25 3210\r\n");
    EXPECT_NE(err.find("WARNING items hold scores 0 to 5: choose a model for items scored in "
                       "more than two categories, or a key"),
              std::string::npos)
        << err;
}

TEST_F(UserData, TheSampleAsCsvGivesTheSampleResult) {
    const std::string samples = std::string(TARVO_SOURCE_DIR) + "/samples/";
    const std::string items = "--item-file '" + samples +
                              "testdata.itm' --item-id-start 1 --item-id-length 8 --a-start 22 "
                              "--a-length 9 --b-start 32 --b-length 9 --c-start 42 --c-length 9";
    Finished run =
        RunTarvo(dir, "--mode 1 --quiet " + items + " --response-file '" + samples +
                          "testdata.dat' --item-count 45 --response-start 20 "
                          "--examinee-id-start 1 --examinee-id-length 8 --theta-start 12 "
                          "--theta-length 7 --output-file '" +
                          dir.File("fixed.csv") + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    run = RunTarvo(dir, "--mode 1 --quiet " + items + " --format csv --response-file '" + samples +
                            "testdata.csv' --id-column id --theta-column theta --output-file '" +
                            dir.File("csv.csv") + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadFile(dir.File("csv.csv")), ReadFile(dir.File("fixed.csv")));
    // Auto finds the commas.
    run = RunTarvo(dir, "--mode 1 --quiet " + items + " --format auto --response-file '" + samples +
                            "testdata.csv' --id-column id --theta-column theta --output-file '" +
                            dir.File("auto.csv") + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(dir.File("auto.csv")), ReadFile(dir.File("fixed.csv")));
}

TEST_F(UserData, ATypedKeyScoresAsTheKeyRecordAndTravelsInAJobFile) {
    ASSERT_EQ(Warnings(kKeyed), "");
    const std::string keyed = ReadFile(dir.File("result.csv"));
    const std::string unkeyed = kKeyed.substr(kKeyed.find('\n') + 1);
    ASSERT_EQ(Warnings(unkeyed, "--key ABCD"), "");
    EXPECT_EQ(ReadFile(dir.File("result.csv")), keyed);

    const std::string job = dir.File("job.json");
    Finished run = RunTarvo(
        dir, Layout(dir, dir.File("resp.dat")) + " --key A,B,C,D --save-job '" + job + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(ReadFile(job).find("\"key\": \"A,B,C,D\""), std::string::npos) << ReadFile(job);
    run = RunTarvo(dir, "--job '" + job + "' --output-file '" + dir.File("again.csv") + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(dir.File("again.csv")), keyed);
    // Without it, the letters are named as scored against 1.
    EXPECT_NE(Warnings(unkeyed).find("type it (--key"), std::string::npos);
}

TEST_F(UserData, FormatOptionsRefuseWhatTheyCannotUse) {
    Finished run = RunTarvo(dir, "--format xls");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
              "tarvo-run: --format takes csv, tsv, fixed or auto, not 'xls' (see tarvo-run "
              "--help)\n");
    run = RunTarvo(dir, "--id-column");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("needs a value"), std::string::npos);
}

}  // namespace
}  // namespace tarvo
