#include "estimation/classic/theta_estimation.h"

#include <cassert>
#include <cmath>
#include <cstddef>

#include "estimation/classic/evaluation_counter.h"
#include "estimation/classic/model.h"
#include "estimation/classic/scoring_loops.h"

namespace tarvo {

void EstimateTheta(double& theta, std::span<const double> a, std::span<const double> b,
                   std::span<const double> c, std::span<const std::uint8_t> row, double& seetheta,
                   std::int32_t& Nvalid) {
    assert(a.size() == row.size() && b.size() == row.size() && c.size() == row.size());
    Nvalid = 0;
    const EvaluationTally tally(row);
    bool firstPass = true;
    const auto last = scoring::RunScoringPasses<scoring::kThetaRule>(theta, [&] {
        double score = 0;
        double info = 0;
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (row[i] == kNoResponse) continue;
            if (firstPass) ++Nvalid;
            // With Q = 1 - P, the slope of the response function is
            // dP/dtheta = D a Q (P - c) / (1 - c). The score adds
            // (u - P) / (P Q) dP/dtheta, in which Q cancels; the (expected)
            // information adds (dP/dtheta)^2 / (P Q) = D^2 a^2 (Q / P)
            // ((P - c) / (1 - c))^2. The step is score / information.
            const double u = row[i];
            const double p = ProbCorrect(theta, a[i], b[i], c[i]);
            score += kScoreD * a[i] * (u - p) * (p - c[i]) / ((1 - c[i]) * p);
            info += kD * kD * (a[i] * a[i]) * ((1 - p) / p) * std::pow((p - c[i]) / (1 - c[i]), 2);
        }
        firstPass = false;
        tally.Pass();
        return scoring::ScoringSums<double>{score, info};
    });
    seetheta = scoring::CappedStandardError(last.info);
}

}  // namespace tarvo
