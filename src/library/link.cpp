// Linking and score tables through the library: the runner's --link and
// --items, their options parsed by the runner's parser, the link made by
// RunLink and the files written by the same writers, handed back as typed
// tables with the runner's JSON report.
#include <exception>
#include <new>

#include "library/link_request.h"
#include "linking/link_outputs.h"
#include "linking/link_report_json.h"
#include "report/html/link_html.h"

namespace tarvo::lib {

namespace {

using linking::LinkOutcome;
using linking::MethodResult;

template <typename Answer>
Answer Refused(std::string message) {
    Answer answer;
    answer.error = std::move(message);
    return answer;
}

StopPoll StopOf(const Control& control) {
    if (control.stop == nullptr && !control.stopPoll) return {};
    return [&control] {
        return (control.stop != nullptr && control.stop->load()) ||
               (control.stopPoll && control.stopPoll());
    };
}

void Progress(const Control& control, int percent, const std::string& text) {
    if (control.progress) control.progress(percent, text);
}

std::vector<LinkConstants> ConstantsOf(const std::vector<MethodResult>& results) {
    std::vector<LinkConstants> rows;
    for (const MethodResult& result : results) {
        const linking::LinkConstants& k = result.constants;
        LinkConstants row;
        row.method = linking::LinkMethodName(result.method);
        row.ok = k.ok;
        if (k.ok) {
            row.A = k.A;
            row.B = k.B;
            row.seA = k.seA;
            row.seB = k.seB;
        }
        row.problem = k.problem;
        row.bootstrapReplicates = result.bootstrapReplicates;
        rows.push_back(std::move(row));
    }
    return rows;
}

TestCurve CurveOf(const linking::TestCurves& curves) {
    return {curves.theta, curves.expected, curves.information, curves.se};
}

std::vector<ScoreRow> RowsOf(const std::vector<linking::ScoreRow>& table) {
    std::vector<ScoreRow> rows;
    rows.reserve(table.size());
    for (const linking::ScoreRow& r : table)
        rows.push_back({r.score, r.proportion, r.eap, r.eapSd, r.ml});
    return rows;
}

void FillLink(const linking::LinkRequest& request, const LinkOutcome& outcome, LinkResult& result) {
    result.constants = ConstantsOf(outcome.Final());
    if (!outcome.dropped.empty()) result.constantsBeforeDrop = ConstantsOf(outcome.first);
    result.chosenMethod = linking::LinkMethodName(request.chosen);
    for (const LinkConstants& row : result.constants) {
        if (row.method == result.chosenMethod) result.chosen = row;
    }
    result.commonItems = outcome.anchors.size();
    result.matchedBy = request.anchorPairs || !request.anchorsPath.empty() ? "anchor pairs"
                       : outcome.matchedByPosition                         ? "position"
                                                                           : "item ID";
    result.driftScreened = outcome.drift.screened;
    result.driftNote = outcome.drift.note;
    for (const linking::DriftFinding& f : outcome.drift.items) {
        result.drift.push_back({f.baseId, f.newId, f.bBase, f.bNewOnBase, f.difference, f.z,
                                f.seDifference, f.differenceOverSe, f.drifting,
                                f.drifting ? linking::DriftRuleName(f.flaggedBy) : ""});
    }
    result.dropped = outcome.dropped;
    const linking::ItemForm& t = outcome.transformed;
    for (std::size_t i = 0; i < t.size(); ++i) {
        result.transformed.push_back(
            {t.id[i], t.a[i], t.b[i], t.c[i], t.seA[i], t.seB[i], t.seC[i]});
    }
    result.baseCurve = CurveOf(outcome.baseCurves);
    result.newCurve = CurveOf(outcome.newCurves);
    if (outcome.equating.rows) {
        for (const linking::EquatingRow& row : *outcome.equating.rows) {
            result.equating.push_back({row.newScore, row.theta, row.baseScore});
        }
    }
    result.equatingError = outcome.equating.error;
    result.scoreTable = RowsOf(outcome.scoreTable);
}

// A fit's form, kept beside the request that points at it.
bool HoldFit(const Form& form, const std::string& fallback, std::optional<linking::ItemForm>& held,
             std::string& error) {
    if (form.fit == nullptr) return true;
    FitForm fitForm = FormOfFit(*form.fit, FormName(form, fallback));
    if (!fitForm.form) {
        error = "ERROR " + fitForm.error;
        return false;
    }
    held = std::move(fitForm.form);
    return true;
}

LinkResult LinkForms(const Form& base, const Form& fresh, const LinkOptions& options,
                     const Control& control) {
    linking::LinkParse parsed = LinkOptionsOf(base, fresh, options);
    if (!parsed.options) return Refused<LinkResult>(parsed.error);
    linking::LinkOptions& command = *parsed.options;
    linking::LinkRequest& request = command.request;
    std::optional<linking::ItemForm> baseForm, newForm;
    std::string error;
    if (!HoldFit(base, "base fit", baseForm, error) || !HoldFit(fresh, "new fit", newForm, error)) {
        return Refused<LinkResult>(std::move(error));
    }
    if (baseForm) request.baseForm = &*baseForm;
    if (newForm) request.newForm = &*newForm;
    if (!options.anchors.empty()) request.anchorPairs = options.anchors;
    request.stop = StopOf(control);
    const std::string clash = linking::FileClash(command);
    if (!clash.empty()) return Refused<LinkResult>(clash);

    Progress(control, 0, "Linking " + request.newPath + " to " + request.basePath);
    const LinkOutcome outcome = linking::RunLink(request);
    LinkResult result;
    if (outcome.matchedByPosition) {
        result.messages.push_back(
            "common items matched by position: neither form has item IDs and both hold " +
            std::to_string(outcome.anchors.size()) + " items");
    }
    for (const MethodResult& m : outcome.Final()) {
        if (!m.constants.ok) {
            result.messages.push_back(std::string("WARNING ") + linking::LinkMethodName(m.method) +
                                      ": " + m.constants.problem);
        }
    }
    if (outcome.first.empty()) {
        result.error = "ERROR " + outcome.error;
        return result;
    }
    FillLink(request, outcome, result);
    result.reportJson = linking::LinkReportJson(request, outcome);
    linking::WrittenFiles written;
    if (outcome.error.empty()) written = linking::WriteLinkFiles(command, outcome);
    if (!command.reportFile.empty()) {
        linking::WriteReport(command, command.reportFile, result.reportJson, written);
    }
    if (!command.htmlReportFile.empty()) {
        linking::WriteReport(command, command.htmlReportFile,
                             report::LinkHtmlReport(result.reportJson), written);
    }
    result.messages.insert(result.messages.end(), written.lines.begin(), written.lines.end());
    if (!outcome.error.empty()) {
        result.error = "ERROR " + outcome.error;
    } else if (!written.errors.empty()) {
        result.error = "ERROR " + written.errors.front();
    }
    for (const std::string& e : written.errors) result.messages.push_back("ERROR " + e);
    result.ok = result.error.empty();
    Progress(control, 100, "Linked");
    return result;
}

ScoreTableResult FormTable(const Form& form, const ScoreTableOptions& options,
                           const Control& control) {
    linking::LinkParse parsed = ScoreTableOptionsOf(form, options);
    if (!parsed.options) return Refused<ScoreTableResult>(parsed.error);
    const linking::LinkOptions& command = *parsed.options;
    const linking::LinkRequest& request = command.request;
    const std::string clash = linking::FileClash(command);
    if (!clash.empty()) return Refused<ScoreTableResult>(clash);
    linking::FormRead read;
    if (form.fit != nullptr) {
        FitForm fitForm = FormOfFit(*form.fit, request.basePath);
        if (!fitForm.form) return Refused<ScoreTableResult>("ERROR " + fitForm.error);
        read = linking::CheckedForm(request.basePath, *fitForm.form, request.baseModel);
    } else {
        read = linking::ReadLinkForm(request.basePath, request.baseColumns, request.baseModel,
                                     StopOf(control));
    }
    if (!read.form) return Refused<ScoreTableResult>("ERROR " + read.error);
    const linking::FormScores scores = linking::ScoresOfForm(*read.form, request.population);
    ScoreTableResult result;
    result.rows = RowsOf(scores.table);
    result.curve = CurveOf(scores.curves);
    result.reportJson = linking::ScoreReportJson(scores.table, scores.curves);
    linking::WrittenFiles written = linking::WriteFormScoreTable(command, scores.table);
    if (!command.reportFile.empty()) {
        linking::WriteReport(command, command.reportFile, result.reportJson, written);
    }
    if (!command.htmlReportFile.empty()) {
        linking::WriteReport(command, command.htmlReportFile,
                             report::LinkHtmlReport(result.reportJson), written);
    }
    result.messages = written.lines;
    for (const std::string& e : written.errors) result.messages.push_back("ERROR " + e);
    if (!written.errors.empty()) result.error = "ERROR " + written.errors.front();
    result.ok = result.error.empty();
    return result;
}

// Every failure a value: memory, or anything else thrown below.
template <typename Answer, typename Call>
Answer Guarded(Call&& call) {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return Refused<Answer>("ERROR The link ran out of memory.");
    } catch (const std::exception& failure) {
        return Refused<Answer>(std::string("ERROR The link failed: ") + failure.what());
    } catch (...) {
        return Refused<Answer>("ERROR The link failed.");
    }
}

}  // namespace

LinkResult Link(const Form& base, const Form& fresh, const LinkOptions& options,
                const Control& control) {
    return Guarded<LinkResult>([&] { return LinkForms(base, fresh, options, control); });
}

ScoreTableResult ScoreTable(const Form& form, const ScoreTableOptions& options,
                            const Control& control) {
    return Guarded<ScoreTableResult>([&] { return FormTable(form, options, control); });
}

}  // namespace tarvo::lib
