#pragma once

#include <QString>
#include <optional>
#include <string>

#include "shell/files/file_selection.h"

// Pictures of the results window for the documentation: a mode 3 run of the
// sample response file from the dialog, then one picture of every tab and
// of every plot, saved as tarvo-results-<tab>.png in the folder.
namespace tarvo::shell {

// Chooses the given file as the response file; everything else is left alone.
class SamplePicker final : public FilePicker {
  public:
    explicit SamplePicker(std::string sample) : sample_(std::move(sample)) {}
    std::optional<std::string> PickOpen(const PickerRequest&) override { return sample_; }
    std::optional<std::string> PickSave(const PickerRequest&) override { return std::nullopt; }

  private:
    std::string sample_;
};

// 0 when every picture was saved.
int SaveResultsScreenshots(const QString& sampleResponses, const QString& folder);

}  // namespace tarvo::shell
