// The two front ends against each other: the runner's options and the
// dialog's controls give the same message for every refused marginal
// option, and the same settings make the same job file, which either front
// end reads back into the same run.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <map>
#include <optional>

#include "cli/options.h"
#include "platform/control_ids.h"
#include "request/job_file.h"
#include "request/option_table.h"
#include "request/request_parser.h"
#include "run/calibration_run.h"
#include "sample_layout.h"
#include "shell/main_dialog.h"
#include "shell/options/marginal_options_dialog.h"
#include "shell_test_support.h"
#include "support/scripted_host.h"

namespace tarvo::shell {
namespace {

using request::RequestField;
using test_support::EnsureApplication;

// The runner's refusal of these arguments (with --method mml), or empty.
std::string RunnerMessage(std::vector<std::string_view> args) {
    args.insert(args.begin(), {"--method", "mml"});
    const cli::ParseResult parsed = cli::ParseCommandLine(args);
    if (!parsed.options) return parsed.error;
    return request::ParseRequest(parsed.options->texts).message;
}

// The options dialog's refusal of its form with one field's text changed:
// every prior on, the polytomous items' with them in a graded test.
std::string DialogMessage(RequestField field, const std::string& text, bool polytomous) {
    MarginalOptionsForm form = DefaultMarginalOptions();
    for (PriorEntry* entry : {&form.priorA, &form.priorB, &form.priorC}) {
        entry->choice = PriorChoice::On;
    }
    if (polytomous) {
        form.polytomous = PolytomousModel::Grm;
        form.polytomousPriorA.on = true;
        form.polytomousPriorB.on = true;
    }
    MarginalOptionsDialog options(form, 3);
    options.Field(field)->setText(QString::fromStdString(text));
    options.accept();
    return options.Refusal().toStdString();
}

TEST(FrontEnds, GiveTheSameMessageForEveryRefusedMarginalOption) {
    EnsureApplication();
    struct Case {
        RequestField field;
        std::string option;  // the runner's option for the field
        std::string text;    // the refused text
        // What the option's value is with the text in it: the text alone, or
        // the text as the second of a pair beside a good first.
        int place;  // 0: alone, 1: first of a pair, 2: second of a pair
    };
    const Case cases[] = {
        {RequestField::Quadrature, "--quadrature", "4", 0},
        {RequestField::Quadrature, "--quadrature", "61.5", 0},
        {RequestField::Quadrature, "--quadrature", "1002", 0},
        {RequestField::Quadrature, "--quadrature", "", 0},
        {RequestField::EmCycles, "--em-cycles", "0", 0},
        {RequestField::EmCycles, "--em-cycles", "many", 0},
        {RequestField::EmTolerance, "--em-tolerance", "0", 0},
        {RequestField::EmTolerance, "--em-tolerance", "nan", 0},
        {RequestField::EmTolerance, "--em-tolerance", "2", 0},
        {RequestField::PriorAMean, "--prior-a", "x", 1},
        {RequestField::PriorAMean, "--prior-a", "1e308", 1},
        {RequestField::PriorASd, "--prior-a", "0", 2},
        {RequestField::PriorASd, "--prior-a", "1e-308", 2},
        {RequestField::PriorBMean, "--prior-b", "inf", 1},
        {RequestField::PriorBSd, "--prior-b", "1e-300", 2},
        {RequestField::PriorBSd, "--prior-b", "-1", 2},
        {RequestField::PriorCAlpha, "--prior-c", "0.5", 1},
        {RequestField::PriorCBeta, "--prior-c", "1e6", 2},
        {RequestField::PolytomousPriorAMean, "--poly-prior-a", "3.5", 1},
        {RequestField::PolytomousPriorASd, "--poly-prior-a", "0.001", 2},
        {RequestField::PolytomousPriorBMean, "--poly-prior-b", "x", 1},
        {RequestField::PolytomousPriorBSd, "--poly-prior-b", "101", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option + " " + c.text);
        const std::string good = c.option == "--prior-c" ? "5" : "1";
        const std::string value = c.place == 0   ? c.text
                                  : c.place == 1 ? c.text + "," + good
                                                 : good + "," + c.text;
        const bool polytomous = c.option.starts_with("--poly");
        const std::string runner = polytomous ? RunnerMessage({"--model", "grm", c.option, value})
                                              : RunnerMessage({c.option, value});
        const std::string dialog = DialogMessage(c.field, c.text, polytomous);
        EXPECT_FALSE(runner.empty());
        EXPECT_EQ(dialog, runner);
        EXPECT_EQ(runner.substr(runner.size() - c.text.size() - 3), "'" + c.text + "'.");
    }
}

class JobFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureApplication();
        ASSERT_TRUE(folder.isValid());
        dialog = std::make_unique<MainDialog>(nullptr, &picker, &desktop);
    }
    std::string Path(const std::string& name) const {
        return folder.path().toStdString() + "/" + name;
    }

