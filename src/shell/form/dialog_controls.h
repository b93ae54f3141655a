#pragma once

#include <string>

// The main dialog as the commands see it: controls reached only by their
// numeric identifiers. The Qt dialog implements it over its widgets; a
// control that does not exist reads as empty and unchecked and ignores writes.
namespace tarvo::shell {

class DialogControls {
  public:
    virtual ~DialogControls() = default;
    virtual std::string Text(int id) const = 0;
    virtual void SetText(int id, const std::string& text) = 0;
    virtual bool IsChecked(int id) const = 0;
    virtual void SetChecked(int id, bool checked) = 0;
    virtual bool IsEnabled(int id) const = 0;
    virtual void SetEnabled(int id, bool enabled) = 0;
};

}  // namespace tarvo::shell
