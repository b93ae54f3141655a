#include "shell/linking/link_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPromise>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <cmath>
#include <thread>

#include "linking/link_files.h"
#include "shell/desktop/desktop_services.h"
#include "shell/desktop/window_fit.h"
#include "shell/files/file_selection.h"
#include "shell/files/qt_file_picker.h"
#include "shell/linking/link_charts.h"
#include "shell/linking/link_form_box.h"

namespace tarvo::shell {
namespace {

QString Number(double value, int decimals) {
    return std::isfinite(value) ? QString::number(value, 'f', decimals) : QStringLiteral("-");
}

// "yes" where both rules flag the item, "yes (robust z alone)" where its
// errors are not known, "within its errors" where only the robust z would.
QString DriftVerdict(const linking::DriftFinding& f) {
    if (f.drifting && f.flaggedBy == linking::DriftRule::Both) return QStringLiteral("yes");
    if (f.drifting) return QStringLiteral("yes (robust z alone)");
    if (std::fabs(f.z) > linking::kDriftThreshold) return QStringLiteral("within its errors");
    return {};
}

QTableWidget* NewTable(QWidget* parent, const QStringList& headers) {
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    return table;
}

void Fill(QTableWidget* table, int row, const QStringList& cells) {
    for (int column = 0; column < cells.size(); ++column) {
        auto* item = new QTableWidgetItem(cells[column]);
        item->setTextAlignment(column == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                           : Qt::AlignRight | Qt::AlignVCenter);
        table->setItem(row, column, item);
    }
}

QChartView* NewChartView(QWidget* parent) {
    auto* view = new QChartView(parent);
    view->setRenderHint(QPainter::Antialiasing);
    // Low enough that the window, its forms and buttons above the charts,
    // fits nine tenths of a 1280 x 720 screen.
    view->setMinimumSize(420, 200);
    return view;
}

void ShowChart(QChartView* view, QChart* chart) {
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
}

// The progress bar's steps from the start of a link to its end.
constexpr int kProgressSteps = 1000;

PickerArguments SavePicker(const char* title, const char* filter, const char* extension) {
    return {title, "", "", filter, extension, false};
}

}  // namespace

LinkWindow::LinkWindow(DesktopServices& desktop, FilePicker* picker, QWidget* parent)
    : QWidget(parent, Qt::Window), picker_(picker), desktop_(desktop) {
    if (picker_ == nullptr) {
        ownPicker_ = std::make_unique<QtFilePicker>(this);
        picker_ = ownPicker_.get();
    }
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("TARVO - Link a new form to a base form's scale"));
    auto* layout = new QVBoxLayout(this);

    auto* forms = new QHBoxLayout;
    base_ = new LinkFormBox(QStringLiteral("Base form (its scale is kept)"), *picker_, this);
    new_ = new LinkFormBox(QStringLiteral("New form"), *picker_, this);
    forms->addWidget(base_);
    forms->addWidget(new_);
    layout->addLayout(forms);
    layout->addWidget(MakeOptions());

    auto* buttons = new QHBoxLayout;
    link_ = new QPushButton(QStringLiteral("Link"), this);
    stop_ = new QPushButton(QStringLiteral("Stop"), this);
    saveItems_ = new QPushButton(QStringLiteral("Save transformed items..."), this);
    saveTable_ = new QPushButton(QStringLiteral("Save score table..."), this);
    for (QPushButton* button : {link_, stop_, saveItems_, saveTable_}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    stop_->setEnabled(false);
    saveItems_->setEnabled(false);
    saveTable_->setEnabled(false);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, kProgressSteps);
    progress_->setValue(0);
    progress_->setFormat(QStringLiteral("%p%"));
    buttons->addWidget(progress_, 1);
    layout->addLayout(buttons);
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    layout->addWidget(status_);

