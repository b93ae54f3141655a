#pragma once

// The plain types the fast kernels exchange with the rest of the engine.
// Kept free of library containers: the kernels are compiled once per vector
// unit and must not instantiate shared library code with a unit's options.

#include <cstddef>
#include <cstdint>

namespace tarvo {

// The sums of the scoring passes of the fast arithmetic, formed eight at a
// time. An item pass gives lane k the examinees k, k + 8, k + 16, ... and
// adds the eight lanes in one fixed order at the end; an ability pass gives
// each lane one examinee. Every vector unit performs the same operations in
// the same order, so all of them give the same bits; none uses fused
// multiply-add.
inline constexpr std::size_t kLanes = 8;

struct PassSums {
    double score = 0;
    double info = 0;
};

struct FitSums {
    double squares = 0;  // sum of squared residuals over the valid codes
    std::int32_t valid = 0;
};

// Item terms of the ability loop; each array holds one term per item.
struct ThetaTermsView {
    const double* negDa;  // -D a
    const double* b;
    const double* c;
    const double* oneMinusC;         // 1 - c
    const double* scoreA;            // D a with D held in single precision
    const double* infoA;             // D D a a
    const double* inverseOneMinusC;  // 1 / (1 - c)
    std::size_t count;               // items
};

// One item's codes and the abilities of all examinees, with the item's
// parameters as the pass starts.
struct ItemPassInput {
    const double* theta;
    const std::uint8_t* codes;
    std::size_t count;
    double a, b, c;
};

struct FastKernels {
    const char* name;
    // Score and information of theta over the valid codes of kLanes
    // examinees at once, one per lane: lane k at theta[k], its codes
    // interleaved in laneCodes (item i of lane k at i * kLanes + k). Each
    // lane sums its own examinee's items in item order.
    void (*thetaPass)(const double* theta, const ThetaTermsView& items,
                      const std::uint8_t* laneCodes, PassSums* sums);
    // Score and information of one item parameter over the valid codes.
    PassSums (*itemPassA)(const ItemPassInput& input);
    PassSums (*itemPassB)(const ItemPassInput& input);
    PassSums (*itemPassC)(const ItemPassInput& input);
    FitSums (*fit)(const ItemPassInput& input);
    // The kernels' exponential of eight values (see FastExp8).
    void (*exp8)(const double* x, double* result);
};

}  // namespace tarvo
