#include "shell/options/marginal_options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <array>

namespace tarvo::shell {
namespace {

// The model entries after "As the mode", in this order.
constexpr std::array<MarginalModel, 5> kModels{MarginalModel::ThreePL, MarginalModel::ThreePLCGiven,
                                               MarginalModel::TwoPL, MarginalModel::OnePL,
                                               MarginalModel::Rasch};
constexpr std::array<const char*, 5> kModelCaptions{"3PL", "3PL, c from the item file", "2PL",
                                                    "1PL", "Rasch (1PL with a common slope)"};
constexpr std::array<MarginalScoring, 3> kScorings{MarginalScoring::Eap, MarginalScoring::Map,
                                                   MarginalScoring::Ml};
constexpr std::array<const char*, 3> kScoringCaptions{"EAP", "MAP", "ML"};

QString ModelCaption(MarginalModel model) {
    for (std::size_t i = 0; i < kModels.size(); ++i) {
        if (kModels[i] == model) return QString::fromUtf8(kModelCaptions[i]);
    }
    return {};
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

MarginalOptionsDialog::MarginalOptionsDialog(const MarginalOptionsForm& form, int mode,
                                             QWidget* owner)
    : QDialog(owner), mode_(mode) {
    setWindowTitle(QStringLiteral("Marginal (MML) options"));
    auto* grid = new QGridLayout;
    int row = 0;

    model_ = new QComboBox(this);
    model_->addItem(QStringLiteral("As the mode (mode %1: %2)")
                        .arg(mode)
                        .arg(ModelCaption(ModelForMode(mode))));
    for (const char* caption : kModelCaptions) model_->addItem(QString::fromUtf8(caption));
    int modelIndex = 0;
    for (std::size_t i = 0; i < kModels.size(); ++i) {
        if (form.model == kModels[i]) modelIndex = static_cast<int>(i) + 1;
    }
    model_->setCurrentIndex(modelIndex);
    grid->addWidget(new QLabel(QStringLiteral("Model"), this), row, 0);
    grid->addWidget(model_, row++, 1, 1, 4);

    AddPrior(grid, row++, 'a', QStringLiteral("Prior on a: log a ~ normal (mean, SD)"), form.priorA,
             OptionField::PriorAMean, OptionField::PriorASd);
    AddPrior(grid, row++, 'b', QStringLiteral("Prior on b: normal (mean, SD)"), form.priorB,
             OptionField::PriorBMean, OptionField::PriorBSd);
    AddPrior(grid, row++, 'c', QStringLiteral("Prior on c: beta (alpha, beta)"), form.priorC,
             OptionField::PriorCAlpha, OptionField::PriorCBeta);

    grid->addWidget(new QLabel(QStringLiteral("Quadrature points (-6 to 6)"), this), row, 0);
    grid->addWidget(AddField(OptionField::QuadraturePoints, form.quadraturePoints), row++, 1);

    scoring_ = new QComboBox(this);
    for (std::size_t i = 0; i < kScorings.size(); ++i) {
        scoring_->addItem(QString::fromUtf8(kScoringCaptions[i]));
        if (kScorings[i] == form.scoring) scoring_->setCurrentIndex(static_cast<int>(i));
    }
    grid->addWidget(new QLabel(QStringLiteral("Examinee scores"), this), row, 0);
    grid->addWidget(scoring_, row++, 1);

    fixItems_ =
        new QCheckBox(QStringLiteral("Hold the items of the item parameter file fixed"), this);
    fixItems_->setChecked(form.fixItems);
    grid->addWidget(fixItems_, row++, 0, 1, 5);

    grid->addWidget(new QLabel(QStringLiteral("EM cycle limit"), this), row, 0);
    grid->addWidget(AddField(OptionField::EmCycles, form.emCycles), row++, 1);
    grid->addWidget(new QLabel(QStringLiteral("EM tolerance (largest change)"), this), row, 0);
    grid->addWidget(AddField(OptionField::EmTolerance, form.emTolerance), row++, 1);

    refusal_ = new QLabel(this);
    refusal_->setWordWrap(true);
    refusal_->setStyleSheet(QStringLiteral("color: #b00000"));
    refusal_->hide();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* column = new QVBoxLayout(this);
    column->addLayout(grid);
    column->addWidget(refusal_);
    column->addWidget(buttons);
}

QLineEdit* MarginalOptionsDialog::AddField(OptionField field, const std::string& text) {
    auto* edit = new QLineEdit(Text(text), this);
    edit->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 10);
    fields_[field] = edit;
    return edit;
}

void MarginalOptionsDialog::AddPrior(QGridLayout* grid, int row, char parameter,
                                     const QString& caption, const PriorEntry& entry,
                                     OptionField first, OptionField second) {
    auto* on = new QCheckBox(caption, this);
    on->setChecked(entry.on);
    priorSwitches_[parameter] = on;
    QLineEdit* firstEdit = AddField(first, entry.first);
    QLineEdit* secondEdit = AddField(second, entry.second);
    // The numbers of a prior that is off are not used.
    auto follow = [firstEdit, secondEdit](bool checked) {
        firstEdit->setEnabled(checked);
        secondEdit->setEnabled(checked);
    };
    follow(entry.on);
    connect(on, &QCheckBox::toggled, this, follow);
    grid->addWidget(on, row, 0);
    grid->addWidget(firstEdit, row, 1);
    grid->addWidget(secondEdit, row, 2);
}

MarginalOptionsForm MarginalOptionsDialog::Form() const {
    MarginalOptionsForm form;
    const int modelIndex = model_->currentIndex();
    if (modelIndex >= 1) form.model = kModels[static_cast<std::size_t>(modelIndex - 1)];
    auto text = [this](OptionField field) { return fields_.at(field)->text().toStdString(); };
    form.priorA = {priorSwitches_.at('a')->isChecked(), text(OptionField::PriorAMean),
                   text(OptionField::PriorASd)};
    form.priorB = {priorSwitches_.at('b')->isChecked(), text(OptionField::PriorBMean),
                   text(OptionField::PriorBSd)};
    form.priorC = {priorSwitches_.at('c')->isChecked(), text(OptionField::PriorCAlpha),
                   text(OptionField::PriorCBeta)};
    form.quadraturePoints = text(OptionField::QuadraturePoints);
    form.scoring = kScorings[static_cast<std::size_t>(std::max(0, scoring_->currentIndex()))];
    form.fixItems = fixItems_->isChecked();
    form.emCycles = text(OptionField::EmCycles);
    form.emTolerance = text(OptionField::EmTolerance);
    return form;
}

QLineEdit* MarginalOptionsDialog::Field(OptionField field) const {
    const auto found = fields_.find(field);
    return found == fields_.end() ? nullptr : found->second;
}

QCheckBox* MarginalOptionsDialog::PriorSwitch(char parameter) const {
    const auto found = priorSwitches_.find(parameter);
    return found == priorSwitches_.end() ? nullptr : found->second;
}

QString MarginalOptionsDialog::Refusal() const { return refusal_->text(); }

void MarginalOptionsDialog::accept() {
    const MarginalSettingsCheck check = ToMarginalSettings(Form(), mode_);
    if (!check.settings) {
        refusal_->setText(Text(check.message));
        refusal_->show();
        if (QLineEdit* field = Field(check.field)) {
            field->setFocus();
            field->selectAll();
        }
        return;
    }
    refusal_->clear();
    refusal_->hide();
    QDialog::accept();
}

}  // namespace tarvo::shell
