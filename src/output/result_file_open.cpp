#include "output/result_file_open.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace tarvo {

namespace {

std::string SystemReason(int error) { return std::generic_category().message(error); }

std::string Failure(const std::string& name, const std::string& reason) {
    return FullPathForMessage(name) + ": " + reason;
}

// A name with a NUL byte inside would name some other, shorter file.
bool IsUsableName(const std::string& name) {
    return !name.empty() && name.find('\0') == std::string::npos;
}

int OpenRetrying(const std::string& name, int flags) {
    int descriptor;
    do {
        descriptor = ::open(name.c_str(), flags, 0666);
    } while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

std::string FolderOf(const std::string& name) {
    const auto slash = name.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : name.substr(0, slash);
}

// Whether entry, in folder, belongs to neither this user nor the folder's
// owner while the folder is sticky and writable by everyone: another user
// put it there.
bool IsAnotherUsersInSharedFolder(const std::string& folderName, const struct stat& entry) {
    struct stat folder {};
    if (::stat(folderName.c_str(), &folder) != 0) return false;
    const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return shared && entry.st_uid != ::geteuid() && entry.st_uid != folder.st_uid;
}

// The rule the kernel applies when it protects links: a link in a folder
// that is sticky and writable by everyone is followed only by its owner, or
// when it belongs to the folder's owner. A link owned by either cannot be
// swapped by anyone else after this check, thanks to the sticky bit.
bool IsPlantedLink(const std::string& name, const struct stat& link) {
    return IsAnotherUsersInSharedFolder(FolderOf(name), link);
}

constexpr const char* kOthersFile = "a file of another user's in a shared folder is not replaced";

// Whether the opened file, found by the resolved path of name, is another
// user's in a shared folder (a link of one's own may lead into one).
bool ResolvesToAnotherUsersFile(const std::string& name, const struct stat& opened) {
    std::error_code resolveError;
    const std::filesystem::path resolved = std::filesystem::canonical(name, resolveError);
    return !resolveError && IsAnotherUsersInSharedFolder(resolved.parent_path().string(), opened);
}

OpenedResultFile Refused(int descriptor, std::string failure) {
    ::close(descriptor);
    return {-1, std::move(failure)};
}

std::filesystem::path ResolvedPath(const std::string& name, std::error_code& error) {
    const std::filesystem::path absolute = std::filesystem::absolute(name, error);
    if (error) return {};
    return std::filesystem::weakly_canonical(absolute, error).lexically_normal();
}

enum class Accepts {
    RegularFiles,     // every output but the result
    PipesAndDevices,  // the result file: a regular file, a pipe with a reader or a device
};

// The checks every output's open makes (see the header), in one place.
OpenedResultFile OpenChecked(const std::string& name, const std::vector<NamedFile>& notThese,
                             Accepts accepts) {
    if (name.empty()) return {-1, "no file name given"};
    if (name.find('\0') != std::string::npos) return {-1, "the name holds a NUL byte"};

    // By name first, so that a file not there yet is not created to be
    // refused; by identity again once opened.
    if (const NamedFile* same = FileAmong(name, notThese)) return {-1, "it is " + same->what};
    // A name that is not a link when looked at must not become one before
    // the open; one that is a link is checked before it is followed.
    struct stat entry {};
    const bool exists = ::lstat(name.c_str(), &entry) == 0;
    const bool isLink = exists && S_ISLNK(entry.st_mode);
    if (isLink && IsPlantedLink(name, entry)) {
        return {-1, Failure(name, "a link of another user's in a shared folder is not followed")};
    }
    // Looked at before the open too, which the kernel may refuse for it
    // with a reason that says less.
    if (exists && !isLink && IsAnotherUsersInSharedFolder(FolderOf(name), entry)) {
        return {-1, Failure(name, kOthersFile)};
    }
    // Not truncated here: the checks below may refuse the file. A pipe
    // nobody reads refuses a non-blocking open instead of holding the run
    // for ever.
    constexpr int kFlags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    const int descriptor = OpenRetrying(name, isLink ? kFlags : kFlags | O_NOFOLLOW);
    if (descriptor < 0) {
        const int error = errno;
        if (error == ENXIO) {
            return {-1,
                    Failure(name, accepts == Accepts::PipesAndDevices ? "a pipe that nobody reads"
                                                                      : "not a regular file")};
        }
        return {-1, Failure(name, SystemReason(error))};
    }
    struct stat info {};
    if (::fstat(descriptor, &info) != 0) {
        return Refused(descriptor, Failure(name, SystemReason(errno)));
    }
    if (isLink && ResolvesToAnotherUsersFile(name, info)) {
        return Refused(descriptor, Failure(name, kOthersFile));
    }
    for (const NamedFile& other : notThese) {
        struct stat otherInfo {};
        if (!IsUsableName(other.name) || ::stat(other.name.c_str(), &otherInfo) != 0) continue;
        if (otherInfo.st_dev == info.st_dev && otherInfo.st_ino == info.st_ino) {
            return Refused(descriptor, "it is " + other.what);
        }
    }
    if (accepts == Accepts::RegularFiles && !S_ISREG(info.st_mode)) {
        return Refused(descriptor, Failure(name, "not a regular file"));
    }
    // Files and pipes are locked; a device such as /dev/null or a terminal
    // is shared by every program that writes to it and stays unlocked. Only
    // a lock held elsewhere refuses the file: a file system without locks is
    // written unlocked.
    const bool lockable = S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode);
    if (lockable && ::flock(descriptor, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        return Refused(descriptor, "in use by another run");
    }
    // The writes wait for a pipe's reader as usual.
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        (S_ISREG(info.st_mode) && ::ftruncate(descriptor, 0) != 0)) {
        return Refused(descriptor, Failure(name, SystemReason(errno)));
    }
    return {descriptor, {}};
}

}  // namespace

