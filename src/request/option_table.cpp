#include "request/option_table.h"

#include <array>

#include "input/text/number_text.h"
#include "platform/control_ids.h"
#include "request/value_checks.h"

namespace tarvo::request {

namespace {

constexpr std::array<OptionSpec, 60> kOptions{{
    {"mode", "N", "calibration mode 1..8 (default 2, see below)"},
    {"response-file", "PATH", "response file (examinee records)", control::kResponseFile},
    {"item-file", "PATH", "item parameter file", control::kItemParameterFile},
    {"output-file", "PATH", "result file to write", control::kOutputFile},
    {"item-count", "TEXT", "number of items (item responses: Length)", control::kItemCount},
    {"response-start", "TEXT", "column of the first response", control::kResponseStart},
    {"examinee-id-start", "TEXT", "examinee ID: start column", control::kExamineeIdStart},
    {"examinee-id-length", "TEXT", "examinee ID: length", control::kExamineeIdLength},
    {"theta-start", "TEXT", "given theta: start column", control::kThetaStart},
    {"theta-length", "TEXT", "given theta: length", control::kThetaLength},
    {"item-id-start", "TEXT", "item ID: start column", control::kItemIdStart},
    {"item-id-length", "TEXT", "item ID: length", control::kItemIdLength},
    {"a-start", "TEXT", "a: start column", control::kAStart},
    {"a-length", "TEXT", "a: length", control::kALength},
    {"b-start", "TEXT", "b: start column", control::kBStart},
    {"b-length", "TEXT", "b: length", control::kBLength},
    {"c-start", "TEXT", "c: start column", control::kCStart},
    {"c-length", "TEXT", "c: length", control::kCLength},
    {"group-start", "N", "examinees' group field: start column (csv/tsv: the\ncolumn number)",
     control::kGroupStart},
    {"group-length", "N", "examinees' group field: length (1)", control::kGroupLength},
    {"group-column", "NAME|NUMBER", "csv/tsv: the column of the examinees' group"},
    {"reference-group", "LABEL", "the reference group (default: the first in the file)"},
    {"focal-groups", "LIST",
     "the focal groups, labels by commas (default: every\ngroup but the reference)"},
    {"standardize", "yes|no", "joint modes: standardise theta after each pass (yes)"},
    {"threads", "N", "worker threads (default: every core)"},
    {"report", "FILE", "write the run report (statistics, flags, warnings) as JSON"},
    {"html-report", "FILE",
     "write the whole run as one printable HTML page (tables,\n"
     "plots as SVG; no network or script needed to read it)"},
    {"html-examinees", "N", "examinees the HTML report lists before it summarises them (2000)"},
    {"strict", "",
     "end the run at the input check on a serious finding (a\n"
     "delimited file read in fixed columns, a header read as\n"
     "an examinee, scores 0..m read as right/wrong, ...)"},
    {"score-table", "FILE",
     "write the summed-score table of the final items (CSV):\n"
     "EAP, SD and ML ability and expected proportion per\n"
     "raw score (mml: over its quadrature and population)"},
    {"dif", "LIST",
     "DIF screens of each focal group against the reference\n"
     "group (needs a group field), by commas: mh (Mantel-\n"
     "Haenszel, Mantel's ordinal test for items scored 0..m),\n"
     "std (standardization), lr (logistic regression), irt\n"
     "(with --groups: each item freed across the groups,\n"
     "likelihood-ratio test and areas between the curves);\n"
     "the tables go into the report"},
    {"dif-match", "total|rest",
     "the DIF screens' matching score: the total score with\n"
     "the studied item (default) or the rest score without it"},
    {"anchors", "LIST",
     "--dif irt: the anchor items (names or numbers, by\n"
     "commas), equal across the groups in both compared\n"
     "models; the other items free (default: every item\n"
     "but the one studied is an anchor)"},
    {"population-mean", "M", "jml score table: population mean (0)"},
    {"population-sd", "S", "jml score table: population SD (1)"},
    {"population-points", "N", "jml score table: points (61)"},
    {"population-range", "R", "jml score table: points from M - R S to M + R S (6)"},
    {"method", "jml|mml",
     "estimator: jml, the classic joint maximum likelihood\n"
     "of --mode (default); mml, marginal maximum likelihood\n"
     "(Bock-Aitkin EM) with the options below"},
    {"model", "M",
     "3pl, 3pl-c-given (c from the item file), 2pl, 1pl, or\n"
     "rasch (1pl with one common slope); default from --mode:\n"
     "5 gives 3pl-c-given, 6 gives 1pl, others 3pl. The\n"
     "result has the layout of mode 3 (3pl, 2pl), 5 or 6;\n"
     "grm, gpcm, pcm or rsm: items keyed \"+\" (every item\n"
     "without a key) are scored 0..8 by their digit; 4pl\n"
     "(an upper asymptote u): the polytomous result layout;\n"
     "nominal: every item by its option code 1..8 (0, 9 or\n"
     "a blank missing), the key naming each correct option"},
    {"binary-model", "M", "right/wrong items beside polytomous ones: 3pl, 2pl,\n1pl or 4pl (3pl)"},
    {"item-models", "FILE",
     "each item's model, one line per item: grm, gpcm, pcm\n"
     "or rsm (optionally its categories; rsm then a scale's\n"
     "name), 3pl, 2pl or 1pl; instead of --model"},
    {"collapse-empty", "", "merge an unused middle category of an item"},
    {"prior-a", "MEAN,SD|none",
     "log-normal prior on a: log a ~ N(MEAN, SD); on by\n"
     "default only for the 3pl (0,0.5)"},
    {"prior-b", "MEAN,SD|none", "normal prior on b (none)"},
    {"prior-c", "ALPHA,BETA|none", "beta prior on c, 3pl and 4pl only (5,17)"},
    {"prior-u", "ALPHA,BETA|none", "beta prior on the upper asymptote u, 4pl only\n(17,5)"},
    {"poly-prior-a", "MEAN,SD|none",
     "polytomous items: log-normal prior on the size of\n"
     "an item's own slope, log |a| ~ N(MEAN, SD) (none)"},
    {"poly-prior-b", "MEAN,SD|none", "polytomous items: normal prior on every threshold\n(none)"},
    {"quadrature", "N", "quadrature points from -6 to 6 (61)"},
    {"scoring", "eap|map|ml", "examinee scores (eap)"},
    {"standard-errors", "louis|crossproduct|none",
     "items' standard errors: louis, the observed\n"
     "information (default); crossproduct, the examinees'\n"
     "gradients' cross-products (faster, approximate); none"},
    {"fix-items", "", "hold the items of the item file at their values"},
    {"scoring-only", "",
     "polytomous tests: every item held at the item file's\n"
     "values (a result file of this program); scores only"},
    {"estimate-population", "", "with --fix-items: estimate the ability mean and SD"},
    {"groups", "",
     "calibrate the groups of the group field together: one\n"
     "set of items, the reference group N(0, 1), each other\n"
     "group's mean and SD estimated; scores under each\n"
     "examinee's own group"},
    {"free-items", "LIST",
     "with --groups: these items (names or numbers, by\n"
     "commas) estimated in each group on its own, shown once\n"
     "per group (\"name [group]\"); the others equal"},
    {"free-dif", "",
     "with --groups: first the DIF screens (--dif, or mh),\n"
     "then the items they flag freed as by --free-items"},
    {"em-cycles", "N", "most EM cycles (500)"},
    {"em-tolerance", "X", "largest parameter change to stop at (0.0001)"},
    {"compare", "MODELS",
     "also fit these models (two or more of 1pl, rasch, 2pl,\n"
     "3pl, by commas; of grm, gpcm, pcm, rsm with a polytomous\n"
     "--model) on the same data and compare them by -2LL,\n"
     "AIC, BIC and likelihood-ratio tests in the report"},
}};

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// A prior's option: its words and the shape of its value.
struct PriorOption {
    FieldName field;
    std::string_view shape;
};

std::string ApplyPrior(PriorOption option, std::string_view value, PriorTexts& prior) {
    if (value == "none") {
        prior = PriorTexts{"none", std::nullopt, std::nullopt};
        return {};
    }
    const auto comma = value.find(',');
    if (comma == std::string_view::npos || value.find(',', comma + 1) != std::string_view::npos) {
        return Refusal(option.field, std::string(option.shape) + " or none", value);
    }
    prior =
        PriorTexts{"on", std::string(value.substr(0, comma)), std::string(value.substr(comma + 1))};
    return {};
}

std::string ApplyFlag(std::string_view name, std::string_view value, bool& flag) {
    if (value == "yes" || value == "no") {
        flag = value == "yes";
        return {};
    }
    return "--" + std::string(name) + " must be yes or no in a job file, not " + Quoted(value) +
           ".";
}

std::string PriorText(bool on, double first, double second) {
    return on ? ShortestText(first) + "," + ShortestText(second) : "none";
}

const char* StandardErrorsName(StandardErrorMethod method) {
    switch (method) {
        case StandardErrorMethod::CrossProduct:
            return "crossproduct";
        case StandardErrorMethod::None:
            return "none";
        case StandardErrorMethod::Louis:
            break;
    }
    return "louis";
}

const char* ScoringName(MarginalScoring scoring) {
    switch (scoring) {
        case MarginalScoring::Map:
            return "map";
        case MarginalScoring::Ml:
            return "ml";
        case MarginalScoring::Eap:
            break;
    }
    return "eap";
}

std::string JoinedList(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ",") + name;
    return text;
}

}  // namespace

