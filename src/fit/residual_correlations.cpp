#include "fit/residual_correlations.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

namespace tarvo::fit {

namespace {

constexpr std::size_t kRowStep = 4;       // items of the product formed together
constexpr std::size_t kColumnTile = 256;  // columns per pass over a block's rows

}  // namespace

ResidualCorrelations::ResidualCorrelations(std::size_t items)
    : items_(items),
      padded_((items + kRowStep - 1) / kRowStep * kRowStep),
      products_(padded_ * padded_, 0.0),
      sum_(items, 0.0),
      square_(items, 0.0),
      count_(items, 0.0) {}

void ResidualCorrelations::AddRows(std::span<const double> residuals,
                                   std::span<const std::uint8_t> valid, std::size_t rows) {
    assert(residuals.size() >= rows * items_ && valid.size() >= rows * items_);
    if (items_ == 0 || rows == 0) return;
    bool anyMissing = false;
    for (std::size_t j = 0; j < rows; ++j) {
        const double* d = residuals.data() + j * items_;
        const std::uint8_t* v = valid.data() + j * items_;
        for (std::size_t i = 0; i < items_; ++i) {
            sum_[i] += d[i];
            square_[i] += d[i] * d[i];
            count_[i] += v[i];
            anyMissing |= v[i] == 0;
        }
    }
    if (anyMissing) AddMissing(residuals.data(), valid.data(), rows);
    if (padded_ == items_) {
        AddProducts(residuals.data(), rows);
        return;
    }
    padding_.assign(rows * padded_, 0.0);
    for (std::size_t j = 0; j < rows; ++j) {
        std::copy_n(residuals.data() + j * items_, items_, padding_.data() + j * padded_);
    }
    AddProducts(padding_.data(), rows);
}

void ResidualCorrelations::AddProducts(const double* residuals, std::size_t rows) {
    const std::size_t n = padded_;
    for (std::size_t i = 0; i < n; i += kRowStep) {
        double* __restrict s0 = products_.data() + i * n;
        double* __restrict s1 = s0 + n;
        double* __restrict s2 = s1 + n;
        double* __restrict s3 = s2 + n;
        // Columns from i on: the four rows' parts below the diagonal are
        // formed too and never read.
        for (std::size_t first = i; first < n; first += kColumnTile) {
            const std::size_t last = std::min(n, first + kColumnTile);
            for (std::size_t j = 0; j < rows; ++j) {
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

void ResidualCorrelations::AddMissing(const double* residuals, const std::uint8_t* valid,
                                      std::size_t rows) {
    if (missedSum_.empty()) {
        missedSum_.assign(items_ * items_, 0.0);
        missedSquare_.assign(items_ * items_, 0.0);
        missedCount_.assign(items_ * items_, 0.0);
    }
    for (std::size_t j = 0; j < rows; ++j) {
        const double* d = residuals + j * items_;
        const std::uint8_t* v = valid + j * items_;
        for (std::size_t k = 0; k < items_; ++k) {
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
