#include "estimation/polytomous/poly_information.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "core/estimate_bounds.h"
#include "core/model_constants.h"
#include "core/polytomous_models.h"
#include "estimation/marginal/mml_information.h"
#include "estimation/models/model_table.h"
#include "estimation/polytomous/poly_louis.h"
#include "estimation/polytomous/poly_scales.h"

namespace tarvo::poly {

namespace {

bool AnyCommonSlope(std::span<const Item> items, std::span<const char> estimated) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (estimated[i] && items[i].commonSlope) return true;
    }
    return false;
}

int OwnFree(std::span<const Item> items, std::span<const char> estimated) {
    int total = 0;
    for (std::size_t i = 0; i < items.size(); ++i) total += estimated[i] ? FreeCount(items[i]) : 0;
    return total;
}

// The place of shared step s among the parameters, -1 for the others.
int SharedStepAt(std::span<const Item> items, std::span<const char> estimated, int p) {
    const int s = p - OwnFree(items, estimated) - (AnyCommonSlope(items, estimated) ? 1 : 0);
    return s >= 0 ? s : -1;
}

// Where free parameter p (counted over the estimated items) is: its item
// and its place among the item's free parameters; the item count for the
// common slope.
struct Place {
    std::size_t item;
    int at;
};
Place PlaceOf(std::span<const Item> items, std::span<const char> estimated, int p) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!estimated[i]) continue;
        const int free = FreeCount(items[i]);
        if (p < free) return {i, p};
        p -= free;
    }
    return {items.size(), 0};
}

// Moves free parameter p by delta: the common slope of every item that
// shares it.
void Shift(std::vector<Item>& items, std::span<const char> estimated, int p, double delta) {
    if (const int s = SharedStepAt(items, estimated, p); s >= 0) {
        ShiftSharedStep(items, ScalesOf(items, estimated), s, delta);
        return;
    }
    const Place place = PlaceOf(items, estimated, p);
    if (place.item == items.size()) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (estimated[i] && items[i].commonSlope) items[i].a += delta;
        }
        return;
    }
    std::array<double, kMostFree> x{};
    PackFree(items[place.item], x);
    x[place.at] += delta;
    UnpackFree(x, items[place.item]);
}

double ValueOf(const std::vector<Item>& items, std::span<const char> estimated, int p) {
    if (const int s = SharedStepAt(items, estimated, p); s >= 0) {
        return SharedStepValue(items, ScalesOf(items, estimated), s);
    }
    const Place place = PlaceOf(items, estimated, p);
    if (place.item == items.size()) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (estimated[i] && items[i].commonSlope) return items[i].a;
        }
        return 0;
    }
    std::array<double, kMostFree> x{};
    PackFree(items[place.item], x);
    return x[place.at];
}

// The lower Cholesky factor of a positive definite matrix in place; false
// when it is not positive definite.
//
// The factor is kept transposed (u = L', row k holding column k of L), and
// each column's products are taken off the later columns as soon as it is
// known, so that the inner loops run along rows, which the compiler turns
// into vector instructions. Every entry still has its products subtracted
// in the order of k and is divided last, as in the textbook's inner-product
// form, so the factor is the same bits.
bool CholeskyFactor(std::vector<double>& u, std::size_t n) {
    // The lower triangle, transposed.
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t k = 0; k < i; ++k) {
            u[k * n + i] = u[i * n + k];
            u[i * n + k] = 0;
        }
    }
    for (std::size_t k = 0; k < n; ++k) {
        double* row = &u[k * n];
        if (!(row[k] > 0)) return false;
        row[k] = std::sqrt(row[k]);
        for (std::size_t i = k + 1; i < n; ++i) row[i] /= row[k];
        for (std::size_t j = k + 1; j < n; ++j) {
            const double f = row[j];
            double* to = &u[j * n];
            for (std::size_t i = j; i < n; ++i) to[i] -= f * row[i];
        }
    }
    return true;
}

// The covariances of a few parameters: the block of the inverse of L L'
// at them, from the columns L^-1 e_p (the inverse is never formed whole).
// Without a factor, each parameter's own curvature alone, which
// understates the error.
class Covariances {
  public:
    Covariances(const std::vector<double>& information, int count)
        : n_(static_cast<std::size_t>(count)), l_(information) {
        factored_ = CholeskyFactor(l_, n_);
        if (!factored_) l_ = information;
    }

