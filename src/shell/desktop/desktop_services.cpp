#include "shell/desktop/desktop_services.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QPushButton>
#include <QUrl>

namespace tarvo::shell {
namespace {

// How long the desktop may take to name the application of a file type.
constexpr int kQueryMilliseconds = 3000;

}  // namespace

void QtDesktopServices::ShowMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kMessageCaption),
                    QString::fromStdString(text), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

bool QtDesktopServices::AskYesNo(const std::string& text, const std::string& title) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec() == QMessageBox::Yes;
}

bool QtDesktopServices::AskRunAnyway(const std::string& text) {
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kMessageCaption),
                    QString::fromStdString(text));
    box.setTextFormat(Qt::PlainText);
    QPushButton* run = box.addButton(QStringLiteral("Run anyway"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    return box.clickedButton() == run;
}

void QtDesktopServices::OpenDocument(const std::string& fileName) {
    if (fileName.empty()) return;  // would name the folder, not a document
    // The name goes to the desktop as one file URL: no shell sees it, so
    // blanks and quotes in it need no escaping. The launch is detached.
    const QString absolute = QFileInfo(QString::fromStdString(fileName)).absoluteFilePath();
    QDesktopServices::openUrl(QUrl::fromLocalFile(absolute));
}

bool QtDesktopServices::OpenDocumentIfHandled(const std::string& fileName) {
    const QFileInfo file(QString::fromStdString(fileName));
    if (fileName.empty() || !file.isFile()) return false;
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // The desktop's opener starts detached and says nothing when no
    // application takes the type; its own query says so beforehand.
    const QString type = QMimeDatabase().mimeTypeForFile(file).name();
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(kQueryMilliseconds)) {
        query.kill();
        query.waitForFinished();
        return false;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0 ||
        query.readAllStandardOutput().trimmed().isEmpty()) {
        return false;
    }
#endif
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
}

}  // namespace tarvo::shell
