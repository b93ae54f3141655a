#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The beginning of a file, read to be shown: at most a given number of
// bytes, without ever waiting on the file. Only a regular file is read: a
// FIFO would wait for a writer and a device such as /dev/zero has no end, so
// each is refused with a reason (a link is followed to what it names).
namespace tarvo::results {

struct FileHead {
    std::string text;        // the bytes read, ending after a whole line when cut
    std::uint64_t size = 0;  // the file's size in bytes
    bool whole = false;      // text is the whole file
    std::string error;       // why nothing was read; empty when it was
};

FileHead ReadFileHead(const std::string& path, std::size_t limit);

}  // namespace tarvo::results
