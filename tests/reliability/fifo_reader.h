#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "reliability/runner_process.h"

namespace tarvo::test_support {

// The reading end of a named pipe used as a run's result file. The run can
// write only as far as the pipe holds until the test reads again, so the test
// decides how far a run gets before it is interrupted, however fast the run
// is and however loaded the machine.
class FifoReader {
  public:
    explicit FifoReader(const std::string& path) {
        if (mkfifo(path.c_str(), 0666) != 0) return;
        // Opened before the run starts, so that the run's open does not block;
        // not inherited, so that the run is never a reader of its own pipe.
        descriptor_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    ~FifoReader() {
        if (descriptor_ >= 0) close(descriptor_);
    }
    FifoReader(const FifoReader&) = delete;
    FifoReader& operator=(const FifoReader&) = delete;

    bool ok() const { return descriptor_ >= 0; }

    // The reader goes away: the run's further writes to the pipe fail.
    void Close() {
        if (descriptor_ >= 0) close(descriptor_);
        descriptor_ = -1;
    }
    const std::string& text() const { return text_; }

    // The bytes the pipe holds before a writer has to wait.
    int Capacity() const { return fcntl(descriptor_, F_GETPIPE_SZ); }

    // Bytes written by the run and not read yet.
    int Unread() const {
        int count = 0;
        return ioctl(descriptor_, FIONREAD, &count) == 0 ? count : 0;
    }

    // Reads until text() holds at least lineCount line feeds, the writer has
    // closed the pipe, or the process has ended. False if that never happens.
    bool ReadLines(std::size_t lineCount, RunnerProcess& process) {
        return ReadUntil(
            [&] { return std::count(text_.begin(), text_.end(), '\n') >= long(lineCount); },
            process);
    }

    // Reads everything up to the writer's close (or the end of the process).
    bool ReadToEnd(RunnerProcess& process) {
        return ReadUntil([] { return false; }, process);
    }

  private:
    template <typename Condition>
    bool ReadUntil(Condition enough, RunnerProcess& process) {
        const auto deadline = std::chrono::steady_clock::now() + kHangLimit;
        char buffer[4096];
        while (!enough()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            pollfd request{descriptor_, POLLIN, 0};
            const int ready = poll(&request, 1, 20);
            if (ready > 0 && (request.revents & POLLIN)) {
                const ssize_t count = read(descriptor_, buffer, sizeof buffer);
                if (count > 0) {
                    text_.append(buffer, static_cast<std::size_t>(count));
                    continue;
                }
            }
            // The writer has gone: after connecting (hang-up), or by ending
            // before it ever opened the pipe.
            if (ready > 0 && (request.revents & POLLHUP) && Unread() == 0) return true;
            if (ready == 0 && process.Finished() && Unread() == 0) return true;
        }
        return true;
    }

    int descriptor_ = -1;
    std::string text_;
};

}  // namespace tarvo::test_support
