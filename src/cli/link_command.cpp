#include "cli/link_command.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "cli/console_host.h"
#include "cli/link_options.h"
#include "linking/link_files.h"
#include "linking/link_report_json.h"
#include "report/html/link_html.h"

namespace tarvo::cli {
namespace {

using namespace linking;

std::string Shown(double value) {
    if (!std::isfinite(value)) return "NA";
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

void PrintMethods(const std::vector<MethodResult>& results) {
    for (const MethodResult& result : results) {
        const LinkConstants& k = result.constants;
        if (k.ok) {
            std::printf("%s %s %s %s %s\n", LinkMethodName(result.method), Shown(k.A).c_str(),
                        Shown(k.B).c_str(), Shown(k.seA).c_str(), Shown(k.seB).c_str());
        } else {
            std::printf("%s NA NA NA NA\n", LinkMethodName(result.method));
            std::fprintf(stderr, "WARNING %s: %s\n", LinkMethodName(result.method),
                         k.problem.c_str());
        }
    }
}

void PrintDrift(const LinkOptions& options, const LinkOutcome& outcome) {
    const DriftScreen& drift = outcome.drift;
    if (!drift.screened) {
        std::printf("drift screen not made: %s\n", drift.note.c_str());
        return;
    }
    const double threshold = options.request.driftThreshold;
    for (const DriftFinding& f : drift.items) {
        if (f.drifting && f.flaggedBy == DriftRule::Both) {
            std::printf(
                "drifting %s: z = %.2f, difference %.3f = %.2f SE (b base %.3f, new on "
                "the base scale %.3f)\n",
                f.newId.c_str(), f.z, f.difference, f.differenceOverSe, f.bBase, f.bNewOnBase);
        } else if (f.drifting) {
            std::printf(
                "drifting %s: z = %.2f, difference %.3f, its SE not known: flagged by "
                "the robust z alone (b base %.3f, new on the base scale %.3f)\n",
                f.newId.c_str(), f.z, f.difference, f.bBase, f.bNewOnBase);
        } else if (std::fabs(f.z) > threshold) {
            std::printf("within its errors %s: z = %.2f, but difference %.3f = %.2f SE\n",
                        f.newId.c_str(), f.z, f.difference, f.differenceOverSe);
        }
    }
    if (drift.DriftingCount() == 0) {
        std::printf("drift screen: no common item beyond z = %.2f and %.2f SE\n", threshold,
                    threshold);
    }
    if (!outcome.dropped.empty()) {
        std::string ids;
        for (const std::string& id : outcome.dropped) ids += (ids.empty() ? "" : ", ") + id;
        std::printf("dropped %s; the constants above are from the other %zu common items\n",
                    ids.c_str(), outcome.anchors.size() - outcome.dropped.size());
    }
}

using NamedOptions = std::vector<std::pair<std::string, std::string>>;

// The files a link reads and writes, by option: no output is written over
// another or over an input, which the writers check again by identity.
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

std::vector<NamedFile> NotThese(const LinkOptions& options, const std::string& path) {
    return OtherFiles(path, InputsOf(options), OutputsOf(options));
}

bool Failed(const std::string& error) {
    std::fprintf(stderr, "ERROR %s\n", error.c_str());
    return false;
}

bool WriteOutputs(const LinkOptions& options, const LinkOutcome& outcome) {
    const MethodResult* chosen = outcome.Chosen(options.request.chosen);
    std::string error;
    bool ok = true;
    if (!options.transformedItems.empty()) {
        ItemColumns columns;
        if (WriteItemFile(options.transformedItems, outcome.transformed, columns,
                          NotThese(options, options.transformedItems), error)) {
            std::printf("wrote %s; every mode and --fix-items read it with:\n  --item-file %s %s\n",
                        options.transformedItems.c_str(), options.transformedItems.c_str(),
                        ColumnOptions(columns).c_str());
        } else {
            ok = Failed(error);
        }
    }
    if (!options.abilitiesFrom.empty()) {
        if (WriteTransformedAbilities(options.abilitiesFrom, options.transformedAbilities,
                                      chosen->constants.A, chosen->constants.B,
                                      NotThese(options, options.transformedAbilities), error)) {
            std::printf("wrote %s\n", options.transformedAbilities.c_str());
        } else {
            ok = Failed(error);
        }
    }
    if (!options.equatingTable.empty()) {
        if (!outcome.equating.rows) {
            ok = Failed(options.equatingTable + " not written: " + outcome.equating.error);
        } else if (WriteEquatingTable(options.equatingTable, *outcome.equating.rows,
                                      NotThese(options, options.equatingTable), error)) {
            std::printf("wrote %s\n", options.equatingTable.c_str());
        } else {
            ok = Failed(error);
        }
    }
    if (!options.scoreTable.empty()) {
        if (WriteScoreTable(options.scoreTable, outcome.scoreTable,
                            NotThese(options, options.scoreTable), error)) {
            std::printf("wrote %s\n", options.scoreTable.c_str());
        } else {
            ok = Failed(error);
        }
    }
    return ok;
}

// The link's progress line on standard error, as a calibration's: redrawn
// when the percent or the phase changes, on a terminal and without --quiet.
class LinkProgressLine {
  public:
    explicit LinkProgressLine(bool quiet)
        : host_(false, stderr, !quiet && isatty(STDERR_FILENO) == 1) {
        host_.ProgressInit("Linking");
    }
    ~LinkProgressLine() { host_.ProgressShutdown(); }

    void Show(LinkPhase phase, double fraction) {
        const int percent = static_cast<int>(fraction * 100);
        if (percent == percent_ && phase == phase_) return;
        percent_ = percent;
        phase_ = phase;
        host_.ProgressSet(percent, LinkPhaseName(phase));
    }

  private:
    ConsoleHost host_;
    int percent_ = -1;
    LinkPhase phase_ = LinkPhase::Reading;
};

LinkOutcome RunWithProgress(const LinkOptions& options) {
    ConsoleHost::InstallInterruptHandler();
    LinkRequest request = options.request;
    LinkProgressLine line(options.quiet);
    request.stop = [] { return ConsoleHost::InterruptRequested(); };
    request.progress = [&line](LinkPhase phase, double fraction) { line.Show(phase, fraction); };
    return linking::RunLink(request);
}

int RunLink(const LinkOptions& options) {
    const LinkOutcome outcome = RunWithProgress(options);
    if (outcome.stopped) {
        std::fprintf(stderr, "Stopped: %s; nothing was written\n", outcome.error.c_str());
        return 1;
    }
    if (outcome.matchedByPosition) {
        std::printf(
            "common items matched by position: neither form has item IDs and both hold "
            "%zu items\n",
            outcome.anchors.size());
    }
    if (!outcome.first.empty()) {
        PrintMethods(outcome.Final());
        PrintDrift(options, outcome);
    }
    bool ok = true;
    if (!outcome.error.empty()) {
        ok = Failed(outcome.error);
    } else {
        ok = WriteOutputs(options, outcome);
    }
    std::string error;
    if (!options.reportFile.empty() && !outcome.first.empty()) {
        if (!WriteTextFile(options.reportFile, LinkReportJson(options.request, outcome),
                           NotThese(options, options.reportFile), error)) {
            ok = Failed(error);
        }
    }
    if (!options.htmlReportFile.empty() && !outcome.first.empty()) {
        const std::string page = report::LinkHtmlReport(LinkReportJson(options.request, outcome));
        if (!WriteTextFile(options.htmlReportFile, page, NotThese(options, options.htmlReportFile),
                           error)) {
            ok = Failed(error);
        }
    }
    return ok ? 0 : 1;
}

int RunScoreTable(const LinkOptions& options) {
    const LinkRequest& request = options.request;
    const FormRead read = ReadLinkForm(request.basePath, request.baseColumns, request.baseModel);
    if (!read.form) return Failed(read.error), 1;
    const PopulationSettings& p = request.population;
    const std::vector<ScoreRow> table =
        SummedScoreTable(*read.form, NormalGrid(p.points, p.range, p.mean, p.sd));
    std::string error;
    bool ok = true;
    if (!options.scoreTable.empty()) {
        if (WriteScoreTable(options.scoreTable, table, NotThese(options, options.scoreTable),
                            error)) {
            std::printf("wrote %s (%zu scores)\n", options.scoreTable.c_str(), table.size());
        } else {
            ok = Failed(error);
        }
    }
    const std::pair<const std::string*, bool> reports[] = {{&options.reportFile, false},
                                                           {&options.htmlReportFile, true}};
    for (const auto& [file, html] : reports) {
        if (file->empty()) continue;
        const TestCurves curves = MakeTestCurves(*read.form, CurveAbilities());
        const std::string json = ScoreReportJson(table, curves);
        if (!WriteTextFile(*file, html ? report::LinkHtmlReport(json) : json,
                           NotThese(options, *file), error)) {
            ok = Failed(error);
        }
    }
    return ok ? 0 : 1;
}

}  // namespace

int RunLinkCommand(const std::vector<std::string_view>& args) {
    const LinkParse parsed = ParseLinkCommandLine(args);
    if (!parsed.options) {
        std::fprintf(stderr, "tarvo-run: %s (see tarvo-run --link --help)\n", parsed.error.c_str());
        return 2;
    }
    const LinkOptions& options = *parsed.options;
    if (options.help) {
        std::fputs(LinkHelpText().c_str(), stdout);
        return 0;
    }
    const std::string clash = OutputClash(InputsOf(options), OutputsOf(options));
    if (!clash.empty()) {
        std::fprintf(stderr, "tarvo-run: %s (see tarvo-run --link --help)\n", clash.c_str());
        return 2;
    }
    const int status =
        options.kind == LinkCommandKind::Link ? RunLink(options) : RunScoreTable(options);
    std::fflush(stdout);
    return status;
}

}  // namespace tarvo::cli
