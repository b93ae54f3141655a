#include "run/groups/irt_dif.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <nlohmann/json.hpp>

#include "estimation/polytomous/poly_groups.h"
#include "estimation/polytomous/polytomous_estimator.h"
#include "fit/chi_square.h"
#include "fit/multiple_testing.h"
#include "irt/scored_item.h"
#include "output/result_file.h"
#include "output/result_writer.h"
#include "parallel/worker_pool.h"
#include "platform/side_fit_host.h"
#include "run/groups/free_items.h"

namespace tarvo {

namespace {

using Json = nlohmann::ordered_json;

constexpr double kFlagAlpha = 0.05;
// The focal group's ability distribution for the areas: points over
// mean +- kAreaReach SD.
constexpr int kAreaPoints = 81;
constexpr double kAreaReach = 6;

const double kNan = std::numeric_limits<double>::quiet_NaN();

// A refit's request: the run's model and settings, without standard
// errors (the fits with items free form the observed information for the
// Wald tests), with EAP scores (not read), and nothing beside the fit.
RunRequest RefitRequest(const RunRequest& request) {
    RunRequest refit = request;
    refit.marginal.standardErrors = StandardErrorMethod::None;
    refit.marginal.scoring = MarginalScoring::Eap;
    refit.scoreTableFile.clear();
    refit.dif = DifRequest{};
    refit.freeItems = FreeItems{};
    return refit;
}

// One calibration of the groups together with some items freed.
struct Refit {
    bool fitted = false;
    std::string note;
    double logLikelihood = kNan;
    int parameters = 0;
    RunInputs inputs;
    EstimationOutcome outcome;
    ItemSplit split;
    ItemCovariances covariances;  // the freed items' copies', when asked
};

// Where a refit starts: each column at the base fit's column of the same
// item and group, else of the same item unsplit, else of its reference
// group's copy; the groups at the base fit's populations.
StartValues StartFrom(const Refit& base, const ItemSplit& target) {
    StartValues start;
    const ItemTable& table = base.inputs.items;
    for (std::size_t col = 0; col < target.origin.size(); ++col) {
        std::size_t from = base.split.origin.size();
        int best = 0;
        for (std::size_t k = 0; k < base.split.origin.size(); ++k) {
            if (base.split.origin[k] != target.origin[col]) continue;
            const int group = base.split.group[k];
            const int fit = group == target.group[col] ? 3 : group < 0 ? 2 : group == 0 ? 1 : 0;
            if (fit > best) {
                best = fit;
                from = k;
            }
        }
        if (from == base.split.origin.size() || from >= base.outcome.thresholds.size()) {
            return StartValues{};
        }
        start.a.push_back(table.a[from]);
        start.c.push_back(table.c[from]);
        start.b.push_back(base.outcome.thresholds[from]);
    }
    for (const GroupEstimate& group : base.outcome.groups) start.groups.push_back(group.population);
    return start;
}

// base: the fit the refit starts from (none: the responses' own start).
// covariances: the fit forms the observed information, and the outcome
// carries the freed items' copies' joint covariances for the Wald tests.
Refit FitFreed(const RunRequest& refit, const RunInputs& asRead,
               const std::vector<std::size_t>& freed, const poly::GroupPlan& plan, RunHost& host,
               const std::string& caption, WorkerPool& pool, const EngineSettings& engine,
               const Refit* base, bool covariances) {
    Refit fit;
    SideFitHost quiet(host, caption);
    try {
        fit.inputs = asRead;
        fit.split = SplitItems(fit.inputs, freed, plan.index, plan.labels);
        const StartValues start =
            base != nullptr && base->fitted ? StartFrom(*base, fit.split) : StartValues{};
        RunRequest request = refit;
        if (covariances) {
            request.marginal.standardErrors = StandardErrorMethod::Louis;
            for (const std::vector<std::size_t>& columns : fit.split.columns) {
                fit.covariances.items.insert(fit.covariances.items.end(), columns.begin(),
                                             columns.end());
            }
        }
        const std::unique_ptr<Estimator> estimator = MakePolytomousEstimator(
            request, start.a.empty() ? nullptr : &start, covariances ? &fit.covariances : nullptr);
        const std::function<bool()> stop = [&quiet] { return quiet.ProgressIsCancelled(); };
        if (std::string refusal = estimator->CheckInputs(fit.inputs, stop); !refusal.empty()) {
            fit.note = "not fitted: " + refusal;
            return fit;
        }
        // A result file that is never opened takes the rows and writes nothing.
        ResultFile nowhere;
        ResultWriter writer(nowhere, estimator->LayoutMode(), false);
        fit.outcome = estimator->Estimate(fit.inputs, quiet, writer,
                                          Engine{pool, engine.arithmetic, engine.vectorUnit});
        if (fit.outcome.stopped) {
            fit.note = "stopped before its fit ended";
            return fit;
        }
        fit.logLikelihood = fit.outcome.logLikelihood;
        fit.parameters = fit.outcome.itemParameters;
        fit.fitted = std::isfinite(fit.logLikelihood);
        if (!fit.fitted) fit.note = "its log-likelihood is not finite";
        if (fit.outcome.loop.end == LoopEnd::PassLimit) {
            fit.note = "its EM used every cycle without settling";
        }
    } catch (const std::bad_alloc&) {
        fit.note = "not fitted: there was not enough memory";
    } catch (const std::exception& failure) {
        fit.note = std::string("not fitted: ") + failure.what();
    }
    if (!quiet.Message().empty() && fit.note.empty()) fit.note = quiet.Message();
    return fit;
}

// A column of a fit as its expected score counts it: a right/wrong item
// by a, b, c (and u), an item scored 0..m by its model's thresholds.
ScoredItem ScoredColumn(const RunRequest& refit, const Refit& fit, std::size_t column) {
    ScoredItem item;
    const ItemTable& table = fit.inputs.items;
    const EstimationOutcome& outcome = fit.outcome;
    item.a = table.a[column];
    item.b[0] = table.b[column];
    item.c = table.c[column];
    if (column < outcome.upper.size()) item.u = outcome.upper[column];
    if (column >= outcome.categories.size() || outcome.categories[column] <= 2) return item;
    const auto own = column < outcome.itemModels.size()
                         ? PolytomousModelNamed(outcome.itemModels[column])
                         : std::optional<PolytomousModel>();
    const bool graded = RulesOf(own ? *own : refit.marginal.polytomous).cumulative;
    item.scoring = graded ? ItemScoring::Graded : ItemScoring::PartialCredit;
    item.categories = outcome.categories[column];
    item.c = 0;
    const std::vector<double>& b = outcome.thresholds[column];
    std::copy(b.begin(), b.begin() + item.categories - 1, item.b.begin());
    return item;
}

double ExpectedScore(const ScoredItem& item, double theta) {
    std::array<double, kMostCategories> p{};
    CategoryProbabilitiesAt(item, theta, p.data());
    double score = 0;
    for (int k = 1; k < item.categories; ++k) score += k * p[static_cast<std::size_t>(k)];
    return score;
}

// The areas between the reference group's curve of item (as read) and each
// focal group's, from a fit in which it is free.
void SetAreas(const RunRequest& refit, const Refit& fit, std::size_t item, IrtDifRow& row) {
    const auto at = std::find(fit.split.freed.begin(), fit.split.freed.end(), item);
    if (at == fit.split.freed.end()) return;
    const std::vector<std::size_t>& columns =
        fit.split.columns[static_cast<std::size_t>(at - fit.split.freed.begin())];
    const ScoredItem reference = ScoredColumn(refit, fit, columns[0]);
    row.categories = reference.categories;
    const std::size_t groups = columns.size();
    row.signedArea.assign(groups, kNan);
    row.unsignedArea.assign(groups, kNan);
    for (std::size_t g = 1; g < groups && g < fit.outcome.groups.size(); ++g) {
        const PopulationEstimate& focal = fit.outcome.groups[g].population;
        const ScoredItem other = ScoredColumn(refit, fit, columns[g]);
        double total = 0, signedSum = 0, unsignedSum = 0;
        for (int q = 0; q < kAreaPoints; ++q) {
            const double z = -kAreaReach + 2 * kAreaReach * q / (kAreaPoints - 1);
            const double weight = std::exp(-0.5 * z * z);
            const double theta = focal.mean + focal.sd * z;
            const double gap = ExpectedScore(reference, theta) - ExpectedScore(other, theta);
            total += weight;
            signedSum += weight * gap;
            unsignedSum += weight * std::abs(gap);
        }
        row.signedArea[g] = signedSum / total;
        row.unsignedArea[g] = unsignedSum / total;
    }
}

// Lord's Wald test of each focal group's copy of item (as read) against
// the reference group's, from a fit in which it is free.
void SetWald(const Refit& free, std::size_t item, std::size_t groups, IrtDifRow& row) {
    row.wald.assign(groups, WaldTest{});
    for (std::size_t g = 1; g < groups; ++g) {
        WaldTest& test = row.wald[g];
        if (!free.fitted) {
            test.note = "the model with the item free was " + free.note;
            continue;
        }
        const auto at = std::find(free.split.freed.begin(), free.split.freed.end(), item);
        const std::vector<std::size_t>& asked = free.covariances.items;
        const std::size_t k = static_cast<std::size_t>(at - free.split.freed.begin());
        if (at == free.split.freed.end() || g >= free.split.columns[k].size()) {
            test.note = "the fit with the item free has no copy of it for the group";
            continue;
        }
        const std::vector<std::size_t>& columns = free.split.columns[k];
        const auto place = [&](std::size_t column) {
            return static_cast<std::size_t>(std::find(asked.begin(), asked.end(), column) -
                                            asked.begin());
        };
        test = LordsWald(free.covariances, place(columns[0]), place(columns[g]));
    }
}

void Compare(const Refit& equal, const Refit& free, IrtDifRow& row) {
    row.minus2Equal = -2 * equal.logLikelihood;
    row.minus2Free = -2 * free.logLikelihood;
    if (!equal.fitted || !free.fitted) {
        row.note = !equal.fitted ? "the model with the item equal was " + equal.note
                                 : "the model with the item free was " + free.note;
        row.statistic = row.p = kNan;
        return;
    }
    row.df = free.parameters - equal.parameters;
    // Both are maxima of nested models: a small negative difference is the
    // EM's tolerance.
    row.statistic = std::max(0.0, 2 * (free.logLikelihood - equal.logLikelihood));
    row.p = row.df > 0 ? fit::ChiSquareUpperTail(row.statistic, row.df) : kNan;
    if (!equal.note.empty() || !free.note.empty()) {
        row.note = equal.note.empty() ? "the model with the item free: " + free.note
                                      : "the model with the item equal: " + equal.note;
    }
}

std::string ItemCaption(std::size_t k, std::size_t n) {
    return "IRT DIF screen: refit " + std::to_string(k) + " of " + std::to_string(n) + " ...";
}

}  // namespace

IrtDifScreen ScreenIrtDif(const RunRequest& request, const RunInputs& asRead, RunHost& host,
                          const EngineSettings& engine) {
    const auto start = std::chrono::steady_clock::now();
    IrtDifScreen screen;
    const poly::GroupPlan plan =
        poly::PlanGroups(request.groups, asRead.persons.group, asRead.persons.groupLabels);
    if (!plan.error.empty()) {
        screen.problem = plan.error + ".";
        return screen;
    }
    screen.labels = plan.labels;
    screen.counts = plan.counts;
    const std::size_t items = asRead.persons.itemCount;
    if (!request.dif.anchors.empty()) {
        std::string problem;
        const auto anchors = ResolveItems(request.dif.anchors, asRead, "--anchors", problem);
        if (!anchors) {
            screen.problem = problem.substr(problem.find(' ') + 1);
            return screen;
        }
        screen.anchors = *anchors;
    }
    std::vector<std::size_t> studied;
    for (std::size_t i = 0; i < items; ++i) {
        if (!std::binary_search(screen.anchors.begin(), screen.anchors.end(), i)) {
            studied.push_back(i);
        }
    }
    screen.models =
        screen.anchors.empty()
            ? "the studied item's parameters free across the groups against every item equal "
              "across the groups (every other item an anchor)"
            : "the studied item's parameters free across the groups against equal, the " +
                  std::to_string(screen.anchors.size()) +
                  " anchor items equal and every other item free in both";
    const RunRequest refit = RefitRequest(request);
    // The Wald tests need the observed information of the fits with items
    // free; a run that asks for no standard errors is not made to form it.
    const bool wald = request.marginal.standardErrors != StandardErrorMethod::None;
    if (!wald) {
        screen.waldProblem =
            "the run asks for no standard errors (--standard-errors none), and "
            "the test is formed from the observed information";
    }
    WorkerPool pool(request.threads, engine.executor);
    const std::size_t fits = studied.size() + 1;
    std::size_t done = 0;
    const std::size_t groups = plan.labels.size();
    // Every refit but the first starts from the first, which differs from
    // it by one item.
    const auto fitWith = [&](const std::vector<std::size_t>& freed, const Refit* base,
                             bool covariances) {
        return FitFreed(refit, asRead, freed, plan, host, ItemCaption(++done, fits), pool, engine,
                        base, covariances);
    };
    if (screen.anchors.empty()) {
        const Refit equal = fitWith({}, nullptr, false);
        for (const std::size_t i : studied) {
            if (host.ProgressIsCancelled()) break;
            const Refit free = fitWith({i}, &equal, wald);
            IrtDifRow row;
            row.item = i;
            Compare(equal, free, row);
            SetAreas(refit, free, i, row);
            if (wald) SetWald(free, i, groups, row);
            screen.rows.push_back(std::move(row));
        }
    } else {
        const Refit free = fitWith(studied, nullptr, wald);
        for (const std::size_t i : studied) {
            if (host.ProgressIsCancelled()) break;
            std::vector<std::size_t> others;
            for (const std::size_t k : studied) {
                if (k != i) others.push_back(k);
            }
            const Refit equal = fitWith(others, &free, false);
            IrtDifRow row;
            row.item = i;
            Compare(equal, free, row);
            SetAreas(refit, free, i, row);
            if (wald) SetWald(free, i, groups, row);
            screen.rows.push_back(std::move(row));
        }
    }
    if (host.ProgressIsCancelled()) {
        screen.rows.clear();
        screen.problem = "it was stopped.";
        return screen;
    }
    std::vector<double> p;
    for (const IrtDifRow& row : screen.rows) p.push_back(row.p);
    const std::vector<double> adjusted = fit::BenjaminiHochberg(p);
    for (std::size_t k = 0; k < screen.rows.size(); ++k) {
        IrtDifRow& row = screen.rows[k];
        row.pAdjusted = std::isfinite(row.p) ? adjusted[k] : kNan;
        row.flagged = row.pAdjusted < kFlagAlpha;
    }
    // Each focal group's Wald tests are adjusted across the items of its
    // own table.
    for (std::size_t g = 1; wald && g < groups; ++g) {
        p.clear();
        for (const IrtDifRow& row : screen.rows) p.push_back(row.wald[g].p);
        const std::vector<double> byGroup = fit::BenjaminiHochberg(p);
        for (std::size_t k = 0; k < screen.rows.size(); ++k) {
            WaldTest& test = screen.rows[k].wald[g];
            test.pAdjusted = std::isfinite(test.p) ? byGroup[k] : kNan;
            test.flagged = test.pAdjusted < kFlagAlpha;
        }
    }
    screen.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return screen;
}

namespace {

Json Value(double x) { return std::isfinite(x) ? Json(x) : Json(nullptr); }

std::string IdOf(const RunInputs& inputs, std::size_t item) {
    if (item < inputs.items.AccNo.size() && !inputs.items.AccNo[item].empty()) {
        return inputs.items.AccNo[item];
    }
    if (item < inputs.itemNames.size()) return inputs.itemNames[item];
    return {};
}

std::string ItemName(const RunInputs& inputs, std::size_t item) {
    const std::string id = IdOf(inputs, item);
    return "item " + std::to_string(item + 1) + (id.empty() ? "" : " '" + id + "'");
}

constexpr const char* kWaldRule =
    "flagged where the Benjamini-Hochberg adjusted p of Lord's Wald test is below 0.05; the test "
    "compares the item's free parameters in the reference group with those in the focal group, "
    "from the observed information of the fit with the item free; effect: the signed area, as "
    "in the likelihood-ratio table";

std::string Names(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (k > 0) text += k + 1 == names.size() ? " and " : ", ";
        text += names[k];
    }
    return text;
}

constexpr const char* kRule =
    "flagged where the Benjamini-Hochberg adjusted p of the likelihood-ratio test is below "
    "0.05; effect: the signed area, the reference group's expected score minus the focal "
    "group's averaged over the focal group's fitted N(mean, SD), in score points";

// One IRT test of an item against focal group g, as its table row shows it.
struct IrtTest {
    double statistic, p, pAdjusted;
    int df;
    bool flagged;
    const std::string& note;
};

// What sets one IRT table apart from the other: its method, the statistic's
// letter in the summary, its words and the test of each row.
struct IrtTable {
    const char* method;
    const char* name;
    const char* statistic;  // "G2", "W"
    const char* rule;
    std::string models;
    const char* warningHead;  // "The IRT likelihood-ratio screen", "Lord's Wald screen"
    std::function<IrtTest(const IrtDifRow&)> testOf;
    bool likelihoods = false;  // the rows carry both models' -2LL
};

// The table of focal group g, its summary lines and its warning.
void DescribeTable(const IrtDifScreen& screen, const RunInputs& asRead, std::size_t g,
                   const std::string& pair, const IrtTable& table, std::vector<std::string>& tables,
                   IrtDifTables& out) {
    Json rows = Json::array();
    std::vector<std::string> flagged, lines;
    for (const IrtDifRow& row : screen.rows) {
        const IrtTest test = table.testOf(row);
        const std::string id = IdOf(asRead, row.item);
        const double area = g < row.signedArea.size() ? row.signedArea[g] : kNan;
        const double size = g < row.unsignedArea.size() ? row.unsignedArea[g] : kNan;
        Json json{
            {"item", row.item + 1},
            {"id", id.empty() ? Json(nullptr) : Json(id)},
            {"categories", row.categories},
            {"statistic", Value(test.statistic)},
            {"df", test.df > 0 ? Json(test.df) : Json(nullptr)},
            {"p", Value(test.p)},
            {"p_adjusted", Value(test.pAdjusted)},
            {"effect", Value(area)},
            {"effect_name", "signed_area"},
            {"unsigned_area", Value(size)},
            {"category", test.flagged ? Json("DIF") : Json(nullptr)},
            {"flagged", test.flagged},
        };
        if (table.likelihoods) {
            json["minus_2ll_equal"] = Value(row.minus2Equal);
            json["minus_2ll_free"] = Value(row.minus2Free);
        }
        json["note"] = test.note.empty() ? Json(nullptr) : Json(test.note);
        rows.push_back(std::move(json));
        if (!test.flagged) continue;
        flagged.push_back(ItemName(asRead, row.item));
        lines.push_back("  " + ItemName(asRead, row.item) + ": " + table.statistic + " " +
                        fit::FixedText(test.statistic, 2) + ", df " + std::to_string(test.df) +
                        ", p " + fit::PValueText(test.p) + ", adjusted p " +
                        fit::PValueText(test.pAdjusted) + ", signed area " +
                        fit::FixedText(area, 3) + ", unsigned area " + fit::FixedText(size, 3));
    }
    tables.push_back(Json{{"method", table.method},
                          {"name", table.name},
                          {"categories", table.rule},
                          {"models", table.models},
                          {"rows", std::move(rows)}}
                         .dump(-1, ' ', false, Json::error_handler_t::replace));
    out.summary.push_back(std::string("DIF, ") + table.name + ", " + pair + ", " +
                          std::to_string(screen.rows.size()) +
                          " items tested: " + std::to_string(flagged.size()) + " flagged" +
                          (flagged.empty() ? "." : ":"));
    for (std::string& line : lines) out.summary.push_back(std::move(line));
    if (!flagged.empty()) {
        out.warnings.push_back(
            std::string(table.warningHead) + " flags " + std::to_string(flagged.size()) +
            (flagged.size() == 1 ? " item" : " items") + " for DIF between '" + screen.labels[g] +
            "' and '" + screen.labels[0] + "': " + Names(flagged) +
            ". Have them reviewed before their scores are reported.");
    }
}

}  // namespace

