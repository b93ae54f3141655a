#include "shell/results/file_head.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tarvo::results {
namespace {

constexpr std::size_t kChunk = std::size_t{1} << 16;

const char* KindOf(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

FileHead ReadFileHead(const std::string& path, std::size_t limit) {
    FileHead head;
    // Non-blocking: opening a FIFO for reading would wait for a writer.
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.Get() < 0) {
        head.error = std::string("it cannot be opened (") + std::strerror(errno) + ")";
        return head;
    }
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0) {
        head.error = std::string("it cannot be examined (") + std::strerror(errno) + ")";
        return head;
    }
    if (!S_ISREG(status.st_mode)) {
        head.error = std::string("it is ") + KindOf(status.st_mode) + ", not a regular file";
        return head;
    }
    head.size = static_cast<std::uint64_t>(status.st_size);
    head.text.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(head.size, limit)));

    bool ended = false;
    while (head.text.size() < limit) {
        const std::size_t want = std::min(kChunk, limit - head.text.size());
        const std::size_t had = head.text.size();
        head.text.resize(had + want);
        const ssize_t got = ::read(file.Get(), head.text.data() + had, want);
        if (got < 0 && errno == EINTR) {
            head.text.resize(had);
            continue;
        }
        if (got < 0) {
            head.error = std::string("it cannot be read (") + std::strerror(errno) + ")";
            head.text.clear();
            return head;
        }
        head.text.resize(had + static_cast<std::size_t>(got));
        if (got == 0) {
            ended = true;
            break;
        }
    }
    head.whole = ended || head.text.size() == head.size;
    if (ended) head.size = head.text.size();  // it may have changed since fstat
    if (!head.whole) {
        const std::size_t lineEnd = head.text.rfind('\n');
        if (lineEnd != std::string::npos) head.text.resize(lineEnd + 1);
    }
    return head;
}

}  // namespace tarvo::results
