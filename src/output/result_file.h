#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarvo {

// The one result file of a run. Text reaches the file system line by line:
// each line is handed over as soon as its line end is written, and the text
// of an unfinished line waits until its line end (or Close), so a stopped or
// killed run leaves whole lines only. A failed write does not stop the run;
// it is remembered so the run can report an incomplete result.
class ResultFile {
  public:
    ResultFile() = default;
    ResultFile(const ResultFile&) = delete;
    ResultFile& operator=(const ResultFile&) = delete;
    ~ResultFile();

    // Creates the file or empties it (closing any file opened before). False
    // when it cannot be opened for writing (empty or invalid name, missing
    // folder, no permission, a folder), when another run holds it, or when
    // the name is a link that another user planted in a folder anyone may
    // write to (such as /tmp), which is not followed.
    //
    // A file is emptied only once this run holds an exclusive lock on it,
    // so a run refused here leaves the file as it was, and a run still
    // reading it as input (which holds a shared lock) keeps its data. Pipes
    // are locked too; devices such as /dev/null or a terminal are not.
    bool Open(const std::string& name);
    bool IsOpen() const { return descriptor_ >= 0; }

    // Why the last Open failed, for the user: the full path the name
    // resolved to and the system's reason ("/srv/out.csv: Permission
    // denied"), or "in use by another run". Empty after a successful Open.
    const std::string& OpenFailure() const { return openFailure_; }

    // Lets finished lines gather until at least bytes of them wait, then
    // hands them over together (still whole lines only, and all of them at
    // Close): fewer writes for long results. 0, the default, hands each
    // line over as soon as it is finished. Stays in force across Open.
    void GatherLinesUpTo(std::size_t bytes) { gatherBytes_ = bytes; }

    // Writing to a file that is not open does nothing.
    void Write(std::string_view text);
    void WriteLine(std::string_view text);  // text and CR LF

    // Hands over any unfinished text and closes the file; false when any
    // write or the close failed, or when no file was open.
    bool Close();
    bool WriteFailed() const { return failed_; }

  private:
    void HandOver(std::size_t length);  // writes the first length pending bytes

    void HandOverFinishedLines();

    int descriptor_ = -1;
    std::string openFailure_;
    std::string pending_;  // text after the last line end handed over
    std::size_t gatherBytes_ = 0;
    bool failed_ = false;
};

// True when both names designate the same existing file on disk (same device
// and inode), however they are spelled.
bool IsSameFile(const std::string& first, const std::string& second);

}  // namespace tarvo
