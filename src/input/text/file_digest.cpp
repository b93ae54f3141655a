#include "input/text/file_digest.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

namespace tarvo {

namespace {

constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t Rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

// Bytes read from a file at a time.
constexpr std::size_t kChunk = 1 << 16;

}  // namespace

Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
             0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::Block(const unsigned char* block) {
    std::uint32_t w[64];
    for (int t = 0; t < 16; ++t) {
        w[t] = (std::uint32_t{block[4 * t]} << 24) | (std::uint32_t{block[4 * t + 1]} << 16) |
               (std::uint32_t{block[4 * t + 2]} << 8) | std::uint32_t{block[4 * t + 3]};
    }
    for (int t = 16; t < 64; ++t) {
        const std::uint32_t s0 = Rotr(w[t - 15], 7) ^ Rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
        const std::uint32_t s1 = Rotr(w[t - 2], 17) ^ Rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
        w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    std::uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
    for (int t = 0; t < 64; ++t) {
        const std::uint32_t t1 =
            h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[t] + w[t];
        const std::uint32_t t2 =
            (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
    state_[4] += e;
    state_[5] += f;
    state_[6] += g;
    state_[7] += h;
}

void Sha256::Add(std::string_view bytes) {
    totalBytes_ += bytes.size();
    const auto* next = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t left = bytes.size();
    if (pendingBytes_ > 0) {
        const std::size_t take = std::min(left, pending_.size() - pendingBytes_);
        std::copy(next, next + take, pending_.begin() + static_cast<std::ptrdiff_t>(pendingBytes_));
        pendingBytes_ += take;
        next += take;
        left -= take;
        if (pendingBytes_ < pending_.size()) return;
        Block(pending_.data());
        pendingBytes_ = 0;
    }
    for (; left >= 64; next += 64, left -= 64) Block(next);
    std::copy(next, next + left, pending_.begin());
    pendingBytes_ = left;
}

std::string Sha256::HexDigest() {
    // The message, a 1 bit, zeros to 56 bytes of the last block, and the
    // message's length in bits as a big-endian 64-bit number.
    const std::uint64_t bits = totalBytes_ * 8;
    unsigned char tail[72] = {0x80};
    const std::size_t zeros = (pendingBytes_ < 56 ? 56 : 120) - pendingBytes_;
    for (std::size_t k = 0; k < 8; ++k) {
        tail[zeros + k] = static_cast<unsigned char>(bits >> (56 - 8 * k));
    }
    Add(std::string_view(reinterpret_cast<const char*>(tail), zeros + 8));
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (const std::uint32_t word : state_) {
        for (int shift = 28; shift >= 0; shift -= 4) hex += kHex[(word >> shift) & 0xf];
    }
    return hex;
}

std::optional<FileDigest> DigestFile(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               &std::fclose);
    if (!file) return std::nullopt;
    std::vector<char> chunk(kChunk);
    Sha256 hash;
    FileDigest digest;
    for (;;) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file.get());
        hash.Add(std::string_view(chunk.data(), got));
        digest.bytes += got;
        if (got < chunk.size()) break;
    }
    if (std::ferror(file.get())) return std::nullopt;
    digest.sha256 = hash.HexDigest();
    return digest;
}

}  // namespace tarvo
