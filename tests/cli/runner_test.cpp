// The runner as a user starts it: a real process, its exit status and what
// it prints.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "support/run_fixture.h"

namespace tarvo {
namespace {

using test_support::RunFixture;

struct Finished {
    int status;
    std::string err;
};

Finished RunRunner(const test_support::TempDir& dir, const std::string& args) {
    const std::string errFile = dir.File("stderr.txt");
    const std::string command =
        std::string("'") + TARVO_RUN_PATH + "' " + args + " 2>'" + errFile + "' >/dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test_support::ReadFile(errFile)};
}

std::string SampleLayout(const RunFixture& data) {
    return "--response-file '" + data.responseFile() + "' --item-file '" + data.itemFile() +
           "' --item-count 6 --response-start 20 --examinee-id-start 1 --examinee-id-length 8"
           " --theta-start 12 --theta-length 7 --item-id-start 1 --item-id-length 8"
           " --a-start 22 --a-length 9 --b-start 32 --b-length 9 --c-start 42 --c-length 9";
}

TEST(Runner, ExitStatusSaysHowTheRunEnded) {
    RunFixture data(40, 6);
    data.WriteFiles();
    const std::string out = data.dir.File("result.csv");

    auto r = RunRunner(data.dir, "--mode 3 " + SampleLayout(data) + " --output-file '" + out + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(test_support::CrLfLines(test_support::ReadFile(out)).size(), 1u + 6 + 1 + 1 + 40);

    r = RunRunner(data.dir, "--mode 1 --response-file '" + data.dir.File("gone.dat") +
                                "' --output-file '" + out + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR Response file " + data.dir.File("gone.dat") + " does not exists.\n");

    r = RunRunner(data.dir, "--mode 2 " + SampleLayout(data) + " --output-file '" +
                                data.responseFile() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR Output file " + data.responseFile() + " is an input file.\n");

    r = RunRunner(data.dir, "--mode 9");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "tarvo-run: --mode takes a number from 1 to 8, not '9' (see tarvo-run --help)\n");
}

}  // namespace
}  // namespace tarvo
