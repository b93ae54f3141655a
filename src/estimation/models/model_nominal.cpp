// Nominal: the options of a multiple-choice item, each with its own slope
// and intercept against the first option's (0, 0). The options are not
// ordered, so the item has no thresholds; its a is the keyed option's
// discrimination.
#include <cmath>

#include "estimation/models/model_table.h"
#include "estimation/models/nominal_model.h"

namespace tarvo::models {

namespace {
constexpr std::string_view kNames[] = {"a", "c"};

std::span<const double> Slopes(const Item& item) {
    return std::span<const double>(item.slopes).first(item.Thresholds());
}

int NominalFree(const Item& item) { return nominal::FreeCount(item.categories); }

void NominalPack(const Item& item, std::span<double> values) {
    int at = 0;
    for (int k = 0; k < item.Thresholds(); ++k) values[at++] = item.slopes[k];
    for (int k = 0; k < item.Thresholds(); ++k) values[at++] = item.d[k];
}

void NominalUnpack(std::span<const double> values, Item& item) {
    int at = 0;
    for (int k = 0; k < item.Thresholds(); ++k) item.slopes[k] = values[at++];
    for (int k = 0; k < item.Thresholds(); ++k) item.d[k] = values[at++];
}

bool NominalInRange(Item& item, double) {
    if (!std::isfinite(item.a)) return false;
    for (int k = 0; k < item.Thresholds(); ++k) {
        if (!std::isfinite(item.d[k]) || !std::isfinite(item.slopes[k])) return false;
    }
    return true;
}

void NominalProbabilities(const Item& item, double theta, std::span<double> p) {
    nominal::Probabilities(theta, Slopes(item), item.D(), p);
}

void NominalByParameter(const Item& item, double theta, std::span<const double> p,
                        std::span<double> derivatives) {
    nominal::Derivatives(theta, p.first(item.categories), derivatives);
}

void NominalByTheta(const Item& item, double, std::span<const double> p,
                    std::span<double> derivatives) {
    nominal::ThetaDerivatives(Slopes(item), p.first(item.categories), derivatives);
}

// The slopes and intercepts take no prior.
double NominalPrior(const Item&, const Priors&, double*, double*) { return 0; }

// The options' start values need every examinee's rest score: the
// estimator sets them (StartNominal) once the counts are known.
void NominalStart(std::span<const std::int32_t>, int, Item&) {}

// The reported values are the slopes and intercepts themselves: b holds
// the intercepts as reported, a the keyed discrimination.
void NominalReport(Item& item) {
    item.a = nominal::KeyedDiscrimination(Slopes(item), item.keyed);
    item.b = item.d;
}

void NominalFromReported(Item& item) { item.d = item.b; }
}  // namespace

const ItemModel kNominal{
    .name = "nominal",
    .caption = "Nominal",
    .categories = 0,
    .metric = Metric::Thresholds,
    .parameters = kNames,
    .slopeFree = false,
    .commonSlope = false,
    .guessFree = false,
    .upperFree = false,
    .sharedSteps = false,
    .orderedIntercepts = false,
    .optionSlopes = true,
    .priors = {},
    .freeCount = NominalFree,
    .pack = NominalPack,
    .unpack = NominalUnpack,
    .keepInRange = NominalInRange,
    .probabilities = NominalProbabilities,
    .byParameter = NominalByParameter,
    .byTheta = NominalByTheta,
    .logPrior = NominalPrior,
    .start = NominalStart,
    .report = NominalReport,
    .fromReported = NominalFromReported,
    .reportedVariances = nullptr,
};

}  // namespace tarvo::models
