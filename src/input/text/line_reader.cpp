#include "input/text/line_reader.h"

#include <algorithm>
#include <utility>

namespace tarvo {

namespace {

constexpr char kCarriageReturn = 13;
constexpr char kLineFeed = 10;
constexpr char kEndOfData = 26;

bool EndsLine(char byte) {
    return byte == kCarriageReturn || byte == kLineFeed || byte == kEndOfData;
}

}  // namespace

LineReader::LineReader(const std::string& path, std::size_t bufferSize, StopPoll stop)
    : file_(path, bufferSize, std::move(stop)) {}

LineReader::~LineReader() = default;

bool LineReader::Ended() { return !file_.Fill() || file_.Unread().front() == kEndOfData; }

bool LineReader::EndedAtEndOfDataMark() {
    return file_.Fill() && file_.Unread().front() == kEndOfData;
}

void LineReader::ReadLine(std::string& line, std::size_t keepAtMost) {
    line.clear();
    while (file_.Fill()) {
        const std::string_view block = file_.Unread();
        const auto stop = std::find_if(block.begin(), block.end(), EndsLine);
        const std::size_t found = static_cast<std::size_t>(stop - block.begin());
        if (line.size() < keepAtMost) {
            line.append(block.data(), std::min(found, keepAtMost - line.size()));
        }
        file_.Skip(found);
        if (found == block.size()) continue;  // the line goes on in the next block

        const char terminator = *stop;
        if (terminator == kEndOfData) return;  // left in place: the data has ended
        file_.Skip(1);
        if (terminator == kCarriageReturn && file_.Fill() && file_.Unread().front() == kLineFeed) {
            file_.Skip(1);
        }
        return;
    }
}

bool LineReader::ReadLineWithin(std::string& line, std::size_t most) {
    line.clear();
    while (file_.Fill()) {
        const std::string_view block = file_.Unread();
        const auto stop = std::find_if(block.begin(), block.end(), EndsLine);
        const std::size_t found = static_cast<std::size_t>(stop - block.begin());
        if (found > most - line.size()) {
            const std::size_t kept = most - line.size();
            line.append(block.data(), kept);
            file_.Skip(kept);
            return false;
        }
        line.append(block.data(), found);
        file_.Skip(found);
        if (found == block.size()) continue;  // the line goes on in the next block

        const char terminator = *stop;
        if (terminator == kEndOfData) return true;  // left in place: the data has ended
        file_.Skip(1);
        if (terminator == kCarriageReturn && file_.Fill() && file_.Unread().front() == kLineFeed) {
            file_.Skip(1);
        }
        return true;
    }
    return true;
}

UnreadRest LineReader::CountRest() {
    UnreadRest rest;
    bool lineOpen = false;
    char previous = 0;
    while (file_.Fill()) {
        for (const char byte : file_.Unread()) {
            ++rest.bytes;
            if (byte == kLineFeed && previous == kCarriageReturn) {
                previous = byte;
                continue;  // CR LF is one line end
            }
            if (byte == kCarriageReturn || byte == kLineFeed) {
                ++rest.lines;
                lineOpen = false;
            } else {
                lineOpen = true;
            }
            previous = byte;
        }
        file_.Skip(file_.Unread().size());
    }
    if (lineOpen) ++rest.lines;
    return rest;
}

std::string LineReader::ReadLine() {
    std::string line;
    ReadLine(line);
    return line;
}

}  // namespace tarvo
