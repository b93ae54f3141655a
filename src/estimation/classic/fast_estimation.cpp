#include "estimation/classic/fast_estimation.h"

#include <cassert>
#include <cstddef>
#include <vector>

#include "core/model_constants.h"
#include "estimation/classic/evaluation_counter.h"
#include "estimation/classic/scoring_loops.h"

namespace tarvo::fast {

namespace {

// Whether the item's valid codes are all the same (or there are none). With
// everybody correct the c step is exactly 1 - c and lands c exactly on its
// upper limit 1, and with everybody wrong the a, b and c steps run into their
// limits the same way; which side of a limit the step ends on is decided by
// the last bit of the sums, and the fast sums differ there from the reference
// ones. Such items are handed to the reference loops, which cost little for a
// handful of items.
bool ValidCodesAllEqual(std::span<const std::uint8_t> column) {
    std::uint8_t first = kNoResponse;
    for (const std::uint8_t code : column) {
        if (code == kNoResponse) continue;
        if (first == kNoResponse) {
            first = code;
        } else if (code != first) {
            return false;
        }
    }
    return true;
}

ItemPassInput PassInput(std::span<const std::uint8_t> column, std::span<const double> theta,
                        const ItemParameters& p) {
    return {theta.data(), column.data(), column.size(), p.a, p.b, p.c};
}

// One parameter's loop on the kernels' pass; *swung is set when the loop
// ran to its pass limit without settling: where a swinging estimate stops
// depends on the last bit of every sum, and the fast sums differ there from
// the reference ones (an item near a bound swings so).
template <const scoring::LoopRule& rule, typename KernelPass>
void EstimateWatched(double& se, std::span<const std::uint8_t> column,
                     std::span<const double> theta, ItemParameters& p, KernelPass&& kernelPass,
                     bool* swung) {
    assert(column.size() == theta.size());
    int passes = 0;
    scoring::EstimateItemParameter<rule>(se, column, p, [&](const ItemParameters& at) {
        if (swung != nullptr && ++passes >= scoring::kMostScoringPasses) *swung = true;
        return kernelPass(PassInput(column, theta, at));
    });
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
    double starts[kLanes];
    workspace.unsettled.clear();
    PassSums sums[kLanes];
    EvaluationBatch evaluations;

    // Puts the next examinee into a lane (or leaves it empty, all kNoResponse).
    std::size_t next = 0;
    std::size_t active = 0;
    auto fill = [&](std::size_t lane) {
        if (next == count) {
            examinee[lane] = kNone;
            thetas[lane] = 0;
            for (std::size_t i = 0; i < itemCount; ++i) laneCodes[i * kLanes + lane] = kNoResponse;
            return;
        }
        const std::size_t j = next++;
        const std::uint8_t* row = rows + j * itemCount;
        std::int32_t valid = 0;
        for (std::size_t i = 0; i < itemCount; ++i) {
            laneCodes[i * kLanes + lane] = row[i];
            valid += row[i] != kNoResponse ? 1 : 0;
        }
        Nvalid[j] = valid;
        examinee[lane] = j;
        pass[lane] = 0;
        thetas[lane] = theta[j];
        starts[lane] = theta[j];
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
            if (!scoring::ScoringStep<scoring::kThetaRule>(thetas[lane], sums[lane].score,
                                                           sums[lane].info, ++pass[lane])) {
                continue;
            }
            theta[j] = thetas[lane];
            seetheta[j] = scoring::CappedStandardError(sums[lane].info);
            if (pass[lane] >= scoring::kMostScoringPasses)
                workspace.unsettled.push_back({j, starts[lane]});
            --active;
            fill(lane);
        }
    }
}

// The kernels' sums are all double, so every step is taken in double.

void EstimateItemA(double& seea, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p, const FastKernels& kernels) {
    EstimateWatched<scoring::kItemARule>(
        seea, column, theta, p, [&](const ItemPassInput& in) { return kernels.itemPassA(in); },
        nullptr);
}

void EstimateItemB(double& seeb, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p, const FastKernels& kernels) {
    EstimateWatched<scoring::kItemBRule>(
        seeb, column, theta, p, [&](const ItemPassInput& in) { return kernels.itemPassB(in); },
        nullptr);
}

void EstimateItemC(double& seec, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p, const FastKernels& kernels) {
    EstimateWatched<scoring::kItemCRule>(
        seec, column, theta, p, [&](const ItemPassInput& in) { return kernels.itemPassC(in); },
        nullptr);
}

void CalibrateItem(ItemStandardErrors& se, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p, int calibrationMode,
                   const FastKernels& kernels) {
    if (ValidCodesAllEqual(column)) {
        tarvo::CalibrateItem(se, column, theta, p, calibrationMode);
        return;
    }
    // An item one of whose loops swung until its pass limit is made again
    // in the reference loops, from where it started.
    const ItemStandardErrors startErrors = se;
    const ItemParameters start = p;
    bool swung = false;
    scoring::CycleItemLoops(
        se, p, calibrationMode,
        [&](double& seeb, ItemParameters& q) {
            EstimateWatched<scoring::kItemBRule>(
                seeb, column, theta, q,
                [&](const ItemPassInput& in) { return kernels.itemPassB(in); }, &swung);
        },
        [&](double& seea, ItemParameters& q) {
            EstimateWatched<scoring::kItemARule>(
                seea, column, theta, q,
                [&](const ItemPassInput& in) { return kernels.itemPassA(in); }, &swung);
        },
        [&](double& seec, ItemParameters& q) {
            EstimateWatched<scoring::kItemCRule>(
                seec, column, theta, q,
                [&](const ItemPassInput& in) { return kernels.itemPassC(in); }, &swung);
        });
    if (!swung) return;
    se = startErrors;
    p = start;
    tarvo::CalibrateItem(se, column, theta, p, calibrationMode);
}

double ItemFitMSE(std::span<const std::uint8_t> column, std::span<const double> theta, double a,
                  double b, double c, std::int32_t& Nobs, const FastKernels& kernels) {
    assert(column.size() == theta.size());
    if (column.empty()) return kNoFit;
    const EvaluationTally tally(column);
    tally.Pass();
    const FitSums sums = kernels.fit({theta.data(), column.data(), column.size(), a, b, c});
    Nobs = sums.valid;
    return Nobs >= kFewestResponsesForFit ? sums.squares / Nobs : kNoFit;
}

}  // namespace tarvo::fast
