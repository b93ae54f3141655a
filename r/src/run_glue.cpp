// The package's way into the engine: a run asked for by the runner's own
// options, parsed by the runner's own parser and run by the same
// RunCalibration, so that every number is the runner's. The report comes
// back as the runner's JSON text; R reads it into data frames.
#include <R_ext/Utils.h>
#include <Rcpp.h>

#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "report/report_json.h"
#include "request/job_file.h"
#include "request/request_parser.h"
#include "run/calibration_run.h"

namespace {

void CheckInterrupt(void*) { R_CheckUserInterrupt(); }

// True when the user pressed Ctrl-C (or Esc) in R since the last look. The
// check runs inside R_ToplevelExec, so R's jump out of an interrupt never
// crosses the engine's frames.
bool InterruptPending() { return R_ToplevelExec(CheckInterrupt, nullptr) == FALSE; }

// A front end without a window: messages are kept for the R error or
// warning, every question takes its default answer, and a Stop is R's
// interrupt, looked at whenever the run polls.
class RHost : public tarvo::RunHost {
  public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    void ProgressInit(const std::string&) override {}
    void ProgressSet(int, const std::string&) override {}
    bool ProgressIsCancelled() override {
        if (!stopped && InterruptPending()) stopped = true;
        return stopped;
    }
    void ProgressShutdown() override {}
    void Breathe() override {}
    void RunStopped(const std::string& holds) override { stopSummary = holds; }
    void ViewResult(const std::string&) override {}

    std::vector<std::string> messages;
    std::string stopSummary;
    bool stopped = false;
};

const char* EndName(tarvo::RunEnd end) {
    switch (end) {
        case tarvo::RunEnd::Finished:
            return "finished";
        case tarvo::RunEnd::Stopped:
            return "stopped";
        case tarvo::RunEnd::EndedAtCheck:
            return "ended_at_check";
        case tarvo::RunEnd::OutputIncomplete:
            return "output_incomplete";
        case tarvo::RunEnd::NothingToEstimate:
            return "nothing_to_estimate";
    }
    return "unknown";
}

}  // namespace

// Runs one calibration from the runner's options (without the program's
// name). Returns list(end, report (JSON text), messages, stop); a command
// line the parser refuses is an R error with the parser's message.
// [[Rcpp::export(.tarvo_run)]]
Rcpp::List TarvoRun(Rcpp::CharacterVector options) {
    std::vector<std::string> texts(options.begin(), options.end());
    std::vector<std::string_view> args(texts.begin(), texts.end());
    const tarvo::cli::ParseResult parsed = tarvo::cli::ParseCommandLine(args);
    if (!parsed.options) Rcpp::stop(parsed.error);
    const tarvo::request::RequestCheck check = tarvo::request::ParseRequest(parsed.options->texts);
    if (!check.request) Rcpp::stop(check.message);
    const tarvo::RunRequest& request = *check.request;

    RHost host;
    tarvo::RunReport report;
    tarvo::RunEnd end;
    std::string json;
    try {
        end = tarvo::RunCalibration(request, host, &report, tarvo::EngineSettings{},
                                    tarvo::ReportExtras{tarvo::request::JobJson(request), {}});
        json = tarvo::report::ReportJson(report);
    } catch (const std::bad_alloc&) {
        Rcpp::stop("The run ran out of memory.");
    } catch (const std::exception& failure) {
        Rcpp::stop(std::string("The run failed: ") + failure.what());
    }
    if (host.stopped) throw Rcpp::internal::InterruptedException();
    return Rcpp::List::create(Rcpp::Named("end") = EndName(end), Rcpp::Named("report") = json,
                              Rcpp::Named("messages") = Rcpp::wrap(host.messages),
                              Rcpp::Named("error") = report.error);
}
