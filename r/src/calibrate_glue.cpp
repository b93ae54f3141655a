// The package's one way into the engine: the library interface's Calibrate,
// over the responses as R holds them (one byte per response is made, never
// a copy of R's cells), with R's interrupt as the run's stop poll.
#include <R_ext/Utils.h>
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
using tarvo_glue::InterruptPending;
using tarvo_glue::Na;
using tarvo_glue::Optional;
using tarvo_glue::ScoreTableOf;
using tarvo_glue::Text;

// One response as the interface's cell: a digit 0..8, a letter for the key,
// ' ' missing. A number that is not a whole 0..9 and text longer than one
// character are refused by column.
char CellOfNumber(double value, const std::string& item) {
    if (std::isnan(value)) return ' ';
    if (value < 0 || value > 9 || value != std::floor(value)) {
        Rcpp::stop("Item '" + item + "' holds " + std::to_string(value) +
                   ": responses must be whole scores 0..8 (NA missing) or one character each.");
    }
    return static_cast<char>('0' + static_cast<int>(value));
}

char CellOfText(SEXP text, const std::string& item) {
    if (text == NA_STRING) return ' ';
    const char* cell = CHAR(text);
    if (cell[0] == '\0') return ' ';
    if (cell[1] != '\0') {
        Rcpp::stop("Item '" + item + "' holds '" + std::string(cell) +
                   "': each response must be one character (a digit or a letter).");
    }
    return cell[0];
}

// Writes n values of a vector, from offset on, into cells: one item's
// responses (a data frame's column, or a column of a matrix).
void FillColumn(SEXP values, R_xlen_t offset, R_xlen_t n, const std::string& item, char* cells) {
    switch (TYPEOF(values)) {
        case LGLSXP:
        case INTSXP: {
            const int* v = (TYPEOF(values) == LGLSXP ? LOGICAL(values) : INTEGER(values)) + offset;
            for (R_xlen_t j = 0; j < n; ++j)
                cells[j] = v[j] == NA_INTEGER ? ' ' : CellOfNumber(v[j], item);
            break;
        }
        case REALSXP: {
            const double* v = REAL(values) + offset;
            for (R_xlen_t j = 0; j < n; ++j) cells[j] = CellOfNumber(v[j], item);
            break;
        }
        case STRSXP:
            for (R_xlen_t j = 0; j < n; ++j)
                cells[j] = CellOfText(STRING_ELT(values, offset + j), item);
            break;
        default:
            Rcpp::stop("Item '" + item +
                       "' is not a column of responses (numbers, logical or text).");
    }
}

std::optional<tarvo::lib::Prior> PriorOf(SEXP value) {
    if (Rf_isNull(value)) return std::nullopt;
    if (Rf_isLogical(value)) return tarvo::lib::Prior{false, 0, 0};
    Rcpp::NumericVector numbers(value);
    return tarvo::lib::Prior{true, numbers[0], numbers[1]};
}

tarvo::lib::Options OptionsOf(const Rcpp::List& o) {
    tarvo::lib::Options options;
    options.mode = Optional<int>(o, "mode");
    options.method = Text(o, "method");
    options.model = Text(o, "model");
    options.binaryModel = Text(o, "binary_model");
    options.priorA = PriorOf(Get(o, "prior_a"));
    options.priorB = PriorOf(Get(o, "prior_b"));
    options.priorC = PriorOf(Get(o, "prior_c"));
    options.quadrature = Optional<int>(o, "quadrature");
    options.scoring = Text(o, "scoring");
    options.emCycles = Optional<int>(o, "em_cycles");
    options.emTolerance = Optional<double>(o, "em_tolerance");
    if (SEXP compare = Get(o, "compare"); !Rf_isNull(compare))
        options.compare = Rcpp::as<std::vector<std::string>>(compare);
    options.fixItems = Flag(o, "fix_items");
    options.estimatePopulation = Flag(o, "estimate_population");
    options.collapseEmpty = Flag(o, "collapse_empty");
    options.standardize = Optional<bool>(o, "standardize");
    options.threads = Optional<unsigned>(o, "threads").value_or(0);
    options.strict = Flag(o, "strict");
    options.outputFile = Text(o, "output_file");
    options.scoreTable = Flag(o, "score_table");
    if (SEXP given = Get(o, "given_items"); !Rf_isNull(given)) {
        const Rcpp::List items(given);
        tarvo::lib::GivenItems values;
        values.a = Rcpp::as<std::vector<double>>(items["a"]);
        values.b = Rcpp::as<std::vector<double>>(items["b"]);
        values.c = Rcpp::as<std::vector<double>>(items["c"]);
        options.givenItems = std::move(values);
    }
    if (SEXP runner = Get(o, "runner_options"); !Rf_isNull(runner)) {
        const auto pairs = Rcpp::as<std::vector<std::string>>(runner);
        for (std::size_t k = 0; k + 1 < pairs.size(); k += 2)
            options.runnerOptions.emplace_back(pairs[k], pairs[k + 1]);
    }
    return options;
}

