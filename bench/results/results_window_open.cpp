// Times the opening of the results window for a large run: a joint result
// of 100,000 examinees and 45 items with its run report (the examinees' fit
// members as a run writes them), and the result file's tab, whose text (its
// first megabytes) is read off the window's thread; and the memory the
// window takes above the report it is given (the peak while it opens).
// Usage: tarvo-results-bench [examinees]   (offscreen unless a display is set)
#include <malloc.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "output/masks.h"
#include "shell/desktop/desktop_services.h"
#include "shell/results/result_table_view.h"
#include "shell/results/results_window.h"
#include "simulator.h"

namespace {

class NoDesktop final : public tarvo::shell::DesktopServices {
  public:
    void ShowMessage(const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    bool AskRunAnyway(const std::string&) override { return true; }
    void OpenDocument(const std::string&) override {}
};

std::string Padded(const std::string& id) { return std::string(12 - id.size(), ' ') + id; }

// A mode 3 result file with the generating values as estimates, and the
// report a run would give with it.
tarvo::RunReport WriteJointResult(const std::string& path, std::size_t examinees) {
    using tarvo::FormatWithMask;
    const tarvo::sim::SimulatedData data = tarvo::sim::Simulate({7, examinees, 45});
    tarvo::RunReport report;
    report.mode = 3;
    report.resultFile = path;
    report.examinees = examinees;
    report.items = data.items.size();
    report.loop.end = tarvo::LoopEnd::Settled;
    for (int pass = 1; pass <= 30; ++pass) report.loop.msError.push_back(0.1 + 1.0 / (pass * pass));
    report.loop.passes = 30;

    std::ofstream out(path, std::ios::binary);
    out << "SeqItem,AccNo, Nobs, a_calib, b_calib,c_calib, seea, seeb, seec\r\n";
    for (std::size_t i = 0; i < data.items.size(); ++i) {
        const auto& item = data.items[i];
        const std::string accNo = "ITEM" + std::to_string(i + 1);
        out << FormatWithMask(static_cast<double>(i + 1), tarvo::kMaskCount) << ", " << accNo
            << ", " << FormatWithMask(static_cast<double>(examinees), tarvo::kMaskCount) << ","
            << FormatWithMask(item.a, tarvo::kMaskParameter) << ","
            << FormatWithMask(item.b, tarvo::kMaskParameter) << ","
            << FormatWithMask(item.c, tarvo::kMaskParameter) << ",  0.100,  0.100,  0.050\r\n";
        tarvo::ItemReport row;
        row.seqItem = static_cast<int>(i + 1);
        row.accNo = accNo;
        row.a = item.a;
        row.b = item.b;
        row.c = item.c;
        row.seea = 0.1;
        row.seeb = 0.1;
        row.seec = 0.05;
        row.nobs = static_cast<int>(examinees);
        for (int g = 0; g < 10; ++g) {
            row.groupTheta.push_back(-2 + 0.45 * g);
            row.groupProportion.push_back(tarvo::sim::ProbabilityCorrect(-2 + 0.45 * g, item));
            row.groupCount.push_back(static_cast<int>(examinees / 10));
        }
        report.itemRows.push_back(row);
    }
    out << "\r\n SeqID,    ExaminID,Nvalid,   theta, seetheta\r\n";
    // The fit section's members of every examinee row, as a run writes them.
    tarvo::ReportSection fit;
    fit.key = "fit";
    fit.json = "{}";
    for (std::size_t j = 0; j < examinees; ++j) {
        const std::string id = "P" + std::to_string(1000000 + j);
        out << FormatWithMask(static_cast<double>(j + 1), tarvo::kMaskSeqId) << ", " << Padded(id)
            << ",   45," << FormatWithMask(data.theta[j], tarvo::kMaskTheta) << ", "
            << FormatWithMask(0.3, tarvo::kMaskSeeTheta) << "\r\n";
        tarvo::PersonReport person;
        person.examinId = id;
        person.theta = data.theta[j];
        person.seetheta = 0.3;
        person.nvalid = 45;
        person.rawScore = static_cast<int>(j % 46);
        report.personRows.push_back(person);
        char members[160];
        std::snprintf(members, sizeof members,
                      "\"fit\":{\"lz\":%.6f,\"infit\":%.6f,\"outfit\":%.6f},\"fit_note\":null",
                      data.theta[j] / 2, 1 + data.theta[j] / 10, 1 - data.theta[j] / 10);
        fit.personMembers.emplace_back(members);
        fit.personFlags.push_back(0);
    }
    report.sections.push_back(std::move(fit));
    return report;
}

// The process's resident memory now and its peak since the last reset, in
// MB (Linux: /proc/self/status; writing 5 to clear_refs resets the peak).
double StatusMegabytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) != 0) continue;
        std::istringstream value(line.substr(std::string(field).size()));
        double kilobytes = 0;
        value >> kilobytes;
        return kilobytes / 1024;
    }
    return 0;
}

