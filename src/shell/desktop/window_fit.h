#pragma once

#include <QRect>
#include <QSize>

class QWidget;

// The size a window opens at: the size it asks for, but never more than the
// screen's available area (without panels) leaves once the window's frame
// has its room, so the whole window and its buttons are on screen at any
// scale factor.
namespace tarvo::shell {

QSize FittedWindowSize(QSize wanted, const QRect& available);

// The available area of the screen a window opens on (empty without one).
QRect AvailableArea(const QWidget* window);
// Resizes a top-level window to the fitted size.
void ResizeToFit(QWidget* window, QSize wanted, const QRect& available);

}  // namespace tarvo::shell
