#include "fit/compute_fit.h"

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/model_constants.h"
#include "fit/local_dependence.h"
#include "fit/model_fit.h"
#include "fit/multiple_testing.h"
#include "fit/residual_correlations.h"
#include "fit/residual_pass.h"
#include "fit/summed_score_fit.h"
#include "parallel/worker_pool.h"

namespace tarvo::fit {

namespace {

void CheckSizes(const FitInputs& in) {
    const std::size_t items = in.a.size();
    const std::size_t persons = in.theta.size();
    auto fail = [](const std::string& what) { throw std::invalid_argument("fit inputs: " + what); };
    if (in.b.size() != items || in.c.size() != items || in.estimatedParameters.size() != items) {
        fail("a, b, c and the estimated parameter counts must have one value per item");
    }
    if (in.responses.size() != persons * items) {
        fail("the responses must hold one code per item for every examinee");
    }
    if (!in.abilityGroup.empty() && in.abilityGroup.size() != persons) {
        fail("the ability groups must have one value per examinee");
    }
    if (in.grid.weight.size() != in.grid.theta.size()) {
        fail("the ability grid needs one weight per point");
    }
}

std::string Sx2Note(const Sx2Outcome& outcome, int estimated) {
    switch (outcome.gap) {
        case Sx2Gap::None:
            return "";
        case Sx2Gap::NoOtherItems:
            return "S-X2 needs at least two items.";
        case Sx2Gap::NoCompleteExaminees:
            return "S-X2 is not defined: no examinee answered every item (examinees with a "
                   "missing response are left out of it).";
        case Sx2Gap::NoDegreesOfFreedom:
            return "S-X2 is not defined: its " + std::to_string(outcome.groups) +
                   " rest-score groups, less the " + std::to_string(outcome.joinedCells) +
                   " cells joined for an expected count below 1, leave too few for the item's " +
                   std::to_string(estimated) + " estimated parameters.";
    }
    return "";
}

void AddNote(std::string& note, const std::string& sentence) {
    if (!note.empty()) note += ' ';
    note += sentence;
}

// Each item's S-X2 into its row, with the adjusted p over the items.
void FillSx2Rows(const std::vector<Sx2Outcome>& outcomes, std::span<const int> estimated,
                 FitResults& out) {
    std::vector<double> p(outcomes.size());
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        ItemFit& item = out.items[i];
        item.sx2 = outcomes[i].statistic;
        item.df = outcomes[i].df;
        item.p = outcomes[i].p;
        item.sx2Groups = outcomes[i].groups;
        item.sx2JoinedCells = outcomes[i].joinedCells;
        item.note = Sx2Note(outcomes[i], estimated[i]);
        p[i] = item.p;
    }
    const std::vector<double> adjusted = BenjaminiHochberg(p);
    for (std::size_t i = 0; i < outcomes.size(); ++i) out.items[i].pAdjusted = adjusted[i];
}

void FillSx2(const FitInputs& in, FitResults& out) {
    const TotalScoreCounts counts = CountTotalScores(in.responses, in.a.size());
    out.sx2Examinees = counts.complete;
    out.sx2LeftOutForMissing = counts.leftOut;
    FillSx2Rows(SummedScoreFit(in.a, in.b, in.c, in.estimatedParameters, in.grid, counts),
                in.estimatedParameters, out);
}

// Each item's mean squares and group residuals from the pass's sums;
// noMeanSquares says why an item has no mean square.
void FillResidualStatistics(std::size_t items, std::size_t groups, const ItemResidualSums& sums,
                            const char* noMeanSquares, FitResults& out) {
    for (std::size_t i = 0; i < items; ++i) {
        ItemFit& item = out.items[i];
        const MeanSquares squares = MeanSquaresOf(sums.meanSquares[i]);
        item.infit = squares.infit;
        item.outfit = squares.outfit;
        item.infitT = squares.infitT;
        item.outfitT = squares.outfitT;
        item.meanSquareCount = static_cast<int>(sums.meanSquares[i].count);
        if (std::isnan(item.infit)) {
            AddNote(item.note, noMeanSquares);
        } else if (std::isnan(item.infitT) || std::isnan(item.outfitT)) {
            AddNote(item.note,
                    "The t of infit or outfit is not defined: the mean square has no spread.");
        }
        item.groupResidual.assign(groups, kUndefined);
        for (std::size_t g = 0; g < groups; ++g) {
            const std::size_t at = g * items + i;
            const double variance = sums.groupVariance[at];
            if (variance > 0) {
                item.groupResidual[g] =
                    (sums.groupObserved[at] - sums.groupExpected[at]) / std::sqrt(variance);
            }
        }
    }
}

// Q3 of every pair from the residual rows, the flagged pairs' items marked.
void FillLocalDependence(const ResidualCorrelations& correlations, FitResults& out) {
    const std::size_t items = out.items.size();
    std::vector<double> q3(items * items);
    correlations.Correlations(q3);
    out.localDependence = DescribeLocalDependence(q3, items);
    for (const Q3Pair& pair : out.localDependence.flagged) {
        out.items[pair.first].locallyDependent = true;
        out.items[pair.second].locallyDependent = true;
    }
}

bool MeanSquareOutside(double meanSquare) {
    return meanSquare < kLowestMeanSquare || meanSquare > kHighestMeanSquare;
}

std::size_t ExamineesWithAResponse(const FitInputs& in) {
    const std::size_t items = in.a.size();
    std::size_t count = 0;
    for (std::size_t j = 0; j < in.theta.size(); ++j) {
        const std::uint8_t* row = in.responses.data() + j * items;
        for (std::size_t i = 0; i < items; ++i) {
            if (row[i] == kCorrect || row[i] == kIncorrect) {
                ++count;
                break;
            }
        }
    }
    return count;
}

std::size_t ExamineesWithAScore(const CategoryFitInputs& in) {
    const std::size_t items = in.items.size();
    if (items == 0) return 0;
    std::size_t count = 0;
    for (std::size_t j = 0; j < in.responses.size() / items; ++j) {
        const std::uint8_t* row = in.responses.data() + j * items;
        for (std::size_t i = 0; i < items; ++i) {
            if (row[i] < in.items[i].categories) {
                ++count;
                break;
            }
        }
    }
    return count;
}

}  // namespace

