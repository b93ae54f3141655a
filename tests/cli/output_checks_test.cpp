// Every file tarvo-run writes goes through one checked open: no output is
// written over an input or over another output of the same run, however it
// is spelled, and a FIFO nobody reads, or another user's link, file or FIFO
// in a shared folder, is refused at once by each writer.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "linking/reference_forms.h"
#include "output/result_file_open.h"
#include "support/hostile_outputs.h"
#include "support/run_fixture.h"

namespace tarvo {
namespace {

using test_support::ReadFile;
using test_support::RunFixture;
using test_support::TempDir;

struct Ran {
    int status;
    std::string err;
};

Ran RunTool(const TempDir& dir, const std::string& args) {
    const std::string errFile = dir.File("stderr.txt");
    const std::string command = std::string("'") + TARVO_RUN_PATH + "' " + args +
                                " >/dev/null 2>'" + errFile + "' </dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(errFile)};
}

std::string Quoted(const std::string& name) { return "'" + name + "'"; }

std::string RunArgs(const RunFixture& data) {
    return "--mode 6 --response-file " + Quoted(data.responseFile()) +
           " --item-count 4 --response-start 20 --examinee-id-start 1 --examinee-id-length 8";
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

// --save-job, a job file read with --job, and the key file: none is written
// over, and two outputs by two spellings of one name are refused.
TEST(OutputChecks, NoOutputOverwritesAnInputOrAnotherOutput) {
    RunFixture data(30, 4);
    data.WriteFiles();
    const std::string responses = ReadFile(data.responseFile());
    const std::string items = ReadFile(data.itemFile());
    const std::string out = data.dir.File("o.csv");
    const std::string run = RunArgs(data) + " --output-file " + Quoted(out);

    // The settings are never saved over a file they name.
    Ran r = RunTool(data.dir, run + " --save-job " + Quoted(data.responseFile()));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR Job file " + data.responseFile() +
                         " cannot be written: it is the response file.\n");
    r = RunTool(data.dir, run + " --item-file " + Quoted(data.itemFile()) + " --save-job " +
                              Quoted(data.dir.path().string() + "/./items.itm"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("it is the item parameter file"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(data.responseFile()), responses);
    EXPECT_EQ(ReadFile(data.itemFile()), items);

    // A job whose result or score table is the job file itself, and a job
    // read with a report over it.
    const std::string job = data.dir.File("j.json");
    ASSERT_EQ(RunTool(data.dir, run + " --save-job " + Quoted(job)).status, 0);
    const std::string saved = ReadFile(job);
    const std::size_t at = saved.find(out);
    ASSERT_NE(at, std::string::npos);
    test_support::WriteFile(job, std::string(saved).replace(at, out.size(), job));
    r = RunTool(data.dir, "--job " + Quoted(job));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "tarvo-run: --output-file " + job + " names the job file (see tarvo-run --help)\n");
    test_support::WriteFile(job, saved);
    r = RunTool(data.dir, "--job " + Quoted(job) + " --score-table " + Quoted(job));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "tarvo-run: --score-table " + job + " names the job file (see tarvo-run --help)\n");
    r = RunTool(data.dir, "--job " + Quoted(job) + " --report " + Quoted(job));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "tarvo-run: --report " + job + " names the job file (see tarvo-run --help)\n");
    EXPECT_EQ(ReadFile(job), saved);
    // Nor is a job saved over the result it names.
    r = RunTool(data.dir, run + " --save-job " + Quoted(out));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR Job file " + out + " cannot be written: it is the result file.\n");

    // The key file is an input like the others.
    const std::string key = data.dir.Write("key.txt", "1111\r\n");
    const std::string keyed = RunArgs(data) + " --key-file " + Quoted(key);
    r = RunTool(data.dir, keyed + " --output-file " + Quoted(key));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR Output file " + key + " is an input file.\n");
    r = RunTool(data.dir,
                keyed + " --output-file " + Quoted(out) + " --score-table " + Quoted(key));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR Score table file " + key + " is an input file.\n");
    r = RunTool(data.dir, keyed + " --output-file " + Quoted(out) + " --report " + Quoted(key));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "tarvo-run: --report " + key + " names the key file (see tarvo-run --help)\n");
    EXPECT_EQ(ReadFile(key), "1111\r\n");

    // Two outputs not written yet, one name spelled two ways.
    std::filesystem::create_directory(data.dir.File("x"));
    const std::string report = data.dir.File("x/r.json");
    r = RunTool(data.dir, run + " --report " + Quoted(report) + " --score-table " +
                              Quoted(data.dir.File("x//r.json")));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "tarvo-run: --report " + report +
                         " names the score table file (see tarvo-run --help)\n");
    EXPECT_FALSE(std::filesystem::exists(report));
}

