#pragma once

#include <QPointer>
#include <QWidget>

#include "shell/files/file_selection.h"

namespace tarvo::shell {

// The open and save pickers as Qt file dialogs owned by the main dialog.
class QtFilePicker final : public FilePicker {
  public:
    explicit QtFilePicker(QWidget* owner) : owner_(owner) {}
    std::optional<std::string> PickOpen(const PickerRequest& request) override;
    std::optional<std::string> PickSave(const PickerRequest& request) override;

  private:
    std::optional<std::string> Pick(const PickerRequest& request, bool save);
    QPointer<QWidget> owner_;
};

}  // namespace tarvo::shell