double SeOf(double se) { return se < 0 ? NA_REAL : se; }

Rcpp::List ItemsOf(const std::vector<tarvo::lib::ItemRow>& rows) {
    const std::size_t n = rows.size();
    Rcpp::CharacterVector model(n), name(n), flags(n), note(n);
    Rcpp::NumericVector a(n), b(n), c(n), seA(n), seB(n), seC(n), pValue(n), itemRest(n), sx2(n),
        df(n), p(n), pAdjusted(n), infit(n), outfit(n), infitT(n), outfitT(n);
    Rcpp::IntegerVector nobs(n), omitted(n), categories(n);
    Rcpp::LogicalVector held(n);
    Rcpp::List thresholds(n);
    for (std::size_t i = 0; i < n; ++i) {
        const tarvo::lib::ItemRow& row = rows[i];
        model[i] = row.model.empty() ? NA_STRING : Rcpp::String(row.model);
        name[i] = row.name;
        a[i] = row.a;
        b[i] = row.b;
        c[i] = row.c;
        seA[i] = SeOf(row.seA);
        seB[i] = SeOf(row.seB);
        seC[i] = SeOf(row.seC);
        nobs[i] = row.nobs;
        omitted[i] = row.omitted;
        pValue[i] = Na(row.pValue);
        itemRest[i] = Na(row.itemRest);
        held[i] = row.held;
        categories[i] = row.categories;
        std::string names;
        for (const std::string& name : row.flagNames) names += (names.empty() ? "" : ",") + name;
        flags[i] = names;
        thresholds[i] = Rcpp::wrap(row.thresholds);
        sx2[i] = Na(row.sx2);
        df[i] = row.df > 0 ? row.df : NA_REAL;
        p[i] = Na(row.p);
        pAdjusted[i] = Na(row.pAdjusted);
        infit[i] = Na(row.infit);
        outfit[i] = Na(row.outfit);
        infitT[i] = Na(row.infitT);
        outfitT[i] = Na(row.outfitT);
        note[i] = row.fitNote.empty() ? NA_STRING : Rcpp::String(row.fitNote);
    }
    Rcpp::List items;
    items["model"] = model;
    items["name"] = name;
    items["a"] = a;
    items["b"] = b;
    items["c"] = c;
    items["se_a"] = seA;
    items["se_b"] = seB;
    items["se_c"] = seC;
    items["nobs"] = nobs;
    items["omitted"] = omitted;
    items["p_value"] = pValue;
    items["item_rest"] = itemRest;
    items["held"] = held;
    items["categories"] = categories;
    items["flags"] = flags;
    items["thresholds"] = thresholds;
    items["S_X2"] = sx2;
    items["df"] = df;
    items["p"] = p;
    items["p_adjusted"] = pAdjusted;
    items["infit"] = infit;
    items["outfit"] = outfit;
    items["infit_t"] = infitT;
    items["outfit_t"] = outfitT;
    items["note"] = note;
    return items;
}

