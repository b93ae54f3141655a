#pragma once

#include <string>

// Where the program's own files are: the folder of the real executable, with
// symbolic links resolved, so that a program started through a link in
// P/bin still finds its help document in P/lib/tarvo.
namespace tarvo::shell {

// The folder of the running program's file, without a trailing separator.
// Needs the QApplication.
std::string ProgramFolder();

// The name "Help" opens: the help document in the current directory when it
// is there, else the copy in programFolder when that one is there, else the
// bare name (which the desktop then fails to open, silently).
std::string HelpDocumentToOpen(const std::string& programFolder);

}  // namespace tarvo::shell
