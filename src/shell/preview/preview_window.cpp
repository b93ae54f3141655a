#include "shell/preview/preview_window.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPromise>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTextBlock>
#include <QVBoxLayout>
#include <algorithm>
#include <thread>

#include "input/front_part.h"
#include "platform/control_ids.h"
#include "shell/desktop/fixed_colours.h"
#include "shell/desktop/window_fit.h"
#include "shell/preview/column_ruler.h"

namespace tarvo::shell {

namespace {

constexpr PreviewField kFields[] = {PreviewField::ExamineeId, PreviewField::Theta,
                                    PreviewField::Responses, PreviewField::Group};
constexpr const char* kFieldNames[] = {"Examinee ID", "theta", "item responses", "group"};

QLabel* LegendEntry(const QString& text, const QColor& colour, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::WindowText, TextOnFixedBackground());
    label->setPalette(palette);
    label->setContentsMargins(4, 1, 4, 1);
    return label;
}

QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QColor FieldColour(PreviewField field) {
    switch (field) {
        case PreviewField::ExamineeId:
            return {188, 214, 255};
        case PreviewField::Theta:
            return {226, 200, 245};
        case PreviewField::Group:
            return {255, 240, 150};
        case PreviewField::Responses:
            break;
    }
    return {196, 238, 196};
}

QColor KeyRecordColour() { return {255, 206, 140}; }

PreviewWindow::PreviewWindow(DialogControls& controls, QWidget* owner, RequestSource request)
    : QDialog(owner), controls_(controls), request_(std::move(request)) {
    setWindowTitle(QStringLiteral("Preview of the response file"));
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    hint_ = new QLabel(this);
    top->addWidget(hint_);
    field_ = new QComboBox(this);
    for (const char* name : kFieldNames) field_->addItem(QString::fromLatin1(name));
    field_->setCurrentIndex(2);
    top->addWidget(field_);
    top->addStretch();
    for (std::size_t k = 0; k < std::size(kFields); ++k) {
        top->addWidget(
            LegendEntry(QString::fromLatin1(kFieldNames[k]), FieldColour(kFields[k]), this));
    }
    top->addWidget(LegendEntry(QStringLiteral("key record"), KeyRecordColour(), this));
    layout->addLayout(top);

    views_ = new QStackedWidget(this);
    auto* fixed = new QWidget(views_);
    auto* fixedLayout = new QVBoxLayout(fixed);
    fixedLayout->setContentsMargins(0, 0, 0, 0);
    fixedLayout->setSpacing(0);
    lines_ = new QPlainTextEdit(fixed);
    lines_->setReadOnly(true);
    lines_->setLineWrapMode(QPlainTextEdit::NoWrap);
    lines_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    ruler_ = new ColumnRuler(lines_, fixed);
    ruler_->setFixedHeight(ruler_->sizeHint().height());
    ruler_->SetDragListener([this](std::size_t first, std::size_t count) {
        MarkColumns({first, count});
    });
    fixedLayout->addWidget(ruler_);
    fixedLayout->addWidget(lines_);
    views_->addWidget(fixed);

    table_ = new QTableWidget(views_);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectColumns);
    table_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    connect(table_, &QTableWidget::itemSelectionChanged, this, [this] {
        if (showing_) return;
        const QList<QTableWidgetSelectionRange> ranges = table_->selectedRanges();
        if (ranges.isEmpty()) return;
        const auto& range = ranges.front();
        MarkColumns({static_cast<std::size_t>(range.leftColumn()),
                     static_cast<std::size_t>(range.columnCount())});
    });
    views_->addWidget(table_);
    layout->addWidget(views_, 1);

    notes_ = new QLabel(this);
    notes_->setWordWrap(true);
    notes_->setTextFormat(Qt::PlainText);
    layout->addWidget(notes_);

