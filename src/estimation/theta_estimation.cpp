#include "estimation/theta_estimation.h"

#include <cassert>
#include <cmath>
#include <cstddef>

#include "estimation/evaluation_counter.h"
#include "estimation/model.h"

namespace tarvo {

namespace {

// The score sum takes the scaling constant as a single-precision value,
// 1.7000000476837158; the information sum uses the double kD.
constexpr double kScoreD = static_cast<double>(1.7f);
// Convergence tolerance on the change of theta: 0.00001 as a single-precision
// value, 9.999999747378752e-06.
constexpr double kThetaTolerance = static_cast<double>(0.00001f);
constexpr double kThetaUpper = 3;
constexpr double kThetaLower = -3;
constexpr int kLastPass = 201;
constexpr double kSeCeiling = 99;

}  // namespace

void EstimateTheta(double& theta, std::span<const double> a, std::span<const double> b,
                   std::span<const double> c, std::span<const std::uint8_t> row, double& seetheta,
                   std::int32_t& Nvalid) {
    assert(a.size() == row.size() && b.size() == row.size() && c.size() == row.size());
    Nvalid = 0;
    const EvaluationTally tally(row);
    double info = 0;
    for (int pass = 1;; ++pass) {
        double score = 0;
        info = 0;
        double previous = theta;
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (row[i] == 9) continue;
            if (pass == 1) ++Nvalid;
            const double u = row[i];
            const double p = ProbCorrect(theta, a[i], b[i], c[i]);
            score += kScoreD * a[i] * (u - p) * (p - c[i]) / ((1 - c[i]) * p);
            info += kD * kD * (a[i] * a[i]) * ((1 - p) / p) * std::pow((p - c[i]) / (1 - c[i]), 2);
        }
        tally.Pass();
        theta += score / info;

        // An undefined step (no information) ends at the upper bound. Setting
        // the previous value to the bound makes the change test below succeed.
        if (!(theta <= kThetaUpper)) {
            theta = kThetaUpper;
            previous = kThetaUpper;
        }
        if (theta < kThetaLower) {
            theta = kThetaLower;
            previous = kThetaLower;
        }
        if (std::fabs(theta - previous) < kThetaTolerance || pass >= kLastPass) break;
    }

    // The information of the last pass, taken where that pass started.
    seetheta = 1 / std::sqrt(info);
    if (!(seetheta <= kSeCeiling)) seetheta = kSeCeiling;
}

}  // namespace tarvo
