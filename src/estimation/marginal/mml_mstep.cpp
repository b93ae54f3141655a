#include "estimation/marginal/mml_mstep.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "irt/item_curve.h"

namespace tarvo::mml {

namespace {

constexpr int kMostNewtonSteps = 50;
constexpr int kMostHalvings = 30;
constexpr double kSettledStep = 1e-9;
// The largest move of one Newton step, by parameter (a, d, logit c): a long
// first step from poor start values would otherwise jump far past the
// maximum.
constexpr double kLongestStep[3] = {0.5, 1.0, 1.0};
constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();

double Logistic(double g) {
    return g >= 0 ? 1 / (1 + std::exp(-g)) : std::exp(g) / (1 + std::exp(g));
}

// The log priors and their derivatives by (a, d, c): the prior on b through
// b = -d / a. -infinity where a prior has no density (a <= 0 under the
// log-normal prior, a = 0 under the prior on b).
void AddLinePriors(ItemObjective& o, double a, double d, double c, const Priors& priors,
                   FreeParameters free) {
    if (free.a && priors.logA.on) {
        if (!(a > 0)) {
            o.value = kMinusInfinity;
            return;
        }
        const double s2 = priors.logA.sd * priors.logA.sd;
        const double dev = std::log(a) - priors.logA.mean;
        o.value += -std::log(a) - dev * dev / (2 * s2);
        o.gradient[0] += (-1 - dev / s2) / a;
        o.hessian[0][0] += (1 - 1 / s2 + dev / s2) / (a * a);
    }
    if (free.b && priors.b.on) {
        if (a == 0) {
            o.value = kMinusInfinity;
            return;
        }
        const double s2 = priors.b.sd * priors.b.sd;
        const double b = -d / a;
        const double first = -(b - priors.b.mean) / s2;  // by b
        const double second = -1 / s2;
        // b by a and d, first and second.
        const double ba = -b / a, bd = -1 / a;
        const double baa = 2 * b / (a * a), bad = 1 / (a * a);
        o.value += -(b - priors.b.mean) * (b - priors.b.mean) / (2 * s2);
        if (free.a) {
            o.gradient[0] += first * ba;
            o.hessian[0][0] += second * ba * ba + first * baa;
            o.hessian[0][1] += second * ba * bd + first * bad;
            o.hessian[1][0] = o.hessian[0][1];
        }
        o.gradient[1] += first * bd;
        o.hessian[1][1] += second * bd * bd;
    }
    if (free.c && priors.c.on) {
        const double al = priors.c.alpha - 1;
        const double be = priors.c.beta - 1;
        o.value += al * std::log(c) + be * std::log1p(-c);
        o.gradient[2] += al / c - be / (1 - c);
        o.hessian[2][2] += -al / (c * c) - be / ((1 - c) * (1 - c));
    }
}

// The objective by (a, d, c) turned into the one by (a, d, g), g = logit c.
void ToLogitC(ItemObjective& o, double c) {
    const double dc = c * (1 - c);  // dc/dg
    const double dc2 = dc * (1 - 2 * c);
    o.hessian[2][2] = o.hessian[2][2] * dc * dc + o.gradient[2] * dc2;
    for (int u = 0; u < 2; ++u) o.hessian[u][2] = o.hessian[2][u] = o.hessian[u][2] * dc;
    o.gradient[2] *= dc;
}

struct Point {
    double x[3];  // a, d, logit c (or c where c is held)
};

}  // namespace

double LocationOf(double a, double d) {
    if (a == 0) a = std::copysign(std::numeric_limits<double>::min(), d == 0 ? 1.0 : -d);
    return -d / a;
}

ItemObjective ItemExpectedLogLikelihood(const double* correct, const double* wrong,
                                        const Quadrature& quadrature, double a, double d,
                                        double c) {
    ItemObjective out;
    const int points = quadrature.Points();
    for (int k = 0; k < points; ++k) {
        const double r = correct[k];
        const double f = wrong[k];
        if (r == 0 && f == 0) continue;
        const double theta = quadrature.theta[k];
        const Curve cv = CurveOfLine(theta, a, d, c);
        const double t = cv.q / (1 - c);
        const double s1 = cv.s * (1 - cv.s);
        const double s2 = s1 * (1 - 2 * cv.s);
        const double dzda = kD * theta;
        const double first[3] = {(1 - c) * s1 * dzda, (1 - c) * kD * s1, t};
        const double second[3][3] = {
            {(1 - c) * s2 * dzda * dzda, (1 - c) * kD * s2 * dzda, -s1 * dzda},
            {(1 - c) * kD * s2 * dzda, (1 - c) * kD * kD * s2, -kD * s1},
            {-s1 * dzda, -kD * s1, 0}};
        out.value += r * std::log(cv.p) + f * std::log(cv.q);
        const double g1 = r / cv.p - f / cv.q;
        const double g2 = -r / (cv.p * cv.p) - f / (cv.q * cv.q);
        for (int u = 0; u < 3; ++u) {
            out.gradient[u] += g1 * first[u];
            for (int v = u; v < 3; ++v) {
                out.hessian[u][v] += g2 * first[u] * first[v] + g1 * second[u][v];
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
                                        double d, double c) {
    const ItemObjectiveSums sums = kernels.itemObjective(
        {correct, wrong, quadrature.theta.data(), quadrature.Points()}, a, d, c);
    ItemObjective out;
    out.value = sums.value;
    for (int u = 0; u < 3; ++u) {
        out.gradient[u] = sums.gradient[u];
        for (int v = 0; v < 3; ++v) out.hessian[u][v] = sums.hessian[u][v];
    }
    return out;
}

ItemObjective ByLocation(const ItemObjective& o, double a, double b) {
    // d/da at b held is d/da - b d/dd; d/db is -a d/dd; d2 d/da db = -1.
    ItemObjective out = o;
    const double(*h)[3] = o.hessian;
    out.gradient[0] = o.gradient[0] - b * o.gradient[1];
    out.gradient[1] = -a * o.gradient[1];
    out.hessian[0][0] = h[0][0] - 2 * b * h[0][1] + b * b * h[1][1];
    out.hessian[0][1] = out.hessian[1][0] = -a * h[0][1] + a * b * h[1][1] - o.gradient[1];
    out.hessian[1][1] = a * a * h[1][1];
    out.hessian[0][2] = out.hessian[2][0] = h[0][2] - b * h[1][2];
    out.hessian[1][2] = out.hessian[2][1] = -a * h[1][2];
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
                 double& d, double& c) {
    if (!free.a && !free.b && !free.c) return 0;
    const double lowestA = free.a && priors.logA.on ? 0 : -kSlopeReach;
    const double lowest[3] = {lowestA, -kInterceptReach, -kLogitCReach};
    const double highest[3] = {kSlopeReach, kInterceptReach, kLogitCReach};
    const bool isFree[3] = {free.a, free.b, free.c};

    auto curveC = [&](const Point& p) { return free.c ? Logistic(p.x[2]) : p.x[2]; };
    auto evaluate = [&](const Point& p) {
        const double cp = curveC(p);
        ItemObjective o =
            ItemExpectedLogLikelihood(kernels, correct, wrong, quadrature, p.x[0], p.x[1], cp);
        AddLinePriors(o, p.x[0], p.x[1], cp, priors, free);
        if (free.c) ToLogitC(o, cp);
        if (std::isnan(o.value)) o.value = kMinusInfinity;
        return o;
    };
    Point at{{a, d, c}};
    if (free.c) {
        const double kept = std::clamp(c, Logistic(-kLogitCReach), Logistic(kLogitCReach));
        at.x[2] = std::log(kept / (1 - kept));
    }
    for (int u = 0; u < 3; ++u) {
        if (isFree[u]) at.x[u] = std::clamp(at.x[u], lowest[u], highest[u]);
    }
    if (free.a && priors.logA.on && !(at.x[0] > 0)) at.x[0] = kLowestA;
    ItemObjective here = evaluate(at);
    int steps = 0;
    for (; steps < kMostNewtonSteps; ++steps) {
        // A parameter at the end of its reach whose gradient points beyond
        // it stays there this step; the others take the Newton step among
        // themselves (a clamped joint step would stall beside the end).
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
            for (int u = 0; u < m; ++u) {
                const int v = index[u];
                trial.x[v] = std::clamp(trial.x[v] + scale * step[u], lowest[v], highest[v]);
            }
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
    d = at.x[1];
    c = curveC(at);
    return steps;
}

}  // namespace tarvo::mml
