#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tarvo {
class WorkerPool;
}

namespace tarvo::fit {

// Yen's Q3 (Yen 1984): the correlation over examinees of two items'
// residuals x - P(theta), for every pair of items, over the examinees who
// answered both (pairwise). Rows of residuals arrive in blocks; a missing
// response arrives as residual 0 with valid 0.
//
// The sum of products over a block is the hot part (examinees x items^2 / 2
// multiplications): it runs four items at a time along the residual rows,
// in tiles of columns that stay in the cache. Missing responses are few, so
// the pairwise sums, counts and squares are formed from each item's whole
// sums minus what the examinees who missed the other item contributed.
//
// With a pool, the items are shared out among its threads: every sum
// belongs to one thread and takes the rows in their order, so the figures
// are the same bits for any number of threads.
class ResidualCorrelations {
  public:
    explicit ResidualCorrelations(std::size_t items);

    // rows x items residuals and validity flags, row-major; on the pool's
    // threads when one is given.
    void AddRows(std::span<const double> residuals, std::span<const std::uint8_t> valid,
                 std::size_t rows, WorkerPool* pool = nullptr);

    // Q3 of every pair into items x items values, symmetric, NaN on the
    // diagonal and where a pair has fewer than two examinees or no spread.
    void Correlations(std::span<double> q3) const;

    std::size_t Items() const { return items_; }

  private:
    // Rows i..i+3 of the products, over rows x padded_ residuals.
    void AddProducts(std::size_t i, const double* residuals, std::size_t rows);
    // Items first..last-1: their sums, and what the examinees who missed
    // them gave every item.
    void AddSums(std::size_t first, std::size_t last, const double* residuals,
                 const std::uint8_t* valid, std::size_t rows);

    std::size_t items_;
    std::size_t padded_;                        // items rounded up to the four-row step
    std::vector<double> products_;              // sum d_i d_k at i * padded_ + k, for k >= i
    std::vector<double> sum_, square_, count_;  // per item over its valid responses
    // Only once a response is missing: what the examinees who missed item k
    // gave item i (residual, square, valid count), at k * items_ + i.
    std::vector<double> missedSum_, missedSquare_, missedCount_;
    std::vector<double> padding_;  // a block's rows widened to padded_
};

}  // namespace tarvo::fit
