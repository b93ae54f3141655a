// What every kernel body builds on, over the eight lanes of fast_lanes.h:
// codes widened to lanes, the sum of the lanes in one fixed order, and the
// exponential and logarithm. Included by a kernel body, once per vector
// unit, inside that unit's namespace; everything is internal to the
// including file.
//
// Only lane-by-lane IEEE operations are used, so every unit gives the same
// bits.

#include <cstdint>

namespace tarvo::TARVO_KERNEL_NAMESPACE {
namespace {

// Eight codes widened to 64-bit lanes, and as doubles: a small whole number
// k in the low bits of 2^52's pattern is the double 2^52 + k exactly.
struct Codes {
    Vi whole;
    Vd value;
};

TARVO_INLINE Codes LoadCodes(const std::uint8_t* p) {
    // The eight bytes as one number in every lane, each lane shifted to its
    // own byte: one variable shift where the unit has it.
    std::uint64_t bytes;
    __builtin_memcpy(&bytes, p, sizeof bytes);
    static constexpr std::int64_t kShifts[8] = {0, 8, 16, 24, 32, 40, 48, 56};
    const Vi whole =
        ShiftRight(SplatInt(static_cast<std::int64_t>(bytes)), LoadInt(kShifts)) & 0xFF;
    constexpr std::int64_t kTwo52Bits = 0x4330000000000000;
    const Vd value = DoubleOf(whole | kTwo52Bits) - 0x1p52;
    return {whole, value};
}

// Sums the lanes in one fixed order.
template <typename V>
TARVO_INLINE auto Reduce(const V& v) {
    return ((Lane(v, 0) + Lane(v, 1)) + (Lane(v, 2) + Lane(v, 3))) +
           ((Lane(v, 4) + Lane(v, 5)) + (Lane(v, 6) + Lane(v, 7)));
}

// exp(x): x = n ln2 + r with |r| <= ln2 / 2, e^r by its Taylor series to
// r^13 (truncation below 1e-17), scaled by 2^n through the exponent bits.
// ln2 is split so that n * kLn2High is exact for every n that occurs.
TARVO_INLINE Vd Exp(Vd x) {
    constexpr double kLog2e = 1.4426950408889634;
    constexpr double kLn2High = 6.93147180369123816490e-01;
    constexpr double kLn2Low = 1.90821492927058770002e-10;
    constexpr double kShift = 0x1.8p52;  // adding it rounds to an integer
    // Outside these bounds the response function no longer sees the value
    // (see FastExp8); comparisons with NaN are false, so NaN passes through.
    x = Min(Splat(709.0), x);  // NaN stays NaN
    x = Max(Splat(-708.0), x);
    const Vd shifted = x * kLog2e + kShift;
    const Vd n = shifted - kShift;
    const Vd r = (x - n * kLn2High) - n * kLn2Low;

    // e^r = 1 + (r + r^2 Q(r)): the small terms are summed first and the 1
    // added last. Q by Estrin's scheme: the powers of r and pairs of terms
    // evaluated side by side keep the chain of dependent operations short.
    constexpr double k2 = 1.0 / 2, k3 = k2 / 3, k4 = k3 / 4, k5 = k4 / 5, k6 = k5 / 6, k7 = k6 / 7,
                     k8 = k7 / 8, k9 = k8 / 9, k10 = k9 / 10, k11 = k10 / 11, k12 = k11 / 12,
                     k13 = k12 / 13;
    const Vd r2 = r * r;
    const Vd r4 = r2 * r2;
    const Vd r8 = r4 * r4;
    const Vd q01 = k2 + k3 * r;
    const Vd q23 = k4 + k5 * r;
    const Vd q45 = k6 + k7 * r;
    const Vd q67 = k8 + k9 * r;
    const Vd q89 = k10 + k11 * r;
    const Vd q1011 = k12 + k13 * r;
    const Vd q03 = q01 + q23 * r2;
    const Vd q47 = q45 + q67 * r2;
    const Vd q811 = q89 + q1011 * r2;
    const Vd q = (q03 + q47 * r4) + q811 * r8;
    const Vd p = 1.0 + (r + r2 * q);

    const Vi exponent = BitsOf(shifted) - BitsOf(Splat(kShift));
    const Vd scale = DoubleOf((exponent + 1023) << 52);
    return p * scale;
}

// log(x) for positive normal x: x = m 2^e with m in [sqrt(1/2), sqrt(2)),
// log m = 2 atanh(s) with s = (m - 1) / (m + 1), |s| <= 0.172, by its
// series to s^23 (truncation below 1e-18 of the result), and e ln2 added
// in two parts so that e * kLn2High is exact. Within about two units in the
// last place. 0 gives a large negative number, not -inf: the callers keep
// their arguments away from 0.
TARVO_INLINE Vd Log(Vd x) {
    constexpr double kLn2High = 6.93147180369123816490e-01;
    constexpr double kLn2Low = 1.90821492927058770002e-10;
    constexpr double kSqrtHalf = 0.70710678118654752440;
    constexpr std::int64_t kMantissa = 0x000FFFFFFFFFFFFF;
    constexpr std::int64_t kOneBits = 0x3FF0000000000000;
    constexpr std::int64_t kTwo52Bits = 0x4330000000000000;
    const Vi bits = BitsOf(x);
    // m in [1, 2), halved when above sqrt(2) (one more in the exponent).
    Vd m = DoubleOf((bits & kMantissa) | kOneBits);
    const Vi biased = ShiftRight(bits, SplatInt(52)) & 0x7FF;
    Vd e = DoubleOf(biased | kTwo52Bits) - (0x1p52 + 1023.0);
    const Vi high = m * kSqrtHalf > 1.0;
    m = Select(high, m * 0.5, m);
    e = Select(high, e + 1.0, e);
    const Vd s = (m - 1.0) / (m + 1.0);
    const Vd s2 = s * s;
    const Vd s4 = s2 * s2;
    const Vd s8 = s4 * s4;
    // 1 + s2 / 3 + s4 / 5 + ... + s22 / 23, small terms first (Estrin).
    const Vd t01 = (1.0 / 3) + (1.0 / 5) * s2;
    const Vd t23 = (1.0 / 7) + (1.0 / 9) * s2;
    const Vd t45 = (1.0 / 11) + (1.0 / 13) * s2;
    const Vd t67 = (1.0 / 15) + (1.0 / 17) * s2;
    const Vd t89 = (1.0 / 19) + (1.0 / 21) * s2;
    const Vd t10 = Splat(1.0 / 23);
    const Vd t03 = t01 + t23 * s4;
    const Vd t47 = t45 + t67 * s4;
    const Vd t810 = t89 + t10 * s4;
    const Vd tail = s2 * ((t03 + t47 * s8) + t810 * (s8 * s8));
    const Vd logM = 2.0 * s + 2.0 * s * tail;
    return e * kLn2High + (e * kLn2Low + logM);
}

}  // namespace
}  // namespace tarvo::TARVO_KERNEL_NAMESPACE
