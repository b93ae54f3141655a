#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo {

// How reading an input file went.
enum class ReadStatus {
    Read,        // every line asked for was read (a missing tail reads as empty lines)
    CannotRead,  // the file could not be opened, or a read failed (a folder, no permission)
    InUse,       // another run holds it for writing
};

// An input file as a stream of bytes through a fixed buffer, so that files of
// any size are read in the same memory. The readers of each format cut lines
// or records from it.
//
// The three bytes of a UTF-8 byte order mark (EF BB BF) at the very start are
// passed over: editors put them in front of the first line, where they would
// hide a key record or shift every column of the first record.
//
// While a file or a pipe is open it holds a shared lock on it, so that a run
// writing its result into it meanwhile (it takes an exclusive lock) is
// refused instead of emptying the file under the reader; a file locked for
// writing is not read at all.
class InputFile {
  public:
    static constexpr std::size_t kDefaultBufferSize = 1 << 16;

    // A buffer smaller than the byte order mark is made that large.
    explicit InputFile(const std::string& path, std::size_t bufferSize = kDefaultBufferSize);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Makes at least one unread byte available; false when none is left or
    // the file cannot be read any further.
    bool Fill();

    // The unread bytes of the buffer (empty until Fill); Skip passes over
    // the first count of them.
    std::string_view Unread() const { return std::string_view(buffer_.data() + pos_, end_ - pos_); }
    void Skip(std::size_t count) { pos_ += count; }

    // Bytes of the file passed so far, a byte order mark included.
    std::uint64_t Offset() const { return filled_ - (end_ - pos_); }

    ReadStatus Status() const { return status_; }

  private:
    bool Read();
    void PassOverByteOrderMark();
    void CloseFile();

    int descriptor_ = -1;
    ReadStatus status_ = ReadStatus::Read;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::uint64_t filled_ = 0;  // bytes read into the buffer so far
    bool started_ = false;      // the start of the file has been looked at
};

}  // namespace tarvo
