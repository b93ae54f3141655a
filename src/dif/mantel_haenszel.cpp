#include "dif/mantel_haenszel.h"

#include <cmath>
#include <vector>

#include "dif/standardization.h"
#include "fit/chi_square.h"

namespace tarvo::dif {

namespace {

// The ETS delta scale: 4 times the normal deviate, which a logistic log odds
// ratio approaches when multiplied by 1.7 (4 / 1.7 = 2.35).
constexpr double kDeltaPerLogOdds = -2.35;
constexpr double kFivePercent = 0.05;
// The one-sided 5% point of the standard normal.
constexpr double kOneSidedZ = 1.6448536269514722;

}  // namespace

MantelResult MantelHaenszel(const ItemStrata& strata) {
    MantelResult out;
    double sumA = 0, sumE = 0, sumV = 0;
    double r = 0, s = 0, pr = 0, psqr = 0, qs = 0;
    for (std::size_t k = 0; k < strata.strata; ++k) {
        const double a = strata.at(k, 0, 1), b = strata.at(k, 0, 0);
        const double c = strata.at(k, 1, 1), d = strata.at(k, 1, 0);
        const double t = a + b + c + d;
        if (t < 2) continue;
        const double nR = a + b, nF = c + d, m1 = a + c, m0 = b + d;
        sumA += a;
        sumE += nR * m1 / t;
        sumV += nR * nF * m1 * m0 / (t * t * (t - 1));
        const double rk = a * d / t, sk = b * c / t;
        const double pk = (a + d) / t, qk = (b + c) / t;
        r += rk;
        s += sk;
        pr += pk * rk;
        psqr += pk * sk + qk * rk;
        qs += qk * sk;
    }
    if (sumV > 0) {
        const double difference = std::fabs(sumA - sumE);
        // The half-unit correction only where it does not pass zero, as
        // base R's mantelhaen.test applies it.
        const double corrected = difference >= 0.5 ? difference - 0.5 : difference;
        out.chiSquare = corrected * corrected / sumV;
        out.p = fit::ChiSquareUpperTail(out.chiSquare, 1);
    }
    if (r > 0 && s > 0) {
        out.alpha = r / s;
        out.delta = kDeltaPerLogOdds * std::log(out.alpha);
        const double variance = pr / (2 * r * r) + psqr / (2 * r * s) + qs / (2 * s * s);
        out.seDelta = -kDeltaPerLogOdds * std::sqrt(variance);
    }
    out.category = EtsCategory(out.delta, out.seDelta, out.p);
    return out;
}

MantelResult MantelOrdinal(const ItemStrata& strata) {
    MantelResult out;
    const std::size_t m = strata.categories;
    double sumF = 0, sumE = 0, sumV = 0, num = 0, den = 0;
    std::vector<double> reference(m), focal(m);
    for (std::size_t k = 0; k < strata.strata; ++k) {
        double nR = 0, nF = 0, f = 0, total = 0, squares = 0;
        for (std::size_t y = 0; y < m; ++y) {
            reference[y] = strata.at(k, 0, y);
            focal[y] = strata.at(k, 1, y);
            const double both = reference[y] + focal[y], score = static_cast<double>(y);
            nR += reference[y];
            nF += focal[y];
            f += score * focal[y];
            total += score * both;
            squares += score * score * both;
        }
        const double t = nR + nF;
        if (t < 2 || nR == 0 || nF == 0) continue;
        sumF += f;
        sumE += nF * total / t;
        sumV += nR * nF * (t * squares - total * total) / (t * t * (t - 1));
        // Liu-Agresti: every cut of the scale into "at most j" and "above j".
        double referenceBelow = 0, focalBelow = 0;
        for (std::size_t j = 0; j + 1 < m; ++j) {
            referenceBelow += reference[j];
            focalBelow += focal[j];
            num += (nR - referenceBelow) * focalBelow / t;
            den += referenceBelow * (nF - focalBelow) / t;
        }
    }
    if (sumV > 0) {
        out.chiSquare = (sumF - sumE) * (sumF - sumE) / sumV;
        out.p = fit::ChiSquareUpperTail(out.chiSquare, 1);
    }
    if (num > 0 && den > 0) {
        out.alpha = num / den;
        out.delta = kDeltaPerLogOdds * std::log(out.alpha);
    }
    out.smd = StandardizedDifference(strata);
    out.itemSd = ItemScoreSd(strata);
    out.category = ScoredItemCategory(out.smd, out.itemSd, out.p);
    return out;
}

char EtsCategory(double delta, double seDelta, double p) {
    if (!std::isfinite(delta) || !std::isfinite(seDelta) || !std::isfinite(p)) return ' ';
    const double size = std::fabs(delta);
    if (size < 1.0 || p >= kFivePercent) return 'A';
    if (size >= 1.5 && (size - 1.0) / seDelta > kOneSidedZ) return 'C';
    return 'B';
}

char ScoredItemCategory(double smd, double itemSd, double p) {
    if (!std::isfinite(smd) || !std::isfinite(itemSd) || itemSd <= 0 || !std::isfinite(p)) {
        return ' ';
    }
    const double size = std::fabs(smd) / itemSd;
    if (p >= kFivePercent || size <= 0.17) return 'A';
    return size > 0.25 ? 'C' : 'B';
}

}  // namespace tarvo::dif
