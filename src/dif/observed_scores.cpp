#include "dif/observed_scores.h"

namespace tarvo::dif {

ObservedCurve ObservedByScore(const ItemStrata& strata, std::size_t g) {
    ObservedCurve curve;
    for (std::size_t s = 0; s < strata.strata; ++s) {
        double n = 0, sum = 0;
        for (std::size_t y = 0; y < strata.categories; ++y) {
            n += strata.at(s, g, y);
            sum += static_cast<double>(y) * strata.at(s, g, y);
        }
        if (n == 0) continue;
        curve.score.push_back(s);
        curve.count.push_back(static_cast<std::size_t>(n));
        curve.meanScore.push_back(sum / n);
    }
    return curve;
}

}  // namespace tarvo::dif
