// A run that cannot get the memory it needs ends with a message, never with
// the end of the program, and never passes an incomplete result as whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <new>

#include "reliability/runner_process.h"
#include "support/run_fixture.h"
#include "support/run_request.h"
#include "support/sanitized.h"

namespace tarvo {
namespace {

using test_support::RunClassic;

using test_support::RunFixture;

// A front end on which memory runs out at a chosen point.
class StarvedHost : public test_support::ScriptedHost {
  public:
    bool starveReading = false;
    bool starveEstimation = false;

    // The reading stage's message about a missing item file is where the
    // memory runs out.
    void ShowMessage(const std::string& text) override {
        if (starveReading && text.rfind("ERROR: Param file", 0) == 0) throw std::bad_alloc();
        ScriptedHost::ShowMessage(text);
    }
    void ProgressInit(const std::string& caption) override {
        ScriptedHost::ProgressInit(caption);
        if (starveEstimation) throw std::bad_alloc();
    }
};

TEST(OutOfMemory, WhileReadingEndsTheRunBeforeAnyOutput) {
    RunFixture data(20, 4);
    data.WriteFiles();
    StarvedHost host;
    static_cast<test_support::ScriptedHost&>(host) = data.Host(1);
    host.texts[control::kItemParameterFile] = data.dir.File("missing.itm");
    host.starveReading = true;
    EXPECT_EQ(RunClassic(host), RunEnd::EndedAtCheck);
    EXPECT_EQ(host.messages,
              std::vector<std::string>{"ERROR Not enough memory to read the input files."});
    EXPECT_FALSE(std::filesystem::exists(data.dir.File("out.csv")));
    EXPECT_TRUE(host.viewed.empty());
}

TEST(OutOfMemory, WhileEstimatingSaysTheResultIsIncomplete) {
    for (const int mode : {1, 2, 3}) {
        SCOPED_TRACE(mode);
        RunFixture data(20, 4);
        data.WriteFiles();
        StarvedHost host;
        static_cast<test_support::ScriptedHost&>(host) = data.Host(mode);
        host.starveEstimation = true;
        EXPECT_EQ(RunClassic(host), RunEnd::OutputIncomplete);
        EXPECT_EQ(host.messages,
                  std::vector<std::string>{"ERROR Not enough memory to finish the "
                                           "run. Output file " +
                                           data.dir.File("out.csv") + " is incomplete."});
        EXPECT_EQ(host.calls.back(), "shutdown");
        EXPECT_TRUE(host.viewed.empty());
    }
}

// A file of under a megabyte whose pasted item count of -1 (65,535 items)
// asks for gigabytes of response codes, in a process whose memory is capped.
TEST(OutOfMemory, RealRunnerEndsWithStatusOne) {
#ifdef TARVO_SANITIZED
    GTEST_SKIP() << "a sanitizer reserves more address space than the cap allows";
#else
    test_support::TempDir dir;
    std::string responses;
    for (int j = 0; j < 40000; ++j)
        responses += "P" + std::to_string(1000000 + j) + "           1\r\n";
    test_support::WriteFile(dir.File("wide.dat"), responses);
    test_support::ProcessSettings settings;
    settings.args = {"--mode=1", "--response-file=" + dir.File("wide.dat"), "--item-count=-1",
                     "--response-start=20", "--output-file=" + dir.File("out.csv")};
    settings.addressSpace = rlim_t{256} << 20;
    const auto run = test_support::RunToEnd(settings, dir.File("stderr.txt"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "ERROR Not enough memory to read the input files.\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.csv")));
#endif
}

}  // namespace
}  // namespace tarvo
