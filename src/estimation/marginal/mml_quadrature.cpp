#include "estimation/marginal/mml_quadrature.h"

#include <cmath>

namespace tarvo::mml {

Quadrature NormalQuadrature(int points, double range, double mean, double sd) {
    Quadrature q;
    q.theta.resize(points);
    q.weight.resize(points);
    q.logWeight.resize(points);
    MoveQuadrature(q, range, mean, sd);
    return q;
}

void MoveQuadrature(Quadrature& q, double range, double mean, double sd) {
    const int points = q.Points();
    double total = 0;
    for (int k = 0; k < points; ++k) {
        const double z = points == 1 ? 0 : -range + 2 * range * k / (points - 1);
        q.theta[k] = mean + sd * z;
        q.weight[k] = std::exp(-0.5 * z * z);
        total += q.weight[k];
    }
    for (int k = 0; k < points; ++k) {
        q.weight[k] /= total;
        q.logWeight[k] = std::log(q.weight[k]);
    }
}

}  // namespace tarvo::mml
