#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace tarvo {

// Reads a text file line by line, one byte per character, streaming through a
// fixed buffer so that files and lines of any size can be read.
//
// A line ends at a carriage return (13), at a carriage return followed by a
// line feed (one line end), or at a line feed (10) on its own. A byte 26 ends
// the data: it ends the current line and nothing after it is read. The file
// has ended when no byte is left or the next byte is 26; asking for a line
// after that gives an empty line. A file that cannot be opened or read counts
// as ended at once.
class LineReader {
  public:
    static constexpr std::size_t kDefaultBufferSize = 1 << 16;

    explicit LineReader(const std::string& path, std::size_t bufferSize = kDefaultBufferSize);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool Ended();

    // Replaces line with the next line (its end not included); reusing one
    // string keeps long lines from being allocated again and again.
    void ReadLine(std::string& line);
    std::string ReadLine();

  private:
    // Makes at least one unread byte available; false when none is left or
    // the file cannot be read any further.
    bool Fill();

    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
};

}  // namespace tarvo
