#include "input/response_input.h"

#include "input/check/group_check.h"
#include "input/format/delimited_response_file.h"
#include "input/format/key_file.h"
#include "input/format/layout_detection.h"
#include "input/format/matrix_responses.h"
#include "input/text/number_text.h"
#include "input/text/response_file.h"
#include "input/text/settings_reader.h"
#include "platform/control_ids.h"

namespace tarvo {

namespace {

// Whether the settings say if the first row is a header: --no-header (the
// header entry), or a Format text that says "with header" or "no header".
bool HeaderStated(const ControlTexts& texts) {
    const std::string format = texts.ControlText(control::kResponseFormat);
    return !TrimBlanks(texts.ControlText(control::kHeaderRow)).empty() || SaysNoHeader(format) ||
           format.find("header") != std::string::npos;
}

struct BoxName {
    int id;
    const char* name;
    const char* option;
};

constexpr BoxName kResponseBoxes[] = {
    {control::kItemCount, "item count", "--item-count"},
    {control::kResponseStart, "response start column", "--response-start"},
    {control::kExamineeIdStart, "Examinee ID start column", "--examinee-id-start"},
    {control::kExamineeIdLength, "Examinee ID length", "--examinee-id-length"},
    {control::kThetaStart, "theta start column", "--theta-start"},
    {control::kThetaLength, "theta length", "--theta-length"},
};

constexpr BoxName kItemFileBoxes[] = {
    {control::kItemIdStart, "Item ID start column", "--item-id-start"},
    {control::kItemIdLength, "Item ID length", "--item-id-length"},
    {control::kAStart, "a start column", "--a-start"},
    {control::kALength, "a length", "--a-length"},
    {control::kBStart, "b start column", "--b-start"},
    {control::kBLength, "b length", "--b-length"},
    {control::kCStart, "c start column", "--c-start"},
    {control::kCLength, "c length", "--c-length"},
};

}  // namespace

ResponsePlan PlanResponseFile(const ControlTexts& texts, const StopPoll& stop,
                              const GroupSettings& groups) {
    ResponsePlan plan;
    plan.layout = ReadResponseLayout(texts, plan.error);
    if (!plan.error.empty()) return plan;
    // A delimited file's group column by name or number, or, as the other
    // boxes do there, by the group field's start counted in cells.
    plan.layout.groupColumn = !groups.column.empty() ? groups.column
                              : groups.length > 0    ? std::to_string(groups.start)
                                                     : std::string();
    plan.groupField = {groups.start, groups.length};
    const RunSettings boxes = ReadRunSettings(texts);
    const std::string& path = boxes.responseFile;
    if (plan.layout.format == ResponseFormat::Auto) {
        // The format, and a header unless the settings state one, as
        // detection reads them from the file's first lines.
        const DetectionResult detected = DetectLayoutOfFile(path, stop);
        plan.stopped = detected.stopped;
        if (plan.stopped) return plan;
        plan.layout.format = detected.proposal.format;
        if (!plan.layout.delimiterGiven) {
            plan.layout.delimiter = detected.proposal.delimiter;
        } else {
            // A stated delimiter makes the file delimited by it.
            plan.layout.format =
                plan.layout.delimiter == '\t' ? ResponseFormat::Tsv : ResponseFormat::Csv;
        }
        if (!HeaderStated(texts)) plan.layout.header = detected.proposal.header;
    }
    if (!IsDelimited(plan.layout.format)) {
        if (!groups.column.empty()) {
            plan.error = "the group column (--group-column) '" + groups.column +
                         "' names a column of a csv or tsv file, but the file reads as fixed "
                         "columns: give the group field's start and length (--group-start, "
                         "--group-length)";
        }
        return plan;
    }

    const FirstRow first = ReadFirstRow(path, plan.layout.delimiter, stop);
    plan.stopped = first.status == ReadStatus::Stopped;
    if (first.status != ReadStatus::Read || first.cells.empty()) return plan;
    ColumnsOrError found = ResolveColumns(plan.layout, boxes, first.cells);
    plan.columns = std::move(found.columns);
    plan.error = std::move(found.error);
    return plan;
}

std::optional<std::uint16_t> PlannedItemCount(const ResponsePlan& plan) {
    if (!IsDelimited(plan.layout.format)) return std::nullopt;
    return static_cast<std::uint16_t>(plan.columns ? plan.columns->items.size() : 0);
}

namespace {

// The key the plan names (typed, or a key file), into key; false when the
// reading ends there (read says why: stopped, or the key's error).
bool ReadPlannedKey(const ResponsePlan& plan, std::size_t itemCount, const StopPoll& stop,
                    std::optional<std::string>& key, ResponseFileRead& read) {
    const bool delimited = IsDelimited(plan.layout.format);
    const char delimiter = delimited ? plan.layout.delimiter : ',';
    const bool typed = !plan.layout.key.empty();
    if (typed && !plan.layout.keyFile.empty()) {
        read.error =
            "a key is typed (--key) and a key file (--key-file) is given: keep one of them";
        return false;
    }
    if (!typed && plan.layout.keyFile.empty()) return true;
    KeyOrError found = typed ? ReadTypedKey(plan.layout.key, itemCount, delimiter)
                             : ReadKeyFile(plan.layout.keyFile, itemCount, delimiter, stop);
    if (found.stopped) {
        read.status = ReadStatus::Stopped;
        return false;
    }
    if (!found.key) {
        read.error = found.error;
        return false;
    }
    key = std::move(found.key);
    read.keyFromFile = !typed;
    read.keyTyped = typed;
    return true;
}

}  // namespace

ResponsePlan MatrixPlan(const ResponseMatrix& matrix, const ControlTexts& texts) {
    ResponsePlan plan;
    plan.layout = ReadResponseLayout(texts, plan.error);
    plan.layout.format = ResponseFormat::Csv;
    plan.layout.header = true;
    plan.layout.delimiter = ',';
    plan.columns = MatrixColumns(matrix);
    return plan;
}

ResponseFileRead ReadMatrixResponses(const ResponseMatrix& matrix, const ResponsePlan& plan,
                                     const RunSettings& settings, PersonTable& persons,
                                     bool byDigit, const StopPoll& stop, bool keepOptions,
                                     bool byOption) {
    ResponseFileRead read;
    std::optional<std::string> key;
    if (!ReadPlannedKey(plan, settings.itemCount, stop, key, read)) return read;
    ResponseReading extras;
    extras.key = key ? &*key : nullptr;
    extras.tally = &read.tally;
    extras.stop = stop;
    extras.byDigit = byDigit;
    extras.keepOptions = keepOptions;
    extras.byOption = byOption;
    if (!ReadResponseMatrix(matrix, persons, extras)) read.status = ReadStatus::Stopped;
    read.itemNames = plan.columns->names;
    read.itemNames.erase(
        read.itemNames.begin(),
        read.itemNames.begin() + static_cast<std::ptrdiff_t>(read.itemNames.size() - matrix.items));
    return read;
}

ResponseFileRead ReadPlannedResponses(const ResponsePlan& plan, const RunSettings& settings,
                                      PersonTable& persons, bool byDigit, const StopPoll& stop,
                                      bool keepOptions, bool byOption) {
    ResponseFileRead read;
    const bool delimited = IsDelimited(plan.layout.format);
    std::optional<std::string> key;
    if (!ReadPlannedKey(plan, settings.itemCount, stop, key, read)) return read;
    ResponseReading extras;
    extras.key = key ? &*key : nullptr;
    extras.tally = &read.tally;
    extras.stop = stop;
    extras.byDigit = byDigit;
    extras.keepOptions = keepOptions;
    extras.byOption = byOption;
    if (!delimited) {
        extras.groupField = plan.groupField;
        read.status = ReadResponseFile(settings.responseFile, settings, persons, extras);
        return read;
    }
    if (!plan.columns) {
        // The file was there when the run looked, but has no row to read.
        persons = PersonTable();
        read.status = ReadFirstRow(settings.responseFile, plan.layout.delimiter).status;
        if (read.status == ReadStatus::Read) read.error = "the file holds no row";
        return read;
    }
    const DelimitedRead result = ReadDelimitedResponseFile(settings.responseFile, plan.layout,
                                                           *plan.columns, persons, extras);
    read.status = result.status;
    read.error = result.error;
    for (const std::size_t column : plan.columns->items) {
        read.itemNames.push_back(plan.columns->names[column]);
    }
    return read;
}

std::vector<InputFinding> CheckReadInput(const ControlTexts& texts, const ResponsePlan& plan,
                                         const RunSettings& settings, const ResponseFileRead& read,
                                         const PersonTable& persons, bool thetaUsed) {
    InputCheckSubject subject;
    subject.thetaUsed = thetaUsed;
    subject.format = plan.layout.format;
    subject.settings = &settings;
    subject.tally = &read.tally;
    subject.persons = &persons;
    subject.columns = plan.columns ? &*plan.columns : nullptr;
    subject.keyFromFile = read.keyFromFile;
    subject.keyTyped = read.keyTyped;
    auto addBoxes = [&](const auto& boxes) {
        for (const BoxName& box : boxes) {
            subject.boxes.push_back({box.name, box.option, texts.ControlText(box.id)});
        }
    };
    // Delimited files take the item count from their columns; the boxes
    // that name columns are still numbers.
    addBoxes(kResponseBoxes);
    if (!settings.itemParameterFile.empty()) addBoxes(kItemFileBoxes);
    std::vector<InputFinding> findings = CheckInput(subject);
    for (InputFinding& finding : CheckGroups(persons, GroupFieldName(plan))) {
        findings.push_back(std::move(finding));
    }
    return findings;
}

std::string GroupFieldName(const ResponsePlan& plan) {
    if (plan.columns && plan.columns->group)
        return ColumnLabel(*plan.columns, *plan.columns->group);
    const FieldSpec field = plan.groupField;
    if (field.length <= 1) return "column " + std::to_string(field.start);
    return "columns " + std::to_string(field.start) + "-" +
           std::to_string(field.start + field.length - 1u);
}

}  // namespace tarvo