    tabs_ = new QTabWidget(this);
    constants_ = NewTable(this, {"Method", "A", "B", "se A", "se B"});
    drift_ = NewTable(this, {"Base ID", "New ID", "b base", "b new (base scale)", "Difference",
                             "Robust z", "Difference / SE", "Drifting"});
    scores_ = NewTable(this, {"Score", "Proportion", "EAP", "EAP SD", "ML"});
    equating_ = NewTable(this, {"New score", "theta", "Base equivalent"});
    characteristic_ = NewChartView(this);
    information_ = NewChartView(this);
    equatingPlot_ = NewChartView(this);
    auto* equatingPage = new QWidget(this);
    auto* equatingLayout = new QHBoxLayout(equatingPage);
    equatingLayout->addWidget(equating_);
    equatingLayout->addWidget(equatingPlot_);
    tabs_->addTab(constants_, QStringLiteral("Constants"));
    tabs_->addTab(drift_, QStringLiteral("Drift"));
    tabs_->addTab(scores_, QStringLiteral("Score table"));
    tabs_->addTab(characteristic_, QStringLiteral("Characteristic curves"));
    tabs_->addTab(information_, QStringLiteral("Information"));
    tabs_->addTab(equatingPage, QStringLiteral("Equating"));
    layout->addWidget(tabs_, 1);

    // Closed by Esc and Ctrl+W, as a results window is.
    for (const QKeySequence& keys :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
    }
    connect(link_, &QPushButton::clicked, this, [this] { RunLink(); });
    connect(stop_, &QPushButton::clicked, this, [this] {
        if (stopAsked_) stopAsked_->store(true);
        stop_->setEnabled(false);
    });
    connect(saveItems_, &QPushButton::clicked, this, [this] {
        const auto chosen = PickSaveFile(
            *picker_, SavePicker("Save Transformed Items",
                                 "ITM Files (*.itm)|*.itm|All Files (*.*)|*.*|", ".itm"));
        if (chosen) SaveTransformedItems(*chosen);
    });
    connect(saveTable_, &QPushButton::clicked, this, [this] {
        const auto chosen = PickSaveFile(
            *picker_,
            SavePicker("Save Score Table", "CSV Files (*.csv)|*.csv|All Files (*.*)|*.*|", ".csv"));
        if (chosen) SaveScoreTable(*chosen);
    });
}

// A closed window leaves nothing running behind it.
LinkWindow::~LinkWindow() {
    if (stopAsked_) stopAsked_->store(true);
}

QWidget* LinkWindow::MakeOptions() {
    auto* box = new QWidget(this);
    auto* form = new QFormLayout(box);
    anchors_ = new QLineEdit(box);
    anchors_->setPlaceholderText(QStringLiteral("empty: the items of the same ID"));
    form->addRow(QStringLiteral("Anchor pairs file:"), anchors_);
    auto* row = new QHBoxLayout;
    symmetric_ = new QCheckBox(QStringLiteral("Symmetric criteria"), box);
    dropDrifting_ = new QCheckBox(QStringLiteral("Link again without drifting items"), box);
    bootstrap_ = new QSpinBox(box);
    bootstrap_->setRange(0, 100000);
    bootstrap_->setSpecialValueText(QStringLiteral("delta method"));
    bootstrap_->setToolTip(
        QStringLiteral("Bootstrap resamples of the common items for the errors"));
    method_ = new QComboBox(box);
    for (const linking::LinkMethod m : linking::kLinkMethods) {
        method_->addItem(QString::fromUtf8(linking::LinkMethodName(m)));
    }
    method_->setCurrentIndex(static_cast<int>(linking::LinkMethod::StockingLord));
    row->addWidget(symmetric_);
    row->addWidget(dropDrifting_);
    row->addWidget(new QLabel(QStringLiteral("Errors:"), box));
    row->addWidget(bootstrap_);
    row->addWidget(new QLabel(QStringLiteral("Carry over by:"), box));
    row->addWidget(method_);
    row->addStretch();
    form->addRow(row);
    return box;
}