std::span<const OptionSpec> RunOptions() { return kOptions; }

const OptionSpec* FindOption(std::string_view name) {
    for (const OptionSpec& option : RunOptions()) {
        if (option.name == name) return &option;
    }
    return nullptr;
}

std::string ApplyOption(std::string_view name, std::string_view value, RequestTexts& texts) {
    const OptionSpec* option = FindOption(name);
    if (option == nullptr) return "unknown option '--" + std::string(name) + "'";
    if (option->controlId != 0) {
        texts.controls[option->controlId] = std::string(value);
        return {};
    }
    const std::string text(value);
    if (name == "mode") {
        texts.mode = text;
    } else if (name == "group-column") {
        if (TrimBlanks(value).empty()) return "--group-column needs a column name or number";
        texts.groupColumn = text;
    } else if (name == "reference-group") {
        if (TrimBlanks(value).empty()) return "--reference-group needs a group label";
        texts.referenceGroup = text;
    } else if (name == "focal-groups") {
        if (TrimBlanks(value).empty()) return "--focal-groups needs group labels";
        texts.focalGroups = text;
    } else if (name == "standardize") {
        texts.standardize = text;
    } else if (name == "threads") {
        texts.threads = text;
    } else if (name == "report") {
        if (value.empty()) return "--report needs a file name";
        texts.report = text;
    } else if (name == "html-report") {
        if (value.empty()) return "--html-report needs a file name";
        texts.htmlReport = text;
    } else if (name == "html-examinees") {
        texts.htmlExaminees = text;
    } else if (name == "score-table") {
        if (value.empty()) return "--score-table needs a file name";
        texts.scoreTable = text;
    } else if (name == "dif") {
        texts.dif = text;
    } else if (name == "dif-match") {
        texts.difMatch = text;
    } else if (name == "anchors") {
        if (TrimBlanks(value).empty()) return "--anchors needs item names or numbers";
        texts.anchors = text;
    } else if (name == "free-items") {
        if (TrimBlanks(value).empty()) return "--free-items needs item names or numbers";
        texts.freeItems = text;
    } else if (name == "free-dif") {
        return ApplyFlag(name, value, texts.freeDif);
    } else if (name == "population-mean") {
        texts.populationMean = text;
    } else if (name == "population-sd") {
        texts.populationSd = text;
    } else if (name == "population-points") {
        texts.populationPoints = text;
    } else if (name == "population-range") {
        texts.populationRange = text;
    } else if (name == "method") {
        texts.method = text;
    } else if (name == "model") {
        texts.model = text;
    } else if (name == "binary-model") {
        texts.binaryModel = text;
    } else if (name == "item-models") {
        if (value.empty()) return "--item-models needs a file name";
        texts.itemModels = text;
    } else if (name == "collapse-empty") {
        return ApplyFlag(name, value, texts.collapseEmpty);
    } else if (name == "strict") {
        return ApplyFlag(name, value, texts.strict);
    } else if (name == "prior-a") {
        return ApplyPrior({{"The prior on a", "--prior-a"}, "MEAN,SD"}, value, texts.priorA);
    } else if (name == "prior-b") {
        return ApplyPrior({{"The prior on b", "--prior-b"}, "MEAN,SD"}, value, texts.priorB);
    } else if (name == "prior-c") {
        return ApplyPrior({{"The prior on c", "--prior-c"}, "ALPHA,BETA"}, value, texts.priorC);
    } else if (name == "prior-u") {
        return ApplyPrior({{"The prior on u", "--prior-u"}, "ALPHA,BETA"}, value, texts.priorU);
    } else if (name == "poly-prior-a") {
        return ApplyPrior({{"The polytomous items' prior on a", "--poly-prior-a"}, "MEAN,SD"},
                          value, texts.polytomousPriorA);
    } else if (name == "poly-prior-b") {
        return ApplyPrior({{"The polytomous items' prior on b", "--poly-prior-b"}, "MEAN,SD"},
                          value, texts.polytomousPriorB);
    } else if (name == "quadrature") {
        texts.quadrature = text;
    } else if (name == "scoring") {
        texts.scoring = text;
    } else if (name == "standard-errors") {
        texts.standardErrors = text;
    } else if (name == "fix-items") {
        return ApplyFlag(name, value, texts.fixItems);
    } else if (name == "scoring-only") {
        return ApplyFlag(name, value, texts.scoringOnly);
    } else if (name == "estimate-population") {
        return ApplyFlag(name, value, texts.estimatePopulation);
    } else if (name == "groups") {
        return ApplyFlag(name, value, texts.groups);
    } else if (name == "em-cycles") {
        texts.emCycles = text;
    } else if (name == "em-tolerance") {
        texts.emTolerance = text;
    } else if (name == "compare") {
        texts.compare = text;
    }
    return {};
}