    // The dialog's boxes, a mode and the marginal estimator with options;
    // then Save settings... into dialog.json.
    void SaveFromDialog(const std::map<int, std::string>& texts, int mode,
                        const MarginalOptionsForm& form) {
        for (const auto& [control, text] : texts) dialog->Controls().SetText(control, text);
        dialog->Controls().SetChecked(control::kModeFirst + mode - 1, true);
        dialog->Commands().ApplyModeLabels();
        dialog->MethodChoice().method->setCurrentIndex(1);
        dialog->Estimator().SetOptions(form);
        picker.saveAnswers.push_back(Path("dialog.json"));
        dialog->SaveSettings();
        ASSERT_TRUE(desktop.messages.empty()) << desktop.messages[0];
    }

    // The runner's request from these options and the boxes' texts as
    // options, written as runner.json.
    std::optional<RunRequest> SaveFromRunner(std::vector<std::string> args,
                                             const std::map<int, std::string>& texts) {
        for (const request::OptionSpec& option : request::RunOptions()) {
            const auto text = texts.find(option.controlId);
            if (option.controlId == 0 || text == texts.end()) continue;
            args.push_back("--" + std::string(option.name));
            args.push_back(text->second);
        }
        const std::vector<std::string_view> views(args.begin(), args.end());
        const cli::ParseResult parsed = cli::ParseCommandLine(views);
        EXPECT_TRUE(parsed.options) << parsed.error;
        if (!parsed.options) return std::nullopt;
        request::RequestCheck check = request::ParseRequest(parsed.options->texts);
        EXPECT_TRUE(check.request) << check.message;
        std::string error;
        if (check.request) {
            EXPECT_TRUE(request::WriteJobFile(*check.request, Path("runner.json"), {}, error))
                << error;
        }
        return check.request;
    }

    QTemporaryDir folder;
    test_support::ScriptedPicker picker;
    test_support::RecordingDesktop desktop;
    std::unique_ptr<MainDialog> dialog;
};

TEST_F(JobFileTest, BothFrontEndsWriteTheSameJobFileAndReadItBack) {
    const std::string responses = Path("r.dat"), items = Path("i.itm"), out = Path("out.csv");
    const auto texts = sim::SampleControlTexts(45, responses, items, out);

    // The dialog: its boxes, mode 5, the marginal estimator with options.
    MarginalOptionsForm form = DefaultMarginalOptions();
    form.model = MarginalModel::TwoPL;
    form.priorB = {PriorChoice::On, "0.5", "2"};
    form.quadraturePoints = "31";
    form.scoring = MarginalScoring::Map;
    form.fixItems = true;
    form.estimatePopulation = true;
    SaveFromDialog(texts, 5, form);

    // The runner: the same settings as options.
    const std::optional<RunRequest> request = SaveFromRunner(
        {"--mode", "5", "--method", "mml", "--model", "2pl", "--prior-b", "0.5,2", "--quadrature",
         "31", "--scoring", "map", "--fix-items", "--estimate-population"},
        texts);
    ASSERT_TRUE(request);

    const std::string job = test_support::ReadFileBytes(Path("dialog.json"));
    EXPECT_EQ(job, test_support::ReadFileBytes(Path("runner.json")));
    EXPECT_NE(job.find("\"prior-b\": \"0.5,2\""), std::string::npos) << job;

    // A fresh dialog loads it and would start the same run.
    MainDialog fresh(nullptr, &picker, &desktop);
    picker.openAnswers.push_back(Path("dialog.json"));
    fresh.LoadSettings();
    ASSERT_TRUE(desktop.messages.empty()) << desktop.messages[0];
    const request::RequestCheck again = fresh.RequestFor(fresh.Commands().CalibrationMode());
    ASSERT_TRUE(again.request) << again.message;
    EXPECT_EQ(request::JobJson(*again.request), request::JobJson(*request));
    EXPECT_EQ(fresh.Commands().CalibrationMode(), 5);
    EXPECT_EQ(fresh.Estimator().Method(), EstimatorMethod::Marginal);
    EXPECT_EQ(fresh.Controls().Text(control::kResponseFile), responses);

    // A job the dialog cannot use is refused with the parser's message and
    // changes nothing.
    test_support::WriteFileBytes(Path("bad.json"),
                                 R"({"tarvo_job": 1, "options": {"quadrature": "2"}})");
    picker.openAnswers.push_back(Path("bad.json"));
    fresh.LoadSettings();
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_NE(desktop.messages[0].find("The marginal estimator's options"), std::string::npos)
        << desktop.messages[0];
    EXPECT_EQ(fresh.Controls().Text(control::kResponseFile), responses);
}

