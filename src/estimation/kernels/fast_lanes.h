// Eight double lanes and eight 64-bit integer lanes for the fast kernels,
// made of the widest vectors the unit being compiled has: one 512-bit
// vector, two 256-bit or four 128-bit ones. Lane k of every value is the
// same lane however it is split, and every operation works lane by lane,
// so the kernels give the same bits on every unit.
//
// Included only by a kernel body (fast_kernels_body.h, mml_kernels_body.h),
// once per vector unit, inside that unit's own namespace
// (TARVO_KERNEL_NAMESPACE); everything is internal to the including file.

#include <cstdint>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace tarvo::TARVO_KERNEL_NAMESPACE {
namespace {

#define TARVO_INLINE inline __attribute__((always_inline))

#if defined(__AVX512F__)
constexpr int kNative = 8;
#elif defined(__AVX__)
constexpr int kNative = 4;
#else
constexpr int kNative = 2;
#endif
constexpr int kParts = 8 / kNative;

typedef double Nd __attribute__((vector_size(kNative * 8)));
typedef std::int64_t Ni __attribute__((vector_size(kNative * 8)));
typedef std::uint64_t Nu __attribute__((vector_size(kNative * 8)));

struct Vd {
    Nd part[kParts];
};
struct Vi {
    Ni part[kParts];
};

#define TARVO_LANEWISE(Result, expression)                     \
    Result r;                                                  \
    for (int k = 0; k < kParts; ++k) r.part[k] = (expression); \
    return r

TARVO_INLINE Vd Splat(double x) { TARVO_LANEWISE(Vd, Nd{} + x); }
TARVO_INLINE Vi SplatInt(std::int64_t x) { TARVO_LANEWISE(Vi, Ni{} + x); }

template <typename N, typename T>
TARVO_INLINE N LoadPart(const T* p) {
    N part;
    __builtin_memcpy(&part, p, sizeof part);
    return part;
}
TARVO_INLINE Vd Load(const double* p) { TARVO_LANEWISE(Vd, LoadPart<Nd>(p + k * kNative)); }
TARVO_INLINE void Store(double* p, const Vd& v) {
    for (int k = 0; k < kParts; ++k)
        __builtin_memcpy(p + k * kNative, &v.part[k], sizeof v.part[k]);
}
TARVO_INLINE Vi LoadInt(const std::int64_t* p) {
    TARVO_LANEWISE(Vi, LoadPart<Ni>(p + k * kNative));
}
TARVO_INLINE double Lane(const Vd& v, int k) { return v.part[k / kNative][k % kNative]; }
TARVO_INLINE std::int64_t Lane(const Vi& v, int k) { return v.part[k / kNative][k % kNative]; }

TARVO_INLINE Vd operator+(Vd a, Vd b) { TARVO_LANEWISE(Vd, a.part[k] + b.part[k]); }
TARVO_INLINE Vd operator-(Vd a, Vd b) { TARVO_LANEWISE(Vd, a.part[k] - b.part[k]); }
TARVO_INLINE Vd operator*(Vd a, Vd b) { TARVO_LANEWISE(Vd, a.part[k] * b.part[k]); }
TARVO_INLINE Vd operator/(Vd a, Vd b) { TARVO_LANEWISE(Vd, a.part[k] / b.part[k]); }
TARVO_INLINE Vd operator+(Vd a, double b) { TARVO_LANEWISE(Vd, a.part[k] + b); }
TARVO_INLINE Vd operator-(Vd a, double b) { TARVO_LANEWISE(Vd, a.part[k] - b); }
TARVO_INLINE Vd operator*(Vd a, double b) { TARVO_LANEWISE(Vd, a.part[k] * b); }
TARVO_INLINE Vd operator+(double a, Vd b) { TARVO_LANEWISE(Vd, a + b.part[k]); }
TARVO_INLINE Vd operator-(double a, Vd b) { TARVO_LANEWISE(Vd, a - b.part[k]); }
TARVO_INLINE Vd operator*(double a, Vd b) { TARVO_LANEWISE(Vd, a * b.part[k]); }
TARVO_INLINE Vd operator/(double a, Vd b) { TARVO_LANEWISE(Vd, a / b.part[k]); }
TARVO_INLINE Vd& operator+=(Vd& a, Vd b) { return a = a + b; }

TARVO_INLINE Vi operator+(Vi a, Vi b) { TARVO_LANEWISE(Vi, a.part[k] + b.part[k]); }
TARVO_INLINE Vi operator-(Vi a, Vi b) { TARVO_LANEWISE(Vi, a.part[k] - b.part[k]); }
TARVO_INLINE Vi operator+(Vi a, std::int64_t b) { TARVO_LANEWISE(Vi, a.part[k] + b); }
TARVO_INLINE Vi operator&(Vi a, std::int64_t b) { TARVO_LANEWISE(Vi, a.part[k] & b); }
TARVO_INLINE Vi operator|(Vi a, std::int64_t b) { TARVO_LANEWISE(Vi, a.part[k] | b); }
TARVO_INLINE Vi operator<<(Vi a, int b) { TARVO_LANEWISE(Vi, a.part[k] << b); }
// A logical shift: zeros come in from the left.
TARVO_INLINE Vi ShiftRight(Vi a, Vi b) { TARVO_LANEWISE(Vi, (Ni)((Nu)a.part[k] >> (Nu)b.part[k])); }
TARVO_INLINE Vi& operator-=(Vi& a, Vi b) { return a = a - b; }

// Comparisons give -1 in a lane where they hold and 0 elsewhere; any
// comparison with NaN is false.
TARVO_INLINE Vi operator!=(Vi a, std::int64_t b) { TARVO_LANEWISE(Vi, a.part[k] != b); }
TARVO_INLINE Vi operator==(Vi a, std::int64_t b) { TARVO_LANEWISE(Vi, a.part[k] == b); }
TARVO_INLINE Vi operator>(Vd a, double b) { TARVO_LANEWISE(Vi, a.part[k] > b); }
TARVO_INLINE Vi operator>=(Vd a, double b) { TARVO_LANEWISE(Vi, a.part[k] >= b); }
TARVO_INLINE Vi operator==(Vd a, double b) { TARVO_LANEWISE(Vi, a.part[k] == b); }
TARVO_INLINE Vi operator&(Vi a, Vi b) { TARVO_LANEWISE(Vi, a.part[k] & b.part[k]); }
TARVO_INLINE Vi operator|(Vi a, Vi b) { TARVO_LANEWISE(Vi, a.part[k] | b.part[k]); }

// mask ? a : b, lane by lane.
TARVO_INLINE Vd Select(Vi mask, Vd a, Vd b) {
    TARVO_LANEWISE(Vd, mask.part[k] ? a.part[k] : b.part[k]);
}

TARVO_INLINE Vi BitsOf(Vd v) { TARVO_LANEWISE(Vi, __builtin_bit_cast(Ni, v.part[k])); }
TARVO_INLINE Vd DoubleOf(Vi v) { TARVO_LANEWISE(Vd, __builtin_bit_cast(Nd, v.part[k])); }

// Min(a, b) is a < b ? a : b and Max(a, b) is a > b ? a : b, lane by lane:
// with NaN in either, b. These are exactly the processor's min and max
// instructions, which the compiler does not pick for the plain expression.
// (AVX-512 takes the masked forms with every lane selected: the plain ones
// leave a placeholder operand that GCC 12 reports as uninitialised.)
#if defined(__AVX512F__)
TARVO_INLINE Nd MinOf(Nd a, Nd b) {
    return (Nd)_mm512_mask_min_pd((__m512d)a, static_cast<__mmask8>(0xFF), (__m512d)a, (__m512d)b);
}
TARVO_INLINE Nd MaxOf(Nd a, Nd b) {
    return (Nd)_mm512_mask_max_pd((__m512d)a, static_cast<__mmask8>(0xFF), (__m512d)a, (__m512d)b);
}
#elif defined(__AVX__)
TARVO_INLINE Nd MinOf(Nd a, Nd b) { return (Nd)_mm256_min_pd((__m256d)a, (__m256d)b); }
TARVO_INLINE Nd MaxOf(Nd a, Nd b) { return (Nd)_mm256_max_pd((__m256d)a, (__m256d)b); }
#elif defined(__SSE2__)
TARVO_INLINE Nd MinOf(Nd a, Nd b) { return (Nd)_mm_min_pd((__m128d)a, (__m128d)b); }
TARVO_INLINE Nd MaxOf(Nd a, Nd b) { return (Nd)_mm_max_pd((__m128d)a, (__m128d)b); }
#else
TARVO_INLINE Nd MinOf(Nd a, Nd b) { return a < b ? a : b; }
TARVO_INLINE Nd MaxOf(Nd a, Nd b) { return a > b ? a : b; }
#endif
TARVO_INLINE Vd Min(Vd a, Vd b) { TARVO_LANEWISE(Vd, MinOf(a.part[k], b.part[k])); }
TARVO_INLINE Vd Max(Vd a, Vd b) { TARVO_LANEWISE(Vd, MaxOf(a.part[k], b.part[k])); }

#undef TARVO_LANEWISE

}  // namespace
}  // namespace tarvo::TARVO_KERNEL_NAMESPACE