// What an earlier round freed goes back to the system first, so that each
// round starts from the report alone.
void ResetPeakMemory() {
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

struct Timing {
    double open = 0;         // constructed, shown, laid out and painted once
    double openPeak = 0;     // the peak resident memory until the text is in, above that before, MB
    double peakAbove = 0;    // the same after the sorts and the filter
    double sortTheta = 0;    // the examinees sorted by theta
    double sortId = 0;       // then by ExaminID, descending
    double filter = 0;       // then filtered by a part of an ID
    double fileTab = 0;      // then the result file's tab shown until its text is in
    double longestTurn = 0;  // the longest the window's thread was busy meanwhile
    double copy = 0;         // every examinee selected and copied, as Ctrl+C does
    double copyPeak = 0;     // the peak resident memory meanwhile, above that before, MB
    double exportCsv = 0;    // the whole table exported as CSV
    double exportPeak = 0;   // the same for the export
};

double Milliseconds(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

Timing Open(const QString& path, const tarvo::RunReport& report, const QString& exported) {
    NoDesktop desktop;
    Timing timing;
    // The window is handed the run's report, as the program moves it.
    tarvo::RunReport handed = report;
    ResetPeakMemory();
    const double before = StatusMegabytes("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    auto* window = new tarvo::shell::ResultsWindow(path, std::move(handed), desktop);
    window->show();
    QApplication::processEvents();
    timing.open = Milliseconds(timer);
    timer.restart();
    // The text is read on a thread of its own; each turn of the event loop
    // is a time the window could not answer.
    QElapsedTimer turn;
    turn.start();
    window->Tabs()->setCurrentIndex(0);
    QApplication::processEvents();
    timing.longestTurn = Milliseconds(turn);
    while (!window->FileTextShown()) {
        turn.restart();
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        timing.longestTurn = std::max(timing.longestTurn, Milliseconds(turn));
    }
    timing.fileTab = Milliseconds(timer);
    timing.openPeak = StatusMegabytes("VmHWM:") - before;
    window->Tabs()->setCurrentWidget(window->PersonView()->parentWidget());
    QApplication::processEvents();
    timer.restart();
    const int theta = window->Data().personTable.Column("theta");
    window->PersonView()->sortByColumn(theta, Qt::AscendingOrder);
    QApplication::processEvents();
    timing.sortTheta = Milliseconds(timer);
    timer.restart();
    window->PersonView()->sortByColumn(1, Qt::DescendingOrder);
    QApplication::processEvents();
    timing.sortId = Milliseconds(timer);
    timer.restart();
    window->IdFilter()->setText(QStringLiteral("P10123"));
    QApplication::processEvents();
    timing.filter = Milliseconds(timer);
    timing.peakAbove = StatusMegabytes("VmHWM:") - before;

    window->IdFilter()->setText(QString());
    QApplication::processEvents();
    tarvo::shell::ResultTableView* view = window->PersonView();
    view->selectAll();
    ResetPeakMemory();
    const double beforeCopy = StatusMegabytes("VmRSS:");
    timer.restart();
    view->CopySelection();
    timing.copy = Milliseconds(timer);
    timing.copyPeak = StatusMegabytes("VmHWM:") - beforeCopy;
    QApplication::clipboard()->clear();
    view->SetSavePrompt([&](QWidget*, const QString&) { return exported; });
    ResetPeakMemory();
    const double beforeExport = StatusMegabytes("VmRSS:");
    timer.restart();
    view->ExportAsCsv();
    timing.exportCsv = Milliseconds(timer);
    timing.exportPeak = StatusMegabytes("VmHWM:") - beforeExport;
    delete window;
    return timing;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const std::size_t examinees = argc > 1 ? std::stoul(argv[1]) : 100000;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("large.csv"));
    const tarvo::RunReport report = WriteJointResult(path.toStdString(), examinees);

    std::printf("Results window, joint result of %zu examinees and 45 items:\n", examinees);
    for (int round = 1; round <= 3; ++round) {
        const Timing withReport = Open(path, report, folder.filePath(QStringLiteral("out.csv")));
        std::printf(
            "  round %d: opens in %6.1f ms (its tables from the report); the file's tab then"
            " shows its text in %6.1f ms, the window busy for at most %5.1f ms at a time;"
            " peak memory %6.1f MB above the report's\n"
            "           examinees sorted by theta in %6.1f ms, by ExaminID in %6.1f ms,"
            " filtered by ID in %6.1f ms; peak memory then %6.1f MB above the report's\n"
            "           all examinees copied in %7.1f ms (peak %6.1f MB above the memory before),"
            " exported as CSV in %7.1f ms (peak %6.1f MB above)\n",
            round, withReport.open, withReport.fileTab, withReport.longestTurn, withReport.openPeak,
            withReport.sortTheta, withReport.sortId, withReport.filter, withReport.peakAbove,
            withReport.copy, withReport.copyPeak, withReport.exportCsv, withReport.exportPeak);
    }
    return 0;
}
