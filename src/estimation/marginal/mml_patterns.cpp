#include "estimation/marginal/mml_patterns.h"

#include <algorithm>
#include <cmath>

#include "estimation/marginal/mml_mstep.h"
#include "irt/item_curve.h"

namespace tarvo::mml {

void LogCurveTables::Fill(std::span<const double> a, std::span<const double> b,
                          std::span<const double> c, const Quadrature& quadrature) {
    const std::size_t items = a.size();
    const int points = quadrature.Points();
    logP.resize(items * points);
    logQ.resize(items * points);
    for (std::size_t i = 0; i < items; ++i) {
        for (int k = 0; k < points; ++k) {
            const Curve cv = CurveAt(quadrature.theta[k], a[i], b[i], c[i]);
            logP[i * points + k] = LogProbability(cv.p);
            logQ[i * points + k] = LogProbability(cv.q);
        }
    }
}

void LogCurveTables::FillLines(std::span<const double> a, std::span<const double> b,
                               std::span<const double> d, std::span<const double> c,
                               std::span<const char> estimated, const Quadrature& quadrature) {
    Fill(a, b, c, quadrature);
    const int points = quadrature.Points();
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!estimated[i]) continue;
        for (int k = 0; k < points; ++k) {
            const Curve cv = CurveOfLine(quadrature.theta[k], a[i], d[i], c[i]);
            logP[i * points + k] = LogProbability(cv.p);
            logQ[i * points + k] = LogProbability(cv.q);
        }
    }
}

PatternPosteriors::PatternPosteriors(ResponseView responses, int points,
                                     const MarginalKernels& kernels)
    : responses_(responses),
      points_(points),
      stride_(PointStride(points)),
      groups_((responses.items + kGroupSize - 1) / kGroupSize),
      kernels_(kernels),
      patterns_(responses.persons * groups_),
      groupTables_(groups_ * kPatterns * stride_, 0.0),
      firstRow_(groups_),
      logWeight_(stride_, kPaddingLogWeight) {
    for (std::size_t g = 0; g < groups_; ++g) firstRow_[g] = g * kPatterns;
    for (std::size_t j = 0; j < responses.persons; ++j) {
        const auto row = responses.Row(j);
        for (std::size_t g = 0; g < groups_; ++g) {
            int pattern = 0;
            for (int t = kGroupSize - 1; t >= 0; --t) {
                const std::size_t i = g * kGroupSize + t;
                const int digit = i < row.size() && row[i] <= 1 ? row[i] : 2;
                pattern = pattern * 3 + digit;
            }
            patterns_[j * groups_ + g] = static_cast<std::uint8_t>(pattern);
        }
    }
}

void PatternPosteriors::Fill(const LogCurveTables& tables, const Quadrature& quadrature) {
    const int points = points_;
    std::copy(quadrature.logWeight.begin(), quadrature.logWeight.end(), logWeight_.begin());
    std::fill(groupTables_.begin(), groupTables_.end(), 0.0);
    for (std::size_t g = 0; g < groups_; ++g) {
        for (int p = 0; p < kPatterns; ++p) {
            double* row = &groupTables_[(g * kPatterns + p) * stride_];
            int rest = p;
            for (int t = 0; t < kGroupSize; ++t, rest /= 3) {
                const int digit = rest % 3;
                const std::size_t i = g * kGroupSize + t;
                if (digit == 2 || i >= responses_.items) continue;
                const double* add =
                    (digit == 1 ? tables.logP.data() : tables.logQ.data()) + i * points;
                for (int k = 0; k < points; ++k) row[k] += add[k];
            }
        }
    }
}

PatternTablesView PatternPosteriors::Tables() const {
    return {groupTables_.data(), firstRow_.data(), logWeight_.data(), groups_, stride_};
}

double PatternPosteriors::Posterior(std::size_t j, double* weights, PosteriorRange& range) const {
    const PosteriorSums sums = kernels_.posterior(Tables(), PatternsOf(j), weights);
    range.first = sums.first;
    range.last = sums.last;
    return sums.top + std::log(sums.sum);
}

}  // namespace tarvo::mml