    // Whether the whole information was factored; if not, each parameter's
    // own curvature gives its error.
    bool Factored() const { return factored_; }

    // The block at the parameters, row after row. (l_ holds the factor
    // transposed: l_[k * n + i] is L's entry (i, k).)
    void Block(std::span<const int> at, std::vector<double>& block) {
        const std::size_t m = at.size();
        block.assign(m * m, 0.0);
        if (!factored_) {
            for (std::size_t u = 0; u < m; ++u) {
                const double diagonal = l_[static_cast<std::size_t>(at[u]) * (n_ + 1)];
                block[u * m + u] =
                    diagonal > 0 ? 1 / diagonal : kStandardErrorCap * kStandardErrorCap;
            }
            return;
        }
        columns_.assign(m * n_, 0.0);
        for (std::size_t u = 0; u < m; ++u) {
            // L v = e_c, a column at a time: each v[k], once known, taken
            // off the later entries (in the order of k, as row by row).
            double* v = &columns_[u * n_];
            const std::size_t c = static_cast<std::size_t>(at[u]);
            v[c] = 1.0;
            for (std::size_t k = c; k < n_; ++k) {
                v[k] /= l_[k * n_ + k];
                const double vk = v[k];
                const double* column = &l_[k * n_];
                for (std::size_t i = k + 1; i < n_; ++i) v[i] -= column[i] * vk;
            }
        }
        for (std::size_t u = 0; u < m; ++u) {
            for (std::size_t w = 0; w <= u; ++w) {
                const std::size_t from = static_cast<std::size_t>(std::max(at[u], at[w]));
                double sum = 0;
                for (std::size_t i = from; i < n_; ++i)
                    sum += columns_[u * n_ + i] * columns_[w * n_ + i];
                block[u * m + w] = block[w * m + u] = sum;
            }
        }
    }

  private:
    std::size_t n_;
    std::vector<double> l_;
    std::vector<double> columns_;
    bool factored_ = false;
};

double ErrorOf(double variance) {
    return variance > 0 ? std::min(std::sqrt(variance), kStandardErrorCap) : kStandardErrorCap;
}

// An item's parameters among all: its slope (own or common, -1 when held),
// its own intercepts or location, the scale's free steps of a rated item,
// and c.
struct ItemParameters {
    int slope = -1;
    int first = 0;  // its first own intercept (or b, or the location)
    int steps = -1;
    int c = -1;
    int u = -1;
};

std::vector<ItemParameters> ParametersOf(std::span<const Item> items,
                                         std::span<const char> estimated) {
    std::vector<ItemParameters> places(items.size());
    const int common = OwnFree(items, estimated);
    int at = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!estimated[i]) continue;
        const Item& item = items[i];
        ItemParameters& place = places[i];
        if (item.slopeFree) place.slope = at++;
        if (item.commonSlope) place.slope = common;
        place.first = at;
        // The row's own locations (b, the intercepts or a rated item's
        // location), then its asymptotes.
        at += FreeCount(item) - (item.slopeFree ? 1 : 0) - (item.guessFree ? 1 : 0) -
              (item.upperFree ? 1 : 0);
        if (item.guessFree) place.c = at++;
        if (item.upperFree) place.u = at++;
    }
    int step = common + (AnyCommonSlope(items, estimated) ? 1 : 0);
    for (const Scale& scale : ScalesOf(items, estimated)) {
        for (const std::size_t i : scale.items) places[i].steps = step;
        step += scale.thresholds - 1;
    }
    return places;
}

