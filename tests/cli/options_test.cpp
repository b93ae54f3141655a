#include "cli/options.h"

#include <gtest/gtest.h>

#include "platform/control_ids.h"

namespace tarvo::cli {
namespace {

ParseResult Parse(std::vector<std::string_view> args) { return ParseCommandLine(args); }

TEST(CommandLine, OptionsBecomeTheTextsOfTheDialogsControls) {
    const auto r = Parse({"--mode", "3", "--response-file", "a b.dat", "--item-count=-1",
                          "--response-start", "--x", "--theta-start", "12", "--theta-start=13"});
    ASSERT_TRUE(r.options) << r.error;
    const auto& texts = r.options->controlTexts;
    EXPECT_EQ(r.options->mode, 3);
    EXPECT_EQ(texts.at(control::kResponseFile), "a b.dat");
    EXPECT_EQ(texts.at(control::kItemCount), "-1");       // converted later, by the run
    EXPECT_EQ(texts.at(control::kResponseStart), "--x");  // a value may look like an option
    EXPECT_EQ(texts.at(control::kThetaStart), "13");      // a later repeat wins
    EXPECT_FALSE(texts.contains(control::kOutputFile));
}

TEST(CommandLine, EveryDialogFieldHasAnOption) {
    const std::pair<const char*, int> table[] = {{"--item-file", control::kItemParameterFile},
                                                 {"--output-file", control::kOutputFile},
                                                 {"--examinee-id-start", 1083},
                                                 {"--examinee-id-length", 1084},
                                                 {"--theta-length", 1078},
                                                 {"--item-id-start", 1069},
                                                 {"--item-id-length", 1070},
                                                 {"--a-start", 1064},
                                                 {"--a-length", 1065},
                                                 {"--b-start", 1066},
                                                 {"--b-length", 1071},
                                                 {"--c-start", 1068},
                                                 {"--c-length", 1067}};
    for (const auto& [option, id] : table) {
        const auto r = Parse({option, "7"});
        ASSERT_TRUE(r.options) << option;
        EXPECT_EQ(r.options->controlTexts.at(id), "7") << option;
    }
}

TEST(CommandLine, DefaultsAndSwitches) {
    auto r = Parse({});
    ASSERT_TRUE(r.options);
    EXPECT_EQ(r.options->mode, 2);
    EXPECT_TRUE(r.options->standardize);
    EXPECT_FALSE(r.options->view);
    r = Parse({"--standardize=no", "--view", "--threads", "2"});
    ASSERT_TRUE(r.options);
    EXPECT_FALSE(r.options->standardize);
    EXPECT_TRUE(r.options->view);
    EXPECT_EQ(r.options->threads, 2u);
}

TEST(CommandLine, ErrorsNameTheProblem) {
    const std::pair<std::vector<std::string_view>, std::string> table[] = {
        {{"--mode", "9"}, "--mode takes a number from 1 to 8, not '9'"},
        {{"--mode", "0"}, "--mode takes a number from 1 to 8, not '0'"},
        {{"--mode", "2x"}, "--mode takes a number from 1 to 8, not '2x'"},
        {{"--colour", "red"}, "unknown option '--colour'"},
        {{"--output-file"}, "option '--output-file' needs a value"},
        {{"stray"}, "unexpected argument 'stray'"},
        {{"--standardize", "maybe"}, "--standardize takes yes or no, not 'maybe'"},
        {{"--threads", "0"}, "--threads takes a number from 1 to 1024, not '0'"},
    };
    for (const auto& [args, error] : table) {
        const auto r = Parse(args);
        EXPECT_FALSE(r.options);
        EXPECT_EQ(r.error, error);
    }
}

TEST(CommandLine, HelpListsEveryOptionAndMode) {
    const std::string help = HelpText();
    for (const char* word :
         {"--response-file", "--c-length", "--standardize", "--view", "theta,b | responses ",
          "b | theta,responses ", "Example", "128+N", "130 Ctrl-C", "SIGTERM"}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
    }
}

}  // namespace
}  // namespace tarvo::cli
