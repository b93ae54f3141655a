#include "library/link_request.h"

#include <string_view>

#include "request/value_checks.h"

namespace tarvo::lib {

namespace {

using Arguments = std::vector<std::string>;

// The model a fit's items stand for as a form, or empty for a fit whose
// items a form cannot hold.
std::string FormModelOfFit(const Result& fit) {
    if (fit.method == "jml") return fit.mode >= 6 ? "1pl" : "3pl";
    if (fit.model == "1pl") return "1pl";
    if (fit.model == "2pl" || fit.model == "rasch") return "2pl";
    if (fit.model == "3pl" || fit.model == "3pl-c-given") return "3pl";
    return {};
}

void Add(Arguments& args, const char* name, const std::string& value) {
    args.push_back(std::string("--") + name);
    args.push_back(value);
}

void AddText(Arguments& args, const char* name, const std::string& value) {
    if (!value.empty()) Add(args, name, value);
}

void AddWhole(Arguments& args, const char* name, const std::optional<int>& value) {
    if (value) Add(args, name, std::to_string(*value));
}

void AddNumber(Arguments& args, const char* name, const std::optional<double>& value) {
    if (value) Add(args, name, request::ShortestText(*value));
}

void AddPopulation(Arguments& args, const std::optional<int>& points,
                   const std::optional<double>& mean, const std::optional<double>& sd,
                   const std::optional<double>& range) {
    AddWhole(args, "population-points", points);
    AddNumber(args, "population-mean", mean);
    AddNumber(args, "population-sd", sd);
    AddNumber(args, "population-range", range);
}

// A form's file, or its name in place of one for a fit; and its model.
void AddForm(Arguments& args, const Form& form, const char* fileOption, const char* modelOption,
             const std::string& fallback) {
    Add(args, fileOption, form.fit != nullptr ? FormName(form, fallback) : form.file);
    std::string model = form.model;
    if (model.empty() && form.fit != nullptr) model = FormModelOfFit(*form.fit);
    AddText(args, modelOption, model);
}

// The library keeps a score table in memory: --items needs no file there.
linking::LinkParse Parsed(const Arguments& args) {
    const std::vector<std::string_view> views(args.begin(), args.end());
    return linking::ParseLinkCommandLine(views, linking::TableFile::Optional);
}

void AddRunnerOptions(Arguments& args,
                      const std::vector<std::pair<std::string, std::string>>& options) {
    for (const auto& [name, value] : options) Add(args, name.c_str(), value);
}

}  // namespace

std::string FormName(const Form& form, const std::string& fallback) {
    if (!form.label.empty()) return form.label;
    if (form.fit == nullptr && !form.file.empty()) return form.file;
    return fallback;
}

FitForm FormOfFit(const Result& fit, const std::string& label) {
    FitForm out;
    out.model = FormModelOfFit(fit);
    if (!fit.ok) {
        out.error =
            label + ": the fit did not finish (" + fit.end + "), so it has no items to link";
        return out;
    }
    if (out.model.empty()) {
        out.error = label + ": a " + fit.model +
                    " fit's items are not right/wrong items of the 3PL family, which a form holds";
        return out;
    }
    linking::ItemForm form;
    form.Resize(fit.items.size());
    auto known = [](double se) { return se < 0 ? 0.0 : se; };
    for (std::size_t i = 0; i < fit.items.size(); ++i) {
        const ItemRow& row = fit.items[i];
        if (row.categories > 2 || !row.thresholds.empty()) {
            out.error = label + ": item " + std::to_string(i + 1) + " is scored 0.." +
                        std::to_string(row.categories - 1) + "; a form holds right/wrong items";
            return out;
        }
        form.id[i] = row.id.empty() ? row.name : row.id;
        form.a[i] = row.a;
        form.b[i] = row.b;
        form.c[i] = row.c;
        form.seA[i] = known(row.seA);
        form.seB[i] = known(row.seB);
        form.seC[i] = known(row.seC);
    }
    out.form = std::move(form);
    return out;
}

linking::LinkParse LinkOptionsOf(const Form& base, const Form& fresh, const LinkOptions& o) {
    Arguments args{"--link"};
    AddForm(args, base, "base-items", "base-model", "base fit");
    AddForm(args, fresh, "new-items", "new-model", "new fit");
    AddText(args, "anchors", o.anchorsFile);
    AddText(args, "link-method", o.method);
    AddWhole(args, "criterion-points", o.criterionPoints);
    AddNumber(args, "criterion-range", o.criterionRange);
    AddNumber(args, "criterion-mean", o.criterionMean);
    AddNumber(args, "criterion-sd", o.criterionSd);
    if (o.symmetric) args.emplace_back("--symmetric");
    AddWhole(args, "bootstrap", o.bootstrap);
    if (o.seed) Add(args, "seed", std::to_string(*o.seed));
    AddNumber(args, "drift-z", o.driftZ);
    if (o.dropDrifting) args.emplace_back("--drop-drifting");
    AddPopulation(args, o.populationPoints, o.populationMean, o.populationSd, o.populationRange);
    AddText(args, "report", o.reportFile);
    AddText(args, "html-report", o.htmlReportFile);
    AddText(args, "transformed-items", o.transformedItemsFile);
    AddText(args, "abilities", o.abilitiesFrom);
    AddText(args, "transformed-abilities", o.transformedAbilitiesFile);
    AddText(args, "score-table", o.scoreTableFile);
    AddText(args, "equating-table", o.equatingTableFile);
    AddRunnerOptions(args, o.runnerOptions);
    return Parsed(args);
}

linking::LinkParse ScoreTableOptionsOf(const Form& form, const ScoreTableOptions& o) {
    Arguments args;
    AddForm(args, form, "items", "model", "fit");
    AddPopulation(args, o.populationPoints, o.populationMean, o.populationSd, o.populationRange);
    AddText(args, "report", o.reportFile);
    AddText(args, "html-report", o.htmlReportFile);
    AddText(args, "score-table", o.scoreTableFile);
    AddRunnerOptions(args, o.runnerOptions);
    return Parsed(args);
}

}  // namespace tarvo::lib