// The errors of an item scored 0..m: a's own, and each threshold's
// b_k = -d_k / (D a) by the delta method from the covariances of a and
// the parameters d_k is made of (a rated item's d_k = location + s_k, s_m
// minus the sum of the free steps). Where |a| < kLeastDiscrimination the
// thresholds are not locations, and their errors are at the cap.
void SetThresholdErrors(Item& item, const ItemParameters& place, Covariances& covariances) {
    const int m = item.Thresholds();
    const bool rated = item.model->sharedSteps;
    std::vector<int> at;
    if (place.slope >= 0) at.push_back(place.slope);
    const std::size_t own = at.size();
    if (rated) {
        at.push_back(place.first);
        for (int t = 0; t + 1 < m; ++t) at.push_back(place.steps + t);
    } else {
        for (int k = 0; k < m; ++k) at.push_back(place.first + k);
    }
    std::vector<double> block;
    covariances.Block(at, block);
    const std::size_t size = at.size();
    if (place.slope >= 0) item.seA = ErrorOf(block[0]);
    const bool located = std::abs(item.a) >= kLeastDiscrimination;
    for (int k = 0; k < m; ++k) {
        if (!located) {
            item.seB[k] = kStandardErrorCap;
            continue;
        }
        // The gradient of b_k by the block's parameters.
        std::array<double, kMostFree + kMostThresholds> g{};
        const double byD = -1 / (kD * item.a);
        if (place.slope >= 0) g[0] = item.d[k] / (kD * item.a * item.a);
        if (rated) {
            g[own] = byD;
            for (int t = 0; t + 1 < m; ++t) {
                g[own + 1 + static_cast<std::size_t>(t)] = k == m - 1 ? -byD : (t == k ? byD : 0);
            }
        } else {
            g[own + static_cast<std::size_t>(k)] = byD;
        }
        double variance = 0;
        for (std::size_t u = 0; u < size; ++u) {
            for (std::size_t v = 0; v < size; ++v) variance += g[u] * g[v] * block[u * size + v];
        }
        item.seB[k] = ErrorOf(variance);
    }
}

// The errors of a right/wrong item whose row moves other values than it
// reports (the 4PL's intercept and logits): by the delta method from the
// covariances of its own parameters, which follow one another.
void SetReportedErrors(Item& item, const ItemParameters& place, Covariances& covariances) {
    std::vector<int> at;
    const int first = place.slope >= 0 ? place.slope : place.first;
    for (int k = 0; k < FreeCount(item); ++k) at.push_back(first + k);
    std::vector<double> block;
    covariances.Block(at, block);
    std::array<double, 4> variances{};
    item.model->reportedVariances(item, block, variances);
    if (place.slope >= 0) item.seA = ErrorOf(variances[0]);
    item.seB[0] = ErrorOf(variances[1]);
    if (place.c >= 0) item.seC = ErrorOf(variances[2]);
    if (place.u >= 0) item.seU = ErrorOf(variances[3]);
}

// The errors of a nominal item: its slopes' and intercepts' own, and its
// keyed discrimination's (a linear form of the slopes).
void SetNominalErrors(Item& item, const ItemParameters& place, Covariances& covariances) {
    const int m = item.Thresholds();
    std::vector<int> at;
    for (int u = 0; u < 2 * m; ++u) at.push_back(place.first + u);
    std::vector<double> block;
    covariances.Block(at, block);
    const std::size_t size = at.size();
    for (int k = 0; k < m; ++k) {
        item.seSlopes[k] = ErrorOf(block[k * size + k]);
        item.seB[k] = ErrorOf(block[(m + k) * size + m + k]);
    }
    item.seA = kNotEstimated;
    if (item.keyed < 0) return;
    std::array<double, kMostThresholds> g{};
    for (int k = 0; k < m; ++k) g[k] = k + 1 == item.keyed ? 1.0 : -1.0 / m;
    double variance = 0;
    for (int u = 0; u < m; ++u) {
        for (int v = 0; v < m; ++v) variance += g[u] * g[v] * block[u * size + v];
    }
    item.seA = ErrorOf(variance);
}

// An estimated item's errors from the covariances of the parameters at its
// places: thresholds, a row's reported values by the delta method, or a
// right/wrong item's own (a, b, c).
void SetItemErrors(Item& item, const ItemParameters& place, Covariances& covariances) {
    if (item.model->optionSlopes) {
        SetNominalErrors(item, place, covariances);
        return;
    }
    if (item.model->metric == models::Metric::Thresholds) {
        SetThresholdErrors(item, place, covariances);
        return;
    }
    if (item.model->reportedVariances != nullptr) {
        SetReportedErrors(item, place, covariances);
        return;
    }
    std::vector<double> block;
    const auto error = [&](int at) {
        const int one[1] = {at};
        covariances.Block(one, block);
        return ErrorOf(block[0]);
    };
    if (place.slope >= 0) item.seA = error(place.slope);
    item.seB[0] = error(place.first);
    if (place.c >= 0) item.seC = error(place.c);
}