    findings_ = new QListWidget(this);
    findings_->setWordWrap(true);
    findings_->setToolTip(QStringLiteral(
        "The input check of the run with these settings; the run gives the same warnings"));
    findings_->setVisible(static_cast<bool>(request_));
    // Room for four lines: the lines of the file keep most of the window.
    findings_->setMaximumHeight(4 * findings_->fontMetrics().lineSpacing() +
                                2 * findings_->frameWidth() + 8);
    layout->addWidget(findings_);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* detect =
        buttons->addButton(QStringLiteral("Detect"), QDialogButtonBox::ActionRole);
    detect->setToolTip(QStringLiteral(
        "Propose the layout from the file and fill in the dialog's boxes; nothing runs until Go"));
    buttons->addButton(QDialogButtonBox::Close);
    connect(detect, &QPushButton::clicked, this, [this] { Detect(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    ResizeToFit(this, QSize(760, 520), AvailableArea(this));
    Reload();
}

void PreviewWindow::Reload() {
    data_ = LoadPreview(controls_.Text(control::kResponseFile),
                        controls_.Text(control::kResponseFormat));
    if (!data_.error.empty()) notes_->setText(QString::fromStdString(data_.error));
    if (IsDelimited(data_.format)) {
        hint_->setText(QStringLiteral("Select columns to set:"));
        views_->setCurrentWidget(table_);
        ShowTable();
    } else {
        hint_->setText(QStringLiteral("Drag on the ruler to set:"));
        views_->setCurrentIndex(0);
        ShowLines();
    }
    CheckInputs();
}

void PreviewWindow::CheckInputs() {
    if (!request_) return;
    findings_->clear();
    const request::RequestCheck check = request_();
    if (!check.request) {
        checking_ = 0;
        findings_->addItem(QStringLiteral("No input check: ") +
                           QString::fromStdString(check.message));
        return;
    }
    findings_->addItem(QStringLiteral("Checking the inputs ..."));
    checking_ = ++checks_;
    QPromise<InputCheckPreview> promise;
    auto* watcher = new QFutureWatcher<InputCheckPreview>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, number = checks_] {
        watcher->deleteLater();
        if (number != checking_) return;  // the settings changed since
        checking_ = 0;
        const InputCheckPreview found = watcher->result();
        findings_->clear();
        for (const std::string& message : found.messages) {
            findings_->addItem(QString::fromStdString(message));
        }
        for (const InputFinding& finding : found.findings) {
            findings_->addItem(QStringLiteral("WARNING ") +
                               QString::fromStdString(finding.message));
        }
        if (found.messages.empty() && found.findings.empty()) {
            findings_->addItem(QStringLiteral("The input check finds nothing to warn about."));
        }
    });
    watcher->setFuture(promise.future());
    promise.start();
    // Not waited for: a window that closes leaves the check to end on its own.
    std::thread([promise = std::move(promise), request = std::move(*check.request)]() mutable {
        promise.addResult(CheckRequestInputs(request));
        promise.finish();
    }).detach();
}

void PreviewWindow::ShowLines() {
    QStringList shown;
    for (const std::string& line : data_.lines) shown.push_back(Latin1(line));
    lines_->setPlainText(shown.join(QLatin1Char('\n')));

    QList<QTextEdit::ExtraSelection> selections;
    const std::optional<std::size_t> key = KeyRecordLine(controls_, data_);
    for (const PreviewField field : kFields) {
        const std::optional<ColumnSpan> span = FieldSpan(controls_, field, data_);
        if (!span) continue;
        for (std::size_t k = 0; k < data_.lines.size(); ++k) {
            const QTextBlock block = lines_->document()->findBlockByNumber(static_cast<int>(k));
            const int length = block.length() - 1;
            const int first = static_cast<int>(span->first);
            if (first >= length) continue;
            QTextEdit::ExtraSelection selection;
            selection.cursor = QTextCursor(block);
            selection.cursor.setPosition(block.position() + first);
            selection.cursor.setPosition(
                block.position() + std::min(length, first + static_cast<int>(span->count)),
                QTextCursor::KeepAnchor);
            const bool keyResponses = key == k && field == PreviewField::Responses;
            selection.format.setBackground(keyResponses ? KeyRecordColour() : FieldColour(field));
            selection.format.setForeground(TextOnFixedBackground());
            selections.push_back(selection);
        }
    }
    lines_->setExtraSelections(selections);
    ruler_->update();
}

void PreviewWindow::ShowTable() {
    showing_ = true;
    table_->clear();
    const std::size_t first = data_.header ? 1 : 0;
    std::size_t width = 0;
    for (const auto& row : data_.rows) width = std::max(width, row.size());
    table_->setColumnCount(static_cast<int>(width));
    table_->setRowCount(
        static_cast<int>(data_.rows.size() > first ? data_.rows.size() - first : 0));
    QStringList names;
    for (std::size_t k = 0; k < width; ++k) {
        QString name = QString::number(k + 1);
        if (data_.header && !data_.rows.empty() && k < data_.rows.front().size()) {
            name += QStringLiteral(": ") + QString::fromStdString(data_.rows.front()[k]);
        }
        names.push_back(name);
    }
    table_->setHorizontalHeaderLabels(names);
    // Rows are numbered as in the file, as the notes and the findings name
    // them: below a header the first data row is row 2.
    QStringList rowNumbers;
    for (std::size_t r = first; r < data_.rows.size(); ++r)
        rowNumbers.push_back(QString::number(r + 1));
    table_->setVerticalHeaderLabels(rowNumbers);

    const std::optional<std::size_t> key = KeyRecordLine(controls_, data_);
    std::vector<std::optional<QColor>> colours(width);
    for (const PreviewField field : kFields) {
        const std::optional<ColumnSpan> span = FieldSpan(controls_, field, data_);
        if (!span) continue;
        for (std::size_t k = span->first; k < span->first + span->count && k < width; ++k) {
            colours[k] = FieldColour(field);
        }
    }
    for (std::size_t r = first; r < data_.rows.size(); ++r) {
        for (std::size_t k = 0; k < data_.rows[r].size(); ++k) {
            auto* item = new QTableWidgetItem(QString::fromStdString(data_.rows[r][k]));
            if (key == r && colours[k] == FieldColour(PreviewField::Responses)) {
                item->setBackground(KeyRecordColour());
                item->setForeground(TextOnFixedBackground());
            } else if (colours[k]) {
                item->setBackground(*colours[k]);
                item->setForeground(TextOnFixedBackground());
            }
            table_->setItem(static_cast<int>(r - first), static_cast<int>(k), item);
        }
    }
    table_->resizeColumnsToContents();
    showing_ = false;
}

void PreviewWindow::MarkColumns(ColumnSpan span) {
    const auto field =
        kFields[std::clamp(field_->currentIndex(), 0, static_cast<int>(std::size(kFields)) - 1)];
    SetFieldColumns(controls_, field, span, data_.format);
    // The dialog's Format box follows what is shown.
    controls_.SetText(control::kResponseFormat, FormatText(data_));
    Reload();
}

void PreviewWindow::Detect() {
    const std::vector<std::string> notes =
        ApplyDetection(controls_, controls_.Text(control::kResponseFile));
    QStringList lines;
    for (const std::string& note : notes) lines.push_back(QString::fromStdString(note));
    Reload();
    notes_->setText(lines.join(QLatin1Char('\n')));
}

}  // namespace tarvo::shell
