#include "input/response_file.h"

#include <cstddef>

#include "input/line_reader.h"
#include "input/scoring.h"
#include "input/text_rules.h"

namespace tarvo {

namespace {

// Appends the codes of one examinee's response field to the table.
void AppendScoredResponses(std::string_view field, const std::string& key, std::size_t itemCount,
                           PersonTable& persons) {
    if (field.size() < itemCount) {
        // Only when the field starts at column 0: the examinee has no response
        // characters at all. The code of a character that is not there is the
        // number of empty text, 0: every item counts as answered incorrectly.
        persons.responses.insert(persons.responses.end(), itemCount, kIncorrect);
        return;
    }
    for (std::size_t i = 0; i < itemCount; ++i) {
        // A key shorter than the field (possible only from a column-0 key
        // record) has nothing to match beyond its end.
        const char keyChar = i < key.size() ? key[i] : ' ';
        persons.responses.push_back(ScoreResponse(field[i], keyChar));
    }
}

}  // namespace

PersonTable ReadResponseFile(const std::string& path, const RunSettings& settings) {
    const std::size_t itemCount = settings.itemCount;
    const FieldSpec responseField{settings.responseStart, settings.itemCount};
    const std::size_t lineLength = std::size_t{settings.responseStart} + itemCount;

    PersonTable persons;
    persons.itemCount = itemCount;
    std::string key = DefaultAnswerKey(itemCount);
    std::string line;

    LineReader reader(path);
    while (!reader.Ended()) {
        reader.ReadLine(line);
        if (line.size() < lineLength) line.resize(lineLength, ' ');

        const std::string_view responses = CutField(line, responseField);
        if (IsBlankResponseField(responses, itemCount)) continue;

        const std::string_view identifier = CutField(line, settings.examineeIdField);
        const bool identifierRead = settings.examineeIdField.length != 0;
        if (identifierRead && persons.theta.empty() && IsKeyIdentifier(identifier)) {
            key.assign(responses);
            continue;
        }

        // The vectors grow geometrically, so any number of examinees is read
        // with few reallocations.
        AppendScoredResponses(responses, key, itemCount, persons);
        persons.theta.push_back(settings.thetaField.length != 0
                                    ? TextToNumber(CutField(line, settings.thetaField))
                                    : 0.0);
        persons.ExaminID.emplace_back(identifierRead ? identifier : std::string_view());
    }

    const std::size_t personCount = persons.theta.size();
    persons.seetheta.assign(personCount, 0.0);
    persons.Nvalid.assign(personCount, 0);
    return persons;
}

}  // namespace tarvo
