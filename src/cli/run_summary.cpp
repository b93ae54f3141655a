#include "cli/run_summary.h"

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "cli/console_host.h"
#include "output/result_file.h"
#include "report/report_json.h"
#include "report/report_summary.h"

namespace tarvo::cli {

std::string ReportFileClash(const RunRequest& request) {
    const std::string& report = request.reportFile;
    if (report.empty()) return {};
    const std::pair<const std::string*, const char*> files[] = {
        {&request.settings.responseFile, "the response file"},
        {&request.settings.itemParameterFile, "the item parameter file"},
        {&request.outputFile, "the result file"},
    };
    for (const auto& [name, what] : files) {
        if (name->empty()) continue;
        if (*name == report || IsSameFile(*name, report)) {
            return "--report " + report + " names " + what;
        }
    }
    return {};
}

std::FILE* SummaryStream(const std::string& resultFile) {
    struct stat out {};
    struct stat result {};
    if (!resultFile.empty() && ::fstat(STDOUT_FILENO, &out) == 0 &&
        ::stat(resultFile.c_str(), &result) == 0 && out.st_dev == result.st_dev &&
        out.st_ino == result.st_ino) {
        return stderr;
    }
    return stdout;
}

Published PublishRunReport(const RunReport& report, bool quiet, const std::string& reportFile) {
    if (!quiet) {
        std::FILE* stream = SummaryStream(report.resultFile);
        std::fputs(report::SummaryText(report).c_str(), stream);
        std::fflush(stream);
    }
    if (reportFile.empty()) return Published::Done;
    std::string error;
    report::StopRequested stop;
    if (report.end != RunEnd::Stopped) stop = [] { return ConsoleHost::InterruptRequested(); };
    switch (report::WriteReportJson(report, reportFile, error, stop)) {
        case report::ReportWrite::Written:
            return Published::Done;
        case report::ReportWrite::Stopped:
            std::fprintf(stderr, "Stopped: %s\n", error.c_str());
            return Published::Stopped;
        case report::ReportWrite::Failed:
            break;
    }
    std::fprintf(stderr, "ERROR %s\n", error.c_str());
    return Published::Failed;
}

int ExitStatus(RunEnd end, Published published, int stopSignal) {
    const int stopped = 128 + (stopSignal != 0 ? stopSignal : SIGINT);
    switch (end) {
        case RunEnd::Finished:
            if (published == Published::Stopped) return stopped;
            return published == Published::Done ? 0 : 1;
        case RunEnd::Stopped:
            return stopped;
        case RunEnd::EndedAtCheck:
        case RunEnd::OutputIncomplete:
        case RunEnd::NothingToEstimate:
            break;
    }
    return published == Published::Stopped ? stopped : 1;
}

}  // namespace tarvo::cli
