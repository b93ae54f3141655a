#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tarvo::test_support {

// A name an output must refuse, and the reason the refusal gives after the
// name's full path and ": ".
struct HostileOutput {
    std::string what;
    std::string path;
    std::string reason;
};

// The names every writer of the program refuses, made in dir: a FIFO nobody
// reads (a blocking open would wait for ever) and, as root, in a folder
// anyone may write to with the sticky bit set (/tmp), another user's link
// to a private file of this user's (Private), another user's file anyone
// may write (0666, holding "theirs\n", Theirs) and another user's FIFO.
class HostileOutputs {
  public:
    explicit HostileOutputs(const TempDir& dir)
        : private_(dir.File("private.txt")), theirs_(dir.File("shared/theirs.csv")) {
        WriteFile(private_, "private\n");
        const std::string unread = dir.File("unread.fifo");
        ::mkfifo(unread.c_str(), 0600);
        list_.push_back({"a FIFO nobody reads", unread, "not a regular file"});
        if (::geteuid() != 0) return;
        constexpr uid_t kOther = 65534;
        const std::string shared = dir.File("shared");
        std::filesystem::create_directory(shared);
        ::chmod(shared.c_str(), 01777);
        const std::string link = shared + "/link.csv";
        std::filesystem::create_symlink(private_, link);
        ok_ = ::lchown(link.c_str(), kOther, kOther) == 0;
        list_.push_back({"another user's link in a shared folder", link,
                         "a link of another user's in a shared folder is not followed"});
        WriteFile(theirs_, "theirs\n");
        ok_ = ok_ && ::chmod(theirs_.c_str(), 0666) == 0 &&
              ::chown(theirs_.c_str(), kOther, kOther) == 0;
        list_.push_back({"another user's file in a shared folder", theirs_,
                         "a file of another user's in a shared folder is not replaced"});
        const std::string fifo = shared + "/theirs.fifo";
        ok_ =
            ok_ && ::mkfifo(fifo.c_str(), 0666) == 0 && ::chown(fifo.c_str(), kOther, kOther) == 0;
        list_.push_back({"another user's FIFO in a shared folder", fifo,
                         "a file of another user's in a shared folder is not replaced"});
    }

    const std::vector<HostileOutput>& List() const { return list_; }
    // Whether every case could be made (the other user's need root).
    bool Made() const { return ok_; }
    bool AsRoot() const { return ::geteuid() == 0; }

    // Whether the files the cases lead to are as they were made.
    bool Untouched() const {
        return ReadFile(private_) == "private\n" && (!AsRoot() || ReadFile(theirs_) == "theirs\n");
    }

  private:
    std::string private_;
    std::string theirs_;
    std::vector<HostileOutput> list_;
    bool ok_ = true;
};

}  // namespace tarvo::test_support
