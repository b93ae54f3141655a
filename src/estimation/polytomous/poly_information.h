#pragma once

// The standard errors of a polytomous run from the observed information:
// by Louis' formula (poly_louis), or, where rating scales share steps, from the gradient of the
// marginal log-likelihood (plus the priors) by every free parameter of the estimated items, from
// one E-step and each item's objective (Fisher's identity), differenced at +-h around the estimates
// (two E-steps per parameter).

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/estimation_outcome.h"
#include "core/marginal_settings.h"
#include "estimation/engine_settings.h"
#include "estimation/polytomous/poly_em.h"
#include "parallel/worker_pool.h"

namespace tarvo::poly {

// How many parameters the estimator moves: every estimated item's free
// ones, the common slope once when estimated items share it, and each
// scale's free steps once; the standard errors are formed over them.
int FreeParameterCount(std::span<const Item> items, std::span<const char> estimated);

// Some parameters' joint covariances from the same inverse of the
// information as the standard errors (factored once for both): at, their
// places among the free parameters (FreeParameterCount's order, then any
// extra ones); block, at.size() square, row after row, when formed, else
// problem says why.
struct CovarianceQuery {
    std::vector<int> at;
    std::vector<double> block;
    bool formed = false;
    std::string problem;
};

// The places of an estimated item's own free parameters among all (in
// FreeParameterCount's order), as PackFree orders them; a common slope and
// a rating scale's steps, which the item shares, are not its own. Empty for
// an item not estimated.
std::vector<int> OwnPlaces(std::span<const Item> items, std::span<const char> estimated,
                           std::size_t item);

// The gradient of the marginal log-likelihood plus the log priors by the
// free parameters of the estimated items, item after item; returns the
// log-likelihood.
double MarginalGradient(std::span<const Item> items, std::span<const char> estimated,
                        Responses responses, const Priors& priors,
                        const mml::Quadrature& quadrature, EmTables& tables, WorkerPool& pool,
                        std::span<double> gradient);

// The observed information by differences (minus the symmetrised
// difference quotient of the gradient), row after row; empty when
// keepGoing said stop.
std::vector<double> InformationByDifferences(std::vector<Item> items,
                                             std::span<const char> estimated, Responses responses,
                                             const Priors& priors,
                                             const mml::Quadrature& quadrature, EmTables& tables,
                                             WorkerPool& pool,
                                             const std::function<bool()>& keepGoing);

// The observed information, by Louis' formula where it fits, else by
// differences; empty when keepGoing said stop.
std::vector<double> ObservedInformation(const std::vector<Item>& items,
                                        std::span<const char> estimated, Responses responses,
                                        const Priors& priors, const mml::Quadrature& quadrature,
                                        EmTables& tables, WorkerPool& pool,
                                        const std::function<bool()>& keepGoing,
                                        VectorUnit unit = VectorUnit::Best);

// Sets every estimated item's errors from the information (its inverse's
// diagonal; where it is not positive definite, each parameter's own
// curvature, and form, when given, says so); false when keepGoing said
// stop, the errors then stay -1. method CrossProduct takes the cross-product
// estimate instead of the observed information (where no rating scale shares
// steps), None sets every error to -1. On a test of more than 400 items
// without rated items, as for right/wrong items, each item's errors come
// from its own block of the information (form ItemBlocks): the terms between
// items left out, so that the work and memory grow with the items, not their
// pairs. query, when given, takes its covariances from the same inverse;
// with item blocks or no errors it is not formed.
bool SetStandardErrors(std::vector<Item>& items, std::span<const char> estimated,
                       Responses responses, const Priors& priors, const mml::Quadrature& quadrature,
                       EmTables& tables, WorkerPool& pool, const std::function<bool()>& keepGoing,
                       ErrorForm* form = nullptr,
                       StandardErrorMethod method = StandardErrorMethod::Louis,
                       VectorUnit unit = VectorUnit::Best, CovarianceQuery* query = nullptr);

// Where the test is long (the right/wrong estimator's limit) and no item is
// rated, each item's errors come from its own block of the information.
bool ByItemBlocks(std::span<const Item> items);

// Sets every estimated item's errors from an information over their free
// parameters (as FreeParameterCount orders them) followed by extra other
// parameters, n + extra square, row after row; returns the extra
// parameters' variances (the diagonal of the inverse; each one's own
// curvature where the whole is not positive definite, and form then says
// so). query, when given, takes its covariances from the same factor (not
// formed where the whole is not positive definite).
std::vector<double> SetErrorsFromInformation(std::vector<Item>& items,
                                             std::span<const char> estimated,
                                             const std::vector<double>& information, int extra,
                                             ErrorForm* form, CovarianceQuery* query = nullptr);

}  // namespace tarvo::poly
