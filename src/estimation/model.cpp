#include "estimation/model.h"

#include <cassert>
#include <cmath>
#include <cstddef>

#include "estimation/evaluation_counter.h"

namespace tarvo {

double ProbCorrect(double theta, double a, double b, double c) {
    const double z = -kD * a * (theta - b);
    double p = c + (1 - c) / (1 + std::exp(z));
    // Lower bound first; the upper test is written so that a NaN ends at the
    // upper bound.
    if (p < kProbLower) p = kProbLower;
    if (!(p <= kProbUpper)) p = kProbUpper;
    return p;
}

double ItemFitMSE(std::span<const std::uint8_t> column, std::span<const double> theta, double a,
                  double b, double c, std::int32_t& Nobs) {
    assert(column.size() == theta.size());
    if (column.empty()) return -1;

    Nobs = 0;
    const EvaluationTally tally(column);
    tally.Pass();
    double sum = 0;
    for (std::size_t j = 0; j < column.size(); ++j) {
        if (column[j] == 9) continue;
        ++Nobs;
        const double residual = column[j] - ProbCorrect(theta[j], a, b, c);
        sum += residual * residual;
    }
    return Nobs > 9 ? sum / Nobs : -1;
}

}  // namespace tarvo
