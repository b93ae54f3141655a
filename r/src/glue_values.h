#pragma once

// What both glue files read from R's option lists and hand back to R.
#include <R_ext/Utils.h>
#include <Rcpp.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "tarvo/tarvo.hpp"

namespace tarvo_glue {

inline void CheckInterrupt(void*) { R_CheckUserInterrupt(); }

// True when the user pressed Ctrl-C in R since the last look. The check runs
// inside R_ToplevelExec, so R's jump out of an interrupt never crosses the
// engine's frames.
inline bool InterruptPending() { return R_ToplevelExec(CheckInterrupt, nullptr) == FALSE; }

// An option's value, NULL when it is not there.
inline SEXP Get(const Rcpp::List& options, const char* name) {
    return options.containsElementNamed(name) ? SEXP(options[name]) : R_NilValue;
}

inline bool Flag(const Rcpp::List& options, const char* name) {
    SEXP value = Get(options, name);
    return !Rf_isNull(value) && Rcpp::as<bool>(value);
}

template <typename T>
inline std::optional<T> Optional(const Rcpp::List& options, const char* name) {
    SEXP value = Get(options, name);
    if (Rf_isNull(value)) return std::nullopt;
    return Rcpp::as<T>(value);
}

inline std::string Text(const Rcpp::List& options, const char* name) {
    SEXP value = Get(options, name);
    return Rf_isNull(value) ? std::string() : Rcpp::as<std::string>(value);
}

inline double Na(double value) { return std::isnan(value) ? NA_REAL : value; }

// A score table as a list of columns, NA where a score has no ML ability.
inline Rcpp::List ScoreTableOf(const std::vector<tarvo::lib::ScoreRow>& rows) {
    const std::size_t n = rows.size();
    Rcpp::IntegerVector score(n);
    Rcpp::NumericVector proportion(n), eap(n), eapSd(n), ml(n);
    for (std::size_t k = 0; k < n; ++k) {
        score[k] = rows[k].score;
        proportion[k] = rows[k].proportion;
        eap[k] = rows[k].eap;
        eapSd[k] = rows[k].eapSd;
        ml[k] = Na(rows[k].ml);
    }
    return Rcpp::List::create(Rcpp::Named("score") = score, Rcpp::Named("proportion") = proportion,
                              Rcpp::Named("eap") = eap, Rcpp::Named("eap_sd") = eapSd,
                              Rcpp::Named("ml") = ml);
}

}  // namespace tarvo_glue
