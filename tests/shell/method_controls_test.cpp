// The Method choice and its options: the place of the added controls beside
// the unchanged ones, the options form turned into the marginal estimator's
// settings, and the options dialog refusing what it cannot use.
#include "shell/form/method_controls.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <map>

#include "shell/form/dialog_layout.h"
#include "shell/main_dialog.h"
#include "shell/options/marginal_options_dialog.h"
#include "shell_test_support.h"

namespace tarvo::shell {
namespace {

using test_support::EnsureApplication;

// Every control of the dialog as it stood before the Method choice came:
// identifier and rectangle in dialog units, in creation order.
const std::pair<int, DialogRect> kEarlierPlaces[] = {
    {1055, {6, 26, 363, 29}},    {1002, {5, 21, 365, 34}},
    {1003, {10, 30, 85, 10}},    {1004, {190, 29, 85, 10}},
    {1005, {100, 29, 88, 10}},   {1006, {280, 29, 85, 10}},
    {1007, {10, 41, 85, 10}},    {1008, {100, 41, 85, 10}},
    {1009, {190, 41, 85, 10}},   {1010, {280, 41, 85, 10}},
    {1108, {5, 55, 180, 105}},   {1011, {10, 72, 35, 10}},
    {1061, {45, 70, 95, 13}},    {1025, {335, 68, 30, 15}},
    {1013, {85, 85, 25, 15}},    {1014, {110, 90, 25, 10}},
    {1015, {30, 102, 45, 10}},   {1083, {85, 102, 20, 10}},
    {1084, {115, 102, 15, 10}},  {1033, {135, 102, 40, 10}},
    {1020, {30, 117, 50, 10}},   {1076, {85, 117, 20, 10}},
    {1077, {85, 132, 20, 10}},   {1078, {110, 117, 20, 10}},
    {1079, {110, 132, 20, 10}},  {1017, {30, 132, 50, 10}},
    {1034, {135, 117, 40, 10}},  {1035, {135, 132, 40, 10}},
    {1028, {195, 55, 175, 105}}, {1024, {203, 72, 35, 10}},
    {1085, {235, 70, 95, 13}},   {1026, {255, 85, 25, 15}},
    {1027, {285, 90, 25, 10}},   {1069, {255, 101, 20, 10}},
    {1064, {255, 114, 20, 10}},  {1066, {255, 127, 20, 10}},
    {1068, {255, 140, 20, 10}},  {1070, {285, 101, 15, 10}},
    {1065, {285, 114, 15, 10}},  {1071, {285, 127, 15, 10}},
    {1067, {285, 140, 15, 10}},  {1049, {227, 103, 28, 10}},
    {1029, {241, 114, 10, 8}},   {1030, {241, 127, 10, 8}},
    {1031, {241, 140, 10, 8}},   {1036, {310, 101, 50, 10}},
    {1038, {310, 114, 50, 10}},  {1040, {310, 127, 50, 10}},
    {1042, {310, 140, 50, 10}},  {1110, {145, 68, 30, 15}},
    {1044, {5, 165, 180, 35}},   {1045, {10, 182, 50, 10}},
    {1080, {60, 180, 85, 13}},   {1046, {150, 178, 30, 15}},
    {32651, {340, 165, 30, 15}}, {1047, {200, 178, 25, 15}},
    {1043, {340, 187, 30, 15}},  {kUnaddressed, {233, 165, 100, 37}},
    {1052, {231, 163, 99, 36}},  {1051, {233, 174, 93, 24}},
};

bool Same(const DialogRect& p, const DialogRect& q) {
    return p.x == q.x && p.y == q.y && p.w == q.w && p.h == q.h;
}

bool Overlap(const DialogRect& p, const DialogRect& q) {
    return p.x < q.x + q.w && q.x < p.x + p.w && p.y < q.y + q.h && q.y < p.y + p.h;
}

class MethodControlsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureApplication();
        dialog = std::make_unique<MainDialog>(nullptr, &picker, &desktop);
    }

    test_support::ScriptedPicker picker;
    test_support::RecordingDesktop desktop;
    std::unique_ptr<MainDialog> dialog;
};

