#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "cli/console_host.h"
#include "cli/format_options.h"
#include "cli/link_command.h"
#include "cli/options.h"
#include "cli/run_summary.h"
#include "library/request_run.h"
#include "linking/link_options.h"
#include "request/job_file.h"
#include "request/request_parser.h"
#include "run/run_files.h"

namespace {

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

int CommandLineError(const std::string& message) {
    std::fprintf(stderr, "tarvo-run: %s (see tarvo-run --help)\n", message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tarvo;
    std::set_terminate(EndAbruptly);
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(cli::UsageText().c_str(), stderr);
        return 2;
    }
    if (linking::IsLinkCommand(args)) return cli::RunLinkCommand(args);
    const cli::ParseResult parsed = cli::ParseCommandLine(args);
    if (!parsed.options) return CommandLineError(parsed.error);
    const cli::Options& options = *parsed.options;
    if (options.help) {
        std::fputs(cli::HelpText().c_str(), stdout);
        return 0;
    }
    if (!options.detectFile.empty()) return cli::RunDetect(options.detectFile);
    const request::RequestCheck check = request::ParseRequest(options.texts);
    if (!check.request) return CommandLineError(check.message);
    const RunRequest& runRequest = *check.request;
    if (!options.saveJob.empty()) {
        // Never over a file the job names: its inputs and its outputs.
        std::string error;
        if (!request::WriteJobFile(runRequest, options.saveJob, FilesOfRun(runRequest), error)) {
            std::fprintf(stderr, "ERROR %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    if (const std::string clash = cli::RunnerFileClash(runRequest, options.jobFile);
        !clash.empty()) {
        return CommandLineError(clash);
    }

    cli::ConsoleHost::InstallInterruptHandler();
    // A result file that is a pipe whose reader has gone, or that reaches the
    // file size limit, must fail like a full disk (reported at the end of the
    // run), not end the process with half a row written.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        // The summary prints the input check's findings among the run's
        // warnings; without a summary they are printed as they are found.
        cli::ConsoleHost host(options.view, stderr, isatty(STDERR_FILENO) == 1, options.quiet);
        RunReport report;
        const lib::RequestRun run =
            lib::RunParsedRequest(runRequest, host, &report, EngineSettings{}, ReportExtras{});
        for (const std::string& line : run.endLines) std::fprintf(stderr, "%s\n", line.c_str());
        cli::Published published =
            cli::PublishRunReport(report, options.quiet, runRequest.reportFile,
                                  cli::NotTheReport(runRequest, options.jobFile));
        if (published != cli::Published::Stopped &&
            cli::PublishHtmlReport(report, runRequest.htmlReportFile, runRequest.htmlExaminees,
                                   cli::NotTheHtmlReport(runRequest, options.jobFile)) ==
                cli::Published::Failed) {
            published = cli::Published::Failed;
        }
        const int status = cli::ExitStatus(run.end, published, cli::ConsoleHost::StopSignal(),
                                           report.itemParametersMissing);
        // A file beside a whole result that could not be written is a failure.
        return status == 0 && !report.unwrittenFiles.empty() ? 1 : status;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "ERROR The run ran out of memory.\n");
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "ERROR The run failed: %s\n", failure.what());
    } catch (...) {
        std::fprintf(stderr, "ERROR The run failed.\n");
    }
    return 1;
}