IrtDifTables DescribeIrtDif(const IrtDifScreen& screen, const RunInputs& asRead) {
    IrtDifTables out;
    for (std::size_t g = 1; g < screen.labels.size(); ++g) {
        const std::string pair = "group '" + screen.labels[g] + "' against '" + screen.labels[0] +
                                 "' (" + std::to_string(screen.counts[g]) + " and " +
                                 std::to_string(screen.counts[0]) + " examinees)";
        const IrtTable ratio{"irt",
                             "IRT likelihood ratio",
                             "G2",
                             kRule,
                             screen.models,
                             "The IRT likelihood-ratio screen",
                             [](const IrtDifRow& row) {
                                 return IrtTest{row.statistic, row.p,       row.pAdjusted,
                                                row.df,        row.flagged, row.note};
                             },
                             true};
        DescribeTable(screen, asRead, g, pair, ratio, out.tables, out);
        if (!screen.waldProblem.empty()) continue;
        static const WaldTest kNone;
        const IrtTable wald{"wald",
                            "IRT Wald (Lord)",
                            "W",
                            kWaldRule,
                            "the studied item's parameters free across the groups",
                            "Lord's Wald screen",
                            [g](const IrtDifRow& row) {
                                const WaldTest& test = g < row.wald.size() ? row.wald[g] : kNone;
                                return IrtTest{test.statistic, test.p,       test.pAdjusted,
                                               test.df,        test.flagged, test.note};
                            }};
        DescribeTable(screen, asRead, g, pair, wald, out.waldTables, out);
    }
    out.summary.push_back(
        "DIF, IRT likelihood ratio: compares " + screen.models + "; " +
        fit::FixedText(screen.seconds, 1) + " s of refits. " +
        (screen.waldProblem.empty()
             ? "Lord's Wald tests from the observed information of each fit with the item free."
             : "Lord's Wald test is not formed: " + screen.waldProblem + "."));
    return out;
}