TEST_F(MethodControlsTest, EveryEarlierControlKeepsItsPlaceAndSize) {
    const auto table = MainDialogControls();
    ASSERT_EQ(table.size(), std::size(kEarlierPlaces));
    const DialogUnits& units = dialog->Units();
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto& [id, place] = kEarlierPlaces[i];
        EXPECT_EQ(table[i].id, id) << i;
        EXPECT_TRUE(Same({table[i].x, table[i].y, table[i].w, table[i].h}, place)) << id;
        if (id == kUnaddressed) continue;
        EXPECT_EQ(dialog->Control(id)->geometry(), units.Rect(place.x, place.y, place.w, place.h))
            << id;
    }
    EXPECT_EQ(dialog->size(), units.Size(kDialogRect.w, kDialogRect.h));
}

TEST_F(MethodControlsTest, TheMethodChoiceSitsInFreeSpaceInsideTheDialog) {
    const DialogUnits& units = dialog->Units();
    const MethodControls& method = dialog->MethodChoice();
    const std::pair<QWidget*, DialogRect> added[] = {
        {method.label, kMethodLabelRect},         {method.method, kMethodBoxRect},
        {method.options, kMethodOptionsRect},     {method.saveSettings, kSaveSettingsRect},
        {method.loadSettings, kLoadSettingsRect}, {dialog->LinkButton(), kLinkButtonRect}};
    for (const auto& [widget, place] : added) {
        EXPECT_EQ(widget->geometry(), units.Rect(place.x, place.y, place.w, place.h));
        EXPECT_TRUE(place.x >= 0 && place.y >= 0 && place.x + place.w <= kDialogRect.w &&
                    place.y + place.h <= kDialogRect.h);
        for (const auto& [id, earlier] : kEarlierPlaces) {
            EXPECT_FALSE(Overlap(place, earlier)) << "overlaps control " << id;
        }
        for (const auto& [other, otherPlace] : added) {
            if (other != widget) {
                EXPECT_FALSE(Overlap(place, otherPlace));
            }
        }
    }
    // The label reads like the dialog's other labels, not in the surface's green.
    EXPECT_EQ(method.label->palette().color(QPalette::WindowText),
              dialog->Control(1045)->palette().color(QPalette::WindowText));
    EXPECT_EQ(method.label->palette().color(QPalette::Window),
              dialog->Control(1045)->palette().color(QPalette::Window));
    // The three come last in the tab order: after Exit, the last earlier control.
    QWidget* afterExit = dialog->Control(1043)->nextInFocusChain();
    while (afterExit != nullptr && afterExit->focusPolicy() == Qt::NoFocus)
        afterExit = afterExit->nextInFocusChain();
    EXPECT_EQ(afterExit, method.method);
}

TEST_F(MethodControlsTest, ClassicAtStartAndOptionsOnlyWithMarginal) {
    const MethodControls& method = dialog->MethodChoice();
    EXPECT_EQ(method.method->currentText(), QStringLiteral("Classic (JML)"));
    EXPECT_EQ(dialog->Estimator().Method(), EstimatorMethod::Classic);
    EXPECT_FALSE(method.options->isEnabled());
    EXPECT_EQ(dialog->RequestFor(3).request->method, Method::Classic);

    method.method->setCurrentIndex(1);
    EXPECT_EQ(method.method->currentText(), QStringLiteral("Marginal (MML)"));
    EXPECT_EQ(dialog->Estimator().Method(), EstimatorMethod::Marginal);
    EXPECT_TRUE(method.options->isEnabled());
    EXPECT_EQ(dialog->RequestFor(3).request->method, Method::Marginal);

    method.method->setCurrentIndex(0);
    EXPECT_EQ(dialog->Estimator().Method(), EstimatorMethod::Classic);
    EXPECT_FALSE(method.options->isEnabled());
}

// The settings the options form stands for, through the one parser.
MarginalSettings SettingsOf(const MarginalOptionsForm& form, int mode) {
    const request::RequestCheck check = CheckMarginalForm(form, mode);
    EXPECT_TRUE(check.request) << check.message;
    return check.request ? check.request->marginal : MarginalSettings{};
}

