#include "fit/residual_correlations.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

#include "parallel/worker_pool.h"

namespace tarvo::fit {

namespace {

constexpr std::size_t kRowStep = 4;       // items of the product formed together
constexpr std::size_t kColumnTile = 256;  // columns per pass over a block's rows
constexpr std::size_t kBlockRows = 64;    // rows per pass over a tile of columns
constexpr std::size_t kItemsPerSumTask = 32;

}  // namespace

ResidualCorrelations::ResidualCorrelations(std::size_t items)
    : items_(items),
      padded_((items + kRowStep - 1) / kRowStep * kRowStep),
      products_(padded_ * padded_, 0.0),
      sum_(items, 0.0),
      square_(items, 0.0),
      count_(items, 0.0) {}

namespace {

// Rows i..i+3 of the products (n columns) over rows residual rows of n.
[[gnu::always_inline]] inline void AddProductRows(double* products, std::size_t n, std::size_t i,
                                                  const double* residuals, std::size_t rows) {
    double* __restrict s0 = products + i * n;
    double* __restrict s1 = s0 + n;
    double* __restrict s2 = s1 + n;
    double* __restrict s3 = s2 + n;
    // Rows a block at a time and columns a tile at a time, so that a tile
    // of the block's rows stays in the cache. Columns from i on: the four
    // rows' parts below the diagonal are formed too and never read.
    for (std::size_t blockFirst = 0; blockFirst < rows; blockFirst += kBlockRows) {
        const std::size_t blockEnd = std::min(rows, blockFirst + kBlockRows);
        for (std::size_t first = i; first < n; first += kColumnTile) {
            const std::size_t last = std::min(n, first + kColumnTile);
            for (std::size_t j = blockFirst; j < blockEnd; ++j) {
                const double* __restrict d = residuals + j * n;
                const double d0 = d[i], d1 = d[i + 1], d2 = d[i + 2], d3 = d[i + 3];
                for (std::size_t k = first; k < last; ++k) {
                    const double dk = d[k];
                    s0[k] += d0 * dk;
                    s1[k] += d1 * dk;
                    s2[k] += d2 * dk;
                    s3[k] += d3 * dk;
                }
            }
        }
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
// The same loops built for AVX2: wider registers, the same additions and
// multiplications in the same order, so the same bits. Chosen at the call
// by what the processor has (a plain branch, no resolver run while the
// program is loaded, which the sanitizers' builds cannot take).
[[gnu::target("avx2")]] void AddProductRowsAvx2(double* products, std::size_t n, std::size_t i,
                                                const double* residuals, std::size_t rows) {
    AddProductRows(products, n, i, residuals, rows);
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

}  // namespace

void ResidualCorrelations::AddProducts(std::size_t i, const double* residuals, std::size_t rows) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (HasAvx2()) {
        AddProductRowsAvx2(products_.data(), padded_, i, residuals, rows);
        return;
    }
#endif
    AddProductRows(products_.data(), padded_, i, residuals, rows);
}

void ResidualCorrelations::AddSums(std::size_t first, std::size_t last, const double* residuals,
                                   const std::uint8_t* valid, std::size_t rows) {
    const bool anyMissing = !missedSum_.empty();
    for (std::size_t j = 0; j < rows; ++j) {
        const double* d = residuals + j * items_;
        const std::uint8_t* v = valid + j * items_;
        for (std::size_t k = first; k < last; ++k) {
            sum_[k] += d[k];
            square_[k] += d[k] * d[k];
            count_[k] += v[k];
        }
        if (!anyMissing) continue;
        for (std::size_t k = first; k < last; ++k) {
            if (v[k]) continue;
            double* sum = missedSum_.data() + k * items_;
            double* square = missedSquare_.data() + k * items_;
            double* count = missedCount_.data() + k * items_;
            for (std::size_t i = 0; i < items_; ++i) {
                sum[i] += d[i];
                square[i] += d[i] * d[i];
                count[i] += v[i];
            }
        }
    }
}

void ResidualCorrelations::AddRows(std::span<const double> residuals,
                                   std::span<const std::uint8_t> valid, std::size_t rows,
                                   WorkerPool* pool) {
    assert(residuals.size() >= rows * items_ && valid.size() >= rows * items_);
    if (items_ == 0 || rows == 0) return;
    const std::uint8_t* v = valid.data();
    if (missedSum_.empty() && std::find(v, v + rows * items_, 0) != v + rows * items_) {
        missedSum_.assign(items_ * items_, 0.0);
        missedSquare_.assign(items_ * items_, 0.0);
        missedCount_.assign(items_ * items_, 0.0);
    }
    const double* rowsOfProducts = residuals.data();
    if (padded_ != items_) {
        padding_.assign(rows * padded_, 0.0);
        for (std::size_t j = 0; j < rows; ++j) {
            std::copy_n(residuals.data() + j * items_, items_, padding_.data() + j * padded_);
        }
        rowsOfProducts = padding_.data();
    }
    // The items' sums in ranges first, then the products' rows, the widest
    // first, so that the tasks handed out last are the smallest: each task
    // writes sums of its own.
    const std::size_t productTasks = padded_ / kRowStep;
    const std::size_t sumTasks = (items_ + kItemsPerSumTask - 1) / kItemsPerSumTask;
    auto task = [&](std::size_t k) {
        if (k >= sumTasks) {
            AddProducts((k - sumTasks) * kRowStep, rowsOfProducts, rows);
            return;
        }
        const std::size_t first = k * kItemsPerSumTask;
        AddSums(first, std::min(items_, first + kItemsPerSumTask), residuals.data(), v, rows);
    };
    if (pool != nullptr) {
        pool->ForEach(productTasks + sumTasks, task);
    } else {
        for (std::size_t k = 0; k < productTasks + sumTasks; ++k) task(k);
    }
}

void ResidualCorrelations::Correlations(std::span<double> q3) const {
    assert(q3.size() == items_ * items_);
    const bool anyMissing = !missedSum_.empty();
    auto missed = [&](const std::vector<double>& table, std::size_t k, std::size_t i) {
        return anyMissing ? table[k * items_ + i] : 0.0;
    };
    for (std::size_t i = 0; i < items_; ++i) {
        q3[i * items_ + i] = std::numeric_limits<double>::quiet_NaN();
        for (std::size_t k = i + 1; k < items_; ++k) {
            // Over the examinees who answered both items.
            const double n = count_[i] - missed(missedCount_, k, i);
            const double sumI = sum_[i] - missed(missedSum_, k, i);
            const double sumK = sum_[k] - missed(missedSum_, i, k);
            const double squareI = square_[i] - missed(missedSquare_, k, i);
            const double squareK = square_[k] - missed(missedSquare_, i, k);
            const double covariance = products_[i * padded_ + k] - sumI * sumK / n;
            const double spread = (squareI - sumI * sumI / n) * (squareK - sumK * sumK / n);
            const double r = n >= 2 && spread > 0 ? covariance / std::sqrt(spread)
                                                  : std::numeric_limits<double>::quiet_NaN();
            q3[i * items_ + k] = r;
            q3[k * items_ + i] = r;
        }
    }
}

}  // namespace tarvo::fit
