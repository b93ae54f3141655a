#include <exception>
#include <new>

#include "core/program.h"
#include "library/library_host.h"
#include "library/library_request.h"
#include "library/library_tables.h"
#include "library/request_run.h"
#include "output/result_file_open.h"
#include "report/report_json.h"
#include "run/run_files.h"

namespace tarvo::lib {

namespace {

// Where the result rows go when no result file is asked for.
constexpr const char* kNoResultFile = "/dev/null";

Result Refused(std::string message) {
    Result result;
    result.end = "refused";
    result.error = std::move(message);
    return result;
}

Result Run(const Responses& responses, const Options& options, const Control& control) {
    if (std::string problem = ShapeProblem(responses); !problem.empty()) {
        return Refused(std::move(problem));
    }
    request::RequestCheck check = RequestOfOptions(responses, options);
    if (!check.request) return Refused(check.message);
    RunRequest& request = *check.request;
    const ResponseMatrix matrix = MatrixOf(responses);
    request.responses = &matrix;
    ItemValues given;
    if (options.givenItems) {
        given = {options.givenItems->ids, options.givenItems->a, options.givenItems->b,
                 options.givenItems->c};
        request.givenItems = &given;
    }
    const bool resultAsked = !request.outputFile.empty();
    if (!resultAsked) request.outputFile = kNoResultFile;
    const std::string reportFile = request.reportFile;

    LibraryHost host(control);
    RunReport report;
    ReportExtras extras;
    extras.summedScores = options.scoreTable;
    EngineSettings engine;
    engine.executor = control.executor;
    const RequestRun run = RunParsedRequest(request, host, &report, engine, extras);
    if (!resultAsked) report.resultFile.clear();

    Result result;
    result.end = report::RunEndName(run.end);
    // A result computed from no items is not one to use: the runner fails it too.
    result.ok = run.end == RunEnd::Finished && !report.itemParametersMissing;
    result.error = run.endLines.empty() ? report.error : run.endLines.front();
    if (!result.ok && result.error.empty() && !host.Messages().empty()) {
        result.error = host.Messages().back();
    }
    result.messages = host.Messages();
    FillTables(report, result);
    result.reportJson = report::ReportJson(report);
    if (!reportFile.empty()) {
        const std::string failure =
            WriteOutputFile(reportFile, result.reportJson, FilesOfRunBeside(request, reportFile));
        if (!failure.empty()) {
            result.warnings.push_back("The report file " + reportFile +
                                      " could not be written: " + failure + ".");
        }
    }
    return result;
}

}  // namespace

Result Calibrate(const Responses& responses, const Options& options, const Control& control) {
    try {
        return Run(responses, options, control);
    } catch (const std::bad_alloc&) {
        return Refused("ERROR The run ran out of memory.");
    } catch (const std::exception& failure) {
        return Refused(std::string("ERROR The run failed: ") + failure.what());
    } catch (...) {
        return Refused("ERROR The run failed.");
    }
}

std::string Version() { return std::string(kProgramName); }

}  // namespace tarvo::lib
