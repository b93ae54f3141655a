#include "report/report_json.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>

#include "report/report_flags.h"

namespace tarvo::report {

namespace {

using Json = nlohmann::ordered_json;

// Raised with the version whenever a field changes meaning or goes away.
constexpr int kSchemaVersion = 1;

Json RunPart(const RunReport& report) {
    return Json{
        {"mode", report.mode},
        {"path", report.path},
        {"method", report.method},
        {"model", report.model},
        {"result_file", report.resultFile},
        {"end", RunEndName(report.end)},
        {"examinees", report.examinees},
        {"items", report.items},
        {"missing_responses", report.missingResponses},
        {"missing_share", report.missingShare},
        {"arithmetic", report.arithmetic},
        {"threads", report.threads},
        {"wall_seconds", report.wallSeconds},
        {"standardized", report.standardized},
        {"theta_spread", report.thetaSpread},
    };
}

Json LoopPart(const LoopRecord& loop) {
    return Json{
        {"end", LoopEndName(loop.end)},   {"passes", loop.passes},
        {"pass_limit", loop.passLimit},   {"tolerance", loop.tolerance},
        {"last_change", loop.lastChange}, {"ms_error", loop.msError},
    };
}

Json ItemPart(const ItemReport& item) {
    return Json{
        {"seq", item.seqItem},
        {"id", item.accNo},
        {"a", item.a},
        {"b", item.b},
        {"c", item.c},
        {"se_a", item.seea},
        {"se_b", item.seeb},
        {"se_c", item.seec},
        {"nobs", item.nobs},
        {"omitted", item.omitted},
        {"p_value", item.pValue},
        {"item_rest", item.itemRest},
        {"flags", ItemFlagNames(item.flags)},
        {"ability_groups", Json{{"theta", item.groupTheta},
                                {"proportion", item.groupProportion},
                                {"count", item.groupCount}}},
    };
}

Json PersonPart(std::size_t seq, const PersonReport& person) {
    return Json{
        {"seq", seq},
        {"id", person.examinId},
        {"theta", person.theta},
        {"se_theta", person.seetheta},
        {"raw_score", person.rawScore},
        {"nvalid", person.nvalid},
        {"flags", PersonFlagNames(person.flags)},
    };
}

}  // namespace

const char* RunEndName(RunEnd end) {
    switch (end) {
        case RunEnd::Finished:
            return "finished";
        case RunEnd::Stopped:
            return "stopped";
        case RunEnd::EndedAtCheck:
            return "ended_at_check";
        case RunEnd::OutputIncomplete:
            return "output_incomplete";
    }
    return "";
}

const char* LoopEndName(LoopEnd end) {
    switch (end) {
        case LoopEnd::NotRun:
            return "not_run";
        case LoopEnd::Settled:
            return "settled";
        case LoopEnd::PassLimit:
            return "pass_limit";
        case LoopEnd::Stopped:
            return "stopped";
    }
    return "";
}

std::string ReportJson(const RunReport& report) {
    Json document;
    document["schema_version"] = kSchemaVersion;
    document["run"] = RunPart(report);
    document["loop"] = LoopPart(report.loop);
    if (report.method == "mml") {
        document["mml"] = Json{{"log_likelihood", report.logLikelihood}, {"priors", report.priors}};
    }
    document["reliability"] = Json{
        {"alpha_kr20", report.alpha},
        {"empirical", report.empiricalReliability},
        {"raw_score_order_inversions", report.rawScoreOrderInversions},
    };
    document["warnings"] = report.warnings;
    Json items = Json::array();
    for (const ItemReport& item : report.itemRows) items.push_back(ItemPart(item));
    document["items"] = std::move(items);
    Json examinees = Json::array();
    for (std::size_t j = 0; j < report.personRows.size(); ++j) {
        examinees.push_back(PersonPart(j + 1, report.personRows[j]));
    }
    document["examinees"] = std::move(examinees);
    // Identifiers are the input file's bytes, which need not be UTF-8:
    // replace what is not rather than fail.
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

bool WriteReportJson(const RunReport& report, const std::string& path, std::string& error) {
    const std::string text = ReportJson(report);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        error = "Report file " + path + " cannot be written: " + std::strerror(errno) + ".";
        return false;
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
        error = "Report file " + path + " could not be written completely.";
        return false;
    }
    return true;
}

}  // namespace tarvo::report
