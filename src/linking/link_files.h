#pragma once

#include <string>
#include <vector>

#include "linking/forms/form_reader.h"
#include "linking/tables/score_table.h"
#include "linking/tables/true_score_equating.h"
#include "output/result_file_open.h"

// The files a link writes besides its report, each with CR LF line ends,
// and the file checks both front ends make before writing. Each is written
// through the program's checked open (output/result_file_open.h), never
// over one of notThese: the link's inputs and its other outputs.
namespace tarvo::linking {

// The items in fixed columns, one line per item without header: the ID,
// then a, b and c with five decimals, then their standard errors. With IDs
// of at most 8 characters and values below 1000 this is the layout of the
// bundled samples (ID 1-8, a 22-30, b 32-40, c 42-50); longer IDs or values
// widen the columns. columns receives where each field went.
bool WriteItemFile(const std::string& path, const ItemForm& items, ItemColumns& columns,
                   const std::vector<NamedFile>& notThese, std::string& error);

// The command-line options that read a file written in these columns.
std::string ColumnOptions(const ItemColumns& columns);

// score,proportion,eap,eap_sd,ml: the ML field empty where there is none.
std::string ScoreTableText(const std::vector<ScoreRow>& rows);
bool WriteScoreTable(const std::string& path, const std::vector<ScoreRow>& rows,
                     const std::vector<NamedFile>& notThese, std::string& error);

// new_score,theta,base_score: theta empty where the straight line equates.
bool WriteEquatingTable(const std::string& path, const std::vector<EquatingRow>& rows,
                        const std::vector<NamedFile>& notThese, std::string& error);

// The person section of a result file with theta and its error carried to
// the base scale (A theta + B, A se), in the result file's own layout.
bool WriteTransformedAbilities(const std::string& resultFile, const std::string& path, double A,
                               double B, const std::vector<NamedFile>& notThese,
                               std::string& error);

// Writes text to path as it is; false with a message naming the file and
// why when it cannot be written.
bool WriteTextFile(const std::string& path, const std::string& text,
                   const std::vector<NamedFile>& notThese, std::string& error);

// Empty, or why an output file may not be written: it names one of the
// inputs (which it would overwrite) or another output, however either is
// spelled (NameOneFile). Each pair is the option and the file.
std::string OutputClash(const std::vector<std::pair<std::string, std::string>>& inputs,
                        const std::vector<std::pair<std::string, std::string>>& outputs);

// Every file of inputs and outputs but path itself, as notThese for the
// writers above; each named by its option ("the --base-items file").
std::vector<NamedFile> OtherFiles(const std::string& path,
                                  const std::vector<std::pair<std::string, std::string>>& inputs,
                                  const std::vector<std::pair<std::string, std::string>>& outputs);

}  // namespace tarvo::linking
