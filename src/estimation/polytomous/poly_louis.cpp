#include "estimation/polytomous/poly_louis.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tarvo::poly {

namespace {

// The cross-item tables may take this many doubles (64 MB).
constexpr std::size_t kMostCrossEntries = std::size_t{8} << 20;
// Examinees whose posteriors and mean scores are held at once, and how many
// of them one task forms.
constexpr std::size_t kChunk = 256;
constexpr std::size_t kExamineesPerTask = 64;
constexpr double kRelativeStep = 1e-5;

// The item as its own parameters see it: a common slope becomes its own,
// so that every item's score has its slope first where it has one.
Item OwnForm(const Item& item) {
    Item own = item;
    if (own.commonSlope) {
        own.slopeFree = true;
        own.commonSlope = false;
    }
    return own;
}

// Each estimated item's own parameters, item after item, and the row of the
// information each one adds to (a common slope's own copies all to the
// last row).
struct Layout {
    std::vector<int> start;   // per item, its first own parameter; -1 when not estimated
    std::vector<int> width;   // per item, its own parameters
    std::vector<int> target;  // per own parameter, its row
    int own = 0;
    int count = 0;
};

Layout MakeLayout(std::span<const Item> items, std::span<const char> estimated) {
    Layout layout;
    layout.start.assign(items.size(), -1);
    layout.width.assign(items.size(), 0);
    bool common = false;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!estimated[i]) continue;
        layout.count += FreeCount(items[i]);
        common = common || items[i].commonSlope;
    }
    if (common) ++layout.count;
    int next = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!estimated[i]) continue;
        layout.start[i] = layout.own;
        if (items[i].commonSlope) layout.target.push_back(layout.count - 1);
        for (int u = 0; u < FreeCount(items[i]); ++u) layout.target.push_back(next++);
        layout.width[i] = FreeCount(OwnForm(items[i]));
        layout.own += layout.width[i];
    }
    return layout;
}

// Where the counts of the pair (i, i2), i < i2, start: categories of i by
// categories of i2 rows of the points.
std::vector<std::size_t> PairOffsets(std::span<const Item> items, int points, std::size_t& total) {
    const std::size_t n = items.size();
    std::vector<std::size_t> at(n * n, 0);
    total = 0;
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t i2 = i + 1; i2 < n; ++i2) {
            at[i * n + i2] = total;
            total += static_cast<std::size_t>(items[i].categories * items[i2].categories) *
                     static_cast<std::size_t>(points);
        }
    }
    return at;
}

}  // namespace

bool LouisFits(std::span<const Item> items, const mml::Quadrature& quadrature) {
    std::size_t total = 0;
    PairOffsets(items, quadrature.Points(), total);
    return total <= kMostCrossEntries;
}

