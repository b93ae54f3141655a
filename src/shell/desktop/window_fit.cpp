#include "shell/desktop/window_fit.h"

#include <QScreen>
#include <QWidget>

namespace tarvo::shell {
namespace {

// The frame's title bar and borders, which the window's own size leaves out,
// fit in the tenth of the area kept free.
constexpr int kTenthsForTheWindow = 9;

}  // namespace

QSize FittedWindowSize(QSize wanted, const QRect& available) {
    if (available.isEmpty()) return wanted;
    return wanted.boundedTo(QSize(available.width() * kTenthsForTheWindow / 10,
                                  available.height() * kTenthsForTheWindow / 10));
}

QRect AvailableArea(const QWidget* window) {
    const QScreen* screen = window->screen();
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

void ResizeToFit(QWidget* window, QSize wanted, const QRect& available) {
    window->resize(FittedWindowSize(wanted, available));
}

}  // namespace tarvo::shell