TEST(MarginalOptionsForm, DefaultsAreTheModelsAndTheModelFollowsTheMode) {
    // The model each mode gets when none is chosen, as tarvo-run gives it,
    // with the priors that model has unless told otherwise: the 3PL needs
    // its priors on a and c, the others are identified without them.
    const std::pair<int, MarginalModel> modes[] = {
        {1, MarginalModel::ThreePL}, {3, MarginalModel::ThreePL}, {5, MarginalModel::ThreePLCGiven},
        {6, MarginalModel::OnePL},   {8, MarginalModel::ThreePL},
    };
    for (const auto& [mode, model] : modes) {
        const MarginalSettings got = SettingsOf(DefaultMarginalOptions(), mode);
        EXPECT_EQ(got.model, model) << mode;
        EXPECT_EQ(got.priorLogA.on, model == MarginalModel::ThreePL) << mode;
        EXPECT_EQ(got.priorC.on, model == MarginalModel::ThreePL) << mode;
        EXPECT_FALSE(got.priorB.on);
        EXPECT_EQ(got.quadraturePoints, 61);
        EXPECT_EQ(got.maxCycles, 500);
        EXPECT_EQ(got.tolerance, 1e-4);
    }
    const MarginalOptionsForm form = DefaultMarginalOptions();
    EXPECT_EQ(form.priorA.second, "0.5");
}

TEST(MarginalOptionsForm, EveryChoiceReachesTheSettings) {
    MarginalOptionsForm form;
    form.model = MarginalModel::Rasch;  // a chosen model wins over the mode
    form.priorA = {PriorChoice::Off, "junk",
                   ""};  // the numbers of a prior that is off are not read
    form.priorB = {PriorChoice::On, " -0.5 ", "1.5"};
    form.priorC = {PriorChoice::AsTheModel, "", ""};  // off in the Rasch model: not read
    form.quadraturePoints = "21";
    form.scoring = MarginalScoring::Map;
    form.fixItems = true;
    form.estimatePopulation = true;
    form.emCycles = "40";
    form.emTolerance = "1e-6";
    const MarginalSettings got = SettingsOf(form, 5);
    EXPECT_EQ(got.model, MarginalModel::Rasch);
    EXPECT_FALSE(got.priorLogA.on);
    EXPECT_TRUE(got.priorB.on);
    EXPECT_EQ(got.priorB.mean, -0.5);
    EXPECT_EQ(got.priorB.sd, 1.5);
    EXPECT_FALSE(got.priorC.on);
    EXPECT_EQ(got.quadraturePoints, 21);
    EXPECT_EQ(got.scoring, MarginalScoring::Map);
    EXPECT_TRUE(got.fixItems);
    EXPECT_TRUE(got.estimatePopulation);
    EXPECT_EQ(got.maxCycles, 40);
    EXPECT_EQ(got.tolerance, 1e-6);
}

TEST(MarginalOptionsDialogTest, OkKeepsTheDialogOpenOnARefusedNumberAndTakesGoodOnes) {
    EnsureApplication();
    MarginalOptionsDialog options(DefaultMarginalOptions(), 6);
    EXPECT_TRUE(options.ModelBox()->currentText().contains(QStringLiteral("1PL")));
    using request::RequestField;

    options.Field(RequestField::Quadrature)->setText(QStringLiteral("3"));
    options.show();
    options.accept();
    EXPECT_NE(options.result(), QDialog::Accepted);
    EXPECT_TRUE(
        options.Refusal().startsWith(QStringLiteral("Quadrature points (--quadrature) must be")));
    EXPECT_TRUE(options.isVisible());
    options.Field(RequestField::Quadrature)->setText(QStringLiteral("31"));

    // The population needs held items, as with the runner.
    options.PopulationBox()->setChecked(true);
    options.accept();
    EXPECT_NE(options.result(), QDialog::Accepted);
    EXPECT_NE(options.Refusal().indexOf(QStringLiteral("(--estimate-population) needs items held")),
              -1);
    options.FixItemsBox()->setChecked(true);

    options.ModelBox()->setCurrentIndex(3);  // 2PL
    options.PriorChoiceBox('b')->setCurrentIndex(static_cast<int>(PriorChoice::On));
    EXPECT_TRUE(options.Field(RequestField::PriorBMean)->isEnabled());
    options.PriorChoiceBox('a')->setCurrentIndex(static_cast<int>(PriorChoice::Off));
    EXPECT_FALSE(options.Field(RequestField::PriorAMean)->isEnabled());
    options.ScoringBox()->setCurrentIndex(2);  // ML
    options.accept();
    EXPECT_EQ(options.result(), QDialog::Accepted);
    EXPECT_TRUE(options.Refusal().isEmpty());

    const MarginalSettings got = SettingsOf(options.Form(), 6);
    EXPECT_EQ(got.model, MarginalModel::TwoPL);
    EXPECT_EQ(got.quadraturePoints, 31);
    EXPECT_TRUE(got.priorB.on);
    EXPECT_EQ(got.priorB.sd, 2);
    EXPECT_FALSE(got.priorLogA.on);
    EXPECT_EQ(got.scoring, MarginalScoring::Ml);
    EXPECT_TRUE(got.fixItems);
    EXPECT_TRUE(got.estimatePopulation);

    // A form read back into a new dialog shows the same choices.
    MarginalOptionsDialog again(options.Form(), 6);
    EXPECT_EQ(again.ModelBox()->currentIndex(), 3);
    EXPECT_EQ(again.ScoringBox()->currentIndex(), 2);
    EXPECT_EQ(again.Field(RequestField::Quadrature)->text(), QStringLiteral("31"));
    EXPECT_EQ(again.PriorChoiceBox('b')->currentIndex(), static_cast<int>(PriorChoice::On));
    EXPECT_TRUE(again.PopulationBox()->isChecked());
}

