#include "shell/results/report/save_report.h"

#include <QDir>
#include <QSettings>
#include <algorithm>

#include "report/html/html_report.h"

namespace tarvo::shell {
namespace {

// The program's own settings (on Linux ~/.config/TARVO/TARVO.conf).
const QString kExamineeLimitKey = QStringLiteral("report/htmlExaminees");

QSettings ProgramSettings() { return QSettings(QStringLiteral("TARVO"), QStringLiteral("TARVO")); }

}  // namespace

std::vector<NamedFile> FilesNotTheReport(const RunReport& report) {
    std::vector<NamedFile> files{{report.resultFile, "the result file"},
                                 {report.responseFile, "the response file"}};
    if (!report.itemFile.empty()) files.push_back({report.itemFile, "the item parameter file"});
    return files;
}

QString SaveHtmlReport(const QString& path, const RunReport& report,
                       const std::vector<NamedFile>& notThese, std::size_t examineeLimit) {
    report::HtmlReportOptions options;
    options.examineeLimit = examineeLimit;
    const std::string page = report::HtmlReport(report, options);
    const std::string failure = WriteOutputFile(path.toStdString(), page, notThese);
    if (failure.empty()) return {};
    return QStringLiteral("The report could not be saved as %1: %2.")
        .arg(QDir::toNativeSeparators(path), QString::fromStdString(failure));
}

std::size_t RememberedExamineeLimit() {
    bool read = false;
    const qulonglong kept = ProgramSettings().value(kExamineeLimitKey).toULongLong(&read);
    // A setting edited by hand out of range is not used.
    if (!read || kept > kMostListedExaminees) return report::kHtmlExamineeLimit;
    return static_cast<std::size_t>(kept);
}

void RememberExamineeLimit(std::size_t limit) {
    ProgramSettings().setValue(kExamineeLimitKey,
                               static_cast<qulonglong>(std::min(limit, kMostListedExaminees)));
}

}  // namespace tarvo::shell
