#include "shell/progress/progress_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "shell/form/dialog_fonts.h"
#include "shell/form/dialog_units.h"

namespace tarvo::shell {

int ClampPercent(int percent) { return std::clamp(percent, 0, 100); }

ProgressWindow::ProgressWindow(const QString& caption, QWidget* owner)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowStaysOnTopHint),
      owner_(owner) {
    // A dialog with a title bar only: no system menu, no minimise, maximise
    // or close box, so Stop cannot be hidden. Not a Qt child of the owner:
    // disabling the owner would disable a child window too, and the Stop
    // button must stay usable; it is made transient for the owner instead.
    setWindowTitle(caption);
    setFont(DialogFont());
    const DialogUnits units = DialogUnits::ForFont(font());

    // Creation order is the tab order: status line, stop flag, bar, button.
    statusLine_ = new QLabel(this);
    statusLine_->setTextFormat(Qt::PlainText);
    statusLine_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    statusLine_->setGeometry(units.Rect(25, 7, 250, 12));

    stopFlag_ = new QLabel(this);
    stopFlag_->setTextFormat(Qt::PlainText);
    stopFlag_->setGeometry(units.Rect(0, 0, 1, 1));
    stopFlag_->hide();

    bar_ = new QProgressBar(this);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    bar_->setGeometry(units.Rect(25, 20, 250, 15));

    stopButton_ = new QPushButton(QStringLiteral("&Stop"), this);
    stopButton_->setAutoDefault(false);
    stopButton_->setGeometry(units.Rect(130, 50, 55, 14));
    QObject::connect(stopButton_, &QPushButton::clicked, this, [this] { RequestStop(); });

    setFixedSize(units.Size(kClientWidth, kClientHeight));
    const QScreen* screen = owner != nullptr && owner->screen() != nullptr
                                ? owner->screen()
                                : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void ProgressWindow::SetPercent(int percent) { bar_->setValue(ClampPercent(percent)); }

void ProgressWindow::SetStatus(const QString& text) { statusLine_->setText(text); }

bool ProgressWindow::StopRequested() const { return stopFlag_->text() == QLatin1String("Stop"); }

void ProgressWindow::RequestStop() {
    stopFlag_->setText(QStringLiteral("Stop"));
    if (stopListener_) stopListener_();
}

void ProgressWindow::SetStopListener(std::function<void()> listener) {
    stopListener_ = std::move(listener);
}

void ProgressWindow::MoveRelativeToOwner(int x, int y) {
    const DialogUnits units = DialogUnits::ForFont(font());
    const QPoint origin = owner_ != nullptr ? owner_->mapToGlobal(QPoint(0, 0)) : QPoint(0, 0);
    move(origin + units.Point(x, y));
}

QWidget* ProgressWindow::Control(int id) const {
    switch (id) {
        case kStatusLine:
            return statusLine_;
        case kStopFlag:
            return stopFlag_;
        case kBar:
            return bar_;
        case kStopButton:
            return stopButton_;
        default:
            return nullptr;
    }
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
    // There is no close box, but a window manager can still ask (Alt+F4).
    // That is taken as Stop: the run ends at its next poll and writes what it
    // has; only the caller's shutdown ends the window.
    event->ignore();
    RequestStop();
}

void ProgressWindow::showEvent(QShowEvent* event) {
    // Keep the window above its owner in the window manager's eyes as well.
    if (owner_ != nullptr && windowHandle() != nullptr && owner_->window()->windowHandle()) {
        windowHandle()->setTransientParent(owner_->window()->windowHandle());
    }
    QWidget::showEvent(event);
}

}  // namespace tarvo::shell
