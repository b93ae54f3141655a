#pragma once

#include <QFile>
#include <QString>
#include <vector>

#include "output/result_file_open.h"

// A file the desktop writes (a table's CSV, a plot's picture), opened by the
// program's one checked open and handed to Qt as a device: a link another
// user planted in a shared folder, a file of theirs there, a pipe nobody
// reads and any of notThese are refused, and the open never waits.
namespace tarvo::shell {

class CheckedFile {
  public:
    CheckedFile(const QString& path, const std::vector<NamedFile>& notThese);
    CheckedFile(const CheckedFile&) = delete;
    CheckedFile& operator=(const CheckedFile&) = delete;

    bool IsOpen() const { return file_.isOpen(); }
    QIODevice& Device() { return file_; }

    // Closes the file; false when it was not opened or a write failed, and
    // then a file that was opened is emptied, so that no half file is left.
    bool Finish();

    // Why the open or a write failed, for the user.
    const QString& Failure() const { return failure_; }

  private:
    QFile file_;
    QString failure_;
};

}  // namespace tarvo::shell