Rcpp::List PersonsOf(const std::vector<tarvo::lib::PersonRow>& rows) {
    const std::size_t n = rows.size();
    Rcpp::NumericVector theta(n), se(n), lz(n), infit(n), outfit(n);
    Rcpp::IntegerVector raw(n), nvalid(n);
    Rcpp::CharacterVector flags(n), note(n);
    for (std::size_t j = 0; j < n; ++j) {
        const tarvo::lib::PersonRow& row = rows[j];
        theta[j] = row.theta;
        se[j] = SeOf(row.se);
        raw[j] = row.rawScore;
        nvalid[j] = row.nvalid;
        std::string names;
        for (const std::string& name : row.flagNames) names += (names.empty() ? "" : ",") + name;
        flags[j] = names;
        lz[j] = Na(row.lz);
        infit[j] = Na(row.infit);
        outfit[j] = Na(row.outfit);
        note[j] = row.fitNote.empty() ? NA_STRING : Rcpp::String(row.fitNote);
    }
    return Rcpp::List::create(
        Rcpp::Named("theta") = theta, Rcpp::Named("se_theta") = se, Rcpp::Named("raw_score") = raw,
        Rcpp::Named("nvalid") = nvalid, Rcpp::Named("flags") = flags, Rcpp::Named("lz") = lz,
        Rcpp::Named("infit") = infit, Rcpp::Named("outfit") = outfit, Rcpp::Named("note") = note);
}

Rcpp::List ComparisonOf(const tarvo::lib::Result& result) {
    const std::size_t n = result.comparison.size();
    Rcpp::CharacterVector model(n);
    Rcpp::LogicalVector runModel(n);
    Rcpp::NumericVector m2ll(n), aic(n), bic(n);
    Rcpp::IntegerVector parameters(n), cycles(n);
    for (std::size_t k = 0; k < n; ++k) {
        const tarvo::lib::ComparedModel& row = result.comparison[k];
        model[k] = row.model;
        runModel[k] = row.runModel;
        m2ll[k] = row.defined ? row.minus2LogLikelihood : NA_REAL;
        parameters[k] = row.parameters;
        aic[k] = row.defined ? row.aic : NA_REAL;
        bic[k] = row.defined ? row.bic : NA_REAL;
        cycles[k] = row.emCycles;
    }
    const std::size_t t = result.comparisonTests.size();
    Rcpp::CharacterVector smaller(t), larger(t);
    Rcpp::NumericVector chisq(t), p(t);
    Rcpp::IntegerVector df(t);
    for (std::size_t k = 0; k < t; ++k) {
        const tarvo::lib::ModelTest& test = result.comparisonTests[k];
        smaller[k] = test.smaller;
        larger[k] = test.larger;
        chisq[k] = Na(test.chiSquare);
        df[k] = test.df;
        p[k] = Na(test.p);
    }
    return Rcpp::List::create(
        Rcpp::Named("models") = Rcpp::List::create(
            Rcpp::Named("model") = model, Rcpp::Named("run_model") = runModel,
            Rcpp::Named("minus_2_log_likelihood") = m2ll, Rcpp::Named("parameters") = parameters,
            Rcpp::Named("aic") = aic, Rcpp::Named("bic") = bic, Rcpp::Named("em_cycles") = cycles),
        Rcpp::Named("tests") = Rcpp::List::create(
            Rcpp::Named("smaller") = smaller, Rcpp::Named("larger") = larger,
            Rcpp::Named("chisq") = chisq, Rcpp::Named("df") = df, Rcpp::Named("p") = p));
}

}  // namespace