// The models of a test with polytomous items, the right/wrong items'
// model beside them and the merging of empty categories: the same job file
// from either front end, and back into the dialog's options.
TEST_F(JobFileTest, BothFrontEndsCarryThePolytomousModels) {
    const auto texts = sim::SampleControlTexts(40, Path("r.dat"), "", Path("out.csv"));
    MarginalOptionsForm form = DefaultMarginalOptions();
    form.polytomous = PolytomousModel::Pcm;
    form.binaryModel = MarginalModel::OnePL;
    form.collapseEmpty = true;
    form.model = MarginalModel::Rasch;  // not asked for beside polytomous items
    SaveFromDialog(texts, 3, form);
    const std::optional<RunRequest> request =
        SaveFromRunner({"--mode", "3", "--method", "mml", "--model", "pcm", "--binary-model", "1pl",
                        "--collapse-empty"},
                       texts);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->marginal.polytomous, PolytomousModel::Pcm);
    const std::string job = test_support::ReadFileBytes(Path("dialog.json"));
    EXPECT_EQ(job, test_support::ReadFileBytes(Path("runner.json")));
    EXPECT_NE(job.find("\"binary-model\": \"1pl\""), std::string::npos) << job;
    EXPECT_NE(job.find("\"collapse-empty\""), std::string::npos) << job;

    MainDialog fresh(nullptr, &picker, &desktop);
    picker.openAnswers.push_back(Path("dialog.json"));
    fresh.LoadSettings();
    ASSERT_TRUE(desktop.messages.empty()) << desktop.messages[0];
    const MarginalOptionsForm loaded = fresh.Estimator().Options();
    EXPECT_EQ(loaded.polytomous, PolytomousModel::Pcm);
    EXPECT_EQ(loaded.binaryModel, MarginalModel::OnePL);
    EXPECT_TRUE(loaded.collapseEmpty);
    const request::RequestCheck again = fresh.RequestFor(fresh.Commands().CalibrationMode());
    ASSERT_TRUE(again.request) << again.message;
    EXPECT_EQ(request::JobJson(*again.request), request::JobJson(*request));
    MarginalOptionsDialog options(loaded, 3);
    EXPECT_EQ(options.PolytomousBox()->currentData().toInt(),
              static_cast<int>(PolytomousModel::Pcm));
    EXPECT_TRUE(options.CollapseEmptyBox()->isChecked());
}

