#pragma once

#include <cstddef>
#include <span>

namespace tarvo::dif {

// One cell of grouped ordinal data: count examinees scored category (0..
// categories-1) with covariates x[0..covariates-1].
struct LogitCell {
    double x[3] = {0, 0, 0};
    std::size_t category = 0;
    double count = 0;
};

// The most categories and covariates a fit takes.
constexpr std::size_t kMostLogitCategories = 9;
constexpr std::size_t kMostCovariates = 3;

struct LogitFit {
    double logLikelihood = 0;
    bool converged = false;
    int iterations = 0;
};

// The maximum likelihood fit of the cumulative logit (proportional odds)
// model logit P(Y <= j) = zeta_j - (b . x) over the cells, by Newton's
// method with step halving from the categories' cumulative shares and b = 0;
// its log-likelihood is concave, so the steps climb to the one maximum. With
// two categories it is logistic regression of P(Y = 1) on x, its intercept
// -zeta_0. Every category 0..categories-1 must hold some count.
LogitFit FitCumulativeLogit(std::span<const LogitCell> cells, std::size_t categories,
                            std::size_t covariates);

}  // namespace tarvo::dif
