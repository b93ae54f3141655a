#include "shell/results/results_window.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QtCharts/QChartView>

#include "shell/desktop/desktop_services.h"
#include "shell/desktop/program_icon.h"
#include "shell/desktop/window_fit.h"
#include "shell/results/columns/column_choice.h"
#include "shell/results/file_text_loader.h"
#include "shell/results/fit_tables.h"
#include "shell/results/groups/dif_tab.h"
#include "shell/results/groups/groups_tab.h"
#include "shell/results/options/options_tab.h"
#include "shell/results/plots_tab.h"
#include "shell/results/report/save_report.h"
#include "shell/results/result_table_model.h"
#include "shell/results/result_table_view.h"
#include "shell/results/results_charts.h"

namespace tarvo::shell {
namespace {

QString Megabytes(std::uint64_t bytes) {
    return QString::number(static_cast<double>(bytes) / 1e6, 'f', 1) + QStringLiteral(" MB");
}

QString Escaped(const std::string& text) { return QString::fromStdString(text).toHtmlEscaped(); }

// A table of the model layer as HTML, numbers to the right.
QString TableHtml(const results::ResultTable& table) {
    QString html = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr>");
    for (const std::string& column : table.columns) {
        html += QStringLiteral("<th>") + Escaped(column) + QStringLiteral("</th>");
    }
    html += QStringLiteral("</tr>");
    for (std::size_t r = 0; r < table.RowCount(); ++r) {
        html += QStringLiteral("<tr>");
        for (std::size_t c = 0; c < table.columns.size(); ++c) {
            const bool number = c < table.numeric.size() && table.numeric[c];
            html += (number ? QStringLiteral("<td align=\"right\">") : QStringLiteral("<td>")) +
                    Escaped(table.Text(r, c)) + QStringLiteral("</td>");
        }
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

QString SummaryHtml(const std::vector<std::string>& sentences,
                    const results::ResultTable& comparison) {
    QString html = QStringLiteral("<html><body>");
    for (const std::string& sentence : sentences) {
        html += QStringLiteral("<p>") + Escaped(sentence) + QStringLiteral("</p>");
    }
    if (comparison.RowCount() > 0) {
        html += QStringLiteral(
                    "<p>Model comparison on the same data, every model by maximum likelihood "
                    "without priors; each model is tested against the one above it by the "
                    "likelihood ratio (chi-square, df, p); lower AIC and BIC are "
                    "better:</p>") +
                TableHtml(comparison);
    }
    return html + QStringLiteral("</body></html>");
}

}  // namespace

QString ResultsWindowTitle(const QString& resultFile, const RunReport& report,
                           const QTime& opened) {
    const QString run =
        report.method == "mml"
            ? QStringLiteral("MML ") + QString::fromStdString(results::ModelCaption(report.model))
            : QStringLiteral("mode %1").arg(report.mode);
    return QStringLiteral("%1 - %2 - %3 - TARVO results")
        .arg(QFileInfo(resultFile).fileName(), run, opened.toString(QStringLiteral("HH:mm:ss")));
}

ResultsWindow::ResultsWindow(const QString& resultFile, RunReport report, DesktopServices& desktop,
                             QWidget* parent)
    : QWidget(parent, Qt::Window),
      // Absolute now: a later Browse may change the current directory.
      resultFile_(QFileInfo(resultFile).absoluteFilePath()),
      desktop_(desktop),
      // The run's own tables: the file it wrote is only shown, never read
      // back here, so the window opens whatever has become of the file.
      data_(results::CollectResultsData(std::move(report))),
      tabs_(new QTabWidget) {
    setAttribute(Qt::WA_DeleteOnClose);
    // Closing the main dialog ends the program, results windows or not.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(ResultsWindowTitle(resultFile, data_.Report(), QTime::currentTime()));
    setWindowIcon(ProgramIcon());
    for (const QKeySequence& keys :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
    }

    tabs_->addTab(MakeFileTab(), QStringLiteral("Result file"));
    if (data_.HasItemsTab()) {
        itemModel_ = new ResultTableModel(data_.itemTable, this);
        itemView_ = MakeTableView(itemModel_, QStringLiteral("items"));
        tabs_->addTab(itemView_->MakePage(), QStringLiteral("Items"));
    }
    if (data_.HasExamineesTab()) tabs_->addTab(MakeExamineesTab(), QStringLiteral("Examinees"));
    if (data_.HasCharacteristicCurves() || data_.HasHistogram() || data_.HasConvergence()) {
        plots_ = new PlotsTab(data_, QFileInfo(resultFile_).absolutePath());
        tabs_->addTab(plots_, QStringLiteral("Plots"));
    }
    if (data_.HasScoreTable()) tabs_->addTab(MakeScoreTableTab(), QStringLiteral("Score table"));
    if (data_.HasLocalDependence()) {
        tabs_->addTab(MakeLocalDependenceTab(), QStringLiteral("Local dependence"));
    }
    if (data_.Report().options) {
        tabs_->addTab(new OptionsTab(data_.Report(),
                                     [this](ResultTableModel* model) {
                                         return MakeTableView(model, QStringLiteral("options"));
                                     }),
                      QStringLiteral("Options"));
    }
    if (results::HasGroupsSection(data_.Report())) {
        tabs_->addTab(new GroupsTab(data_.Report(),
                                    [this](ResultTableModel* model) {
                                        return MakeTableView(model, QStringLiteral("groups"));
                                    }),
                      QStringLiteral("Groups"));
    }
    if (results::HasDifSection(data_.Report())) {
        tabs_->addTab(new DifTab(data_.Report(),
                                 [this](ResultTableModel* model) {
                                     return MakeTableView(model, QStringLiteral("dif"));
                                 }),
                      QStringLiteral("DIF"));
    }
    summary_ = new QTextBrowser;
    summary_->setHtml(SummaryHtml(results::SummarySentences(data_), data_.comparisonTable));
    tabs_->addTab(summary_, QStringLiteral("Summary"));

    // The summary first; the file's text, which may be long, is read into
    // its tab only when that tab is shown.
    tabs_->setCurrentWidget(summary_);
    connect(tabs_, &QTabWidget::currentChanged, this, [this] {
        if (tabs_->currentIndex() == 0) LoadFileText();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addLayout(MakeReportRow());
    ResizeToFit(this, kWantedSize, AvailableArea(this));
}

ResultsWindow::~ResultsWindow() = default;

// The whole run as one printable page, its examinees listed up to a limit.
QLayout* ResultsWindow::MakeReportRow() {
    examineeLimit_ = new QSpinBox;
    examineeLimit_->setObjectName(QStringLiteral("examineeLimit"));
    examineeLimit_->setRange(0, static_cast<int>(kMostListedExaminees));
    examineeLimit_->setGroupSeparatorShown(true);
    examineeLimit_->setValue(static_cast<int>(RememberedExamineeLimit()));
    examineeLimit_->setToolTip(
        QStringLiteral("Above this many examinees the report summarises them (their abilities' "
                       "spread, the flags, the most misfitting) instead of listing each; the "
                       "runner's --html-examinees."));
    connect(examineeLimit_, &QSpinBox::valueChanged, this,
            [](int value) { RememberExamineeLimit(static_cast<std::size_t>(value)); });
    auto* label = new QLabel(QStringLiteral("Report lists examinees up to"));
    label->setBuddy(examineeLimit_);
    saveReport_ = new QPushButton(QStringLiteral("Save report..."));
    saveReport_->setObjectName(QStringLiteral("saveReport"));
    connect(saveReport_, &QPushButton::clicked, this, [this] { SaveReport(); });
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(label);
    row->addWidget(examineeLimit_);
    row->addWidget(saveReport_);
    return row;
}

void ResultsWindow::SaveReport() {
    const QString folder = QFileInfo(resultFile_).absolutePath();
    QString path = reportPrompt_
                       ? reportPrompt_(this, folder)
                       : QFileDialog::getSaveFileName(this, QStringLiteral("Save report"), folder,
                                                      QStringLiteral("HTML pages (*.html)"));
    if (path.isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".html"), Qt::CaseInsensitive)) {
        path += QStringLiteral(".html");
    }
    const QString failure = SaveHtmlReport(path, data_.Report(), FilesNotTheReport(data_.Report()),
                                           static_cast<std::size_t>(examineeLimit_->value()));
    if (!failure.isEmpty()) desktop_.ShowMessage(failure.toStdString());
}

QStringList ResultsWindow::TabTitles() const {
    QStringList titles;
    for (int i = 0; i < tabs_->count(); ++i) titles << tabs_->tabText(i);
    return titles;
}

QPlainTextEdit* ResultsWindow::FileText() {
    LoadFileText();
    return fileText_;
}

QWidget* ResultsWindow::MakeFileTab() {
    auto* page = new QWidget;
    fileNote_ = new QLabel;
    fileNote_->setWordWrap(true);
    fileNote_->setVisible(false);
    fileText_ = new QPlainTextEdit;
    fileText_->setReadOnly(true);
    fileText_->setLineWrapMode(QPlainTextEdit::NoWrap);
    fileText_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* open = new QPushButton(QStringLiteral("Open with default application"));
    auto* folder = new QPushButton(QStringLiteral("Show in folder"));
    connect(open, &QPushButton::clicked, this,
            [this] { desktop_.OpenDocument(resultFile_.toStdString()); });
    connect(folder, &QPushButton::clicked, this,
            [this] { desktop_.OpenDocument(QFileInfo(resultFile_).absolutePath().toStdString()); });
    auto* buttons = new QHBoxLayout;
    auto* path = new QLabel(resultFile_);
    path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    buttons->addWidget(path, 1);
    buttons->addWidget(open);
    buttons->addWidget(folder);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(fileNote_);
    layout->addWidget(fileText_, 1);
    layout->addLayout(buttons);
    return page;
}

void ResultsWindow::LoadFileText() {
    if (fileTextRequested_) return;
    fileTextRequested_ = true;
    fileText_->setPlaceholderText(QStringLiteral("Reading the result file ..."));
    // The watcher is this window's: once it is closed the text goes nowhere.
    auto* watcher = new QFutureWatcher<results::FileHead>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        ShowFileText(watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(ReadFileHeadInBackground(resultFile_.toStdString(), kShownFileBytes));
}

void ResultsWindow::ShowFileText(const results::FileHead& head) {
    fileText_->setPlaceholderText(QString());
    if (!head.error.empty()) {
        fileTextShown_ = true;
        fileNote_->setText(QStringLiteral("The result file is not shown: %1.")
                               .arg(QString::fromStdString(head.error)));
        fileNote_->setVisible(true);
        return;
    }
    // Shown line by line: the file's CR LF ends are line breaks here.
    QString text = QString::fromUtf8(head.text.data(), static_cast<qsizetype>(head.text.size()));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    AppendTextInTurns(fileText_, std::move(text), [this] { fileTextShown_ = true; });
    if (!head.whole) {
        fileNote_->setText(
            QStringLiteral("The first %1 of the file's %2 are shown; \"Open with default "
                           "application\" shows the whole file.")
                .arg(Megabytes(head.text.size()), Megabytes(head.size)));
        fileNote_->setVisible(true);
    }
}

ResultTableView* ResultsWindow::MakeTableView(ResultTableModel* model, const QString& tableName) {
    // The export offers a name beside the result file.
    const QFileInfo result(resultFile_);
    auto* view =
        new ResultTableView(result.dir().filePath(result.completeBaseName() + QLatin1Char('-') +
                                                  tableName + QStringLiteral(".csv")),
                            desktop_);
    view->setModel(model);
    view->SetRunFiles(RunFilesOf(data_.Report()));
    // The file's order until the user sorts: no column is sorted at first.
    view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    view->setSortingEnabled(true);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view->verticalHeader()->setVisible(false);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setAlternatingRowColors(true);
    new ColumnChoice(view, tableName);  // the header's menu of columns, the view's child
    return view;
}

QWidget* ResultsWindow::MakeExamineesTab() {
    personModel_ = new ResultTableModel(data_.personTable, this);
    personView_ = MakeTableView(personModel_, QStringLiteral("examinees"));
    idFilter_ = new QLineEdit;
    idFilter_->setPlaceholderText(QStringLiteral("Part of an examinee ID"));
    idFilter_->setClearButtonEnabled(true);
    const int idColumn = data_.personTable.Column("ExaminID");
    connect(idFilter_, &QLineEdit::textChanged, this,
            [this, idColumn](const QString& text) { personModel_->SetFilter(idColumn, text); });

    auto* filter = new QWidget;
    auto* filterRow = new QHBoxLayout(filter);
    filterRow->setContentsMargins(0, 0, 0, 0);
    filterRow->addWidget(new QLabel(QStringLiteral("Filter by ID:")));
    filterRow->addWidget(idFilter_, 1);
    return personView_->MakePage(filter);
}

QWidget* ResultsWindow::MakeScoreTableTab() {
    scoreModel_ = new ResultTableModel(data_.scoreTable, this);
    ResultTableView* view = MakeTableView(scoreModel_, QStringLiteral("score-table"));
    auto* note = new QLabel(QString::fromStdString(results::ScoreTablePopulation(data_)));
    note->setWordWrap(true);
    auto* chart = new QChartView(MakeTestCharacteristicChart(*data_.Report().summedScores));
    chart->setRenderHint(QPainter::Antialiasing);
    auto* page = new QSplitter(Qt::Vertical);
    page->addWidget(view->MakePage(note));
    page->addWidget(chart);
    return page;
}

QWidget* ResultsWindow::MakeLocalDependenceTab() {
    pairModel_ = new ResultTableModel(data_.pairTable, this);
    ResultTableView* view = MakeTableView(pairModel_, QStringLiteral("local-dependence"));
    auto* note = new QLabel(QString::fromStdString(results::LocalDependenceNote(data_.Report())));
    note->setWordWrap(true);
    return view->MakePage(note);
}

void ResultsWindows::ShowResults(const std::string& resultFile, RunReport report) {
    auto* window =
        new ResultsWindow(QString::fromStdString(resultFile), std::move(report), desktop_);
    window->show();
    std::erase_if(windows_, [](const QPointer<ResultsWindow>& open) { return open.isNull(); });
    windows_.emplace_back(window);
}

void ResultsWindows::KeepProgramOpen() {
    const std::vector<ResultsWindow*> open = Open();
    if (!open.empty()) open.back()->setAttribute(Qt::WA_QuitOnClose, true);
}

std::vector<ResultsWindow*> ResultsWindows::Open() const {
    std::vector<ResultsWindow*> open;
    for (const auto& window : windows_) {
        if (!window.isNull()) open.push_back(window.data());
    }
    return open;
}

}  // namespace tarvo::shell
