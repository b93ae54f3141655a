#include "input/format/matrix_responses.h"

#include "input/text/record_tally.h"
#include "input/text/scoring.h"
#include "input/text/text_rules.h"

namespace tarvo {

namespace {

// Examinees read between two looks at a stop request.
constexpr std::size_t kRowsBetweenLooks = 4096;

}  // namespace

DelimitedColumns MatrixColumns(const ResponseMatrix& matrix) {
    DelimitedColumns columns;
    if (!matrix.ids.empty()) {
        columns.id = columns.names.size();
        columns.names.emplace_back("id");
    }
    if (!matrix.thetas.empty()) {
        columns.theta = columns.names.size();
        columns.names.emplace_back("theta");
    }
    if (!matrix.groups.empty()) {
        columns.group = columns.names.size();
        columns.names.emplace_back("group");
    }
    for (std::size_t i = 0; i < matrix.items; ++i) {
        columns.items.push_back(columns.names.size());
        columns.names.push_back(i < matrix.itemNames.size() ? matrix.itemNames[i]
                                                            : "item" + std::to_string(i + 1));
    }
    return columns;
}

bool ReadResponseMatrix(const ResponseMatrix& matrix, PersonTable& persons,
                        const ResponseReading& extras) {
    const std::size_t itemCount = matrix.items;
    const DelimitedColumns columns = MatrixColumns(matrix);
    persons = PersonTable();
    persons.itemCount = itemCount;
    std::string key = extras.key                          ? *extras.key
                      : extras.byDigit || extras.byOption ? std::string(itemCount, kScoredByDigit)
                                                          : DefaultAnswerKey(itemCount);
    RecordTally* tally = extras.tally;
    if (tally) {
        StartTally(*tally, itemCount);
        tally->firstRowCells = columns.Width();
        ++tally->records;  // the header row
    }
    persons.responses.reserve(matrix.examinees * itemCount);
    persons.theta.reserve(matrix.examinees);
    persons.ExaminID.reserve(matrix.examinees);
    std::string responses(itemCount, ' ');
    static const std::string kNoText;
    GroupLabeller groups;
    for (std::size_t j = 0; j < matrix.examinees; ++j) {
        if (j % kRowsBetweenLooks == 0 && extras.stop && extras.stop()) return false;
        bool blank = true;
        for (std::size_t i = 0; i < itemCount; ++i) {
            const char cell = matrix.Cell(j, i);
            responses[i] = cell == '\0' ? ' ' : cell;
            if (responses[i] != ' ') blank = false;
        }
        const std::string& identifier = matrix.ids.empty() ? kNoText : matrix.ids[j];
        const std::string& theta = matrix.thetas.empty() ? kNoText : matrix.thetas[j];
        RecordView record;
        record.number = j + 2;
        record.head = !matrix.ids.empty()      ? std::string_view(identifier)
                      : !matrix.thetas.empty() ? std::string_view(theta)
                      : itemCount == 0 || responses[0] == ' '
                          ? std::string_view()
                          : std::string_view(responses).substr(0, 1);
        record.identifier = identifier;
        record.theta = theta;
        record.responses = responses;
        record.key = key;
        record.cells = matrix.rowCells.empty() ? columns.Width()
                                               : columns.Width() - itemCount + matrix.rowCells[j];
        if (blank) {
            record.kind = RecordKind::Blank;
        } else if (columns.id && persons.theta.empty() && IsKeyIdentifier(identifier)) {
            record.kind = RecordKind::Key;
            if (!extras.key) key = responses;
        }
        if (tally) CountRecord(*tally, record, columns.theta.has_value());
        if (record.kind != RecordKind::Examinee) continue;

        if (extras.byOption) {
            AppendOptionCodes(responses, itemCount, persons);
        } else {
            AppendScoredResponses(responses, 0, key, itemCount, persons, extras.byDigit);
        }
        persons.theta.push_back(columns.theta ? TextToNumber(theta) : 0.0);
        persons.ExaminID.push_back(identifier);
        if (!matrix.groups.empty()) groups.Append(matrix.groups[j], persons);
    }
    persons.responses.shrink_to_fit();
    if (extras.byOption) {
        persons.optionKey = key;
        persons.optionKey.resize(itemCount, kScoredByDigit);
    }
    persons.theta.shrink_to_fit();
    persons.ExaminID.shrink_to_fit();
    persons.group.shrink_to_fit();
    persons.seetheta.assign(persons.personCount(), 0.0);
    persons.Nvalid.assign(persons.personCount(), 0);
    return true;
}

}  // namespace tarvo