// The 4PL's prior on u and the items' standard errors: the same job file
// from either front end, and back into the dialog's options and its boxes
// (a loaded job once lost the standard errors, so the next save dropped
// them).
TEST_F(JobFileTest, BothFrontEndsCarryThePriorOnUAndTheStandardErrors) {
    const auto texts = sim::SampleControlTexts(40, Path("r.dat"), "", Path("out.csv"));
    MarginalOptionsForm form = DefaultMarginalOptions();
    form.model = MarginalModel::FourPL;
    form.priorU = {PriorChoice::On, "12", "3"};
    form.standardErrors = StandardErrorMethod::CrossProduct;
    SaveFromDialog(texts, 3, form);
    const std::optional<RunRequest> request =
        SaveFromRunner({"--mode", "3", "--method", "mml", "--model", "4pl", "--prior-u", "12,3",
                        "--standard-errors", "crossproduct"},
                       texts);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->marginal.priorU.alpha, 12);
    const std::string job = test_support::ReadFileBytes(Path("dialog.json"));
    EXPECT_EQ(job, test_support::ReadFileBytes(Path("runner.json")));
    EXPECT_NE(job.find("\"prior-u\": \"12,3\""), std::string::npos) << job;
    EXPECT_NE(job.find("\"standard-errors\": \"crossproduct\""), std::string::npos) << job;

    MainDialog fresh(nullptr, &picker, &desktop);
    picker.openAnswers.push_back(Path("dialog.json"));
    fresh.LoadSettings();
    ASSERT_TRUE(desktop.messages.empty()) << desktop.messages[0];
    const MarginalOptionsForm loaded = fresh.Estimator().Options();
    EXPECT_EQ(loaded.standardErrors, StandardErrorMethod::CrossProduct);
    EXPECT_EQ(loaded.priorU.choice, PriorChoice::On);
    EXPECT_EQ(loaded.priorU.first, "12");
    const request::RequestCheck again = fresh.RequestFor(fresh.Commands().CalibrationMode());
    ASSERT_TRUE(again.request) << again.message;
    EXPECT_EQ(request::JobJson(*again.request), request::JobJson(*request));

    MarginalOptionsDialog options(loaded, 3);
    EXPECT_EQ(options.StandardErrorsBox()->currentIndex(),
              static_cast<int>(StandardErrorMethod::CrossProduct));
    EXPECT_EQ(options.PriorChoiceBox('u')->currentIndex(), static_cast<int>(PriorChoice::On));
    EXPECT_EQ(options.Field(request::RequestField::PriorUBeta)->text(), QStringLiteral("3"));
    // The dialog's own default is the 4PL's Beta(17, 5), on as the model has it.
    MarginalOptionsDialog defaults(DefaultMarginalOptions(), 3);
    EXPECT_EQ(defaults.Field(request::RequestField::PriorUAlpha)->text(), QStringLiteral("17"));
    defaults.ModelBox()->setCurrentIndex(static_cast<int>(MarginalModel::FourPL) + 1);
    defaults.PriorChoiceBox('u')->setCurrentIndex(static_cast<int>(PriorChoice::Off));
    defaults.StandardErrorsBox()->setCurrentIndex(static_cast<int>(StandardErrorMethod::None));
    const request::RequestCheck chosen = CheckMarginalForm(defaults.Form(), 3);
    ASSERT_TRUE(chosen.request) << chosen.message;
    const MarginalSettings& got = chosen.request->marginal;
    EXPECT_EQ(got.model, MarginalModel::FourPL);
    EXPECT_FALSE(got.priorU.on);
    EXPECT_EQ(got.standardErrors, StandardErrorMethod::None);
}

// The polytomous items' priors and scoring only: the same job file from
// either front end, back into the dialog's options, and the dialog's
// request scores the mixed test for the golden file's items exactly as the
// runner's does.
TEST_F(JobFileTest, BothFrontEndsCarryThePolytomousPriorsAndScoreTheSame) {
    const std::string golden = std::string(TARVO_SOURCE_DIR) + "/tests/golden/polytomous/";
    const auto texts = sim::SampleControlTexts(40, golden + "mixed.dat", golden + "result.csv",
                                               Path("scores.csv"));
    MarginalOptionsForm form = DefaultMarginalOptions();
    form.polytomous = PolytomousModel::Grm;
    form.polytomousPriorA = {true, "0.1", "0.4"};
    form.polytomousPriorB = {true, "0", "1.5"};
    form.scoring = MarginalScoring::Map;
    form.fixItems = true;
    form.scoringOnly = true;
    SaveFromDialog(texts, 3, form);
    const std::optional<RunRequest> request =
        SaveFromRunner({"--mode", "3", "--method", "mml", "--model", "grm", "--poly-prior-a",
                        "0.1,0.4", "--poly-prior-b", "0,1.5", "--scoring", "map", "--scoring-only"},
                       texts);
    ASSERT_TRUE(request);
    EXPECT_TRUE(request->marginal.scoringOnly);
    const std::string job = test_support::ReadFileBytes(Path("dialog.json"));
    EXPECT_EQ(job, test_support::ReadFileBytes(Path("runner.json")));
    EXPECT_NE(job.find("\"poly-prior-a\": \"0.1,0.4\""), std::string::npos) << job;
    EXPECT_NE(job.find("\"scoring-only\""), std::string::npos) << job;

    MainDialog fresh(nullptr, &picker, &desktop);
    picker.openAnswers.push_back(Path("dialog.json"));
    fresh.LoadSettings();
    ASSERT_TRUE(desktop.messages.empty()) << desktop.messages[0];
    const MarginalOptionsForm loaded = fresh.Estimator().Options();
    EXPECT_TRUE(loaded.polytomousPriorA.on);
    EXPECT_EQ(loaded.polytomousPriorA.sd, "0.4");
    EXPECT_TRUE(loaded.polytomousPriorB.on);
    EXPECT_TRUE(loaded.fixItems);
    EXPECT_TRUE(loaded.scoringOnly);
    const request::RequestCheck again = fresh.RequestFor(fresh.Commands().CalibrationMode());
    ASSERT_TRUE(again.request) << again.message;
    EXPECT_EQ(request::JobJson(*again.request), request::JobJson(*request));

    // Both requests write the same result file: the dialog's run first.
    tarvo::test_support::ScriptedHost dialogHost, runnerHost;
    EXPECT_EQ(RunCalibration(*again.request, dialogHost), RunEnd::Finished)
        << dialogHost.messages.back();
    const std::string fromDialog = test_support::ReadFileBytes(Path("scores.csv"));
    ASSERT_TRUE(QFile::remove(QString::fromStdString(Path("scores.csv"))));
    EXPECT_EQ(RunCalibration(*request, runnerHost), RunEnd::Finished) << runnerHost.messages.back();
    EXPECT_EQ(test_support::ReadFileBytes(Path("scores.csv")), fromDialog);
    // Every item held at the golden file's values: item 31's model,
    // categories and parameters as the file has them.
    const auto held = [](const std::string& file) {
        const std::string line = test_support::CrLfLines(file).at(31);
        return line.substr(line.find(",grm,"), 30);
    };
    EXPECT_EQ(held(fromDialog), held(test_support::ReadFileBytes(golden + "result.csv")));
}

