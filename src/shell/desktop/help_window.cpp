#include "shell/desktop/help_window.h"

#include <QFile>
#include <QKeySequence>
#include <QShortcut>

#include "shell/desktop/program_icon.h"
#include "shell/desktop/window_fit.h"

namespace tarvo::shell {
namespace {

// Wide enough for the help's lines, tall enough for a screen of it; the
// screen's free area bounds both.
constexpr QSize kWantedSize(760, 900);

}  // namespace

QSize HelpWindowSize(const QRect& available) { return FittedWindowSize(kWantedSize, available); }

QString BuiltInHelpHtml() {
    QFile file(QString::fromLatin1(kHelpResource));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

HelpWindow::HelpWindow(QWidget* owner) : QTextBrowser(owner) {
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(ProgramIcon());
    setReadOnly(true);
    setOpenLinks(true);  // the help's own anchors move within it
    setOpenExternalLinks(false);
    setHtml(BuiltInHelpHtml());
    const QString title = documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("TARVO Help") : title);
    for (const QKeySequence& keys :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
    }
    resize(HelpWindowSize(AvailableArea(this)));
}

}  // namespace tarvo::shell
