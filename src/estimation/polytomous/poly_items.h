#pragma once

// One item of a polytomous run as plain data, whatever its model: a
// right/wrong item scored by key (3PL, 2PL or 1PL) or an item scored 0..m
// (GRM, GPCM, PCM, RSM); its category probabilities at an ability and their
// derivatives by the item's free parameters: (a, b, c) for a right/wrong
// item, the slope and the intercepts (a, d_1..d_m) for an item scored 0..m
// (poly_curves), whose thresholds b_k = -d_k / (D a) are reported.

#include <array>
#include <span>
#include <string_view>

#include "core/marginal_models.h"
#include "core/polytomous_models.h"

namespace tarvo::poly {

enum class ItemForm {
    Binary,   // P(1) = c + (1 - c) / (1 + exp(-D a (theta - b)))
    Graded,   // GRM
    Partial,  // GPCM, PCM
    Rated,    // RSM: the partial credit curves, thresholds = location + the scale's steps
    Nominal,  // the options of a multiple-choice item: a slope and an intercept per option
};

inline constexpr int kMostThresholds = kMostCategories - 1;
// a, up to eight thresholds or intercepts, c; or a nominal item's slopes
// and intercepts, up to eight of each.
inline constexpr int kMostFree = 2 * kMostThresholds;

struct Item {
    ItemForm form = ItemForm::Binary;
    int categories = 2;  // scores 0..categories - 1
    // Its model's names: binaryModel for a right/wrong item, else polytomous.
    MarginalModel binaryModel = MarginalModel::ThreePL;
    PolytomousModel polytomous = PolytomousModel::None;
    bool slopeFree = true;
    bool guessFree = false;    // binary items of the 3PL
    bool commonSlope = false;  // a shared with the other such items (PCM), not its own
    // Rated items: the scale whose steps the item shares (its own free
    // parameter is its location, the mean of its intercepts).
    int scale = -1;
    double a = 1;
    // A right/wrong item's b[0] is its estimate; an item scored 0..m has
    // its thresholds here when the run ends (ReportThresholds).
    std::array<double, kMostThresholds> b{};
    // The intercepts of an item scored 0..m, which the estimator moves.
    std::array<double, kMostThresholds> d{};
    // A nominal item: the slopes of options 1..m against option 0 (its
    // intercepts are d), their errors, and the keyed option (-1: none).
    // Its a is the keyed option's discrimination (nominal::KeyedDiscrimination).
    std::array<double, kMostThresholds> slopes{};
    std::array<double, kMostThresholds> seSlopes{};
    int keyed = -1;
    double c = 0;
    // The standard errors, -1 where not formed.
    double seA = -1;
    std::array<double, kMostThresholds> seB{};
    double seC = -1;

    int Thresholds() const { return categories - 1; }
    std::span<const double> B() const { return std::span<const double>(b).first(Thresholds()); }
    std::span<const double> D() const { return std::span<const double>(d).first(Thresholds()); }
};

// An item of the request's models with the given categories: two or fewer
// take the right/wrong model, more the polytomous one. A rated item's scale
// is its number of categories until told otherwise.
Item ItemOf(int categories, const MarginalModelRules& binary, PolytomousModel polytomous);

// An item of the polytomous model with the given categories (two or more);
// a nominal item has its categories as options even where they are two.
Item PolytomousItem(int categories, PolytomousModel polytomous);

// A rated item's location (the mean of its intercepts) and the offsets of
// its intercepts from it. With the slope common to the rated items, the
// offsets are shared exactly when the thresholds' steps are.
double LocationOf(const Item& item);
void StepsOf(const Item& item, std::span<double> steps);

// The same item with each intercept a free parameter of its own and its
// slope held: the derivatives by d_1..d_m that the scale's steps are formed
// from.
Item WithFreeThresholds(const Item& item);

// An item scored 0..m: its intercepts from its slope and thresholds (an
// item held at an item file's values), and its thresholds from its slope
// and intercepts. Where |a| < kLeastDiscrimination the thresholds are
// still -d / (D a), but far beyond any ability: not locations.
void InterceptsFromThresholds(Item& item);
void ReportThresholds(Item& item);

// How many parameters the estimator moves, and the item's values of them.
int FreeCount(const Item& item);
void PackFree(const Item& item, std::span<double> values);
void UnpackFree(std::span<const double> values, Item& item);

// Keeps a right/wrong item's free parameters in their ranges; false when
// the values cannot be an item of the model (not finite, GRM intercepts
// not falling, a common slope not above 0: its sign only turns the
// ability scale over). An item scored 0..m has no other bound.
bool KeepInRange(Item& item, double lowestC);

// P(X = k) for k = 0..categories - 1.
void CategoryProbabilities(const Item& item, double theta, std::span<double> p);

// The derivatives of P(X = k) by the free parameters: categories rows of
// FreeCount values. p from CategoryProbabilities at the same theta.
void CategoryDerivatives(const Item& item, double theta, std::span<const double> p,
                         std::span<double> derivatives);

// The model's name in the result file.
std::string_view ModelNameOf(const Item& item);

}  // namespace tarvo::poly
