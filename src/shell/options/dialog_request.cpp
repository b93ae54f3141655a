#include "shell/options/dialog_request.h"

#include "request/job_file.h"
#include "request/option_table.h"

namespace tarvo::shell {

request::RequestTexts DialogTexts(const DialogControls& controls, int mode,
                                  const EstimatorChoice& estimator,
                                  const std::vector<std::pair<std::string, std::string>>& format) {
    request::RequestTexts texts;
    for (const request::OptionSpec& option : request::RunOptions()) {
        if (option.controlId != 0)
            texts.controls[option.controlId] = controls.Text(option.controlId);
    }
    texts.mode = std::to_string(mode);
    estimator.PutInto(texts);
    texts.format = format;
    return texts;
}

DialogJob ReadDialogJob(const std::string& path) {
    DialogJob job;
    request::RequestTexts texts;
    if (std::string problem = request::ReadJobFile(path, texts); !problem.empty()) {
        job.message = "ERROR The settings in " + problem;
        return job;
    }
    texts.threads.reset();
    texts.standardize.reset();
    texts.report.reset();
    request::RequestCheck check = request::ParseRequest(texts);
    if (!check.request) {
        job.message = "ERROR The settings in job file " + path + ": " + check.message;
        return job;
    }
    job.request = std::move(check.request);
    job.form = FormOf(texts);
    return job;
}

void PutIntoBoxes(const RunRequest& request, DialogControls& controls) {
    request::RequestTexts texts;
    for (const auto& [name, value] : request::RequestOptions(request)) {
        request::ApplyOption(name, value, texts);
    }
    for (const request::OptionSpec& option : request::RunOptions()) {
        if (option.controlId == 0) continue;
        const auto text = texts.controls.find(option.controlId);
        controls.SetText(option.controlId, text == texts.controls.end() ? "" : text->second);
    }
}

request::RequestTexts KeptGroupTexts(const RunRequest& request) {
    request::RequestTexts texts;
    for (const auto& [name, value] : request::RequestOptions(request)) {
        if (name == "group-column") request::ApplyOption(name, value, texts);
    }
    return texts;
}

}  // namespace tarvo::shell
