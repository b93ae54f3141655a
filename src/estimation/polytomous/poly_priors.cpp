#include "estimation/polytomous/poly_priors.h"

#include <algorithm>
#include <cmath>

namespace tarvo::poly {

double AddPolytomousPriors(const Item& item, const Priors& priors, double* gradient,
                           double* information) {
    const int free = FreeCount(item);
    double value = 0;
    int at = 0;
    if (item.slopeFree) {
        if (priors.polytomousLogA.on) {
            // d log|a| / da = 1 / a on either side of 0; the density of a
            // includes the 1 / |a| of the change of variable.
            const double s2 = priors.polytomousLogA.sd * priors.polytomousLogA.sd;
            const double size = std::abs(item.a);
            const double dev = std::log(size) - priors.polytomousLogA.mean;
            value += -std::log(size) - dev * dev / (2 * s2);
            if (gradient) gradient[at] += (-1 - dev / s2) / item.a;
            if (information) {
                const double curvature = (1 - 1 / s2 + dev / s2) / (item.a * item.a);
                information[at * free + at] += std::max(0.0, -curvature);
            }
        }
        ++at;
    }
    if (!priors.polytomousB.on) return value;
    const double s2 = priors.polytomousB.sd * priors.polytomousB.sd;
    const bool rated = item.form == ItemForm::Rated;
    for (int k = 0; k < item.Thresholds(); ++k) {
        const double dev = item.b[k] - priors.polytomousB.mean;
        value += -dev * dev / (2 * s2);
        const int column = rated ? at : at + k;
        if (gradient) gradient[column] += -dev / s2;
        if (information) information[column * free + column] += 1 / s2;
    }
    return value;
}

}  // namespace tarvo::poly
