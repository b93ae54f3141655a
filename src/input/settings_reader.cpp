#include "input/settings_reader.h"

#include "input/text_rules.h"
#include "platform/control_ids.h"

namespace tarvo {

namespace {

std::uint16_t ReadNumberBox(const ControlTexts& texts, int controlId) {
    return DialogNumber(texts.ControlText(controlId));
}

FieldSpec ReadFieldSpec(const ControlTexts& texts, int startId, int lengthId) {
    FieldSpec field;
    field.start = ReadNumberBox(texts, startId);
    field.length = ReadNumberBox(texts, lengthId);
    return field;
}

void ReadItemParameterFields(const ControlTexts& texts, RunSettings& settings) {
    settings.aField = ReadFieldSpec(texts, control::kAStart, control::kALength);
    settings.bField = ReadFieldSpec(texts, control::kBStart, control::kBLength);
    settings.cField = ReadFieldSpec(texts, control::kCStart, control::kCLength);
    settings.itemIdField = ReadFieldSpec(texts, control::kItemIdStart, control::kItemIdLength);
}

void ReadResponseFields(const ControlTexts& texts, RunSettings& settings) {
    settings.examineeIdField =
        ReadFieldSpec(texts, control::kExamineeIdStart, control::kExamineeIdLength);
    settings.thetaField = ReadFieldSpec(texts, control::kThetaStart, control::kThetaLength);
    settings.responseStart = ReadNumberBox(texts, control::kResponseStart);
}

}  // namespace

RunSettings ReadRunSettings(const ControlTexts& texts) {
    RunSettings settings;
    settings.itemCount = ReadNumberBox(texts, control::kItemCount);
    settings.itemParameterFile = TrimSpaces(texts.ControlText(control::kItemParameterFile));
    if (!settings.itemParameterFile.empty()) ReadItemParameterFields(texts, settings);
    settings.responseFile = texts.ControlText(control::kResponseFile);
    ReadResponseFields(texts, settings);
    return settings;
}

}  // namespace tarvo
