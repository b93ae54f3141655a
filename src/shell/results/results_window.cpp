#include "shell/results/results_window.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "shell/desktop/desktop_services.h"
#include "shell/desktop/program_icon.h"
#include "shell/results/plots_tab.h"
#include "shell/results/result_table_model.h"

namespace tarvo::shell {
namespace {

QByteArray ReadWhole(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

QString SummaryHtml(const std::vector<std::string>& sentences) {
    QString html = QStringLiteral("<html><body>");
    for (const std::string& sentence : sentences) {
        html += QStringLiteral("<p>") + QString::fromStdString(sentence).toHtmlEscaped() +
                QStringLiteral("</p>");
    }
    return html + QStringLiteral("</body></html>");
}

}  // namespace

QString ResultsWindowTitle(const QString& resultFile) {
    return QFileInfo(resultFile).fileName() + QStringLiteral(" - TARVO results");
}

ResultsWindow::ResultsWindow(const QString& resultFile, RunReport report, DesktopServices& desktop,
                             QWidget* parent)
    : QWidget(parent, Qt::Window),
      // Absolute now: a later Browse may change the current directory.
      resultFile_(QFileInfo(resultFile).absoluteFilePath()),
      bytes_(ReadWhole(resultFile)),
      desktop_(desktop),
      data_(results::CollectResultsData(
          std::string_view(bytes_.constData(), static_cast<std::size_t>(bytes_.size())),
          std::move(report))),
      tabs_(new QTabWidget) {
    setAttribute(Qt::WA_DeleteOnClose);
    // Closing the main dialog ends the program, results windows or not.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(ResultsWindowTitle(resultFile));
    setWindowIcon(ProgramIcon());

    tabs_->addTab(MakeFileTab(), QStringLiteral("Result file"));
    if (data_.HasItemsTab()) {
        itemModel_ = new ResultTableModel(data_.itemTable, this);
        itemView_ = MakeTableView(itemModel_);
        tabs_->addTab(itemView_, QStringLiteral("Items"));
    }
    if (data_.HasExamineesTab()) tabs_->addTab(MakeExamineesTab(), QStringLiteral("Examinees"));
    if (data_.HasCharacteristicCurves() || data_.HasHistogram() || data_.HasConvergence()) {
        plots_ = new PlotsTab(data_);
        tabs_->addTab(plots_, QStringLiteral("Plots"));
    }
    summary_ = new QTextBrowser;
    summary_->setHtml(SummaryHtml(results::SummarySentences(data_)));
    tabs_->addTab(summary_, QStringLiteral("Summary"));

    // The summary first; the file's text, which may be long, is read into
    // its tab only when that tab is shown.
    tabs_->setCurrentWidget(summary_);
    connect(tabs_, &QTabWidget::currentChanged, this, [this] {
        if (tabs_->currentIndex() == 0) LoadFileText();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    resize(900, 620);
}

ResultsWindow::~ResultsWindow() = default;

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
    layout->addWidget(fileText_, 1);
    layout->addLayout(buttons);
    return page;
}

void ResultsWindow::LoadFileText() {
    if (fileTextLoaded_) return;
    fileTextLoaded_ = true;
    // Shown line by line: the file's CR LF ends are line breaks here.
    QString text = QString::fromUtf8(bytes_);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    fileText_->setPlainText(text);
}

QTableView* ResultsWindow::MakeTableView(ResultTableModel* model) {
    auto* view = new QTableView;
    view->setModel(model);
    // The file's order until the user sorts: no column is sorted at first.
    view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    view->setSortingEnabled(true);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view->verticalHeader()->setVisible(false);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setAlternatingRowColors(true);
    return view;
}

QWidget* ResultsWindow::MakeExamineesTab() {
    auto* page = new QWidget;
    personModel_ = new ResultTableModel(data_.personTable, this);
    personView_ = MakeTableView(personModel_);
    idFilter_ = new QLineEdit;
    idFilter_->setPlaceholderText(QStringLiteral("Part of an examinee ID"));
    idFilter_->setClearButtonEnabled(true);
    const int idColumn = data_.personTable.Column("ExaminID");
    connect(idFilter_, &QLineEdit::textChanged, this,
            [this, idColumn](const QString& text) { personModel_->SetFilter(idColumn, text); });

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(new QLabel(QStringLiteral("Filter by ID:")));
    filterRow->addWidget(idFilter_, 1);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(filterRow);
    layout->addWidget(personView_, 1);
    return page;
}

void ResultsWindows::ShowResults(const std::string& resultFile, const RunReport& report) {
    auto* window = new ResultsWindow(QString::fromStdString(resultFile), report, desktop_);
    window->show();
    std::erase_if(windows_, [](const QPointer<ResultsWindow>& open) { return open.isNull(); });
    windows_.emplace_back(window);
}

std::vector<ResultsWindow*> ResultsWindows::Open() const {
    std::vector<ResultsWindow*> open;
    for (const auto& window : windows_) {
        if (!window.isNull()) open.push_back(window.data());
    }
    return open;
}

}  // namespace tarvo::shell
