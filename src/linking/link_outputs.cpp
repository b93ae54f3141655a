#include "linking/link_outputs.h"

#include "linking/link_files.h"

namespace tarvo::linking {

NamedOptions InputsOf(const LinkOptions& options) {
    const LinkRequest& request = options.request;
    const bool link = options.kind == LinkCommandKind::Link;
    return {{link ? "--base-items" : "--items", request.basePath},
            {"--new-items", request.newPath},
            {"--anchors", request.anchorsPath},
            {"--abilities", options.abilitiesFrom}};
}

NamedOptions OutputsOf(const LinkOptions& options) {
    return {{"--report", options.reportFile},
            {"--html-report", options.htmlReportFile},
            {"--transformed-items", options.transformedItems},
            {"--transformed-abilities", options.transformedAbilities},
            {"--score-table", options.scoreTable},
            {"--equating-table", options.equatingTable}};
}

std::string FileClash(const LinkOptions& options) {
    return OutputClash(InputsOf(options), OutputsOf(options));
}

std::vector<NamedFile> NotThese(const LinkOptions& options, const std::string& path) {
    return OtherFiles(path, InputsOf(options), OutputsOf(options));
}

WrittenFiles WriteLinkFiles(const LinkOptions& options, const LinkOutcome& outcome) {
    WrittenFiles written;
    std::string error;
    auto wrote = [&](bool ok, const std::string& line) {
        if (ok) {
            written.lines.push_back(line);
        } else {
            written.errors.push_back(error);
        }
    };
    if (!options.transformedItems.empty()) {
        ItemColumns columns;
        const bool ok = WriteItemFile(options.transformedItems, outcome.transformed, columns,
                                      NotThese(options, options.transformedItems), error);
        wrote(ok, "wrote " + options.transformedItems +
                      "; every mode and --fix-items read it with:\n  --item-file " +
                      options.transformedItems + " " + ColumnOptions(columns));
    }
    if (!options.abilitiesFrom.empty()) {
        const MethodResult* chosen = outcome.Chosen(options.request.chosen);
        const bool ok = WriteTransformedAbilities(
            options.abilitiesFrom, options.transformedAbilities, chosen->constants.A,
            chosen->constants.B, NotThese(options, options.transformedAbilities), error);
        wrote(ok, "wrote " + options.transformedAbilities);
    }
    if (!options.equatingTable.empty()) {
        if (!outcome.equating.rows) {
            written.errors.push_back(options.equatingTable +
                                     " not written: " + outcome.equating.error);
        } else {
            const bool ok = WriteEquatingTable(options.equatingTable, *outcome.equating.rows,
                                               NotThese(options, options.equatingTable), error);
            wrote(ok, "wrote " + options.equatingTable);
        }
    }
    if (!options.scoreTable.empty()) {
        const bool ok = WriteScoreTable(options.scoreTable, outcome.scoreTable,
                                        NotThese(options, options.scoreTable), error);
        wrote(ok, "wrote " + options.scoreTable);
    }
    return written;
}

FormScores ScoresOfForm(const ItemForm& form, const PopulationSettings& population) {
    FormScores scores;
    const PopulationSettings& p = population;
    scores.table = SummedScoreTable(form, NormalGrid(p.points, p.range, p.mean, p.sd));
    scores.curves = MakeTestCurves(form, CurveAbilities());
    return scores;
}

WrittenFiles WriteFormScoreTable(const LinkOptions& options, const std::vector<ScoreRow>& table) {
    WrittenFiles written;
    if (options.scoreTable.empty()) return written;
    std::string error;
    if (WriteScoreTable(options.scoreTable, table, NotThese(options, options.scoreTable), error)) {
        written.lines.push_back("wrote " + options.scoreTable + " (" +
                                std::to_string(table.size()) + " scores)");
    } else {
        written.errors.push_back(error);
    }
    return written;
}

void WriteReport(const LinkOptions& options, const std::string& path, const std::string& text,
                 WrittenFiles& written) {
    std::string error;
    if (!WriteTextFile(path, text, NotThese(options, path), error)) {
        written.errors.push_back(error);
    }
}

}  // namespace tarvo::linking
