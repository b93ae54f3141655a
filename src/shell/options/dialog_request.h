#pragma once

#include <string>

#include "request/request_parser.h"
#include "request/request_texts.h"
#include "shell/form/dialog_controls.h"
#include "shell/options/estimator_choice.h"

// The dialog's side of the run request: its settings as the request's
// texts (the one parser turns them into the run's values), and a job file's
// settings put back into the dialog.
namespace tarvo::shell {

// The texts of every box the option table names, the mode, the method and,
// with the marginal estimator, its options; format: the response file's
// layout entries the dialog keeps (from a loaded job file).
request::RequestTexts DialogTexts(const DialogControls& controls, int mode,
                                  const EstimatorChoice& estimator,
                                  const std::vector<std::pair<std::string, std::string>>& format);

// What a job file holds for the dialog, read and checked by the request
// parser: its request (every box, the mode, the method, the marginal
// options) and the marginal form as the job gives it. The runner's own
// settings (threads, the standardise answer, the report) are not the
// dialog's: it uses every core, asks the question and writes no report.
struct DialogJob {
    std::optional<RunRequest> request;  // nothing: the job was refused
    MarginalOptionsForm form;
    std::string message;  // the refusal, naming the file
};
DialogJob ReadDialogJob(const std::string& path);

// Puts a job's request into the boxes (a box the job does not name becomes
// empty); the mode buttons, the method and the options are the caller's.
void PutIntoBoxes(const RunRequest& request, DialogControls& controls);

// A job's group column (a delimited file's), which has no box in the
// dialog, as a text the dialog keeps and gives back with its boxes; the
// fixed group field's start and length are boxes, and the groups to compare
// are the options dialog's.
request::RequestTexts KeptGroupTexts(const RunRequest& request);

}  // namespace tarvo::shell
