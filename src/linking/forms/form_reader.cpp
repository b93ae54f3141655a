#include "linking/forms/form_reader.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "input/text/item_parameter_file.h"
#include "input/text/line_reader.h"
#include "input/text/text_rules.h"
#include "output/result_file_rows.h"

namespace tarvo::linking {
namespace {

// A result file's item section is at most this large in practice (65,534
// items of less than 100 bytes); anything larger is not one.
constexpr std::size_t kLargestResultFile = 64u << 20;

// The run settings count items in 16 bits.
constexpr std::size_t kMostItems = std::numeric_limits<std::uint16_t>::max();

// The file's text, or nothing with status saying why; a text larger than a
// result file can be is given as empty.
std::optional<std::string> WholeText(const std::string& path, const StopPoll& stop,
                                     ReadStatus& status) {
    InputFile file(path, InputFile::kDefaultBufferSize, stop);
    std::string text;
    while (file.Fill()) {
        text += file.Unread();
        file.Skip(file.Unread().size());
        if (text.size() > kLargestResultFile) return std::string();
    }
    status = file.Status();
    if (status != ReadStatus::Read) return std::nullopt;
    return text;
}

// Why a form's file was not read.
std::string NotRead(const std::string& path, ReadStatus status) {
    switch (status) {
        case ReadStatus::InUse:
            return path + ": another run is writing this file";
        case ReadStatus::Stopped:
            return path + ": not read: a stop was asked for";
        case ReadStatus::Read:
        case ReadStatus::CannotRead:
            break;
    }
    return path + ": cannot read this file";
}

bool IsBlank(const std::string& line) { return line.find_first_not_of(" \t") == std::string::npos; }

// The number of the last line that is not blank: the item count of an item
// parameter file, whose blank lines at the end are not items.
std::size_t ItemLines(const std::string& path, const StopPoll& stop, ReadStatus& status) {
    LineReader reader(path, LineReader::kDefaultBufferSize, stop);
    std::string line;
    std::size_t lines = 0, lastFilled = 0;
    while (!reader.Ended()) {
        reader.ReadLine(line, 4096);
        ++lines;
        if (!IsBlank(line)) lastFilled = lines;
    }
    status = reader.Status();
    return lastFilled;
}

FormRead Failure(std::string message) {
    FormRead read;
    read.error = std::move(message);
    return read;
}

// The standard error as printed: -1 marks a parameter that was not
// estimated, which linking treats as known exactly.
double PrintedError(const results::PrintedTable& table, const std::vector<std::string>& row,
                    const char* name) {
    const int column = table.Column({name});
    if (column < 0) return std::numeric_limits<double>::quiet_NaN();
    const double value = results::PrintedNumber(row[static_cast<std::size_t>(column)]);
    return value < 0 ? 0 : value;
}

// The item models of a polytomous run's result file that a link takes:
// right/wrong items, whose curve is c + (u - c) / (1 + exp(-D a (theta - b))).
bool RightWrongModel(std::string_view name) {
    for (const std::string_view taken : {"1pl", "rasch", "2pl", "3pl", "3pl-c-given", "4pl"}) {
        if (name == taken) return true;
    }
    return false;
}

FormRead FromResultFile(const std::string& path, const results::PrintedTable& items,
                        std::optional<FormModel> model) {
    const int idColumn = items.Column({"AccNo"});
    const int aColumn = items.Column({"a_calib", "a"});
    // A polytomous run's layout names each item's model; a right/wrong
    // item's b is its one threshold, and the 4PL's u follows c.
    const int modelColumn = items.Column({"Model"});
    const int bColumn = items.Column({"b_calib", "b", "b1"});
    const int cColumn = items.Column({"c_calib", "c_given", "c"});
    const int uColumn = items.Column({"u"});
    if (bColumn < 0) return Failure(path + ": the result file's item section has no b column");
    ItemForm form;
    form.Resize(items.rows.size());
    bool upper = false;  // an item has its u
    for (std::size_t i = 0; i < items.rows.size(); ++i) {
        const auto& row = items.rows[i];
        auto cell = [&](int column) -> const std::string& {
            return row[static_cast<std::size_t>(column)];
        };
        auto number = [&](int column, double otherwise) {
            return column < 0 ? otherwise : results::PrintedNumber(cell(column));
        };
        form.id[i] = idColumn < 0 ? std::string() : cell(idColumn);
        if (modelColumn >= 0 && !RightWrongModel(cell(modelColumn))) {
            const std::string id = form.id[i].empty() ? std::string() : " (" + form.id[i] + ")";
            return Failure(path + ", item " + std::to_string(i + 1) + id + ": a " +
                           cell(modelColumn) +
                           " item; a link takes right/wrong items (1PL to 4PL) only");
        }
        // In that layout an item without c or u leaves its cells empty.
        const bool noC = modelColumn >= 0 && cColumn >= 0 && cell(cColumn).empty();
        const bool noU = uColumn < 0 || cell(uColumn).empty();
        form.a[i] = number(aColumn, 1);
        form.b[i] = number(bColumn, 0);
        form.c[i] = noC ? 0 : number(cColumn, 0);
        form.u[i] = noU ? 1 : number(uColumn, 1);
        form.seA[i] = aColumn < 0 ? 0 : PrintedError(items, row, "seea");
        form.seB[i] = PrintedError(items, row, modelColumn >= 0 ? "seeb1" : "seeb");
        form.seC[i] = cColumn < 0 || noC ? 0 : PrintedError(items, row, "seec");
        form.seU[i] = noU ? 0 : PrintedError(items, row, "seeu");
        upper = upper || !noU;
        if (std::isnan(form.a[i]) || std::isnan(form.b[i]) || std::isnan(form.c[i]) ||
            std::isnan(form.u[i])) {
            return Failure(path + ": item row " + std::to_string(i + 1) +
                           " of the result file does not hold numbers");
        }
    }
    const FormModel own = aColumn < 0 ? FormModel::OnePL
                          : upper     ? FormModel::FourPL
                                      : FormModel::ThreePL;
    ApplyModel(form, model.value_or(own));
    FormRead read;
    read.form = std::move(form);
    read.resultFile = true;
    return read;
}

// In an item parameter file a negative error says it is not known (this
// program writes -1 there).
double ItemFileError(double value) {
    return value < 0 ? std::numeric_limits<double>::quiet_NaN() : value;
}

FormRead FromItemFile(const std::string& path, const ItemColumns& columns,
                      std::optional<FormModel> model, const StopPoll& stop) {
    ReadStatus status = ReadStatus::Read;
    const std::size_t count = ItemLines(path, stop, status);
    if (status != ReadStatus::Read) return Failure(NotRead(path, status));
    if (count == 0) return Failure(path + ": the file holds no items");
    if (count > kMostItems) {
        return Failure(path + ": more than " + std::to_string(kMostItems) + " items");
    }
    if (columns.b.length == 0) return Failure(path + ": no b column given (--b-start, --b-length)");

    RunSettings settings;
    settings.itemCount = static_cast<std::uint16_t>(count);
    settings.itemIdField = columns.id;
    settings.aField = columns.a;
    settings.bField = columns.b;
    settings.cField = columns.c;
    ItemTable table(count);
    if (const ReadStatus read =
            ReadItemParameterFile(path, settings, table, nullptr, nullptr, stop);
        read != ReadStatus::Read) {
        return Failure(NotRead(path, read));
    }
    // The errors come from the same reader, with their columns in the
    // places of a, b and c.
    ItemTable errors(count);
    const bool errorsGiven =
        columns.seA.length != 0 || columns.seB.length != 0 || columns.seC.length != 0;
    if (errorsGiven) {
        RunSettings errorSettings = settings;
        errorSettings.itemIdField = {};
        errorSettings.aField = columns.seA;
        errorSettings.bField = columns.seB;
        errorSettings.cField = columns.seC;
        if (ReadItemParameterFile(path, errorSettings, errors) != ReadStatus::Read) {
            return Failure(path + ": cannot read this file");
        }
    }

    ItemForm form;
    form.Resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        form.id[i] = TrimSpaces(table.AccNo[i]);
        form.a[i] = columns.a.length == 0 ? 1 : table.a[i];
        form.b[i] = table.b[i];
        form.c[i] = table.c[i];
        if (columns.seA.length != 0) form.seA[i] = ItemFileError(errors.a[i]);
        if (columns.seB.length != 0) form.seB[i] = ItemFileError(errors.b[i]);
        if (columns.seC.length != 0) form.seC[i] = ItemFileError(errors.c[i]);
        if (columns.a.length == 0) form.seA[i] = 0;
        if (columns.c.length == 0) form.seC[i] = 0;
    }
    ApplyModel(form, model.value_or(FormModel::ThreePL));
    FormRead read;
    read.form = std::move(form);
    return read;
}

}  // namespace

FormRead ReadItemForm(const std::string& path, const ItemColumns& columns,
                      std::optional<FormModel> model, const StopPoll& stop) {
    ReadStatus status = ReadStatus::Read;
    const std::optional<std::string> text = WholeText(path, stop, status);
    if (!text) return Failure(NotRead(path, status));
    const results::ResultFileRows rows = results::ParseResultFile(*text);
    if (!rows.error.empty()) return Failure(path + ", " + rows.error + " (a damaged result file)");
    if (!rows.items.rows.empty()) return FromResultFile(path, rows.items, model);
    return FromItemFile(path, columns, model, stop);
}

}  // namespace tarvo::linking