// Item i's complete-data score at point q for score k is g_ikq = dP_ik / P_ik
// by its own parameters. With the examinees' posteriors w_jq:
//   within item i: -d2 Q_i - sum_kq r_ikq g_ikq g_ikq' (Q_i the item's
//     expected log-likelihood and log prior, r its expected counts);
//   between items i and i2: -sum_q sum_k,k2 N_q(k, k2) g_ikq g_i2k2q', with
//     N_q(k, k2) the posterior mass at q of the examinees scoring k on i
//     and k2 on i2;
//   and everywhere + sum_j s_j s_j', s_j = sum_q w_jq sum_i g_i,x_ij,q the
//     examinee's posterior mean score.
std::vector<double> LouisInformation(std::span<const Item> items, std::span<const char> estimated,
                                     Responses responses, const Priors& priors,
                                     const mml::Quadrature& quadrature, EmTables& tables,
                                     WorkerPool& pool, const std::function<bool()>& keepGoing) {
    const Layout layout = MakeLayout(items, estimated);
    // Every item held: no parameter, an empty matrix of none.
    if (layout.own == 0) return {};
    const int points = quadrature.Points();
    const std::size_t own = static_cast<std::size_t>(layout.own);
    const std::size_t itemCount = items.size();
    EStep(items, responses, quadrature, tables, pool);

    // The scores, item after item, each [k][q][u].
    std::vector<std::size_t> scoreAt(itemCount + 1, 0);
    for (std::size_t i = 0; i < itemCount; ++i) {
        scoreAt[i + 1] =
            scoreAt[i] + static_cast<std::size_t>(items[i].categories * points * layout.width[i]);
    }
    std::vector<double> score(scoreAt.back(), 0.0);
    for (std::size_t i = 0; i < itemCount; ++i) {
        if (!estimated[i]) continue;
        const Item item = OwnForm(items[i]);
        const int w = layout.width[i];
        std::array<double, kMostCategories> p{};
        std::array<double, kMostCategories * kMostFree> d{};
        for (int q = 0; q < points; ++q) {
            CategoryProbabilities(item, quadrature.theta[q], p);
            CategoryDerivatives(item, quadrature.theta[q], p, d);
            for (int k = 0; k < item.categories; ++k) {
                double* g = &score[scoreAt[i] + static_cast<std::size_t>((k * points + q) * w)];
                for (int u = 0; u < w; ++u) g[u] = d[k * w + u] / std::max(p[k], 1e-300);
            }
        }
    }
    auto scoreOf = [&](std::size_t i, int k, int q) {
        return &score[scoreAt[i] + static_cast<std::size_t>((k * points + q) * layout.width[i])];
    };
    auto answered = [&](std::size_t i, std::uint8_t code) {
        return estimated[i] && static_cast<int>(code) < items[i].categories;
    };

    std::size_t crossSize = 0;
    const std::vector<std::size_t> pairAt = PairOffsets(items, points, crossSize);
    std::vector<double> cross(crossSize, 0.0), meanSquares(own * own, 0.0);
    std::vector<double> weights(kChunk * static_cast<std::size_t>(points)), means(kChunk * own);
    std::vector<PointRange> ranges(kChunk);
    for (std::size_t from = 0; from < responses.persons; from += kChunk) {
        if (!keepGoing()) return {};
        const std::size_t size = std::min(kChunk, responses.persons - from);
        const std::size_t tasks = (size + kExamineesPerTask - 1) / kExamineesPerTask;
        pool.ForEach(tasks, [&](std::size_t task) {
            const std::size_t last = std::min(size, (task + 1) * kExamineesPerTask);
            for (std::size_t s = task * kExamineesPerTask; s < last; ++s) {
                const std::span<const std::uint8_t> row = responses.Row(from + s);
                const std::span<double> w = std::span<double>(weights).subspan(s * points, points);
                PosteriorOf(row, tables, quadrature, w, ranges[s]);
                double* m = &means[s * own];
                std::fill(m, m + own, 0.0);
                for (std::size_t i = 0; i < itemCount; ++i) {
                    if (!answered(i, row[i])) continue;
                    double* mi = m + layout.start[i];
                    const int width = layout.width[i];
                    for (int q = ranges[s].first; q <= ranges[s].last; ++q) {
                        const double* g = scoreOf(i, row[i], q);
                        for (int u = 0; u < width; ++u) mi[u] += w[q] * g[u];
                    }
                }
            }
        });
        // The pairs' posterior masses, one item's pairs per task, pair after
        // pair (its table stays in the core's cache), examinee after examinee.
        pool.ForEach(itemCount, [&](std::size_t i) {
            if (!estimated[i]) return;
            for (std::size_t i2 = i + 1; i2 < itemCount; ++i2) {
                if (!estimated[i2]) continue;
                double* mass = &cross[pairAt[i * itemCount + i2]];
                for (std::size_t s = 0; s < size; ++s) {
                    const std::span<const std::uint8_t> row = responses.Row(from + s);
                    if (!answered(i, row[i]) || !answered(i2, row[i2])) continue;
                    const double* w = &weights[s * points];
                    double* to = mass + static_cast<std::size_t>(
                                            (row[i] * items[i2].categories + row[i2]) * points);
                    for (int q = ranges[s].first; q <= ranges[s].last; ++q) to[q] += w[q];
                }
            }
        });
        // The mean scores' products, upper triangle, one row per task, four
        // examinees at a time (a quarter of the passes over the row).
        pool.ForEach(own, [&](std::size_t r) {
            double* to = &meanSquares[r * own];
            std::size_t s = 0;
            for (; s + 4 <= size; s += 4) {
                const double* m0 = &means[s * own];
                const double* m1 = m0 + own;
                const double* m2 = m1 + own;
                const double* m3 = m2 + own;
                const double r0 = m0[r], r1 = m1[r], r2 = m2[r], r3 = m3[r];
                for (std::size_t c = r; c < own; ++c) {
                    to[c] += (r0 * m0[c] + r1 * m1[c]) + (r2 * m2[c] + r3 * m3[c]);
                }
            }
            for (; s < size; ++s) {
                const double* m = &means[s * own];
                const double mr = m[r];
                for (std::size_t c = r; c < own; ++c) to[c] += mr * m[c];
            }
        });
    }

    // The information by the own parameters.
    std::vector<double> local(own * own, 0.0);
    auto at = [&](std::size_t r, std::size_t c) -> double& { return local[r * own + c]; };
    for (std::size_t i = 0; i < itemCount; ++i) {
        if (!estimated[i]) continue;
        const std::size_t s0 = static_cast<std::size_t>(layout.start[i]);
        const int w = layout.width[i];
        const std::span<const double> r = tables.Expected(i);
        // Minus the Hessian of the item's objective, by differences of its
        // gradient.
        const Item item = OwnForm(items[i]);
        std::array<double, kMostFree> x{}, up{}, down{};
        PackFree(item, x);
        for (int u = 0; u < w; ++u) {
            const double h = kRelativeStep * std::max(1.0, std::abs(x[u]));
            Item shifted = item;
            std::array<double, kMostFree> y = x;
            y[u] = x[u] + h;
            UnpackFree(y, shifted);
            ItemObjective(shifted, r, quadrature, priors, up.data(), nullptr);
            y[u] = x[u] - h;
            UnpackFree(y, shifted);
            ItemObjective(shifted, r, quadrature, priors, down.data(), nullptr);
            for (int v = 0; v < w; ++v) at(s0 + v, s0 + u) -= (up[v] - down[v]) / (2 * h);
        }
        for (int u = 0; u < w; ++u) {
            for (int v = 0; v < u; ++v) {
                const double mean = (at(s0 + u, s0 + v) + at(s0 + v, s0 + u)) / 2;
                at(s0 + u, s0 + v) = at(s0 + v, s0 + u) = mean;
            }
        }
        // Minus the expected squared score.
        for (int k = 0; k < items[i].categories; ++k) {
            for (int q = 0; q < points; ++q) {
                const double count = r[static_cast<std::size_t>(k * points + q)];
                if (count == 0) continue;
                const double* g = scoreOf(i, k, q);
                for (int u = 0; u < w; ++u) {
                    for (int v = 0; v < w; ++v) at(s0 + u, s0 + v) -= count * g[u] * g[v];
                }
            }
        }
        // Minus the expected products of two items' scores.
        for (std::size_t i2 = i + 1; i2 < itemCount; ++i2) {
            if (!estimated[i2]) continue;
            const std::size_t t0 = static_cast<std::size_t>(layout.start[i2]);
            const int w2 = layout.width[i2];
            const double* mass = &cross[pairAt[i * itemCount + i2]];
            for (int k = 0; k < items[i].categories; ++k) {
                for (int k2 = 0; k2 < items[i2].categories; ++k2) {
                    const double* n = mass + (k * items[i2].categories + k2) * points;
                    for (int q = 0; q < points; ++q) {
                        if (n[q] == 0) continue;
                        const double* g = scoreOf(i, k, q);
                        const double* g2 = scoreOf(i2, k2, q);
                        for (int u = 0; u < w; ++u) {
                            for (int v = 0; v < w2; ++v) {
                                const double term = n[q] * g[u] * g2[v];
                                at(s0 + u, t0 + v) -= term;
                                at(t0 + v, s0 + u) -= term;
                            }
                        }
                    }
                }
            }
        }
    }
    // Plus the mean scores' products.
    for (std::size_t r = 0; r < own; ++r) {
        at(r, r) += meanSquares[r * own + r];
        for (std::size_t c = r + 1; c < own; ++c) {
            at(r, c) += meanSquares[r * own + c];
            at(c, r) += meanSquares[r * own + c];
        }
    }
    // Every own parameter onto its row (a common slope's copies summed).
    const std::size_t n = static_cast<std::size_t>(layout.count);
    std::vector<double> information(n * n, 0.0);
    for (std::size_t r = 0; r < own; ++r) {
        for (std::size_t c = 0; c < own; ++c) {
            information[layout.target[r] * n + layout.target[c]] += at(r, c);
        }
    }
    return information;
}

}  // namespace tarvo::poly
