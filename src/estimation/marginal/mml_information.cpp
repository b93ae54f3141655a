#include "estimation/marginal/mml_information.h"

#include <algorithm>
#include <cmath>

#include "irt/item_curve.h"

namespace tarvo::mml {

namespace {

// Second derivative of the log prior of one parameter (0: a, 1: b, 2: c).
double PriorCurvature(int which, double value, const Priors& priors) {
    ItemObjective o;
    FreeParameters free{which == 0, which == 1, which == 2};
    AddPriors(o, which == 0 ? value : 1, which == 1 ? value : 0, which == 2 ? value : 0.5, priors,
              free);
    return o.hessian[which][which];
}

}  // namespace

ParameterLayout MakeLayout(const MarginalSettings& settings, std::span<const char> estimated,
                           ItemSpans items) {
    const std::size_t itemCount = items.a.size();
    const MarginalModelRules& rules = RulesOf(settings.model);
    const FreeParameters free = rules.free;
    const Priors priors = PriorsFor(settings);
    const EstimateRange c{LowestC(rules, priors.c.on), rules.c.highest};
    ParameterLayout layout;
    layout.index.assign(3 * itemCount, -1);
    int slope = -1;
    for (std::size_t i = 0; i < itemCount; ++i) {
        if (!estimated[i]) continue;
        if (rules.commonSlope) {
            if (slope < 0 && !OnBound(items.a[i], rules.a)) slope = layout.count++;
            layout.index[3 * i] = slope;
        }
        // A slope or intercept the search stopped at its reach is no
        // maximum (the likelihood still rose beyond it).
        if (free.a && !OnBound(items.a[i], rules.a) &&
            std::fabs(items.a[i]) < kSlopeReach * (1 - 1e-9)) {
            layout.index[3 * i] = layout.count++;
        }
        const bool interceptAtReach =
            free.a && std::fabs(items.a[i] * items.b[i]) >= kInterceptReach * (1 - 1e-9);
        if (free.b && !OnBound(items.b[i], rules.b) && !interceptAtReach) {
            layout.index[3 * i + 1] = layout.count++;
        }
        if (free.c && !OnBound(items.c[i], c)) {
            layout.index[3 * i + 2] = layout.count++;
        }
    }
    return layout;
}

namespace {

// Examinees whose posteriors and mean scores are formed together before the
// products take them up (a chunk's tables stay in the core's cache), and
// how many of them one task forms.
constexpr std::size_t kChunk = 256;
constexpr std::size_t kExamineesPerTask = 32;
// Chunks that pass between two questions to keepGoing.
constexpr std::size_t kChunksBetweenQuestions = 64;

constexpr std::size_t RoundUp(std::size_t n, std::size_t to) { return (n + to - 1) / to * to; }

// The parameter kinds (0 a, 1 b, 2 c) the model estimates, in order: each
// has its own block of columns in the mean scores.
struct Kinds {
    int count = 0;
    int kind[3] = {0, 0, 0};
    int slotOf[3] = {-1, -1, -1};
};

Kinds KindsOf(const MarginalSettings& settings) {
    const MarginalModelRules& rules = RulesOf(settings.model);
    const bool used[3] = {rules.free.a || rules.commonSlope, rules.free.b, rules.free.c};
    Kinds kinds;
    for (int u = 0; u < 3; ++u) {
        if (!used[u]) continue;
        kinds.slotOf[u] = kinds.count;
        kinds.kind[kinds.count++] = u;
    }
    return kinds;
}

// The upper triangle of a symmetric matrix of order n in rows of whole
// tiles: row r holds the columns from r rounded down to kTileColumns up to
// n rounded up, so that a tile of kTileRows rows starting on a multiple of
// kTileRows has one row stride. Entries below the diagonal inside a row's
// first tile are formed but never read.
class UpperTiles {
  public:
    explicit UpperTiles(std::size_t n) : order_(RoundUp(n, kTileColumns)), offset_(order_ + 1, 0) {
        for (std::size_t r = 0; r < order_; ++r) offset_[r + 1] = offset_[r] + RowLength(r);
    }
    std::size_t Size() const { return offset_[order_]; }
    std::size_t Order() const { return order_; }
    std::size_t RowLength(std::size_t r) const { return order_ - First(r); }
    // The entry (r, c) for c from First(r) on, at base + Index(r, c).
    std::size_t Index(std::size_t r, std::size_t c) const { return offset_[r] + c - First(r); }
    static std::size_t First(std::size_t r) { return r / kTileColumns * kTileColumns; }
    double Get(const double* base, std::size_t r, std::size_t c) const {
        return r <= c ? base[Index(r, c)] : base[Index(c, r)];
    }