// The models of a test with items scored in more than two categories: the
// choices are the polytomous model table's rows, the right/wrong model box
// fits the items beside them, and a form read back shows the same choices.
TEST(MarginalOptionsDialogTest, PolytomousModelsComeFromTheTableAndReachTheSettings) {
    EnsureApplication();
    MarginalOptionsDialog options(DefaultMarginalOptions(), 3);
    QComboBox* polytomous = options.PolytomousBox();
    // Every row but "per-item", which the item-models file's box stands for.
    ASSERT_EQ(polytomous->count(), static_cast<int>(kPolytomousModels.size()) - 1);
    EXPECT_EQ(polytomous->currentIndex(), 0);  // none: every item right/wrong
    EXPECT_LT(polytomous->findData(static_cast<int>(PolytomousModel::PerItem)), 0);
    for (const PolytomousModelRules& rules : kPolytomousModels) {
        if (rules.name.empty() || rules.model == PolytomousModel::PerItem) continue;
        const int index = polytomous->findData(static_cast<int>(rules.model));
        ASSERT_GE(index, 0) << rules.name;
        EXPECT_TRUE(polytomous->itemText(index).startsWith(QString::fromUtf8(rules.name.data())));
    }
    EXPECT_TRUE(options.ModelBox()->isEnabled());
    EXPECT_FALSE(options.BinaryModelBox()->isEnabled());
    EXPECT_FALSE(options.CollapseEmptyBox()->isEnabled());
    // Without polytomous items the two boxes are not asked for.
    options.CollapseEmptyBox()->setChecked(true);
    EXPECT_FALSE(SettingsOf(options.Form(), 3).collapseEmpty);

    polytomous->setCurrentIndex(polytomous->findData(static_cast<int>(PolytomousModel::Gpcm)));
    EXPECT_FALSE(options.ModelBox()->isEnabled());
    EXPECT_TRUE(options.BinaryModelBox()->isEnabled());
    EXPECT_TRUE(options.CollapseEmptyBox()->isEnabled());
    options.BinaryModelBox()->setCurrentIndex(1);  // 2PL
    options.show();
    options.accept();
    EXPECT_EQ(options.result(), QDialog::Accepted) << options.Refusal().toStdString();
    const MarginalSettings got = SettingsOf(options.Form(), 3);
    EXPECT_EQ(got.polytomous, PolytomousModel::Gpcm);
    EXPECT_EQ(got.model, MarginalModel::TwoPL);
    EXPECT_TRUE(got.collapseEmpty);
    EXPECT_FALSE(got.priorLogA.on);  // the 2PL's priors, off

    MarginalOptionsDialog again(options.Form(), 3);
    EXPECT_EQ(again.PolytomousBox()->currentData().toInt(),
              static_cast<int>(PolytomousModel::Gpcm));
    EXPECT_EQ(again.BinaryModelBox()->currentIndex(), 1);
    EXPECT_TRUE(again.CollapseEmptyBox()->isChecked());

    // The default beside polytomous items is the 3PL with its priors.
    MarginalOptionsForm graded = DefaultMarginalOptions();
    graded.polytomous = PolytomousModel::Grm;
    const MarginalSettings grm = SettingsOf(graded, 6);
    EXPECT_EQ(grm.polytomous, PolytomousModel::Grm);
    EXPECT_EQ(grm.model, MarginalModel::ThreePL);
    EXPECT_TRUE(grm.priorLogA.on);
    EXPECT_FALSE(grm.collapseEmpty);
}

