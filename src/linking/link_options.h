#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "linking/link_session.h"

// The command line of the two linking commands of tarvo-run, which the
// library reads its typed link options through, so both refuse alike:
//   --link: put a new form on a base form's scale;
//   --items FILE --score-table FILE: one form's score table.
namespace tarvo::linking {

enum class LinkCommandKind { Link, ScoreTable };

struct LinkOptions {
    LinkCommandKind kind = LinkCommandKind::Link;
    bool help = false;
    bool quiet = false;   // no progress line
    LinkRequest request;  // with --items: basePath is the form, baseModel its model
    std::string reportFile;
    std::string htmlReportFile;  // the same as one printable HTML page
    std::string transformedItems;
    std::string abilitiesFrom, transformedAbilities;
    std::string scoreTable;
    std::string equatingTable;
};

struct LinkParse {
    std::optional<LinkOptions> options;
    std::string error;  // one line, when options is empty
};

// True when the arguments ask for one of the linking commands (--link, or
// --items), which are not calibration runs.
bool IsLinkCommand(const std::vector<std::string_view>& args);

// Whether --items must name a file to write the table to: the runner
// writes it or reports nothing, the library also hands it back in memory.
enum class TableFile { Required, Optional };

LinkParse ParseLinkCommandLine(const std::vector<std::string_view>& args,
                               TableFile tableFile = TableFile::Required);

std::string LinkHelpText();

}  // namespace tarvo::linking
