#pragma once

#include <cmath>

// A small Newton minimiser for one or two unknowns with an analytic
// gradient: the Hessian from central differences of the gradient, a
// backtracking line search on the value, and a step down the gradient
// where the Hessian is not positive definite. The first unknown can be kept
// above a floor (the slope A stays positive). No allocation.
namespace tarvo::linking {

struct Minimum {
    double x[2] = {0, 0};
    double value = 0;
    double hessian[2][2] = {{0, 0}, {0, 0}};  // at x, from the gradient's differences
    int iterations = 0;
    bool converged = false;
    bool stopped = false;  // the stop poll said so between iterations
};

inline constexpr int kMostNewtonIterations = 200;

// f(const double* x, double* gradient) returns the value at x and fills
// gradient; n is 1 or 2.
template <class F>
void HessianByDifferences(F& f, int n, const double* x, double hessian[2][2]) {
    double plus[2], minus[2], g[2], shifted[2];
    for (int j = 0; j < n; ++j) {
        const double h = 1e-5 * std::fmax(1.0, std::fabs(x[j]));
        for (int i = 0; i < n; ++i) shifted[i] = x[i];
        shifted[j] = x[j] + h;
        f(shifted, plus);
        shifted[j] = x[j] - h;
        f(shifted, minus);
        for (int i = 0; i < n; ++i) g[i] = (plus[i] - minus[i]) / (2 * h);
        for (int i = 0; i < n; ++i) hessian[i][j] = g[i];
    }
    if (n == 2) hessian[0][1] = hessian[1][0] = (hessian[0][1] + hessian[1][0]) / 2;
}

// stopped() is asked before every iteration; when it says so the search
// ends where it is, not converged.
template <class F, class Stopped>
Minimum MinimiseNewton(F&& f, int n, const double* start, double floorOfFirst, Stopped&& stopped) {
    Minimum found;
    for (int i = 0; i < n; ++i) found.x[i] = start[i];
    double gradient[2] = {0, 0};
    found.value = f(found.x, gradient);
    for (; found.iterations < kMostNewtonIterations; ++found.iterations) {
        if (stopped()) {
            found.stopped = true;
            return found;
        }
        HessianByDifferences(f, n, found.x, found.hessian);
        double step[2] = {0, 0};
        const double(&h)[2][2] = found.hessian;
        bool newton = false;
        if (n == 1 && h[0][0] > 0) {
            step[0] = -gradient[0] / h[0][0];
            newton = true;
        } else if (n == 2) {
            const double det = h[0][0] * h[1][1] - h[0][1] * h[1][0];
            if (h[0][0] > 0 && det > 0) {
                step[0] = -(h[1][1] * gradient[0] - h[0][1] * gradient[1]) / det;
                step[1] = -(h[0][0] * gradient[1] - h[1][0] * gradient[0]) / det;
                newton = true;
            }
        }
        if (!newton) {
            for (int i = 0; i < n; ++i) step[i] = -gradient[i];
        }
        double slope = 0;  // the value's rate of change along the step
        for (int i = 0; i < n; ++i) slope += gradient[i] * step[i];
        if (!(slope < 0)) {
            found.converged = true;  // no direction goes down: a minimum
            break;
        }
        double t = 1;
        while (found.x[0] + t * step[0] <= floorOfFirst) t /= 2;
        double trial[2], trialGradient[2];
        double trialValue = 0;
        bool accepted = false;
        for (int halvings = 0; halvings < 60; ++halvings, t /= 2) {
            for (int i = 0; i < n; ++i) trial[i] = found.x[i] + t * step[i];
            trialValue = f(trial, trialGradient);
            if (trialValue <= found.value + 1e-4 * t * slope) {
                accepted = true;
                break;
            }
        }
        if (!accepted) {
            // Not even a tiny step lowers the value: it is as low as the
            // arithmetic can tell.
            found.converged = true;
            break;
        }
        double largestMove = 0;
        for (int i = 0; i < n; ++i) {
            largestMove = std::fmax(largestMove,
                                    std::fabs(trial[i] - found.x[i]) / (1 + std::fabs(found.x[i])));
            found.x[i] = trial[i];
            gradient[i] = trialGradient[i];
        }
        found.value = trialValue;
        if (newton && largestMove < 1e-12) {
            found.converged = true;
            break;
        }
    }
    HessianByDifferences(f, n, found.x, found.hessian);
    return found;
}

template <class F>
Minimum MinimiseNewton(F&& f, int n, const double* start, double floorOfFirst) {
    return MinimiseNewton(f, n, start, floorOfFirst, [] { return false; });
}

}  // namespace tarvo::linking
