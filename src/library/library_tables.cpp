#include "library/library_tables.h"

#include <nlohmann/json.hpp>

#include "report/report_flags.h"
#include "report/report_json.h"

namespace tarvo::lib {

namespace {

using Json = nlohmann::json;

double Number(const Json& value, const char* key) {
    const auto found = value.find(key);
    return found == value.end() || !found->is_number() ? kNaN : found->get<double>();
}

int Whole(const Json& value, const char* key) {
    const auto found = value.find(key);
    return found == value.end() || !found->is_number() ? 0 : found->get<int>();
}

std::string Text(const Json& value, const char* key) {
    const auto found = value.find(key);
    return found == value.end() || !found->is_string() ? std::string() : found->get<std::string>();
}

bool Flag(const Json& value, const char* key) {
    const auto found = value.find(key);
    return found != value.end() && found->is_boolean() && found->get<bool>();
}

// A row's members as a section gives them ("\"fit\":{...},...") as one object.
Json Members(const std::string& members) {
    return Json::parse("{" + members + "}", nullptr, false);
}

const ReportSection* SectionOf(const RunReport& report, const char* key) {
    for (const ReportSection& section : report.sections) {
        if (section.key == key) return &section;
    }
    return nullptr;
}

Json SectionJson(const RunReport& report, const char* key) {
    const ReportSection* section = SectionOf(report, key);
    if (section == nullptr) return Json();
    return Json::parse(section->json, nullptr, false);
}

void FillItems(const RunReport& report, Result& result) {
    const ReportSection* fit = SectionOf(report, "fit");
    result.items.reserve(report.itemRows.size());
    for (std::size_t k = 0; k < report.itemRows.size(); ++k) {
        const ItemReport& r = report.itemRows[k];
        ItemRow row;
        row.number = r.seqItem;
        row.id = r.accNo;
        row.name = r.name;
        row.model = r.model;
        row.a = r.a;
        row.b = r.b;
        row.c = r.c;
        row.seA = r.seea;
        row.seB = r.seeb;
        row.seC = r.seec;
        row.thresholds = r.thresholds;
        row.categories = r.categories;
        row.nobs = r.nobs;
        row.omitted = r.omitted;
        row.pValue = r.pValue;
        row.itemRest = r.itemRest;
        row.meanScore = r.meanScore;
        row.held = r.held;
        row.flags = r.flags;
        for (const ReportSection& section : report.sections) {
            if (k < section.itemFlags.size()) row.flags |= section.itemFlags[k];
        }
        row.flagNames = report::ItemFlagNames(row.flags);
        if (fit != nullptr && k < fit->itemMembers.size()) {
            const Json members = Members(fit->itemMembers[k]);
            if (members.is_object() && members.contains("fit")) {
                const Json& f = members["fit"];
                row.sx2 = Number(f, "s_x2");
                row.df = Whole(f, "df");
                row.p = Number(f, "p");
                row.pAdjusted = Number(f, "p_adjusted");
                row.infit = Number(f, "infit");
                row.outfit = Number(f, "outfit");
                row.infitT = Number(f, "infit_t");
                row.outfitT = Number(f, "outfit_t");
                row.fitNote = Text(members, "fit_note");
            }
        }
        result.items.push_back(std::move(row));
    }
}

void FillPersons(const RunReport& report, Result& result) {
    const ReportSection* fit = SectionOf(report, "fit");
    result.persons.reserve(report.personRows.size());
    for (std::size_t j = 0; j < report.personRows.size(); ++j) {
        const PersonReport& r = report.personRows[j];
        PersonRow row;
        row.id = r.examinId;
        row.theta = r.theta;
        row.se = r.seetheta;
        row.rawScore = r.rawScore;
        row.nvalid = r.nvalid;
        row.maxScore = r.maxScore;
        row.flags = r.flags;
        for (const ReportSection& section : report.sections) {
            if (j < section.personFlags.size()) row.flags |= section.personFlags[j];
        }
        row.flagNames = report::PersonFlagNames(row.flags);
        if (fit != nullptr && j < fit->personMembers.size()) {
            const Json members = Members(fit->personMembers[j]);
            if (members.is_object() && members.contains("fit")) {
                const Json& f = members["fit"];
                row.lz = Number(f, "lz");
                row.infit = Number(f, "infit");
                row.outfit = Number(f, "outfit");
                row.fitNote = Text(members, "fit_note");
            }
        }
        result.persons.push_back(std::move(row));
    }
}

void FillSections(const RunReport& report, Result& result) {
    if (const Json model = SectionJson(report, "model_fit"); model.is_object()) {
        result.modelFit.defined = Flag(model, "defined");
        result.modelFit.minus2LogLikelihood = Number(model, "minus_2_log_likelihood");
        result.modelFit.parameters = Whole(model, "parameters");
        result.modelFit.examinees = static_cast<std::size_t>(Whole(model, "examinees"));
        result.modelFit.aic = Number(model, "aic");
        result.modelFit.bic = Number(model, "bic");
        result.modelFit.note = Text(model, "note");
    }
    if (const Json q3 = SectionJson(report, "local_dependence"); q3.is_object()) {
        result.averageQ3 = Number(q3, "average_q3");
        if (q3.contains("flagged") && q3["flagged"].is_array()) {
            for (const Json& pair : q3["flagged"]) {
                result.localDependence.push_back(
                    {pair["items"][0].get<int>(), pair["items"][1].get<int>(), Number(pair, "q3")});
            }
        }
    }
    if (const Json comparison = SectionJson(report, "model_comparison"); comparison.is_object()) {
        if (comparison.contains("models")) {
            for (const Json& m : comparison["models"]) {
                ComparedModel row;
                row.model = Text(m, "model");
                row.runModel = Flag(m, "run_model");
                row.defined = Flag(m, "defined");
                row.minus2LogLikelihood = Number(m, "minus_2_log_likelihood");
                row.parameters = Whole(m, "parameters");
                row.aic = Number(m, "aic");
                row.bic = Number(m, "bic");
                row.emCycles = Whole(m, "em_cycles");
                row.emEnd = Text(m, "em_end");
                row.note = Text(m, "note");
                result.comparison.push_back(std::move(row));
            }
        }
        if (comparison.contains("tests")) {
            for (const Json& t : comparison["tests"]) {
                ModelTest test;
                test.smaller = Text(t, "smaller");
                test.larger = Text(t, "larger");
                test.chiSquare = Number(t, "chi_square");
                test.df = Whole(t, "df");
                test.p = Number(t, "p");
                test.note = Text(t, "note");
                test.caution = Text(t, "caution");
                result.comparisonTests.push_back(std::move(test));
            }
        }
    }
    if (const Json findings = SectionJson(report, "input_check"); findings.is_array()) {
        for (const Json& f : findings) {
            Finding finding;
            finding.code = Text(f, "code");
            finding.message = Text(f, "message");
            finding.count = static_cast<std::size_t>(Whole(f, "count"));
            if (f.contains("examples")) {
                for (const Json& e : f["examples"]) {
                    if (e.is_string()) finding.examples.push_back(e.get<std::string>());
                }
            }
            finding.serious = Flag(f, "serious");
            result.findings.push_back(std::move(finding));
        }
    }
}

}  // namespace

void FillTables(const RunReport& report, Result& result) {
    std::string groups;
    for (const char* key : {"groups", "group_calibration", "dif"}) {
        if (const ReportSection* section = SectionOf(report, key)) {
            groups += (groups.empty() ? "{\"" : ",\"") + std::string(key) + "\":" + section->json;
        }
    }
    result.groupSectionsJson = groups.empty() ? "{}" : groups + "}";
    result.warnings.insert(result.warnings.end(), report.warnings.begin(), report.warnings.end());
    result.method = report.method;
    result.model = report.model;
    result.mode = report.mode;
    result.logLikelihood = report.logLikelihood;
    result.priors = report.priors;
    result.population = {report.population.estimated, report.population.mean, report.population.sd,
                         report.population.seMean, report.population.seSd};
    const LoopRecord& loop = report.loop;
    result.trace.step = loop.step == LoopStep::EmCycle ? "em_cycle" : "joint_pass";
    result.trace.end = report::LoopEndName(loop.end);
    result.trace.passes = loop.passes;
    result.trace.completed = loop.completed;
    result.trace.logLikelihood = loop.logLikelihood;
    result.trace.largestChange = loop.largestChange;
    result.trace.msError = loop.msError;
    result.alpha = report.alpha;
    result.empiricalReliability = report.empiricalReliability;
    result.threads = report.threads;
    if (report.summedScores) {
        for (const linking::ScoreRow& r : report.summedScores->rows) {
            result.scoreTable.push_back({r.score, r.proportion, r.eap, r.eapSd, r.ml});
        }
    }
    FillItems(report, result);
    FillPersons(report, result);
    FillSections(report, result);
}

}  // namespace tarvo::lib
