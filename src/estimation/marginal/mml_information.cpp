#include "estimation/marginal/mml_information.h"

#include <algorithm>
#include <cmath>

#include "estimation/marginal/mml_curve.h"

namespace tarvo::mml {

namespace {

// Examinees whose posteriors are formed together before the item rows take
// up their residual products.
constexpr std::size_t kChunk = 64;
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
        if (free.a && !OnBound(items.a[i], rules.a)) {
            layout.index[3 * i] = layout.count++;
        }
        if (free.b && !OnBound(items.b[i], rules.b)) {
            layout.index[3 * i + 1] = layout.count++;
        }
        if (free.c && !OnBound(items.c[i], c)) {
            layout.index[3 * i + 2] = layout.count++;
        }
    }
    return layout;
}

namespace {

// Examinees whose blocks pass between two questions to keepGoing.
constexpr std::size_t kChunksBetweenQuestions = 64;

// Adds the information at(p, q) for the parameters of layout: within-item
// terms always, cross-item terms when cross. False when keepGoing ended it.
template <typename At>
bool FillInformation(ResponseView responses, const ParameterLayout& layout,
                     const MarginalSettings& settings, ItemSpans items,
                     const Quadrature& quadrature, const ExpectedCounts& counts, WorkerPool& pool,
                     bool cross, const KeepGoing& keepGoing, At&& at) {
    const std::size_t itemCount = responses.items;
    const int points = quadrature.Points();
    const int n = layout.count;
    const Priors priors = PriorsFor(settings);

    // Per item and point: P, and the score factor u = dP / (P Q), so that a
    // response x adds (x - P) u to the complete-data score.
    std::vector<double> prob(itemCount * points), probByPoint(itemCount * points);
    std::vector<double> factor(3 * itemCount * points);
    for (std::size_t i = 0; i < itemCount; ++i) {
        for (int k = 0; k < points; ++k) {
            const double theta = quadrature.theta[k];
            const Curve cv = CurveAt(theta, items.a[i], items.b[i], items.c[i]);
            const CurveDerivatives d = DerivativesAt(theta, items.a[i], items.b[i], items.c[i], cv);
            prob[i * points + k] = cv.p;
            probByPoint[k * itemCount + i] = cv.p;
            for (int u = 0; u < 3; ++u) {
                factor[(i * points + k) * 3 + u] = d.first[u] / (cv.p * cv.q);
            }
        }
    }

    // Within-item terms: minus the expected complete-data Hessian, minus the
    // expected squared score sum_k u u' (r Q^2 + f P^2).
    for (std::size_t i = 0; i < itemCount; ++i) {
        const double* r = &counts.correct[i * points];
        const double* f = &counts.wrong[i * points];
        const ItemObjective o =
            ItemExpectedLogLikelihood(r, f, quadrature, items.a[i], items.b[i], items.c[i]);
        for (int u = 0; u < 3; ++u) {
            const int p = layout.index[3 * i + u];
            if (p < 0) continue;
            for (int v = 0; v < 3; ++v) {
                const int q = layout.index[3 * i + v];
                if (q < 0) continue;
                double square = 0;
                for (int k = 0; k < points; ++k) {
                    const double pk = prob[i * points + k];
                    const double* fk = &factor[(i * points + k) * 3];
                    square += fk[u] * fk[v] * (r[k] * (1 - pk) * (1 - pk) + f[k] * pk * pk);
                }
                at(p, q) += -o.hessian[u][v] - square;
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

    // Posterior mean scores s_j (per item: a, b, c) and the cross-item
    // residual products C[i][k][i2] = sum_j w_jk e_ij e_i2j over i2 > i, and
    // the score products S[i][i2] = sum_j s_ij s_i2j' over i2 >= i.
    const std::size_t rows = cross ? itemCount : 0;
    // Only i2 > i is kept: item i's row holds (itemCount - i - 1) entries per
    // point, from rowStart[i] on.
    std::vector<std::size_t> rowStart(rows + 1, 0);
    for (std::size_t i = 0; i < rows; ++i) {
        rowStart[i + 1] = rowStart[i] + (itemCount - i - 1) * points;
    }
    std::vector<double> residualProducts(rowStart[rows], 0.0);
    std::vector<double> scoreProducts(cross ? itemCount * itemCount * 9 : itemCount * 9, 0.0);
    std::vector<double> weights(kChunk * points), correctOf(kChunk * itemCount),
        validOf(kChunk * itemCount), meanScore(kChunk * itemCount * 3);
    std::vector<PosteriorRange> ranges(kChunk);
    LogCurveTables tables;
    tables.Fill(items.a, items.b, items.c, quadrature);

    std::size_t chunks = 0;
    for (std::size_t from = 0; from < responses.persons; from += kChunk) {
        if (keepGoing && ++chunks % kChunksBetweenQuestions == 0 && !keepGoing()) return false;
        const std::size_t size = std::min(kChunk, responses.persons - from);
        pool.ForEach(size, [&](std::size_t s) {
            const auto row = responses.Row(from + s);
            double* w = &weights[s * points];
            Posterior(row, tables, quadrature, std::span<double>(w, points), ranges[s]);
            for (std::size_t i = 0; i < itemCount; ++i) {
                const std::uint8_t code = row[i];
                const bool valid = code <= 1;
                correctOf[s * itemCount + i] = code == 1 ? 1.0 : 0.0;
                validOf[s * itemCount + i] = valid ? 1.0 : 0.0;
                double m[3] = {0, 0, 0};
                if (valid) {
                    for (int k = ranges[s].first; k <= ranges[s].last; ++k) {
                        const double e = w[k] * (code - prob[i * points + k]);
                        const double* fk = &factor[(i * points + k) * 3];
                        m[0] += e * fk[0];
                        m[1] += e * fk[1];
                        m[2] += e * fk[2];
                    }
                }
                for (int u = 0; u < 3; ++u) meanScore[(s * itemCount + i) * 3 + u] = m[u];
            }
        });
        pool.ForEach(itemCount, [&](std::size_t i) {
            for (std::size_t s = 0; s < size; ++s) {
                if (validOf[s * itemCount + i] == 0) continue;
                const double* mi = &meanScore[(s * itemCount + i) * 3];
                const std::size_t last = cross ? itemCount : i + 1;
                for (std::size_t i2 = i; i2 < last; ++i2) {
                    const double* m2 = &meanScore[(s * itemCount + i2) * 3];
                    double* to =
                        cross ? &scoreProducts[(i * itemCount + i2) * 9] : &scoreProducts[i * 9];
                    for (int u = 0; u < 3; ++u) {
                        for (int v = 0; v < 3; ++v) to[u * 3 + v] += mi[u] * m2[v];
                    }
                }
                // Items i + 1 onwards: the row's entries and their codes.
                const std::size_t after = itemCount - i - 1;
                if (!cross || after == 0) continue;
                const double x = correctOf[s * itemCount + i];
                const double* w = &weights[s * points];
                const double* correct = &correctOf[s * itemCount + i + 1];
                const double* valid = &validOf[s * itemCount + i + 1];
                for (int k = ranges[s].first; k <= ranges[s].last; ++k) {
                    const double weighted = w[k] * (x - prob[i * points + k]);
                    if (weighted == 0) continue;
                    const double* pk = &probByPoint[k * itemCount + i + 1];
                    double* to = &residualProducts[rowStart[i] + k * after];
                    for (std::size_t t = 0; t < after; ++t) {
                        to[t] += weighted * (correct[t] - valid[t] * pk[t]);
                    }
                }
            }
        });
    }

    // Add back the squared mean scores within items, and both cross terms
    // between items: the covariance is E[S S'] - s s'.
    for (std::size_t i = 0; i < itemCount; ++i) {
        const double* sii = cross ? &scoreProducts[(i * itemCount + i) * 9] : &scoreProducts[i * 9];
        for (int u = 0; u < 3; ++u) {
            const int p = layout.index[3 * i + u];
            if (p < 0) continue;
            for (int v = 0; v < 3; ++v) {
                const int q = layout.index[3 * i + v];
                if (q >= 0) at(p, q) += sii[u * 3 + v];
            }
        }
        if (!cross) continue;
        for (std::size_t i2 = i + 1; i2 < itemCount; ++i2) {
            const double* s12 = &scoreProducts[(i * itemCount + i2) * 9];
            for (int u = 0; u < 3; ++u) {
                const int p = layout.index[3 * i + u];
                if (p < 0) continue;
                for (int v = 0; v < 3; ++v) {
                    const int q = layout.index[3 * i2 + v];
                    if (q < 0) continue;
                    double expected = 0;
                    for (int k = 0; k < points; ++k) {
                        expected +=
                            factor[(i * points + k) * 3 + u] * factor[(i2 * points + k) * 3 + v] *
                            residualProducts[rowStart[i] + k * (itemCount - i - 1) + (i2 - i - 1)];
                    }
                    const double covariance = expected - s12[u * 3 + v];
                    at(p, q) -= covariance;
                    at(q, p) -= covariance;
                }
            }
        }
    }
    return true;
}

}  // namespace

std::vector<double> ObservedInformation(ResponseView responses, const ParameterLayout& layout,
                                        const MarginalSettings& settings, ItemSpans items,
                                        const Quadrature& quadrature, const ExpectedCounts& counts,
                                        WorkerPool& pool, const KeepGoing& keepGoing) {
    const int n = layout.count;
    std::vector<double> info(static_cast<std::size_t>(n) * n, 0.0);
    auto at = [&](int p, int q) -> double& { return info[static_cast<std::size_t>(p) * n + q]; };
    if (n == 0) return info;
    if (!FillInformation(responses, layout, settings, items, quadrature, counts, pool,
                         responses.items <= kLargestCrossItemTest, keepGoing, at)) {
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

std::vector<double> StandardErrorsByItem(ResponseView responses, const ParameterLayout& layout,
                                         const MarginalSettings& settings, ItemSpans items,
                                         const Quadrature& quadrature, const ExpectedCounts& counts,
                                         WorkerPool& pool, const KeepGoing& keepGoing) {
    const std::size_t itemCount = responses.items;
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
    if (!FillInformation(responses, layout, settings, items, quadrature, counts, pool, false,
                         keepGoing, at)) {
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

bool StandardErrorsFrom(const std::vector<double>& information, int count,
                        std::vector<double>& se) {
    se.clear();
    const std::size_t n = static_cast<std::size_t>(count);
    std::vector<double> l(information);
    // Cholesky in place (lower triangle).
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
