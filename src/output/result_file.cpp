#include "output/result_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "output/result_file_open.h"

namespace tarvo {

namespace {

// A name with a NUL byte inside would name some other, shorter file.
bool IsUsableName(const std::string& name) {
    return !name.empty() && name.find('\0') == std::string::npos;
}

}  // namespace

ResultFile::~ResultFile() {
    if (IsOpen()) Close();
}

bool ResultFile::Open(const std::string& name) {
    if (IsOpen()) Close();
    failed_ = false;
    pending_.clear();
    OpenedResultFile opened = OpenResultFileForWriting(name);
    descriptor_ = opened.descriptor;
    openFailure_ = std::move(opened.failure);
    return IsOpen();
}

void ResultFile::Write(std::string_view text) {
    if (!IsOpen()) return;
    pending_ += text;
    if (text.find('\n') != std::string_view::npos) HandOverFinishedLines();
}

void ResultFile::WriteLine(std::string_view text) {
    if (!IsOpen()) return;
    pending_ += text;
    pending_ += "\r\n";
    HandOverFinishedLines();
}

void ResultFile::HandOverFinishedLines() {
    if (pending_.size() < gatherBytes_) return;
    const std::size_t lastLineEnd = pending_.rfind('\n');
    if (lastLineEnd != std::string::npos) HandOver(lastLineEnd + 1);
}

void ResultFile::HandOver(std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t written = ::write(descriptor_, pending_.data() + done, length - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            // The rest of this text is lost (a full disk, say); the next
            // write is tried afresh.
            failed_ = true;
            break;
        }
        done += static_cast<std::size_t>(written);
    }
    pending_.erase(0, length);
}

bool ResultFile::Close() {
    if (!IsOpen()) return false;
    if (!pending_.empty()) HandOver(pending_.size());
    // No retry on EINTR: the descriptor is released whatever close reports.
    if (::close(descriptor_) != 0) failed_ = true;
    descriptor_ = -1;
    return !failed_;
}

bool IsSameFile(const std::string& first, const std::string& second) {
    if (!IsUsableName(first) || !IsUsableName(second)) return false;
    struct stat firstInfo {};
    struct stat secondInfo {};
    if (::stat(first.c_str(), &firstInfo) != 0 || ::stat(second.c_str(), &secondInfo) != 0) {
        return false;
    }
    return firstInfo.st_dev == secondInfo.st_dev && firstInfo.st_ino == secondInfo.st_ino;
}

}  // namespace tarvo
