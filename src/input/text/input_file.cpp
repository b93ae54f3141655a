#include "input/text/input_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace tarvo {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// How long one wait on a pipe lasts before the stop poll is asked, and how
// many reads of a file pass between two questions (16 MB at the default
// buffer: a file of any size, /dev/zero too, answers a stop promptly).
constexpr int kWaitMilliseconds = 100;
constexpr std::uint64_t kReadsBetweenQuestions = 256;

}  // namespace

// Opened without waiting, so that a FIFO without a writer does not hold the
// run in open; a broken-off open asks the stop poll.
int InputFile::OpenForReading(const std::string& path) {
    // A name with a NUL byte inside would name some other, shorter file.
    if (path.find('\0') != std::string::npos) return -1;
    int descriptor;
    do {
        descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (descriptor < 0 && errno == EINTR && !StopAsked());
    return descriptor;
}

InputFile::InputFile(const std::string& path, std::size_t bufferSize, StopPoll stop)
    : stop_(std::move(stop)), buffer_(std::max<std::size_t>(bufferSize, kByteOrderMark.size())) {
    descriptor_ = OpenForReading(path);
    if (status_ == ReadStatus::Stopped) return;
    // A folder opens like a file but has no bytes to read.
    struct stat info {};
    const bool known = descriptor_ >= 0 && ::fstat(descriptor_, &info) == 0;
    if (known && S_ISDIR(info.st_mode)) CloseFile();
    if (descriptor_ < 0) {
        status_ = ReadStatus::CannotRead;
        return;
    }
    // A file's reads do not wait on a writer: they block as always.
    waited_ = !known || !S_ISREG(info.st_mode);
    if (!waited_) ::fcntl(descriptor_, F_SETFL, ::fcntl(descriptor_, F_GETFL) & ~O_NONBLOCK);
    // Files and pipes are locked; devices (a terminal, /dev/null) are shared
    // by every program and stay unlocked. Only a lock held elsewhere stops
    // the reading: a file system without locks is read unlocked.
    const bool lockable = known && (S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode));
    if (lockable && ::flock(descriptor_, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        status_ = ReadStatus::InUse;
        CloseFile();
    }
}

InputFile::~InputFile() { CloseFile(); }

void InputFile::CloseFile() {
    if (descriptor_ >= 0) ::close(descriptor_);  // releases the lock
    descriptor_ = -1;
}

// Appends what one read gives to the buffer's end; false at the end of the
// file or on an error, after which the file is closed.
bool InputFile::Read() {
    if (descriptor_ < 0) return false;
    if (++reads_ % kReadsBetweenQuestions == 0 && StopAsked()) return false;
    ssize_t got;
    for (;;) {
        if (waited_ && !WaitForBytes()) return false;
        got = ::read(descriptor_, buffer_.data() + end_, buffer_.size() - end_);
        if (got >= 0) break;
        if (errno == EAGAIN && waited_) continue;  // the wait saw bytes another reader took
        if (errno != EINTR) break;
        if (StopAsked()) return false;
    }
    if (got > 0) {
        end_ += static_cast<std::size_t>(got);
        filled_ += static_cast<std::uint64_t>(got);
        return true;
    }
    // End of file or a read error (a folder, a failing disk): either way
    // nothing more can be read, but only the error is a failure.
    if (got < 0) status_ = ReadStatus::CannotRead;
    CloseFile();
    return false;
}

// Waits until the pipe or device has bytes, or its writer has gone (the
// read then gives the end); false when a stop was asked for meanwhile.
bool InputFile::WaitForBytes() {
    pollfd waited{descriptor_, POLLIN, 0};
    for (;;) {
        const int ready = ::poll(&waited, 1, stop_ ? kWaitMilliseconds : -1);
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) return true;  // the read says what is wrong
        if (StopAsked()) return false;
    }
}

bool InputFile::StopAsked() {
    if (!stop_ || !stop_()) return false;
    status_ = ReadStatus::Stopped;
    CloseFile();
    return true;
}

// A pipe may give the first bytes one at a time: the mark is looked for only
// once three bytes are there, or the file has ended before.
void InputFile::PassOverByteOrderMark() {
    started_ = true;
    while (end_ < kByteOrderMark.size() && Read()) {
    }
    if (Unread().substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        pos_ += kByteOrderMark.size();
    }
}

bool InputFile::Fill() {
    if (!started_) PassOverByteOrderMark();
    if (pos_ < end_) return true;
    pos_ = 0;
    end_ = 0;
    return Read();
}

}  // namespace tarvo
