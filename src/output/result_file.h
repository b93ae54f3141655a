#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace tarvo {

// The one result file of a run. Every piece of text goes to the file system
// when it is written (no buffer of our own), so a stopped or crashed run
// leaves whole lines. A failed write does not stop the run; it is remembered
// so the run can report an incomplete result.
class ResultFile {
public:
    ResultFile() = default;
    ResultFile(const ResultFile&) = delete;
    ResultFile& operator=(const ResultFile&) = delete;
    ~ResultFile();

    // Creates the file or empties it. False when it cannot be opened for
    // writing (empty or invalid name, missing folder, no permission).
    bool Open(const std::string& name);
    bool IsOpen() const { return file_ != nullptr; }

    void Write(std::string_view text);
    void WriteLine(std::string_view text);  // text and CR LF

    // Closes the file; false when any write (or the close) failed.
    bool Close();
    bool WriteFailed() const { return failed_; }

private:
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};

// True when both names designate the same existing file on disk (same device
// and inode), however they are spelled.
bool IsSameFile(const std::string& first, const std::string& second);

}  // namespace tarvo
