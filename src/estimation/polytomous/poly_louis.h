#pragma once

// The observed information of a polytomous run by Louis' formula, from one
// pass over the examinees: minus the expected complete-data Hessian, minus
// the expected square of the complete-data score, plus the square of each
// examinee's posterior mean score.

#include <functional>
#include <span>
#include <vector>

#include "estimation/polytomous/poly_em.h"
#include "parallel/worker_pool.h"

namespace tarvo::poly {

// Whether the tables of the cross-item terms (every pair of items, their
// categories' pairs, at every point) fit in the memory allowed them.
bool LouisFits(std::span<const Item> items, const mml::Quadrature& quadrature);

// The information of the log-likelihood plus the log priors by the free
// parameters of the estimated items, item after item in their own order,
// the common slope last; row after row. Every sum is formed in a fixed
// order, so the matrix is the same bits for any number of threads. Empty
// when keepGoing said stop.
std::vector<double> LouisInformation(std::span<const Item> items, std::span<const char> estimated,
                                     Responses responses, const Priors& priors,
                                     const mml::Quadrature& quadrature, EmTables& tables,
                                     WorkerPool& pool, const std::function<bool()>& keepGoing);

}  // namespace tarvo::poly
