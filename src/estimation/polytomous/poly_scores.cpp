#include "estimation/polytomous/poly_scores.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/estimate_bounds.h"
#include "core/model_constants.h"
#include "estimation/models/nominal_model.h"
#include "estimation/polytomous/poly_curves.h"

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
    const int m = item.Thresholds();
    switch (item.form) {
        case ItemForm::Binary: {
            const double l = Logistic(kD * item.a * (theta - item.b[0]));
            derivatives[1] = (1 - item.c) * kD * item.a * l * (1 - l);
            derivatives[0] = -derivatives[1];
            return;
        }
        case ItemForm::Graded:
            GradedThetaDerivatives(theta, item.a, item.D(), derivatives);
            return;
        case ItemForm::Partial:
        case ItemForm::Rated:
            PartialThetaDerivatives(item.a, p.first(static_cast<std::size_t>(m) + 1), derivatives);
            return;
        case ItemForm::Nominal:
            nominal::ThetaDerivatives(std::span<const double>(item.slopes).first(m),
                                      p.first(static_cast<std::size_t>(m) + 1), derivatives);
            return;
    }
}

void ScoreByMode(std::span<const Item> items, Responses responses, const ModeScoring& scoring,
                 std::span<double> theta, std::span<double> seTheta) {
    const double priorCurvature = scoring.prior ? 1 / (scoring.sd * scoring.sd) : 0;
    for (std::size_t j = 0; j < responses.persons; ++j) {
        const std::span<const std::uint8_t> row =
            responses.codes.subspan(j * responses.items, responses.items);
        double t = std::clamp(theta[j], scoring.lowest, scoring.highest);
        ScoreSums sums = SumsAt(items, row, t);
        if (sums.answered == 0 && !scoring.prior) {
            seTheta[j] = kNotEstimated;
            continue;
        }
        for (int step = 0; step < kMostSteps; ++step) {
            const double gradient = sums.gradient - (t - scoring.mean) * priorCurvature;
            const double information = sums.information + priorCurvature;
            if (!(information > 0)) break;
            // At most one unit per step: far from the mode the quadratic
            // model overshoots.
            const double move = std::clamp(gradient / information, -1.0, 1.0);
            const double next = std::clamp(t + move, scoring.lowest, scoring.highest);
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
