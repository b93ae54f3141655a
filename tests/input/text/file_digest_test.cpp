#include "input/text/file_digest.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tarvo {
namespace {

struct Vector {
    std::string message;
    const char* digest;
};

// The test vectors of FIPS 180-4's examples, among them messages whose
// padding needs a second block.
std::vector<Vector> Vectors() {
    return {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
}

TEST(Sha256, GivesTheStandardDigestsInAnyPieces) {
    for (const Vector& v : Vectors()) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{63}, std::size_t{64},
                                        std::size_t{65}, v.message.size() + 1}) {
            Sha256 hash;
            for (std::size_t at = 0; at < v.message.size(); at += piece) {
                hash.Add(std::string_view(v.message).substr(at, piece));
            }
            EXPECT_EQ(hash.HexDigest(), v.digest) << v.message.size() << " in " << piece;
        }
    }
}

TEST(FileDigest, IsTheFilesSizeAndDigestOrNothingForAMissingFile) {
    test_support::TempDir dir;
    // Longer than one chunk read, so that the pieces meet inside a block.
    const std::string bytes = std::string(1000000, 'a');
    test_support::WriteFile(dir.File("a.dat"), bytes);
    const auto digest = DigestFile(dir.File("a.dat"));
    ASSERT_TRUE(digest);
    EXPECT_EQ(digest->bytes, bytes.size());
    EXPECT_EQ(digest->sha256, Vectors()[3].digest);
    EXPECT_FALSE(DigestFile(dir.File("missing.dat")));
    EXPECT_FALSE(DigestFile(dir.path().string()));  // a folder cannot be read as a file
    // A pipe without a writer: opening it would wait for ever.
    ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(DigestFile(dir.File("pipe")));
}

}  // namespace
}  // namespace tarvo