// The polytomous items' priors and scoring only: enabled only with such
// items (a polytomous model or an item-models file) and, for scoring only,
// with held items; every control through the form's texts and back.
TEST(MarginalOptionsDialogTest, ThePolytomousPriorsAndScoringOnlyFollowTheItemsAndRoundTrip) {
    EnsureApplication();
    using request::RequestField;
    MarginalOptionsDialog options(DefaultMarginalOptions(), 3);
    QCheckBox* priorA = options.PolytomousPriorBox('a');
    QCheckBox* priorB = options.PolytomousPriorBox('b');
    ASSERT_NE(priorA, nullptr);
    ASSERT_NE(priorB, nullptr);
    EXPECT_FALSE(priorA->isChecked());  // off by default, as the runner has them
    EXPECT_FALSE(priorB->isChecked());
    EXPECT_EQ(options.Field(RequestField::PolytomousPriorASd)->text(), QStringLiteral("0.5"));
    EXPECT_EQ(options.Field(RequestField::PolytomousPriorBSd)->text(), QStringLiteral("2"));
    EXPECT_FALSE(priorA->isEnabled());
    EXPECT_FALSE(options.ScoringOnlyBox()->isEnabled());

    QComboBox* polytomous = options.PolytomousBox();
    polytomous->setCurrentIndex(polytomous->findData(static_cast<int>(PolytomousModel::Grm)));
    EXPECT_TRUE(priorA->isEnabled());
    EXPECT_FALSE(options.Field(RequestField::PolytomousPriorAMean)->isEnabled());
    priorA->setChecked(true);
    priorB->setChecked(true);
    EXPECT_TRUE(options.Field(RequestField::PolytomousPriorAMean)->isEnabled());
    options.Field(RequestField::PolytomousPriorAMean)->setText(QStringLiteral("0.1"));
    options.Field(RequestField::PolytomousPriorASd)->setText(QStringLiteral("0.4"));
    options.Field(RequestField::PolytomousPriorBMean)->setText(QStringLiteral("-0.5"));
    options.Field(RequestField::PolytomousPriorBSd)->setText(QStringLiteral("1.5"));
    EXPECT_FALSE(options.ScoringOnlyBox()->isEnabled()) << "needs the held items";
    options.FixItemsBox()->setChecked(true);
    ASSERT_TRUE(options.ScoringOnlyBox()->isEnabled());
    options.ScoringOnlyBox()->setChecked(true);
    options.show();
    options.accept();
    ASSERT_EQ(options.result(), QDialog::Accepted) << options.Refusal().toStdString();

    const MarginalOptionsForm form = options.Form();
    const MarginalSettings got = SettingsOf(form, 3);
    EXPECT_TRUE(got.polytomousLogA.on);
    EXPECT_EQ(got.polytomousLogA.mean, 0.1);
    EXPECT_EQ(got.polytomousLogA.sd, 0.4);
    EXPECT_TRUE(got.polytomousB.on);
    EXPECT_EQ(got.polytomousB.mean, -0.5);
    EXPECT_EQ(got.polytomousB.sd, 1.5);
    EXPECT_TRUE(got.scoringOnly);
    EXPECT_TRUE(got.fixItems);

    // Texts and back: the same form, and a dialog on it shows the same.
    request::RequestTexts texts;
    PutForm(form, texts);
    const MarginalOptionsForm back = FormOf(texts);
    EXPECT_TRUE(back.polytomousPriorA.on);
    EXPECT_EQ(back.polytomousPriorA.mean, "0.1");
    EXPECT_EQ(back.polytomousPriorB.sd, "1.5");
    EXPECT_TRUE(back.scoringOnly);
    EXPECT_TRUE(back.fixItems);
    MarginalOptionsDialog again(back, 3);
    EXPECT_TRUE(again.PolytomousPriorBox('a')->isChecked());
    EXPECT_TRUE(again.PolytomousPriorBox('b')->isChecked());
    EXPECT_EQ(again.Field(RequestField::PolytomousPriorBMean)->text(), QStringLiteral("-0.5"));
    EXPECT_TRUE(again.ScoringOnlyBox()->isChecked());
    EXPECT_TRUE(again.ScoringOnlyBox()->isEnabled());

    // A job that names only scoring only holds the items too.
    request::RequestTexts scoring;
    scoring.model = "gpcm";
    scoring.scoringOnly = true;
    EXPECT_TRUE(FormOf(scoring).fixItems);

    // Without held items scoring only is not asked for; without polytomous
    // items none of them is, and nothing is refused.
    MarginalOptionsForm unheld = form;
    unheld.fixItems = false;
    EXPECT_FALSE(SettingsOf(unheld, 3).scoringOnly);
    MarginalOptionsForm rightWrong = form;
    rightWrong.polytomous = PolytomousModel::None;
    const MarginalSettings dichotomous = SettingsOf(rightWrong, 3);
    EXPECT_FALSE(dichotomous.polytomousLogA.on);
    EXPECT_FALSE(dichotomous.scoringOnly);

    // An item-models file brings polytomous items: their options are
    // enabled and reach the request, the merging of empty categories too.
    again.PolytomousBox()->setCurrentIndex(0);
    EXPECT_FALSE(again.PolytomousPriorBox('a')->isEnabled());
    again.Field(RequestField::ItemModels)->setText(QStringLiteral("models.txt"));
    EXPECT_TRUE(again.PolytomousPriorBox('a')->isEnabled());
    EXPECT_TRUE(again.CollapseEmptyBox()->isEnabled());
    EXPECT_FALSE(again.BinaryModelBox()->isEnabled());
    again.CollapseEmptyBox()->setChecked(true);
    const MarginalSettings perItem = SettingsOf(again.Form(), 3);
    EXPECT_EQ(perItem.polytomous, PolytomousModel::PerItem);
    EXPECT_TRUE(perItem.polytomousB.on);
    EXPECT_TRUE(perItem.collapseEmpty);
    EXPECT_TRUE(perItem.scoringOnly);
}

