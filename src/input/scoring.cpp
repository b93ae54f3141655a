#include "input/scoring.h"

#include <algorithm>

#include "core/run_tables.h"

namespace tarvo {

std::string DefaultAnswerKey(std::size_t itemCount) { return std::string(itemCount, '1'); }

std::uint8_t ScoreResponse(char response, char keyChar) {
    if (response == ' ' || response == '9') return kNoResponse;
    return response == keyChar ? kCorrect : kIncorrect;
}

bool IsBlankResponseField(std::string_view field, std::size_t itemCount) {
    return field.size() == itemCount &&
           std::all_of(field.begin(), field.end(), [](char ch) { return ch == ' '; });
}

bool IsKeyIdentifier(std::string_view identifier) {
    if (identifier.size() < 3) return false;
    // Upper case by ASCII only, whatever the locale.
    auto upper = [](char ch) { return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 32) : ch; };
    return upper(identifier[0]) == 'K' && upper(identifier[1]) == 'E' &&
           upper(identifier[2]) == 'Y';
}

}  // namespace tarvo