  private:
    std::size_t order_;
    std::vector<std::size_t> offset_;
};

// One band of rows r..r + kTileRows of the upper tiles of a^T b: a and b
// hold count rows of n columns in panels (PanelIndex), so that a's rows are
// read kTileRows entries at a time from one panel and b's whole panels.
void AddPanelBand(const MarginalKernels& kernels, const UpperTiles& shape, const double* a,
                  const double* b, std::size_t count, std::size_t n, std::size_t r, double* c) {
    const double* band = a + PanelIndex(count, 0, r);
    for (std::size_t col = UpperTiles::First(r); col < n; col += kTileColumns) {
        kernels.crossTile(band, kTileColumns, b + PanelIndex(count, 0, col), kTileColumns, count,
                          c + shape.Index(r, col), shape.RowLength(r));
    }
}

// Adds a^T b over count rows to the upper tiles of c, both held in panels.
void AddPanelProducts(const MarginalKernels& kernels, const UpperTiles& shape, const double* a,
                      const double* b, std::size_t count, std::size_t n, double* c) {
    for (std::size_t r = 0; r < n; r += kTileRows) {
        AddPanelBand(kernels, shape, a, b, count, n, r, c);
    }
}

// Adds the information at(p, q) for the parameters of layout: within-item
// terms always, cross-item terms when cross; with products alone, only the
// sum over examinees of the products of their mean scores (the gradients of
// their marginal log-likelihoods) and the priors' curvature. False when
// keepGoing ended it.
//
// Louis' formula: minus the expected complete-data Hessian, minus the sum
// over examinees of the posterior covariance of the complete-data score.
// Item i's score at point k is e_ik u_ik, with the residual e = x - P (0
// for no response) and the score factor u = dP / (P Q) by parameter; its
// posterior mean s_ij = sum_k w_jk e_ijk u_ik. The covariance of items i
// and i2 is sum_k u_ik u_i2k' G_k[i][i2] - sum_j s_ij s_i2j', with
// G_k[i][i2] = sum_j w_jk e_ijk e_i2jk. Both sums over examinees are matrix
// products over a chunk of examinees at a time: G_k of the weighted
// residuals and the residuals of the examinees whose posterior reaches k,
// one point per task, and the mean scores' with themselves, a band of rows
// per task. Every entry is added to examinee after examinee whatever the
// threads, so the matrix is the same bits for every thread count.
template <typename At>
bool FillInformation(const PatternPosteriors& posteriors, const ParameterLayout& layout,
                     const MarginalSettings& settings, ItemSpans items,
                     const Quadrature& quadrature, const ExpectedCounts& counts, WorkerPool& pool,
                     bool cross, bool productsAlone, const KeepGoing& keepGoing, At&& at) {
    const ResponseView responses = posteriors.Responses();
    const MarginalKernels& kernels = posteriors.Kernels();
    const std::size_t itemCount = responses.items;
    const std::size_t stride = posteriors.Stride();
    const int points = quadrature.Points();
    const int n = layout.count;
    const Priors priors = PriorsFor(settings);
    const Kinds kinds = KindsOf(settings);
    const std::size_t nk = static_cast<std::size_t>(kinds.count);
    // Item columns, padded to whole tiles.
    const std::size_t width = RoundUp(itemCount, kTileColumns);

    // Per point and item: P, and the score factors of the kinds estimated.
    std::vector<double> prob(points * width, 0.0), factor(points * nk * width, 0.0);
    for (std::size_t i = 0; i < itemCount; ++i) {
        for (int k = 0; k < points; ++k) {
            const double theta = quadrature.theta[k];
            const Curve cv = CurveAt(theta, items.a[i], items.b[i], items.c[i]);
            const CurveDerivatives d = DerivativesAt(theta, items.a[i], items.b[i], items.c[i], cv);
            prob[k * width + i] = cv.p;
            for (std::size_t slot = 0; slot < nk; ++slot) {
                factor[(k * nk + slot) * width + i] = d.first[kinds.kind[slot]] / (cv.p * cv.q);
            }
        }
    }
    auto factorAt = [&](std::size_t i, int k, int u) {
        return factor[(k * nk + kinds.slotOf[u]) * width + i];
    };

    // The sums over examinees: the mean scores' products (all of them, or
    // each item's own block), and G_k per point.
    const std::size_t scoreWidth = nk * width;
    const UpperTiles scoreShape(cross ? scoreWidth : 0);
    std::vector<double> scoreProducts(cross ? scoreShape.Size() : itemCount * nk * nk, 0.0);
    const bool residualTerms = cross && !productsAlone;
    const UpperTiles residualShape(residualTerms ? itemCount : 0);
    std::vector<double> residualProducts(residualTerms ? points * residualShape.Size() : 0, 0.0);

    // One chunk's tables: posteriors, ranges, codes and mean scores (in
    // panels), and per thread the weighted residuals and residuals of one
    // point (in panels).
    const ScoreTablesView scoreTables{prob.data(), factor.data(), width, nk};
    std::vector<double> weights(kChunk * stride), meanScores(kChunk * scoreWidth);
    std::vector<double> correctOf(kChunk * width, 0.0), validOf(kChunk * width, 0.0);
    std::vector<PosteriorRange> ranges(kChunk);
    std::vector<double> weighted(pool.Threads() * kChunk * width, 0.0),
        residuals(pool.Threads() * kChunk * width, 0.0);

    std::size_t chunks = 0;
    for (std::size_t from = 0; from < responses.persons; from += kChunk) {
        if (keepGoing && ++chunks % kChunksBetweenQuestions == 0 && !keepGoing()) return false;
        const std::size_t size = std::min(kChunk, responses.persons - from);
        const std::size_t tasks = (size + kExamineesPerTask - 1) / kExamineesPerTask;
        pool.ForEach(tasks, [&](std::size_t task) {
            const std::size_t last = std::min(size, (task + 1) * kExamineesPerTask);
            for (std::size_t s = task * kExamineesPerTask; s < last; ++s) {
                const auto row = responses.Row(from + s);
                double* w = &weights[s * stride];
                posteriors.Posterior(from + s, w, ranges[s]);
                double* x = &correctOf[s * width];
                double* v = &validOf[s * width];
                for (std::size_t i = 0; i < itemCount; ++i) {
                    x[i] = row[i] == 1 ? 1.0 : 0.0;
                    v[i] = row[i] <= 1 ? 1.0 : 0.0;
                }
                kernels.meanScores(scoreTables, x, v, w, ranges[s].first, ranges[s].last,
                                   &meanScores[PanelIndex(size, s, 0)], size * kTileColumns);
            }
        });
        if (!cross) {
            // Each item's own block of the mean scores' products.
            pool.ForEach(itemCount, [&](std::size_t i) {
                double* to = &scoreProducts[i * nk * nk];
                for (std::size_t s = 0; s < size; ++s) {
                    for (std::size_t x = 0; x < nk; ++x) {
                        const double mx = meanScores[PanelIndex(size, s, x * width + i)];
                        for (std::size_t y = 0; y < nk; ++y) {
                            to[x * nk + y] += mx * meanScores[PanelIndex(size, s, y * width + i)];
                        }
                    }
                }
            });
            continue;
        }
        const std::size_t bands = (scoreWidth + kTileRows - 1) / kTileRows;
        pool.ForEach(bands, [&](std::size_t band) {
            AddPanelBand(kernels, scoreShape, meanScores.data(), meanScores.data(), size,
                         scoreWidth, band * kTileRows, scoreProducts.data());
        });
        if (!residualTerms) continue;
        pool.ForEach(static_cast<std::size_t>(points), [&](std::size_t k, unsigned thread) {
            // The examinees whose posterior reaches k, in order: their
            // weighted residuals and residuals at k.
            const int point = static_cast<int>(k);
            std::size_t rows = 0;
            for (std::size_t s = 0; s < size; ++s) {
                rows += point >= ranges[s].first && point <= ranges[s].last ? 1 : 0;
            }
            if (rows == 0) return;
            double* y = &weighted[thread * kChunk * width];
            double* e = &residuals[thread * kChunk * width];
            const double* pk = &prob[k * width];
            std::size_t row = 0;
            for (std::size_t s = 0; s < size; ++s) {
                if (point < ranges[s].first || point > ranges[s].last) continue;
                kernels.residualRow(&correctOf[s * width], &validOf[s * width], pk,
                                    weights[s * stride + k], width, e + PanelIndex(rows, row, 0),
                                    y + PanelIndex(rows, row, 0), rows * kTileColumns);
                ++row;
            }
            AddPanelProducts(kernels, residualShape, y, e, rows, itemCount,
                             &residualProducts[k * residualShape.Size()]);
        });
    }

    // Within items: minus the expected complete-data Hessian, minus the
    // expected squared score sum_k u u' (r Q^2 + f P^2), plus the squared
    // mean scores.
    for (std::size_t i = 0; i < itemCount; ++i) {
        const double* r = &counts.correct[i * points];
        const double* f = &counts.wrong[i * points];
        const double a = items.a[i], b = items.b[i];
        const ItemObjective o = ByLocation(
            ItemExpectedLogLikelihood(kernels, r, f, quadrature, a, -a * b, items.c[i]), a, b);
        for (int u = 0; u < 3; ++u) {
            const int p = layout.index[3 * i + u];
            if (p < 0) continue;
            for (int v = 0; v < 3; ++v) {
                const int q = layout.index[3 * i + v];
                if (q < 0) continue;
                double square = 0;
                for (int k = 0; k < points; ++k) {
                    const double pk = prob[k * width + i];
                    square += factorAt(i, k, u) * factorAt(i, k, v) *
                              (r[k] * (1 - pk) * (1 - pk) + f[k] * pk * pk);
                }
                const std::size_t x = kinds.slotOf[u] * width + i;
                const std::size_t y = kinds.slotOf[v] * width + i;
                const double meanSquare =
                    cross ? scoreShape.Get(scoreProducts.data(), x, y)
                          : scoreProducts[i * nk * nk + kinds.slotOf[u] * nk + kinds.slotOf[v]];
                at(p, q) += productsAlone ? meanSquare : -o.hessian[u][v] - square + meanSquare;
            }
        }
    }
    // The priors' curvature, once per parameter.
    std::vector<char> priorAdded(n, 0);
    for (std::size_t i = 0; i < itemCount; ++i) {
        const double values[3] = {items.a[i], items.b[i], items.c[i]};
        for (int u = 0; u < 3; ++u) {
            const int p = layout.index[3 * i + u];
            if (p < 0 || priorAdded[p]) continue;
            priorAdded[p] = 1;
            at(p, p) -= PriorCurvature(u, values[u], priors);
        }
    }
    if (!cross) return true;
    // Between items: minus the covariance of their scores, in both halves.
    for (std::size_t i = 0; i < itemCount; ++i) {
        for (std::size_t i2 = i + 1; i2 < itemCount; ++i2) {
            for (int u = 0; u < 3; ++u) {
                const int p = layout.index[3 * i + u];
                if (p < 0) continue;
                for (int v = 0; v < 3; ++v) {
                    const int q = layout.index[3 * i2 + v];
                    if (q < 0) continue;
                    double expected = 0;
                    for (int k = 0; residualTerms && k < points; ++k) {
                        expected +=
                            factorAt(i, k, u) * factorAt(i2, k, v) *
                            residualProducts[k * residualShape.Size() + residualShape.Index(i, i2)];
                    }
                    const double covariance =
                        expected - scoreShape.Get(scoreProducts.data(), kinds.slotOf[u] * width + i,
                                                  kinds.slotOf[v] * width + i2);
                    at(p, q) -= covariance;
                    at(q, p) -= covariance;
                }
            }
        }
    }
    return true;
}

}  // namespace

std::vector<double> ObservedInformation(const PatternPosteriors& posteriors,
                                        const ParameterLayout& layout,
                                        const MarginalSettings& settings, ItemSpans items,
                                        const Quadrature& quadrature, const ExpectedCounts& counts,
                                        WorkerPool& pool, const KeepGoing& keepGoing,
                                        bool productsAlone) {
    const int n = layout.count;
    std::vector<double> info(static_cast<std::size_t>(n) * n, 0.0);
    auto at = [&](int p, int q) -> double& { return info[static_cast<std::size_t>(p) * n + q]; };
    if (n == 0) return info;
    if (!FillInformation(posteriors, layout, settings, items, quadrature, counts, pool,
                         posteriors.Responses().items <= kLargestCrossItemTest, productsAlone,
                         keepGoing, at)) {
        return {};
    }
    // Both halves got the same terms, added in different orders.
    for (int p = 0; p < n; ++p) {
        for (int q = p + 1; q < n; ++q) {
            const double mean = 0.5 * (at(p, q) + at(q, p));
            at(p, q) = mean;
            at(q, p) = mean;
        }
    }
    return info;
}

std::vector<double> StandardErrorsByItem(const PatternPosteriors& posteriors,
                                         const ParameterLayout& layout,
                                         const MarginalSettings& settings, ItemSpans items,
                                         const Quadrature& quadrature, const ExpectedCounts& counts,
                                         WorkerPool& pool, const KeepGoing& keepGoing,
                                         bool productsAlone) {
    const std::size_t itemCount = posteriors.Responses().items;
    // Each parameter's item and place in the item's block; a parameter
    // shared by several items (the common slope) has none.
    std::vector<int> owner(layout.count, -1), slot(layout.count, 0), users(layout.count, 0);
    for (std::size_t i = 0; i < itemCount; ++i) {
        for (int u = 0; u < 3; ++u) {
            const int p = layout.index[3 * i + u];
            if (p < 0) continue;
            ++users[p];
            owner[p] = static_cast<int>(i);
            slot[p] = u;
        }
    }
    std::vector<double> blocks(itemCount * 9, 0.0);
    double spare = 0;  // takes the terms of shared parameters
    auto at = [&](int p, int q) -> double& {
        if (users[p] != 1 || users[q] != 1) return spare;
        return blocks[owner[p] * 9 + slot[p] * 3 + slot[q]];
    };
    std::vector<double> se(layout.count, -1.0);
    if (layout.count == 0) return se;
    if (!FillInformation(posteriors, layout, settings, items, quadrature, counts, pool, false,
                         productsAlone, keepGoing, at)) {
        return {};
    }
    for (std::size_t i = 0; i < itemCount; ++i) {
        int own[3];
        int m = 0;
        for (int u = 0; u < 3; ++u) {
            const int p = layout.index[3 * i + u];
            if (p >= 0 && users[p] == 1) own[m++] = u;
        }
        for (int e = 0; e < m; ++e) {
            // Column e of the block's inverse; its e-th entry is the variance.
            double block[3][3];
            double unit[3] = {0, 0, 0};
            for (int x = 0; x < m; ++x) {
                for (int y = 0; y < m; ++y) block[x][y] = blocks[i * 9 + own[x] * 3 + own[y]];
            }
            unit[e] = 1;
            if (SolveSmall(m, block, unit) && unit[e] > 0) {
                se[layout.index[3 * i + own[e]]] = std::sqrt(unit[e]);
            }
        }
    }
    return se;
}

bool CholeskyInPlace(std::vector<double>& l, int count) {
    const std::size_t n = static_cast<std::size_t>(count);
    for (std::size_t j = 0; j < n; ++j) {
        double diagonal = l[j * n + j];
        for (std::size_t k = 0; k < j; ++k) diagonal -= l[j * n + k] * l[j * n + k];
        if (!(diagonal > 0)) return false;
        const double root = std::sqrt(diagonal);
        l[j * n + j] = root;
        for (std::size_t i = j + 1; i < n; ++i) {
            double sum = l[i * n + j];
            for (std::size_t k = 0; k < j; ++k) sum -= l[i * n + k] * l[j * n + k];
            l[i * n + j] = sum / root;
        }
    }
    return true;
}

bool StandardErrorsFrom(const std::vector<double>& information, int count,
                        std::vector<double>& se) {
    se.clear();
    const std::size_t n = static_cast<std::size_t>(count);
    std::vector<double> l(information);
    if (!CholeskyInPlace(l, count)) return false;
    // The diagonal of the inverse L^-T L^-1: the squared norms of the
    // columns of L^-1.
    std::vector<double> column(n);
    se.assign(n, 0.0);
    for (std::size_t c = 0; c < n; ++c) {
        std::fill(column.begin(), column.end(), 0.0);
        column[c] = 1;
        for (std::size_t i = c; i < n; ++i) {
            double sum = column[i];
            for (std::size_t k = c; k < i; ++k) sum -= l[i * n + k] * column[k];
            column[i] = sum / l[i * n + i];
        }
        double sum = 0;
        for (std::size_t i = c; i < n; ++i) sum += column[i] * column[i];
        se[c] = std::sqrt(sum);
    }
    return true;
}

}  // namespace tarvo::mml
