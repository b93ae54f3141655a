#include "estimation/classic/model.h"

#include <cassert>
#include <cmath>
#include <cstddef>

#include "estimation/classic/evaluation_counter.h"

namespace tarvo {

double ProbCorrect(double theta, double a, double b, double c) {
    const double z = -kD * a * (theta - b);
    return BoundProbability<ScalarLanes>(c + (1 - c) / (1 + std::exp(z)));
}

double ItemFitMSE(std::span<const std::uint8_t> column, std::span<const double> theta, double a,
                  double b, double c, std::int32_t& Nobs) {
    assert(column.size() == theta.size());
    if (column.empty()) return kNoFit;

    Nobs = 0;
    const EvaluationTally tally(column);
    tally.Pass();
    double sum = 0;
    for (std::size_t j = 0; j < column.size(); ++j) {
        if (column[j] == kNoResponse) continue;
        ++Nobs;
        const double residual = column[j] - ProbCorrect(theta[j], a, b, c);
        sum += residual * residual;
    }
    return Nobs >= kFewestResponsesForFit ? sum / Nobs : kNoFit;
}

}  // namespace tarvo
