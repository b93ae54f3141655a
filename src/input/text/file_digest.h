#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvo {

// SHA-256 (FIPS 180-4) over bytes given in any number of pieces.
class Sha256 {
  public:
    Sha256();
    void Add(std::string_view bytes);
    // The digest as 64 lowercase hexadecimal digits; ends the hashing.
    std::string HexDigest();

  private:
    void Block(const unsigned char* block);

    std::array<std::uint32_t, 8> state_;
    std::array<unsigned char, 64> pending_{};
    std::size_t pendingBytes_ = 0;
    std::uint64_t totalBytes_ = 0;
};

// A file as it is on disk: its size in bytes and the SHA-256 of its bytes,
// so that a result can be traced to the very inputs it was computed from.
struct FileDigest {
    std::uint64_t bytes = 0;
    std::string sha256;
};

// Nothing when the name is no regular file (a pipe's bytes are gone once the
// run has read them, and opening one without a writer would wait for
// ever), or when the file cannot be opened or read to its end.
std::optional<FileDigest> DigestFile(const std::string& path);

}  // namespace tarvo
