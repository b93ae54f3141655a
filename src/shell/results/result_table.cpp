#include "shell/results/result_table.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <numeric>

#include "output/masks.h"
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
// an item scored 0..m and the right/wrong items' p-value.
ResultTable PolytomousItemTable(const RunReport& report, bool withNames) {
    std::size_t most = 1;
    for (const ItemReport& item : report.itemRows) most = std::max(most, item.thresholds.size());
    ResultTable table;
    table.columns = {"SeqItem", "AccNo"};
    if (withNames) table.columns.push_back("Name");
    table.columns.insert(table.columns.end(), {"Model", "Categories", "a"});
    const std::size_t firstThreshold = table.columns.size();
    for (std::size_t k = 1; k <= most; ++k) table.columns.push_back("b" + std::to_string(k));
    table.columns.insert(table.columns.end(), {"c", "seea", "seec", "Nobs", "Mean score", "p-value",
                                               "item-rest r", "Flags"});
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

}  // namespace

int ResultTable::Column(std::string_view name) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i] == name) return static_cast<int>(i);
    }
    return -1;
}

std::vector<std::size_t> ResultTable::SortedOrder(std::size_t column, bool ascending) const {
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const bool byNumber = column < numeric.size() && numeric[column];
    std::stable_sort(order.begin(), order.end(), [&](std::size_t left, std::size_t right) {
        const TableCell& l = rows[left][column];
        const TableCell& r = rows[right][column];
        if (byNumber) {
            const bool lBlank = std::isnan(l.number);
            const bool rBlank = std::isnan(r.number);
            if (lBlank || rBlank) return !lBlank && rBlank;
            return ascending ? l.number < r.number : r.number < l.number;
        }
        if (l.text.empty() || r.text.empty()) return !l.text.empty() && r.text.empty();
        return ascending ? l.text < r.text : r.text < l.text;
    });
    return order;
}

bool ResultTable::Matches(std::size_t row, std::size_t column, std::string_view part) const {
    const std::string& text = rows[row][column].text;
    const auto found =
        std::search(text.begin(), text.end(), part.begin(), part.end(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) ==
                   std::tolower(static_cast<unsigned char>(b));
        });
    return found != text.end() || part.empty();
}

ResultTable BuildItemTable(const PrintedTable& items, const RunReport& report) {
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
        return PolytomousItemTable(report, withNames);
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
    const RunFit fit = ReadRunFit(report);
    const bool withFit = withReport && !fit.items.empty();
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
                    item == nullptr ? fit.items.size()
                                    : static_cast<std::size_t>(item - report.itemRows.data());
                AddItemFitCells(row, index < fit.items.size() ? &fit.items[index] : nullptr,
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

ResultTable BuildPersonTable(const PrintedTable& persons, const RunReport& report) {
    const bool withReport = !report.personRows.empty();
    ResultTable table;
    table.columns = persons.columns;
    const RunFit fit = ReadRunFit(report);
    const bool withFit = withReport && !fit.persons.empty();
    // The polytomous layout prints the summed score itself.
    const bool printsScore = persons.Column({"RawScore"}) >= 0;
    if (withReport && !printsScore) table.columns.push_back("Raw score");
    if (withFit) table.columns.insert(table.columns.end(), {"lz", "infit", "outfit"});
    if (withReport) table.columns.push_back("Flags");
    SetNumericColumns(table, {"ExaminID", "Flags"});
    table.rows.reserve(persons.rows.size());
    for (const auto& printed : persons.rows) {
        std::vector<TableCell> row = PrintedCells(table, printed);
        if (withReport) {
            // Person rows are numbered from 1 in the run's order.
            const double seq = PrintedNumber(printed.front());
            const PersonReport* person =
                seq >= 1 && seq <= static_cast<double>(report.personRows.size())
                    ? &report.personRows[static_cast<std::size_t>(seq) - 1]
                    : nullptr;
            if (!printsScore)
                row.push_back(Cell(person ? std::to_string(person->rawScore) : "", true));
            if (withFit) {
                const std::size_t index =
                    person == nullptr ? fit.persons.size()
                                      : static_cast<std::size_t>(person - report.personRows.data());
                AddPersonFitCells(row, index < fit.persons.size() ? &fit.persons[index] : nullptr,
                                  person ? person->flags : 0u);
            }
            row.push_back(Cell("", false));
            if (person != nullptr) {
                FlagPersonCells(table, row, person->flags, report.judgement);
                row.back() = FlagsCell(row, PersonFlagNames(person->flags));
            }
        }
        table.rows.push_back(std::move(row));
    }
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
