#include "cli/link_command.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "cli/console_host.h"
#include "linking/link_files.h"
#include "linking/link_options.h"
#include "linking/link_outputs.h"
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

bool Failed(const std::string& error) {
    std::fprintf(stderr, "ERROR %s\n", error.c_str());
    return false;
}

// Prints what writing said; false when a file could not be written.
bool Printed(const WrittenFiles& written) {
    for (const std::string& line : written.lines) std::printf("%s\n", line.c_str());
    for (const std::string& error : written.errors) Failed(error);
    return written.errors.empty();
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
        ok = Printed(WriteLinkFiles(options, outcome));
    }
    WrittenFiles reports;
    if (!options.reportFile.empty() && !outcome.first.empty()) {
        WriteReport(options, options.reportFile, LinkReportJson(options.request, outcome), reports);
    }
    if (!options.htmlReportFile.empty() && !outcome.first.empty()) {
        const std::string page = report::LinkHtmlReport(LinkReportJson(options.request, outcome));
        WriteReport(options, options.htmlReportFile, page, reports);
    }
    return Printed(reports) && ok ? 0 : 1;
}

int RunScoreTable(const LinkOptions& options) {
    const LinkRequest& request = options.request;
    const FormRead read = ReadLinkForm(request.basePath, request.baseColumns, request.baseModel);
    if (!read.form) return Failed(read.error), 1;
    const FormScores scores = ScoresOfForm(*read.form, request.population);
    WrittenFiles written = WriteFormScoreTable(options, scores.table);
    const std::string json = ScoreReportJson(scores.table, scores.curves);
    if (!options.reportFile.empty()) WriteReport(options, options.reportFile, json, written);
    if (!options.htmlReportFile.empty()) {
        WriteReport(options, options.htmlReportFile, report::LinkHtmlReport(json), written);
    }
    return Printed(written) ? 0 : 1;
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
    const std::string clash = FileClash(options);
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