// The model comparison is typed as the runner takes it, refused with the
// runner's message, and carried by a job file's texts both ways.
TEST(MarginalOptionsDialogTest, TheModelsToCompareAreCheckedAndCarried) {
    EnsureApplication();
    using request::RequestField;
    MarginalOptionsDialog options(DefaultMarginalOptions(), 3);
    QLineEdit* compare = options.Field(RequestField::Compare);
    ASSERT_NE(compare, nullptr);
    EXPECT_TRUE(compare->text().isEmpty());
    compare->setText(QStringLiteral("2pl,4pl"));
    options.show();
    options.accept();
    EXPECT_NE(options.result(), QDialog::Accepted);
    EXPECT_TRUE(options.Refusal().startsWith(
        QStringLiteral("The models to compare (--compare) must be two or more of")));
    compare->setText(QStringLiteral("rasch, 2pl"));
    options.accept();
    EXPECT_EQ(options.result(), QDialog::Accepted);

    request::RequestTexts texts;
    texts.method = "mml";
    PutForm(options.Form(), texts);
    const request::RequestCheck check = request::ParseRequest(texts);
    ASSERT_TRUE(check.request) << check.message;
    EXPECT_EQ(check.request->compareModels,
              (std::vector<MarginalModel>{MarginalModel::Rasch, MarginalModel::TwoPL}));
    EXPECT_EQ(FormOf(texts).compare, "rasch, 2pl");

    MarginalOptionsForm none = options.Form();
    none.compare = "  ";
    PutForm(none, texts);
    EXPECT_FALSE(texts.compare.has_value());
}

// The item-models file box carries its file to the request and back, and
// a model chosen beside it is refused with the box focused.
TEST(MarginalOptionsDialogTest, TheItemModelsFileIsCarriedAndExcludesAModel) {
    EnsureApplication();
    using request::RequestField;
    MarginalOptionsDialog options(DefaultMarginalOptions(), 3);
    QLineEdit* file = options.Field(RequestField::ItemModels);
    ASSERT_NE(file, nullptr);
    file->setText(QStringLiteral("models.txt"));
    options.ModelBox()->setCurrentIndex(1);
    options.show();
    options.accept();
    EXPECT_NE(options.result(), QDialog::Accepted);
    EXPECT_TRUE(options.Refusal().contains(QStringLiteral("--item-models")));
    options.ModelBox()->setCurrentIndex(0);
    options.accept();
    EXPECT_EQ(options.result(), QDialog::Accepted);

    request::RequestTexts texts;
    texts.method = "mml";
    PutForm(options.Form(), texts);
    const request::RequestCheck check = request::ParseRequest(texts);
    ASSERT_TRUE(check.request) << check.message;
    EXPECT_EQ(check.request->itemModelsFile, "models.txt");
    EXPECT_EQ(FormOf(texts).itemModels, "models.txt");
}

}  // namespace
}  // namespace tarvo::shell