// One calibration of data (a matrix, or a list of columns: a data frame)
// with the options as named R values. A run that does not finish is an R
// error with the engine's message; Ctrl-C stops the run at its next check
// point and is then R's interrupt.
// [[Rcpp::export(.tarvo_calibrate)]]
Rcpp::List TarvoCalibrate(SEXP data, Rcpp::CharacterVector itemNames, Rcpp::CharacterVector ids,
                          Rcpp::NumericVector thetas, std::string key, Rcpp::List options) {
    tarvo::lib::Responses responses;
    responses.itemNames = Rcpp::as<std::vector<std::string>>(itemNames);
    responses.ids = Rcpp::as<std::vector<std::string>>(ids);
    responses.thetas.assign(thetas.begin(), thetas.end());
    responses.key = key;
    responses.items = responses.itemNames.size();
    // One label per examinee ("" unknown); the run checks the count.
    if (SEXP groups = Get(options, "group_labels"); !Rf_isNull(groups))
        responses.groups = Rcpp::as<std::vector<std::string>>(groups);
    std::string cells;
    if (Rf_isMatrix(data)) {
        const R_xlen_t n = Rf_nrows(data);
        responses.examinees = static_cast<std::size_t>(n);
        cells.resize(static_cast<std::size_t>(n) * responses.items);
        for (std::size_t i = 0; i < responses.items; ++i) {
            FillColumn(data, static_cast<R_xlen_t>(i) * n, n, responses.itemNames[i],
                       cells.data() + i * n);
        }
    } else {
        const Rcpp::List columns(data);
        const R_xlen_t n = columns.size() ? Rf_xlength(columns[0]) : 0;
        responses.examinees = static_cast<std::size_t>(n);
        cells.resize(static_cast<std::size_t>(n) * responses.items);
        for (std::size_t i = 0; i < responses.items; ++i)
            FillColumn(columns[i], 0, n, responses.itemNames[i], cells.data() + i * n);
    }
    // Item after item, as R keeps its columns.
    responses.cells = cells.data();
    responses.examineeStride = 1;
    responses.itemStride = static_cast<std::ptrdiff_t>(responses.examinees);

    tarvo::lib::Control control;
    bool interrupted = false;
    control.stopPoll = [&interrupted] {
        if (!interrupted && InterruptPending()) interrupted = true;
        return interrupted;
    };
    const tarvo::lib::Result result = tarvo::lib::Calibrate(responses, OptionsOf(options), control);
    if (interrupted) throw Rcpp::internal::InterruptedException();
    if (!result.ok)
        Rcpp::stop(result.error.empty() ? "The run ended: " + result.end : result.error);

    Rcpp::List out;
    out["method"] = result.method;
    out["model"] = result.model;
    out["mode"] = result.mode;
    out["items"] = ItemsOf(result.items);
    out["persons"] = PersonsOf(result.persons);
    out["log_likelihood"] = Na(result.logLikelihood);
    out["model_fit"] = Rcpp::List::create(
        Rcpp::Named("defined") = result.modelFit.defined,
        Rcpp::Named("minus_2_log_likelihood") = Na(result.modelFit.minus2LogLikelihood),
        Rcpp::Named("parameters") = result.modelFit.parameters,
        Rcpp::Named("aic") = Na(result.modelFit.aic), Rcpp::Named("bic") = Na(result.modelFit.bic));
    out["comparison"] = ComparisonOf(result);
    out["score_table"] = ScoreTableOf(result.scoreTable);
    out["warnings"] = Rcpp::wrap(result.warnings);
    out["trace"] = Rcpp::List::create(
        Rcpp::Named("step") = result.trace.step, Rcpp::Named("end") = result.trace.end,
        Rcpp::Named("passes") = result.trace.passes,
        Rcpp::Named("log_likelihood") = Rcpp::wrap(result.trace.logLikelihood),
        Rcpp::Named("largest_change") = Rcpp::wrap(result.trace.largestChange),
        Rcpp::Named("ms_error") = Rcpp::wrap(result.trace.msError));
    out["reliability"] =
        Rcpp::List::create(Rcpp::Named("alpha") = Na(result.alpha),
                           Rcpp::Named("empirical") = Na(result.empiricalReliability));
    out["report_json"] = result.reportJson;
    out["group_sections_json"] = result.groupSectionsJson;
    // The engine's result itself, for a link or a score table of this fit.
    out["engine_result"] = Rcpp::XPtr<tarvo::lib::Result>(new tarvo::lib::Result(result), true);
    return out;
}
