#pragma once

#include <QFuture>
#include <cstddef>
#include <string>

#include "shell/results/file_head.h"

// Reads the beginning of a file on a thread of its own, so that the window
// that shows it never waits on the file; the future's result is ready on
// the user-interface thread through a QFutureWatcher.
namespace tarvo::shell {

QFuture<results::FileHead> ReadFileHeadInBackground(std::string path, std::size_t limit);

}  // namespace tarvo::shell
