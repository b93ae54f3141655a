#include "shell/results/result_table.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <numeric>
#include <optional>

#include "core/modes.h"
#include "output/masks.h"
#include "output/polytomous_rows.h"
#include "output/result_rows.h"
#include "report/report_flags.h"
#include "shell/results/fit_tables.h"

namespace tarvo::results {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TableCell Cell(std::string text, bool numeric) {
    TableCell cell;
    cell.number = numeric ? PrintedNumber(text) : kNaN;
    cell.text = std::move(text);
    return cell;
}

std::string Fixed(double value, int decimals) {
    if (std::isnan(value)) return "";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

std::string Trimmed(std::string text) {
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

void Flag(TableCell& cell, const std::string& why) {
    cell.flagged = true;
    if (!cell.why.empty()) cell.why += " ";
    cell.why += why;
}

struct FlagName {
    std::uint32_t bit;
    const char* name;
};

constexpr FlagName kItemFlagNames[] = {
    {kItemAAtBound, "a at bound"},
    {kItemBAtBound, "b at bound"},
    {kItemCAtBound, "c at bound"},
    {kItemSeAtCap, "SE at cap"},
    {kItemNotEstimated, "not estimated"},
    {kItemAllCorrect, "all correct"},
    {kItemAllWrong, "all wrong"},
    {kItemTooFewResponses, "few responses"},
    {kItemNegativeDiscrimination, "negative discrimination"},
    {kItemMisfit, "misfit"},
    {kItemLocalDependence, "local dependence"},
    {kItemNotDiscriminating, "not discriminating"},
};
constexpr FlagName kPersonFlagNames[] = {
    {kPersonAllCorrect, "all correct"},
    {kPersonAllWrong, "all wrong"},
    {kPersonNoValid, "no valid response"},
    {kPersonThetaAtBound, "theta at bound"},
    {kPersonMisfit, "misfit"},
};

template <std::size_t N>
std::string Names(std::uint32_t flags, const FlagName (&names)[N]) {
    std::string joined;
    for (const FlagName& flag : names) {
        if ((flags & flag.bit) == 0) continue;
        if (!joined.empty()) joined += ", ";
        joined += flag.name;
    }
    return joined;
}

void SetNumericColumns(ResultTable& table, std::initializer_list<std::string_view> textColumns) {
    table.numeric.assign(table.columns.size(), true);
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        for (std::string_view name : textColumns) {
            if (table.columns[i] == name) table.numeric[i] = false;
        }
    }
}

// The item rows of the run's own tables: the parameters it was given.
PrintedTable GivenItemRows(const RunReport& report) {
    PrintedTable printed;
    printed.columns = {"SeqItem", "AccNo", "a_given", "b_given", "c_given"};
    for (const ItemReport& item : report.itemRows) {
        printed.rows.push_back({Trimmed(FormatWithMask(item.seqItem, kMaskCount)), item.accNo,
                                Trimmed(FormatWithMask(item.a, kMaskParameter)),
                                Trimmed(FormatWithMask(item.b, kMaskParameter)),
                                Trimmed(FormatWithMask(item.c, kMaskParameter))});
    }
    return printed;
}

TableCell* CellAt(const ResultTable& table, std::vector<TableCell>& row,
                  std::initializer_list<std::string_view> names) {
    for (std::string_view name : names) {
        const int i = table.Column(name);
        if (i >= 0) return &row[static_cast<std::size_t>(i)];
    }
    return nullptr;
}

void FlagItemCells(const ResultTable& table, std::vector<TableCell>& row, std::uint32_t flags,
                   const EstimateJudgement& judgement) {
    auto flag = [&](std::uint32_t bit, std::initializer_list<std::string_view> names) {
        if ((flags & bit) == 0) return;
        if (TableCell* cell = CellAt(table, row, names)) {
            Flag(*cell, report::ItemFlagReason(bit, judgement));
        }
    };
    flag(kItemAAtBound, {"a_calib", "a_given", "a"});
    flag(kItemBAtBound, {"b_calib", "b_given", "b"});
    flag(kItemCAtBound, {"c_calib", "c_given", "c"});
    flag(kItemTooFewResponses, {"Nobs"});
    flag(kItemAllCorrect, {"p-value"});
    flag(kItemAllWrong, {"p-value"});
    flag(kItemNegativeDiscrimination, {"item-rest r"});
    for (std::string_view name : {"seea", "seeb", "seec"}) {
        TableCell* cell = CellAt(table, row, {name});
        if (cell == nullptr) continue;
        if ((flags & kItemSeAtCap) && cell->number >= 99) {
            Flag(*cell, report::ItemFlagReason(kItemSeAtCap, judgement));
        }
        if ((flags & kItemNotEstimated) && cell->number == -1) {
            Flag(*cell, report::ItemFlagReason(kItemNotEstimated, judgement));
        }
    }
}

void FlagPersonCells(const ResultTable& table, std::vector<TableCell>& row, std::uint32_t flags,
                     const EstimateJudgement& judgement) {
    auto flag = [&](std::uint32_t bit, std::string_view name) {
        if ((flags & bit) == 0) return;
        if (TableCell* cell = CellAt(table, row, {name})) {
            Flag(*cell, report::PersonFlagReason(bit, judgement));
        }
    };
    const std::string_view score = table.Column("Raw score") >= 0 ? "Raw score" : "RawScore";
    flag(kPersonAllCorrect, score);
    flag(kPersonAllWrong, score);
    flag(kPersonNoValid, "Nvalid");
    flag(kPersonThetaAtBound, "theta");
}

// The Flags cell: the names, flagged with every reason of the row.
TableCell FlagsCell(const std::vector<TableCell>& row, std::string names) {
    TableCell cell = Cell(std::move(names), false);
    for (const TableCell& other : row) {
        if (other.flagged) Flag(cell, other.why);
    }
    if (!cell.text.empty() && !cell.flagged) Flag(cell, "Flags: " + cell.text + ".");
    return cell;
}

// A row's cells as printed, with an empty cell at column `gap` (a column
// the report adds among the printed ones; none when past the row's end);
// room is kept for the columns the report adds after them.
std::vector<TableCell> PrintedCells(const ResultTable& table,
                                    const std::vector<std::string>& printed,
                                    std::size_t gap = static_cast<std::size_t>(-1)) {
    std::vector<TableCell> row;
    row.reserve(table.columns.size());
    for (std::size_t i = 0; i < printed.size(); ++i) {
        if (row.size() == gap) row.push_back(Cell("", false));
        row.push_back(Cell(printed[i], table.numeric[row.size()]));
    }
    if (row.size() == gap) row.push_back(Cell("", false));
    return row;
}

// The misfit rule's bounds of a mean square where S-X2 is not defined.
constexpr double kLowestMeanSquare = 0.7, kHighestMeanSquare = 1.3;

bool OutsideMeanSquares(double x) {
    return std::isfinite(x) && (x < kLowestMeanSquare || x > kHighestMeanSquare);
}

// A statistic that is not defined is blank, and says why in its tooltip.
void ExplainBlanks(std::vector<TableCell>& row, std::size_t first, const std::string& note) {
    if (note.empty()) return;
    for (std::size_t c = first; c < row.size(); ++c) {
        if (row[c].text.empty()) row[c].why = note;
    }
}

TableCell FitCell(double value, int decimals) { return Cell(FitNumber(value, decimals), true); }

// S-X2, df, p, adjusted p, infit, outfit; the cells that make the item
// misfit say why, and an undefined statistic's blank cell says why not.
void AddItemFitCells(std::vector<TableCell>& row, const ItemFitValues* fit, std::uint32_t flags) {
    if (fit == nullptr) {
        for (int k = 0; k < 6; ++k) row.push_back(Cell("", true));
        return;
    }
    const std::size_t first = row.size();
    row.push_back(FitCell(fit->sx2, 2));
    row.push_back(FitCell(fit->df, 0));
    row.push_back(Cell(FitProbability(fit->p), true));
    row.push_back(Cell(FitProbability(fit->pAdjusted), true));
    row.push_back(FitCell(fit->infit, 3));
    row.push_back(FitCell(fit->outfit, 3));
    ExplainBlanks(row, first, fit->note);
    if ((flags & kItemMisfit) == 0) return;
    if (std::isfinite(fit->pAdjusted)) {
        Flag(row[first + 3],
             "Misfit: the S-X2 p is " + FitProbability(fit->pAdjusted) +
                 " after the Benjamini-Hochberg correction over the items, below 0.01, so the "
                 "observed answers by rest score differ from what the model expects. Check the "
                 "item's key and wording; drop it if it stays misfitting.");
        return;
    }
    for (const std::size_t c : {first + 4, first + 5}) {
        if (!OutsideMeanSquares(row[c].number)) continue;
        Flag(row[c],
             "Misfit: the mean square is outside 0.7 to 1.3, and S-X2 is not defined for "
             "this item. Check the item's key and wording.");
    }
}

// lz, infit, outfit; a misfitting examinee's lz says why.
void AddPersonFitCells(std::vector<TableCell>& row, const PersonFitValues* fit,
                       std::uint32_t flags) {
    if (fit == nullptr) {
        for (int k = 0; k < 3; ++k) row.push_back(Cell("", true));
        return;
    }
    const std::size_t first = row.size();
    row.push_back(FitCell(fit->lz, 3));
    row.push_back(FitCell(fit->infit, 3));
    row.push_back(FitCell(fit->outfit, 3));
    ExplainBlanks(row, first, fit->note);
    if ((flags & kPersonMisfit) != 0) {
        Flag(row[first],
             "Misfit: lz is below -1.96, so the answers are unlikely for this "
             "ability. Review the record for a shifted answer sheet, a wrong form, "
             "copying or guessing.");
    }
}

std::string Parameter(double value) { return Trimmed(FormatWithMask(value, kMaskParameter)); }

// A threshold within the judgement's slack of an end of b's range, or beyond.
bool ThresholdOnBound(double b, const JudgedParameter& range) {
    return range.estimated && (b <= range.lowest + range.slack || b >= range.highest - range.slack);
}

// A polytomous run's items from its own tables: each item's model, its
// categories, a, the thresholds b1..bK (K the most of any item; blank where
// an item has fewer), c and the errors of a and c, with the mean score of
// an item scored 0..m, the right/wrong items' p-value and, when the report
// has them, every item's S-X2 and mean squares by its own model.
ResultTable PolytomousItemTable(const RunReport& report, bool withNames,
                                const std::vector<ItemFitValues>& fit) {
    std::size_t most = 1;
    for (const ItemReport& item : report.itemRows) most = std::max(most, item.thresholds.size());
    ResultTable table;
    table.columns = {"SeqItem", "AccNo"};
    if (withNames) table.columns.push_back("Name");
    table.columns.insert(table.columns.end(), {"Model", "Categories", "a"});
    const std::size_t firstThreshold = table.columns.size();
    for (std::size_t k = 1; k <= most; ++k) table.columns.push_back("b" + std::to_string(k));
    table.columns.insert(table.columns.end(),
                         {"c", "seea", "seec", "Nobs", "Mean score", "p-value", "item-rest r"});
    const bool withFit = !fit.empty();
    if (withFit) {
        table.columns.insert(table.columns.end(), {"S-X2", "df", "p", "adj. p", "infit", "outfit"});
    }
    table.columns.push_back("Flags");
    SetNumericColumns(table, {"AccNo", "Name", "Model", "Flags"});
    for (const ItemReport& item : report.itemRows) {
        const bool scored = item.categories > 2;
        std::vector<TableCell> row;
        row.push_back(Cell(std::to_string(item.seqItem), true));
        row.push_back(Cell(item.accNo, false));
        if (withNames) row.push_back(Cell(item.name, false));
        row.push_back(Cell(item.model, false));
        row.push_back(Cell(std::to_string(item.categories), true));
        row.push_back(Cell(Parameter(item.a), true));
        for (std::size_t k = 0; k < most; ++k) {
            row.push_back(
                Cell(k < item.thresholds.size() ? Parameter(item.thresholds[k]) : "", true));
        }
        row.push_back(Cell(scored ? "" : Parameter(item.c), true));
        row.push_back(Cell(Parameter(item.seea), true));
        row.push_back(Cell(scored ? "" : Parameter(item.seec), true));
        row.push_back(Cell(std::to_string(item.nobs), true));
        row.push_back(Cell(Fixed(item.meanScore, 3), true));
        row.push_back(Cell(Fixed(item.pValue, 3), true));
        row.push_back(Cell(Fixed(item.itemRest, 3), true));
        if (withFit) {
            const auto index = static_cast<std::size_t>(&item - report.itemRows.data());
            AddItemFitCells(row, index < fit.size() ? &fit[index] : nullptr, item.flags);
        }
        row.push_back(Cell("", false));
        const EstimateJudgement& judgement = report::JudgementOf(report, item);
        FlagItemCells(table, row, item.flags & ~kItemBAtBound, judgement);
        if (item.flags & kItemBAtBound) {
            for (std::size_t k = 0; k < item.thresholds.size(); ++k) {
                if (!ThresholdOnBound(item.thresholds[k], judgement.b)) continue;
                Flag(row[firstThreshold + k], report::ItemFlagReason(kItemBAtBound, judgement));
            }
        }
        row.back() = FlagsCell(row, ItemFlagNames(item.flags));
        table.rows.push_back(std::move(row));
    }
    return table;
}

// The fit section when it has the examinees' rows; null otherwise.
const ReportSection* ExamineeFit(const RunReport& report) {
    const ReportSection* fit = FitSectionOf(report);
    return fit != nullptr && !fit->personMembers.empty() ? fit : nullptr;
}

// The examinee table's cells, formed from the run's rows when asked: the
// printed fields, the raw score (unless the file prints it), the fit (read
// from the row's members in the report's fit section), the flags. A whole
// row is formed for a cell's flag, since the Flags cell gathers the row's
// reasons; its text alone is formed directly.
class PersonCells final : public CellSource {
  public:
    PersonCells(std::shared_ptr<const RunReport> report, ResultTable layout, PersonSection section)
        : report_(std::move(report)),
          layout_(std::move(layout)),
          section_(section),
          printed_(PersonColumns(section).size()),
          addsScore_(section != PersonSection::Polytomous),
          fit_(ExamineeFit(*report_)) {}

    std::size_t Rows() const override { return report_->personRows.size(); }

    TableCell Cell(std::size_t row, std::size_t column) const override { return Row(row)[column]; }

    std::string Text(std::size_t row, std::size_t column) const override {
        if (column < printed_) return PersonField(*report_, section_, row, column);
        const PersonReport& person = report_->personRows[row];
        if (const int fit = FitColumn(column); fit >= 0) {
            const std::optional<PersonFitValues> values = FitOf(row);
            return values ? FitNumber(Statistic(*values, fit), 3) : std::string();
        }
        if (addsScore_ && column == printed_) return std::to_string(person.rawScore);
        return PersonFlagNames(person.flags);
    }

    // A numeric column's keys are formed at its first sort and kept, so that
    // the next (the other way round, say) only sorts; the fit's three
    // together, from one reading of each row's members.
    double Number(std::size_t row, std::size_t column) const override {
        if (keys_.empty()) keys_.resize(layout_.columns.size());
        if (keys_[column].empty()) FormKeys(column);
        return keys_[column][row];
    }

  private:
    // 0, 1, 2 for lz, infit and outfit; -1 for the other columns.
    int FitColumn(std::size_t column) const {
        const std::size_t first = printed_ + (addsScore_ ? 1 : 0);
        if (fit_ == nullptr || column < first || column >= first + 3) return -1;
        return static_cast<int>(column - first);
    }

    static double Statistic(const PersonFitValues& values, int k) {
        return k == 0 ? values.lz : k == 1 ? values.infit : values.outfit;
    }

    // The row's fit; none for a row past the section's.
    std::optional<PersonFitValues> FitOf(std::size_t j) const {
        if (fit_ == nullptr || j >= fit_->personMembers.size()) return std::nullopt;
        return PersonFitOf(*fit_, j);
    }

    void FormKeys(std::size_t column) const {
        const int fit = FitColumn(column);
        if (fit < 0) {
            keys_[column].resize(Rows());
            for (std::size_t j = 0; j < Rows(); ++j) {
                keys_[column][j] = CellSource::Number(j, column);
            }
            return;
        }
        const std::size_t first = column - static_cast<std::size_t>(fit);
        for (std::size_t k = 0; k < 3; ++k) keys_[first + k].resize(Rows());
        for (std::size_t j = 0; j < Rows(); ++j) {
            const std::optional<PersonFitValues> values = FitOf(j);
            for (std::size_t k = 0; k < 3; ++k) {
                keys_[first + k][j] =
                    values ? PrintedNumber(FitNumber(Statistic(*values, static_cast<int>(k)), 3))
                           : kNaN;
            }
        }
    }

    std::vector<TableCell> Row(std::size_t j) const {
        const PersonReport& person = report_->personRows[j];
        std::vector<TableCell> row;
        row.reserve(layout_.columns.size());
        for (std::size_t field = 0; field < printed_; ++field) {
            row.push_back(
                results::Cell(PersonField(*report_, section_, j, field), layout_.numeric[field]));
        }
        if (addsScore_) row.push_back(results::Cell(std::to_string(person.rawScore), true));
        if (fit_ != nullptr) {
            const std::optional<PersonFitValues> values = FitOf(j);
            AddPersonFitCells(row, values ? &*values : nullptr, person.flags);
        }
        row.push_back(results::Cell("", false));
        FlagPersonCells(layout_, row, person.flags, report_->judgement);
        row.back() = FlagsCell(row, PersonFlagNames(person.flags));
        return row;
    }

    std::shared_ptr<const RunReport> report_;
    ResultTable layout_;  // the columns, for the flags' cells
    PersonSection section_;
    std::size_t printed_;
    bool addsScore_;
    const ReportSection* fit_;  // in report_; null without the examinees' fit
    // By column, the numeric columns' sort keys once formed; the table is
    // used on one thread.
    mutable std::vector<std::vector<double>> keys_;
};

}  // namespace

int ResultTable::Column(std::string_view name) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i] == name) return static_cast<int>(i);
    }
    return -1;
}