ReportSection IrtDifSection(const IrtDifScreen& screen, const RunInputs& asRead,
                            std::optional<ReportSection> counted) {
    ReportSection section;
    section.key = "dif";
    Json json = Json::object();
    if (counted) {
        section = std::move(*counted);
        json = Json::parse(section.json, nullptr, false);
        if (json.is_discarded() || !json.is_object()) json = Json::object();
    }
    Json irt{{"models", screen.models}};
    Json anchors = Json::array();
    for (const std::size_t i : screen.anchors) anchors.push_back(i + 1);
    irt["anchors"] = std::move(anchors);
    irt["wald"] = screen.waldProblem.empty()
                      ? "from the inverse of the observed information of each fit with the "
                        "studied item free"
                      : "not formed: " + screen.waldProblem;
    if (!screen.problem.empty()) {
        irt["formed"] = false;
        irt["note"] = screen.problem;
        section.warnings.push_back("The IRT DIF screen (--dif irt) was not formed: " +
                                   screen.problem);
        json["irt"] = std::move(irt);
        section.json = json.dump(-1, ' ', false, Json::error_handler_t::replace);
        return section;
    }
    irt["formed"] = true;
    irt["seconds"] = screen.seconds;
    json["irt"] = std::move(irt);
    IrtDifTables tables = DescribeIrtDif(screen, asRead);
    if (!json.contains("comparisons") || !json["comparisons"].is_array()) {
        json["comparisons"] = Json::array();
    }
    if (!json.contains("p_adjustment")) {
        json["p_adjustment"] = "Benjamini-Hochberg across the items of each table";
    }
    Json& comparisons = json["comparisons"];
    for (std::size_t g = 1; g < screen.labels.size(); ++g) {
        Json added = Json::array({Json::parse(tables.tables[g - 1])});
        if (g - 1 < tables.waldTables.size()) {
            added.push_back(Json::parse(tables.waldTables[g - 1]));
        }
        bool placed = false;
        for (Json& comparison : comparisons) {
            if (comparison.value("focal", "") != screen.labels[g] ||
                comparison.value("reference", "") != screen.labels[0]) {
                continue;
            }
            for (const Json& table : added) comparison["tables"].push_back(table);
            placed = true;
        }
        if (!placed) {
            comparisons.push_back(Json{{"reference", screen.labels[0]},
                                       {"focal", screen.labels[g]},
                                       {"reference_count", screen.counts[0]},
                                       {"focal_count", screen.counts[g]},
                                       {"tables", std::move(added)}});
        }
    }
    section.json = json.dump(-1, ' ', false, Json::error_handler_t::replace);
    for (std::string& line : tables.summary) section.summary.push_back(std::move(line));
    for (std::string& line : tables.warnings) section.warnings.push_back(std::move(line));
    return section;
}

}  // namespace tarvo
