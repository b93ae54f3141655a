#include "estimation/classic/standardize.h"

#include <cmath>
#include <limits>

namespace tarvo {

double StandardizeTheta(std::span<double> theta) {
    double n = 0;
    double sum = 0;
    double sumOfSquares = 0;
    for (double t : theta) {
        if (std::fabs(t) < 3) {
            n += 1;
            sum += t;
            sumOfSquares += t * t;
        }
    }
    // One pass: the variance from the sum and the sum of squares, divisor n.
    // The difference of the two terms would lose digits if the mean were
    // large against the spread, but abilities counted here lie inside +-3,
    // so the loss stays far below the printed digits.
    const double mean = sum / n;
    const double variance = (sumOfSquares - sum * sum / n) / n;
    // With no ability inside the bounds n is 0 and the variance NaN, which
    // this test also leaves alone.
    if (!(variance > 0)) return std::numeric_limits<double>::quiet_NaN();
    const double deviation = std::sqrt(variance);
    for (double& t : theta) t = (t - mean) / deviation;
    return deviation;
}

}  // namespace tarvo
