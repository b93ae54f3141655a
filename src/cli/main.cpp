#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/console_host.h"
#include "cli/options.h"
#include "estimation/calibration_run.h"
#include "estimation/marginal_run.h"

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

    cli::ConsoleHost::InstallInterruptHandler();
    // A result file that is a pipe whose reader has gone must fail like a
    // full disk (reported at the end of the run), not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    cli::ConsoleHost host(options.controlTexts, options.mode, options.standardize, options.view,
                          stderr, isatty(STDERR_FILENO) == 1);
    EngineSettings engine;
    engine.threads = options.threads;  // 0: every core
    RunReport report;
    const RunOutcome outcome =
        options.method.marginal
            ? RunMarginalCalibration(host, engine, options.method.settings, &report)
            : RunCalibration(host, engine);
    if (options.method.marginal && report.loop.passes > 0) {
        std::fprintf(stderr, "tarvo-run: mml %s: %d EM cycles, %s, marginal log-likelihood %.4f\n",
                     report.model.c_str(), report.loop.passes,
                     report.loop.end == LoopEnd::Settled   ? "converged"
                     : report.loop.end == LoopEnd::Stopped ? "stopped"
                                                           : "not converged",
                     report.logLikelihood);
    }
    switch (outcome) {
        case RunOutcome::Finished:
        case RunOutcome::Stopped:
            return 0;
        case RunOutcome::EndedAtCheck:
        case RunOutcome::OutputIncomplete:
            return 1;
    }
    return 1;
}
