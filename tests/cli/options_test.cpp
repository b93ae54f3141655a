// The command line as the runner reads it: options become the texts of the
// request (converted later by the one parser), a job file under them, and
// the errors of the command line's own shape.
#include "cli/options.h"

#include <gtest/gtest.h>

#include "platform/control_ids.h"
#include "request/request_parser.h"
#include "support/temp_dir.h"

namespace tarvo::cli {
namespace {

ParseResult Parse(std::vector<std::string_view> args) { return ParseCommandLine(args); }

// The request the arguments ask for, or the refusal of either stage.
request::RequestCheck Request(std::vector<std::string_view> args) {
    const ParseResult parsed = Parse(std::move(args));
    if (!parsed.options) return {std::nullopt, request::RequestField::None, parsed.error};
    return request::ParseRequest(parsed.options->texts);
}

TEST(CommandLine, OptionsBecomeTheTextsOfTheDialogsControls) {
    const auto r = Parse({"--mode", "3", "--response-file", "a b.dat", "--item-count=-1",
                          "--response-start", "--x", "--theta-start", "12", "--theta-start=13"});
    ASSERT_TRUE(r.options) << r.error;
    const auto& texts = r.options->texts.controls;
    EXPECT_EQ(r.options->texts.mode, "3");
    EXPECT_EQ(texts.at(control::kResponseFile), "a b.dat");
    EXPECT_EQ(texts.at(control::kItemCount), "-1");       // converted later, by the rules
    EXPECT_EQ(texts.at(control::kResponseStart), "--x");  // a value may look like an option
    EXPECT_EQ(texts.at(control::kThetaStart), "13");      // a later repeat wins
    EXPECT_FALSE(texts.contains(control::kOutputFile));

    // The dialog's rules turn the texts into the run's values.
    const auto check = Request({"--item-count=-1", "--response-start", "20.5", "--item-file",
                                "  items.itm  ", "--response-file", " r.dat"});
    ASSERT_TRUE(check.request) << check.message;
    EXPECT_EQ(check.request->settings.itemCount, 65535);
    EXPECT_EQ(check.request->settings.responseStart, 20);
    EXPECT_EQ(check.request->settings.itemParameterFile, "items.itm");
    EXPECT_EQ(check.request->settings.responseFile, " r.dat");
}

TEST(CommandLine, DefaultsSwitchesAndTheMarginalOptions) {
    auto check = Request({});
    ASSERT_TRUE(check.request);
    EXPECT_EQ(check.request->mode, 2);
    EXPECT_EQ(check.request->method, Method::Classic);
    EXPECT_FALSE(check.request->standardize);  // not given: the question's default answer
    EXPECT_EQ(check.request->threads, 0u);

    auto r = Parse({"--standardize=no", "--view", "--quiet", "--threads", "2"});
    ASSERT_TRUE(r.options);
    EXPECT_TRUE(r.options->view);
    EXPECT_TRUE(r.options->quiet);
    check = request::ParseRequest(r.options->texts);
    ASSERT_TRUE(check.request);
    EXPECT_EQ(check.request->standardize, false);
    EXPECT_EQ(check.request->threads, 2u);

    check = Request({"--method", "mml", "--model", "2pl", "--prior-a", "0.1,0.4", "--prior-b=0,2",
                     "--prior-c", "none", "--quadrature", "41", "--scoring", "map", "--fix-items",
                     "--estimate-population", "--em-cycles", "90", "--em-tolerance", "1e-5"});
    ASSERT_TRUE(check.request) << check.message;
    const MarginalSettings& s = check.request->marginal;
    EXPECT_EQ(check.request->method, Method::Marginal);
    EXPECT_EQ(s.model, MarginalModel::TwoPL);
    EXPECT_TRUE(s.priorLogA.on);
    EXPECT_DOUBLE_EQ(s.priorLogA.mean, 0.1);
    EXPECT_DOUBLE_EQ(s.priorLogA.sd, 0.4);
    EXPECT_TRUE(s.priorB.on);
    EXPECT_FALSE(s.priorC.on);
    EXPECT_EQ(s.quadraturePoints, 41);
    EXPECT_EQ(s.scoring, MarginalScoring::Map);
    EXPECT_TRUE(s.fixItems);
    EXPECT_TRUE(s.estimatePopulation);
    EXPECT_EQ(s.maxCycles, 90);
    EXPECT_DOUBLE_EQ(s.tolerance, 1e-5);
}

TEST(CommandLine, ErrorsNameTheProblem) {
    const std::pair<std::vector<std::string_view>, std::string> table[] = {
        {{"--mode", "9"}, "The mode (--mode) must be a whole number from 1 to 8, not '9'."},
        {{"--mode", "2x"}, "The mode (--mode) must be a whole number from 1 to 8, not '2x'."},
        {{"--colour", "red"}, "unknown option '--colour'"},
        {{"--output-file"}, "option '--output-file' needs a value"},
        {{"stray"}, "unexpected argument 'stray'"},
        {{"--standardize", "maybe"},
         "The answer to the standardise question (--standardize) must be yes or no, not "
         "'maybe'."},
        {{"--threads", "0"},
         "The thread count (--threads) must be a whole number from 1 to 1024, not '0'."},
        {{"--report="}, "--report needs a file name"},
        {{"--save-job="}, "--save-job needs a file name"},
        {{"--method", "mml", "--prior-a", "0"},
         "The prior on a (--prior-a) must be MEAN,SD or none, not '0'."},
        {{"--model", "2pl"},
         "The marginal estimator's options (--model, --prior-*, --quadrature, --scoring, "
         "--fix-items, ...) need the marginal method (--method mml)."},
        {{"--fix-items"},
         "The marginal estimator's options (--model, --prior-*, --quadrature, --scoring, "
         "--fix-items, ...) need the marginal method (--method mml)."},
        {{"--job", "/nonexistent/job.json"}, "job file /nonexistent/job.json cannot be read: "},
    };
    for (const auto& [args, error] : table) {
        const auto check = Request(args);
        EXPECT_FALSE(check.request) << error;
        EXPECT_EQ(check.message.substr(0, error.size()), error);
    }
}

TEST(CommandLine, OptionsBesideAJobFileWinWhereverTheyStand) {
    test_support::TempDir dir;
    const std::string job =
        dir.Write("job.json",
                  R"({"tarvo_job": 1, "options": {"mode": "3", "item-count": "45", "method": "mml",
            "quadrature": "31"}, "format": {"delimiter": ","}})");
    const auto check = Request({"--quadrature", "21", "--job", job, "--item-count=10"});
    ASSERT_TRUE(check.request) << check.message;
    EXPECT_EQ(check.request->mode, 3);
    EXPECT_EQ(check.request->settings.itemCount, 10);
    EXPECT_EQ(check.request->marginal.quadraturePoints, 21);
    ASSERT_EQ(check.request->format.entries.size(), 1u);
    EXPECT_EQ(check.request->format.entries[0].second, ",");
}

TEST(CommandLine, HelpListsEveryOptionAndMode) {
    const std::string help = HelpText();
    for (const char* word : {"--response-file",
                             "--c-length",
                             "--standardize",
                             "--view",
                             "--job",
                             "--save-job",
                             "--method",
                             "--model",
                             "--prior-a",
                             "--prior-b",
                             "--prior-c",
                             "--quadrature",
                             "--scoring",
                             "--fix-items",
                             "--estimate-population",
                             "--em-cycles",
                             "--em-tolerance",
                             "theta,b | responses ",
                             "b | theta,responses ",
                             "Example",
                             "128+N",
                             "130 Ctrl-C",
                             "SIGTERM"}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
    }
}

}  // namespace
}  // namespace tarvo::cli
