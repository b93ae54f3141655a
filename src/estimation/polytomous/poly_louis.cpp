#include "estimation/polytomous/poly_louis.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "estimation/kernels/mml_kernels.h"

namespace tarvo::poly {

namespace {

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

// Where the posterior masses of item i's pair with each later item i2
// start in item i's table (categories of i by categories of i2 rows of the
// points), and the table's size last.
std::vector<std::size_t> PairOffsetsOf(std::span<const Item> items, std::size_t i, int points) {
    std::vector<std::size_t> at(items.size() + 1, 0);
    std::size_t total = 0;
    for (std::size_t i2 = i + 1; i2 < items.size(); ++i2) {
        at[i2] = total;
        total += static_cast<std::size_t>(items[i].categories * items[i2].categories * points);
    }
    at[items.size()] = total;
    return at;
}

}  // namespace

// Item i's complete-data score at point q for score k is g_ikq = dP_ik / P_ik
// by its own parameters. With the examinees' posteriors w_jq:
//   within item i: -d2 Q_i - sum_kq r_ikq g_ikq g_ikq' (Q_i the item's
//     expected log-likelihood and log prior, r its expected counts);
//   between items i and i2: -sum_q sum_k,k2 N_q(k, k2) g_ikq g_i2k2q', with
//     N_q(k, k2) the posterior mass at q of the examinees scoring k on i
//     and k2 on i2;
//   and everywhere + sum_j s_j s_j', s_j = sum_q w_jq sum_i g_i,x_ij,q the
//     examinee's posterior mean score.
namespace {

// The information by the items' own parameters (Layout::own): the whole
// matrix, row after row, or with blocks each estimated item's own block
// alone, block after block (the cross-item terms left out). False when
// keepGoing said stop.
bool FormLouis(std::span<const Item> items, std::span<const char> estimated, Responses responses,
               const Priors& priors, const mml::Quadrature& quadrature, EmTables& tables,
               WorkerPool& pool, const std::function<bool()>& keepGoing, bool productsAlone,
               bool blocks, VectorUnit unit, const Layout& layout, std::vector<double>& local) {
    const int points = quadrature.Points();
    const std::size_t own = static_cast<std::size_t>(layout.own);
    const std::size_t itemCount = items.size();
    EStep(items, responses, quadrature, tables, pool);

    // Where each item's block starts, and the item of every own parameter.
    std::vector<std::size_t> blockAt(itemCount + 1, 0);
    std::vector<std::size_t> ownerOf(own, 0);
    for (std::size_t i = 0; i < itemCount; ++i) {
        const std::size_t w = static_cast<std::size_t>(layout.width[i]);
        blockAt[i + 1] = blockAt[i] + w * w;
        for (std::size_t u = 0; u < w; ++u)
            ownerOf[static_cast<std::size_t>(layout.start[i]) + u] = i;
    }
    const std::size_t stored = blocks ? blockAt.back() : own * own;
    // Entry (r, c) of the information; with blocks r and c are one item's.
    auto at = [&](std::size_t r, std::size_t c) -> double& {
        if (!blocks) return local[r * own + c];
        const std::size_t i = ownerOf[r];
        const std::size_t s0 = static_cast<std::size_t>(layout.start[i]);
        return local[blockAt[i] + (r - s0) * static_cast<std::size_t>(layout.width[i]) + (c - s0)];
    };

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

    // Every examinee's posterior is kept for the pairs' pass (examinees by
    // points: memory linear in the examinees); the mean scores only a chunk
    // at a time.
    const std::size_t kept = productsAlone || blocks ? 0 : responses.persons;
    std::vector<double> posteriors(kept * static_cast<std::size_t>(points));
    std::vector<PointRange> keptRanges(kept);
    // Without blocks, the mean scores' products are held in whole tiles.
    const std::size_t padded = (own + kTileColumns - 1) / kTileColumns * kTileColumns;
    const MarginalKernels& kernels = MarginalKernelsFor(unit);
    std::vector<double> meanSquares(blocks ? stored : padded * padded, 0.0);
    std::vector<double> panels(blocks ? 0 : kChunk * padded);
    const std::size_t stride = tables.Stride();
    std::vector<double> weights(kChunk * stride), means(kChunk * own);
    std::vector<std::uint8_t> patterns(kChunk * tables.Groups());
    std::vector<PointRange> ranges(kChunk);
    for (std::size_t from = 0; from < responses.persons; from += kChunk) {
        if (!keepGoing()) return false;
        const std::size_t size = std::min(kChunk, responses.persons - from);
        const std::size_t tasks = (size + kExamineesPerTask - 1) / kExamineesPerTask;
        pool.ForEach(tasks, [&](std::size_t task) {
            const std::size_t last = std::min(size, (task + 1) * kExamineesPerTask);
            for (std::size_t s = task * kExamineesPerTask; s < last; ++s) {
                const std::span<const std::uint8_t> row = responses.Row(from + s);
                const std::span<double> w = std::span<double>(weights).subspan(s * stride, stride);
                PosteriorOf(row, tables,
                            std::span<std::uint8_t>(patterns).subspan(s * tables.Groups()), w,
                            ranges[s], responses.PopulationIndexOf(from + s));
                if (kept > 0) {
                    std::copy_n(w.begin(), points, posteriors.begin() + (from + s) * points);
                    keptRanges[from + s] = ranges[s];
                }
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
        if (blocks) {
            // Each item's own block of the mean scores' products.
            pool.ForEach(itemCount, [&](std::size_t i) {
                if (!estimated[i]) return;
                const std::size_t s0 = static_cast<std::size_t>(layout.start[i]);
                const std::size_t w = static_cast<std::size_t>(layout.width[i]);
                double* to = &meanSquares[blockAt[i]];
                for (std::size_t s = 0; s < size; ++s) {
                    const double* m = &means[s * own + s0];
                    for (std::size_t u = 0; u < w; ++u) {
                        for (std::size_t v = 0; v < w; ++v) to[u * w + v] += m[u] * m[v];
                    }
                }
            });
            continue;
        }
        // The mean scores' products, the upper tiles, a band of rows per
        // task by the vector kernels, from the chunk's mean scores in
        // panels (zeros past the last parameter); every entry is added to
        // examinee after examinee.
        for (std::size_t s = 0; s < size; ++s) {
            for (std::size_t c = 0; c < padded; ++c) {
                panels[PanelIndex(size, s, c)] = c < own ? means[s * own + c] : 0.0;
            }
        }
        pool.ForEach(padded / kTileRows, [&](std::size_t band) {
            const std::size_t r = band * kTileRows;
            const double* a = &panels[PanelIndex(size, 0, r)];
            for (std::size_t c = r / kTileColumns * kTileColumns; c < padded; c += kTileColumns) {
                kernels.crossTile(a, kTileColumns, &panels[PanelIndex(size, 0, c)], kTileColumns,
                                  size, &meanSquares[r * padded + c], padded);
            }
        });
    }

    local.assign(stored, 0.0);
    if (!productsAlone && !blocks) {
        // Minus the expected products of two items' scores, one item's pairs
        // with the later items per task: their posterior masses by category
        // pair and point (examinee after examinee), then the products into
        // the item's rows. A task's table holds one item's pairs alone, so
        // the memory grows with the items, not with their pairs.
        std::size_t largest = 0;
        std::vector<std::vector<double>> masses(pool.Threads());
        std::vector<std::vector<double>> folded(pool.Threads());
        std::vector<std::vector<std::size_t>> pairAts(itemCount);
        for (std::size_t i = 0; i < itemCount; ++i) {
            pairAts[i] = PairOffsetsOf(items, i, points);
            largest = std::max(largest, pairAts[i].back());
        }
        const std::size_t batch = std::size_t{4} * pool.Threads();
        for (std::size_t from = 0; from < itemCount; from += batch) {
            if (!keepGoing()) return false;
            pool.ForEach(std::min(batch, itemCount - from), [&](std::size_t task, unsigned thread) {
                const std::size_t i = from + task;
                if (!estimated[i]) return;
                const std::vector<std::size_t>& pairAt = pairAts[i];
                std::vector<double>& mass = masses[thread];
                mass.resize(largest);
                std::fill(mass.begin(), mass.begin() + static_cast<std::ptrdiff_t>(pairAt.back()),
                          0.0);
                for (std::size_t j = 0; j < responses.persons; ++j) {
                    const std::span<const std::uint8_t> row = responses.Row(j);
                    if (!answered(i, row[i])) continue;
                    const double* w = &posteriors[j * points];
                    const int first = keptRanges[j].first, last = keptRanges[j].last;
                    const std::size_t k = row[i];
                    for (std::size_t i2 = i + 1; i2 < itemCount; ++i2) {
                        if (!answered(i2, row[i2])) continue;
                        double* to = &mass[pairAt[i2] + (k * items[i2].categories + row[i2]) *
                                                            static_cast<std::size_t>(points)];
                        for (int q = first; q <= last; ++q) to[q] += w[q];
                    }
                }
                const std::size_t s0 = static_cast<std::size_t>(layout.start[i]);
                const int w = layout.width[i];
                std::vector<double>& h = folded[thread];
                for (std::size_t i2 = i + 1; i2 < itemCount; ++i2) {
                    if (!estimated[i2]) continue;
                    const std::size_t t0 = static_cast<std::size_t>(layout.start[i2]);
                    const int w2 = layout.width[i2];
                    const int c2 = items[i2].categories;
                    const double* pair = &mass[pairAt[i2]];
                    h.assign(static_cast<std::size_t>(w2), 0.0);
                    for (int k = 0; k < items[i].categories; ++k) {
                        for (int q = 0; q < points; ++q) {
                            // h = sum over k2 of N_q(k, k2) g_i2k2q.
                            bool any = false;
                            std::fill(h.begin(), h.end(), 0.0);
                            for (int k2 = 0; k2 < c2; ++k2) {
                                const double n = pair[(k * c2 + k2) * points + q];
                                if (n == 0) continue;
                                any = true;
                                const double* g2 = scoreOf(i2, k2, q);
                                for (int v = 0; v < w2; ++v) h[v] += n * g2[v];
                            }
                            if (!any) continue;
                            const double* g = scoreOf(i, k, q);
                            for (int u = 0; u < w; ++u) {
                                for (int v = 0; v < w2; ++v) at(s0 + u, t0 + v) -= g[u] * h[v];
                            }
                        }
                    }
                }
            });
        }
        // The lower halves from the upper.
        for (std::size_t r = 0; r < own; ++r) {
            for (std::size_t c = r + 1; c < own; ++c) at(c, r) = at(r, c);
        }
    }

    // The information by the own parameters, within items.
    const std::vector<double> noCounts(static_cast<std::size_t>(kMostCategories * points), 0.0);
    for (std::size_t i = 0; i < itemCount; ++i) {
        if (!estimated[i]) continue;
        const std::size_t s0 = static_cast<std::size_t>(layout.start[i]);
        const int w = layout.width[i];
        // The cross-products keep the priors' curvature alone: no counts.
        const std::span<const double> r =
            productsAlone ? std::span<const double>(noCounts).first(tables.Expected(i).size())
                          : tables.Expected(i);
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
        for (int k = 0; !productsAlone && k < items[i].categories; ++k) {
            for (int q = 0; q < points; ++q) {
                const double count = r[static_cast<std::size_t>(k * points + q)];
                if (count == 0) continue;
                const double* g = scoreOf(i, k, q);
                for (int u = 0; u < w; ++u) {
                    for (int v = 0; v < w; ++v) at(s0 + u, s0 + v) -= count * g[u] * g[v];
                }
            }
        }
    }
    // Plus the mean scores' products.
    if (blocks) {
        for (std::size_t x = 0; x < stored; ++x) local[x] += meanSquares[x];
        return true;
    }
    for (std::size_t r = 0; r < own; ++r) {
        at(r, r) += meanSquares[r * padded + r];
        for (std::size_t c = r + 1; c < own; ++c) {
            at(r, c) += meanSquares[r * padded + c];
            at(c, r) += meanSquares[r * padded + c];
        }
    }
    return true;
}

}  // namespace

int OwnWidth(const Item& item) { return FreeCount(OwnForm(item)); }

std::vector<double> LouisInformation(std::span<const Item> items, std::span<const char> estimated,
                                     Responses responses, const Priors& priors,
                                     const mml::Quadrature& quadrature, EmTables& tables,
                                     WorkerPool& pool, const std::function<bool()>& keepGoing,
                                     bool productsAlone, VectorUnit unit) {
    const Layout layout = MakeLayout(items, estimated);
    // Every item held: no parameter, an empty matrix of none.
    if (layout.own == 0) return {};
    const std::size_t own = static_cast<std::size_t>(layout.own);
    std::vector<double> local;
    if (!FormLouis(items, estimated, responses, priors, quadrature, tables, pool, keepGoing,
                   productsAlone, false, unit, layout, local)) {
        return {};
    }
    // Every own parameter onto its row (a common slope's copies summed).
    const std::size_t n = static_cast<std::size_t>(layout.count);
    std::vector<double> information(n * n, 0.0);
    for (std::size_t r = 0; r < own; ++r) {
        for (std::size_t c = 0; c < own; ++c) {
            information[layout.target[r] * n + layout.target[c]] += local[r * own + c];
        }
    }
    return information;
}

std::vector<double> LouisItemBlocks(std::span<const Item> items, std::span<const char> estimated,
                                    Responses responses, const Priors& priors,
                                    const mml::Quadrature& quadrature, EmTables& tables,
                                    WorkerPool& pool, const std::function<bool()>& keepGoing,
                                    bool productsAlone, VectorUnit unit) {
    const Layout layout = MakeLayout(items, estimated);
    std::vector<double> local;
    if (layout.own == 0) return local;
    if (!FormLouis(items, estimated, responses, priors, quadrature, tables, pool, keepGoing,
                   productsAlone, true, unit, layout, local)) {
        return {};
    }
    return local;
}

}  // namespace tarvo::poly
