#include "linking/link_report_json.h"

#include <nlohmann/json.hpp>

namespace tarvo::linking {
namespace {

using Json = nlohmann::ordered_json;

Json Methods(const std::vector<MethodResult>& results) {
    Json list = Json::array();
    for (const MethodResult& result : results) {
        const LinkConstants& k = result.constants;
        Json entry{{"method", LinkMethodName(result.method)}};
        entry["A"] = k.ok ? Json(k.A) : Json();
        entry["B"] = k.ok ? Json(k.B) : Json();
        entry["se_A"] = k.ok ? Json(k.seA) : Json();
        entry["se_B"] = k.ok ? Json(k.seB) : Json();
        if (!k.ok) entry["problem"] = k.problem;
        if (result.bootstrapReplicates > 0)
            entry["bootstrap_replicates"] = result.bootstrapReplicates;
        list.push_back(std::move(entry));
    }
    return list;
}

Json Drift(const DriftScreen& screen, double threshold) {
    Json items = Json::array();
    for (const DriftFinding& f : screen.items) {
        items.push_back(
            Json{{"base_id", f.baseId},
                 {"new_id", f.newId},
                 {"b_base", f.bBase},
                 {"b_new_on_base", f.bNewOnBase},
                 {"difference", f.difference},
                 {"z", f.z},
                 {"se_difference", f.seDifference},
                 {"difference_over_se", f.differenceOverSe},
                 {"drifting", f.drifting},
                 {"flagged_by", f.drifting ? Json(DriftRuleName(f.flaggedBy)) : Json()}});
    }
    Json drift{{"threshold", threshold},
               {"rule",
                "drifting where both the robust z and the difference over its standard error "
                "pass the threshold; where the errors are not known, the robust z alone"},
               {"screened", screen.screened},
               {"median", screen.median},
               {"robust_sd", screen.robustSd},
               {"robust_sd_floor", kDriftSdFloor},
               {"items", items}};
    if (!screen.note.empty()) drift["note"] = screen.note;
    return drift;
}

Json Curves(const TestCurves& curves) {
    return Json{{"theta", curves.theta},
                {"expected_score", curves.expected},
                {"information", curves.information},
                {"se", curves.se}};
}

Json ScoreTable(const std::vector<ScoreRow>& table) {
    Json rows = Json::array();
    for (const ScoreRow& row : table) {
        rows.push_back(Json{{"score", row.score},
                            {"proportion", row.proportion},
                            {"eap", row.eap},
                            {"eap_sd", row.eapSd},
                            {"ml", row.ml}});
    }
    return rows;
}

}  // namespace

std::string LinkReportJson(const LinkRequest& request, const LinkOutcome& outcome) {
    Json report;
    report["linking"] = Methods(outcome.Final());
    report["errors"] = request.bootstrap > 0 ? "bootstrap" : "delta";
    if (request.bootstrap > 0) {
        report["bootstrap"] = Json{{"replicates", request.bootstrap}, {"seed", request.seed}};
    }
    const CriterionSettings& c = request.criterion;
    report["criterion"] = Json{{"points", c.points},
                               {"range", c.range},
                               {"mean", c.mean},
                               {"sd", c.sd},
                               {"symmetric", c.symmetric}};
    report["slope_fixed"] = outcome.slopeFixed;
    report["base"] = Json{{"file", request.basePath},
                          {"model", FormModelName(outcome.base.model)},
                          {"items", outcome.base.size()}};
    report["new"] = Json{{"file", request.newPath},
                         {"model", FormModelName(outcome.fresh.model)},
                         {"items", outcome.fresh.size()}};
    report["common_items"] = outcome.anchors.size();
    const bool byPairs = request.anchorPairs || !request.anchorsPath.empty();
    report["common_items_matched_by"] = byPairs                     ? "anchor pairs"
                                        : outcome.matchedByPosition ? "position"
                                                                    : "item ID";
    report["chosen_method"] = LinkMethodName(request.chosen);
    report["drift"] = Drift(outcome.drift, request.driftThreshold);
    report["dropped"] = outcome.dropped;
    if (!outcome.dropped.empty()) report["linking_before_drop"] = Methods(outcome.first);
    report["curves"] =
        Json{{"base", Curves(outcome.baseCurves)}, {"new", Curves(outcome.newCurves)}};
    Json equating = Json::array();
    if (outcome.equating.rows) {
        for (const EquatingRow& row : *outcome.equating.rows) {
            equating.push_back(Json{
                {"new_score", row.newScore}, {"theta", row.theta}, {"base_score", row.baseScore}});
        }
    }
    report["equating"] = equating;
    report["score_table"] = ScoreTable(outcome.scoreTable);
    return report.dump(2) + "\n";
}

std::string ScoreReportJson(const std::vector<ScoreRow>& table, const TestCurves& curves,
                            const PopulationSettings* population) {
    Json report;
    if (population != nullptr) {
        report["population"] = Json{{"points", population->points},
                                    {"range", population->range},
                                    {"mean", population->mean},
                                    {"sd", population->sd}};
    }
    report["score_table"] = ScoreTable(table);
    report["curves"] = Curves(curves);
    return report.dump(2) + "\n";
}

}  // namespace tarvo::linking
