// The fast kernels, written once over eight-lane values (fast_lanes.h) and
// compiled once per vector unit (see fast_kernels_*.cpp). Each including
// file defines TARVO_KERNEL_NAMESPACE first, so the copies never meet at
// link time; everything here is internal to the including file and nothing
// from the standard library is instantiated in it, so no code built for a
// wider unit can stand in for the code of a narrower one.
//
// Only lane-by-lane IEEE operations and sums in a fixed order are used (no
// fused multiply-add, no approximate reciprocals), so every unit produces
// the same bits.

#include <cstddef>
#include <cstdint>

#include "core/model_constants.h"
#include "estimation/kernels/fast_kernel_types.h"
#include "estimation/kernels/fast_lanes.h"
#include "estimation/kernels/lane_math.h"

namespace tarvo::TARVO_KERNEL_NAMESPACE {
namespace {

#define TARVO_LAMBDA_INLINE __attribute__((always_inline))

// The eight lanes for BoundProbability.
struct VectorLanes {
    static TARVO_INLINE Vd Splat(double x) { return TARVO_KERNEL_NAMESPACE::Splat(x); }
    static TARVO_INLINE Vd Max(Vd x, Vd y) { return TARVO_KERNEL_NAMESPACE::Max(x, y); }
    static TARVO_INLINE Vd Min(Vd x, Vd y) { return TARVO_KERNEL_NAMESPACE::Min(x, y); }
};

// The bounded 3PL probability, as ProbCorrect.
TARVO_INLINE Vd Prob(Vd z, Vd c, Vd oneMinusC) {
    return BoundProbability<VectorLanes>(c + oneMinusC / (1.0 + Exp(z)));
}

// Calls body(codes, first) for every full group of eight, then once for the
// rest padded with kNoResponse.
template <typename Body>
TARVO_INLINE void ForGroups(const std::uint8_t* codes, std::size_t count, Body body) {
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) body(LoadCodes(codes + i), i);
    if (i < count) {
        std::uint8_t rest[8];
        for (std::uint8_t& code : rest) code = kNoResponse;
        for (std::size_t k = 0; i + k < count; ++k) rest[k] = codes[i + k];
        body(LoadCodes(rest), i);
    }
}

// Eight abilities from first, padded with zeros beyond count.
TARVO_INLINE Vd LoadAbilities(const double* theta, std::size_t first, std::size_t count) {
    if (first + 8 <= count) return Load(theta + first);
    double rest[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    for (std::size_t k = 0; first + k < count; ++k) rest[k] = theta[first + k];
    return Load(rest);
}

// The ability pass sums of eight examinees, one per lane: lane k has
// ability theta[k] and its codes interleaved in laneCodes (item i of lane k
// at i * 8 + k). Each lane sums its examinee's items in item order, so an
// examinee's sums do not depend on the lane or on the other examinees.
void ThetaPass(const double* theta, const ThetaTermsView& items, const std::uint8_t* laneCodes,
               PassSums* sums) {
    const Vd zero = Splat(0.0);
    const Vd abilities = Load(theta);
    Vd score = zero;
    Vd info = zero;
    for (std::size_t i = 0; i < items.count; ++i) {
        const Codes codes = LoadCodes(laneCodes + i * 8);
        const Vd u = codes.value;
        const double c = items.c[i];
        const Vd p =
            Prob(items.negDa[i] * (abilities - items.b[i]), Splat(c), Splat(items.oneMinusC[i]));
        const Vd inverseP = 1.0 / p;
        const Vd g = (p - c) * items.inverseOneMinusC[i];
        const Vd scoreTerm = items.scoreA[i] * (u - p) * g * inverseP;
        const Vd infoTerm = items.infoA[i] * (inverseP - 1.0) * (g * g);  // (1 - P) / P
        const Vi valid = codes.whole != kNoResponse;
        score += Select(valid, scoreTerm, zero);
        info += Select(valid, infoTerm, zero);
    }
    for (int k = 0; k < 8; ++k) sums[k] = {Lane(score, k), Lane(info, k)};
}

// The parts every item pass needs for one group of examinees.
struct ItemGroup {
    Vd u, d, p, inverseP, pMinusC, qOverP;
};

template <typename Terms>
TARVO_INLINE PassSums ItemPass(const ItemPassInput& in, Terms terms) {
    const Vd zero = Splat(0.0);
    const double negDa = -kD * in.a;
    const double oneMinusC = 1 - in.c;
    Vd score = zero;
    Vd info = zero;
    ForGroups(in.codes, in.count, [&](const Codes& codes, std::size_t j) TARVO_LAMBDA_INLINE {
        const Vd u = codes.value;
        ItemGroup g;
        g.u = u;
        g.d = LoadAbilities(in.theta, j, in.count) - in.b;
        g.p = Prob(negDa * g.d, Splat(in.c), Splat(oneMinusC));
        g.inverseP = 1.0 / g.p;
        g.pMinusC = g.p - in.c;
        g.qOverP = g.inverseP - 1.0;  // (1 - P) / P
        Vd scoreTerm, infoTerm;
        terms(g, scoreTerm, infoTerm);
        const Vi valid = codes.whole != kNoResponse;
        score += Select(valid, scoreTerm, zero);
        info += Select(valid, infoTerm, zero);
    });
    return {Reduce(score), Reduce(info)};
}

// With w the derivative of P by the parameter, score w (u - P) / (P Q) and
// information w^2 / (P Q), Q cancelled where w carries it.
PassSums ItemPassA(const ItemPassInput& in) {
    const double k = kD / (1 - in.c);
    return ItemPass(in, [k](const ItemGroup& g, Vd& score, Vd& info) TARVO_LAMBDA_INLINE {
        const Vd w = k * g.d * g.pMinusC;  // w / Q
        score = w * (g.u - g.p) * g.inverseP;
        info = w * w * g.qOverP;
    });
}

PassSums ItemPassB(const ItemPassInput& in) {
    const double k = -kD * in.a / (1 - in.c);
    return ItemPass(in, [k](const ItemGroup& g, Vd& score, Vd& info) TARVO_LAMBDA_INLINE {
        const Vd w = k * g.pMinusC;  // w / Q
        score = w * (g.u - g.p) * g.inverseP;
        info = w * w * g.qOverP;
    });
}

PassSums ItemPassC(const ItemPassInput& in) {
    const double k = 1 / (1 - in.c);
    return ItemPass(in, [k](const ItemGroup& g, Vd& score, Vd& info) TARVO_LAMBDA_INLINE {
        score = k * (g.u - g.p) * g.inverseP;
        info = k * k * g.qOverP;
    });
}

FitSums Fit(const ItemPassInput& in) {
    const Vd zero = Splat(0.0);
    const double negDa = -kD * in.a;
    const double oneMinusC = 1 - in.c;
    Vd squares = zero;
    Vi valid = SplatInt(0);
    ForGroups(in.codes, in.count, [&](const Codes& codes, std::size_t j) TARVO_LAMBDA_INLINE {
        const Vd u = codes.value;
        const Vd p = Prob(negDa * (LoadAbilities(in.theta, j, in.count) - in.b), Splat(in.c),
                          Splat(oneMinusC));
        const Vd residual = u - p;
        const Vi isValid = codes.whole != kNoResponse;
        squares += Select(isValid, residual * residual, zero);
        valid -= isValid;  // a true comparison is -1
    });
    return {Reduce(squares), static_cast<std::int32_t>(Reduce(valid))};
}

void Exp8(const double* x, double* result) {
    const Vd e = Exp(Load(x));
    for (int k = 0; k < 8; ++k) result[k] = Lane(e, k);
}

#undef TARVO_INLINE
#undef TARVO_LAMBDA_INLINE

}  // namespace
}  // namespace tarvo::TARVO_KERNEL_NAMESPACE
