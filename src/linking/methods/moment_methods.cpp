#include "linking/methods/moment_methods.h"

#include <cmath>

namespace tarvo::linking {
namespace {

double Mean(const std::vector<double>& values) {
    double sum = 0;
    for (const double v : values) sum += v;
    return sum / static_cast<double>(values.size());
}

// The SD with divisor n, as the moments of a set of items.
double Sd(const std::vector<double>& values, double mean) {
    double sum = 0;
    for (const double v : values) sum += (v - mean) * (v - mean);
    return std::sqrt(sum / static_cast<double>(values.size()));
}

LinkConstants Refused(std::string problem) {
    LinkConstants constants;
    constants.problem = std::move(problem);
    return constants;
}

// B = mean(b_base) - A mean(b_new), with the sensitivity of A already in
// place: B's is -mean(b_new) times A's, plus the direct part from the b's.
LinkConstants WithIntercept(const AnchorSet& set, double A, Sensitivity& sensitivity) {
    const std::size_t n = set.size();
    const double meanNew = Mean(set.bNew);
    LinkConstants constants;
    constants.ok = std::isfinite(A) && A > 0;
    if (!constants.ok) return Refused("the slope is not a positive number");
    constants.A = A;
    constants.B = Mean(set.bBase) - A * meanNew;
    const std::size_t m = kPairParameters;
    sensitivity.dB.assign(m * n, 0.0);
    for (std::size_t k = 0; k < n; ++k) {
        for (std::size_t u = 0; u < m; ++u)
            sensitivity.dB[m * k + u] = -meanNew * sensitivity.dA[m * k + u];
        sensitivity.dB[m * k + kBaseB] += 1.0 / static_cast<double>(n);
        sensitivity.dB[m * k + kNewB] -= A / static_cast<double>(n);
    }
    return constants;
}

}  // namespace

LinkConstants MeanMean(const AnchorSet& set, bool slopeFixed, Sensitivity& sensitivity) {
    const std::size_t n = set.size();
    if (n == 0) return Refused("no common items");
    sensitivity.dA.assign(kPairParameters * n, 0.0);
    if (slopeFixed) return WithIntercept(set, 1, sensitivity);
    const double meanBase = Mean(set.aBase);
    const double A = Mean(set.aNew) / meanBase;
    if (!(meanBase > 0)) return Refused("the base form's common items have no positive mean a");
    for (std::size_t k = 0; k < n; ++k) {
        sensitivity.dA[kPairParameters * k + kBaseA] = -A / (static_cast<double>(n) * meanBase);
        sensitivity.dA[kPairParameters * k + kNewA] = 1 / (static_cast<double>(n) * meanBase);
    }
    return WithIntercept(set, A, sensitivity);
}

LinkConstants MeanSigma(const AnchorSet& set, bool slopeFixed, Sensitivity& sensitivity) {
    const std::size_t n = set.size();
    if (n == 0) return Refused("no common items");
    sensitivity.dA.assign(kPairParameters * n, 0.0);
    if (slopeFixed) return WithIntercept(set, 1, sensitivity);
    const double meanBase = Mean(set.bBase), meanNew = Mean(set.bNew);
    const double sdBase = Sd(set.bBase, meanBase), sdNew = Sd(set.bNew, meanNew);
    if (!(sdNew > 0) || !(sdBase > 0)) {
        return Refused("the common items' b values do not vary in both forms");
    }
    const double A = sdBase / sdNew;
    // d SD / d x_k = (x_k - mean) / (n SD).
    for (std::size_t k = 0; k < n; ++k) {
        const double count = static_cast<double>(n);
        sensitivity.dA[kPairParameters * k + kBaseB] =
            (set.bBase[k] - meanBase) / (count * sdBase * sdNew);
        sensitivity.dA[kPairParameters * k + kNewB] =
            -A * (set.bNew[k] - meanNew) / (count * sdNew * sdNew);
    }
    return WithIntercept(set, A, sensitivity);
}

}  // namespace tarvo::linking
