#include "report/report_json.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

#include "report/report_flags.h"

namespace tarvo::report {

namespace {

using Json = nlohmann::ordered_json;

// Raised with the version whenever a field changes meaning or goes away.
constexpr int kSchemaVersion = 2;

// Bytes of the document handed to the file at once.
constexpr std::size_t kReportBytesGathered = 1 << 16;

// Rows written between two looks at a stop request.
constexpr std::size_t kRowsBetweenLooks = 1000;

// Identifiers and file names are the input's bytes, which need not be
// UTF-8: replace what is not rather than fail.
std::string Dump(const Json& value, int indent = -1) {
    return value.dump(indent, ' ', false, Json::error_handler_t::replace);
}

Json RunPart(const RunReport& report) {
    Json part{
        {"mode", report.mode},
        {"path", report.path},
        {"method", report.method},
        {"model", report.model},
        {"result_file", report.resultFile},
        {"end", RunEndName(report.end)},
        {"error", report.error.empty() ? Json(nullptr) : Json(report.error)},
        {"stop_line", report.stopLine.empty() ? Json(nullptr) : Json(report.stopLine)},
        {"messages", report.messages},
        {"examinees", report.examinees},
        {"items", report.items},
        {"missing_responses", report.missingResponses},
        {"missing_share", report.missingShare},
        {"arithmetic", report.arithmetic.empty() ? Json(nullptr) : Json(report.arithmetic)},
        {"threads", report.threads},
        {"wall_seconds", report.wallSeconds},
        {"standardized", report.standardized},
        {"theta_spread", report.thetaSpread},
    };
    if (!report.binaryModel.empty()) part["binary_model"] = report.binaryModel;
    return part;
}

Json LoopPart(const LoopRecord& loop) {
    Json part{
        {"step", loop.step == LoopStep::EmCycle ? "em_cycle" : "joint_pass"},
        {"end", LoopEndName(loop.end)},
        {"passes", loop.passes},
        {"pass_limit", loop.passLimit},
        {"tolerance", loop.tolerance},
        {"last_change", loop.lastChange},
    };
    if (loop.step == LoopStep::EmCycle) {
        part["log_likelihood"] = loop.logLikelihood;
        part["largest_change"] = loop.largestChange;
    } else {
        part["ms_error"] = loop.msError;
    }
    return part;
}

Json MarginalPart(const RunReport& report) {
    const PopulationEstimate& p = report.population;
    Json population = Json{{"estimated", p.estimated}};
    if (p.estimated) {
        population["mean"] = p.mean;
        population["sd"] = p.sd;
        population["se_mean"] = p.seMean;
        population["se_sd"] = p.seSd;
    }
    const char* errors = report.errorForm == ErrorForm::ItemBlocks     ? "item_blocks"
                         : report.errorForm == ErrorForm::OwnCurvature ? "own_curvature"
                         : report.errorForm == ErrorForm::CrossProduct ? "cross_product"
                         : report.errorForm == ErrorForm::NotFormed    ? "none"
                                                                       : "whole_information";
    return Json{{"log_likelihood", report.logLikelihood},
                {"priors", report.priors},
                {"standard_errors", errors},
                {"population", std::move(population)}};
}

// An item scored 0..m has the groups' mean scores for their proportions correct.
Json AbilityGroupsPart(const ItemReport& item) {
    if (item.groupMeanScore.empty() || !item.groupProportion.empty()) {
        return Json{{"theta", item.groupTheta},
                    {"proportion", item.groupProportion},
                    {"count", item.groupCount}};
    }
    return Json{{"theta", item.groupTheta},
                {"mean_score", item.groupMeanScore},
                {"count", item.groupCount}};
}

Json ItemPart(const ItemReport& item) {
    Json part = Json{
        {"seq", item.seqItem},
        {"id", item.accNo},
        {"name", item.name.empty() ? Json(nullptr) : Json(item.name)},
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
        {"held", item.held},
        {"flags", ItemFlagNames(item.flags)},
        {"ability_groups", AbilityGroupsPart(item)},
    };
    // Only an item with an upper asymptote has the members.
    if (std::isfinite(item.u)) {
        part["u"] = item.u;
        part["se_u"] = item.seeu;
    }
    return part;
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

// A row's object with the members the sections add to it, before its
// closing brace.
std::string RowText(const Json& row, const std::vector<ReportSection>& sections,
                    std::vector<std::string> ReportSection::*members, std::size_t index) {
    std::string text = Dump(row);
    for (const ReportSection& section : sections) {
        const std::vector<std::string>& added = section.*members;
        if (index >= added.size() || added[index].empty()) continue;
        text.back() = ',';
        text += added[index];
        text += '}';
    }
    return text;
}

// Everything but the rows, as an indented object.
Json Head(const RunReport& report) {
    Json document;
    document["schema_version"] = kSchemaVersion;
    document["program"] = report.program;
    const Json job = Json::parse(report.job, nullptr, false);
    document["job"] = job.is_discarded() ? Json(nullptr) : job;
    document["input_files"] = Json{
        {"response_file", report.responseFile},
        {"item_parameter_file", report.itemFile.empty() ? Json(nullptr) : Json(report.itemFile)}};
    document["run"] = RunPart(report);
    document["loop"] = LoopPart(report.loop);
    if (report.method == "mml") document["mml"] = MarginalPart(report);
    document["reliability"] = Json{
        {"alpha_kr20", report.alpha},
        {"empirical", report.empiricalReliability},
        {"empirical_examinees", report.empiricalExaminees},
        {"raw_score_order_inversions", report.rawScoreOrderInversions},
    };
    if (report.kr20Items >= 0) document["reliability"]["kr20_items"] = report.kr20Items;
    document["warnings"] = report.warnings;
    for (const ReportSection& section : report.sections) {
        const Json value = Json::parse(section.json, nullptr, false);
        document[section.key] = value.is_discarded() ? Json(nullptr) : value;
    }
    return document;
}

// The document piece by piece: the head, then one line per row. False when
// stopRequested ended it.
template <typename Sink>
bool WriteDocument(const RunReport& report, Sink&& sink, const StopRequested& stopRequested) {
    std::string head = Dump(Head(report), 2);
    // The closing brace goes: the rows follow.
    head.pop_back();
    while (!head.empty() && head.back() == '\n') head.pop_back();
    sink(head + ",\n");
    std::size_t written = 0;
    auto rows = [&](const char* key, std::size_t count, auto&& row, auto members) {
        sink(std::string("  \"") + key + "\": [");
        for (std::size_t k = 0; k < count; ++k) {
            if (stopRequested && ++written % kRowsBetweenLooks == 0 && stopRequested())
                return false;
            sink((k == 0 ? "\n    " : ",\n    ") + RowText(row(k), report.sections, members, k));
        }
        sink(count == 0 ? "]" : "\n  ]");
        return true;
    };
    if (!rows(
            "items", report.itemRows.size(),
            [&](std::size_t i) { return ItemPart(report.itemRows[i]); },
            &ReportSection::itemMembers)) {
        return false;
    }
    sink(",\n");
    if (!rows(
            "examinees", report.personRows.size(),
            [&](std::size_t j) { return PersonPart(j + 1, report.personRows[j]); },
            &ReportSection::personMembers)) {
        return false;
    }
    sink("\n}\n");
    return true;
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
        case RunEnd::NothingToEstimate:
            return "nothing_to_estimate";
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

std::string ReportHeadJson(const RunReport& report) { return Dump(Head(report)); }

std::string ItemRowJson(const RunReport& report, std::size_t index) {
    return RowText(ItemPart(report.itemRows[index]), report.sections, &ReportSection::itemMembers,
                   index);
}

std::string PersonRowJson(const RunReport& report, std::size_t index) {
    return RowText(PersonPart(index + 1, report.personRows[index]), report.sections,
                   &ReportSection::personMembers, index);
}

std::string ReportJson(const RunReport& report) {
    std::string text;
    WriteDocument(report, [&](const std::string& piece) { text += piece; }, {});
    return text;
}

ReportWrite WriteReportJson(const RunReport& report, int descriptor, const std::string& path,
                            std::string& error, const StopRequested& stopRequested) {
    bool written = true;
    auto writeOut = [&](const std::string& bytes) {
        std::size_t done = 0;
        while (written && done < bytes.size()) {
            const ssize_t n = ::write(descriptor, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n == 0 || errno != EINTR) {
                written = false;
            }
        }
    };
    // Rows are gathered into writes of about kReportBytesGathered.
    std::string gathered;
    const bool whole = WriteDocument(
        report,
        [&](const std::string& piece) {
            gathered += piece;
            if (gathered.size() >= kReportBytesGathered) {
                writeOut(gathered);
                gathered.clear();
            }
        },
        stopRequested);
    writeOut(gathered);
    written = ::close(descriptor) == 0 && written;
    if (!whole) {
        // Half a document is no report; only a file of our own is removed,
        // never a device or a pipe the user named.
        struct stat file {};
        if (::stat(path.c_str(), &file) == 0 && S_ISREG(file.st_mode)) std::remove(path.c_str());
        error = "Report file " + path + " was not finished: the run was stopped.";
        return ReportWrite::Stopped;
    }
    if (!written) {
        error = "Report file " + path + " could not be written completely.";
        return ReportWrite::Failed;
    }
    return ReportWrite::Written;
}

}  // namespace tarvo::report