OptionList RequestOptions(const RunRequest& request) {
    const RunSettings& s = request.settings;
    const auto number = [](std::uint16_t value) { return std::to_string(value); };
    OptionList options;
    options.emplace_back("mode", std::to_string(request.mode));
    options.emplace_back("response-file", s.responseFile);
    if (!s.itemParameterFile.empty()) options.emplace_back("item-file", s.itemParameterFile);
    options.emplace_back("output-file", request.outputFile);
    options.emplace_back("item-count", number(s.itemCount));
    options.emplace_back("response-start", number(s.responseStart));
    options.emplace_back("examinee-id-start", number(s.examineeIdField.start));
    options.emplace_back("examinee-id-length", number(s.examineeIdField.length));
    options.emplace_back("theta-start", number(s.thetaField.start));
    options.emplace_back("theta-length", number(s.thetaField.length));
    // The item file's columns are read only with an item file.
    if (!s.itemParameterFile.empty()) {
        options.emplace_back("item-id-start", number(s.itemIdField.start));
        options.emplace_back("item-id-length", number(s.itemIdField.length));
        options.emplace_back("a-start", number(s.aField.start));
        options.emplace_back("a-length", number(s.aField.length));
        options.emplace_back("b-start", number(s.bField.start));
        options.emplace_back("b-length", number(s.bField.length));
        options.emplace_back("c-start", number(s.cField.start));
        options.emplace_back("c-length", number(s.cField.length));
    }
    const GroupSettings& g = request.groups;
    if (g.length > 0) {
        options.emplace_back("group-start", number(g.start));
        options.emplace_back("group-length", number(g.length));
    }
    if (!g.column.empty()) options.emplace_back("group-column", g.column);
    if (g.present() && !g.reference.empty()) options.emplace_back("reference-group", g.reference);
    if (g.present() && !g.focal.empty()) {
        std::string labels;
        for (const std::string& label : g.focal) labels += (labels.empty() ? "" : ",") + label;
        options.emplace_back("focal-groups", labels);
    }
    if (request.standardize)
        options.emplace_back("standardize", *request.standardize ? "yes" : "no");
    if (request.threads > 0) options.emplace_back("threads", std::to_string(request.threads));
    if (!request.reportFile.empty()) options.emplace_back("report", request.reportFile);
    if (!request.htmlReportFile.empty()) {
        options.emplace_back("html-report", request.htmlReportFile);
        options.emplace_back("html-examinees", std::to_string(request.htmlExaminees));
    }
    if (request.strict) options.emplace_back("strict", "yes");
    if (!request.scoreTableFile.empty()) {
        options.emplace_back("score-table", request.scoreTableFile);
        // The marginal estimator forms it over its own quadrature.
        if (request.method != Method::Marginal) {
            const ScorePopulation& p = request.scorePopulation;
            options.emplace_back("population-mean", ShortestText(p.mean));
            options.emplace_back("population-sd", ShortestText(p.sd));
            options.emplace_back("population-points", std::to_string(p.points));
            options.emplace_back("population-range", ShortestText(p.range));
        }
    }
    if (request.dif.any()) {
        const DifRequest& d = request.dif;
        std::string screens;
        if (d.mantelHaenszel) screens += ",mh";
        if (d.standardization) screens += ",std";
        if (d.logistic) screens += ",lr";
        if (d.irt) screens += ",irt";
        options.emplace_back("dif", screens.substr(1));
        options.emplace_back("dif-match", d.restScore ? "rest" : "total");
        if (!d.anchors.empty()) options.emplace_back("anchors", JoinedList(d.anchors));
    }
    options.emplace_back("method", request.method == Method::Marginal ? "mml" : "jml");
    if (request.method != Method::Marginal) return options;
    const MarginalSettings& m = request.marginal;
    if (m.polytomous == PolytomousModel::None) {
        options.emplace_back("model", std::string(ModelName(m.model)));
    } else if (m.polytomous == PolytomousModel::PerItem) {
        options.emplace_back("item-models", request.itemModelsFile);
        if (m.collapseEmpty) options.emplace_back("collapse-empty", "yes");
    } else {
        options.emplace_back("model", std::string(RulesOf(m.polytomous).name));
        options.emplace_back("binary-model", std::string(ModelName(m.model)));
        if (m.collapseEmpty) options.emplace_back("collapse-empty", "yes");
    }
    options.emplace_back("prior-a", PriorText(m.priorLogA.on, m.priorLogA.mean, m.priorLogA.sd));
    options.emplace_back("prior-b", PriorText(m.priorB.on, m.priorB.mean, m.priorB.sd));
    options.emplace_back("prior-c", PriorText(m.priorC.on, m.priorC.alpha, m.priorC.beta));
    if (RulesOf(m.model).priorOnU) {
        options.emplace_back("prior-u", PriorText(m.priorU.on, m.priorU.alpha, m.priorU.beta));
    }
    if (m.polytomous != PolytomousModel::None) {
        options.emplace_back("poly-prior-a", PriorText(m.polytomousLogA.on, m.polytomousLogA.mean,
                                                       m.polytomousLogA.sd));
        options.emplace_back("poly-prior-b",
                             PriorText(m.polytomousB.on, m.polytomousB.mean, m.polytomousB.sd));
    }
    options.emplace_back("quadrature", std::to_string(m.quadraturePoints));
    options.emplace_back("scoring", ScoringName(m.scoring));
    // Written only when asked, so that a run's job file is as it was.
    if (m.standardErrors != StandardErrorMethod::Louis) {
        options.emplace_back("standard-errors", StandardErrorsName(m.standardErrors));
    }
    if (m.scoringOnly) {
        options.emplace_back("scoring-only", "yes");
    } else if (m.fixItems) {
        options.emplace_back("fix-items", "yes");
    }
    if (m.estimatePopulation) options.emplace_back("estimate-population", "yes");
    if (m.groups) options.emplace_back("groups", "yes");
    if (!request.freeItems.items.empty()) {
        options.emplace_back("free-items", JoinedList(request.freeItems.items));
    }
    if (request.freeItems.byDif) options.emplace_back("free-dif", "yes");
    options.emplace_back("em-cycles", std::to_string(m.maxCycles));
    options.emplace_back("em-tolerance", ShortestText(m.tolerance));
    if (!request.compareModels.empty()) {
        std::string names;
        for (const MarginalModel model : request.compareModels) {
            names += (names.empty() ? "" : ",") + std::string(ModelName(model));
        }
        options.emplace_back("compare", names);
    }
    if (!request.comparePolytomous.empty()) {
        std::string names;
        for (const PolytomousModel model : request.comparePolytomous) {
            names += (names.empty() ? "" : ",") + std::string(RulesOf(model).name);
        }
        options.emplace_back("compare", names);
    }
    return options;
}

}  // namespace tarvo::request
