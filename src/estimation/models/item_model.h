#pragma once

// An item of the marginal engine is a row of the item model table plus its
// parameter values and the mask of what the estimator moves. The row says
// everything that depends on the model: its name and caption, its
// categories, its parameters, the parameterisation the estimator moves
// (packed into and out of a vector), the category probabilities and their
// derivatives by those parameters and by theta, start values, the priors it
// can take and those on by default, the bounds the model itself has, and
// how its values are reported (a, b, c; a, b1..bK) with their errors. The
// engine reads every item through its row: a new model is a new row.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/marginal_settings.h"
#include "core/polytomous_models.h"

namespace tarvo::models {

inline constexpr int kMostThresholds = kMostCategories - 1;
// a, up to eight thresholds or intercepts, c, u; or a nominal item's
// slopes and intercepts, up to eight of each.
inline constexpr int kMostFree = 2 * kMostThresholds;

struct ItemModel;

// How a row's values are reported: a right/wrong item's location b (with
// its asymptotes), or the thresholds b_k = -d_k / (D a) of an item scored
// 0..m, from the intercepts the estimator moves.
enum class Metric {
    Location,
    Thresholds,
};

struct Item {
    const ItemModel* model = nullptr;
    int categories = 2;  // scores 0..categories - 1
    // The mask: what the estimator moves of the item's own parameters.
    bool slopeFree = true;
    bool guessFree = false;    // the lower asymptote c
    bool upperFree = false;    // the upper asymptote u
    bool commonSlope = false;  // a shared with the other such items (PCM), not its own
    // Items of a rating scale: the scale whose steps the item shares (its
    // own free parameter is its location, the mean of its intercepts).
    int scale = -1;
    double a = 1;
    // A right/wrong item's b[0] is its estimate; an item scored 0..m has
    // its thresholds here when the run ends (ReportThresholds).
    std::array<double, kMostThresholds> b{};
    // The intercepts of an item scored 0..m, which the estimator moves.
    std::array<double, kMostThresholds> d{};
    // A nominal item: the slopes of options 1..m against option 0 (its
    // intercepts are d), their errors, and the keyed option (-1: none).
    // Its a is the keyed option's discrimination.
    std::array<double, kMostThresholds> slopes{};
    std::array<double, kMostThresholds> seSlopes{};
    int keyed = -1;
    double c = 0;
    double u = 1;  // the upper asymptote: 1 but for a model that moves it
    // The standard errors, -1 where not formed.
    double seA = -1;
    std::array<double, kMostThresholds> seB{};
    double seC = -1;
    double seU = -1;

    int Thresholds() const { return categories - 1; }
    std::span<const double> B() const { return std::span<const double>(b).first(Thresholds()); }
    std::span<const double> D() const { return std::span<const double>(d).first(Thresholds()); }
};

// Which priors a model can take, and those on unless the user says
// otherwise: on a (the slope), b (the location or thresholds), c (the lower
// asymptote) and u (the upper).
struct PriorRules {
    bool onA, onB, onC, onU;
    bool defaultA, defaultC, defaultU;
};

struct ItemModel {
    std::string_view name;     // --model, the job file, the result file and the report
    std::string_view caption;  // the options dialog
    // 2 for a right/wrong model scored by key; 0: the item's own count of
    // categories (3 to kMostCategories).
    int categories;
    Metric metric;
    // The parameters' names as reported, in the order of the vector the
    // estimator moves when all are free ("b" for every threshold).
    std::span<const std::string_view> parameters;
    // The mask a new item of the model takes.
    bool slopeFree, commonSlope, guessFree, upperFree;
    // The items of a scale share the offsets of their intercepts from their
    // locations (rating scale).
    bool sharedSteps;
    // The intercepts must fall with k (P(X >= k) falls with k).
    bool orderedIntercepts;
    // Each option has its own slope against the first (the nominal model):
    // the item's slopes and seSlopes are its values, its a the keyed
    // option's discrimination, and it has no location b.
    bool optionSlopes;
    PriorRules priors;

    // How many parameters the estimator moves, and the item's values of
    // them in and out of a vector.
    int (*freeCount)(const Item& item);
    void (*pack)(const Item& item, std::span<double> values);
    void (*unpack)(std::span<const double> values, Item& item);
    // Keeps the moved values in the model's own bounds; false when they
    // cannot be an item of the model.
    bool (*keepInRange)(Item& item, double lowestC);
    // P(X = k), k = 0..categories - 1.
    void (*probabilities)(const Item& item, double theta, std::span<double> p);
    // By the free parameters: categories rows of freeCount values; p from
    // probabilities at the same theta.
    void (*byParameter)(const Item& item, double theta, std::span<const double> p,
                        std::span<double> derivatives);
    // By theta: one value per category.
    void (*byTheta)(const Item& item, double theta, std::span<const double> p,
                    std::span<double> derivatives);
    // The log of the priors at the item; gradient and information, when
    // given, by the free parameters get their terms added.
    double (*logPrior)(const Item& item, const Priors& priors, double* gradient,
                       double* information);
    // Start values from the item's category counts and the sign of its
    // item-rest correlation; null: the right/wrong start of the
    // dichotomous estimator.
    void (*start)(std::span<const std::int32_t> counts, int sign, Item& item);
    // The reported values from the moved ones, and back (an item held at an
    // item file's values).
    void (*report)(Item& item);
    void (*fromReported)(Item& item);
    // The variances of the reported a, b, c and u by the delta method from
    // the covariances of the item's own moved parameters (freeCount square,
    // in the vector's order); null where the moved values are the reported
    // ones and each error is its own parameter's.
    void (*reportedVariances)(const Item& item, std::span<const double> covariance,
                              std::span<double, 4> variances);
};

}  // namespace tarvo::models
