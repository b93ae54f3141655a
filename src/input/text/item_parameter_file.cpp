#include "input/text/item_parameter_file.h"

#include <algorithm>

#include "input/text/text_rules.h"

namespace tarvo {

namespace {

void ReadParameter(std::string_view line, FieldSpec field, double& parameter) {
    if (field.length != 0) parameter = TextToNumber(CutField(line, field));
}

}  // namespace

ReadStatus ReadItemParameterFile(const std::string& path, const RunSettings& settings,
                                 ItemTable& items, std::vector<char>* linesGiven,
                                 std::vector<std::array<std::string, 3>>* fieldTexts,
                                 const StopPoll& stop) {
    const std::size_t lineKept =
        std::max({FieldEnd(settings.itemIdField), FieldEnd(settings.aField),
                  FieldEnd(settings.bField), FieldEnd(settings.cField)});
    LineReader reader(path, LineReader::kDefaultBufferSize, stop);
    std::string line;
    for (std::size_t i = 0; i < items.itemCount(); ++i) {
        reader.ReadLine(line, lineKept);
        if (linesGiven != nullptr) {
            (*linesGiven)[i] = line.find_first_not_of(" \t") != std::string::npos ? 1 : 0;
        }
        if (settings.itemIdField.length != 0) {
            items.AccNo[i] = std::string(CutField(line, settings.itemIdField));
        }
        ReadParameter(line, settings.aField, items.a[i]);
        ReadParameter(line, settings.bField, items.b[i]);
        ReadParameter(line, settings.cField, items.c[i]);
        if (fieldTexts != nullptr) {
            std::array<std::string, 3>& texts = (*fieldTexts)[i];
            const FieldSpec* fields[] = {&settings.aField, &settings.bField, &settings.cField};
            for (std::size_t p = 0; p < 3; ++p) {
                texts[p] = fields[p]->length != 0 ? std::string(CutField(line, *fields[p])) : "";
            }
        }
    }
    return reader.Status();
}

}  // namespace tarvo
