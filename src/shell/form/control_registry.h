#pragma once

#include <QPointer>
#include <QWidget>
#include <map>

#include "shell/form/dialog_controls.h"

// The main dialog's controls by numeric identifier: the one way the commands,
// the run and the tests reach a control.
namespace tarvo::shell {

class ControlRegistry final : public DialogControls {
  public:
    void Add(int id, QWidget* control);
    QWidget* Find(int id) const;

    std::string Text(int id) const override;
    void SetText(int id, const std::string& text) override;
    bool IsChecked(int id) const override;
    void SetChecked(int id, bool checked) override;
    bool IsEnabled(int id) const override;
    void SetEnabled(int id, bool enabled) override;

  private:
    std::map<int, QPointer<QWidget>> controls_;
};

// Labels keep their text exactly as set, carriage returns included, and show
// each carriage return (or CR LF) as a line break.
void SetLabelText(QWidget* label, const QString& text);

}  // namespace tarvo::shell