double CellSource::Number(std::size_t row, std::size_t column) const {
    return PrintedNumber(Text(row, column));
}

TableCell ResultTable::Cell(std::size_t row, std::size_t column) const {
    return source ? source->Cell(row, column) : rows[row][column];
}

std::string ResultTable::Text(std::size_t row, std::size_t column) const {
    return source ? source->Text(row, column) : rows[row][column].text;
}

std::vector<std::size_t> ResultTable::SortedOrder(std::size_t column, bool ascending) const {
    const std::size_t count = RowCount();
    std::vector<std::size_t> order, blanks;
    order.reserve(count);
    // Each row's key once, then the keys sorted with their rows: equal keys
    // by row, which keeps the file's order either way.
    auto sortKeyed = [&](auto& keyed) {
        std::sort(keyed.begin(), keyed.end(), [ascending](const auto& l, const auto& r) {
            if (l.first != r.first) return ascending ? l.first < r.first : r.first < l.first;
            return l.second < r.second;
        });
        for (const auto& [key, row] : keyed) order.push_back(row);
    };
    if (column < numeric.size() && numeric[column]) {
        std::vector<std::pair<double, std::size_t>> keyed;
        keyed.reserve(count);
        for (std::size_t row = 0; row < count; ++row) {
            const double key = source ? source->Number(row, column) : rows[row][column].number;
            if (std::isnan(key)) {
                blanks.push_back(row);
            } else {
                keyed.emplace_back(key, row);
            }
        }
        sortKeyed(keyed);
    } else {
        std::vector<std::pair<std::string, std::size_t>> keyed;
        keyed.reserve(count);
        for (std::size_t row = 0; row < count; ++row) {
            std::string key = Text(row, column);
            if (key.empty()) {
                blanks.push_back(row);
            } else {
                keyed.emplace_back(std::move(key), row);
            }
        }
        sortKeyed(keyed);
    }
    order.insert(order.end(), blanks.begin(), blanks.end());
    return order;
}

