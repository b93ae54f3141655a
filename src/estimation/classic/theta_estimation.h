#pragma once

#include <cstdint>
#include <span>

namespace tarvo {

// Maximum likelihood ability of one examinee by Fisher scoring, bounded to
// -3..3. theta is the start value and receives the estimate; row holds the
// examinee's codes for items 0..n-1 and a, b, c the items' parameters (all of
// length n). seetheta comes from the information of the last pass, capped at
// 99; Nvalid counts the codes other than 9.
void EstimateTheta(double& theta, std::span<const double> a, std::span<const double> b,
                   std::span<const double> c, std::span<const std::uint8_t> row, double& seetheta,
                   std::int32_t& Nvalid);

}  // namespace tarvo
