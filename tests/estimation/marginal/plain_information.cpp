// The observed information as it was first written: scalar loops over
// examinees, points and item pairs, the posteriors item after item. Kept as
// the yardstick of the matrix-product form.
#include "plain_information.h"

#include <algorithm>
#include <cmath>

#include "estimation/marginal/mml_estep.h"
#include "irt/item_curve.h"

namespace tarvo::mml::test {

namespace {

// The objective by (a, d, c) as one by (a, b, c), d = -a b.
ItemObjective PlainByLocation(const ItemObjective& o, double a, double b) {
    ItemObjective out = o;
    const double(*h)[3] = o.hessian;
    out.gradient[0] = o.gradient[0] - b * o.gradient[1];
    out.gradient[1] = -a * o.gradient[1];
    out.hessian[0][0] = h[0][0] - 2 * b * h[0][1] + b * b * h[1][1];
    out.hessian[0][1] = out.hessian[1][0] = -a * h[0][1] + a * b * h[1][1] - o.gradient[1];
    out.hessian[1][1] = a * a * h[1][1];
    out.hessian[0][2] = out.hessian[2][0] = h[0][2] - b * h[1][2];
    out.hessian[1][2] = out.hessian[2][1] = -a * h[1][2];
    return out;
}

constexpr std::size_t kChunk = 64;

double PriorCurvature(int which, double value, const Priors& priors) {
    ItemObjective o;
    FreeParameters free{which == 0, which == 1, which == 2};
    AddPriors(o, which == 0 ? value : 1, which == 1 ? value : 0, which == 2 ? value : 0.5, priors,
              free);
    return o.hessian[which][which];
}

template <typename At>
void FillInformation(ResponseView responses, const ParameterLayout& layout,
                     const MarginalSettings& settings, ItemSpans items,
                     const Quadrature& quadrature, const ExpectedCounts& counts, At&& at) {
    const bool cross = true;
    WorkerPool pool(1);
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
            PlainByLocation(ItemExpectedLogLikelihood(r, f, quadrature, items.a[i],
                                                      -items.a[i] * items.b[i], items.c[i]),
                            items.a[i], items.b[i]);
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

    for (std::size_t from = 0; from < responses.persons; from += kChunk) {
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
}

}  // namespace

std::vector<double> PlainObservedInformation(ResponseView responses, const ParameterLayout& layout,
                                             const MarginalSettings& settings, ItemSpans items,
                                             const Quadrature& quadrature,
                                             const ExpectedCounts& counts) {
    const int n = layout.count;
    std::vector<double> info(static_cast<std::size_t>(n) * n, 0.0);
    auto at = [&](int p, int q) -> double& { return info[static_cast<std::size_t>(p) * n + q]; };
    FillInformation(responses, layout, settings, items, quadrature, counts, at);
    for (int p = 0; p < n; ++p) {
        for (int q = p + 1; q < n; ++q) {
            const double mean = 0.5 * (at(p, q) + at(q, p));
            at(p, q) = mean;
            at(q, p) = mean;
        }
    }
    return info;
}

}  // namespace tarvo::mml::test
