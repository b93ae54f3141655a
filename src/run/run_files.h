#pragma once

#include <string>
#include <vector>

#include "core/run_request.h"
#include "core/run_tables.h"
#include "output/result_file_open.h"

// The files a run reads and writes, by what they are, so that no output is
// written over an input or over another output of the same run.
namespace tarvo {

// The inputs a request names: the response file, the item parameter file
// (settings' own, which the front part clears when it does not read it),
// the key file and the item-models file.
std::vector<NamedFile> InputFilesOfRun(const RunRequest& request, const RunSettings& settings);

// The outputs it names: the result file, the JSON report, the score table,
// the HTML report.
std::vector<NamedFile> OutputFilesOfRun(const RunRequest& request);

// Every file the request names, inputs first: what a file written for it
// (its job file) must be none of.
std::vector<NamedFile> FilesOfRun(const RunRequest& request);

// The same but the output that is output, a member of request
// (&request.reportFile): what that output must be none of.
std::vector<NamedFile> FilesOfRunBeside(const RunRequest& request, const std::string& output);

// Empty, or why the run may not write its result or its score table: the
// file is one of its inputs ("ERROR Output file X is an input file.") or,
// for the score table, the result file or the report.
std::string OutputFileClash(const RunRequest& request, const RunSettings& settings);

}  // namespace tarvo
