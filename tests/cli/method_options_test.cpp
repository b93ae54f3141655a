// The estimator options of tarvo-run: parsing, their checks, and the classic
// estimator untouched by them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "cli/options.h"
#include "support/run_fixture.h"

namespace tarvo::cli {
namespace {

ParseResult Parse(std::vector<std::string_view> args) { return ParseCommandLine(args); }

TEST(MethodOptions, ClassicByDefaultAndMarginalOnRequest) {
    auto r = Parse({});
    ASSERT_TRUE(r.options);
    EXPECT_FALSE(r.options->method.marginal);

    r = Parse({"--method", "mml", "--model", "2pl", "--prior-a", "0.1,0.4", "--prior-b=0,2",
               "--prior-c", "none", "--quadrature", "41", "--scoring", "map", "--fix-items",
               "--estimate-population", "--em-cycles", "90", "--em-tolerance", "1e-5"});
    ASSERT_TRUE(r.options) << r.error;
    const MarginalSettings& s = r.options->method.settings;
    EXPECT_TRUE(r.options->method.marginal);
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

TEST(MethodOptions, TheModelFollowsTheModeWhenNotGiven) {
    const std::pair<const char*, MarginalModel> table[] = {{"3", MarginalModel::ThreePL},
                                                           {"5", MarginalModel::ThreePLCGiven},
                                                           {"6", MarginalModel::OnePL},
                                                           {"2", MarginalModel::ThreePL}};
    for (const auto& [mode, model] : table) {
        const auto r = Parse({"--mode", mode, "--method", "mml"});
        ASSERT_TRUE(r.options) << r.error;
        EXPECT_EQ(r.options->method.settings.model, model) << "mode " << mode;
    }
    const auto r = Parse({"--mode", "6", "--method", "mml", "--model", "rasch"});
    EXPECT_EQ(r.options->method.settings.model, MarginalModel::Rasch);
}

TEST(MethodOptions, BadValuesAreRefusedWithTheReason) {
    const std::pair<std::vector<std::string_view>, const char*> table[] = {
        {{"--method", "em"}, "--method takes jml or mml, not 'em'"},
        {{"--method", "mml", "--model", "4pl"}, "--model takes 3pl"},
        {{"--method", "mml", "--prior-a", "0"}, "--prior-a takes MEAN,SD"},
        {{"--method", "mml", "--prior-b", "0,-1"}, "--prior-b takes MEAN,SD"},
        {{"--method", "mml", "--prior-c", "0.5,17"}, "--prior-c takes ALPHA,BETA"},
        {{"--method", "mml", "--quadrature", "2"}, "--quadrature takes"},
        {{"--method", "mml", "--scoring", "wle"}, "--scoring takes eap, map or ml"},
        {{"--method", "mml", "--em-cycles", "0"}, "--em-cycles takes"},
        {{"--model", "2pl"}, "need --method mml"},
        {{"--fix-items"}, "need --method mml"},
    };
    for (const auto& [args, message] : table) {
        const auto r = Parse(args);
        EXPECT_FALSE(r.options) << message;
        EXPECT_NE(r.error.find(message), std::string::npos) << r.error;
    }
}

TEST(MethodOptions, HelpNamesEveryOption) {
    const std::string help = HelpText();
    for (const char* option :
         {"--method", "--model", "--prior-a", "--prior-b", "--prior-c", "--quadrature", "--scoring",
          "--fix-items", "--estimate-population", "--em-cycles", "--em-tolerance"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
}

int RunRunner(const std::string& args) {
    const int raw = std::system(
        (std::string("'") + TARVO_RUN_PATH + "' " + args + " >/dev/null 2>/dev/null").c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(MethodOptions, ClassicResultUnchangedByMethodJml) {
    test_support::RunFixture data(120, 6);
    data.WriteFiles();
    const std::string layout =
        "--response-file '" + data.responseFile() + "' --item-file '" + data.itemFile() +
        "' --item-count 6 --response-start 20 --examinee-id-start 1 --examinee-id-length 8"
        " --a-start 22 --a-length 9 --b-start 32 --b-length 9 --c-start 42 --c-length 9";
    for (const char* mode : {"1", "3", "5"}) {
        const std::string plain = data.dir.File("plain.csv");
        const std::string classic = data.dir.File("classic.csv");
        const std::string common = "--mode " + std::string(mode) + " " + layout;
        ASSERT_EQ(RunRunner(common + " --output-file '" + plain + "'"), 0);
        ASSERT_EQ(RunRunner(common + " --method jml --output-file '" + classic + "'"), 0);
        EXPECT_EQ(test_support::ReadFile(plain), test_support::ReadFile(classic))
            << "mode " << mode;
        EXPECT_FALSE(test_support::ReadFile(plain).empty());
    }
    // The marginal estimator through the runner writes the joint layout.
    const std::string marginal = data.dir.File("marginal.csv");
    ASSERT_EQ(RunRunner("--mode 3 " + layout + " --method mml --output-file '" + marginal + "'"),
              0);
    EXPECT_EQ(test_support::CrLfLines(test_support::ReadFile(marginal)).size(),
              1u + 6 + 1 + 1 + 120);
}

}  // namespace
}  // namespace tarvo::cli