linking::LinkRequest LinkWindow::Request() const {
    linking::LinkRequest request;
    request.basePath = base_->File();
    request.newPath = new_->File();
    request.baseColumns = base_->Columns();
    request.newColumns = new_->Columns();
    request.baseModel = base_->Model();
    request.newModel = new_->Model();
    request.anchorsPath = anchors_->text().trimmed().toStdString();
    request.criterion.symmetric = symmetric_->isChecked();
    request.bootstrap = bootstrap_->value() >= 2 ? bootstrap_->value() : 0;
    request.dropDrifting = dropDrifting_->isChecked();
    request.chosen = linking::kLinkMethods[method_->currentIndex()];
    return request;
}

void LinkWindow::RunLink() {
    if (linking_) return;
    linking::LinkRequest request = Request();
    if (request.basePath.empty() || request.newPath.empty()) {
        desktop_.ShowMessage("Choose the item files of both forms.");
        return;
    }
    linking_ = true;
    stopAsked_ = std::make_shared<std::atomic<bool>>(false);
    link_->setEnabled(false);
    stop_->setEnabled(true);
    progress_->setValue(0);
    progress_->setFormat(QStringLiteral("%p%"));
    status_->setText(QStringLiteral("Linking ..."));

    QPromise<linking::LinkOutcome> promise;
    promise.setProgressRange(0, kProgressSteps);
    auto* watcher = new QFutureWatcher<linking::LinkOutcome>(this);
    connect(watcher, &QFutureWatcherBase::progressValueChanged, progress_, &QProgressBar::setValue);
    connect(watcher, &QFutureWatcherBase::progressTextChanged, this,
            [this](const QString& text) { progress_->setFormat(text + QStringLiteral(" %p%")); });
    const linking::LinkMethod method = request.chosen;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, method] {
        watcher->deleteLater();
        Finish(watcher->result(), method);
    });
    watcher->setFuture(promise.future());
    promise.start();
    request.stop = [stop = stopAsked_] { return stop->load(); };
    // Not waited for: a window closed meanwhile asks the link to stop and
    // leaves it to end on its own.
    std::thread([promise = std::move(promise), request = std::move(request)]() mutable {
        request.progress = [&promise](linking::LinkPhase phase, double fraction) {
            promise.setProgressValueAndText(static_cast<int>(fraction * kProgressSteps),
                                            QString::fromUtf8(linking::LinkPhaseName(phase)));
        };
        try {
            promise.addResult(linking::RunLink(request));
        } catch (const std::exception& e) {
            linking::LinkOutcome failed;
            failed.error = std::string("the link failed: ") + e.what();
            promise.addResult(std::move(failed));
        }
        promise.finish();
    }).detach();
}

void LinkWindow::Finish(linking::LinkOutcome outcome, linking::LinkMethod method) {
    linking_ = false;
    link_->setEnabled(true);
    stop_->setEnabled(false);
    if (outcome.stopped) {
        status_->setText(QStringLiteral("The link was stopped; what was shown before is kept."));
        return;
    }
    progress_->setValue(kProgressSteps);
    if (!outcome.error.empty()) {
        status_->clear();
        desktop_.ShowMessage("ERROR " + outcome.error);
        if (outcome.first.empty()) return;
    }
    shownMethod_ = method;
    outcome_ = std::move(outcome);
    ShowOutcome();
}

