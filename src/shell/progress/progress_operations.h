#pragma once

#include <QString>
#include <cstdint>
#include <string_view>

class QWidget;

// Progress windows named by opaque handles. A handle is a number that is never
// reused, so a handle whose window has gone (shut down, or destroyed any other
// way) safely names nothing. All calls belong to the thread that runs the
// user interface.
namespace tarvo::shell {

class ProgressWindow;
using ProgressHandle = void*;

// Disables the owner (may be null), creates the window above it and shows it.
ProgressHandle OpenProgressWindow(QWidget* owner, const QString& caption);
// The window a handle names, or null once it has gone.
ProgressWindow* FindProgressWindow(ProgressHandle handle);
// Clamps percent to 0..100, moves the bar and sets the status line. A gone
// window is left alone.
void SetProgressWindow(ProgressHandle handle, int percent, const QString& text);
// True when the user pressed Stop or the window has gone.
bool ProgressWindowCancelled(ProgressHandle handle);
void MoveProgressWindow(ProgressHandle handle, int x, int y);
// Destroys the window, then enables the owner (may be null).
void ShutdownProgressWindow(ProgressHandle handle, QWidget* owner);

// One breathing step of a caller that runs on the user-interface thread
// without an event loop: handle what is waiting, or sleep 1 millisecond when
// nothing is.
void BreathingStep();

// The exported progress operations: the calls above with their breathing
// steps (after opening, after setting, before polling). Texts are UTF-8.
ProgressHandle ProgressInit(QWidget* owner, std::string_view caption);
void ProgressSet(ProgressHandle handle, int percent, std::string_view text);
std::int32_t ProgressIsCancelled(ProgressHandle handle);
void ProgressPos(ProgressHandle handle, int x, int y);
void ProgressShutdown(ProgressHandle handle, QWidget* owner);

}  // namespace tarvo::shell
