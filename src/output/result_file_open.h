#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvo {

// A file the program opened for writing, or why it could not be.
struct OpenedResultFile {
    int descriptor = -1;  // -1 when not opened
    std::string failure;  // for the user; empty when opened
};

// A file a run reads or writes, and what it is in a message ("the
// response file", "the result file").
struct NamedFile {
    std::string name;
    std::string what;
};

// Whether two names are one file: the same device and inode when both
// exist, otherwise the same path once resolved (a relative name against the
// current folder, links of the folders followed, "." and ".." and doubled
// slashes taken out), so that two outputs not written yet are told apart
// too. An empty name is no file.
bool NameOneFile(const std::string& first, const std::string& second);

// The first of others that name is (by NameOneFile), or nullptr.
const NamedFile* FileAmong(const std::string& name, const std::vector<NamedFile>& others);

// Every file the program writes is opened by one of the two below, which
// share these checks, made without ever waiting:
// - a final link that lies in a folder anyone may write to with the sticky
//   bit set (/tmp) is followed only when it belongs to this user or to the
//   folder's owner, so another user cannot redirect the output onto a file
//   of this user's;
// - a file or a pipe of another user's (not the folder's owner's) in such a
//   folder is not replaced, however it is reached;
// - the open does not wait for a pipe's reader: a pipe nobody reads is
//   refused;
// - a file that is one of notThese, compared by device and inode once
//   opened, is refused ("it is the response file"), however it is spelled;
// - the file is opened without truncation and emptied only once this
//   process holds an exclusive lock on it, so a run that finds the lock
//   held elsewhere ("in use by another run") leaves the file untouched and
//   a run still reading it (which holds a shared lock) keeps its data;
// - any other failure names the full path the name resolved to and the
//   system's reason.

// The result file: a pipe that a reader has open, and a device (/dev/null,
// a terminal) are written too; pipes are locked as files are, devices are
// shared and are not.
OpenedResultFile OpenResultFileForWriting(const std::string& name,
                                          const std::vector<NamedFile>& notThese = {});

// Every other output (the JSON report, a score table, a job file, the files
// of a link, the desktop's exports), whose text replaces the file's: only a
// regular file is written, anything else is refused ("not a regular
// file") before anything is done to it.
OpenedResultFile OpenOutputFileForWriting(const std::string& name,
                                          const std::vector<NamedFile>& notThese);

// Writes text as the whole of the file name through OpenOutputFileForWriting;
// empty, or why it was not written (the open's failure, or the full path
// and the system's reason for a failed write).
std::string WriteOutputFile(const std::string& name, std::string_view text,
                            const std::vector<NamedFile>& notThese);

// name as an absolute path, for messages: a relative name is resolved
// against the current folder, and "." and ".." are taken out lexically.
std::string FullPathForMessage(const std::string& name);

}  // namespace tarvo
