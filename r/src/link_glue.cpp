// Linking and score tables for R: the library interface's Link and
// ScoreTable over fits the package made (the engine's result kept in the
// fit) or item and result files, with R's interrupt as the stop poll.
#include <Rcpp.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "glue_values.h"
#include "tarvo/tarvo.hpp"

namespace {

using tarvo_glue::Flag;
using tarvo_glue::Get;
using tarvo_glue::Na;
using tarvo_glue::Optional;
using tarvo_glue::ScoreTableOf;
using tarvo_glue::Text;

// Names and values alternating, as the R side passes pairs.
std::vector<std::pair<std::string, std::string>> Pairs(const Rcpp::List& options,
                                                       const char* name) {
    std::vector<std::pair<std::string, std::string>> pairs;
    SEXP value = Get(options, name);
    if (Rf_isNull(value)) return pairs;
    const auto texts = Rcpp::as<std::vector<std::string>>(value);
    for (std::size_t k = 0; k + 1 < texts.size(); k += 2)
        pairs.emplace_back(texts[k], texts[k + 1]);
    return pairs;
}

// A form: the engine's result kept in a fit, or a file's path.
tarvo::lib::Form FormOf(SEXP form, const std::string& model, const std::string& label) {
    tarvo::lib::Form out;
    if (TYPEOF(form) == EXTPTRSXP) {
        Rcpp::XPtr<tarvo::lib::Result> result(form);
        if (result.get() == nullptr) {
            Rcpp::stop(
                "the fit's engine tables are gone (a fit read back from a file): link "
                "its result file instead");
        }
        out.fit = result.get();
    } else {
        out.file = Rcpp::as<std::string>(form);
    }
    out.model = model;
    out.label = label;
    return out;
}

tarvo::lib::Control Interruptible(bool& interrupted) {
    tarvo::lib::Control control;
    control.stopPoll = [&interrupted] {
        if (!interrupted && tarvo_glue::InterruptPending()) interrupted = true;
        return interrupted;
    };
    return control;
}

Rcpp::List CurveOf(const tarvo::lib::TestCurve& c) {
    return Rcpp::List::create(Rcpp::Named("theta") = c.theta,
                              Rcpp::Named("expected_score") = c.expectedScore,
                              Rcpp::Named("information") = c.information, Rcpp::Named("se") = c.se);
}

Rcpp::List ConstantsOf(const std::vector<tarvo::lib::LinkConstants>& rows) {
    const std::size_t n = rows.size();
    Rcpp::CharacterVector method(n), problem(n);
    Rcpp::NumericVector A(n), B(n), seA(n), seB(n);
    Rcpp::IntegerVector replicates(n);
    for (std::size_t k = 0; k < n; ++k) {
        method[k] = rows[k].method;
        A[k] = Na(rows[k].A);
        B[k] = Na(rows[k].B);
        seA[k] = Na(rows[k].seA);
        seB[k] = Na(rows[k].seB);
        problem[k] = rows[k].problem.empty() ? NA_STRING : Rcpp::String(rows[k].problem);
        replicates[k] = rows[k].bootstrapReplicates;
    }
    return Rcpp::List::create(Rcpp::Named("method") = method, Rcpp::Named("A") = A,
                              Rcpp::Named("B") = B, Rcpp::Named("se_A") = seA,
                              Rcpp::Named("se_B") = seB, Rcpp::Named("problem") = problem,
                              Rcpp::Named("bootstrap_replicates") = replicates);
}

Rcpp::List DriftOf(const std::vector<tarvo::lib::DriftRow>& rows) {
    const std::size_t n = rows.size();
    Rcpp::CharacterVector baseId(n), newId(n), flaggedBy(n);
    Rcpp::NumericVector bBase(n), bNew(n), difference(n), z(n), seDifference(n), overSe(n);
    Rcpp::LogicalVector drifting(n);
    for (std::size_t k = 0; k < n; ++k) {
        const tarvo::lib::DriftRow& r = rows[k];
        baseId[k] = r.baseId;
        newId[k] = r.newId;
        bBase[k] = Na(r.bBase);
        bNew[k] = Na(r.bNewOnBase);
        difference[k] = Na(r.difference);
        z[k] = Na(r.z);
        seDifference[k] = Na(r.seDifference);
        overSe[k] = Na(r.differenceOverSe);
        drifting[k] = r.drifting;
        flaggedBy[k] = r.flaggedBy.empty() ? NA_STRING : Rcpp::String(r.flaggedBy);
    }
    return Rcpp::List::create(
        Rcpp::Named("base_id") = baseId, Rcpp::Named("new_id") = newId,
        Rcpp::Named("b_base") = bBase, Rcpp::Named("b_new_on_base") = bNew,
        Rcpp::Named("difference") = difference, Rcpp::Named("z") = z,
        Rcpp::Named("se_difference") = seDifference, Rcpp::Named("difference_over_se") = overSe,
        Rcpp::Named("drifting") = drifting, Rcpp::Named("flagged_by") = flaggedBy);
}

Rcpp::List ItemsOf(const std::vector<tarvo::lib::FormItem>& rows) {
    const std::size_t n = rows.size();
    Rcpp::CharacterVector id(n);
    Rcpp::NumericVector a(n), b(n), c(n), seA(n), seB(n), seC(n);
    for (std::size_t k = 0; k < n; ++k) {
        id[k] = rows[k].id;
        a[k] = rows[k].a;
        b[k] = rows[k].b;
        c[k] = rows[k].c;
        seA[k] = Na(rows[k].seA);
        seB[k] = Na(rows[k].seB);
        seC[k] = Na(rows[k].seC);
    }
    return Rcpp::List::create(Rcpp::Named("id") = id, Rcpp::Named("a") = a, Rcpp::Named("b") = b,
                              Rcpp::Named("c") = c, Rcpp::Named("se_a") = seA,
                              Rcpp::Named("se_b") = seB, Rcpp::Named("se_c") = seC);
}

Rcpp::List EquatingOf(const std::vector<tarvo::lib::EquatingRow>& rows) {
    const std::size_t n = rows.size();
    Rcpp::IntegerVector score(n);
    Rcpp::NumericVector theta(n), base(n);
    for (std::size_t k = 0; k < n; ++k) {
        score[k] = rows[k].newScore;
        theta[k] = Na(rows[k].theta);
        base[k] = rows[k].baseScore;
    }
    return Rcpp::List::create(Rcpp::Named("new_score") = score, Rcpp::Named("theta") = theta,
                              Rcpp::Named("base_score") = base);
}

}  // namespace