// Every estimated item's errors from its own block alone: a common slope,
// which other items share, is left out of the block and keeps -1.
void SetErrorsByItem(std::vector<Item>& items, std::span<const char> estimated,
                     std::span<const double> blocks) {
    std::size_t at = 0;
    std::vector<double> own;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!estimated[i]) continue;
        Item& item = items[i];
        const std::size_t w = static_cast<std::size_t>(OwnWidth(item));
        const std::size_t skip = item.commonSlope ? 1 : 0;
        const std::size_t m = w - skip;
        own.assign(m * m, 0.0);
        for (std::size_t u = 0; u < m; ++u) {
            for (std::size_t v = 0; v < m; ++v)
                own[u * m + v] = blocks[at + (u + skip) * w + v + skip];
        }
        at += w * w;
        Covariances covariances(own, static_cast<int>(m));
        ItemParameters place;
        int next = 0;
        if (item.slopeFree) place.slope = next++;
        place.first = next;
        next += item.model->metric == models::Metric::Location ? 1 : item.Thresholds();
        if (item.guessFree) place.c = next++;
        if (item.upperFree) place.u = next++;
        if (item.commonSlope) item.seA = kNotEstimated;
        SetItemErrors(item, place, covariances);
    }
}

}  // namespace

bool ByItemBlocks(std::span<const Item> items) {
    if (items.size() <= mml::kLargestCrossItemTest) return false;
    for (const Item& item : items) {
        if (item.model->sharedSteps) return false;
    }
    return true;
}

std::vector<int> OwnPlaces(std::span<const Item> items, std::span<const char> estimated,
                           std::size_t item) {
    if (item >= items.size() || !estimated[item]) return {};
    int first = 0;
    for (std::size_t i = 0; i < item; ++i) first += estimated[i] ? FreeCount(items[i]) : 0;
    std::vector<int> places(static_cast<std::size_t>(FreeCount(items[item])));
    for (std::size_t k = 0; k < places.size(); ++k) places[k] = first + static_cast<int>(k);
    return places;
}

std::vector<double> SetErrorsFromInformation(std::vector<Item>& items,
                                             std::span<const char> estimated,
                                             const std::vector<double>& information, int extra,
                                             ErrorForm* form, CovarianceQuery* query) {
    const int n = FreeParameterCount(items, estimated);
    Covariances covariances(information, n + extra);
    // A parameter the data do not identify: each one's own curvature, which
    // understates the error.
    if (!covariances.Factored() && form != nullptr) *form = ErrorForm::OwnCurvature;
    if (query != nullptr) {
        query->formed = covariances.Factored();
        query->block.clear();
        if (query->formed) {
            covariances.Block(query->at, query->block);
        } else {
            query->problem = "the observed information is not positive definite";
        }
    }
    const std::vector<ItemParameters> places = ParametersOf(items, estimated);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (estimated[i]) SetItemErrors(items[i], places[i], covariances);
    }
    std::vector<double> variances;
    std::vector<double> block;
    for (int p = 0; p < extra; ++p) {
        const int one[1] = {n + p};
        covariances.Block(one, block);
        variances.push_back(block[0]);
    }
    return variances;
}

// Every estimated item's free parameters, item after item, then the common
// slope when the items have one, then the scales' free steps.
int FreeParameterCount(std::span<const Item> items, std::span<const char> estimated) {
    return OwnFree(items, estimated) + (AnyCommonSlope(items, estimated) ? 1 : 0) +
           SharedStepCount(ScalesOf(items, estimated));
}

double MarginalGradient(std::span<const Item> items, std::span<const char> estimated,
                        Responses responses, const Priors& priors,
                        const mml::Quadrature& quadrature, EmTables& tables, WorkerPool& pool,
                        std::span<double> gradient) {
    const double logLikelihood = EStep(items, responses, quadrature, tables, pool);
    std::size_t at = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!estimated[i]) continue;
        ItemObjective(items[i], tables.Expected(i), quadrature, priors, gradient.data() + at,
                      nullptr);
        at += static_cast<std::size_t>(FreeCount(items[i]));
    }
    if (AnyCommonSlope(items, estimated)) {
        double common = 0;
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (estimated[i] && items[i].commonSlope) {
                common += SlopeGradient(items[i], tables.Expected(i), quadrature, priors);
            }
        }
        gradient[at++] = common;
    }
    SharedStepGradient(items, ScalesOf(items, estimated), tables, quadrature, priors,
                       gradient.subspan(at));
    return logLikelihood;
}

