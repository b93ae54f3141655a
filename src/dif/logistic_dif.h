#pragma once

#include <limits>

#include "dif/dif_data.h"

namespace tarvo::dif {

// The logistic regression screen of one item (Swaminathan and Rogers 1990;
// for an item scored 0..m its cumulative logit form): three nested models of
// the item's score on the matching score x and the group g (0 reference, 1
// focal), compared by likelihood ratio: x alone, x + g, and x + g + x g.
// Uniform DIF: the second against the first (1 df); non-uniform: the third
// against the second (1 df); both: the third against the first (2 df). Each
// with the change of Nagelkerke's R-squared; the category of Jodoin and
// Gierl (2001) from the 2-df test: A where p is not below 5% or the change
// is below 0.035, C from 0.070 on, else B.
struct LogisticResult {
    static constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    double uniform = kNaN, uniformP = kNaN, uniformR2 = kNaN;
    double nonUniform = kNaN, nonUniformP = kNaN, nonUniformR2 = kNaN;
    double both = kNaN, bothP = kNaN, bothR2 = kNaN;
    char category = ' ';
    bool converged = false;  // every fit reached its maximum
    const char* note = "";   // why the statistics are undefined; empty when they are not
};

LogisticResult LogisticDif(const ItemStrata& strata);

char JodoinGierlCategory(double r2Change, double p);

}  // namespace tarvo::dif
