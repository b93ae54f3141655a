#include "estimation/marginal/mml_mstep.h"

#include <algorithm>
#include <cmath>

#include "irt/item_curve.h"

namespace tarvo::mml {

namespace {

constexpr int kMostNewtonSteps = 50;
constexpr int kMostHalvings = 30;
constexpr double kSettledStep = 1e-9;
// The largest move of one Newton step, by parameter: a long first step
// from poor start values would otherwise jump far past the maximum.
constexpr double kLongestStep[3] = {0.5, 1.0, 0.1};

struct Point {
    double x[3];  // a, b, c
};

double LowestC(const Priors& priors) { return priors.c.on ? kLowestCWithPrior : kMarginalC.lowest; }

// Only the free parameters are kept in bounds; a given c stays as given.
void Clamp(Point& p, const Priors& priors, FreeParameters free) {
    if (free.a) p.x[0] = std::clamp(p.x[0], kLowestA, kHighestA);
    if (free.b) p.x[1] = std::clamp(p.x[1], kLowestB, kHighestB);
    if (free.c) p.x[2] = std::clamp(p.x[2], LowestC(priors), kHighestC);
}

}  // namespace

ItemObjective ItemExpectedLogLikelihood(const double* correct, const double* wrong,
                                        const Quadrature& quadrature, double a, double b,
                                        double c) {
    ItemObjective out;
    const int points = quadrature.Points();
    for (int k = 0; k < points; ++k) {
        const double r = correct[k];
        const double f = wrong[k];
        if (r == 0 && f == 0) continue;
        const double theta = quadrature.theta[k];
        const Curve cv = CurveAt(theta, a, b, c);
        const CurveDerivatives d = DerivativesAt(theta, a, b, c, cv);
        out.value += r * std::log(cv.p) + f * std::log(cv.q);
        const double g1 = r / cv.p - f / cv.q;
        const double g2 = -r / (cv.p * cv.p) - f / (cv.q * cv.q);
        for (int u = 0; u < 3; ++u) {
            out.gradient[u] += g1 * d.first[u];
            for (int v = u; v < 3; ++v) {
                out.hessian[u][v] += g2 * d.first[u] * d.first[v] + g1 * d.second[u][v];
            }
        }
    }
    for (int u = 0; u < 3; ++u) {
        for (int v = 0; v < u; ++v) out.hessian[u][v] = out.hessian[v][u];
    }
    return out;
}

ItemObjective ItemExpectedLogLikelihood(const MarginalKernels& kernels, const double* correct,
                                        const double* wrong, const Quadrature& quadrature, double a,
                                        double b, double c) {
    const ItemObjectiveSums sums = kernels.itemObjective(
        {correct, wrong, quadrature.theta.data(), quadrature.Points()}, a, b, c);
    ItemObjective out;
    out.value = sums.value;
    for (int u = 0; u < 3; ++u) {
        out.gradient[u] = sums.gradient[u];
        for (int v = 0; v < 3; ++v) out.hessian[u][v] = sums.hessian[u][v];
    }
    return out;
}

void AddPriors(ItemObjective& objective, double a, double b, double c, const Priors& priors,
               FreeParameters free) {
    if (free.a && priors.logA.on) {
        const double s2 = priors.logA.sd * priors.logA.sd;
        const double dev = std::log(a) - priors.logA.mean;
        objective.value += -std::log(a) - dev * dev / (2 * s2);
        objective.gradient[0] += (-1 - dev / s2) / a;
        objective.hessian[0][0] += (1 - 1 / s2 + dev / s2) / (a * a);
    }
    if (free.b && priors.b.on) {
        const double s2 = priors.b.sd * priors.b.sd;
        const double dev = b - priors.b.mean;
        objective.value += -dev * dev / (2 * s2);
        objective.gradient[1] += -dev / s2;
        objective.hessian[1][1] += -1 / s2;
    }
    if (free.c && priors.c.on) {
        const double al = priors.c.alpha - 1;
        const double be = priors.c.beta - 1;
        objective.value += al * std::log(c) + be * std::log1p(-c);
        objective.gradient[2] += al / c - be / (1 - c);
        objective.hessian[2][2] += -al / (c * c) - be / ((1 - c) * (1 - c));
    }
}

bool SolveSmall(int m, double matrix[3][3], double rhs[3]) {
    double l[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    for (int i = 0; i < m; ++i) {
        for (int j = 0; j <= i; ++j) {
            double sum = matrix[i][j];
            for (int k = 0; k < j; ++k) sum -= l[i][k] * l[j][k];
            if (i == j) {
                if (!(sum > 0)) return false;
                l[i][i] = std::sqrt(sum);
            } else {
                l[i][j] = sum / l[j][j];
            }
        }
    }
    double y[3];
    for (int i = 0; i < m; ++i) {
        double sum = rhs[i];
        for (int k = 0; k < i; ++k) sum -= l[i][k] * y[k];
        y[i] = sum / l[i][i];
    }
    for (int i = m - 1; i >= 0; --i) {
        double sum = y[i];
        for (int k = i + 1; k < m; ++k) sum -= l[k][i] * rhs[k];
        rhs[i] = sum / l[i][i];
    }
    return true;
}

int MaximiseItem(const MarginalKernels& kernels, const double* correct, const double* wrong,
                 const Quadrature& quadrature, const Priors& priors, FreeParameters free, double& a,
                 double& b, double& c) {
    if (!free.a && !free.b && !free.c) return 0;
    const double lowest[3] = {kLowestA, kLowestB, LowestC(priors)};
    const double highest[3] = {kHighestA, kHighestB, kHighestC};
    const bool isFree[3] = {free.a, free.b, free.c};

    auto evaluate = [&](const Point& p) {
        ItemObjective o =
            ItemExpectedLogLikelihood(kernels, correct, wrong, quadrature, p.x[0], p.x[1], p.x[2]);
        AddPriors(o, p.x[0], p.x[1], p.x[2], priors, free);
        return o;
    };
    Point at{{a, b, c}};
    Clamp(at, priors, free);
    ItemObjective here = evaluate(at);
    int steps = 0;
    for (; steps < kMostNewtonSteps; ++steps) {
        // A parameter on a bound whose gradient points out of the bounds
        // stays there this step; the others take the Newton step among
        // themselves (a clamped joint step would stall beside the bound).
        int index[3];
        int m = 0;
        for (int u = 0; u < 3; ++u) {
            if (!isFree[u]) continue;
            const double g = here.gradient[u];
            if ((at.x[u] <= lowest[u] && g <= 0) || (at.x[u] >= highest[u] && g >= 0)) continue;
            index[m++] = u;
        }
        if (m == 0) break;
        // Newton direction on the negative Hessian, made positive definite
        // by a growing ridge where the objective is not concave.
        double step[3];
        bool solved = false;
        for (double ridge = 0; ridge < 1e12 && !solved; ridge = ridge == 0 ? 1e-6 : ridge * 10) {
            double h[3][3];
            for (int u = 0; u < m; ++u) {
                for (int v = 0; v < m; ++v) h[u][v] = -here.hessian[index[u]][index[v]];
                h[u][u] += ridge * (1 + std::fabs(h[u][u]));
                step[u] = here.gradient[index[u]];
            }
            solved = SolveSmall(m, h, step);
        }
        if (!solved) break;
        double scale = 1;
        for (int u = 0; u < m; ++u) {
            const double longest = kLongestStep[index[u]];
            if (std::fabs(step[u]) * scale > longest) scale = longest / std::fabs(step[u]);
        }
        bool moved = false;
        double largestMove = 0;
        for (int halving = 0; halving < kMostHalvings; ++halving, scale *= 0.5) {
            Point trial = at;
            for (int u = 0; u < m; ++u) trial.x[index[u]] += scale * step[u];
            Clamp(trial, priors, free);
            const ItemObjective there = evaluate(trial);
            if (there.value >= here.value) {
                largestMove = 0;
                for (int u = 0; u < m; ++u) {
                    largestMove =
                        std::max(largestMove, std::fabs(trial.x[index[u]] - at.x[index[u]]));
                }
                at = trial;
                here = there;
                moved = true;
                break;
            }
        }
        if (!moved || largestMove < kSettledStep) break;
    }
    a = at.x[0];
    b = at.x[1];
    c = at.x[2];
    return steps;
}

}  // namespace tarvo::mml