void LinkWindow::ShowOutcome() {
    const linking::LinkOutcome& outcome = *outcome_;
    const auto& results = outcome.Final();
    constants_->setRowCount(static_cast<int>(results.size()));
    for (int r = 0; r < static_cast<int>(results.size()); ++r) {
        const linking::LinkConstants& k = results[static_cast<std::size_t>(r)].constants;
        Fill(constants_, r,
             {QString::fromUtf8(
                  linking::LinkMethodName(results[static_cast<std::size_t>(r)].method)),
              k.ok ? Number(k.A, 4) : QStringLiteral("-"),
              k.ok ? Number(k.B, 4) : QStringLiteral("-"),
              k.ok ? Number(k.seA, 4) : QStringLiteral("-"),
              k.ok ? Number(k.seB, 4) : QStringLiteral("-")});
    }

    const linking::DriftScreen& screen = outcome.drift;
    drift_->setRowCount(static_cast<int>(screen.items.size()));
    for (int r = 0; r < static_cast<int>(screen.items.size()); ++r) {
        const linking::DriftFinding& f = screen.items[static_cast<std::size_t>(r)];
        Fill(drift_, r,
             {QString::fromStdString(f.baseId), QString::fromStdString(f.newId), Number(f.bBase, 3),
              Number(f.bNewOnBase, 3), Number(f.difference, 3), Number(f.z, 2),
              Number(f.differenceOverSe, 2), DriftVerdict(f)});
    }

    scores_->setRowCount(static_cast<int>(outcome.scoreTable.size()));
    for (int r = 0; r < static_cast<int>(outcome.scoreTable.size()); ++r) {
        const linking::ScoreRow& row = outcome.scoreTable[static_cast<std::size_t>(r)];
        Fill(scores_, r,
             {QString::number(row.score), Number(row.proportion, 4), Number(row.eap, 3),
              Number(row.eapSd, 3), Number(row.ml, 3)});
    }
    const std::size_t equated = outcome.equating.rows ? outcome.equating.rows->size() : 0;
    equating_->setRowCount(static_cast<int>(equated));
    for (std::size_t r = 0; r < equated; ++r) {
        const linking::EquatingRow& row = (*outcome.equating.rows)[r];
        Fill(equating_, static_cast<int>(r),
             {QString::number(row.newScore), Number(row.theta, 3), Number(row.baseScore, 3)});
    }
    ShowChart(characteristic_, MakeLinkedCharacteristicChart(outcome));
    ShowChart(information_, MakeLinkedInformationChart(outcome));
    ShowChart(equatingPlot_, MakeEquatingChart(outcome));

    QString status = QStringLiteral("%1 common items.").arg(outcome.anchors.size());
    if (outcome.matchedByPosition) {
        status += QStringLiteral(
            " Neither form has item IDs: the items were matched by position (item k to item k).");
    }
    if (!screen.screened) {
        status +=
            QStringLiteral(" Drift screen not made: %1.").arg(QString::fromStdString(screen.note));
    } else {
        status += QStringLiteral(" %1 drifting.").arg(screen.DriftingCount());
    }
    if (!outcome.dropped.empty()) {
        QStringList ids;
        for (const std::string& id : outcome.dropped) ids << QString::fromStdString(id);
        status += QStringLiteral(" Dropped %1; the constants are from the other items.")
                      .arg(ids.join(QStringLiteral(", ")));
    }
    status_->setText(status);
    const bool carried = outcome.error.empty();
    saveItems_->setEnabled(carried);
    saveTable_->setEnabled(carried);
}

std::vector<NamedFile> LinkWindow::FormFiles() const {
    const linking::LinkRequest request = Request();
    return {{request.basePath, "the base form's file"},
            {request.newPath, "the new form's file"},
            {request.anchorsPath, "the anchors file"}};
}

bool LinkWindow::SaveTransformedItems(const std::string& path) {
    if (!outcome_ || !outcome_->error.empty()) return false;
    linking::ItemColumns columns;
    std::string error;
    if (!linking::WriteItemFile(path, outcome_->transformed, columns, FormFiles(), error)) {
        desktop_.ShowMessage("ERROR " + error);
        return false;
    }
    status_->setText(QString::fromStdString("Saved " + path + "; it reads with " +
                                            linking::ColumnOptions(columns) + "."));
    return true;
}

bool LinkWindow::SaveScoreTable(const std::string& path) {
    if (!outcome_ || !outcome_->error.empty()) return false;
    std::string error;
    if (!linking::WriteScoreTable(path, outcome_->scoreTable, FormFiles(), error)) {
        desktop_.ShowMessage("ERROR " + error);
        return false;
    }
    status_->setText(QString::fromStdString("Saved " + path + "."));
    return true;
}

void OpenLinkWindow(DesktopServices& desktop, QWidget* owner) {
    auto* window = new LinkWindow(desktop, nullptr, owner);
    ResizeToFit(window, kLinkWindowSize, AvailableArea(window));
    window->show();
}

}  // namespace tarvo::shell
