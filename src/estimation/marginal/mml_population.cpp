#include "estimation/marginal/mml_population.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tarvo::mml {

namespace {

constexpr std::size_t kExamineesPerTask = 256;

// One examinee's terms, in units of 1 / SD^2: the information of the mean,
// of the mean with the SD, and of the SD.
struct Terms {
    double mm = 0, ms = 0, ss = 0;
};

}  // namespace

void SetPopulationErrors(const PatternPosteriors& posteriors, const Quadrature& quadrature,
                         WorkerPool& pool, PopulationEstimate& population) {
    const ResponseView responses = posteriors.Responses();
    const std::size_t stride = posteriors.Stride();
    const double mean = population.mean, sd = population.sd;
    const std::size_t tasks = (responses.persons + kExamineesPerTask - 1) / kExamineesPerTask;
    std::vector<Terms> sums(tasks);
    std::vector<double> weights(static_cast<std::size_t>(pool.Threads()) * stride);
    pool.ForEach(tasks, [&](std::size_t task, unsigned thread) {
        double* w = &weights[static_cast<std::size_t>(thread) * stride];
        const std::size_t from = task * kExamineesPerTask;
        const std::size_t to = std::min(responses.persons, from + kExamineesPerTask);
        Terms total;
        for (std::size_t j = from; j < to; ++j) {
            PosteriorRange range;
            posteriors.Posterior(j, w, range);
            // Moments of z = (theta - mean) / SD under the posterior. The
            // normal density's score is (z, z^2 - 1) / SD and minus its
            // Hessian (1, 2z; 2z, 3z^2 - 1) / SD^2.
            double m1 = 0, m2 = 0, m3 = 0, m4 = 0;
            for (int k = range.first; k <= range.last; ++k) {
                const double z = (quadrature.theta[k] - mean) / sd;
                const double z2 = z * z;
                m1 += w[k] * z;
                m2 += w[k] * z2;
                m3 += w[k] * z2 * z;
                m4 += w[k] * z2 * z2;
            }
            total.mm += 1 - (m2 - m1 * m1);
            total.ms += 2 * m1 - (m3 - m1 * m2);
            total.ss += 3 * m2 - 1 - (m4 - m2 * m2);
        }
        sums[task] = total;
    });
    Terms all;
    for (const Terms& t : sums) {
        all.mm += t.mm;
        all.ms += t.ms;
        all.ss += t.ss;
    }
    const double scale = 1 / (sd * sd);
    const double mm = all.mm * scale, ms = all.ms * scale, ss = all.ss * scale;
    const double determinant = mm * ss - ms * ms;
    if (!(mm > 0) || !(determinant > 0)) return;
    population.seMean = std::sqrt(ss / determinant);
    population.seSd = std::sqrt(mm / determinant);
}

}  // namespace tarvo::mml
