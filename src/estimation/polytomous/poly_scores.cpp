#include "estimation/polytomous/poly_scores.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/estimate_bounds.h"
#include "core/model_constants.h"
#include "estimation/models/item_model.h"

namespace tarvo::poly {

namespace {

constexpr int kMostSteps = 100;
constexpr double kSettled = 1e-8;

struct ScoreSums {
    double gradient = 0, information = 0;
    int answered = 0;
};

ScoreSums SumsAt(std::span<const Item> items, std::span<const std::uint8_t> row, double theta) {
    std::array<double, kMostCategories> p{}, dp{};
    ScoreSums sums;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const int code = row[i];
        if (code >= items[i].categories) continue;
        ++sums.answered;
        CategoryProbabilities(items[i], theta, p);
        CategoryThetaDerivatives(items[i], theta, p, dp);
        sums.gradient += dp[code] / std::max(p[code], 1e-300);
        for (int k = 0; k < items[i].categories; ++k) {
            sums.information += dp[k] * dp[k] / std::max(p[k], 1e-300);
        }
    }
    return sums;
}

}  // namespace

void CategoryThetaDerivatives(const Item& item, double theta, std::span<const double> p,
                              std::span<double> derivatives) {
    item.model->byTheta(item, theta, p, derivatives);
}

void ScoreByMode(std::span<const Item> items, Responses responses, const ModeScoring& scoring,
                 std::span<double> theta, std::span<double> seTheta,
                 std::span<const PopulationEstimate> groups, double groupReach) {
    for (std::size_t j = 0; j < responses.persons; ++j) {
        ModeScoring own = scoring;
        if (scoring.prior && !responses.group.empty() && !groups.empty()) {
            const PopulationEstimate& group = groups[static_cast<std::size_t>(responses.group[j])];
            own.mean = group.mean;
            own.sd = group.sd;
            own.lowest = group.mean - groupReach * group.sd;
            own.highest = group.mean + groupReach * group.sd;
        }
        const double priorCurvature = own.prior ? 1 / (own.sd * own.sd) : 0;
        const std::span<const std::uint8_t> row =
            responses.codes.subspan(j * responses.items, responses.items);
        double t = std::clamp(theta[j], own.lowest, own.highest);
        ScoreSums sums = SumsAt(items, row, t);
        if (sums.answered == 0 && !scoring.prior) {
            seTheta[j] = kNotEstimated;
            continue;
        }
        for (int step = 0; step < kMostSteps; ++step) {
            const double gradient = sums.gradient - (t - own.mean) * priorCurvature;
            const double information = sums.information + priorCurvature;
            if (!(information > 0)) break;
            // At most one unit per step: far from the mode the quadratic
            // model overshoots.
            const double move = std::clamp(gradient / information, -1.0, 1.0);
            const double next = std::clamp(t + move, own.lowest, own.highest);
            const double moved = next - t;
            t = next;
            sums = SumsAt(items, row, t);
            if (std::abs(moved) < kSettled) break;
        }
        theta[j] = t;
        const double information = sums.information + priorCurvature;
        seTheta[j] = information > 0 ? std::min(1 / std::sqrt(information), kStandardErrorCap)
                                     : kStandardErrorCap;
    }
}

}  // namespace tarvo::poly
