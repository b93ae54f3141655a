#include "shell/results/options/option_table.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace tarvo::results {

namespace {

constexpr double kBlank = std::numeric_limits<double>::quiet_NaN();

TableCell Text(const std::string& text) { return {text, kBlank, false, {}}; }

TableCell Number(double value, const char* format) {
    if (!std::isfinite(value)) return {"", kBlank, false, {}};
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return {text, value, false, {}};
}

TableCell Count(std::size_t count) {
    return {std::to_string(count), static_cast<double>(count), false, {}};
}

std::string ItemName(const RunReport& report, std::size_t item) {
    if (item >= report.itemRows.size()) return {};
    const ItemReport& row = report.itemRows[item];
    return row.name.empty() ? row.accNo : row.name;
}

std::string Joined(const std::vector<std::string>& texts) {
    std::string joined;
    for (const std::string& text : texts) joined += (joined.empty() ? "" : "; ") + text;
    return joined;
}

}  // namespace

ResultTable BuildOptionTable(const RunReport& report) {
    ResultTable table;
    if (!report.options) return table;
    const report::OptionAnalysis& analysis = *report.options;
    table.columns = {"Item", "Name", "Option", "Key", "Count", "Proportion"};
    for (std::size_t g = 0; g < analysis.groups; ++g) {
        table.columns.push_back("G" + std::to_string(g + 1));
    }
    table.columns.push_back("Mean " + analysis.abilityName);
    table.columns.push_back("r " + analysis.correlatedWith.substr(0, 4));
    table.columns.push_back("Flags");
    table.numeric.assign(table.columns.size(), true);
    for (const std::size_t text : {1, 2, 3}) table.numeric[text] = false;
    table.numeric.back() = false;

    for (const report::OptionItem& item : analysis.items) {
        const std::string name = ItemName(report, item.item);
        const TableCell itemCell = Count(item.item + 1);
        for (const report::OptionRow& row : item.options) {
            std::vector<TableCell> cells = {itemCell,
                                            Text(name),
                                            Text(report::OptionLabel(row.code)),
                                            Text(row.isKey ? "key" : (row.missing ? "none" : "")),
                                            Count(row.count),
                                            Number(row.proportion, "%.4f")};
            for (const double share : row.groupProportion) cells.push_back(Number(share, "%.3f"));
            cells.push_back(Number(row.meanAbility, "%.3f"));
            cells.push_back(Number(row.pointBiserial, "%.4f"));
            report::OptionItem alone;
            alone.options = {row};
            const std::string why = Joined(report::OptionFlagTexts(alone));
            cells.push_back(Text(why));
            if (!why.empty()) {
                for (TableCell& cell : cells) {
                    cell.flagged = true;
                    cell.why = why;
                }
            }
            table.rows.push_back(std::move(cells));
        }
        for (const report::CategoryRow& row : item.categories) {
            std::vector<TableCell> cells = {
                itemCell, Text(name),       Text("score " + std::to_string(row.score)),
                Text(""), Count(row.count), Text("")};
            for (const double share : row.groupProportion) cells.push_back(Number(share, "%.3f"));
            cells.push_back(Text(""));
            cells.push_back(Text(""));
            cells.push_back(Text(""));
            table.rows.push_back(std::move(cells));
        }
    }
    return table;
}

std::vector<ItemTrace> OptionTraces(const RunReport& report) {
    std::vector<ItemTrace> traces;
    if (!report.options) return traces;
    const report::OptionAnalysis& analysis = *report.options;
    const auto line = [&](std::string name, const std::vector<double>& shares) {
        TraceLine trace;
        trace.name = std::move(name);
        for (std::size_t g = 0; g < shares.size() && g < analysis.groupMeanAbility.size(); ++g) {
            if (!std::isfinite(shares[g])) continue;
            trace.x.push_back(analysis.groupMeanAbility[g]);
            trace.y.push_back(shares[g]);
        }
        return trace;
    };
    for (const report::OptionItem& item : analysis.items) {
        ItemTrace trace;
        trace.title = "Item " + std::to_string(item.item + 1);
        const std::string name = ItemName(report, item.item);
        if (!name.empty()) trace.title += " (" + name + ")";
        trace.title +=
            item.options.empty() ? ": scores by group" : ": key " + report::OptionLabel(item.key);
        trace.xTitle = "mean " + analysis.abilityName + " of the group";
        for (const report::OptionRow& row : item.options) {
            TraceLine option = line(report::OptionLabel(row.code) + (row.isKey ? " (key)" : ""),
                                    row.groupProportion);
            option.isKey = row.isKey;
            option.flagged = row.flags != 0;
            trace.lines.push_back(std::move(option));
        }
        for (const report::CategoryRow& row : item.categories) {
            trace.lines.push_back(line("score " + std::to_string(row.score), row.groupProportion));
        }
        traces.push_back(std::move(trace));
    }
    return traces;
}

}  // namespace tarvo::results