bool ResultTable::Matches(std::size_t row, std::size_t column, std::string_view part) const {
    if (part.empty()) return true;
    const std::string text = Text(row, column);
    const auto found =
        std::search(text.begin(), text.end(), part.begin(), part.end(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) ==
                   std::tolower(static_cast<unsigned char>(b));
        });
    return found != text.end();
}

std::string TrimmedField(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return std::string(text);
}

std::vector<std::string> HeaderNames(std::string_view header) {
    std::vector<std::string> names;
    while (true) {
        const std::size_t comma = header.find(',');
        names.push_back(TrimmedField(header.substr(0, comma)));
        if (comma == std::string_view::npos) return names;
        header.remove_prefix(comma + 1);
    }
}

std::string PrintedField(double value, std::string_view mask) {
    return TrimmedField(FormatWithMask(value, mask));
}

PersonSection PersonSectionOf(const RunReport& report) {
    for (const ReportSection& section : report.sections) {
        if (section.key == "polytomous") return PersonSection::Polytomous;
    }
    if (!IsMode(report.mode)) return PersonSection::None;
    return RulesOf(report.mode).path == RunPath::ItemsOnly ? PersonSection::None
                                                           : PersonSection::Classic;
}

std::vector<std::string> PersonColumns(PersonSection section) {
    switch (section) {
        case PersonSection::None:
            return {};
        case PersonSection::Classic:
            return HeaderNames(PersonHeader());
        case PersonSection::Polytomous:
            return HeaderNames(PolytomousPersonHeader());
    }
    return {};
}

