#pragma once

#include <cstdint>

#include "core/run_tables.h"
#include "platform/control_texts.h"

namespace tarvo {

// The number box with the given control identifier, by the DialogNumber rule.
std::uint16_t ReadNumberBox(const ControlTexts& texts, int controlId);

// The pieces of RunSettings, each read from its dialog controls. The run reads
// them in this order: item count, item parameter file name (trimmed of
// spaces), its four fields (a, b, c, Item ID; start then length) only when
// that file is to be read, the response file name exactly as typed, then the
// Examinee ID, theta and response start fields.
std::uint16_t ReadItemCount(const ControlTexts& texts);
std::string ReadItemParameterFileName(const ControlTexts& texts);
void ReadItemParameterFields(const ControlTexts& texts, RunSettings& settings);
std::string ReadResponseFileName(const ControlTexts& texts);
void ReadResponseFields(const ControlTexts& texts, RunSettings& settings);

// All settings at once, in the order above, without any existence check: the
// item parameter fields are read when the trimmed item file name is not empty.
RunSettings ReadRunSettings(const ControlTexts& texts);

}  // namespace tarvo