// Each writer of a calibration run, one after another, against the same
// list: each refuses, names the file and the reason, and leaves the files
// the names lead to as they were, without waiting for a reader.
TEST(OutputChecks, EveryWriterOfARunRefusesTheHostileNames) {
    RunFixture data(30, 4);
    data.WriteFiles();
    const test_support::HostileOutputs hostile(data.dir);
    ASSERT_TRUE(hostile.Made());
    const std::string out = data.dir.File("o.csv");
    const std::string run = RunArgs(data) + " --output-file " + Quoted(out);
    for (const test_support::HostileOutput& c : hostile.List()) {
        SCOPED_TRACE(c.what);
        const std::string failure = c.path + ": " + c.reason;
        Ran r = RunTool(data.dir, run + " --score-table " + Quoted(c.path));
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("ERROR The score table file " + c.path +
                             " could not be written: " + failure + ".\n"),
                  std::string::npos)
            << r.err;
        r = RunTool(data.dir, run + " --save-job " + Quoted(c.path));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "ERROR Job file " + c.path + " cannot be written: " + failure + ".\n");
        r = RunTool(data.dir, run + " --report " + Quoted(c.path));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "ERROR Report file " + c.path + " cannot be written: " + failure + ".\n");
        EXPECT_TRUE(hostile.Untouched());
    }
    if (!hostile.AsRoot()) GTEST_SKIP() << "another user's files need root to make";
}

// The same list for every file a link and a form's score table write.
TEST(OutputChecks, EveryWriterOfALinkRefusesTheHostileNames) {
    TempDir dir;
    const test_support::HostileOutputs hostile(dir);
    ASSERT_TRUE(hostile.Made());
    const std::string base = dir.Write("base.itm", ItemLines(linking::test::ReferenceBase()));
    const std::string fresh = dir.Write("new.itm", ItemLines(linking::test::ReferenceNew()));
    const std::string golden = std::string(TARVO_SOURCE_DIR) + "/tests/golden/mode3/result.csv";
    const std::string link =
        "--link --base-items " + Quoted(base) + " --new-items " + Quoted(fresh);
    const std::string items = "--items " + Quoted(base);
    for (const test_support::HostileOutput& c : hostile.List()) {
        for (const std::string& args :
             {link + " --transformed-items ",
              link + " --abilities " + Quoted(golden) + " --transformed-abilities ",
              link + " --score-table ", link + " --equating-table ", link + " --report ",
              items + " --score-table ", items + " --report "}) {
            SCOPED_TRACE(c.what + ": " + args);
            const Ran r = RunTool(dir, args + Quoted(c.path));
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.err.find("ERROR " + c.path + ": cannot write this file (" + c.path + ": " +
                                 c.reason + ")\n"),
                      std::string::npos)
                << r.err;
            EXPECT_TRUE(hostile.Untouched());
        }
    }
    // Outputs by identity as well as by name: a link to an input.
    const std::string toBase = dir.File("to-base.csv");
    std::filesystem::create_symlink(base, toBase);
    const std::string before = ReadFile(base);
    const Ran r = RunTool(dir, items + " --score-table " + Quoted(toBase));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "tarvo-run: --score-table " + toBase +
                         " names the --items file (see tarvo-run --link --help)\n");
    EXPECT_EQ(ReadFile(base), before);
    if (!hostile.AsRoot()) GTEST_SKIP() << "another user's files need root to make";
}

// The one open: identity against the others once opened, a FIFO nobody
// reads refused at once, the text whole.
TEST(OutputChecks, TheCheckedOpenKnowsAFileByItsIdentity) {
    TempDir dir;
    const std::string input = dir.Write("in.txt", "data\n");
    const std::string link = dir.File("link.txt");
    std::filesystem::create_symlink(input, link);
    EXPECT_EQ(WriteOutputFile(link, "x", {{input, "the response file"}}),
              "it is the response file");
    EXPECT_EQ(ReadFile(input), "data\n");
    EXPECT_TRUE(NameOneFile(dir.File("a/../new.csv"), dir.File("new.csv")));
    EXPECT_FALSE(NameOneFile(dir.File("new.csv"), dir.File("other.csv")));
    EXPECT_FALSE(NameOneFile("", ""));
    EXPECT_EQ(WriteOutputFile(dir.File("out.txt"), "whole\n", {{input, "the response file"}}), "");
    EXPECT_EQ(ReadFile(dir.File("out.txt")), "whole\n");
}

}  // namespace
}  // namespace tarvo
