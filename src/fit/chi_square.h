#pragma once

namespace tarvo::fit {

// The regularized upper incomplete gamma function Q(s, x) = Γ(s, x) / Γ(s)
// for s > 0 and x >= 0: by its power series below x = s + 1 and by its
// continued fraction (modified Lentz) above, each to the last bits of a
// double (Press et al., Numerical Recipes, 3rd ed., section 6.2). NaN for
// arguments outside that range.
double RegularizedUpperGamma(double s, double x);

// The chance that a chi-square variable with df degrees of freedom is at
// least statistic: Q(df / 2, statistic / 2). NaN when df is not above 0
// or the statistic is negative.
double ChiSquareUpperTail(double statistic, double df);

}  // namespace tarvo::fit
