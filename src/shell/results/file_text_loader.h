#pragma once

#include <QFuture>
#include <QString>
#include <cstddef>
#include <functional>
#include <string>

#include "shell/results/file_head.h"

class QPlainTextEdit;

// A long text into a window without holding it up: the beginning of a file
// read on a thread of its own (the future's result reaches the
// user-interface thread through a QFutureWatcher), and the text put into its
// view a slice of whole lines at a time, the window answering in between.
namespace tarvo::shell {

QFuture<results::FileHead> ReadFileHeadInBackground(std::string path, std::size_t limit);

// Appends the text to the view in slices, one per turn of the event loop,
// and calls done after the last; nothing more happens once the view is gone.
void AppendTextInTurns(QPlainTextEdit* view, QString text, std::function<void()> done);

}  // namespace tarvo::shell
