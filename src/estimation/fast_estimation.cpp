#include "estimation/fast_estimation.h"

#include <cassert>
#include <cmath>
#include <cstddef>
#include <vector>

#include "estimation/evaluation_counter.h"

namespace tarvo::fast {

namespace {

// The constants of the reference loops (see theta_estimation.cpp and
// item_estimation.cpp); the single-precision ones are 0.00001, 0.001, 0.0001,
// 0.999 and 0.01 held in single precision.
constexpr double kThetaTolerance = static_cast<double>(0.00001f);
constexpr double kThetaUpper = 3;
constexpr double kThetaLower = -3;
constexpr std::size_t kFewestExaminees = 10;
constexpr int kLastPass = 201;
constexpr int kLastCycle = 200;
constexpr double kSeCeiling = 99;
constexpr double kATolerance = static_cast<double>(0.001f);
constexpr double kBTolerance = static_cast<double>(0.0001f);
constexpr double kCTolerance = static_cast<double>(0.0001f);
constexpr double kCycleTolerance = static_cast<double>(0.0001f);
constexpr double kAUpper = 2;
constexpr double kALowerValue = static_cast<double>(0.0001f);
constexpr double kBUpper = 5;
constexpr double kBLower = -5;
constexpr double kCUpperValue = static_cast<double>(0.999f);
constexpr double kCLowerValue = static_cast<double>(0.0001f);
constexpr double kCBlindStep = static_cast<double>(0.01f);

// 1 / sqrt(information), capped; an infinite or NaN value becomes the cap.
double CappedStandardError(double info) {
    const double se = 1 / std::sqrt(info);
    return se <= kSeCeiling ? se : kSeCeiling;
}

ItemPassInput PassInput(std::span<const std::uint8_t> column, std::span<const double> theta,
                        const ItemParameters& p) {
    return {theta.data(), column.data(), column.size(), p.a, p.b, p.c};
}

// One pass's step of theta from its sums; true when the estimate is done.
bool ThetaStep(double& theta, const PassSums& sums, int pass) {
    double previous = theta;
    theta += sums.score / sums.info;
    // An undefined step (no information) ends at the upper bound.
    if (!(theta <= kThetaUpper)) {
        theta = kThetaUpper;
        previous = kThetaUpper;
    }
    if (theta < kThetaLower) {
        theta = kThetaLower;
        previous = kThetaLower;
    }
    return std::fabs(theta - previous) < kThetaTolerance || pass >= kLastPass;
}

// The standard error from the information of the last pass, capped.
double ThetaStandardError(double info) {
    const double seetheta = 1 / std::sqrt(info);
    return seetheta <= kSeCeiling ? seetheta : kSeCeiling;
}

}  // namespace

void EstimateThetas(std::size_t count, const std::uint8_t* rows, double* theta, double* seetheta,
                    std::int32_t* Nvalid, const ThetaTermsView& items, const FastKernels& kernels,
                    ThetaWorkspace& workspace) {
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    const std::size_t itemCount = items.count;
    std::vector<std::uint8_t>& laneCodes = workspace.laneCodes;
    laneCodes.resize(itemCount * kLanes);
    std::size_t examinee[kLanes];
    int pass[kLanes];
    double thetas[kLanes];
    PassSums sums[kLanes];
    EvaluationBatch evaluations;

    // Puts the next examinee into a lane (or leaves it empty, all 9s).
    std::size_t next = 0;
    std::size_t active = 0;
    auto fill = [&](std::size_t lane) {
        if (next == count) {
            examinee[lane] = kNone;
            thetas[lane] = 0;
            for (std::size_t i = 0; i < itemCount; ++i) laneCodes[i * kLanes + lane] = 9;
            return;
        }
        const std::size_t j = next++;
        const std::uint8_t* row = rows + j * itemCount;
        std::int32_t valid = 0;
        for (std::size_t i = 0; i < itemCount; ++i) {
            laneCodes[i * kLanes + lane] = row[i];
            valid += row[i] != 9 ? 1 : 0;
        }
        Nvalid[j] = valid;
        examinee[lane] = j;
        pass[lane] = 0;
        thetas[lane] = theta[j];
        ++active;
    };
    for (std::size_t lane = 0; lane < kLanes; ++lane) fill(lane);

    // All lanes make a pass together; an examinee whose estimate is done
    // hands its lane to the next one.
    while (active > 0) {
        kernels.thetaPass(thetas, items, laneCodes.data(), sums);
        for (std::size_t lane = 0; lane < kLanes; ++lane) {
            const std::size_t j = examinee[lane];
            if (j == kNone) continue;
            evaluations.Add(static_cast<std::uint64_t>(Nvalid[j]));
            if (!ThetaStep(thetas[lane], sums[lane], ++pass[lane])) continue;
            theta[j] = thetas[lane];
            seetheta[j] = ThetaStandardError(sums[lane].info);
            --active;
            fill(lane);
        }
    }
}

void EstimateItemA(double& seea, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p, const FastKernels& kernels) {
    assert(column.size() == theta.size());
    if (column.size() < kFewestExaminees) return;

    const EvaluationTally tally(column);
    double info = 0;
    for (int pass = 1;; ++pass) {
        double previous = p.a;
        const PassSums sums = kernels.itemPassA(PassInput(column, theta, p));
        tally.Pass();
        info = sums.info;
        p.a = p.a + sums.score / sums.info;

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
                   std::span<const double> theta, ItemParameters& p, const FastKernels& kernels) {
    assert(column.size() == theta.size());
    seeb = -1;
    if (column.size() < kFewestExaminees) return;

    const EvaluationTally tally(column);
    double info = 0;
    for (int pass = 1;; ++pass) {
        double previous = p.b;
        const PassSums sums = kernels.itemPassB(PassInput(column, theta, p));
        tally.Pass();
        info = sums.info;
        p.b = p.b + sums.score / sums.info;

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
                   std::span<const double> theta, ItemParameters& p, const FastKernels& kernels) {
    assert(column.size() == theta.size());
    seec = -1;
    if (column.size() < kFewestExaminees) return;

    const EvaluationTally tally(column);
    double info = 0;
    for (int pass = 1;; ++pass) {
        double previous = p.c;
        const PassSums sums = kernels.itemPassC(PassInput(column, theta, p));
        tally.Pass();
        info = sums.info;
        // Without information c creeps upwards by a fixed step.
        p.c = info == 0 ? p.c + kCBlindStep : p.c + sums.score / sums.info;

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
                   std::span<const double> theta, ItemParameters& p, int calibrationMode,
                   const FastKernels& kernels) {
    const bool estimatesA = calibrationMode < 6;
    const bool estimatesC = calibrationMode == 2 || calibrationMode == 3;
    for (int cycle = 1;; ++cycle) {
        const ItemParameters start = p;
        EstimateItemB(se.seeb, column, theta, p, kernels);
        if (estimatesA) EstimateItemA(se.seea, column, theta, p, kernels);
        if (estimatesC) EstimateItemC(se.seec, column, theta, p, kernels);
        if (cycle >= kLastCycle) break;
        if (std::fabs(p.a - start.a) < kCycleTolerance &&
            std::fabs(p.b - start.b) < kCycleTolerance &&
            std::fabs(p.c - start.c) < kCycleTolerance) {
            break;
        }
    }
}

double ItemFitMSE(std::span<const std::uint8_t> column, std::span<const double> theta, double a,
                  double b, double c, std::int32_t& Nobs, const FastKernels& kernels) {
    assert(column.size() == theta.size());
    if (column.empty()) return -1;
    const EvaluationTally tally(column);
    tally.Pass();
    const FitSums sums = kernels.fit({theta.data(), column.data(), column.size(), a, b, c});
    Nobs = sums.valid;
    return Nobs > 9 ? sums.squares / Nobs : -1;
}

}  // namespace tarvo::fast
