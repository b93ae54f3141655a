#pragma once

// The observed information of a polytomous run by Louis' formula, from one
// pass over the examinees: minus the expected complete-data Hessian, minus
// the expected square of the complete-data score, plus the square of each
// examinee's posterior mean score.

#include <functional>
#include <span>
#include <vector>

#include "estimation/engine_settings.h"
#include "estimation/polytomous/poly_em.h"
#include "parallel/worker_pool.h"

namespace tarvo::poly {

// The information of the log-likelihood plus the log priors by the free
// parameters of the estimated items, item after item in their own order,
// the common slope last; row after row. Every sum is formed in a fixed
// order, so the matrix is the same bits for any number of threads and any
// vector unit (unit: the kernels of the mean scores' products). Empty
// when keepGoing said stop. Its memory grows as examinees by points plus
// items by parameters squared: the cross-item terms are formed one item's
// pairs at a time from every examinee's posterior.
//
// With productsAlone, the cross-product estimate instead: the sum over
// examinees of the outer products of their gradients, plus the priors'
// curvature.
std::vector<double> LouisInformation(std::span<const Item> items, std::span<const char> estimated,
                                     Responses responses, const Priors& priors,
                                     const mml::Quadrature& quadrature, EmTables& tables,
                                     WorkerPool& pool, const std::function<bool()>& keepGoing,
                                     bool productsAlone = false,
                                     VectorUnit unit = VectorUnit::Best);

// The parameters of an item's own block: its free ones, with a common slope
// as its own, first.
int OwnWidth(const Item& item);

// Each estimated item's own block of the same information (the terms
// between items left out, so memory and work grow with the items alone),
// by its own parameters (OwnWidth, a common slope as the item's own),
// block after block in item order, each row after row. Empty when every
// item is held or keepGoing said stop.
std::vector<double> LouisItemBlocks(std::span<const Item> items, std::span<const char> estimated,
                                    Responses responses, const Priors& priors,
                                    const mml::Quadrature& quadrature, EmTables& tables,
                                    WorkerPool& pool, const std::function<bool()>& keepGoing,
                                    bool productsAlone = false, VectorUnit unit = VectorUnit::Best);

}  // namespace tarvo::poly
