#include "cli/run_summary.h"

#include <sys/stat.h>
#include <unistd.h>

#include "output/result_file.h"
#include "platform/control_ids.h"
#include "report/report_json.h"
#include "report/report_summary.h"

namespace tarvo::cli {

std::string ReportFileClash(const Options& options) {
    if (options.reportFile.empty()) return {};
    const std::pair<int, const char*> files[] = {
        {control::kResponseFile, "the response file"},
        {control::kItemParameterFile, "the item parameter file"},
        {control::kOutputFile, "the result file"},
    };
    for (const auto& [id, what] : files) {
        const auto text = options.controlTexts.find(id);
        if (text == options.controlTexts.end() || text->second.empty()) continue;
        if (text->second == options.reportFile || IsSameFile(text->second, options.reportFile)) {
            return "--report " + options.reportFile + " names " + what;
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

bool PublishRunReport(const RunReport& report, bool quiet, const std::string& reportFile) {
    if (!quiet) {
        std::FILE* stream = SummaryStream(report.resultFile);
        std::fputs(report::SummaryText(report).c_str(), stream);
        std::fflush(stream);
    }
    if (reportFile.empty()) return true;
    std::string error;
    if (!report::WriteReportJson(report, reportFile, error)) {
        std::fprintf(stderr, "ERROR %s\n", error.c_str());
        return false;
    }
    return true;
}

}  // namespace tarvo::cli
