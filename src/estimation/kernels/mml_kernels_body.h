// The marginal estimator's kernels, written once over eight-lane values
// (fast_lanes.h) and compiled once per vector unit (mml_kernels_*.cpp), as
// the fast kernels are: each including file defines TARVO_KERNEL_NAMESPACE
// first, everything here is internal to it, and nothing from the standard
// library is instantiated in it.
//
// Lanes are quadrature points. A sum over the points is formed lane by lane
// over blocks of eight points in order and the lanes added in one fixed
// order at the end; a sum over examinees or groups runs in their order in
// every lane. Only lane-by-lane IEEE operations are used (no fused
// multiply-add), so every unit gives the same bits.

#include <cstddef>
#include <cstdint>

#include "core/model_constants.h"
#include "estimation/kernels/fast_lanes.h"
#include "estimation/kernels/lane_math.h"
#include "estimation/kernels/mml_kernel_types.h"

namespace tarvo::TARVO_KERNEL_NAMESPACE {
namespace {

// Points summed side by side when the log weights are formed: a strip of
// four blocks stays in registers while every group's row is added.
constexpr std::size_t kStripBlocks = 4;

template <std::size_t Blocks>
TARVO_INLINE void AddRowsOfStrip(const PatternTablesView& t, const std::uint8_t* patterns,
                                 std::size_t from, double* w) {
    Vd sum[Blocks];
    for (std::size_t v = 0; v < Blocks; ++v) sum[v] = Load(t.logWeight + from + v * 8);
    for (std::size_t g = 0; g < t.groups; ++g) {
        const double* row = t.rows + (t.firstRow[g] + patterns[g]) * t.stride + from;
        for (std::size_t v = 0; v < Blocks; ++v) sum[v] += Load(row + v * 8);
    }
    for (std::size_t v = 0; v < Blocks; ++v) Store(w + from + v * 8, sum[v]);
}

// Turns log weights (stride of them) into the posterior: the largest, the
// kept range, exp of the differences, their sum and the scaled weights.
TARVO_INLINE PosteriorSums Normalised(std::size_t stride, double* w) {
    PosteriorSums out;
    Vd top = Load(w);
    for (std::size_t k = 8; k < stride; k += 8) top = Max(top, Load(w + k));
    out.top = Lane(top, 0);
    for (int lane = 1; lane < 8; ++lane) {
        out.top = out.top > Lane(top, lane) ? out.top : Lane(top, lane);
    }
    // The kept range: from the first to the last point not negligible.
    const int points = static_cast<int>(stride);
    int first = 0;
    while (first < points && w[first] - out.top < kNegligibleLogWeight) ++first;
    int last = points - 1;
    while (last > first && w[last] - out.top < kNegligibleLogWeight) --last;
    out.first = first;
    out.last = last;
    // Weights relative to the largest on the blocks that hold the range,
    // 0 elsewhere; their sum lane by lane, then across the lanes.
    const std::size_t firstBlock = static_cast<std::size_t>(first) / 8 * 8;
    const std::size_t endBlock = static_cast<std::size_t>(last) / 8 * 8 + 8;
    const Vd zero = Splat(0.0);
    for (std::size_t k = 0; k < firstBlock; k += 8) Store(w + k, zero);
    for (std::size_t k = endBlock; k < stride; k += 8) Store(w + k, zero);
    for (std::size_t k = firstBlock; k < endBlock; k += 8) Store(w + k, Exp(Load(w + k) - out.top));
    for (std::size_t k = firstBlock; k < static_cast<std::size_t>(first); ++k) w[k] = 0;
    for (std::size_t k = static_cast<std::size_t>(last) + 1; k < endBlock; ++k) w[k] = 0;
    Vd sum = zero;
    for (std::size_t k = firstBlock; k < endBlock; k += 8) sum += Load(w + k);
    out.sum = Reduce(sum);
    const double scale = 1 / out.sum;
    for (std::size_t k = firstBlock; k < endBlock; k += 8) Store(w + k, Load(w + k) * scale);
    return out;
}

// Groups whose rows one pass over a batch of examinees adds: their tables'
// rows in use stay in the first cache while the batch goes by.
constexpr std::size_t kBatchGroups = 4;

PosteriorSums Posterior(const PatternTablesView& t, const std::uint8_t* patterns, double* w) {
    const std::size_t stride = t.stride;
    for (std::size_t from = 0; from < stride; from += kStripBlocks * 8) {
        switch ((stride - from) / 8) {
            case 1:
                AddRowsOfStrip<1>(t, patterns, from, w);
                break;
            case 2:
                AddRowsOfStrip<2>(t, patterns, from, w);
                break;
            case 3:
                AddRowsOfStrip<3>(t, patterns, from, w);
                break;
            default:
                AddRowsOfStrip<kStripBlocks>(t, patterns, from, w);
                break;
        }
    }
    return Normalised(stride, w);
}

void Posteriors(const PatternTablesView& t, const std::uint8_t* patterns, std::size_t count,
                double* weights, PosteriorSums* sums) {
    const std::size_t stride = t.stride;
    for (std::size_t b = 0; b < count; ++b) {
        for (std::size_t k = 0; k < stride; k += 8) {
            Store(weights + b * stride + k, Load(t.logWeight + k));
        }
    }
    // Each lane adds the groups' rows in group order, as Posterior does.
    for (std::size_t g = 0; g < t.groups; g += kBatchGroups) {
        const std::size_t last = g + kBatchGroups < t.groups ? g + kBatchGroups : t.groups;
        for (std::size_t b = 0; b < count; ++b) {
            const std::uint8_t* own = patterns + b * t.groups;
            const double* rows[kBatchGroups];
            for (std::size_t q = g; q < last; ++q) {
                rows[q - g] = t.rows + (t.firstRow[q] + own[q]) * t.stride;
            }
            double* w = weights + b * stride;
            for (std::size_t k = 0; k < stride; k += 8) {
                Vd sum = Load(w + k);
                for (std::size_t q = 0; q < last - g; ++q) sum += Load(rows[q] + k);
                Store(w + k, sum);
            }
        }
    }
    for (std::size_t b = 0; b < count; ++b) sums[b] = Normalised(stride, weights + b * stride);
}

void AddPosteriors(const PatternTablesView& t, double* sums, const std::uint8_t* patterns,
                   std::size_t count, const double* weights, const PosteriorSums* ranges) {
    // Examinee after examinee: every row of sums gets its examinees'
    // weights in their order (taking the batch group by group instead was
    // slower: an examinee's rows are apart, two with the same pattern are
    // not). Whole blocks: the weights outside the range are 0, and adding 0
    // to a sum of weights leaves it as it is.
    for (std::size_t b = 0; b < count; ++b) {
        const std::size_t from = static_cast<std::size_t>(ranges[b].first) / 8 * 8;
        const std::size_t to = static_cast<std::size_t>(ranges[b].last) / 8 * 8 + 8;
        const double* w = weights + b * t.stride;
        for (std::size_t g = 0; g < t.groups; ++g) {
            double* row = sums + (t.firstRow[g] + patterns[b * t.groups + g]) * t.stride;
            for (std::size_t k = from; k < to; k += 8) Store(row + k, Load(row + k) + Load(w + k));
        }
    }
}

// The item's objective over one block of eight points, on the
// slope-intercept form z = D (a theta + d): the curve as CurveAt forms it
// (P and Q each without a subtraction of near-equal numbers) and its
// derivatives by (a, d, c), lane by lane.
struct ObjectiveLanes {
    Vd value, gradient[3], hessian[6];  // hessian: 00 01 02 11 12 22
};

TARVO_INLINE void AddObjectiveBlock(Vd r, Vd f, Vd theta, double a, double d, double c,
                                    ObjectiveLanes& sums) {
    const Vd zero = Splat(0.0);
    const double oneMinusC = 1 - c;
    const Vd dzda = kD * theta;
    const Vd z = dzda * a + kD * d;
    const Vi ahead = z >= 0.0;
    const Vd e = Exp(Select(ahead, 0.0 - z, z));
    const Vd onePlusE = 1.0 + e;
    const Vd inverse = 1.0 / onePlusE;
    const Vd ratio = e / onePlusE;
    const Vd s = Select(ahead, inverse, ratio);
    const Vd t = Select(ahead, ratio, inverse);
    const Vd q = oneMinusC * t;
    const Vd p = c + oneMinusC * s;

    const Vd s1 = s * (1.0 - s);
    const Vd s2 = s1 * (1.0 - 2.0 * s);
    const Vd d1[3] = {oneMinusC * s1 * dzda, oneMinusC * kD * s1, t};
    const Vd d2[6] = {oneMinusC * s2 * dzda * dzda,
                      oneMinusC * kD * s2 * dzda,
                      zero - s1 * dzda,
                      (oneMinusC * kD * kD) * s2,
                      zero - kD * s1,
                      zero};
    const Vi counted = ((r == 0.0) & (f == 0.0)) == 0;
    const Vd value = r * Log(p) + f * Log(q);
    const Vd g1 = r / p - f / q;
    const Vd g2 = zero - r / (p * p) - f / (q * q);
    sums.value += Select(counted, value, zero);
    for (int u = 0; u < 3; ++u) sums.gradient[u] += Select(counted, g1 * d1[u], zero);
    int uv = 0;
    for (int u = 0; u < 3; ++u) {
        for (int v = u; v < 3; ++v, ++uv) {
            sums.hessian[uv] += Select(counted, g2 * d1[u] * d1[v] + g1 * d2[uv], zero);
        }
    }
}

ItemObjectiveSums ItemObjective(const ItemCountsView& in, double a, double d, double c) {
    ObjectiveLanes sums;
    sums.value = Splat(0.0);
    for (Vd& g : sums.gradient) g = Splat(0.0);
    for (Vd& h : sums.hessian) h = Splat(0.0);
    const std::size_t points = static_cast<std::size_t>(in.points);
    std::size_t k = 0;
    for (; k + 8 <= points; k += 8) {
        AddObjectiveBlock(Load(in.correct + k), Load(in.wrong + k), Load(in.theta + k), a, d, c,
                          sums);
    }
    if (k < points) {
        // The last points padded with counts of 0, which add nothing.
        double r[8] = {0, 0, 0, 0, 0, 0, 0, 0}, f[8] = {0, 0, 0, 0, 0, 0, 0, 0},
               theta[8] = {0, 0, 0, 0, 0, 0, 0, 0};
        for (std::size_t x = 0; k + x < points; ++x) {
            r[x] = in.correct[k + x];
            f[x] = in.wrong[k + x];
            theta[x] = in.theta[k + x];
        }
        AddObjectiveBlock(Load(r), Load(f), Load(theta), a, d, c, sums);
    }
    ItemObjectiveSums out;
    out.value = Reduce(sums.value);
    for (int u = 0; u < 3; ++u) out.gradient[u] = Reduce(sums.gradient[u]);
    int uv = 0;
    for (int u = 0; u < 3; ++u) {
        for (int v = u; v < 3; ++v, ++uv) {
            out.hessian[u][v] = Reduce(sums.hessian[uv]);
            out.hessian[v][u] = out.hessian[u][v];
        }
    }
    return out;
}

void CrossTile(const double* a, std::size_t lda, const double* b, std::size_t ldb,
               std::size_t count, double* c, std::size_t ldc) {
    static_assert(kTileRows == 4 && kTileColumns == 8);
    Vd c0 = Load(c), c1 = Load(c + ldc), c2 = Load(c + 2 * ldc), c3 = Load(c + 3 * ldc);
    for (std::size_t s = 0; s < count; ++s) {
        const Vd column = Load(b + s * ldb);
        const double* row = a + s * lda;
        c0 += row[0] * column;
        c1 += row[1] * column;
        c2 += row[2] * column;
        c3 += row[3] * column;
    }
    Store(c, c0);
    Store(c + ldc, c1);
    Store(c + 2 * ldc, c2);
    Store(c + 3 * ldc, c3);
}

template <std::size_t Kinds>
TARVO_INLINE void MeanScoresOf(const ScoreTablesView& t, const double* correct, const double* valid,
                               const double* w, int first, int last, double* out,
                               std::size_t panelStride) {
    const std::size_t blocks = t.width / 8;
    for (std::size_t block = 0; block < blocks; ++block) {
        const std::size_t at = block * 8;
        const Vd x = Load(correct + at);
        const Vi counted = (Load(valid + at) == 0.0) == 0;
        Vd sum[Kinds];
        for (std::size_t u = 0; u < Kinds; ++u) sum[u] = Splat(0.0);
        for (int k = first; k <= last; ++k) {
            const std::size_t point = static_cast<std::size_t>(k);
            const Vd e =
                Select(counted, w[k] * (x - Load(t.prob + point * t.width + at)), Splat(0.0));
            for (std::size_t u = 0; u < Kinds; ++u) {
                sum[u] += e * Load(t.factor + (point * Kinds + u) * t.width + at);
            }
        }
        for (std::size_t u = 0; u < Kinds; ++u) {
            Store(out + (u * blocks + block) * panelStride, sum[u]);
        }
    }
}

void MeanScores(const ScoreTablesView& t, const double* correct, const double* valid,
                const double* w, int first, int last, double* out, std::size_t panelStride) {
    switch (t.kinds) {
        case 1:
            MeanScoresOf<1>(t, correct, valid, w, first, last, out, panelStride);
            break;
        case 2:
            MeanScoresOf<2>(t, correct, valid, w, first, last, out, panelStride);
            break;
        default:
            MeanScoresOf<3>(t, correct, valid, w, first, last, out, panelStride);
            break;
    }
}

void ResidualRow(const double* correct, const double* valid, const double* prob, double weight,
                 std::size_t width, double* residual, double* weighted, std::size_t panelStride) {
    for (std::size_t at = 0, block = 0; at < width; at += 8, ++block) {
        const Vd x = Load(correct + at);
        const Vd v = Load(valid + at);
        const Vd p = Load(prob + at);
        Store(residual + block * panelStride, x - v * p);
        Store(weighted + block * panelStride,
              Select((v == 0.0) == 0, weight * (x - p), Splat(0.0)));
    }
}

#undef TARVO_INLINE

}  // namespace
}  // namespace tarvo::TARVO_KERNEL_NAMESPACE
