#include "estimation/polytomous/poly_priors.h"

#include <algorithm>
#include <cmath>

#include "core/model_constants.h"

namespace tarvo::poly {

double AddPolytomousPriors(const Item& item, const Priors& priors, double* gradient,
                           double* information) {
    // A nominal item's slopes and intercepts take no prior.
    if (item.form == ItemForm::Nominal) return 0;
    const int free = FreeCount(item);
    double value = 0;
    int at = 0;
    if (item.slopeFree) {
        if (priors.polytomousLogA.on) {
            if (item.a == 0) return -HUGE_VAL;
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
    // Normal on b_k = -d_k / (D a), carried to (a, d) by the chain rule;
    // its information by the Gauss-Newton form J' J / s2, which the step's
    // halving makes safe. A slope at 0 leaves no threshold: no density.
    if (item.a == 0) return -HUGE_VAL;
    const double s2 = priors.polytomousB.sd * priors.polytomousB.sd;
    const bool rated = item.form == ItemForm::Rated;
    const double scale = -1 / (kD * item.a);  // db_k / dd_k
    const int slope = item.slopeFree ? 0 : -1;
    for (int k = 0; k < item.Thresholds(); ++k) {
        const double b = item.d[k] * scale;
        const double dev = b - priors.polytomousB.mean;
        value += -dev * dev / (2 * s2);
        const int column = rated ? at : at + k;
        const double byA = -b / item.a;  // db_k / da
        if (gradient) {
            gradient[column] += -dev / s2 * scale;
            if (slope >= 0) gradient[slope] += -dev / s2 * byA;
        }
        if (information) {
            information[column * free + column] += scale * scale / s2;
            if (slope >= 0) {
                information[slope * free + slope] += byA * byA / s2;
                information[slope * free + column] += byA * scale / s2;
                information[column * free + slope] += byA * scale / s2;
            }
        }
    }
    return value;
}

}  // namespace tarvo::poly