std::string PersonField(const RunReport& report, PersonSection section, std::size_t j,
                        std::size_t field) {
    const PersonReport& person = report.personRows[j];
    // Both sections start with the row's number and the identifier and end
    // with theta and its error; between them the count of valid responses,
    // or the summed score and its most.
    const std::size_t middle = section == PersonSection::Polytomous ? 2 : 1;
    switch (field) {
        case 0:
            return PrintedField(static_cast<double>(j + 1), kMaskSeqId);
        case 1:
            return TrimmedField(ExaminIdField(person.examinId));
        default:
            break;
    }
    if (field < 2 + middle) {
        if (section != PersonSection::Polytomous) return PrintedField(person.nvalid, kMaskCount);
        return PrintedField(field == 2 ? person.rawScore : person.maxScore, kMaskCount);
    }
    return field == 2 + middle ? PrintedField(person.theta, kMaskTheta)
                               : PrintedField(person.seetheta, kMaskSeeTheta);
}

ResultTable BuildItemTable(const PrintedTable& items, const RunReport& report) {
    return BuildItemTable(items, report, ReadItemFit(report));
}

ResultTable BuildItemTable(const PrintedTable& items, const RunReport& report,
                           const std::vector<ItemFitValues>& fit) {
    // Theta-only runs write no item rows: their items are the given ones.
    const PrintedTable given = items.rows.empty() ? GivenItemRows(report) : PrintedTable{};
    const PrintedTable& source = items.rows.empty() ? given : items;
    const bool withReport = !report.itemRows.empty();
    // A delimited file's header names go beside the AccNo, which stays as
    // the result file prints it.
    const bool withNames = std::any_of(report.itemRows.begin(), report.itemRows.end(),
                                       [](const ItemReport& item) { return !item.name.empty(); });
    // The polytomous layout's rows have cells of other meanings: the run's
    // own tables say what each item is.
    if (std::any_of(report.itemRows.begin(), report.itemRows.end(),
                    [](const ItemReport& item) { return item.categories > 2; })) {
        return PolytomousItemTable(report, withNames, fit);
    }

    ResultTable table;
    table.columns = source.columns;
    std::size_t nameAt = static_cast<std::size_t>(-1);
    if (withNames) {
        const auto accNo = std::find(table.columns.begin(), table.columns.end(), "AccNo");
        nameAt = accNo == table.columns.end()
                     ? std::min<std::size_t>(1, table.columns.size())
                     : static_cast<std::size_t>(accNo - table.columns.begin()) + 1;
        table.columns.insert(table.columns.begin() + static_cast<std::ptrdiff_t>(nameAt), "Name");
    }
    const bool withFit = withReport && !fit.empty();
    if (withReport) table.columns.insert(table.columns.end(), {"p-value", "item-rest r"});
    if (withFit) {
        table.columns.insert(table.columns.end(), {"S-X2", "df", "p", "adj. p", "infit", "outfit"});
    }
    if (withReport) table.columns.push_back("Flags");
    SetNumericColumns(table, {"AccNo", "Name", "Flags"});

    std::map<int, const ItemReport*> bySeq;
    for (const ItemReport& item : report.itemRows) bySeq[item.seqItem] = &item;
    for (const auto& printed : source.rows) {
        std::vector<TableCell> row = PrintedCells(table, printed, nameAt);
        if (withReport) {
            const auto found = bySeq.find(static_cast<int>(PrintedNumber(printed.front())));
            const ItemReport* item = found == bySeq.end() ? nullptr : found->second;
            if (withNames && item != nullptr && nameAt < row.size()) {
                row[nameAt] = Cell(item->name, false);
            }
            row.push_back(Cell(item ? Fixed(item->pValue, 3) : "", true));
            row.push_back(Cell(item ? Fixed(item->itemRest, 3) : "", true));
            if (withFit) {
                const std::size_t index =
                    item == nullptr ? fit.size()
                                    : static_cast<std::size_t>(item - report.itemRows.data());
                AddItemFitCells(row, index < fit.size() ? &fit[index] : nullptr,
                                item ? item->flags : 0u);
            }
            row.push_back(Cell("", false));
            if (item != nullptr) {
                FlagItemCells(table, row, item->flags, report::JudgementOf(report, *item));
                row.back() = FlagsCell(row, ItemFlagNames(item->flags));
            }
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

ResultTable BuildPersonTable(std::shared_ptr<const RunReport> report) {
    const PersonSection section = PersonSectionOf(*report);
    ResultTable table;
    table.columns = PersonColumns(section);
    const bool withReport = section != PersonSection::None && !report->personRows.empty();
    if (withReport && section != PersonSection::Polytomous) table.columns.push_back("Raw score");
    if (withReport && ExamineeFit(*report) != nullptr) {
        table.columns.insert(table.columns.end(), {"lz", "infit", "outfit"});
    }
    if (withReport) table.columns.push_back("Flags");
    SetNumericColumns(table, {"ExaminID", "Flags"});
    if (!withReport) return table;
    // The source holds the columns, without itself.
    ResultTable layout = table;
    table.source = std::make_shared<PersonCells>(std::move(report), std::move(layout), section);
    return table;
}

std::string ItemFlagNames(std::uint32_t flags) { return Names(flags, kItemFlagNames); }
std::string PersonFlagNames(std::uint32_t flags) { return Names(flags, kPersonFlagNames); }

ResultTable BuildScoreTable(const SummedScoreReport& scores) {
    ResultTable table;
    table.columns = {"Score", "Proportion", "EAP", "EAP SD", "ML"};
    table.numeric.assign(table.columns.size(), true);
    for (const linking::ScoreRow& row : scores.rows) {
        table.rows.push_back({Cell(std::to_string(row.score), true),
                              Cell(Fixed(row.proportion, 6), true), Cell(Fixed(row.eap, 4), true),
                              Cell(Fixed(row.eapSd, 4), true), Cell(Fixed(row.ml, 4), true)});
    }
    return table;
}

}  // namespace tarvo::results
