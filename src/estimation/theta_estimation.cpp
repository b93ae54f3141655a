#include "estimation/theta_estimation.h"

#include <cassert>
#include <cmath>
#include <cstddef>

#include "estimation/evaluation_counter.h"
#include "estimation/model.h"
#include "estimation/scoring_loops.h"

namespace tarvo {

namespace {

// The score sum takes the scaling constant as a single-precision value,
// 1.7000000476837158; the information sum uses the double kD.
constexpr double kScoreD = static_cast<double>(1.7f);

}  // namespace

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
            if (row[i] == 9) continue;
            if (firstPass) ++Nvalid;
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
