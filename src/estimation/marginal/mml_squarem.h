#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <vector>

namespace tarvo::mml {

// Squared extrapolation of EM (Varadhan and Roland's SQUAREM, their third
// step length): from a point x0 and two EM steps x1 = F(x0), x2 = F(x1),
// with r = x1 - x0 and v = x2 - 2 x1 + x0, the point
// x0 - 2 alpha r + alpha^2 v with alpha = -|r| / |v|. alpha = -1 gives x2
// itself; a longer step jumps along the path EM is slowly taking.

// The step length, kept in [-longest, -1] (-1 when v is 0 or not finite).
double SquaredStepLength(std::span<const double> x0, std::span<const double> x1,
                         std::span<const double> x2, double longest);

// The extrapolated point into out (its own storage, the size of x0).
void SquaredExtrapolation(std::span<const double> x0, std::span<const double> x1,
                          std::span<const double> x2, double alpha, std::span<double> out);

// The longest step grows by this factor after a step at the longest was
// kept, and shrinks by it (not below 1) after one was refused.
inline constexpr double kStepGrowth = 4;

// One EM cycle as a map of a parameter point, whatever the items' models:
// the E-step at the point the map holds, then the M-step, after which the
// map holds the next point.
class EmMap {
  public:
    struct Objective {
        double logLikelihood = 0;  // marginal, at the E-step's point
        double logPosterior = 0;   // the same plus the log priors
    };
    virtual ~EmMap() = default;
    virtual std::size_t PointSize() const = 0;
    // The item parameters come first, in this many entries; the change
    // test looks at them alone.
    virtual std::size_t ItemEntries() const = 0;
    virtual void Read(std::span<double> point) const = 0;
    virtual void Write(std::span<const double> point) = 0;
    // Every estimated parameter into its range.
    virtual void KeepInBounds(std::span<double> point) const = 0;
    virtual Objective Run() = 0;
};

struct EmLoopSettings {
    int maxCycles = 0;
    double tolerance = 0;               // of the largest parameter change
    double logLikelihoodTolerance = 0;  // of the change since the cycle before
    bool accelerate = true;
};

struct EmLoopOutcome {
    int cycles = 0;
    bool converged = false;
    bool stopped = false;
    double largestChange = 0;  // of the last cycle
    // The log posterior at every point EM went on from, in order.
    std::vector<double> keptObjectives;
    int extrapolations = 0;  // extrapolated points tried, and refused
    int refused = 0;
};

// After each cycle its number, its largest change and the log-likelihood at
// its start; false stops the loop.
using EmLoopReport = std::function<bool(int cycle, double largestChange, double logLikelihood)>;

// EM cycles of the map until the largest change of a cycle is below the
// tolerance and the log-likelihood changed by less than its tolerance since
// the cycle before, after maxCycles, or when report says stop; the map is
// left holding the estimates the loop ends with.
//
// With accelerate, after every two cycles x1 = F(x0), x2 = F(x1) the point
// is extrapolated along them (SQUAREM) and one more cycle is run from
// there; the extrapolated point is kept only when its log posterior is at
// least that of x1, otherwise EM goes on from x2. Every cycle, the
// extrapolated ones too, counts against maxCycles.
EmLoopOutcome RunEmLoop(EmMap& map, const EmLoopSettings& settings, const EmLoopReport& report);

}  // namespace tarvo::mml
