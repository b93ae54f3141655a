#include "input/line_reader.h"

#include <algorithm>

namespace tarvo {

namespace {

constexpr char kCarriageReturn = 13;
constexpr char kLineFeed = 10;
constexpr char kEndOfData = 26;

bool EndsLine(char byte) {
    return byte == kCarriageReturn || byte == kLineFeed || byte == kEndOfData;
}

}  // namespace

LineReader::LineReader(const std::string& path, std::size_t bufferSize)
    : file_(std::fopen(path.c_str(), "rb")), buffer_(std::max<std::size_t>(bufferSize, 1)) {}

LineReader::~LineReader() {
    if (file_ != nullptr) std::fclose(file_);
}

bool LineReader::Fill() {
    if (pos_ < end_) return true;
    if (file_ == nullptr) return false;
    pos_ = 0;
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    if (end_ > 0) return true;
    // End of file or a read error: either way nothing more can be read.
    std::fclose(file_);
    file_ = nullptr;
    return false;
}

bool LineReader::Ended() { return !Fill() || buffer_[pos_] == kEndOfData; }

void LineReader::ReadLine(std::string& line) {
    line.clear();
    while (Fill()) {
        const char* begin = buffer_.data() + pos_;
        const char* blockEnd = buffer_.data() + end_;
        const char* stop = std::find_if(begin, blockEnd, EndsLine);
        line.append(begin, stop);
        pos_ += static_cast<std::size_t>(stop - begin);
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
