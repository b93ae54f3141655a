#pragma once

#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "linking/forms/common_items.h"
#include "linking/forms/step_watch.h"

// The four ways of placing a new form on a base form's scale from their
// common items, as Kolen and Brennan (2014, ch. 6) define them. Each finds
// the slope A and intercept B of theta_base = A theta_new + B; the new
// form's items then become a / A, A b + B and c.
namespace tarvo::linking {

enum class LinkMethod { MeanMean, MeanSigma, Haebara, StockingLord };
inline constexpr LinkMethod kLinkMethods[] = {LinkMethod::MeanMean, LinkMethod::MeanSigma,
                                              LinkMethod::Haebara, LinkMethod::StockingLord};

// "mean/mean", "mean/sigma", "haebara", "stocking-lord".
const char* LinkMethodName(LinkMethod method);
bool ParseLinkMethod(std::string_view text, LinkMethod& method);

// The abilities over which the characteristic-curve criteria are summed:
// points from mean - range sd to mean + range sd with the normal weights of
// that mean and SD. The default is a fixed grid on the standard scale; a
// base form's quadrature and population are given by the same four numbers.
// symmetric adds the criterion on the new form's scale (the base items
// carried there by the inverse transformation, over the same points and
// weights) to the one on the base scale.
struct CriterionSettings {
    int points = 41;
    double range = 4;
    double mean = 0;
    double sd = 1;
    bool symmetric = false;
};

struct LinkSettings {
    CriterionSettings criterion;
    // A held at 1 and only B found: when both forms are 1PL, whose scale
    // unit is fixed by the model.
    bool slopeFixed = false;
    // The delta-method errors cost the curve methods more than their
    // minimum; resamples and studies that do not use them leave them out.
    bool deltaErrors = true;
};

inline constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();

struct LinkConstants {
    bool ok = false;
    std::string problem;  // why not, when not ok
    double A = 1, B = 0;
    double seA = kUnknown, seB = kUnknown;  // NaN: not defined by the inputs
};

// The constants of one method, with standard errors by the delta method
// from the common items' standard errors (NaN when an error the constants
// depend on is not known). The watch hears how far the characteristic-curve
// methods are (their minimum, then their errors); a stop asked of it ends
// the method without constants, its problem saying so.
LinkConstants Link(LinkMethod method, const AnchorSet& set, const LinkSettings& settings,
                   const StepWatch& watch = {});

// The problem of constants a stop left unfound.
inline constexpr const char* kStoppedProblem = "stopped";

// The parameters of a pair of common items, in this order: a, b, c and u of
// the base item, then of the new item.
inline constexpr std::size_t kPairParameters = 8;
inline constexpr std::size_t kBaseA = 0, kBaseB = 1, kBaseC = 2, kBaseU = 3;
inline constexpr std::size_t kNewA = 4, kNewB = 5, kNewC = 6, kNewU = 7;

// How the constants move with each common item's parameters: for pair k
// and parameter u, dA[kPairParameters k + u] and dB[kPairParameters k + u].
struct Sensitivity {
    std::vector<double> dA, dB;
};

// seA and seB from the sensitivity and the items' standard errors,
// treating the items' estimates as independent.
void DeltaErrors(const AnchorSet& set, const Sensitivity& sensitivity, LinkConstants& constants);

}  // namespace tarvo::linking