// Every group option a runner's job file may hold: the groups calibrated
// together, the three DIF screens on the rest score and the groups to
// compare. The desktop loads it, runs the same request and saves it again
// byte for byte; the options dialog shows each of them checked.
TEST_F(JobFileTest, TheDesktopKeepsEveryGroupOptionOfARunnersJob) {
    auto texts = sim::SampleControlTexts(40, Path("r.dat"), "", Path("out.csv"));
    texts[control::kGroupStart] = "10";
    texts[control::kGroupLength] = "1";
    const std::optional<RunRequest> request = SaveFromRunner({"--mode",
                                                              "3",
                                                              "--method",
                                                              "mml",
                                                              "--model",
                                                              "2pl",
                                                              "--groups",
                                                              "--dif",
                                                              "lr,mh,std,irt",
                                                              "--dif-match",
                                                              "rest",
                                                              "--reference-group",
                                                              "F",
                                                              "--focal-groups",
                                                              "M, X",
                                                              "--anchors",
                                                              "1,2",
                                                              "--free-items",
                                                              "3",
                                                              "--free-dif"},
                                                             texts);
    ASSERT_TRUE(request);
    ASSERT_TRUE(request->marginal.groups);
    ASSERT_TRUE(request->dif.restScore);
    const std::string job = test_support::ReadFileBytes(Path("runner.json"));

    picker.openAnswers.push_back(Path("runner.json"));
    dialog->LoadSettings();
    ASSERT_TRUE(desktop.messages.empty()) << desktop.messages[0];
    const request::RequestCheck again = dialog->RequestFor(dialog->Commands().CalibrationMode());
    ASSERT_TRUE(again.request) << again.message;
    EXPECT_EQ(request::JobJson(*again.request), request::JobJson(*request));
    picker.saveAnswers.push_back(Path("dialog.json"));
    dialog->SaveSettings();
    ASSERT_TRUE(desktop.messages.empty()) << desktop.messages[0];
    EXPECT_EQ(test_support::ReadFileBytes(Path("dialog.json")), job);

    // Through the options dialog and OK, nothing is lost either.
    MarginalOptionsDialog options(dialog->Estimator().Options(), 3);
    EXPECT_TRUE(options.GroupsTogetherBox()->isChecked());
    for (const char screen : {'m', 's', 'l', 'i'}) EXPECT_TRUE(options.DifBox(screen)->isChecked());
    EXPECT_EQ(options.AnchorsField()->text(), QStringLiteral("1,2"));
    EXPECT_EQ(options.FreeItemsField()->text(), QStringLiteral("3"));
    EXPECT_TRUE(options.FreeDifBox()->isChecked());
    EXPECT_EQ(options.DifMatchBox()->currentIndex(), 1);
    EXPECT_EQ(options.ReferenceGroupField()->text(), QStringLiteral("F"));
    EXPECT_EQ(options.FocalGroupsField()->text(), QStringLiteral("M,X"));
    options.accept();
    ASSERT_EQ(options.result(), QDialog::Accepted) << options.Refusal().toStdString();
    dialog->Estimator().SetOptions(options.Form());
    const request::RequestCheck edited = dialog->RequestFor(3);
    ASSERT_TRUE(edited.request) << edited.message;
    EXPECT_EQ(request::JobJson(*edited.request), request::JobJson(*request));
}

