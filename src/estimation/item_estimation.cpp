#include "estimation/item_estimation.h"

#include <cassert>
#include <cmath>
#include <cstddef>

#include "estimation/evaluation_counter.h"
#include "estimation/model.h"

namespace tarvo {

namespace {

// The loops need this many examinees (not valid responses) before they move.
constexpr std::size_t kFewestExaminees = 10;
constexpr int kLastPass = 201;
constexpr int kLastCycle = 200;
constexpr double kSeCeiling = 99;

// Single-precision values of 0.001 and 0.0001: 0.0010000000474974513 and
// 9.999999747378752e-05.
constexpr double kATolerance = static_cast<double>(0.001f);
constexpr double kBTolerance = static_cast<double>(0.0001f);
constexpr double kCTolerance = static_cast<double>(0.0001f);
constexpr double kCycleTolerance = static_cast<double>(0.0001f);

constexpr double kAUpper = 2;
constexpr double kALowerValue = static_cast<double>(0.0001f);  // single precision
constexpr double kBUpper = 5;
constexpr double kBLower = -5;
constexpr double kCUpperValue = static_cast<double>(0.999f);   // single precision
constexpr double kCLowerValue = static_cast<double>(0.0001f);  // single precision
// Step of c when its information is 0: 0.01 as a single-precision value,
// 0.009999999776482582.
constexpr double kCBlindStep = static_cast<double>(0.01f);

// 1 / sqrt(information) in the precision of the sums, capped; an infinite or
// NaN value also becomes the cap.
template <typename Sum>
double CappedStandardError(Sum info) {
    const double se = static_cast<double>(1 / std::sqrt(info));
    return se <= kSeCeiling ? se : kSeCeiling;
}

}  // namespace

void EstimateItemA(double& seea, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p) {
    assert(column.size() == theta.size());
    if (column.size() < kFewestExaminees) return;

    const EvaluationTally tally(column);
    double info = 0;
    for (int pass = 1;; ++pass) {
        double previous = p.a;
        double score = 0;
        info = 0;
        for (std::size_t j = 0; j < column.size(); ++j) {
            if (column[j] == 9) continue;
            const double u = column[j];
            const double prob = ProbCorrect(theta[j], p.a, p.b, p.c);
            const double q = 1 - prob;
            const double w = kD * (theta[j] - p.b) * q * (prob - p.c) / (1 - p.c);
            score += w * (u - prob) / (prob * q);
            info += w * w / (prob * q);
        }
        tally.Pass();
        p.a = p.a + score / info;

        if (!(p.a <= kAUpper)) {
            p.a = kAUpper;
            previous = p.a;
        }
        if (p.a < 0) {
            p.a = kALowerValue;
            previous = p.a;
        }
        if (std::fabs(p.a - previous) < kATolerance || pass >= kLastPass) break;
    }
    seea = CappedStandardError(info);
}

void EstimateItemB(double& seeb, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p) {
    assert(column.size() == theta.size());
    seeb = -1;
    if (column.size() < kFewestExaminees) return;

    const EvaluationTally tally(column);
    long double info = 0;
    for (int pass = 1;; ++pass) {
        double previous = p.b;
        long double score = 0;
        info = 0;
        for (std::size_t j = 0; j < column.size(); ++j) {
            if (column[j] == 9) continue;
            const double u = column[j];
            const double prob = ProbCorrect(theta[j], p.a, p.b, p.c);
            const double q = 1 - prob;
            const double w = -kD * p.a * q * (prob - p.c) / (1 - p.c);
            score += w * (u - prob) / (prob * q);
            info += w * w / (prob * q);
        }
        tally.Pass();
        p.b = static_cast<double>(p.b + score / info);

        // With a = 0 the step is 0/0; the upper test turns it into 5.
        if (!(p.b <= kBUpper)) {
            p.b = kBUpper;
            previous = p.b;
        }
        if (p.b < kBLower) {
            p.b = kBLower;
            previous = p.b;
        }
        if (std::fabs(p.b - previous) < kBTolerance || pass >= kLastPass) break;
    }
    seeb = CappedStandardError(info);
}

void EstimateItemC(double& seec, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p) {
    assert(column.size() == theta.size());
    seec = -1;
    if (column.size() < kFewestExaminees) return;

    const EvaluationTally tally(column);
    long double info = 0;
    for (int pass = 1;; ++pass) {
        double previous = p.c;
        long double score = 0;
        info = 0;
        for (std::size_t j = 0; j < column.size(); ++j) {
            if (column[j] == 9) continue;
            const double u = column[j];
            const double prob = ProbCorrect(theta[j], p.a, p.b, p.c);
            const double q = 1 - prob;
            const double w = q / (1 - p.c);
            score += w * (u - prob) / (prob * q);
            info += w * w / (prob * q);
        }
        tally.Pass();
        // Without information c creeps upwards by a fixed step.
        p.c = info == 0 ? p.c + kCBlindStep : static_cast<double>(p.c + score / info);

        if (!(p.c <= 1)) {
            p.c = kCUpperValue;
            previous = p.c;
        }
        if (p.c < 0) {
            p.c = kCLowerValue;
            previous = p.c;
        }
        if (std::fabs(p.c - previous) < kCTolerance || pass >= kLastPass) break;
    }
    // No information in the last pass: c was not estimated and seec stays -1.
    if (info != 0) seec = CappedStandardError(info);
}

void CalibrateItem(ItemStandardErrors& se, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p, int calibrationMode) {
    const bool estimatesA = calibrationMode < 6;
    const bool estimatesC = calibrationMode == 2 || calibrationMode == 3;
    for (int cycle = 1;; ++cycle) {
        const ItemParameters start = p;
        EstimateItemB(se.seeb, column, theta, p);
        if (estimatesA) EstimateItemA(se.seea, column, theta, p);
        if (estimatesC) EstimateItemC(se.seec, column, theta, p);
        if (cycle >= kLastCycle) break;
        if (std::fabs(p.a - start.a) < kCycleTolerance &&
            std::fabs(p.b - start.b) < kCycleTolerance &&
            std::fabs(p.c - start.c) < kCycleTolerance) {
            break;
        }
    }
}

}  // namespace tarvo
