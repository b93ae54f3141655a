#pragma once

// The plain types the marginal estimator's kernels exchange with it. Kept
// free of library containers, as the fast kernels' types: the kernels are
// compiled once per vector unit.

#include <cstddef>
#include <cstdint>

namespace tarvo {

// Point tables of the marginal kernels hold their points in rows of
// kMarginalLanes-multiples (see PointStride); the entries past the last
// point are padding the kernels keep out of every result.
inline constexpr std::size_t kMarginalLanes = 8;
constexpr std::size_t PointStride(int points) {
    return (static_cast<std::size_t>(points) + kMarginalLanes - 1) / kMarginalLanes *
           kMarginalLanes;
}

// A posterior weight below exp(kNegligibleLogWeight) of the largest is left
// out (set to 0), outside the range of points it bounds.
inline constexpr double kNegligibleLogWeight = -40;
// The log weight of a padding point: far below every real one, and finite
// so that differences stay numbers.
inline constexpr double kPaddingLogWeight = -1e300;

// The log-likelihood table of the examinees' response patterns: groups of
// items, each with its patterns, one row of stride entries per pattern. A
// group's rows follow each other from its first row; groups may have
// different numbers of patterns (items of different numbers of categories).
struct PatternTablesView {
    const double* rows;           // group g, pattern p at rows + (firstRow[g] + p) * stride
    const std::size_t* firstRow;  // per group
    const double* logWeight;      // the quadrature's log weights, padding at kPaddingLogWeight
    std::size_t groups;
    std::size_t stride;  // a multiple of kMarginalLanes
};

// One examinee's posterior before its scaling: the largest log weight, the
// sum of the kept weights relative to it, and the kept points.
struct PosteriorSums {
    double top = 0;
    double sum = 0;
    int first = 0, last = -1;
};

// One item's row of the expected counts, with the quadrature.
struct ItemCountsView {
    const double* correct;
    const double* wrong;
    const double* theta;
    int points;
};

// An item's expected complete-data log-likelihood with its gradient and
// Hessian by (a, b, c); the Hessian's upper triangle.
struct ItemObjectiveSums {
    double value = 0;
    double gradient[3] = {0, 0, 0};
    double hessian[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
};

// The rows and columns of one tile of a product over examinees.
inline constexpr std::size_t kTileRows = 4;
inline constexpr std::size_t kTileColumns = 8;

// The operands of a product over examinees are held in panels: a table of
// rows (examinees) by columns (a multiple of kTileColumns) is stored as its
// column blocks of kTileColumns, one after the other, each block row after
// row. A tile then reads its operands' rows from consecutive addresses,
// which keeps them in the core's first cache.
constexpr std::size_t PanelIndex(std::size_t rows, std::size_t row, std::size_t column) {
    return column / kTileColumns * rows * kTileColumns + row * kTileColumns + column % kTileColumns;
}

// One examinee's codes over the items as numbers (1 correct, else 0; 1
// valid, else 0) and the item tables of the information: P of every item
// at every point (point k's row at k * width) and its score factors by
// parameter kind (point k, kind slot u at (k * kinds + u) * width); width
// is a multiple of kMarginalLanes, the columns past the last item 0.
struct ScoreTablesView {
    const double* prob;
    const double* factor;
    std::size_t width;
    std::size_t kinds;  // 1 to 3
};

struct MarginalKernels {
    const char* name;
    // The posterior weights of an examinee with these patterns (one per
    // group) into weights (stride entries): the quadrature's log weights
    // plus the examinee's table rows, group after group, then exp of the
    // difference to the largest inside the kept range, 0 outside, scaled to
    // sum to 1. The examinee's marginal log-likelihood is top + log(sum).
    PosteriorSums (*posterior)(const PatternTablesView& tables, const std::uint8_t* patterns,
                               double* weights);
    // The posteriors of count examinees at once, each as posterior gives
    // it: patterns one row of groups per examinee, weights count rows of
    // stride, and each examinee's sums. The rows are taken a few groups at
    // a time for the whole batch, so that those groups' rows in use stay in
    // the first cache.
    void (*posteriors)(const PatternTablesView& tables, const std::uint8_t* patterns,
                       std::size_t count, double* weights, PosteriorSums* sums);
    // Adds each of count examinees' weights (their points first..last) to
    // its row of every group in sums (laid out as tables.rows), group after
    // group; every row gets its examinees' weights in their order.
    void (*addPosteriors)(const PatternTablesView& tables, double* sums,
                          const std::uint8_t* patterns, std::size_t count, const double* weights,
                          const PosteriorSums* ranges);
    // sum over the points of correct log P + wrong log Q with its exact
    // derivatives; points with neither count add nothing.
    ItemObjectiveSums (*itemObjective)(const ItemCountsView& counts, double a, double b, double c);
    // One tile of a product over examinees: for r < kTileRows and
    // l < kTileColumns, c[r * ldc + l] += sum over s < count of
    // a[s * lda + r] * b[s * ldb + l], each entry added to examinee after
    // examinee.
    void (*crossTile)(const double* a, std::size_t lda, const double* b, std::size_t ldb,
                      std::size_t count, double* c, std::size_t ldc);
    // An examinee's posterior mean scores: for every item and kind u, the
    // sum over the points first..last of w[k] v (x - P_k) times the kind's
    // factor at k, added point after point from 0; kind u's items into
    // the panel row out + u * width / kTileColumns * panelStride.
    void (*meanScores)(const ScoreTablesView& tables, const double* correct, const double* valid,
                       const double* weights, int first, int last, double* out,
                       std::size_t panelStride);
    // An examinee's residuals x - v P_k and weighted residuals
    // v weight (x - P_k) at one point (prob, that point's row of P) into
    // panel rows (the items' block t at residual + t * panelStride).
    void (*residualRow)(const double* correct, const double* valid, const double* prob,
                        double weight, std::size_t width, double* residual, double* weighted,
                        std::size_t panelStride);
};

}  // namespace tarvo
