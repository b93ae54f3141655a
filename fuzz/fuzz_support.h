#pragma once

// Shared pieces of the fuzz targets: a failing property stops the run with a
// message, the readers get their bytes through an in-memory file, and a
// plain model of the line rules gives the lines the readers must see.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo::fuzz {

[[noreturn]] inline void Fail(const char* file, int line, const char* condition) {
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, condition);
    std::abort();
}

// A property every input must keep; libFuzzer reports the abort as a crash
// and saves the input.
#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::tarvo::fuzz::Fail(__FILE__, __LINE__, #condition))

// The fuzz input split into leading setting bytes and the rest.
class InputBytes {
  public:
    InputBytes(const std::uint8_t* data, std::size_t size)
        : text_(reinterpret_cast<const char*>(data), size) {}

    // The next byte, or 0 once the input is used up.
    std::uint8_t Byte() {
        if (text_.empty()) return 0;
        const auto byte = static_cast<std::uint8_t>(text_.front());
        text_.remove_prefix(1);
        return byte;
    }

    std::string_view Rest() const { return text_; }

  private:
    std::string_view text_;
};

// A file that lives in memory only, rewritten for every input, so that the
// readers open it by name as they would open a file on disk.
class MemoryFile {
  public:
    MemoryFile() : fd_(memfd_create("tarvo_fuzz", 0)) {
        if (fd_ < 0) Fail(__FILE__, __LINE__, "memfd_create");
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // Replaces the whole content; returns the name to open.
    const std::string& Write(std::string_view bytes) {
        if (ftruncate(fd_, 0) != 0) Fail(__FILE__, __LINE__, "ftruncate");
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t written =
                pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
            if (written <= 0) Fail(__FILE__, __LINE__, "pwrite");
            done += static_cast<std::size_t>(written);
        }
        return path_;
    }

  private:
    int fd_;
    std::string path_;
};

// The lines of a file by the line rules, written as plainly as possible:
// a byte order mark at the start is not read; byte 26 ends the data; CR LF,
// CR and LF each end a line; text after the last line end is a last line.
inline std::vector<std::string> ModelLines(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    const std::size_t endOfData = bytes.find('\x1a');
    if (endOfData != std::string_view::npos) bytes = bytes.substr(0, endOfData);

    std::vector<std::string> lines;
    std::string current;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char byte = bytes[i];
        if (byte != '\r' && byte != '\n') {
            current.push_back(byte);
            continue;
        }
        if (byte == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        lines.push_back(current);
        current.clear();
    }
    if (!current.empty()) lines.push_back(current);
    return lines;
}

}  // namespace tarvo::fuzz
