#pragma once

// The math the right/wrong rows share (1PL, Rasch, 2PL, 3PL, 3PL with c
// given): P(1) = c + (1 - c) / (1 + exp(-D a (theta - b))), the estimator
// moving the free ones of (a, b, c).

#include <cstdint>
#include <span>

#include "estimation/models/item_model.h"

namespace tarvo::models::right_wrong {

int FreeCount(const Item& item);
void Pack(const Item& item, std::span<double> values);
void Unpack(std::span<const double> values, Item& item);
bool KeepInRange(Item& item, double lowestC);
void Probabilities(const Item& item, double theta, std::span<double> p);
void ByParameter(const Item& item, double theta, std::span<const double> p,
                 std::span<double> derivatives);
void ByTheta(const Item& item, double theta, std::span<const double> p,
             std::span<double> derivatives);
// The priors by (a, b, c) of the free ones, carried to the free columns;
// their curvature only where it adds information.
double LogPrior(const Item& item, const Priors& priors, double* gradient, double* information);
// Nothing to convert: the estimator moves the reported values.
void Reported(Item& item);

}  // namespace tarvo::models::right_wrong
