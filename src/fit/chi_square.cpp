#include "fit/chi_square.h"

#include <cmath>
#include <limits>

namespace tarvo::fit {

namespace {

constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
constexpr int kMostTerms = 1000;  // both converge in a few dozen terms for any df of a test
constexpr double kTiny = 1e-300;  // keeps Lentz's method away from a division by zero

// ln Γ(s) for s > 0 without lgamma's write of the global signgam, a data
// race when screens and fit statistics form p-values on several threads.
double LogGamma(double s) {
    int sign = 0;
    return ::lgamma_r(s, &sign);
}

// x^s e^-x / Γ(s), the factor both forms share, by logarithms so that large
// s and x do not overflow.
double Prefactor(double s, double x) { return std::exp(s * std::log(x) - x - LogGamma(s)); }

// P(s, x) by the series sum x^n / (s (s+1) ... (s+n)).
double LowerBySeries(double s, double x) {
    double term = 1 / s;
    double sum = term;
    for (int n = 1; n < kMostTerms; ++n) {
        term *= x / (s + n);
        sum += term;
        if (std::abs(term) < std::abs(sum) * kEpsilon) break;
    }
    return sum * Prefactor(s, x);
}

// Q(s, x) by the continued fraction 1 / (x + 1 - s - 1 (1 - s) / (x + 3 - s - ...)).
double UpperByFraction(double s, double x) {
    double b = x + 1 - s;
    double c = 1 / kTiny;
    double d = 1 / b;
    double h = d;
    for (int n = 1; n < kMostTerms; ++n) {
        const double an = -n * (n - s);
        b += 2;
        d = an * d + b;
        if (std::abs(d) < kTiny) d = kTiny;
        c = b + an / c;
        if (std::abs(c) < kTiny) c = kTiny;
        d = 1 / d;
        const double step = d * c;
        h *= step;
        if (std::abs(step - 1) < kEpsilon) break;
    }
    return h * Prefactor(s, x);
}

}  // namespace

double RegularizedUpperGamma(double s, double x) {
    if (!(s > 0) || !(x >= 0) || std::isinf(s)) return std::numeric_limits<double>::quiet_NaN();
    if (x == 0) return 1;
    if (std::isinf(x)) return 0;
    if (x < s + 1) return 1 - LowerBySeries(s, x);
    return UpperByFraction(s, x);
}

double ChiSquareUpperTail(double statistic, double df) {
    if (!(df > 0) || !(statistic >= 0)) return std::numeric_limits<double>::quiet_NaN();
    return RegularizedUpperGamma(df / 2, statistic / 2);
}

}  // namespace tarvo::fit
