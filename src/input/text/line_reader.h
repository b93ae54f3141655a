#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "input/text/input_file.h"

namespace tarvo {

// What a file holds after the point its reading stopped.
struct UnreadRest {
    std::uint64_t bytes = 0;
    std::uint64_t lines = 0;
};

// Reads a text file line by line, one byte per character, streaming through a
// fixed buffer so that files and lines of any size can be read.
//
// A line ends at a carriage return (13), at a carriage return followed by a
// line feed (one line end), or at a line feed (10) on its own. A byte 26 ends
// the data: it ends the current line and nothing after it is read. The file
// has ended when no byte is left or the next byte is 26; asking for a line
// after that gives an empty line. A file that cannot be opened or read counts
// as ended at once, and Status() says so. A UTF-8 byte order mark in front
// of the first line and the file's lock are InputFile's.
class LineReader {
  public:
    static constexpr std::size_t kDefaultBufferSize = InputFile::kDefaultBufferSize;
    static constexpr std::size_t kWholeLine = std::numeric_limits<std::size_t>::max();

    explicit LineReader(const std::string& path, std::size_t bufferSize = kDefaultBufferSize,
                        StopPoll stop = {});
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

    // As ReadLine, for a line of at most `most` bytes; a longer line is not
    // read to its end (it may have none, as /dev/zero): its first `most`
    // bytes are kept, the reader stays inside it, and the answer is false.
    bool ReadLineWithin(std::string& line, std::size_t most);

    ReadStatus Status() const { return file_.Status(); }

    // Whether the data ended at a byte 26 (bytes may follow it unread), and
    // how many bytes of the file lie before the next unread one.
    bool EndedAtEndOfDataMark();
    std::uint64_t Offset() const { return file_.Offset(); }

    // Reads the rest of the file, past a byte 26 too, and counts its bytes
    // and its lines (by the line ends above; a last line without an end
    // counts). Nothing is read by ReadLine after this.
    UnreadRest CountRest();

  private:
    InputFile file_;
};

}  // namespace tarvo
