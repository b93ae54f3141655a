#pragma once

#include <string>
#include <utility>
#include <vector>

#include "linking/link_options.h"
#include "linking/link_session.h"
#include "output/result_file_open.h"

// What both linking commands write, shared by the runner and the library so
// that the same options write the same files: the files by option, their
// clash check, the link's data files and a form's score table.
namespace tarvo::linking {

using NamedOptions = std::vector<std::pair<std::string, std::string>>;

// The files a link reads and writes, by option ("--base-items", file).
NamedOptions InputsOf(const LinkOptions& options);
NamedOptions OutputsOf(const LinkOptions& options);

// Empty, or why an output may not be written: it names an input or another
// output (OutputClash over the files above).
std::string FileClash(const LinkOptions& options);

// Every other file of the command, which the file at path may not be.
std::vector<NamedFile> NotThese(const LinkOptions& options, const std::string& path);

// What writing said: a line per file written, and an error per file that
// could not be (naming it and why).
struct WrittenFiles {
    std::vector<std::string> lines;
    std::vector<std::string> errors;
};

// The link's data files the options ask for: the transformed items, the
// transformed abilities, the equating table and the score table. The
// outcome must be whole (no error).
WrittenFiles WriteLinkFiles(const LinkOptions& options, const LinkOutcome& outcome);

// One form's summed-score table over the request's population, with the
// form's curves: what --items reports.
struct FormScores {
    std::vector<ScoreRow> table;
    TestCurves curves;
};
FormScores ScoresOfForm(const ItemForm& form, const PopulationSettings& population);

// The score table's file the options ask for, of --items.
WrittenFiles WriteFormScoreTable(const LinkOptions& options, const std::vector<ScoreRow>& table);

// Writes a report's text (JSON or HTML) to path, or adds the error.
void WriteReport(const LinkOptions& options, const std::string& path, const std::string& text,
                 WrittenFiles& written);

}  // namespace tarvo::linking
