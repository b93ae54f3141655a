#include "shell/options/marginal_options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>

#include "shell/options/refusal_footer.h"

namespace tarvo::shell {
namespace {

using request::RequestField;

constexpr std::array<MarginalScoring, 3> kScorings{MarginalScoring::Eap, MarginalScoring::Map,
                                                   MarginalScoring::Ml};
constexpr std::array<const char*, 3> kScoringCaptions{"EAP", "MAP", "ML"};
// In the order of StandardErrorMethod.
constexpr std::array<const char*, 3> kErrorCaptions{
    "Observed information (Louis)", "Cross-products of the gradients (approximate)", "None"};
// The models the right/wrong items of a test with polytomous items may take.
constexpr std::array<MarginalModel, 3> kBinaryModels{MarginalModel::ThreePL, MarginalModel::TwoPL,
                                                     MarginalModel::OnePL};
// The entries of a prior's choice, in the order of PriorChoice.
constexpr std::array<const char*, 3> kPriorChoices{"As the model", "On", "Off"};

QString Caption(MarginalModel model) {
    const std::string_view caption = RulesOf(model).caption;
    return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

// A polytomous model's entry: its runner name with what it stands for.
QString Caption(const PolytomousModelRules& rules) {
    const QString name =
        QString::fromUtf8(rules.name.data(), static_cast<qsizetype>(rules.name.size()));
    struct Known {
        std::string_view name;
        const char* meaning;
    };
    constexpr Known kMeanings[] = {{"grm", "graded response"},
                                   {"gpcm", "generalized partial credit"},
                                   {"pcm", "partial credit"},
                                   {"rsm", "rating scale"},
                                   {"nominal", "options of multiple-choice items, by the key"}};
    for (const Known& known : kMeanings) {
        if (known.name == rules.name)
            return name + QStringLiteral(" (%1)").arg(QString::fromUtf8(known.meaning));
    }
    return name;
}

}  // namespace

request::RequestCheck CheckMarginalForm(const MarginalOptionsForm& form, int mode) {
    request::RequestTexts texts;
    texts.mode = std::to_string(mode);
    texts.method = "mml";
    PutForm(form, texts);
    return CheckGroupChoices(std::move(texts));
}

MarginalOptionsDialog::MarginalOptionsDialog(const MarginalOptionsForm& form, int mode,
                                             QWidget* owner)
    : QDialog(owner), mode_(mode) {
    setWindowTitle(QStringLiteral("Marginal (MML) options"));
    auto* grid = new QGridLayout;
    int row = 0;

    model_ = new QComboBox(this);
    model_->addItem(QStringLiteral("As the mode (mode %1: %2)")
                        .arg(mode)
                        .arg(Caption(DefaultMarginalModel(mode))));
    for (const MarginalModelRules& rules : kMarginalModels) model_->addItem(Caption(rules.model));
    model_->setCurrentIndex(form.model ? static_cast<int>(*form.model) + 1 : 0);
    grid->addWidget(new QLabel(QStringLiteral("Model"), this), row, 0);
    grid->addWidget(model_, row++, 1, 1, 4);
    row = AddPolytomousRows(grid, row, form);

    AddPrior(grid, row++, 'a', QStringLiteral("Prior on a: log a ~ normal (mean, SD)"), form.priorA,
             RequestField::PriorAMean, RequestField::PriorASd);
    AddPrior(grid, row++, 'b', QStringLiteral("Prior on b: normal (mean, SD)"), form.priorB,
             RequestField::PriorBMean, RequestField::PriorBSd);
    AddPrior(grid, row++, 'c', QStringLiteral("Prior on c: beta (alpha, beta)"), form.priorC,
             RequestField::PriorCAlpha, RequestField::PriorCBeta);
    AddPrior(grid, row++, 'u', QStringLiteral("Prior on u (4PL): beta (alpha, beta)"), form.priorU,
             RequestField::PriorUAlpha, RequestField::PriorUBeta);
    auto* priorNote = new QLabel(
        QStringLiteral("\"As the model\": on for the 3PL's a and c and the 4PL's a, c and u, "
                       "which they need to be identified; off for the other models."),
        this);
    priorNote->setWordWrap(true);
    grid->addWidget(priorNote, row++, 0, 1, 5);

    grid->addWidget(new QLabel(QStringLiteral("Quadrature points (-6 to 6)"), this), row, 0);
    grid->addWidget(AddField(RequestField::Quadrature, form.quadraturePoints), row++, 2);

    scoring_ = new QComboBox(this);
    for (std::size_t i = 0; i < kScorings.size(); ++i) {
        scoring_->addItem(QString::fromUtf8(kScoringCaptions[i]));
        if (kScorings[i] == form.scoring) scoring_->setCurrentIndex(static_cast<int>(i));
    }
    grid->addWidget(new QLabel(QStringLiteral("Examinee scores"), this), row, 0);
    grid->addWidget(scoring_, row++, 2);

    standardErrors_ = new QComboBox(this);
    for (const char* caption : kErrorCaptions) standardErrors_->addItem(QString::fromUtf8(caption));
    standardErrors_->setCurrentIndex(static_cast<int>(form.standardErrors));
    grid->addWidget(new QLabel(QStringLiteral("Items' standard errors"), this), row, 0);
    grid->addWidget(standardErrors_, row++, 2, 1, 3);

    fixItems_ =
        new QCheckBox(QStringLiteral("Hold the items of the item parameter file fixed"), this);
    fixItems_->setChecked(form.fixItems);
    grid->addWidget(fixItems_, row++, 0, 1, 5);
    // The runner's --scoring-only: every item held, so it needs the held
    // items' file, and it is for tests with polytomous items.
    scoringOnly_ =
        new QCheckBox(QStringLiteral("Scoring only: abilities for the given items"), this);
    scoringOnly_->setChecked(form.scoringOnly);
    grid->addWidget(scoringOnly_, row++, 0, 1, 5);
    population_ = new QCheckBox(
        QStringLiteral("With held items: estimate the ability distribution's mean and SD"), this);
    population_->setChecked(form.estimatePopulation);
    grid->addWidget(population_, row++, 0, 1, 5);
    groupsTogether_ = new QCheckBox(QStringLiteral("Calibrate the groups together"), this);
    groupsTogether_->setToolTip(
        QStringLiteral("The groups of the Group field: one set of items, the reference group "
                       "N(0, 1), each other group's mean and SD estimated"));
    groupsTogether_->setChecked(form.groupsTogether);

    row = AddGroupRows(grid, row, form.groups);

    grid->addWidget(new QLabel(QStringLiteral("EM cycle limit"), this), row, 0);
    grid->addWidget(AddField(RequestField::EmCycles, form.emCycles), row++, 2);
    grid->addWidget(new QLabel(QStringLiteral("EM tolerance (largest change)"), this), row, 0);
    grid->addWidget(AddField(RequestField::EmTolerance, form.emTolerance), row++, 2);
    grid->addWidget(new QLabel(QStringLiteral("Compare models (e.g. rasch,2pl,3pl)"), this), row,
                    0);
    QLineEdit* compare = AddField(RequestField::Compare, form.compare);
    compare->setMaximumWidth(QWIDGETSIZE_MAX);
    compare->setPlaceholderText(QStringLiteral("none"));
    grid->addWidget(compare, row++, 2, 1, 3);

    grid->addWidget(new QLabel(QStringLiteral("Item models file (a model per item)"), this), row,
                    0);
    QLineEdit* itemModels = AddField(RequestField::ItemModels, form.itemModels);
    itemModels->setMaximumWidth(QWIDGETSIZE_MAX);
    itemModels->setPlaceholderText(QStringLiteral("none: the model above for every item"));
    grid->addWidget(itemModels, row, 2, 1, 2);
    auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
    connect(browse, &QPushButton::clicked, this, [this, itemModels] {
        const QString chosen = QFileDialog::getOpenFileName(
            this, QStringLiteral("Item models file"), itemModels->text(),
            QStringLiteral("Text files (*.txt);;All files (*)"));
        if (!chosen.isEmpty()) itemModels->setText(chosen);
    });
    grid->addWidget(browse, row++, 4);

    FollowChoices();
    connect(polytomous_, &QComboBox::currentIndexChanged, this, [this] { FollowChoices(); });
    connect(itemModels, &QLineEdit::textChanged, this, [this] { FollowChoices(); });
    for (QCheckBox* box : {fixItems_, polytomousPriors_.at('a'), polytomousPriors_.at('b')}) {
        connect(box, &QCheckBox::toggled, this, [this] { FollowChoices(); });
    }

    auto* column = new QVBoxLayout(this);
    column->addLayout(grid);
    refusal_ = AddRefusalFooter(*this, *column);
}

// The groups of the Response Input frame's Group field: the DIF screens
// with their matching score and anchors, then the groups calibrated
// together (their box leads the row of the groups' labels), in two rows to
// keep the dialog short.
int MarginalOptionsDialog::AddGroupRows(QGridLayout* grid, int row, const GroupChoices& choices) {
    dif_ = new DifRows(choices, this);
    auto* screens = new QHBoxLayout;
    dif_->AddScreens(screens);
    screens->addStretch();
    dif_->AddAnchors(screens);
    grid->addWidget(new QLabel(QStringLiteral("DIF screens of the groups"), this), row, 0);
    grid->addLayout(screens, row++, 1, 1, 4);

    auto* labels = new QHBoxLayout;
    labels->addWidget(groupsTogether_);
    labels->addWidget(new QLabel(QStringLiteral("Free items"), this));
    freeItems_ = new QLineEdit(Text(choices.freeItems), this);
    freeItems_->setPlaceholderText(QStringLiteral("none"));
    freeItems_->setToolTip(
        QStringLiteral("Items (names or numbers, by commas) estimated in each group on its own "
                       "when the groups are calibrated together"));
    labels->addWidget(freeItems_);
    freeDif_ = new QCheckBox(QStringLiteral("and those flagged"), this);
    freeDif_->setToolTip(QStringLiteral("Free the items the DIF screens flag"));
    freeDif_->setChecked(choices.freeDif);
    labels->addWidget(freeDif_);
    labels->addStretch();
    dif_->AddGroups(labels);
    grid->addLayout(labels, row++, 0, 1, 5);

    // The IRT screen refits the groups calibrated together.
    auto followGroups = [this] {
        dif_->SetIrtAvailable(groupsTogether_->isChecked(),
                              QStringLiteral("Check \"Calibrate the groups together\" first."));
    };
    followGroups();
    connect(groupsTogether_, &QCheckBox::toggled, this, followGroups);
    return row;
}

int MarginalOptionsDialog::AddPolytomousRows(QGridLayout* grid, int row,
                                             const MarginalOptionsForm& form) {
    // The choices are the polytomous model table's rows; its first row
    // stands for a test of right/wrong items only.
    polytomous_ = new QComboBox(this);
    for (const PolytomousModelRules& rules : kPolytomousModels) {
        // Each item its own model comes from the item-models file's box.
        if (rules.model == PolytomousModel::PerItem) continue;
        polytomous_->addItem(rules.model == PolytomousModel::None
                                 ? QStringLiteral("None: every item right/wrong")
                                 : Caption(rules),
                             static_cast<int>(rules.model));
        if (rules.model == form.polytomous) polytomous_->setCurrentIndex(polytomous_->count() - 1);
    }
    grid->addWidget(new QLabel(QStringLiteral("Items with more than two categories"), this), row,
                    0);
    grid->addWidget(polytomous_, row++, 1, 1, 4);

    binaryModel_ = new QComboBox(this);
    for (const MarginalModel model : kBinaryModels) {
        binaryModel_->addItem(Caption(model));
        if (form.binaryModel == model) binaryModel_->setCurrentIndex(binaryModel_->count() - 1);
    }
    grid->addWidget(new QLabel(QStringLiteral("Right/wrong items beside them"), this), row, 0);
    grid->addWidget(binaryModel_, row++, 1, 1, 4);

    collapseEmpty_ =
        new QCheckBox(QStringLiteral("Merge away an unused middle category of an item"), this);
    collapseEmpty_->setChecked(form.collapseEmpty);
    grid->addWidget(collapseEmpty_, row++, 0, 1, 5);
    AddPolytomousPrior(grid, row++, 'a',
                       QStringLiteral("Polytomous items' prior on a: log |a| ~ normal (mean, SD)"),
                       form.polytomousPriorA, RequestField::PolytomousPriorAMean,
                       RequestField::PolytomousPriorASd);
    AddPolytomousPrior(grid, row++, 'b',
                       QStringLiteral("Polytomous items' prior on b: every threshold normal "
                                      "(mean, SD)"),
                       form.polytomousPriorB, RequestField::PolytomousPriorBMean,
                       RequestField::PolytomousPriorBSd);
    auto* note = new QLabel(
        QStringLiteral("An item whose key character is \"+\" is scored by its digit, 0 to 8; "
                       "without a key record every item is."),
        this);
    note->setWordWrap(true);
    grid->addWidget(note, row++, 0, 1, 5);
    return row;
}

// An off prior until its box is checked, as the runner's --poly-prior-a and
// --poly-prior-b are.
void MarginalOptionsDialog::AddPolytomousPrior(QGridLayout* grid, int row, char parameter,
                                               const QString& caption, const SwitchedPrior& entry,
                                               RequestField mean, RequestField sd) {
    auto* box = new QCheckBox(caption, this);
    box->setChecked(entry.on);
    polytomousPriors_[parameter] = box;
    grid->addWidget(box, row, 0, 1, 2);
    grid->addWidget(AddField(mean, entry.mean), row, 2);
    grid->addWidget(AddField(sd, entry.sd), row, 3);
}

// The right/wrong model box fits every item of a test without polytomous
// items; the two boxes of polytomous runs fit only the others. The
// polytomous items' options, scoring only among them, ask for such items,
// which a polytomous model or an item-models file brings.
void MarginalOptionsDialog::FollowChoices() {
    const bool chosen =
        polytomous_->currentData().toInt() != static_cast<int>(PolytomousModel::None);
    const bool polytomous = AnyPolytomousItems();
    model_->setEnabled(!chosen);
    binaryModel_->setEnabled(chosen);
    collapseEmpty_->setEnabled(polytomous);
    const std::pair<QCheckBox*, std::pair<RequestField, RequestField>> priors[] = {
        {polytomousPriors_.at('a'),
         {RequestField::PolytomousPriorAMean, RequestField::PolytomousPriorASd}},
        {polytomousPriors_.at('b'),
         {RequestField::PolytomousPriorBMean, RequestField::PolytomousPriorBSd}}};
    for (const auto& [box, fields] : priors) {
        box->setEnabled(polytomous);
        fields_.at(fields.first)->setEnabled(polytomous && box->isChecked());
        fields_.at(fields.second)->setEnabled(polytomous && box->isChecked());
    }
    scoringOnly_->setEnabled(polytomous && fixItems_->isChecked());
}

bool MarginalOptionsDialog::AnyPolytomousItems() const {
    MarginalOptionsForm form;
    form.polytomous = static_cast<PolytomousModel>(std::max(0, polytomous_->currentData().toInt()));
    form.itemModels = fields_.at(RequestField::ItemModels)->text().toStdString();
    return HasPolytomousItems(form);
}

QLineEdit* MarginalOptionsDialog::AddField(RequestField field, const std::string& text) {
    auto* edit = new QLineEdit(Text(text), this);
    edit->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 10);
    fields_[field] = edit;
    return edit;
}

void MarginalOptionsDialog::AddPrior(QGridLayout* grid, int row, char parameter,
                                     const QString& caption, const PriorEntry& entry,
                                     RequestField first, RequestField second) {
    auto* choice = new QComboBox(this);
    for (const char* text : kPriorChoices) choice->addItem(QString::fromUtf8(text));
    choice->setCurrentIndex(static_cast<int>(entry.choice));
    priorChoices_[parameter] = choice;
    QLineEdit* firstEdit = AddField(first, entry.first);
    QLineEdit* secondEdit = AddField(second, entry.second);
    // The numbers of a prior that is off are not used.
    auto follow = [firstEdit, secondEdit](int index) {
        const bool used = index != static_cast<int>(PriorChoice::Off);
        firstEdit->setEnabled(used);
        secondEdit->setEnabled(used);
    };
    follow(choice->currentIndex());
    connect(choice, &QComboBox::currentIndexChanged, this, follow);
    grid->addWidget(new QLabel(caption, this), row, 0);
    grid->addWidget(choice, row, 1);
    grid->addWidget(firstEdit, row, 2);
    grid->addWidget(secondEdit, row, 3);
}

MarginalOptionsForm MarginalOptionsDialog::Form() const {
    MarginalOptionsForm form;
    const int modelIndex = model_->currentIndex();
    if (modelIndex >= 1)
        form.model = kMarginalModels[static_cast<std::size_t>(modelIndex - 1)].model;
    form.polytomous = static_cast<PolytomousModel>(std::max(0, polytomous_->currentData().toInt()));
    form.binaryModel =
        kBinaryModels[static_cast<std::size_t>(std::max(0, binaryModel_->currentIndex()))];
    form.collapseEmpty = collapseEmpty_->isChecked();
    auto text = [this](RequestField field) { return fields_.at(field)->text().toStdString(); };
    auto choice = [this](char parameter) {
        return static_cast<PriorChoice>(std::max(0, priorChoices_.at(parameter)->currentIndex()));
    };
    form.priorA = {choice('a'), text(RequestField::PriorAMean), text(RequestField::PriorASd)};
    form.priorB = {choice('b'), text(RequestField::PriorBMean), text(RequestField::PriorBSd)};
    form.priorC = {choice('c'), text(RequestField::PriorCAlpha), text(RequestField::PriorCBeta)};
    form.priorU = {choice('u'), text(RequestField::PriorUAlpha), text(RequestField::PriorUBeta)};
    form.polytomousPriorA = {polytomousPriors_.at('a')->isChecked(),
                             text(RequestField::PolytomousPriorAMean),
                             text(RequestField::PolytomousPriorASd)};
    form.polytomousPriorB = {polytomousPriors_.at('b')->isChecked(),
                             text(RequestField::PolytomousPriorBMean),
                             text(RequestField::PolytomousPriorBSd)};
    form.quadraturePoints = text(RequestField::Quadrature);
    form.scoring = kScorings[static_cast<std::size_t>(std::max(0, scoring_->currentIndex()))];
    form.standardErrors =
        static_cast<StandardErrorMethod>(std::max(0, standardErrors_->currentIndex()));
    form.fixItems = fixItems_->isChecked();
    form.scoringOnly = scoringOnly_->isChecked();
    form.estimatePopulation = population_->isChecked();
    form.emCycles = text(RequestField::EmCycles);
    form.emTolerance = text(RequestField::EmTolerance);
    form.compare = text(RequestField::Compare);
    form.itemModels = text(RequestField::ItemModels);
    form.groupsTogether = groupsTogether_->isChecked();
    dif_->PutInto(form.groups);
    form.groups.freeItems = freeItems_->text().toStdString();
    form.groups.freeDif = freeDif_->isChecked();
    return form;
}

QLineEdit* MarginalOptionsDialog::Field(RequestField field) const {
    const auto found = fields_.find(field);
    return found == fields_.end() ? nullptr : found->second;
}

QComboBox* MarginalOptionsDialog::PriorChoiceBox(char parameter) const {
    const auto found = priorChoices_.find(parameter);
    return found == priorChoices_.end() ? nullptr : found->second;
}

QCheckBox* MarginalOptionsDialog::PolytomousPriorBox(char parameter) const {
    const auto found = polytomousPriors_.find(parameter);
    return found == polytomousPriors_.end() ? nullptr : found->second;
}

QCheckBox* MarginalOptionsDialog::DifBox(char screen) const { return dif_->Box(screen); }
QComboBox* MarginalOptionsDialog::DifMatchBox() const { return dif_->Match(); }
QLineEdit* MarginalOptionsDialog::ReferenceGroupField() const { return dif_->Reference(); }
QLineEdit* MarginalOptionsDialog::FocalGroupsField() const { return dif_->Focal(); }
QLineEdit* MarginalOptionsDialog::AnchorsField() const { return dif_->Anchors(); }

QString MarginalOptionsDialog::Refusal() const { return refusal_->text(); }

void MarginalOptionsDialog::accept() {
    const request::RequestCheck check = CheckMarginalForm(Form(), mode_);
    if (!check.request) {
        refusal_->setText(Text(check.message));
        refusal_->show();
        if (QLineEdit* field = Field(check.field)) {
            field->setFocus();
            field->selectAll();
        } else if (check.field == RequestField::EstimatePopulation) {
            population_->setFocus();
        } else if (check.field == RequestField::Groups) {
            groupsTogether_->setFocus();
        } else if (check.field == RequestField::Dif) {
            dif_->Box('m')->setFocus();
        }
        return;
    }
    refusal_->clear();
    refusal_->hide();
    QDialog::accept();
}

}  // namespace tarvo::shell
