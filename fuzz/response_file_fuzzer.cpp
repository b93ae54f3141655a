// The response file reader with its scoring and key record.
//
// Input: six bytes of settings (item count, response start column, examinee
// ID start and length, theta start and length, all small), then the file.
// The reader's table is compared with a plain model of the reading rules
// built on the model lines.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/run_tables.h"
#include "fuzz_support.h"
#include "input/text/response_file.h"
#include "input/text/text_rules.h"

namespace {

using tarvo::FieldSpec;

std::string_view ModelCut(std::string_view line, FieldSpec field) {
    if (field.start == 0 || field.start > line.size()) return {};
    return line.substr(field.start - 1u, field.length);
}

bool StartsWithKey(std::string_view identifier) {
    if (identifier.size() < 3) return false;
    std::string head(identifier.substr(0, 3));
    for (char& ch : head) {
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    }
    return head == "KEY";
}

// The code of one response: blank or "9" is missing, then an exact match
// with the key is correct. A missing key character matches nothing. A
// response that is not there at all (the field at column 0) is empty text,
// whose number is 0: incorrect.
std::uint8_t ModelCode(std::string_view responses, std::string_view key, std::size_t item) {
    if (item >= responses.size()) return 0;
    const char response = responses[item];
    if (response == ' ' || response == '9') return 9;
    return item < key.size() && key[item] == response ? 1 : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tarvo::fuzz::MemoryFile file;
    tarvo::fuzz::InputBytes input(data, size);
    tarvo::RunSettings settings;
    settings.itemCount = input.Byte() % 24;
    settings.responseStart = input.Byte() % 40;
    settings.examineeIdField = {static_cast<std::uint16_t>(input.Byte() % 40),
                                static_cast<std::uint16_t>(input.Byte() % 16)};
    settings.thetaField = {static_cast<std::uint16_t>(input.Byte() % 40),
                           static_cast<std::uint16_t>(input.Byte() % 16)};
    const std::string_view bytes = input.Rest();

    tarvo::PersonTable persons;
    FUZZ_CHECK(tarvo::ReadResponseFile(file.Write(bytes), settings, persons) ==
               tarvo::ReadStatus::Read);

    const std::size_t itemCount = settings.itemCount;
    const std::size_t personCount = persons.personCount();
    FUZZ_CHECK(persons.itemCount == itemCount);
    FUZZ_CHECK(persons.responses.size() == personCount * itemCount);
    FUZZ_CHECK(persons.ExaminID.size() == personCount);
    FUZZ_CHECK(persons.seetheta.size() == personCount);
    FUZZ_CHECK(persons.Nvalid.size() == personCount);
    for (std::uint8_t code : persons.responses) FUZZ_CHECK(code == 0 || code == 1 || code == 9);
    for (const std::string& id : persons.ExaminID) {
        FUZZ_CHECK(id.size() <= settings.examineeIdField.length);
    }

    // The model: lengthen, skip blank response fields, take leading key
    // records, and score the rest in file order.
    const std::size_t lineLength = settings.responseStart + itemCount;
    std::string key(itemCount, '1');
    std::size_t nonBlankLines = 0;
    std::size_t examinee = 0;
    for (std::string line : tarvo::fuzz::ModelLines(bytes)) {
        if (line.size() < lineLength) line.resize(lineLength, ' ');
        const std::string_view responses =
            settings.responseStart == 0
                ? std::string_view()
                : std::string_view(line).substr(settings.responseStart - 1u, itemCount);
        if (responses.size() == itemCount &&
            std::all_of(responses.begin(), responses.end(), [](char ch) { return ch == ' '; })) {
            continue;
        }
        ++nonBlankLines;
        const std::string_view identifier = ModelCut(line, settings.examineeIdField);
        if (examinee == 0 && settings.examineeIdField.length != 0 && StartsWithKey(identifier)) {
            key.assign(responses);
            continue;
        }

        FUZZ_CHECK(examinee < personCount);
        const auto codes = persons.ResponsesOf(examinee);
        for (std::size_t item = 0; item < itemCount; ++item) {
            FUZZ_CHECK(codes[item] == ModelCode(responses, key, item));
        }
        const double theta = settings.thetaField.length == 0
                                 ? 0.0
                                 : tarvo::TextToNumber(ModelCut(line, settings.thetaField));
        FUZZ_CHECK(persons.theta[examinee] == theta);
        FUZZ_CHECK(persons.ExaminID[examinee] ==
                   (settings.examineeIdField.length == 0 ? std::string_view() : identifier));
        ++examinee;
    }
    FUZZ_CHECK(personCount <= nonBlankLines);
    FUZZ_CHECK(personCount == examinee);
    return 0;
}
