#include "input/text/response_file.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "input/text/record_tally.h"
#include "input/text/scoring.h"
#include "input/text/text_rules.h"

namespace tarvo {

namespace {

// A line seen as lengthened with blanks to at least paddedLength characters,
// without writing the blanks: a field is its bytes inside the line followed
// by the blanks of its part past the line's end.
class PaddedLine {
  public:
    PaddedLine(std::string_view line, std::size_t paddedLength)
        : line_(line), length_(std::max(line.size(), paddedLength)) {}

    // The part of field that lies inside the line.
    std::string_view Present(FieldSpec field) const {
        const std::size_t offset = Offset(field);
        return offset < line_.size()
                   ? line_.substr(offset, std::min(Size(field), line_.size() - offset))
                   : std::string_view();
    }

    // How many blanks of the lengthening follow the present part.
    std::size_t Blanks(FieldSpec field) const { return Size(field) - Present(field).size(); }

    std::string Text(FieldSpec field) const {
        std::string text(Present(field));
        text.append(Blanks(field), ' ');
        return text;
    }

  private:
    // The field's place in the lengthened line, by the rule of CutField.
    bool Cut(FieldSpec field) const { return field.start != 0 && field.start <= length_; }
    std::size_t Offset(FieldSpec field) const { return Cut(field) ? field.start - 1u : length_; }
    std::size_t Size(FieldSpec field) const {
        return Cut(field) ? std::min<std::size_t>(field.length, length_ - Offset(field)) : 0;
    }

    std::string_view line_;
    std::size_t length_;
};

double ReadTheta(const PaddedLine& padded, FieldSpec field) {
    // Most lines hold the whole field: no copy is needed then.
    if (padded.Blanks(field) == 0) return TextToNumber(padded.Present(field));
    return TextToNumber(padded.Text(field));
}

RecordView LineRecord(std::size_t number, RecordKind kind, std::string_view line) {
    RecordView record;
    record.number = number;
    record.kind = kind;
    record.line = line;
    record.head = line;
    return record;
}

// After a byte 26 the data have ended; the input check says how much of the
// file that leaves unread.
void CountWhatWasNotRead(LineReader& reader, RecordTally& tally) {
    tally.endedAtMark = true;
    tally.markOffset = reader.Offset();
    const UnreadRest rest = reader.CountRest();
    tally.bytesNotRead = rest.bytes;
    tally.linesNotRead = rest.lines;
}

bool AllBlanks(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char ch) { return ch == ' '; });
}

}  // namespace

ReadStatus ReadResponseFile(const std::string& path, const RunSettings& settings,
                            PersonTable& persons, const ResponseReading& extras) {
    const std::size_t itemCount = settings.itemCount;
    const FieldSpec responseField{settings.responseStart, settings.itemCount};
    const std::size_t lineLength = std::size_t{settings.responseStart} + itemCount;
    const std::size_t lineKept =
        std::max({FieldEnd(responseField), FieldEnd(settings.examineeIdField),
                  FieldEnd(settings.thetaField), FieldEnd(extras.groupField)});
    const bool identifierRead = settings.examineeIdField.length != 0;
    const bool thetaRead = settings.thetaField.length != 0;
    const bool groupRead = extras.groupField.length != 0;
    GroupLabeller groups;

    persons = PersonTable();
    persons.itemCount = itemCount;
    std::string key = extras.key                          ? *extras.key
                      : extras.byDigit || extras.byOption ? std::string(itemCount, kScoredByDigit)
                                                          : DefaultAnswerKey(itemCount);
    bool keyGiven = extras.key != nullptr;
    std::string line;
    RecordTally* tally = extras.tally;
    if (tally) StartTally(*tally, itemCount);
    std::size_t lineNumber = 0;

    LineReader reader(path, LineReader::kDefaultBufferSize, extras.stop);
    while (!reader.Ended()) {
        // The first records are kept whole (up to a bound) for the tally,
        // which looks for a delimiter on the whole line; the fields are cut
        // the same from a longer line.
        const bool whole = tally && lineNumber < RecordTally::kDelimiterRecords;
        reader.ReadLine(line, whole ? std::max(lineKept, RecordTally::kDelimiterBytes) : lineKept);
        ++lineNumber;
        const PaddedLine padded(line, lineLength);

        // The field has itemCount characters unless it starts at column 0;
        // only a whole field of blanks is blank.
        const std::string_view responses = padded.Present(responseField);
        const std::size_t responseBlanks = padded.Blanks(responseField);
        if (responses.size() + responseBlanks == itemCount && AllBlanks(responses)) {
            if (tally) CountRecord(*tally, LineRecord(lineNumber, RecordKind::Blank, line), false);
            continue;
        }

        std::string identifier =
            identifierRead ? padded.Text(settings.examineeIdField) : std::string();
        if (identifierRead && persons.theta.empty() && IsKeyIdentifier(identifier)) {
            // A key from a key file wins over the key record, which is
            // still no examinee.
            if (!extras.key) key = padded.Text(responseField);
            keyGiven = true;
            if (tally) CountRecord(*tally, LineRecord(lineNumber, RecordKind::Key, line), false);
            continue;
        }
        if (tally) {
            RecordView record = LineRecord(lineNumber, RecordKind::Examinee, line);
            record.identifier = identifier;
            record.theta = thetaRead ? padded.Present(settings.thetaField) : std::string_view();
            record.responses = responses;
            record.key = key;
            record.idEnd = identifierRead ? FieldEnd(settings.examineeIdField) : 0;
            CountRecord(*tally, record, thetaRead);
        }

        // The vectors grow geometrically, so any number of examinees is read
        // with few reallocations.
        if (extras.byOption) {
            AppendOptionCodes(responses, itemCount, persons);
        } else {
            AppendScoredResponses(responses, responseBlanks, key, itemCount, persons,
                                  extras.byDigit);
        }
        if (extras.keepOptions && keyGiven && !extras.byOption) {
            if (persons.theta.empty()) persons.optionKey = key;
            AppendOptions(responses, itemCount, persons.options);
        }
        persons.theta.push_back(thetaRead ? ReadTheta(padded, settings.thetaField) : 0.0);
        persons.ExaminID.push_back(std::move(identifier));
        if (groupRead) groups.Append(padded.Present(extras.groupField), persons);
    }

    // Growth left up to half of each table unused; the run keeps them to its
    // end, so they give that back now.
    persons.responses.shrink_to_fit();
    persons.options.shrink_to_fit();
    if (extras.byOption) {
        persons.optionKey = key;
        persons.optionKey.resize(itemCount, kScoredByDigit);
    }
    persons.theta.shrink_to_fit();
    persons.ExaminID.shrink_to_fit();
    persons.group.shrink_to_fit();
    const std::size_t personCount = persons.theta.size();
    persons.seetheta.assign(personCount, 0.0);
    persons.Nvalid.assign(personCount, 0);
    if (tally && reader.EndedAtEndOfDataMark()) CountWhatWasNotRead(reader, *tally);
    return reader.Status();
}

}  // namespace tarvo
