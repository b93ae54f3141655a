#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace tarvo {

// How reading an input file went.
enum class ReadStatus {
    Read,        // every line asked for was read (a missing tail reads as empty lines)
    CannotRead,  // the file could not be opened, or a read failed (a folder, no permission)
    InUse,       // another run holds it for writing
};

// Reads a text file line by line, one byte per character, streaming through a
// fixed buffer so that files and lines of any size can be read.
//
// A line ends at a carriage return (13), at a carriage return followed by a
// line feed (one line end), or at a line feed (10) on its own. A byte 26 ends
// the data: it ends the current line and nothing after it is read. The file
// has ended when no byte is left or the next byte is 26; asking for a line
// after that gives an empty line. A file that cannot be opened or read counts
// as ended at once, and Status() says so.
//
// While a file or a pipe is open it holds a shared lock on it, so that a run
// writing its result into it meanwhile (it takes an exclusive lock) is
// refused instead of emptying the file under the reader; a file locked for
// writing is not read at all.
class LineReader {
  public:
    static constexpr std::size_t kDefaultBufferSize = 1 << 16;
    static constexpr std::size_t kWholeLine = std::numeric_limits<std::size_t>::max();

    explicit LineReader(const std::string& path, std::size_t bufferSize = kDefaultBufferSize);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool Ended();

    // Replaces line with the next line (its end not included); reusing one
    // string keeps long lines from being allocated again and again. Only the
    // first keepAtMost bytes of the line are kept; the rest is passed over
    // without being held, so a line without end (a file of one huge line,
    // /dev/zero) costs no more memory than the bytes kept.
    void ReadLine(std::string& line, std::size_t keepAtMost = kWholeLine);
    std::string ReadLine();

    ReadStatus Status() const { return status_; }

  private:
    // Makes at least one unread byte available; false when none is left or
    // the file cannot be read any further.
    bool Fill();
    void CloseFile();

    int descriptor_ = -1;
    ReadStatus status_ = ReadStatus::Read;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
};

}  // namespace tarvo