const char* PersonFitGapText(PersonFitGap gap) {
    switch (gap) {
        case PersonFitGap::None:
            return "";
        case PersonFitGap::NoAbility:
            return "The run gave this examinee no ability.";
        case PersonFitGap::NoValidResponse:
            return "The examinee answered no item.";
        case PersonFitGap::AllSame:
            return "Every valid response is right, or every one wrong: the residuals carry no "
                   "information on fit.";
        case PersonFitGap::AllExtreme:
            return "Every score is its item's lowest, or every one its highest: the residuals "
                   "carry no information on fit.";
    }
    return "";
}

FitResults ComputeFit(const FitInputs& in) {
    WorkerPool callingThread(1);
    return ComputeFit(in, callingThread);
}

FitResults ComputeFit(const FitInputs& in, WorkerPool& pool) {
    CheckSizes(in);
    const std::size_t items = in.a.size();
    FitResults out;
    out.items.resize(items);
    out.persons.resize(in.theta.size());

    FillSx2(in, out);

    ResidualCorrelations correlations(items);
    const ItemResidualSums sums =
        ResidualPass(in, out.persons, items >= 2 ? &correlations : nullptr, pool);
    FillResidualStatistics(items, in.abilityGroups, sums,
                           "Infit and outfit are not defined: no examinee with both right and "
                           "wrong answers answered the item.",
                           out);
    FillLocalDependence(correlations, out);

    for (ItemFit& item : out.items) {
        item.misfit = std::isnan(item.p)
                          ? MeanSquareOutside(item.infit) || MeanSquareOutside(item.outfit)
                          : item.pAdjusted < kMisfitAlpha;
        out.misfittingItems += item.misfit;
    }
    for (const PersonFit& person : out.persons) out.misfittingPersons += person.misfit;

    out.model = DescribeModelFit(in.likelihood, ExamineesWithAResponse(in));
    return out;
}

FitResults ComputeCategoryFit(const CategoryFitInputs& in) {
    WorkerPool callingThread(1);
    return ComputeCategoryFit(in, callingThread);
}

FitResults ComputeCategoryFit(const CategoryFitInputs& in, WorkerPool& pool) {
    const std::size_t items = in.items.size();
    auto fail = [](const std::string& what) { throw std::invalid_argument("fit inputs: " + what); };
    if (in.estimatedParameters.size() != items) {
        fail("the estimated parameter counts must have one value per item");
    }
    if ((items > 0 && in.responses.size() % items != 0) ||
        (!in.theta.empty() && in.responses.size() != in.theta.size() * items)) {
        fail("the responses must hold one code per item for every examinee");
    }
    if (!in.abilityGroup.empty() && in.abilityGroup.size() != in.theta.size()) {
        fail("the ability groups must have one value per examinee");
    }
    if (in.grid.weight.size() != in.grid.theta.size()) {
        fail("the ability grid needs one weight per point");
    }
    FitResults out;
    out.itemsBySx2Only = true;
    out.items.resize(items);
    out.persons.resize(in.theta.size());
    CategoryFitCounts counts;
    const std::vector<Sx2Outcome> outcomes =
        CategorySummedScoreFit(in.items, in.estimatedParameters, in.grid, in.responses, counts);
    out.sx2Examinees = counts.complete;
    out.sx2LeftOutForMissing = counts.leftOut;
    FillSx2Rows(outcomes, in.estimatedParameters, out);

    // Without abilities there are no residuals: S-X2 alone.
    if (!in.theta.empty()) {
        ResidualCorrelations correlations(items);
        const ItemResidualSums sums =
            CategoryResidualPass(in, out.persons, items >= 2 ? &correlations : nullptr, pool);
        FillResidualStatistics(items, in.abilityGroups, sums,
                               "Infit and outfit are not defined: no examinee whose scores are "
                               "neither all the lowest nor all the highest answered the item.",
                               out);
        FillLocalDependence(correlations, out);
    }

    for (ItemFit& item : out.items) {
        item.misfit = item.pAdjusted < kMisfitAlpha;
        out.misfittingItems += item.misfit;
    }
    for (const PersonFit& person : out.persons) out.misfittingPersons += person.misfit;
    out.model = DescribeModelFit(in.likelihood, ExamineesWithAScore(in));
    return out;
}

}  // namespace tarvo::fit
