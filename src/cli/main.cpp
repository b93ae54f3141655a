#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/console_host.h"
#include "cli/options.h"
#include "cli/run_summary.h"
#include "estimation/marginal/marginal_run.h"
#include "run/calibration_run.h"

namespace {

void ReportStop(const std::string& whatTheResultHolds) {
    const std::string text =
        "Stopped: " + (whatTheResultHolds.empty() ? std::string("the result is incomplete.")
                                                  : whatTheResultHolds);
    std::fprintf(stderr, "%s\n", text.c_str());
}

// The last resort when the program cannot go on at all, e.g. when so little
// memory is left that not even the exception that would report it can be
// made: say so and end with status 1, never with a signal that a script
// might take for a stop. Only async-signal-safe calls.
[[noreturn]] void EndAbruptly() {
    static constexpr char kText[] =
        "ERROR The run failed: the program could not go on (not enough memory?).\n";
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, kText, sizeof kText - 1);
    _exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tarvo;
    std::set_terminate(EndAbruptly);
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
    // A result file that is a pipe whose reader has gone, or that reaches the
    // file size limit, must fail like a full disk (reported at the end of the
    // run), not end the process with half a row written.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        cli::ConsoleHost host(options.controlTexts, options.mode, options.standardize, options.view,
                              stderr, isatty(STDERR_FILENO) == 1);
        EngineSettings engine;
        engine.threads = options.threads;  // 0: every core
        RunReport report;
        const bool wantReport = !options.quiet || !options.reportFile.empty();
        const RunOutcome outcome =
            options.method.marginal
                ? RunMarginalCalibration(host, engine, options.method.settings, &report)
                : RunCalibration(host, engine, wantReport ? &report : nullptr);
        const bool published =
            !wantReport || cli::PublishRunReport(report, options.quiet, options.reportFile);
        switch (outcome) {
            case RunOutcome::Finished:
                return published ? 0 : 1;
            case RunOutcome::Stopped: {
                // The file holds whole rows, but a script must be able to
                // tell it from a complete result.
                ReportStop(host.StopSummary());
                const int signal = cli::ConsoleHost::StopSignal();
                return 128 + (signal != 0 ? signal : SIGINT);
            }
            case RunOutcome::EndedAtCheck:
            case RunOutcome::OutputIncomplete:
                return 1;
        }
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "ERROR The run failed: %s\n", failure.what());
    } catch (...) {
        std::fprintf(stderr, "ERROR The run failed.\n");
    }
    return 1;
}