// The DIF screens and the groups to compare belong to no estimator: a
// classic run's job keeps them through the desktop too.
TEST_F(JobFileTest, TheDesktopKeepsTheDifScreensOfAClassicJob) {
    auto texts = sim::SampleControlTexts(40, Path("r.dat"), "", Path("out.csv"));
    texts[control::kGroupStart] = "10";
    const std::optional<RunRequest> request =
        SaveFromRunner({"--mode", "3", "--dif", "std", "--focal-groups", "B"}, texts);
    ASSERT_TRUE(request);
    picker.openAnswers.push_back(Path("runner.json"));
    dialog->LoadSettings();
    ASSERT_TRUE(desktop.messages.empty()) << desktop.messages[0];
    EXPECT_EQ(dialog->Estimator().Method(), EstimatorMethod::Classic);
    picker.saveAnswers.push_back(Path("dialog.json"));
    dialog->SaveSettings();
    ASSERT_TRUE(desktop.messages.empty()) << desktop.messages[0];
    EXPECT_EQ(test_support::ReadFileBytes(Path("dialog.json")),
              test_support::ReadFileBytes(Path("runner.json")));
}

// The options dialog's group boxes give the runner's options: each screen
// alone, the matching score only with a screen, and a refusal of the
// runner's words that keeps the dialog open.
TEST(GroupOptions, TheBoxesGiveTheRunnersOptions) {
    EnsureApplication();
    MarginalOptionsDialog options(DefaultMarginalOptions(), 3);
    EXPECT_FALSE(options.DifMatchBox()->isEnabled());
    options.GroupsTogetherBox()->setChecked(true);
    options.DifBox('l')->setChecked(true);
    EXPECT_TRUE(options.DifMatchBox()->isEnabled());
    options.ReferenceGroupField()->setText(QStringLiteral(" F "));
    request::RequestCheck check = CheckMarginalForm(options.Form(), 3);
    ASSERT_TRUE(check.request) << check.message;
    EXPECT_TRUE(check.request->marginal.groups);
    EXPECT_TRUE(check.request->dif.logistic);
    EXPECT_FALSE(check.request->dif.mantelHaenszel || check.request->dif.standardization);
    EXPECT_FALSE(check.request->dif.restScore);
    EXPECT_EQ(check.request->groups.reference, "F");
    EXPECT_TRUE(check.request->groups.focal.empty());

    request::RequestTexts texts;
    options.DifBox('m')->setChecked(true);
    options.DifMatchBox()->setCurrentIndex(1);
    PutForm(options.Form(), texts);
    EXPECT_EQ(texts.dif, "mh,lr");
    EXPECT_EQ(texts.difMatch, "rest");
    // The anchors go with the IRT screen only, which the runner refuses alone.
    options.AnchorsField()->setText(QStringLiteral("1"));
    EXPECT_FALSE(options.AnchorsField()->isEnabled());
    PutForm(options.Form(), texts);
    EXPECT_FALSE(texts.anchors);
    options.DifBox('i')->setChecked(true);
    EXPECT_TRUE(options.AnchorsField()->isEnabled());
    PutForm(options.Form(), texts);
    EXPECT_EQ(texts.dif, "mh,lr,irt");
    EXPECT_EQ(texts.anchors, "1");
    options.DifBox('i')->setChecked(false);
    // No screen: no matching score, which the runner refuses alone.
    options.DifBox('m')->setChecked(false);
    options.DifBox('l')->setChecked(false);
    PutForm(options.Form(), texts);
    EXPECT_FALSE(texts.dif || texts.difMatch);

    // A group both reference and focal: the runner's refusal, shown.
    options.FocalGroupsField()->setText(QStringLiteral("M,F"));
    options.accept();
    EXPECT_NE(options.result(), QDialog::Accepted);
    EXPECT_NE(options.Refusal().indexOf(QStringLiteral("also among the focal groups")), -1)
        << options.Refusal().toStdString();
}

}  // namespace
}  // namespace tarvo::shell
