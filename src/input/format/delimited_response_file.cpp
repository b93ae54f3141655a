#include "input/format/delimited_response_file.h"

#include <algorithm>

#include "input/format/delimited_records.h"
#include "input/text/number_text.h"
#include "input/text/record_tally.h"
#include "input/text/scoring.h"
#include "input/text/text_rules.h"

namespace tarvo {

namespace {

bool IsMissingCell(std::string_view cell) { return cell.empty() || cell == "NA"; }

std::string LongCellError(const DelimitedColumns& columns, std::size_t row, std::size_t column,
                          std::string_view cell) {
    std::string error = "row " + std::to_string(row) + ", " + ColumnLabel(columns, column) +
                        " holds '" + std::string(cell.substr(0, 40)) +
                        "', more than one character: an item cell holds one response, or "
                        "nothing, NA or 9 when the response is missing";
    if (!columns.id && column == 0) {
        error +=
            "; if this column holds the examinee IDs, name it as the ID column "
            "(--id-column, or the Examinee ID start box)";
    } else {
        error +=
            "; if it is no item, leave it out of the item columns (--item-columns, or the "
            "item responses start and length boxes)";
    }
    return error;
}

}  // namespace

FirstRow ReadFirstRow(const std::string& path, char delimiter, const StopPoll& stop) {
    FirstRow first;
    DelimitedRecords records(path, delimiter, InputFile::kDefaultBufferSize, stop);
    if (records.Next()) {
        for (std::size_t k = 0; k < records.CellCount(); ++k) {
            first.cells.emplace_back(records.Cell(k));
        }
    }
    first.status = records.Status();
    return first;
}

DelimitedRead ReadDelimitedResponseFile(const std::string& path, const ResponseLayout& layout,
                                        const DelimitedColumns& columns, PersonTable& persons,
                                        const ResponseReading& extras) {
    const std::size_t itemCount = columns.items.size();
    persons = PersonTable();
    persons.itemCount = itemCount;
    std::string key = extras.key                          ? *extras.key
                      : extras.byDigit || extras.byOption ? std::string(itemCount, kScoredByDigit)
                                                          : DefaultAnswerKey(itemCount);
    bool keyGiven = extras.key != nullptr;
    RecordTally* tally = extras.tally;
    if (tally) {
        StartTally(*tally, itemCount);
        tally->firstRowCells = columns.Width();
    }

    DelimitedRead result;
    DelimitedRecords records(path, layout.delimiter, InputFile::kDefaultBufferSize, extras.stop);
    if (layout.header && records.Next() && tally) ++tally->records;
    std::string responses(itemCount, ' ');
    GroupLabeller groups;
    while (records.Next()) {
        if (records.QuoteLeftOpen()) break;
        const std::size_t cells = records.CellCount();
        auto cellAt = [&](std::optional<std::size_t> column) {
            return column && *column < cells ? records.Cell(*column) : std::string_view();
        };
        const std::size_t row = records.RecordNumber();
        bool blank = true;
        for (std::size_t i = 0; i < itemCount; ++i) {
            const std::string_view cell = TrimBlanks(cellAt(columns.items[i]));
            if (IsMissingCell(cell)) {
                responses[i] = ' ';
                continue;
            }
            if (cell.size() > 1) {
                result.error = LongCellError(columns, row, columns.items[i], cell);
                break;
            }
            responses[i] = cell.front();
            blank = false;
        }
        if (!result.error.empty()) break;

        const std::string_view identifier = cellAt(columns.id);
        RecordView record;
        record.number = row;
        record.head = cells != 0 ? records.Cell(0) : std::string_view();
        record.identifier = identifier;
        record.theta = cellAt(columns.theta);
        record.responses = responses;
        record.key = key;
        record.cells = cells;
        if (blank) {
            record.kind = RecordKind::Blank;
        } else if (columns.id && persons.theta.empty() && IsKeyIdentifier(identifier)) {
            record.kind = RecordKind::Key;
            if (!extras.key) key = responses;
            keyGiven = true;
        }
        if (tally) CountRecord(*tally, record, columns.theta.has_value());
        if (record.kind != RecordKind::Examinee) continue;

        if (extras.byOption) {
            AppendOptionCodes(responses, itemCount, persons);
        } else {
            AppendScoredResponses(responses, 0, key, itemCount, persons, extras.byDigit);
        }
        if (extras.keepOptions && keyGiven && !extras.byOption) {
            if (persons.theta.empty()) persons.optionKey = key;
            AppendOptions(responses, itemCount, persons.options);
        }
        persons.theta.push_back(columns.theta ? TextToNumber(record.theta) : 0.0);
        persons.ExaminID.emplace_back(identifier);
        if (columns.group) {
            // NA is an unknown group, as it is a missing response.
            const std::string_view label = TrimBlanks(cellAt(columns.group));
            groups.Append(IsMissingCell(label) ? std::string_view() : label, persons);
        }
    }
    if (result.error.empty() && records.QuoteLeftOpen()) {
        result.error = "row " + std::to_string(records.RecordNumber()) +
                       " opens a quoted cell that is never closed: a cell that begins with \" "
                       "must end with \" (write \"\" for a quote inside it)";
    }

    persons.responses.shrink_to_fit();
    persons.options.shrink_to_fit();
    if (extras.byOption) {
        persons.optionKey = key;
        persons.optionKey.resize(itemCount, kScoredByDigit);
    }
    persons.theta.shrink_to_fit();
    persons.ExaminID.shrink_to_fit();
    persons.group.shrink_to_fit();
    persons.seetheta.assign(persons.personCount(), 0.0);
    persons.Nvalid.assign(persons.personCount(), 0);
    result.status = records.Status();
    return result;
}

}  // namespace tarvo
