#include "input/line_reader.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tarvo {

namespace {

constexpr char kCarriageReturn = 13;
constexpr char kLineFeed = 10;
constexpr char kEndOfData = 26;

bool EndsLine(char byte) {
    return byte == kCarriageReturn || byte == kLineFeed || byte == kEndOfData;
}

int OpenForReading(const std::string& path) {
    // A name with a NUL byte inside would name some other, shorter file.
    if (path.find('\0') != std::string::npos) return -1;
    int descriptor;
    do {
        descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

}  // namespace

LineReader::LineReader(const std::string& path, std::size_t bufferSize)
    : descriptor_(OpenForReading(path)), buffer_(std::max<std::size_t>(bufferSize, 1)) {
    // A folder opens like a file but has no bytes to read.
    struct stat info {};
    const bool known = descriptor_ >= 0 && ::fstat(descriptor_, &info) == 0;
    if (known && S_ISDIR(info.st_mode)) CloseFile();
    if (descriptor_ < 0) {
        status_ = ReadStatus::CannotRead;
        return;
    }
    // Files and pipes are locked; devices (a terminal, /dev/null) are shared
    // by every program and stay unlocked. Only a lock held elsewhere stops
    // the reading: a file system without locks is read unlocked.
    const bool lockable = known && (S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode));
    if (lockable && ::flock(descriptor_, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        status_ = ReadStatus::InUse;
        CloseFile();
    }
}

LineReader::~LineReader() { CloseFile(); }

void LineReader::CloseFile() {
    if (descriptor_ >= 0) ::close(descriptor_);  // releases the lock
    descriptor_ = -1;
}

bool LineReader::Fill() {
    if (pos_ < end_) return true;
    if (descriptor_ < 0) return false;
    pos_ = 0;
    ssize_t got;
    do {
        got = ::read(descriptor_, buffer_.data(), buffer_.size());
    } while (got < 0 && errno == EINTR);
    end_ = got > 0 ? static_cast<std::size_t>(got) : 0;
    if (end_ > 0) return true;
    // End of file or a read error (a folder, a failing disk): either way
    // nothing more can be read, but only the error is a failure.
    if (got < 0) status_ = ReadStatus::CannotRead;
    CloseFile();
    return false;
}

bool LineReader::Ended() { return !Fill() || buffer_[pos_] == kEndOfData; }

void LineReader::ReadLine(std::string& line, std::size_t keepAtMost) {
    line.clear();
    while (Fill()) {
        const char* begin = buffer_.data() + pos_;
        const char* blockEnd = buffer_.data() + end_;
        const char* stop = std::find_if(begin, blockEnd, EndsLine);
        const std::size_t found = static_cast<std::size_t>(stop - begin);
        if (line.size() < keepAtMost) line.append(begin, std::min(found, keepAtMost - line.size()));
        pos_ += found;
        if (pos_ == end_) continue;  // the line goes on in the next block

        const char terminator = buffer_[pos_];
        if (terminator == kEndOfData) return;  // left in place: the data has ended
        ++pos_;
        if (terminator == kCarriageReturn && Fill() && buffer_[pos_] == kLineFeed) ++pos_;
        return;
    }
}

std::string LineReader::ReadLine() {
    std::string line;
    ReadLine(line);
    return line;
}

}  // namespace tarvo
