#pragma once

#include <string>

namespace tarvo {

// Where a run reads its settings: the current text of a dialog control, by
// its numeric identifier (see control_ids.h). A control that does not exist,
// or an option that was not given, reads as an empty text.
class ControlTexts {
  public:
    virtual ~ControlTexts() = default;
    virtual std::string ControlText(int controlId) const = 0;
};

}  // namespace tarvo
