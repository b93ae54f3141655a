#include "cli/run_summary.h"

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "cli/console_host.h"
#include "output/result_file.h"
#include "output/result_file_open.h"
#include "report/html/html_report.h"
#include "report/report_json.h"
#include "report/report_summary.h"
#include "run/run_files.h"

namespace tarvo::cli {

std::string RunnerFileClash(const RunRequest& request, const std::string& jobFile) {
    const std::vector<NamedFile> others = NotTheReport(request, jobFile);
    const std::string& report = request.reportFile;
    if (const NamedFile* other = FileAmong(report, others)) {
        return "--report " + report + " names " + other->what;
    }
    const std::string& html = request.htmlReportFile;
    const std::vector<NamedFile> notHtml = NotTheHtmlReport(request, jobFile);
    if (const NamedFile* other = FileAmong(html, notHtml)) {
        return "--html-report " + html + " names " + other->what;
    }
    const std::pair<const std::string*, const char*> outputs[] = {
        {&request.outputFile, "--output-file"},
        {&request.scoreTableFile, "--score-table"},
    };
    for (const auto& [name, option] : outputs) {
        if (NameOneFile(*name, jobFile)) {
            return std::string(option) + " " + *name + " names the job file";
        }
    }
    return {};
}

std::vector<NamedFile> NotTheReport(const RunRequest& request, const std::string& jobFile) {
    std::vector<NamedFile> others = FilesOfRunBeside(request, request.reportFile);
    if (!jobFile.empty()) others.push_back({jobFile, "the job file"});
    return others;
}

std::vector<NamedFile> NotTheHtmlReport(const RunRequest& request, const std::string& jobFile) {
    std::vector<NamedFile> others = FilesOfRunBeside(request, request.htmlReportFile);
    if (!jobFile.empty()) others.push_back({jobFile, "the job file"});
    return others;
}

Published PublishHtmlReport(const RunReport& report, const std::string& htmlFile,
                            std::size_t examineeLimit, const std::vector<NamedFile>& notThese) {
    if (htmlFile.empty()) return Published::Done;
    const std::string page = report::HtmlReport(report, {examineeLimit});
    const std::string failure = WriteOutputFile(htmlFile, page, notThese);
    if (failure.empty()) return Published::Done;
    std::fprintf(stderr, "ERROR HTML report file %s cannot be written: %s.\n", htmlFile.c_str(),
                 failure.c_str());
    return Published::Failed;
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

Published PublishRunReport(const RunReport& report, bool quiet, const std::string& reportFile,
                           const std::vector<NamedFile>& notThese) {
    if (!quiet) {
        std::FILE* stream = SummaryStream(report.resultFile);
        std::fputs(report::SummaryText(report).c_str(), stream);
        std::fflush(stream);
    }
    if (reportFile.empty()) return Published::Done;
    std::string error;
    report::StopRequested stop;
    if (report.end != RunEnd::Stopped) stop = [] { return ConsoleHost::InterruptRequested(); };
    // Opened only now, when the result file exists: a report that is the
    // result or an input by another spelling is told by its identity.
    const OpenedResultFile opened = OpenOutputFileForWriting(reportFile, notThese);
    if (opened.descriptor < 0) {
        std::fprintf(stderr, "ERROR Report file %s cannot be written: %s.\n", reportFile.c_str(),
                     opened.failure.c_str());
        return Published::Failed;
    }
    switch (report::WriteReportJson(report, opened.descriptor, reportFile, error, stop)) {
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

int ExitStatus(RunEnd end, Published published, int stopSignal, bool itemsMissing) {
    const int stopped = 128 + (stopSignal != 0 ? stopSignal : SIGINT);
    switch (end) {
        case RunEnd::Finished:
            if (published == Published::Stopped) return stopped;
            return published == Published::Done && !itemsMissing ? 0 : 1;
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