// One link of two forms (fits' engine results or files) with the options as
// named R values. A link not made is an R error with the runner's message.
// [[Rcpp::export(.tarvo_link)]]
Rcpp::List TarvoLink(SEXP base, SEXP fresh, std::string baseModel, std::string newModel,
                     std::string baseLabel, std::string newLabel, Rcpp::List o) {
    const tarvo::lib::Form baseForm = FormOf(base, baseModel, baseLabel);
    const tarvo::lib::Form newForm = FormOf(fresh, newModel, newLabel);
    tarvo::lib::LinkOptions options;
    options.method = Text(o, "method");
    options.anchorsFile = Text(o, "anchors_file");
    options.anchors = Pairs(o, "anchors");
    options.criterionPoints = Optional<int>(o, "criterion_points");
    options.criterionRange = Optional<double>(o, "criterion_range");
    options.criterionMean = Optional<double>(o, "criterion_mean");
    options.criterionSd = Optional<double>(o, "criterion_sd");
    options.symmetric = Flag(o, "symmetric");
    options.bootstrap = Optional<int>(o, "bootstrap");
    if (const auto seed = Optional<double>(o, "seed")) {
        options.seed = static_cast<std::uint64_t>(*seed);
    }
    options.driftZ = Optional<double>(o, "drift_z");
    options.dropDrifting = Flag(o, "drop_drifting");
    options.populationPoints = Optional<int>(o, "population_points");
    options.populationMean = Optional<double>(o, "population_mean");
    options.populationSd = Optional<double>(o, "population_sd");
    options.populationRange = Optional<double>(o, "population_range");
    options.reportFile = Text(o, "report_file");
    options.htmlReportFile = Text(o, "html_report_file");
    options.transformedItemsFile = Text(o, "transformed_items_file");
    options.scoreTableFile = Text(o, "score_table_file");
    options.equatingTableFile = Text(o, "equating_table_file");
    options.abilitiesFrom = Text(o, "abilities_from");
    options.transformedAbilitiesFile = Text(o, "transformed_abilities_file");
    options.runnerOptions = Pairs(o, "runner_options");

    bool interrupted = false;
    const tarvo::lib::LinkResult r =
        tarvo::lib::Link(baseForm, newForm, options, Interruptible(interrupted));
    if (interrupted) throw Rcpp::internal::InterruptedException();
    if (!r.ok) Rcpp::stop(r.error);
    return Rcpp::List::create(
        Rcpp::Named("constants") = ConstantsOf(r.constants),
        Rcpp::Named("constants_before_drop") = ConstantsOf(r.constantsBeforeDrop),
        Rcpp::Named("method") = r.chosenMethod, Rcpp::Named("common_items") = r.commonItems,
        Rcpp::Named("matched_by") = r.matchedBy, Rcpp::Named("drift") = DriftOf(r.drift),
        Rcpp::Named("dropped") = r.dropped, Rcpp::Named("transformed") = ItemsOf(r.transformed),
        Rcpp::Named("equating") = EquatingOf(r.equating),
        Rcpp::Named("score_table") = ScoreTableOf(r.scoreTable),
        Rcpp::Named("base_curve") = CurveOf(r.baseCurve),
        Rcpp::Named("new_curve") = CurveOf(r.newCurve), Rcpp::Named("messages") = r.messages,
        Rcpp::Named("report_json") = r.reportJson);
}

// One form's summed-score table over a normal population.
// [[Rcpp::export(.tarvo_form_score_table)]]
Rcpp::List TarvoFormScoreTable(SEXP form, std::string model, std::string label, Rcpp::List o) {
    const tarvo::lib::Form parsed = FormOf(form, model, label);
    tarvo::lib::ScoreTableOptions options;
    options.populationPoints = Optional<int>(o, "population_points");
    options.populationMean = Optional<double>(o, "population_mean");
    options.populationSd = Optional<double>(o, "population_sd");
    options.populationRange = Optional<double>(o, "population_range");
    options.reportFile = Text(o, "report_file");
    options.scoreTableFile = Text(o, "score_table_file");
    options.runnerOptions = Pairs(o, "runner_options");
    bool interrupted = false;
    const tarvo::lib::ScoreTableResult r =
        tarvo::lib::ScoreTable(parsed, options, Interruptible(interrupted));
    if (interrupted) throw Rcpp::internal::InterruptedException();
    if (!r.ok) Rcpp::stop(r.error);
    return Rcpp::List::create(Rcpp::Named("rows") = ScoreTableOf(r.rows),
                              Rcpp::Named("curve") = CurveOf(r.curve),
                              Rcpp::Named("report_json") = r.reportJson);
}
