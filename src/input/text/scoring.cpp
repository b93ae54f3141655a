#include "input/text/scoring.h"

#include <algorithm>

#include "core/run_tables.h"
#include "input/text/number_text.h"

namespace tarvo {

std::string DefaultAnswerKey(std::size_t itemCount) { return std::string(itemCount, '1'); }

std::uint8_t ScoreResponse(char response, char keyChar) {
    if (response == ' ' || response == '9') return kNoResponse;
    return response == keyChar ? kCorrect : kIncorrect;
}

std::uint8_t ScoreDigit(char response) {
    return response >= '0' && response <= '8' ? static_cast<std::uint8_t>(response - '0')
                                              : kNoResponse;
}

std::uint8_t ScoreOption(char response) {
    return response >= '1' && response <= '8' ? static_cast<std::uint8_t>(response - '1')
                                              : kNoResponse;
}

void AppendOptionCodes(std::string_view present, std::size_t itemCount, PersonTable& persons) {
    std::vector<std::uint8_t>& codes = persons.responses;
    const std::size_t at = codes.size();
    codes.resize(at + itemCount, kNoResponse);
    const std::size_t read = std::min(present.size(), itemCount);
    for (std::size_t i = 0; i < read; ++i) codes[at + i] = ScoreOption(present[i]);
}

void AppendScoredResponses(std::string_view present, std::size_t blanks, std::string_view key,
                           std::size_t itemCount, PersonTable& persons, bool byDigit) {
    // The table grows once per examinee, then the codes are written in place.
    std::vector<std::uint8_t>& codes = persons.responses;
    const std::size_t at = codes.size();
    codes.resize(at + itemCount, kIncorrect);
    std::uint8_t* out = codes.data() + at;
    // A key shorter than the field (from a short key record at column 0) has
    // nothing to match beyond its end.
    const std::size_t keyed = std::min(present.size(), key.size());
    if (byDigit && persons.keyed.empty()) {
        persons.keyed.assign(itemCount, 1);
        for (std::size_t i = 0; i < keyed; ++i) persons.keyed[i] = key[i] != kScoredByDigit;
    }
    for (std::size_t i = 0; i < keyed; ++i) {
        out[i] = byDigit && key[i] == kScoredByDigit ? ScoreDigit(present[i])
                                                     : ScoreResponse(present[i], key[i]);
    }
    for (std::size_t i = keyed; i < present.size(); ++i) out[i] = ScoreResponse(present[i], ' ');
    std::fill_n(out + present.size(), blanks, kNoResponse);
}

void AppendOptions(std::string_view present, std::size_t itemCount, std::vector<char>& options) {
    const std::size_t kept = std::min(present.size(), itemCount);
    options.insert(options.end(), present.begin(),
                   present.begin() + static_cast<std::ptrdiff_t>(kept));
    options.insert(options.end(), itemCount - kept, ' ');
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

void GroupLabeller::Append(std::string_view field, PersonTable& persons) {
    const std::string_view label = TrimBlanks(field);
    if (label.empty()) {
        persons.group.push_back(PersonTable::kNoGroup);
        return;
    }
    const auto known = index_.find(label);
    if (known != index_.end()) {
        persons.group.push_back(known->second);
        return;
    }
    const auto next = static_cast<std::int32_t>(persons.groupLabels.size());
    index_.emplace(std::string(label), next);
    persons.groupLabels.emplace_back(label);
    persons.group.push_back(next);
}

}  // namespace tarvo
