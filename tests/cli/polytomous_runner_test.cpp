// A mixed test through the runner: 30 right/wrong 3PL items scored by key
// beside 10 four-category GRM items scored by their digit (key "+"),
// written byte for byte as the golden file, on one thread and on two.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/temp_dir.h"

namespace tarvo {
namespace {

std::string Golden(const char* name) {
    return std::string(TARVO_SOURCE_DIR) + "/tests/golden/polytomous/" + name;
}

TEST(PolytomousRunner, MixedTestWritesTheGoldenResultOnAnyThreadCount) {
    const test_support::TempDir dir;
    const std::string expected = test_support::ReadFile(Golden("result.csv"));
    ASSERT_FALSE(expected.empty());
    for (const char* threads : {"1", "2"}) {
        const std::string out = dir.File(std::string("result") + threads + ".csv");
        const std::string command =
            std::string("'") + TARVO_RUN_PATH + "' --response-file '" + Golden("mixed.dat") +
            "' --item-count 40 --response-start 20 --examinee-id-start 1 --examinee-id-length 8"
            " --method mml --model grm --output-file '" +
            out + "' --threads " + threads + " >/dev/null 2>&1";
        const int raw = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(raw));
        EXPECT_EQ(WEXITSTATUS(raw), 0);
        EXPECT_EQ(test_support::ReadFile(out), expected) << threads << " threads";
    }
}

}  // namespace
}  // namespace tarvo
