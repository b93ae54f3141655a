#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/console_host.h"
#include "cli/options.h"
#include "cli/run_summary.h"
#include "estimation/calibration_run.h"

int main(int argc, char** argv) {
    using namespace tarvo;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const cli::ParseResult parsed = cli::ParseCommandLine(args);
    if (!parsed.options) {
        std::fprintf(stderr, "tarvo-run: %s (see tarvo-run --help)\n", parsed.error.c_str());
        return 2;
    }
    const cli::Options& options = *parsed.options;
    if (options.help) {
        std::fputs(cli::HelpText().c_str(), stdout);
        return 0;
    }

    if (const std::string clash = cli::ReportFileClash(options); !clash.empty()) {
        std::fprintf(stderr, "tarvo-run: %s (see tarvo-run --help)\n", clash.c_str());
        return 2;
    }

    cli::ConsoleHost::InstallInterruptHandler();
    // A result file that is a pipe whose reader has gone must fail like a
    // full disk (reported at the end of the run), not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    cli::ConsoleHost host(options.controlTexts, options.mode, options.standardize, options.view,
                          stderr, isatty(STDERR_FILENO) == 1);
    EngineSettings engine;
    engine.threads = options.threads;  // 0: every core
    RunReport report;
    const bool wantReport = !options.quiet || !options.reportFile.empty();
    const RunOutcome outcome = RunCalibration(host, engine, wantReport ? &report : nullptr);
    const bool published =
        !wantReport || cli::PublishRunReport(report, options.quiet, options.reportFile);
    switch (outcome) {
        case RunOutcome::Finished:
        case RunOutcome::Stopped:
            return published ? 0 : 1;
        case RunOutcome::EndedAtCheck:
        case RunOutcome::OutputIncomplete:
            return 1;
    }
    return 1;
}
