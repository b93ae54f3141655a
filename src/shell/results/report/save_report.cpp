#include "shell/results/report/save_report.h"

#include <QDir>

#include "report/html/html_report.h"

namespace tarvo::shell {

std::vector<NamedFile> FilesNotTheReport(const RunReport& report) {
    std::vector<NamedFile> files{{report.resultFile, "the result file"},
                                 {report.responseFile, "the response file"}};
    if (!report.itemFile.empty()) files.push_back({report.itemFile, "the item parameter file"});
    return files;
}

QString SaveHtmlReport(const QString& path, const RunReport& report,
                       const std::vector<NamedFile>& notThese) {
    // Every examinee is listed up to the runner's default limit.
    const std::string page = report::HtmlReport(report);
    const std::string failure = WriteOutputFile(path.toStdString(), page, notThese);
    if (failure.empty()) return {};
    return QStringLiteral("The report could not be saved as %1: %2.")
        .arg(QDir::toNativeSeparators(path), QString::fromStdString(failure));
}

}  // namespace tarvo::shell
