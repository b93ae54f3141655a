#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo {

// How reading an input file went.
enum class ReadStatus {
    Read,        // every line asked for was read (a missing tail reads as empty lines)
    CannotRead,  // the file could not be opened, or a read failed (a folder, no permission)
    InUse,       // another run holds it for writing
    Stopped,     // a stop was asked for while the file was opened or read
};

// Asked while a read waits (a pipe without bytes, a read a signal broke
// off) and now and then on a long file: true ends the reading as Stopped.
// An empty one is never asked.
using StopPoll = std::function<bool()>;

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
//
// A pipe or a device is opened without waiting for a writer and waited on
// in steps of a tenth of a second, so that the stop poll is asked while
// nothing comes; a read of a file that a signal breaks off asks it too.
class InputFile {
  public:
    static constexpr std::size_t kDefaultBufferSize = 1 << 16;

    // A buffer smaller than the byte order mark is made that large.
    explicit InputFile(const std::string& path, std::size_t bufferSize = kDefaultBufferSize,
                       StopPoll stop = {});
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
    int OpenForReading(const std::string& path);
    bool Read();
    bool WaitForBytes();
    bool StopAsked();
    void PassOverByteOrderMark();
    void CloseFile();

    StopPoll stop_;
    int descriptor_ = -1;
    bool waited_ = false;  // a pipe or a device: waited on before each read
    std::uint64_t reads_ = 0;
    ReadStatus status_ = ReadStatus::Read;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::uint64_t filled_ = 0;  // bytes read into the buffer so far
    bool started_ = false;      // the start of the file has been looked at
};

}  // namespace tarvo
