#include "report/report_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "core/model_constants.h"
#include "core/modes.h"
#include "report/ability_statistics.h"
#include "report/report_flags.h"
#include "report/report_warnings.h"
#include "report/response_counts.h"

namespace tarvo::report {

namespace {

// Each item is judged by the model that produced it: an item scored 0..m
// by the polytomous judgement over all its thresholds.
void FillItemRows(RunReport& report, const ItemTable& items, const ResponseCounts& counts,
                  const std::vector<double>& itemRest, std::size_t rows,
                  const std::vector<char>& heldItems, bool withoutErrors,
                  const std::vector<std::vector<double>>& thresholds,
                  const std::vector<std::string>& models) {
    report.itemRows.resize(rows);
    for (std::size_t i = 0; i < rows; ++i) {
        ItemReport& row = report.itemRows[i];
        row.seqItem = static_cast<int>(i + 1);
        row.accNo = items.AccNo[i];
        row.a = items.a[i];
        row.b = items.b[i];
        row.c = items.c[i];
        row.seea = items.seea[i];
        row.seeb = items.seeb[i];
        row.seec = items.seec[i];
        row.nobs = counts.itemValid[i];
        row.omitted = counts.itemOmitted[i];
        row.pValue = PValue(counts, i);
        row.itemRest = itemRest[i];
        row.held = i < heldItems.size() && heldItems[i] != 0;
        if (i < models.size()) row.model = models[i];
        if (i < thresholds.size()) row.thresholds = thresholds[i];
        if (IsPolytomous(counts, i)) {
            row.categories = counts.categories[i];
            const std::vector<double> none;
            row.flags = PolytomousItemFlagsOf(row, i < thresholds.size() ? thresholds[i] : none,
                                              JudgementOf(report, row), withoutErrors);
        } else {
            row.flags = ItemFlagsOf(row, JudgementOf(report, row), withoutErrors);
        }
    }
}

// The mean of an item's valid scores; NaN without any.
double MeanScore(const PersonTable& persons, std::size_t item) {
    double sum = 0;
    std::size_t answered = 0;
    for (std::size_t j = 0; j < persons.personCount(); ++j) {
        const std::uint8_t code = persons.ResponsesOf(j)[item];
        if (code == kNoResponse) continue;
        sum += code;
        ++answered;
    }
    return answered > 0 ? sum / static_cast<double>(answered)
                        : std::numeric_limits<double>::quiet_NaN();
}

void FillPersonRows(RunReport& report, const PersonTable& persons, const ResponseCounts& counts,
                    std::size_t rows) {
    report.personRows.resize(rows);
    for (std::size_t j = 0; j < rows; ++j) {
        PersonReport& row = report.personRows[j];
        row.examinId = persons.ExaminID[j];
        row.theta = persons.theta[j];
        row.seetheta = persons.seetheta[j];
        row.rawScore = counts.rawScore[j];
        row.nvalid = counts.nvalid[j];
        if (!counts.score.empty()) {
            // The summed score over every item, as the result file's.
            row.rawScore = counts.score[j];
            row.nvalid = counts.answered[j];
            row.maxScore = counts.mostScore[j];
        }
        row.flags = PersonFlagsOf(row, report.judgement);
    }
}

void SetCounts(RunReport& report, const ResponseCounts& counts) {
    report.examinees = counts.personCount;
    report.items = counts.itemCount;
    report.missingResponses = counts.missing;
    const double cells =
        static_cast<double>(counts.personCount) * static_cast<double>(counts.itemCount);
    report.missingShare = cells > 0 ? static_cast<double>(counts.missing) / cells : 0;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// Which priors' parameters some estimated item has free: the right/wrong
// items' a, b and c, and the items scored 0..m.
struct PriorTargets {
    bool a = true, b = true, c = true, polytomous = true;
};

// Every prior that acted in a marginal run, named.
std::vector<std::string> PriorNames(const MarginalSettings& settings, PriorTargets targets) {
    const Priors priors = PriorsFor(settings);
    std::vector<std::string> names;
    if (priors.logA.on && targets.a) {
        names.push_back("a: log-normal, log a ~ N(" + Number(priors.logA.mean) + ", " +
                        Number(priors.logA.sd) + "^2)");
    }
    if (priors.b.on && targets.b) {
        names.push_back("b: normal N(" + Number(priors.b.mean) + ", " + Number(priors.b.sd) +
                        "^2)");
    }
    if (priors.c.on && targets.c) {
        names.push_back("c: beta Beta(" + Number(priors.c.alpha) + ", " + Number(priors.c.beta) +
                        ")");
    }
    if (priors.u.on && targets.c) {
        names.push_back("u: beta Beta(" + Number(priors.u.alpha) + ", " + Number(priors.u.beta) +
                        ")");
    }
    if (priors.polytomousLogA.on && targets.polytomous) {
        names.push_back("polytomous a: log-normal, log |a| ~ N(" +
                        Number(priors.polytomousLogA.mean) + ", " +
                        Number(priors.polytomousLogA.sd) + "^2)");
    }
    if (priors.polytomousB.on && targets.polytomous) {
        names.push_back("polytomous thresholds: normal N(" + Number(priors.polytomousB.mean) +
                        ", " + Number(priors.polytomousB.sd) + "^2)");
    }
    return names;
}

// A polytomous run names each item's model: its right/wrong items may take
// several (an item-models file), each judged by its own, and a prior acts
// only where an estimated item has its parameter free. binaryModel becomes
// the right/wrong items' models in item order ("2pl", "2pl, 3pl"; empty
// without any).
PriorTargets JudgeItemModels(RunReport& report, const MarginalSettings& settings,
                             const EstimationOutcome& outcome, double mean, double sd) {
    PriorTargets targets{false, false, false, false};
    std::vector<std::string> names;
    for (std::size_t i = 0; i < outcome.itemModels.size(); ++i) {
        const std::string& name = outcome.itemModels[i];
        const bool held = i < outcome.heldItems.size() && outcome.heldItems[i] != 0;
        const std::optional<MarginalModel> model = ModelNamed(name);
        if (!model) {
            targets.polytomous = targets.polytomous || !held;
            continue;
        }
        if (std::find(names.begin(), names.end(), name) == names.end()) {
            names.push_back(name);
            if (*model != settings.model) {
                MarginalSettings own = settings;
                own.model = *model;
                report.itemModelJudgements.emplace_back(name, MarginalJudgement(own, mean, sd));
            }
        }
        if (held) continue;
        const MarginalModelRules& rules = RulesOf(*model);
        targets.a = targets.a || rules.free.a || rules.commonSlope;
        targets.b = targets.b || rules.free.b;
        targets.c = targets.c || rules.free.c;
    }
    report.binaryModel.clear();
    for (const std::string& name : names) {
        report.binaryModel += (report.binaryModel.empty() ? "" : ", ") + name;
    }
    return targets;
}

// What the request tells: the estimator, its model and how its estimates
// are judged.
void DescribeRequest(RunReport& report, const RunRequest& request,
                     const EstimationOutcome* outcome) {
    if (request.method != Method::Marginal) {
        DescribeRun(report, request.mode);
        return;
    }
    const MarginalSettings& settings = request.marginal;
    const MarginalModelRules& rules = RulesOf(settings.model);
    report.mode = rules.layoutMode;
    report.path = PathOf(rules.layoutMode);
    report.method = "mml";
    report.model = std::string(rules.name);
    report.loop.step = LoopStep::EmCycle;
    report.loop.passLimit = settings.maxCycles;
    report.loop.tolerance = settings.tolerance;
    double mean = 0, sd = 1;
    if (outcome != nullptr && outcome->population.estimated) {
        mean = outcome->population.mean;
        sd = outcome->population.sd;
    }
    report.judgement = MarginalJudgement(settings, mean, sd);
    report.posteriorScores = settings.scoring != MarginalScoring::Ml;
    PriorTargets targets;
    if (settings.polytomous != PolytomousModel::None) {
        report.model = std::string(RulesOf(settings.polytomous).name);
        report.binaryModel = std::string(rules.name);
        report.polytomousJudgement = PolytomousJudgement(settings, mean, sd);
        if (outcome != nullptr && !outcome->itemModels.empty()) {
            targets = JudgeItemModels(report, settings, *outcome, mean, sd);
        }
    }
    report.priors = PriorNames(settings, targets);
}

// The sections' flags join the rows' own, after the statistics that read
// the rows' flags (the empirical reliability) were formed without them.
void AddSectionFlags(RunReport& report) {
    for (const ReportSection& section : report.sections) {
        const std::size_t items = std::min(section.itemFlags.size(), report.itemRows.size());
        for (std::size_t i = 0; i < items; ++i) report.itemRows[i].flags |= section.itemFlags[i];
        const std::size_t persons = std::min(section.personFlags.size(), report.personRows.size());
        for (std::size_t j = 0; j < persons; ++j) {
            report.personRows[j].flags |= section.personFlags[j];
        }
    }
}

// Each reported item takes its header name by its sequence number.
void NameItems(RunReport& report, const std::vector<std::string>& names) {
    for (ItemReport& item : report.itemRows) {
        const auto k = static_cast<std::size_t>(item.seqItem);
        if (k >= 1 && k <= names.size()) item.name = names[k - 1];
    }
}

}  // namespace

const char* PathOf(int mode) { return IsMode(mode) ? PathName(RulesOf(mode).path).data() : ""; }

const char* ModelOf(int mode) { return IsMode(mode) ? ModelName(RulesOf(mode)).data() : ""; }

void DescribeRun(RunReport& report, int mode) {
    report.mode = mode;
    report.path = PathOf(mode);
    report.model = ModelOf(mode);
    report.judgement = ClassicJudgement(mode);
}

void CompleteRunReport(RunReport& report, const ItemTable& items, const PersonTable& persons,
                       std::size_t reached, const std::vector<char>& heldItems, bool withoutErrors,
                       const std::vector<int>& categories,
                       const std::vector<std::vector<double>>& thresholds,
                       const std::vector<std::string>& models) {
    const ResponseCounts counts = CountResponses(persons, categories);
    SetCounts(report, counts);

    const std::string path = report.path;
    const std::size_t itemRows =
        path == "items-only" ? std::min(reached, counts.itemCount) : counts.itemCount;
    const std::size_t personRows =
        path == "theta-only" ? std::min(reached, counts.personCount) : counts.personCount;
    FillItemRows(report, items, counts, ItemRestCorrelations(persons, counts), itemRows, heldItems,
                 withoutErrors, thresholds, models);
    FillPersonRows(report, persons, counts, personRows);

    const std::span<const double> theta(persons.theta.data(), personRows);
    const std::span<const std::int32_t> rawScore(counts.rawScore.data(), personRows);
    const std::span<const std::int32_t> nvalid(
        (counts.answered.empty() ? counts.nvalid : counts.answered).data(), personRows);
    FillAbilityGroups(persons, theta, nvalid, report.itemRows);
    // The groups' proportions correct say nothing of an item scored 0..m:
    // its mean scores do; a right/wrong item's equal its proportions.
    for (std::size_t i = 0; i < itemRows; ++i) {
        ItemReport& row = report.itemRows[i];
        if (IsPolytomous(counts, i)) {
            row.groupProportion.clear();
            row.meanScore = MeanScore(persons, i);
        } else {
            row.groupMeanScore = std::vector<double>();
        }
    }

    report.alpha = Kr20(counts);
    if (!counts.categories.empty()) {
        report.kr20Items = static_cast<int>(RightWrongItems(counts));
        // Without right/wrong items their model and its priors acted on
        // nothing; the polytomous items' priors stay.
        if (report.kr20Items == 0) {
            report.binaryModel.clear();
            std::erase_if(report.priors, [](const std::string& prior) {
                return prior.rfind("polytomous ", 0) != 0;
            });
        }
    }
    report.empiricalReliability = std::numeric_limits<double>::quiet_NaN();
    report.empiricalExaminees = 0;
    if (report.judgement.theta.estimated) {
        // Every examinee with an estimate: ML scores have none for all right
        // or all wrong (the score sits at the search's bound).
        const std::uint32_t without =
            kPersonNoValid |
            (report.posteriorScores ? 0u
                                    : kPersonAllCorrect | kPersonAllWrong | kPersonThetaAtBound);
        std::vector<bool> estimated(personRows);
        for (std::size_t j = 0; j < personRows; ++j) {
            const PersonReport& person = report.personRows[j];
            estimated[j] = (person.flags & without) == 0;
            report.empiricalExaminees += estimated[j] && std::isfinite(person.theta) &&
                                         std::isfinite(person.seetheta) && person.seetheta >= 0;
        }
        report.empiricalReliability = EmpiricalReliability(
            theta, std::span<const double>(persons.seetheta.data(), personRows), estimated);
        if (std::isnan(report.empiricalReliability)) report.empiricalExaminees = 0;
    }
    report.rawScoreOrderInversions = -1;
    if (report.model == "1pl" && report.judgement.theta.estimated) {
        report.rawScoreOrderInversions = RawScoreOrderInversions(theta, rawScore, nvalid);
    }
    report.warnings = WarningsFor(report);
}

RunReport BuildRunReport(const ReportSources& sources) {
    RunReport report;
    report.program = sources.program;
    report.job = sources.job;
    report.end = sources.end;
    report.error = sources.error;
    report.stopLine = sources.stopLine;
    report.messages = sources.messages;
    report.arithmetic = sources.arithmetic;
    report.threads = sources.threads;
    report.wallSeconds = sources.wallSeconds;
    report.sections = sources.sections;
    if (sources.summedScores != nullptr) report.summedScores = *sources.summedScores;
    if (sources.options != nullptr) report.options = *sources.options;
    report.unwrittenFiles = sources.unwrittenFiles;
    const EstimationOutcome* outcome = sources.outcome;
    if (sources.request != nullptr) {
        const RunRequest& request = *sources.request;
        DescribeRequest(report, request, outcome);
        report.resultFile = request.outputFile;
        report.responseFile = request.settings.responseFile;
        report.itemFile = request.settings.itemParameterFile;
    }
    if (sources.inputSettings != nullptr) {
        report.itemFile = sources.inputSettings->itemParameterFile;
    }
    if (outcome != nullptr && report.method != "mml" && IsMode(report.mode)) {
        report.itemParametersMissing =
            RulesOf(report.mode).needsItemFile && report.itemFile.empty();
    }
    if (outcome != nullptr) {
        const LoopStep step = report.loop.step;
        report.loop = outcome->loop;
        report.loop.step = step;
        report.standardized = outcome->standardized;
        report.thetaSpread = outcome->thetaSpread;
        report.logLikelihood = outcome->logLikelihood;
        report.population = outcome->population;
        if (outcome->errorsFormed) report.errorForm = outcome->errorForm;
    }
    try {
        if (sources.persons != nullptr && sources.items != nullptr) {
            if (outcome == nullptr) {
                // Without an estimation the tables hold no estimates to judge.
                SetCounts(report, CountResponses(*sources.persons));
            } else {
                CompleteRunReport(
                    report, *sources.items, *sources.persons, outcome->rowsWritten,
                    outcome->heldItems,
                    !outcome->errorsFormed || outcome->errorForm == ErrorForm::NotFormed,
                    outcome->categories, outcome->thresholds, outcome->itemModels);
                for (std::size_t i = 0; i < outcome->upper.size() && i < report.itemRows.size();
                     ++i) {
                    if (outcome->upper[i] == 1 && outcome->upperErrors[i] < 0) continue;
                    report.itemRows[i].u = outcome->upper[i];
                    report.itemRows[i].seeu = outcome->upperErrors[i];
                }
                for (std::size_t i = 0;
                     i < report.itemRows.size() && i < outcome->optionSlopes.size(); ++i) {
                    ItemReport& row = report.itemRows[i];
                    row.optionSlopes = outcome->optionSlopes[i];
                    row.optionIntercepts = outcome->optionIntercepts[i];
                    row.keyedOption = outcome->keyedOptions[i];
                }
                AddSectionFlags(report);
            }
        }
    } catch (const std::bad_alloc&) {
        // A run that ran out of memory may leave too little for its rows:
        // keep what is known of the run itself.
        report.itemRows.clear();
        report.personRows.clear();
    }
    if (sources.itemNames != nullptr) NameItems(report, *sources.itemNames);
    report.warnings.clear();
    for (const ReportSection& section : report.sections) {
        if (!section.leads) continue;
        report.warnings.insert(report.warnings.end(), section.warnings.begin(),
                               section.warnings.end());
    }
    report.leadingWarnings = report.warnings.size();
    const std::vector<std::string> own = WarningsFor(report);
    report.warnings.insert(report.warnings.end(), own.begin(), own.end());
    for (const ReportSection& section : report.sections) {
        if (section.leads) continue;
        report.warnings.insert(report.warnings.end(), section.warnings.begin(),
                               section.warnings.end());
    }
    report.warnings.insert(report.warnings.end(), report.unwrittenFiles.begin(),
                           report.unwrittenFiles.end());
    return report;
}

}  // namespace tarvo::report
