// The one parser of a run's settings: defaults, the model's priors, the one
// message shape of a refusal, the request written back as options that run
// it again, and the job file.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <utility>

#include "platform/control_ids.h"
#include "request/job_file.h"
#include "request/option_table.h"
#include "request/request_parser.h"
#include "support/temp_dir.h"

namespace tarvo::request {
namespace {

RequestTexts TextsOf(const OptionList& options) {
    RequestTexts texts;
    for (const auto& [name, value] : options) {
        EXPECT_EQ(ApplyOption(name, value, texts), "") << name;
    }
    return texts;
}

RequestCheck Parse(const OptionList& options) { return ParseRequest(TextsOf(options)); }

TEST(RequestParser, TheClassicRunReadsItsBoxesByTheDialogsRules) {
    const RequestCheck check = Parse({{"item-count", "3.5"},
                                      {"response-start", "-1"},
                                      {"item-file", "  items.itm "},
                                      {"response-file", " r.dat"},
                                      {"output-file", "out.csv"},
                                      {"theta-start", "12abc"}});
    ASSERT_TRUE(check.request) << check.message;
    const RunRequest& r = *check.request;
    EXPECT_EQ(r.mode, 2);
    EXPECT_EQ(r.method, Method::Classic);
    EXPECT_EQ(r.settings.itemCount, 4);          // halves to even
    EXPECT_EQ(r.settings.responseStart, 65535);  // modulo 65536
    EXPECT_EQ(r.settings.thetaField.start, 12);
    EXPECT_EQ(r.settings.itemParameterFile, "items.itm");
    EXPECT_EQ(r.settings.responseFile, " r.dat");
    EXPECT_EQ(r.outputFile, "out.csv");
    EXPECT_FALSE(r.standardize.has_value());
}

TEST(RequestParser, PriorsAreOnWhereTheModelNeedsThemUnlessSaidOtherwise) {
    for (const MarginalModelRules& rules : kMarginalModels) {
        SCOPED_TRACE(std::string(rules.name));
        RequestCheck check = Parse({{"method", "mml"}, {"model", std::string(rules.name)}});
        ASSERT_TRUE(check.request) << check.message;
        // The 3PL and the 4PL need their priors; the 4PL's u takes one too.
        const bool threePL =
            rules.model == MarginalModel::ThreePL || rules.model == MarginalModel::FourPL;
        EXPECT_EQ(check.request->marginal.priorLogA.on, threePL);
        EXPECT_EQ(check.request->marginal.priorC.on, threePL);
        EXPECT_EQ(PriorsFor(check.request->marginal).u.on, rules.model == MarginalModel::FourPL);
        EXPECT_FALSE(check.request->marginal.priorB.on);
        // Said otherwise, either way.
        check = Parse({{"method", "mml"},
                       {"model", std::string(rules.name)},
                       {"prior-a", threePL ? "none" : "0.2,0.4"}});
        ASSERT_TRUE(check.request) << check.message;
        EXPECT_EQ(check.request->marginal.priorLogA.on, !threePL);
        if (!threePL) {
            EXPECT_EQ(check.request->marginal.priorLogA.sd, 0.4);
        }
    }
    // Without --model the mode's model, and its priors.
    const RequestCheck sixth = Parse({{"mode", "6"}, {"method", "mml"}});
    EXPECT_EQ(sixth.request->marginal.model, MarginalModel::OnePL);
    EXPECT_FALSE(sixth.request->marginal.priorLogA.on);
}

TEST(RequestParser, EveryRefusalNamesTheSettingTheRangeAndTheText) {
    const struct {
        OptionList options;
        RequestField field;
        std::string message;
    } cases[] = {
        {{{"mode", "0"}},
         RequestField::Mode,
         "The mode (--mode) must be a whole number from 1 to 8, not '0'."},
        {{{"method", "em"}},
         RequestField::Method,
         "The method (--method) must be jml or mml, not 'em'."},
        {{{"method", "mml"}, {"model", "5pl"}},
         RequestField::Model,
         "The model (--model) must be 3pl, 3pl-c-given, 2pl, 1pl, rasch, 4pl, grm, gpcm, pcm, rsm "
         "or nominal, not '5pl'."},
        {{{"method", "mml"}, {"quadrature", " 4 "}},
         RequestField::Quadrature,
         "Quadrature points (--quadrature) must be a whole number from 5 to 1001, not ' 4 '."},
        {{{"method", "mml"}, {"scoring", "wle"}},
         RequestField::Scoring,
         "The scoring (--scoring) must be eap, map or ml, not 'wle'."},
        {{{"method", "mml"}, {"standard-errors", "sandwich"}},
         RequestField::StandardErrors,
         "The standard errors (--standard-errors) must be louis, crossproduct or none, not "
         "'sandwich'."},
        {{{"standard-errors", "none"}},
         RequestField::Method,
         "The marginal estimator's options (--model, --prior-*, --quadrature, --scoring, "
         "--fix-items, ...) need the marginal method (--method mml)."},
        {{{"method", "mml"}, {"em-cycles", "100001"}},
         RequestField::EmCycles,
         "The EM cycle limit (--em-cycles) must be a whole number from 1 to 100000, not "
         "'100001'."},
        {{{"method", "mml"}, {"em-tolerance", "1e-300"}},
         RequestField::EmTolerance,
         "The EM tolerance (--em-tolerance) must be a number from 1e-12 to 1, not '1e-300'."},
        // Extreme finite numbers no prior means: refused like any other.
        {{{"method", "mml"}, {"prior-b", "0,1e-300"}},
         RequestField::PriorBSd,
         "The SD of the prior on b (--prior-b MEAN,SD) must be a number from 0.01 to 100, not "
         "'1e-300'."},
        {{{"method", "mml"}, {"prior-a", "1e308,1e-308"}},
         RequestField::PriorAMean,
         "The mean of log a in the prior on a (--prior-a MEAN,SD) must be a number from -3 to "
         "3, not '1e308'."},
        {{{"method", "mml"}, {"prior-c", "5,0.5"}},
         RequestField::PriorCBeta,
         "Beta of the prior on c (--prior-c ALPHA,BETA) must be a number from 1 to 1000, not "
         "'0.5'."},
        {{{"method", "mml"}, {"estimate-population", "yes"}},
         RequestField::EstimatePopulation,
         "Estimating the population (--estimate-population) needs items held at the item "
         "file's values (--fix-items): without them the scale is the population's own."},
        {{{"quadrature", "21"}},
         RequestField::Method,
         "The marginal estimator's options (--model, --prior-*, --quadrature, --scoring, "
         "--fix-items, ...) need the marginal method (--method mml)."},
        {{{"threads", "2000"}},
         RequestField::Threads,
         "The thread count (--threads) must be a whole number from 1 to 1024, not '2000'."},
        {{{"method", "mml"}, {"model", "nominal"}, {"compare", "grm,gpcm"}},
         RequestField::Compare,
         "Comparing models (--compare) is not offered for the nominal model, whose items are "
         "read by option code."},
        {{{"method", "mml"}, {"model", "nominal"}, {"poly-prior-a", "0,0.5"}},
         RequestField::PolytomousPriorAMean,
         "The polytomous items' priors (--poly-prior-a, --poly-prior-b) do not act on the "
         "nominal model's slopes and intercepts: leave them out."},
    };
    for (const auto& c : cases) {
        const RequestCheck check = Parse(c.options);
        EXPECT_FALSE(check.request) << c.message;
        EXPECT_EQ(check.field, c.field) << c.message;
        EXPECT_EQ(check.message, c.message);
    }
    // A prior that is off or left to the model is not read.
    EXPECT_TRUE(Parse({{"method", "mml"}, {"model", "2pl"}, {"prior-c", "none"}}).request);
}

// Written back as options, a request runs again as itself: the same options
// come back, every marginal setting written out.
TEST(RequestOptions, ARequestRunsAgainFromItsOptions) {
    const OptionList asked[] = {
        {{"mode", "1"},
         {"response-file", "r dat"},
         {"item-file", "i.itm"},
         {"output-file", "o.txt"},
         {"item-count", "45"},
         {"a-start", "22"},
         {"a-length", "9"}},
        {{"mode", "3"},
         {"standardize", "no"},
         {"threads", "3"},
         {"report", "r.json"},
         {"method", "mml"},
         {"model", "rasch"},
         {"prior-b", "0.25,1.5"},
         {"quadrature", "21"},
         {"scoring", "ml"},
         {"em-cycles", "40"},
         {"em-tolerance", "0.000001"}},
        {{"method", "mml"},
         {"model", "gpcm"},
         {"binary-model", "1pl"},
         {"collapse-empty", "yes"},
         {"score-table", "scores.csv"}},
        {{"method", "mml"}, {"item-models", "models.txt"}, {"collapse-empty", "yes"}},
        {{"method", "mml"}, {"model", "2pl"}, {"standard-errors", "crossproduct"}},
        {{"method", "mml"}, {"model", "grm"}, {"standard-errors", "none"}},
        {{"method", "mml"}, {"model", "grm"}, {"poly-prior-a", "0.1,0.4"}, {"poly-prior-b", "0,2"}},
        {{"mode", "5"},
         {"item-file", "i.itm"},
         {"method", "mml"},
         {"fix-items", "yes"},
         {"estimate-population", "yes"},
         {"score-table", "scores.csv"}},
        {{"response-start", "20"},
         {"item-count", "5"},
         {"method", "mml"},
         {"model", "2pl"},
         {"group-start", "10"},
         {"group-length", "1"},
         {"groups", "yes"}},
        {{"mode", "6"},
         {"score-table", "s.csv"},
         {"population-mean", "0.5"},
         {"population-sd", "2"},
         {"population-points", "31"},
         {"population-range", "4"}},
    };
    for (const OptionList& options : asked) {
        const RequestCheck first = Parse(options);
        ASSERT_TRUE(first.request) << first.message;
        const OptionList written = RequestOptions(*first.request);
        const RequestCheck second = Parse(written);
        ASSERT_TRUE(second.request) << second.message;
        EXPECT_EQ(RequestOptions(*second.request), written);
    }
    const OptionList marginal = RequestOptions(*Parse(asked[1]).request);
    const OptionList expected = {{"prior-a", "none"},      {"prior-b", "0.25,1.5"},
                                 {"prior-c", "none"},      {"quadrature", "21"},
                                 {"scoring", "ml"},        {"em-cycles", "40"},
                                 {"em-tolerance", "1e-06"}};
    for (const auto& pair : expected) {
        EXPECT_NE(std::find(marginal.begin(), marginal.end(), pair), marginal.end()) << pair.first;
    }
    // The errors' method is written only when it is not the default.
    for (const auto& [name, value] : marginal) EXPECT_NE(name, "standard-errors");
    const OptionList products = RequestOptions(*Parse(asked[4]).request);
    EXPECT_NE(std::find(products.begin(), products.end(),
                        std::pair<std::string, std::string>{"standard-errors", "crossproduct"}),
              products.end());
    EXPECT_EQ(Parse(asked[5]).request->marginal.standardErrors, StandardErrorMethod::None);
    // The classic estimator writes none of the marginal estimator's options.
    for (const auto& [name, value] : RequestOptions(*Parse(asked[0]).request)) {
        EXPECT_NE(name, "model");
        EXPECT_NE(name, "quadrature");
    }
}

// The classic estimator's score table is formed for the population the
// options give; the marginal estimator's over its own quadrature, so it
// takes none, and a population without a table is a mistake.
TEST(RequestParser, TheScoreTableTakesAPopulationOnlyFromTheClassicEstimator) {
    const RequestCheck classic = Parse({{"score-table", "s.csv"},
                                        {"population-mean", " 0.5"},
                                        {"population-sd", "2"},
                                        {"population-points", "31"}});
    ASSERT_TRUE(classic.request) << classic.message;
    EXPECT_EQ(classic.request->scoreTableFile, "s.csv");
    EXPECT_EQ(classic.request->scorePopulation.mean, 0.5);
    EXPECT_EQ(classic.request->scorePopulation.sd, 2);
    EXPECT_EQ(classic.request->scorePopulation.points, 31);
    EXPECT_EQ(classic.request->scorePopulation.range, 6);

    const RequestCheck defaults = Parse({{"score-table", "s.csv"}});
    ASSERT_TRUE(defaults.request);
    EXPECT_EQ(defaults.request->scorePopulation.points, 61);
    EXPECT_EQ(defaults.request->scorePopulation.sd, 1);

    const std::pair<OptionList, const char*> refused[] = {
        {{{"population-sd", "2"}},
         "The score table's population (--population-*) needs a score table (--score-table "
         "FILE)."},
        {{{"method", "mml"}, {"score-table", "s.csv"}, {"population-mean", "1"}},
         "The score table's population (--population-*) is the classic estimator's: the "
         "marginal estimator forms the table over its own quadrature and population."},
        {{{"score-table", "s.csv"}, {"population-points", "4"}},
         "The score table's points (--population-points) must be a whole number from 5 to "
         "1001, not '4'."},
        {{{"score-table", "s.csv"}, {"population-sd", "0"}},
         "The score table's population SD (--population-sd) must be a number from 0.01 to "
         "100, not '0'."},
    };
    for (const auto& [options, message] : refused) {
        const RequestCheck check = Parse(options);
        EXPECT_FALSE(check.request);
        EXPECT_EQ(check.message, message);
        EXPECT_EQ(check.field, RequestField::ScorePopulation);
    }
    RequestTexts texts;
    EXPECT_EQ(ApplyOption("score-table", "", texts), "--score-table needs a file name");
}

// The models to compare: nested ones only, each once, kept fewest
// parameters first and carried by the job file; refused for the classic
// estimator, whose likelihood has no use in a comparison.
TEST(RequestParser, TheModelsToCompareAreNestedMarginalModels) {
    const RequestCheck check = Parse({{"method", "mml"}, {"compare", " 3pl, rasch ,2pl"}});
    ASSERT_TRUE(check.request) << check.message;
    const std::vector<MarginalModel> chain{MarginalModel::Rasch, MarginalModel::TwoPL,
                                           MarginalModel::ThreePL};
    EXPECT_EQ(check.request->compareModels, chain);
    RequestTexts texts;
    EXPECT_EQ(ApplyJobJson(JobJson(*check.request), "j.json", texts), "");
    EXPECT_EQ(*texts.compare, "rasch,2pl,3pl");
    EXPECT_EQ(ParseRequest(texts).request->compareModels, chain);
    EXPECT_TRUE(Parse({{"method", "mml"}}).request->compareModels.empty());

    const char* wanted =
        "The models to compare (--compare) must be two or more of 1pl, rasch, 2pl and 3pl, each "
        "once, separated by commas, not '";
    for (const char* refused : {"2pl", "2pl,2pl", "2pl,4pl", "3pl-c-given,3pl", "2pl,,3pl", ""}) {
        const RequestCheck bad = Parse({{"method", "mml"}, {"compare", refused}});
        EXPECT_FALSE(bad.request) << refused;
        EXPECT_EQ(bad.field, RequestField::Compare);
        EXPECT_EQ(bad.message, std::string(wanted) + refused + "'.");
    }
    const RequestCheck classic = Parse({{"compare", "rasch,2pl"}});
    EXPECT_FALSE(classic.request);
    EXPECT_EQ(classic.field, RequestField::Compare);
    EXPECT_NE(classic.message.find("needs the marginal method (--method mml)"), std::string::npos);
    // A test with items scored 0..m: the right/wrong models would misread
    // their scores (a GRM run's comparison fitted 2PL and 3PL items to them);
    // per-item models have no one model to compare.
    const char* const polytomous[][3] = {
        {"model", "grm", "must be two or more of grm, gpcm, pcm and rsm"},
        {"item-models", "m.txt", "--item-models names each item's own"}};
    for (const auto& [option, value, said] : polytomous) {
        const RequestCheck poly =
            Parse({{"method", "mml"}, {option, value}, {"compare", "2pl,3pl"}});
        EXPECT_FALSE(poly.request) << option;
        EXPECT_EQ(poly.field, RequestField::Compare);
        EXPECT_NE(poly.message.find(said), std::string::npos) << poly.message;
    }
}

// The DIF screens: any of mh, std, lr and irt once each, the IRT screen only
// with groups calibrated together, the matching only with screens; written
// back as they were asked.
TEST(RequestParser, TheDifScreensAndTheirMatching) {
    const OptionList group{{"group-start", "10"}, {"group-length", "1"}};
    auto with = [&](OptionList options) {
        options.insert(options.end(), group.begin(), group.end());
        return options;
    };
    const RequestCheck check = Parse(with({{"dif", " lr,mh "}, {"dif-match", "rest"}}));
    ASSERT_TRUE(check.request) << check.message;
    const DifRequest& dif = check.request->dif;
    EXPECT_TRUE(dif.mantelHaenszel && dif.logistic && dif.restScore);
    EXPECT_FALSE(dif.standardization);
    const OptionList written = RequestOptions(*check.request);
    EXPECT_NE(std::find(written.begin(), written.end(),
                        std::pair<std::string, std::string>{"dif", "mh,lr"}),
              written.end());
    EXPECT_EQ(Parse(written).request->dif.restScore, true);
    EXPECT_FALSE(Parse({}).request->dif.any());
    for (const auto& [name, value] : RequestOptions(*Parse({}).request)) {
        EXPECT_NE(name, "dif");
        EXPECT_NE(name, "dif-match");
    }
    const std::pair<OptionList, std::string> refused[] = {
        {with({{"dif", "mh,irt"}}),
         "The IRT DIF screen (--dif irt) compares fits of the groups calibrated together: it "
         "needs --method mml --groups."},
        {with({{"dif", "mh"}, {"anchors", "1,2"}}),
         "The anchor items (--anchors) are the IRT DIF screen's: they need --dif irt."},
        {with({{"dif", "mh,mh"}}),
         "The DIF screens (--dif) must be one or more of mh, std, lr and irt, each once, "
         "separated by commas, not 'mh,mh'."},
        {with({{"dif", ""}}),
         "The DIF screens (--dif) must be one or more of mh, std, lr and irt, each once, "
         "separated by commas, not ''."},
        {{{"dif-match", "rest"}},
         "The DIF screens' matching score (--dif-match) needs the screens (--dif mh,std,lr)."},
        {{{"dif", "mh"}},
         "The DIF screens (--dif) compare the examinees' groups: give their group field "
         "(--group-start and --group-length, or --group-column)."},
        {with({{"dif", "std"}, {"dif-match", "whole"}}),
         "The DIF screens' matching score (--dif-match) must be total or rest, not 'whole'."},
    };
    for (const auto& [options, message] : refused) {
        const RequestCheck bad = Parse(options);
        EXPECT_FALSE(bad.request);
        EXPECT_EQ(bad.field, RequestField::Dif);
        EXPECT_EQ(bad.message, message);
    }
}

// The IRT screen and the freed items need groups calibrated together; both
// are written back as asked, the item lists as given.
TEST(RequestParser, FreedItemsAndTheIrtScreenNeedGroupsCalibratedTogether) {
    const OptionList groups{
        {"group-start", "10"}, {"group-length", "1"}, {"method", "mml"}, {"groups", "yes"}};
    auto with = [&](OptionList options) {
        options.insert(options.end(), groups.begin(), groups.end());
        return options;
    };
    const RequestCheck check = Parse(with({{"dif", "irt,mh"},
                                           {"anchors", " 1, q_2 ,3"},
                                           {"free-items", "q_7,4"},
                                           {"free-dif", "yes"}}));
    ASSERT_TRUE(check.request) << check.message;
    const RunRequest& request = *check.request;
    EXPECT_TRUE(request.dif.irt && request.dif.mantelHaenszel && request.dif.any());
    EXPECT_EQ(request.dif.anchors, (std::vector<std::string>{"1", "q_2", "3"}));
    EXPECT_EQ(request.freeItems.items, (std::vector<std::string>{"q_7", "4"}));
    EXPECT_TRUE(request.freeItems.byDif);
    const RequestCheck again = Parse(RequestOptions(request));
    ASSERT_TRUE(again.request) << again.message;
    EXPECT_TRUE(again.request->dif.irt);
    EXPECT_EQ(again.request->dif.anchors, request.dif.anchors);
    EXPECT_EQ(again.request->freeItems.items, request.freeItems.items);
    EXPECT_TRUE(again.request->freeItems.byDif);

    const OptionList field{{"group-start", "10"}, {"group-length", "1"}, {"method", "mml"}};
    auto without = [&](OptionList options) {
        options.insert(options.end(), field.begin(), field.end());
        return options;
    };
    const RequestCheck alone = Parse(without({{"free-items", "3"}}));
    EXPECT_FALSE(alone.request);
    EXPECT_EQ(alone.message,
              "Freeing items across the groups (--free-items) needs the groups calibrated "
              "together (--method mml --groups).");
    const RequestCheck byDif = Parse(without({{"free-dif", "yes"}}));
    EXPECT_FALSE(byDif.request);
    EXPECT_NE(byDif.message.find("(--free-dif) needs the groups calibrated together"),
              std::string::npos)
        << byDif.message;
    const RequestCheck perItem = Parse(with({{"free-items", "3"}, {"item-models", "m.txt"}}));
    EXPECT_FALSE(perItem.request);
    EXPECT_NE(perItem.message.find("not offered with --item-models"), std::string::npos)
        << perItem.message;
    RequestTexts texts;
    EXPECT_EQ(ApplyOption("free-items", " ", texts), "--free-items needs item names or numbers");
}

TEST(RequestParser, PolytomousModelsTakeABinaryModelForRightWrongItems) {
    const RequestCheck grm = Parse({{"method", "mml"}, {"model", "grm"}});
    ASSERT_TRUE(grm.request) << grm.message;
    EXPECT_EQ(grm.request->marginal.polytomous, PolytomousModel::Grm);
    EXPECT_EQ(grm.request->marginal.model, MarginalModel::ThreePL);
    EXPECT_TRUE(grm.request->marginal.priorC.on) << "the 3PL items keep their priors";
    const RequestCheck pcm = Parse({{"method", "mml"}, {"model", "pcm"}, {"binary-model", "2pl"}});
    ASSERT_TRUE(pcm.request) << pcm.message;
    EXPECT_EQ(pcm.request->marginal.model, MarginalModel::TwoPL);
    const RequestCheck perItem = Parse({{"method", "mml"}, {"item-models", "m.txt"}});
    ASSERT_TRUE(perItem.request) << perItem.message;
    EXPECT_EQ(perItem.request->marginal.polytomous, PolytomousModel::PerItem);
    EXPECT_EQ(perItem.request->itemModelsFile, "m.txt");
    EXPECT_FALSE(perItem.request->marginal.polytomousLogA.on) << "off unless asked for";
    const RequestCheck priors =
        Parse({{"method", "mml"}, {"model", "gpcm"}, {"poly-prior-a", "0.1,0.4"}});
    ASSERT_TRUE(priors.request) << priors.message;
    EXPECT_TRUE(priors.request->marginal.polytomousLogA.on);
    EXPECT_EQ(priors.request->marginal.polytomousLogA.sd, 0.4);
    EXPECT_FALSE(priors.request->marginal.polytomousB.on);

    const OptionList refused[] = {
        {{"method", "mml"}, {"model", "grm"}, {"binary-model", "rasch"}},
        {{"method", "mml"}, {"binary-model", "2pl"}},
        {{"method", "mml"}, {"collapse-empty", "yes"}},
        {{"model", "grm"}},
        {{"method", "mml"}, {"item-models", "m.txt"}, {"model", "grm"}},
        {{"method", "mml"}, {"item-models", "m.txt"}, {"binary-model", "2pl"}},
        {{"item-models", "m.txt"}},
        {{"method", "mml"}, {"model", "2pl"}, {"poly-prior-b", "0,2"}},
        {{"method", "mml"}, {"model", "grm"}, {"poly-prior-a", "0,0.001"}},
    };
    for (const OptionList& options : refused) {
        const RequestCheck check = Parse(options);
        EXPECT_FALSE(check.request) << options.back().first;
        EXPECT_FALSE(check.message.empty());
    }
}

TEST(JobFile, ReadsBackWhatItWroteAndNamesWhatIsWrong) {
    RequestCheck check = Parse({{"mode", "3"}, {"method", "mml"}, {"model", "2pl"}});
    ASSERT_TRUE(check.request);
    check.request->format.entries = {{"delimiter", ";"}, {"header", "yes"}};
    const std::string job = JobJson(*check.request);
    const auto document = nlohmann::json::parse(job);
    EXPECT_EQ(document["tarvo_job"], 1);
    EXPECT_EQ(document["options"]["model"], "2pl");
    EXPECT_EQ(document["format"]["delimiter"], ";");

    RequestTexts texts;
    EXPECT_EQ(ApplyJobJson(job, "j.json", texts), "");
    const RequestCheck again = ParseRequest(texts);
    ASSERT_TRUE(again.request) << again.message;
    EXPECT_EQ(JobJson(*again.request), job);

    const std::pair<const char*, const char*> broken[] = {
        {"[1, 2]", "job file j.json: not a JSON object."},
        {"{\"options\": {}}", "job file j.json: no \"tarvo_job\" version: not a job file."},
        {"{\"tarvo_job\": 7}", "job file j.json: version 7, this program reads version 1."},
        {"{\"tarvo_job\": 0}", "job file j.json: version 0, this program reads version 1."},
        {"{\"tarvo_job\": 1, \"options\": {\"mode\": 3}}",
         "job file j.json: the value of \"mode\" must be a text, as the option takes it on the "
         "command line."},
        {"{\"tarvo_job\": 1, \"options\": {\"colour\": \"red\"}}",
         "job file j.json: unknown option '--colour'"},
        {"{\"tarvo_job\": 1, \"options\": {\"fix-items\": \"maybe\"}}",
         "job file j.json: --fix-items must be yes or no in a job file, not 'maybe'."},
        {"{\"tarvo_job\": 1, \"optoins\": {\"mode\": \"3\"}}",
         "job file j.json: unknown key \"optoins\"; a job file holds \"tarvo_job\", "
         "\"program\", \"options\" and \"format\"."},
    };
    for (const auto& [text, message] : broken) {
        RequestTexts into;
        EXPECT_EQ(ApplyJobJson(text, "j.json", into), message);
    }

    // A whole number with a tab after it, as a spreadsheet leaves it.
    RequestTexts tabbed;
    ASSERT_EQ(ApplyJobJson("{\"tarvo_job\": 1, \"options\": {\"method\": \"mml\", "
                           "\"quadrature\": \"49\\t\", \"em-cycles\": \"49\\t\"}}",
                           "j.json", tabbed),
              "");
    const RequestCheck read = ParseRequest(tabbed);
    ASSERT_TRUE(read.request) << read.message;
    EXPECT_EQ(read.request->marginal.quadraturePoints, 49);
    EXPECT_EQ(read.request->marginal.maxCycles, 49);
}

// The ends of the ranges and the settings that imply others.
TEST(RequestParser, RangeEndsAndImpliedSettingsAreAccepted) {
    const RequestCheck loose = Parse({{"method", "mml"}, {"em-tolerance", "1"}});
    ASSERT_TRUE(loose.request) << loose.message;
    EXPECT_EQ(loose.request->marginal.tolerance, 1);
    EXPECT_FALSE(Parse({{"method", "mml"}, {"em-tolerance", "1.0001"}}).request);

    // Scoring only holds every item, so the population may be estimated
    // without --fix-items.
    const RequestCheck scoring = Parse({{"method", "mml"},
                                        {"model", "grm"},
                                        {"scoring-only", "yes"},
                                        {"estimate-population", "yes"}});
    ASSERT_TRUE(scoring.request) << scoring.message;
    EXPECT_TRUE(scoring.request->marginal.fixItems);
    EXPECT_TRUE(scoring.request->marginal.estimatePopulation);
    EXPECT_FALSE(
        Parse({{"method", "mml"}, {"model", "grm"}, {"estimate-population", "yes"}}).request);
}

// A job file is a few kB: a file of megabytes (a response file named by
// mistake) is refused before it is read whole.
TEST(JobFile, ALargeFileIsRefusedUnread) {
    test_support::TempDir dir;
    const std::string large = dir.Write("large.json", std::string(3u << 20, ' '));
    RequestTexts texts;
    EXPECT_EQ(ReadJobFile(large, texts),
              "job file " + large +
                  " is larger than 1 MB; a job file is a few kB of settings: is it a job file?");
}

}  // namespace
}  // namespace tarvo::request
