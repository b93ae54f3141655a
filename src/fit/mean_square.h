#pragma once

#include <cmath>

namespace tarvo::fit {

// What one response adds to the mean squares of its item and of its
// examinee (Wright & Masters 1982, pp. 99-101): for a response x with model
// probability P (Q = 1 - P) the variance is W = PQ and the fourth central
// moment C = PQ (P^3 + Q^3). Formed once and added to both.
struct ResponseMoments {
    double squaredStandardized = 0;  // (x - P)^2 / W, the outfit's
    double squaredResidual = 0;      // (x - P)^2, the infit's
    double variance = 0;             // W
    double fourthOverSquare = 0;     // C / W^2 = (P^3 + Q^3) / W, the outfit's variance
    double fourthLessSquare = 0;     // C - W^2, the infit's variance

    // W must be above 0: a probability of exactly 0 or 1 says nothing.
    static ResponseMoments Of(double x, double p, double q) {
        const double w = p * q;
        const double perVariance = 1 / w;
        const double r = x - p;
        const double cubes = p * p * p + q * q * q;
        return {r * r * perVariance, r * r, w, cubes * perVariance, w * cubes - w * w};
    }

    // An item scored 0..m (Wright & Masters 1982, p. 100): the expected
    // score E, the variance W = sum (k - E)^2 P_k and the fourth central
    // moment C = sum (k - E)^4 P_k of its categories. W must be above 0.
    static ResponseMoments OfScore(double x, double expected, double w, double c) {
        const double perVariance = 1 / w;
        const double r = x - expected;
        return {r * r * perVariance, r * r, w, c * perVariance * perVariance, c - w * w};
    }
};

// The sums of those moments over the valid responses of one item or one
// examinee.
struct MeanSquareSums {
    double count = 0;
    double squaredStandardized = 0;
    double squaredResidual = 0;
    double variance = 0;
    double fourthOverSquare = 0;
    double fourthLessSquare = 0;

    void Add(const ResponseMoments& m) {
        count += 1;
        squaredStandardized += m.squaredStandardized;
        squaredResidual += m.squaredResidual;
        variance += m.variance;
        fourthOverSquare += m.fourthOverSquare;
        fourthLessSquare += m.fourthLessSquare;
    }
    void Add(const MeanSquareSums& s) {
        count += s.count;
        squaredStandardized += s.squaredStandardized;
        squaredResidual += s.squaredResidual;
        variance += s.variance;
        fourthOverSquare += s.fourthOverSquare;
        fourthLessSquare += s.fourthLessSquare;
    }
};

struct MeanSquares {
    double infit, outfit;    // NaN without responses
    double infitT, outfitT;  // NaN where the mean square has no spread
};

// The Wilson-Hilferty cube-root transformation of a mean square to a
// standard normal deviate, with q the mean square's exact standard
// deviation: t = (MS^(1/3) - 1) (3 / q) + q / 3 (Wright & Masters 1982,
// p. 101).
inline double WilsonHilferty(double meanSquare, double sd) {
    if (!(sd > 0) || !(meanSquare >= 0)) return std::nan("");
    return (std::cbrt(meanSquare) - 1) * (3 / sd) + sd / 3;
}

// Outfit: the mean of the squared standardised residuals, variance
// sum(C / W^2) / n^2 - 1 / n. Infit: the information-weighted form
// sum (x - P)^2 / sum W, variance sum(C - W^2) / (sum W)^2.
inline MeanSquares MeanSquaresOf(const MeanSquareSums& s) {
    const double nan = std::nan("");
    if (!(s.count > 0)) return {nan, nan, nan, nan};
    const double outfit = s.squaredStandardized / s.count;
    const double infit = s.squaredResidual / s.variance;
    const double outfitVariance = s.fourthOverSquare / (s.count * s.count) - 1 / s.count;
    const double infitVariance = s.fourthLessSquare / (s.variance * s.variance);
    return {infit, outfit, WilsonHilferty(infit, std::sqrt(std::fmax(infitVariance, 0))),
            WilsonHilferty(outfit, std::sqrt(std::fmax(outfitVariance, 0)))};
}

}  // namespace tarvo::fit
