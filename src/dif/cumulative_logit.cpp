#include "dif/cumulative_logit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace tarvo::dif {

namespace {

constexpr std::size_t kMost = kMostLogitCategories - 1 + kMostCovariates;
constexpr int kMostSteps = 200;
constexpr int kMostHalvings = 40;
// The search ends where the full Newton step would raise the
// log-likelihood by less than this (its gain is half of gradient . step),
// far below what a likelihood-ratio statistic shows; the steps themselves
// stop shrinking at rounding, near 1e-9 on thousands of cells.
constexpr double kSmallestGain = 1e-11;
// A parameter beyond this (the covariates are on a scale of about one)
// means probabilities of e^-50: no finite maximum, answers separated.
constexpr double kFarthest = 50;

using Vector = std::array<double, kMost>;
using Matrix = std::array<double, kMost * kMost>;

double Logistic(double t) {
    return t >= 0 ? 1 / (1 + std::exp(-t)) : std::exp(t) / (1 + std::exp(t));
}

struct Model {
    std::span<const LogitCell> cells;
    std::size_t cuts = 0;  // categories - 1
    std::size_t covariates = 0;
    std::size_t size() const { return cuts + covariates; }
};

// The log-likelihood at theta (cuts, then slopes); -infinity where the cuts
// do not rise.
double LogLikelihood(const Model& model, const Vector& theta) {
    for (std::size_t j = 1; j < model.cuts; ++j) {
        if (!(theta[j] > theta[j - 1])) return -std::numeric_limits<double>::infinity();
    }
    double sum = 0;
    for (const LogitCell& cell : model.cells) {
        double eta = 0;
        for (std::size_t k = 0; k < model.covariates; ++k) eta += theta[model.cuts + k] * cell.x[k];
        const std::size_t y = cell.category;
        double p;
        if (y == 0) {
            p = Logistic(theta[0] - eta);
        } else if (y == model.cuts) {
            p = Logistic(eta - theta[y - 1]);
        } else {
            p = Logistic(theta[y] - eta) - Logistic(theta[y - 1] - eta);
        }
        sum += cell.count * std::log(p);
    }
    return sum;
}

// The gradient and the negative Hessian at theta.
void Derivatives(const Model& model, const Vector& theta, Vector& gradient, Matrix& information) {
    const std::size_t n = model.size();
    gradient.fill(0);
    information.fill(0);
    auto add = [&](std::size_t r, std::size_t c, double v) {
        information[r * n + c] -= v;
        if (r != c) information[c * n + r] -= v;
    };
    for (const LogitCell& cell : model.cells) {
        double eta = 0;
        for (std::size_t k = 0; k < model.covariates; ++k) eta += theta[model.cuts + k] * cell.x[k];
        const std::size_t y = cell.category;
        const bool hasUpper = y<model.cuts, hasLower = y> 0;
        const double fu = hasUpper ? Logistic(theta[y] - eta) : 1.0;
        const double fl = hasLower ? Logistic(theta[y - 1] - eta) : 0.0;
        const double p = hasLower && hasUpper ? fu - fl : hasUpper ? fu : 1.0 - fl;
        const double du = hasUpper ? fu * (1 - fu) : 0.0;  // densities
        const double dl = hasLower ? fl * (1 - fl) : 0.0;
        const double su = du * (1 - 2 * fu), sl = dl * (1 - 2 * fl);  // their slopes
        const double gu = du / p, gl = dl / p, w = cell.count;
        const double ge = -(gu - gl);
        const double hee = (su - sl) / p - (gu - gl) * (gu - gl);
        if (hasUpper) {
            gradient[y] += w * gu;
            add(y, y, w * (su / p - gu * gu));
        }
        if (hasLower) {
            gradient[y - 1] -= w * gl;
            add(y - 1, y - 1, w * (-sl / p - gl * gl));
        }
        if (hasUpper && hasLower) add(y, y - 1, w * gu * gl);
        for (std::size_t k = 0; k < model.covariates; ++k) {
            const double xk = cell.x[k];
            const std::size_t rk = model.cuts + k;
            gradient[rk] += w * ge * xk;
            if (hasUpper) add(rk, y, w * xk * (-su / p + (gu - gl) * gu));
            if (hasLower) add(rk, y - 1, w * xk * (sl / p - (gu - gl) * gl));
            for (std::size_t l = 0; l <= k; ++l) add(rk, model.cuts + l, w * xk * cell.x[l] * hee);
        }
    }
}

// Solves a x = b by Gaussian elimination with partial pivoting; false when
// a is singular.
bool Solve(Matrix a, Vector b, std::size_t n, Vector& x) {
    for (std::size_t col = 0; col < n; ++col) {
        std::size_t pivot = col;
        for (std::size_t r = col + 1; r < n; ++r) {
            if (std::fabs(a[r * n + col]) > std::fabs(a[pivot * n + col])) pivot = r;
        }
        if (!(std::fabs(a[pivot * n + col]) > 0)) return false;
        if (pivot != col) {
            for (std::size_t c = 0; c < n; ++c) std::swap(a[col * n + c], a[pivot * n + c]);
            std::swap(b[col], b[pivot]);
        }
        for (std::size_t r = col + 1; r < n; ++r) {
            const double factor = a[r * n + col] / a[col * n + col];
            for (std::size_t c = col; c < n; ++c) a[r * n + c] -= factor * a[col * n + c];
            b[r] -= factor * b[col];
        }
    }
    for (std::size_t r = n; r-- > 0;) {
        double sum = b[r];
        for (std::size_t c = r + 1; c < n; ++c) sum -= a[r * n + c] * x[c];
        x[r] = sum / a[r * n + r];
    }
    return true;
}

}  // namespace