bool NameOneFile(const std::string& first, const std::string& second) {
    if (!IsUsableName(first) || !IsUsableName(second)) return false;
    if (first == second) return true;
    struct stat firstInfo {};
    struct stat secondInfo {};
    if (::stat(first.c_str(), &firstInfo) == 0 && ::stat(second.c_str(), &secondInfo) == 0) {
        return firstInfo.st_dev == secondInfo.st_dev && firstInfo.st_ino == secondInfo.st_ino;
    }
    std::error_code error;
    const std::filesystem::path one = ResolvedPath(first, error);
    if (error) return false;
    const std::filesystem::path other = ResolvedPath(second, error);
    return !error && one == other;
}

const NamedFile* FileAmong(const std::string& name, const std::vector<NamedFile>& others) {
    for (const NamedFile& other : others) {
        if (NameOneFile(name, other.name)) return &other;
    }
    return nullptr;
}

OpenedResultFile OpenResultFileForWriting(const std::string& name,
                                          const std::vector<NamedFile>& notThese) {
    return OpenChecked(name, notThese, Accepts::PipesAndDevices);
}

OpenedResultFile OpenOutputFileForWriting(const std::string& name,
                                          const std::vector<NamedFile>& notThese) {
    return OpenChecked(name, notThese, Accepts::RegularFiles);
}

std::string WriteOutputFile(const std::string& name, std::string_view text,
                            const std::vector<NamedFile>& notThese) {
    const OpenedResultFile opened = OpenOutputFileForWriting(name, notThese);
    if (opened.descriptor < 0) return opened.failure;
    std::size_t done = 0;
    int error = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(opened.descriptor, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            error = written < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(written);
    }
    // No retry on EINTR: the descriptor is released whatever close reports.
    if (::close(opened.descriptor) != 0 && error == 0) error = errno;
    return error == 0 ? std::string() : Failure(name, SystemReason(error));
}

std::string FullPathForMessage(const std::string& name) {
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(name, error);
    return error ? name : full.lexically_normal().string();
}

}  // namespace tarvo
