#include "input/settings_reader.h"

#include "input/text_rules.h"
#include "platform/control_ids.h"

namespace tarvo {

namespace {

FieldSpec ReadFieldSpec(const ControlTexts& texts, int startId, int lengthId) {
    FieldSpec field;
    field.start = ReadNumberBox(texts, startId);
    field.length = ReadNumberBox(texts, lengthId);
    return field;
}

}  // namespace

std::uint16_t ReadNumberBox(const ControlTexts& texts, int controlId) {
    return DialogNumber(texts.ControlText(controlId));
}

std::uint16_t ReadItemCount(const ControlTexts& texts) {
    return ReadNumberBox(texts, control::kItemCount);
}

std::string ReadItemParameterFileName(const ControlTexts& texts) {
    return TrimSpaces(texts.ControlText(control::kItemParameterFile));
}

void ReadItemParameterFields(const ControlTexts& texts, RunSettings& settings) {
    settings.aField = ReadFieldSpec(texts, control::kAStart, control::kALength);
    settings.bField = ReadFieldSpec(texts, control::kBStart, control::kBLength);
    settings.cField = ReadFieldSpec(texts, control::kCStart, control::kCLength);
    settings.itemIdField = ReadFieldSpec(texts, control::kItemIdStart, control::kItemIdLength);
}

std::string ReadResponseFileName(const ControlTexts& texts) {
    return texts.ControlText(control::kResponseFile);
}

void ReadResponseFields(const ControlTexts& texts, RunSettings& settings) {
    settings.examineeIdField =
        ReadFieldSpec(texts, control::kExamineeIdStart, control::kExamineeIdLength);
    settings.thetaField = ReadFieldSpec(texts, control::kThetaStart, control::kThetaLength);
    settings.responseStart = ReadNumberBox(texts, control::kResponseStart);
}

RunSettings ReadRunSettings(const ControlTexts& texts) {
    RunSettings settings;
    settings.itemCount = ReadItemCount(texts);
    settings.itemParameterFile = ReadItemParameterFileName(texts);
    if (!settings.itemParameterFile.empty()) ReadItemParameterFields(texts, settings);
    settings.responseFile = ReadResponseFileName(texts);
    ReadResponseFields(texts, settings);
    return settings;
}

}  // namespace tarvo
