#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tarvo {

// A result file opened for writing, or why it could not be.
struct OpenedResultFile {
    int descriptor = -1;  // -1 when not opened
    std::string failure;  // for the user; empty when opened
};

// Opens name for writing, creating it if need be, and empties it once this
// process holds an exclusive lock on it:
// - the file is opened without truncation, so a run that finds the lock held
//   elsewhere ("in use by another run") leaves the file untouched; pipes are
//   locked as well, devices (/dev/null, a terminal) are shared and are not;
// - a final link that lies in a folder anyone may write to with the sticky
//   bit set (/tmp) is followed only when it belongs to this user or to the
//   folder's owner, so another user cannot redirect the result onto a file
//   of this user's;
// - any other failure names the full path the name resolved to and the
//   system's reason.
OpenedResultFile OpenResultFileForWriting(const std::string& name);

// Opens name for the run's JSON report, which replaces the file's text:
// - a link is refused as the result file refuses it (another user's in a
//   sticky folder anyone may write to);
// - the open never waits (a FIFO without a reader), and anything but a
//   regular file is refused, as is a file of another user's (not the
//   folder's owner's) in such a folder, which the kernel's protected_regular
//   rule would refuse too;
// - a file that is one of notThese (name, what it is: "the result file"),
//   compared by device and inode after opening, is refused ("it is the
//   result file"), however it is spelled;
// and only then is the file emptied. On failure the descriptor is -1 and
// failure says why.
OpenedResultFile OpenReportFileForWriting(
    const std::string& name, const std::vector<std::pair<std::string, std::string>>& notThese);

// name as an absolute path, for messages: a relative name is resolved
// against the current folder, and "." and ".." are taken out lexically.
std::string FullPathForMessage(const std::string& name);

}  // namespace tarvo
