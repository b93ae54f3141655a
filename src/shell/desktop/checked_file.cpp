#include "shell/desktop/checked_file.h"

#include <unistd.h>

namespace tarvo::shell {

CheckedFile::CheckedFile(const QString& path, const std::vector<NamedFile>& notThese) {
    const OpenedResultFile opened =
        OpenOutputFileForWriting(QFile::encodeName(path).toStdString(), notThese);
    if (opened.descriptor < 0) {
        failure_ = QString::fromStdString(opened.failure);
        return;
    }
    if (!file_.open(opened.descriptor, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(opened.descriptor);
        failure_ = file_.errorString();
    }
}

bool CheckedFile::Finish() {
    if (!file_.isOpen()) return false;
    bool written = file_.flush() && file_.error() == QFileDevice::NoError;
    if (!written) {
        failure_ = file_.errorString();
        file_.resize(0);
    }
    file_.close();
    return written;
}

}  // namespace tarvo::shell
