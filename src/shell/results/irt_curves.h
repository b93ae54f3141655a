#pragma once

#include <cstddef>
#include <vector>

#include "core/item_parameters.h"

// The curves of the results window's plots, computed without widgets: the
// 3PL response function and item information on the 1.7 metric, the
// category curves, expected score and information of items scored 0..m, the test
// information and the standard error of theta, the observed proportions of
// ability groups with their 95% band, and the ability histogram. Every curve
// has a bounded number of points whatever the number of examinees.
namespace tarvo::results {

// P = c + (1 - c) / (1 + exp(-1.7 a (theta - b))).
double ResponseProbability(const ItemParameters& item, double theta);
// I = (1.7 a)^2 (Q / P) ((P - c) / (1 - c))^2.
double ItemInformation(const ItemParameters& item, double theta);

struct Curve {
    std::vector<double> theta;
    std::vector<double> value;
};

// `steps` + 1 equally spaced points from `from` to `to`, plus the extra points
// that lie inside, in increasing order without repeats.
std::vector<double> ThetaGrid(double from, double to, int steps,
                              const std::vector<double>& extra = {});

Curve CharacteristicCurve(const ItemParameters& item, const std::vector<double>& grid);
Curve InformationCurve(const ItemParameters& item, const std::vector<double>& grid);
// The sum of the items' information at each point.
Curve TestInformationCurve(const std::vector<ItemParameters>& items,
                           const std::vector<double>& grid);
// 1 / sqrt(information); points without information are left out.
Curve StandardErrorCurve(const Curve& information);

// An item scored 0..m: the GRM's cumulative curves or the partial-credit
// ones (GPCM, PCM, RSM), its slope and its thresholds b1..bm.
struct CategoryItem {
    bool cumulative = true;
    double a = 1;
    std::vector<double> b;
    // A nominal item instead: each option's slope and intercept, option 1
    // (the reference) first, and its keyed option (0-based, -1: none), whose
    // probability is its expected score.
    bool nominal = false;
    std::vector<double> slopes, intercepts;
    int keyed = -1;

    std::size_t Categories() const { return nominal ? slopes.size() : b.size() + 1; }
};

// P(X = k) over the grid, one curve per category k = 0..m.
std::vector<Curve> CategoryCurves(const CategoryItem& item, const std::vector<double>& grid);
// The expected score, sum of k P(X = k).
Curve ExpectedScoreCurve(const CategoryItem& item, const std::vector<double>& grid);
// The sum over categories of (dP_k/dtheta)^2 / P_k.
Curve InformationCurve(const CategoryItem& item, const std::vector<double>& grid);

struct AbilityGroup {
    double meanTheta = 0;
    double proportion = 0;  // proportion correct among the group's valid responses
    int count = 0;          // valid responses in the group
};

// An item scored 0..m in one ability group: the mean score over the
// group's valid responses.
struct ScoreGroup {
    double meanTheta = 0;
    double meanScore = 0;
    int count = 0;
};

// The 95% band of the proportion the model expects in each group:
// P(mean theta) -/+ 1.96 sqrt(P (1 - P) / count), within 0..1.
struct Band {
    std::vector<double> theta, lower, upper;
};
Band ExpectedBand(const ItemParameters& item, const std::vector<AbilityGroup>& groups);

struct Histogram {
    double from = 0;
    double width = 1;
    std::vector<std::size_t> counts;
    std::size_t total = 0;
    // The bin's height as a density, comparable with a density curve.
    double Density(std::size_t bin) const;
};

// Equal bins over the finite thetas' range: about the square root of their
// number, at most maxBins.
Histogram AbilityHistogram(const std::vector<double>& thetas, std::size_t maxBins = 40);

double StandardNormalDensity(double x);

}  // namespace tarvo::results