LogitFit FitCumulativeLogit(std::span<const LogitCell> cells, std::size_t categories,
                            std::size_t covariates) {
    LogitFit fit;
    const Model model{cells, categories - 1, covariates};
    const std::size_t n = model.size();
    Vector theta{};
    // Start: the cumulative shares' logits, no slope.
    std::array<double, kMostLogitCategories> byCategory{};
    double total = 0;
    for (const LogitCell& cell : cells) {
        byCategory[cell.category] += cell.count;
        total += cell.count;
    }
    double below = 0;
    for (std::size_t j = 0; j < model.cuts; ++j) {
        below += byCategory[j];
        theta[j] = std::log(below / (total - below));
    }
    double current = LogLikelihood(model, theta);
    Vector gradient, step{};
    Matrix information;
    for (fit.iterations = 1; fit.iterations <= kMostSteps; ++fit.iterations) {
        Derivatives(model, theta, gradient, information);
        if (!Solve(information, gradient, n, step)) break;
        double largest = 0, gain = 0;
        for (std::size_t k = 0; k < n; ++k) {
            largest = std::max(largest, std::fabs(step[k]));
            gain += gradient[k] * step[k] / 2;
        }
        if (gain < kSmallestGain) {
            fit.converged = true;
            for (std::size_t k = 0; k < n; ++k) {
                fit.converged = fit.converged && std::fabs(theta[k]) < kFarthest;
            }
            break;
        }
        double scale = 1;
        Vector trial{};
        double next = -std::numeric_limits<double>::infinity();
        for (int halving = 0; halving <= kMostHalvings; ++halving, scale /= 2) {
            for (std::size_t k = 0; k < n; ++k) trial[k] = theta[k] + scale * step[k];
            next = LogLikelihood(model, trial);
            if (next >= current) break;
        }
        if (!(next >= current)) {
            // No step climbs: the maximum is as near as doubles tell.
            fit.converged = largest < 1e-6;
            break;
        }
        theta = trial;
        current = next;
    }
    fit.logLikelihood = current;
    return fit;
}

}  // namespace tarvo::dif