std::vector<double> InformationByDifferences(std::vector<Item> items,
                                             std::span<const char> estimated, Responses responses,
                                             const Priors& priors,
                                             const mml::Quadrature& quadrature, EmTables& tables,
                                             WorkerPool& pool,
                                             const std::function<bool()>& keepGoing) {
    const int n = FreeParameterCount(items, estimated);
    std::vector<double> information(static_cast<std::size_t>(n) * n, 0.0);
    std::vector<double> up(static_cast<std::size_t>(n)), down(static_cast<std::size_t>(n));
    for (int p = 0; p < n; ++p) {
        if (!keepGoing()) return {};
        const double h = 1e-5 * std::max(1.0, std::abs(ValueOf(items, estimated, p)));
        Shift(items, estimated, p, h);
        MarginalGradient(items, estimated, responses, priors, quadrature, tables, pool, up);
        Shift(items, estimated, p, -2 * h);
        MarginalGradient(items, estimated, responses, priors, quadrature, tables, pool, down);
        Shift(items, estimated, p, h);
        for (int u = 0; u < n; ++u) information[u * n + p] = -(up[u] - down[u]) / (2 * h);
    }
    for (int u = 0; u < n; ++u) {
        for (int v = 0; v < u; ++v) {
            const double mean = (information[u * n + v] + information[v * n + u]) / 2;
            information[u * n + v] = information[v * n + u] = mean;
        }
    }
    return information;
}

std::vector<double> ObservedInformation(const std::vector<Item>& items,
                                        std::span<const char> estimated, Responses responses,
                                        const Priors& priors, const mml::Quadrature& quadrature,
                                        EmTables& tables, WorkerPool& pool,
                                        const std::function<bool()>& keepGoing, VectorUnit unit) {
    // Louis' pass knows each item's own parameters and a common slope, not
    // the steps the items of a rating scale share.
    if (SharedStepCount(ScalesOf(items, estimated)) == 0) {
        return LouisInformation(items, estimated, responses, priors, quadrature, tables, pool,
                                keepGoing, false, unit);
    }
    return InformationByDifferences(items, estimated, responses, priors, quadrature, tables, pool,
                                    keepGoing);
}

bool SetStandardErrors(std::vector<Item>& items, std::span<const char> estimated,
                       Responses responses, const Priors& priors, const mml::Quadrature& quadrature,
                       EmTables& tables, WorkerPool& pool, const std::function<bool()>& keepGoing,
                       ErrorForm* form, StandardErrorMethod method, VectorUnit unit,
                       CovarianceQuery* query) {
    if (query != nullptr) query->formed = false;
    if (method == StandardErrorMethod::None) {
        if (query != nullptr) query->problem = "no standard errors were asked for";
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!estimated[i]) continue;
            items[i].seA = items[i].seC = kNotEstimated;
            items[i].seB.fill(kNotEstimated);
        }
        if (form != nullptr) *form = ErrorForm::NotFormed;
        return true;
    }
    // The cross-products need each item's own parameters: with the steps
    // of rating scales shared, the errors stay the observed information's.
    const bool products = method == StandardErrorMethod::CrossProduct &&
                          SharedStepCount(ScalesOf(items, estimated)) == 0;
    if (ByItemBlocks(items)) {
        const std::vector<double> blocks =
            LouisItemBlocks(items, estimated, responses, priors, quadrature, tables, pool,
                            keepGoing, products, unit);
        if (blocks.empty() && std::find(estimated.begin(), estimated.end(), 1) != estimated.end()) {
            return false;
        }
        SetErrorsByItem(items, estimated, blocks);
        if (query != nullptr) {
            query->problem = "the test is longer than " +
                             std::to_string(mml::kLargestCrossItemTest) +
                             " items, so the information is formed item by item, without the "
                             "terms between items";
        }
        if (form != nullptr) *form = products ? ErrorForm::CrossProduct : ErrorForm::ItemBlocks;
        return true;
    }
    std::vector<double> information =
        products ? LouisInformation(items, estimated, responses, priors, quadrature, tables, pool,
                                    keepGoing, true, unit)
                 : ObservedInformation(items, estimated, responses, priors, quadrature, tables,
                                       pool, keepGoing, unit);
    if (products && form != nullptr) *form = ErrorForm::CrossProduct;
    const int n = FreeParameterCount(items, estimated);
    if (information.size() != static_cast<std::size_t>(n) * n) return false;
    SetErrorsFromInformation(items, estimated, information, 0, form, query);
    return true;
}

}  // namespace tarvo::poly
