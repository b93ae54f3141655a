#include "fit/residual_pass.h"

#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "core/model_constants.h"
#include "irt/item_curve.h"

namespace tarvo::fit {

namespace {

// Residual rows handed to Q3 at a time: a block of rows of a few hundred
// items stays in the second-level cache while Q3 reads it tile by tile.
constexpr std::size_t kBlockRows = 64;

struct ResponseCounts {
    std::size_t valid = 0, correct = 0;
};

ResponseCounts CountResponses(const std::uint8_t* row, std::size_t items) {
    ResponseCounts counts;
    for (std::size_t i = 0; i < items; ++i) {
        counts.valid += row[i] == kCorrect || row[i] == kIncorrect;
        counts.correct += row[i] == kCorrect;
    }
    return counts;
}

}  // namespace

double PersonLikelihoodSums::Lz() const {
    return variance > 0 ? deviation / std::sqrt(variance) : kUndefined;
}

ItemResidualSums ResidualPass(const FitInputs& in, std::span<PersonFit> persons,
                              ResidualCorrelations* q3) {
    const std::size_t items = in.a.size();
    const std::size_t groups = in.abilityGroups;
    assert(persons.size() == in.theta.size() && in.responses.size() == persons.size() * items);
    ItemResidualSums sums;
    sums.meanSquares.assign(items, MeanSquareSums{});
    sums.groupObserved.assign(groups * items, 0.0);
    sums.groupExpected.assign(groups * items, 0.0);
    sums.groupVariance.assign(groups * items, 0.0);
    std::vector<double> p(items), q(items);
    std::vector<double> blockResiduals(kBlockRows * items);
    std::vector<std::uint8_t> blockValid(kBlockRows * items);
    std::size_t blockRows = 0;

    for (std::size_t j = 0; j < persons.size(); ++j) {
        PersonFit& person = persons[j];
        person = PersonFit{};
        const std::uint8_t* row = in.responses.data() + j * items;
        const double theta = in.theta[j];
        if (!std::isfinite(theta)) {
            person.gap = PersonFitGap::NoAbility;
            continue;
        }
        const ResponseCounts counts = CountResponses(row, items);
        if (counts.valid == 0) {
            person.gap = PersonFitGap::NoValidResponse;
            continue;
        }
        for (std::size_t i = 0; i < items; ++i) {
            const Curve curve = CurveAt(theta, in.a[i], in.b[i], in.c[i]);
            p[i] = curve.p;
            q[i] = curve.q;
        }

        // Residuals for Q3 from every examinee with an ability and an answer.
        if (q3 != nullptr) {
            double* d = blockResiduals.data() + blockRows * items;
            std::uint8_t* v = blockValid.data() + blockRows * items;
            for (std::size_t i = 0; i < items; ++i) {
                v[i] = row[i] == kCorrect || row[i] == kIncorrect;
                d[i] = v[i] ? row[i] - p[i] : 0.0;
            }
            if (++blockRows == kBlockRows) {
                q3->AddRows(blockResiduals, blockValid, blockRows);
                blockRows = 0;
            }
        }

        const std::int32_t group = in.abilityGroup.empty() ? -1 : in.abilityGroup[j];
        if (group >= 0 && static_cast<std::size_t>(group) < groups) {
            const std::size_t at = static_cast<std::size_t>(group) * items;
            for (std::size_t i = 0; i < items; ++i) {
                if (row[i] != kCorrect && row[i] != kIncorrect) continue;
                sums.groupObserved[at + i] += row[i];
                sums.groupExpected[at + i] += p[i];
                sums.groupVariance[at + i] += p[i] * q[i];
            }
        }

        if (counts.correct == 0 || counts.correct == counts.valid) {
            person.gap = PersonFitGap::AllSame;
            continue;
        }
        MeanSquareSums own;
        PersonLikelihoodSums likelihood;
        for (std::size_t i = 0; i < items; ++i) {
            // A probability of exactly 0 or 1 (far out on a steep curve)
            // has no variance and says nothing.
            if ((row[i] != kCorrect && row[i] != kIncorrect) || !(p[i] * q[i] > 0)) continue;
            const double x = row[i];
            const ResponseMoments moments = ResponseMoments::Of(x, p[i], q[i]);
            own.Add(moments);
            sums.meanSquares[i].Add(moments);
            const double logOdds = std::log(p[i] / q[i]);
            likelihood.deviation += (x - p[i]) * logOdds;
            likelihood.variance += p[i] * q[i] * logOdds * logOdds;
        }
        const MeanSquares squares = MeanSquaresOf(own);
        person.infit = squares.infit;
        person.outfit = squares.outfit;
        person.infitT = squares.infitT;
        person.outfitT = squares.outfitT;
        person.lz = likelihood.Lz();
        person.misfit = person.lz < kLzMisfitBelow;
    }
    if (q3 != nullptr && blockRows > 0) q3->AddRows(blockResiduals, blockValid, blockRows);
    return sums;
}

}  // namespace tarvo::fit
