#include "library/library_request.h"

#include "request/option_table.h"
#include "request/value_checks.h"

namespace tarvo::lib {

namespace {

std::string PriorText(const Prior& prior) {
    if (!prior.on) return "none";
    return request::ShortestText(prior.first) + "," + request::ShortestText(prior.second);
}

}  // namespace

std::string ShapeProblem(const Responses& responses) {
    const std::string name = "ERROR Response file " + responses.label + ": ";
    if (responses.examinees == 0) return name + "the file holds no row.";
    if (responses.items > 0 && responses.cells == nullptr) {
        return name + "the responses hold no cells.";
    }
    if (!responses.itemNames.empty() && responses.itemNames.size() != responses.items) {
        return name + "there are " + std::to_string(responses.itemNames.size()) +
               " item names for " + std::to_string(responses.items) + " items.";
    }
    auto perExaminee = [&](std::size_t count, const char* what) {
        if (count == 0 || count == responses.examinees) return std::string();
        return name + "there are " + std::to_string(count) + " " + what + " for " +
               std::to_string(responses.examinees) + " examinees.";
    };
    for (const std::string& problem :
         {perExaminee(responses.ids.size(), "IDs"), perExaminee(responses.thetas.size(), "thetas"),
          perExaminee(responses.groups.size(), "group labels"),
          perExaminee(responses.rowCells.size(), "row lengths")}) {
        if (!problem.empty()) return problem;
    }
    return {};
}

ResponseMatrix MatrixOf(const Responses& responses) {
    ResponseMatrix matrix;
    matrix.examinees = responses.examinees;
    matrix.items = responses.items;
    matrix.cells = responses.cells;
    matrix.itemStride = responses.itemStride;
    matrix.examineeStride =
        responses.examineeStride != 0
            ? responses.examineeStride
            : static_cast<std::ptrdiff_t>(responses.items) * responses.itemStride;
    matrix.itemNames = responses.itemNames;
    matrix.ids = responses.ids;
    matrix.rowCells = responses.rowCells;
    matrix.groups = responses.groups;
    matrix.thetas.reserve(responses.thetas.size());
    for (const double theta : responses.thetas) {
        matrix.thetas.push_back(request::ShortestText(theta));
    }
    return matrix;
}

request::RequestCheck RequestOfOptions(const Responses& responses, const Options& o) {
    request::RequestTexts texts;
    request::OptionList given;
    auto add = [&given](const char* name, std::string value) {
        given.emplace_back(name, std::move(value));
    };
    auto addWhole = [&add](const char* name, const std::optional<int>& value) {
        if (value) add(name, std::to_string(*value));
    };
    auto addNumber = [&add](const char* name, const std::optional<double>& value) {
        if (value) add(name, request::ShortestText(*value));
    };
    auto addText = [&add](const char* name, const std::string& value) {
        if (!value.empty()) add(name, value);
    };
    auto addFlag = [&add](const char* name, bool on) {
        if (on) add(name, "yes");
    };
    auto addPrior = [&add](const char* name, const std::optional<Prior>& prior) {
        if (prior) add(name, PriorText(*prior));
    };
    addWhole("mode", o.mode);
    add("response-file", responses.label);
    if (o.givenItems) add("item-file", o.givenItems->label);
    addText("output-file", o.outputFile);
    addText("method", o.method);
    addText("model", o.model);
    addText("binary-model", o.binaryModel);
    addText("item-models", o.itemModelsFile);
    addFlag("collapse-empty", o.collapseEmpty);
    addPrior("prior-a", o.priorA);
    addPrior("prior-b", o.priorB);
    addPrior("prior-c", o.priorC);
    addPrior("poly-prior-a", o.polyPriorA);
    addPrior("poly-prior-b", o.polyPriorB);
    addWhole("quadrature", o.quadrature);
    addText("scoring", o.scoring);
    addFlag("fix-items", o.fixItems);
    addFlag("scoring-only", o.scoringOnly);
    addFlag("estimate-population", o.estimatePopulation);
    addWhole("em-cycles", o.emCycles);
    addNumber("em-tolerance", o.emTolerance);
    if (!o.compare.empty()) {
        std::string list;
        for (const std::string& model : o.compare) list += (list.empty() ? "" : ",") + model;
        add("compare", list);
    }
    if (o.standardize) add("standardize", *o.standardize ? "yes" : "no");
    if (o.threads > 0) add("threads", std::to_string(o.threads));
    addText("report", o.reportFile);
    addFlag("strict", o.strict);
    addText("score-table", o.scoreTableFile);
    addNumber("population-mean", o.populationMean);
    addNumber("population-sd", o.populationSd);
    addWhole("population-points", o.populationPoints);
    addNumber("population-range", o.populationRange);
    for (const auto& [name, value] : o.runnerOptions) given.emplace_back(name, value);

    for (const auto& [name, value] : given) {
        if (const std::string refusal = request::ApplyOption(name, value, texts);
            !refusal.empty()) {
            request::RequestCheck check;
            check.message = refusal;
            return check;
        }
    }
    if (!responses.key.empty()) texts.format.emplace_back("key", responses.key);
    // The groups are the matrix's "group" column, read as a csv file's.
    if (!responses.groups.empty()) {
        texts.format.emplace_back("format", "csv");
        texts.groupColumn = "group";
    }
    return request::ParseRequest(texts);
}

}  // namespace tarvo::lib
