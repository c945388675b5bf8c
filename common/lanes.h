// Several pixels computed in one vector register: Lanes<N> holds N doubles,
// and the helpers below are the scalar helpers applied lane by lane, with
// the same IEEE results in every lane (no contraction, NaN operands in the
// order written). The blob, ridge, edge, height-and-width and orientation
// maps, the filter bank and the index maps compute this way: two lanes wide
// on any processor, four where an x86-64 has AVX2 and eight where it has
// AVX-512 (see compute_in_lanes below).
#ifndef ZEL_LANES_H
#define ZEL_LANES_H

#include "element_access.h"

#include <stddef.h>
#include <stdint.h>
#include <string.h>


// The lane types never cross an object's boundary: every function that takes
// or returns them has internal linkage and is compiled for their width.
#pragma GCC diagnostic ignored "-Wpsabi"

// A lane kernel's source is compiled as its gateway and as each of its lane
// objects, and each uses a part of it: the gateway's input table is unused
// in a lane object, a helper of the lanes is unused in the gateway.
#ifdef __clang__
#pragma clang diagnostic ignored "-Wunused-const-variable"
#pragma clang diagnostic ignored "-Wunused-function"
#pragma clang diagnostic ignored "-Wunneeded-internal-declaration"
#endif


namespace zel {
namespace {

template <int N>
struct LaneTypes;
template <>
struct LaneTypes<1> {  // one pixel at a time, for what is left over
    typedef double Doubles;
    typedef float Floats;
    typedef int64_t Bits;
    typedef int32_t Indices;
};
template <>
struct LaneTypes<2> {
    typedef double Doubles __attribute__((vector_size(16)));
    typedef float Floats __attribute__((vector_size(8)));
    typedef int64_t Bits __attribute__((vector_size(16)));
    typedef int32_t Indices __attribute__((vector_size(8)));
};
template <>
struct LaneTypes<4> {
    typedef double Doubles __attribute__((vector_size(32)));
    typedef float Floats __attribute__((vector_size(16)));
    typedef int64_t Bits __attribute__((vector_size(32)));
    typedef int32_t Indices __attribute__((vector_size(16)));
};

template <>
struct LaneTypes<8> {
    typedef double Doubles __attribute__((vector_size(64)));
    typedef float Floats __attribute__((vector_size(32)));
    typedef int64_t Bits __attribute__((vector_size(64)));
    typedef int32_t Indices __attribute__((vector_size(32)));
};

// Singles widened in one instruction where the object is compiled for the
// instruction set: GCC's own conversion of the vector takes several (clang's
// takes one).
#if defined(__AVX2__) && !defined(__clang__)
inline LaneTypes<4>::Doubles widen(LaneTypes<4>::Floats v) { return __builtin_ia32_cvtps2pd256(v); }
#define ZEL_WIDEN_FOUR_SINGLES 1
#endif
#if defined(__AVX512F__) && !defined(__clang__)
inline LaneTypes<8>::Doubles widen(LaneTypes<8>::Floats v)
{
    return __builtin_ia32_cvtps2pd512_mask(v, LaneTypes<8>::Doubles{}, 0xff, 4);
}
#define ZEL_WIDEN_EIGHT_SINGLES 1
#endif

template <int N>
using Lanes = typename LaneTypes<N>::Doubles;

template <int N>
ZEL_ALWAYS_INLINE Lanes<N> load(const double* p)
{
    Lanes<N> v;
    memcpy(&v, p, sizeof v);
    return v;
}
// Singles widened to doubles, exactly.
template <int N>
ZEL_ALWAYS_INLINE Lanes<N> widen_singles(typename LaneTypes<N>::Floats v)
{
    if constexpr (N == 1) return v;
#ifdef ZEL_WIDEN_FOUR_SINGLES
    else if constexpr (N == 4) return widen(v);
#endif
#ifdef ZEL_WIDEN_EIGHT_SINGLES
    else if constexpr (N == 8) return widen(v);
#endif
    else return __builtin_convertvector(v, Lanes<N>);
}
template <int N>
ZEL_ALWAYS_INLINE Lanes<N> load(const float* p)
{
    typename LaneTypes<N>::Floats v;
    memcpy(&v, p, sizeof v);
    return widen_singles<N>(v);
}
template <int N, typename T>
ZEL_ALWAYS_INLINE Lanes<N> load(Elements<T> elements, ptrdiff_t i)
{
    return load<N>(elements.data + i);
}
template <int N>
ZEL_ALWAYS_INLINE void store(double* p, Lanes<N> v)
{
    memcpy(p, &v, sizeof v);
}

// Count elements of T in one vector (a plain T for a count of 1), for the
// kernels that compute in their data's own class, and the loads and stores
// of them; a store may write the first count elements only.
template <typename T, int Count>
struct VectorOf {
    typedef T type __attribute__((vector_size(sizeof(T) * Count)));
};
template <typename T>
struct VectorOf<T, 1> {
    typedef T type;
};
template <typename V, typename T>
ZEL_ALWAYS_INLINE V load_vector(const T* p)
{
    V v;
    memcpy(&v, p, sizeof v);
    return v;
}
template <typename V, typename T>
ZEL_ALWAYS_INLINE void store_vector(T* p, V v, ptrdiff_t count)
{
    memcpy(p, &v, size_t(count) * sizeof(T));
}

// Lanes of a stack's own elements, doubles or singles, for work that only
// compares them and flips or clears their signs: that gives the same values
// on singles as on their widened doubles, so the widening can wait until the
// work is done.
template <int N, typename T>
struct OwnLaneTypes {
    typedef Lanes<N> Values;
    typedef typename LaneTypes<N>::Bits Bits;
};
template <int N>
struct OwnLaneTypes<N, float> {
    typedef typename LaneTypes<N>::Floats Values;
    typedef typename LaneTypes<N>::Indices Bits;
};
template <int N, typename T>
using OwnLanes = typename OwnLaneTypes<N, T>::Values;

template <int N, typename T>
ZEL_ALWAYS_INLINE OwnLanes<N, T> load_own(Elements<T> elements, ptrdiff_t i)
{
    OwnLanes<N, T> v;
    memcpy(&v, elements.data + i, sizeof v);
    return v;
}
// Doubles (or singles) of the values 0, +1 and -1 given as doubles.
template <int N, typename T>
ZEL_ALWAYS_INLINE OwnLanes<N, T> own_signs(Lanes<N> signs)
{
    if constexpr (N == 1) return T(signs);
    else return __builtin_convertvector(signs, OwnLanes<N, T>);
}
template <int N, typename T>
ZEL_ALWAYS_INLINE Lanes<N> widen_own(OwnLanes<N, T> v)
{
    if constexpr (sizeof(T) == sizeof(double)) return v;
    else return widen_singles<N>(v);
}
// The sign bit cleared.
template <int N, typename T>
ZEL_ALWAYS_INLINE OwnLanes<N, T> standard_abs_own(OwnLanes<N, T> x)
{
    typedef typename OwnLaneTypes<N, T>::Bits Bits;
    if constexpr (N == 1) {
        if constexpr (sizeof(T) == sizeof(double)) return __builtin_fabs(x);
        else return __builtin_fabsf(x);
    } else {
        constexpr auto largest = sizeof(T) == sizeof(double) ? INT64_MAX : INT32_MAX;
        return (OwnLanes<N, T>)((Bits)x & (Bits{} + largest));
    }
}


// Lanes made of value(0), ..., value(N - 1), in registers (a vector loaded
// from scalars just stored would wait for the stores).
template <int N, typename Value>
ZEL_ALWAYS_INLINE Lanes<N> lanes_of(Value value)
{
    if constexpr (N == 1) return value(0);
    else if constexpr (N == 2) return Lanes<N>{value(0), value(1)};
    else if constexpr (N == 4) return Lanes<N>{value(0), value(1), value(2), value(3)};
    else return Lanes<N>{value(0), value(1), value(2), value(3), value(4), value(5), value(6), value(7)};
}

// The elements index(0), ..., index(N - 1) of a real array, widened; its
// class is tested once for all lanes.
template <int N, typename Index>
ZEL_ALWAYS_INLINE Lanes<N> gather(const RealArray& array, Index index)
{
    if (array.single) {
        const float* values = static_cast<const float*>(array.data);
        return lanes_of<N>([&](int l) { return double(values[index(l)]); });
    }
    const double* values = static_cast<const double*>(array.data);
    return lanes_of<N>([&](int l) { return values[index(l)]; });
}

// x in every lane, its sign and NaN payload included.
template <int N>
ZEL_ALWAYS_INLINE Lanes<N> broadcast(double x)
{
    return lanes_of<N>([x](int) { return x; });
}

// The sign bit cleared.
template <int N>
ZEL_ALWAYS_INLINE Lanes<N> standard_abs(Lanes<N> x)
{
    return standard_abs_own<N, double>(x);
}
// a when a > b, else b; for lanes of doubles or of singles.
template <int N, typename V = Lanes<N>>
ZEL_ALWAYS_INLINE V fmax(V a, V b)
{
    return a > b ? a : b;
}
// b when a > b, else a: the smaller, a kept on ties and when b is NaN.
template <int N, typename V = Lanes<N>>
ZEL_ALWAYS_INLINE V keep_smaller(V a, V b)
{
    return a > b ? b : a;
}
// +0.0 for either zero, +1.0 above zero, -1.0 otherwise (NaN included).
template <int N>
ZEL_ALWAYS_INLINE Lanes<N> fsign(Lanes<N> x)
{
    const Lanes<N> nonzero = x > Lanes<N>{} ? broadcast<N>(1.0) : broadcast<N>(-1.0);
    return x == Lanes<N>{} ? Lanes<N>{} : nonzero;
}
// x when x > 0, else -x: the sign flips for zeros and NaN alike.
template <int N>
ZEL_ALWAYS_INLINE Lanes<N> fabs(Lanes<N> x)
{
    return x > Lanes<N>{} ? x : -x;
}
// a + b and a * b with a's NaN first, as in the scalar plus and times.
template <int N>
ZEL_ALWAYS_INLINE Lanes<N> plus(Lanes<N> a, Lanes<N> b)
{
    return a + (a != a ? Lanes<N>{} : b);
}
template <int N>
ZEL_ALWAYS_INLINE Lanes<N> times(Lanes<N> a, Lanes<N> b)
{
    return a * (a != a ? broadcast<N>(2.0) : b);
}
// y limited to [low, high]; a NaN y passes through.
template <int N>
ZEL_ALWAYS_INLINE Lanes<N> clamp_fraction(Lanes<N> y, double low, double high)
{
    const Lanes<N> x = broadcast<N>(high) < y ? broadcast<N>(high) : y;
    return x < broadcast<N>(low) ? broadcast<N>(low) : x;
}
// a * s for a scalar s of the call: times() in general, the plain product
// when s is known to be a number, since a is then the only operand that can
// be NaN and its NaN comes out whatever the operand order.
template <int N, bool ScalarIsNumber = false>
ZEL_ALWAYS_INLINE Lanes<N> times_scalar(Lanes<N> a, double s)
{
    if constexpr (ScalarIsNumber) return a * broadcast<N>(s);
    else return times<N>(a, broadcast<N>(s));
}

// A condition fixed for a whole call, passed as a type so that the code for
// each value is compiled on its own.
template <bool B>
struct Condition {
    static constexpr bool value = B;
};

// How many pixels a step of for_each_lane_group computes.
template <int N>
struct LaneCount {
    static constexpr int value = N;
};

// Calls step(q, LaneCount<N>()) for q = 0, N, 2N, ... while N pixels are
// left of count, then step(q, LaneCount<1>()) for each pixel left over.
template <int N, typename Step>
ZEL_ALWAYS_INLINE void for_each_lane_group(ptrdiff_t count, Step step)
{
    ptrdiff_t q = 0;
    for (; q + N <= count; q += N) step(q, LaneCount<N>());
    for (; q < count; ++q) step(q, LaneCount<1>());
}

}  // namespace

// Each kernel that computes in lanes is compiled once per lane width, with
// ZEL_LANE_WIDTH set to it: 2 for any processor, and on x86-64 also 4 (with
// -mavx2) and 8 (with -mavx512f). Each such object defines one function,
// compute_in_lanes<ZEL_LANE_WIDTH>, the whole computation of a call at that
// width (ZEL_LANE_ENTRY); compiled without ZEL_LANE_WIDTH, the same source
// is the gateway, which checks the inputs, creates the outputs and calls
// the widest compute_in_lanes the processor runs (compute_with_widest_lanes).
// Every width gives the same bits: each lane operation is the same IEEE
// operation, and the kernel flags keep multiplications and additions apart.
// Everything else in these headers has internal linkage, so that no
// function compiled for one instruction set can stand in at link time for
// the same function compiled for another: compute_in_lanes is the only
// symbol the objects share. It takes the call as the gateway laid it out,
// a struct of the kernel's own source, which every object compiles alike.
template <int N>
void compute_in_lanes(const void* call);

namespace {

// ZEL_WIDEST_LANES (8 unless defined) caps the width the gateway picks, for
// building and testing the narrower paths. Windows builds, and builds for
// other processors, have the two-lane path only: MinGW-w64's GCC keeps the
// stack 16-byte aligned and does not realign a frame for the 32- and
// 64-byte vectors that the wider code spills, and moves them with
// instructions that need that alignment.
#ifndef ZEL_WIDEST_LANES
#define ZEL_WIDEST_LANES 8
#endif
#if defined(__x86_64__) && defined(__ELF__)
#define ZEL_WIDER_LANES 1
#else
#define ZEL_WIDER_LANES 0
#endif

// Test builds (ZEL_REPORT_LANES) tell the stand-in host the width that runs,
// through the warning call every kernel imports already, under an
// identifier the host takes for this report; other builds say nothing.
#ifdef ZEL_REPORT_LANES
#define ZEL_LANES_RUN(lanes) mexWarnMsgIdAndTxt("ZELtest:lanes", "%d", lanes)
#else
#define ZEL_LANES_RUN(lanes) ((void)0)
#endif

template <typename Call>
void compute_with_widest_lanes(const Call& call)
{
#if ZEL_WIDER_LANES
    __builtin_cpu_init();
    if constexpr (ZEL_WIDEST_LANES >= 8) {
        if (__builtin_cpu_supports("avx512f")) {
            ZEL_LANES_RUN(8);
            compute_in_lanes<8>(&call);
            return;
        }
    }
    if constexpr (ZEL_WIDEST_LANES >= 4) {
        if (__builtin_cpu_supports("avx2")) {
            ZEL_LANES_RUN(4);
            compute_in_lanes<4>(&call);
            return;
        }
    }
#endif
    ZEL_LANES_RUN(2);
    compute_in_lanes<2>(&call);
}

}  // namespace
}  // namespace zel

// In an object compiled for one lane width, ZEL_LANE_ENTRY(compute, Call)
// defines compute_in_lanes for that width: compute<ZEL_LANE_WIDTH> on a copy
// of the gateway's Call, a local object that no store to an output can
// change, so that its fields stay in registers. Everything it calls is
// inlined into it (flatten), compiled for its instruction set.
#ifdef ZEL_LANE_WIDTH
#define ZEL_LANE_ENTRY(compute, Call)                                                                   \
    template <int N>                                                                                    \
    __attribute__((flatten)) void zel::compute_in_lanes(const void* call)                               \
    {                                                                                                   \
        const Call local = *static_cast<const Call*>(call);                                             \
        compute<N>(local);                                                                              \
    }                                                                                                   \
    template void zel::compute_in_lanes<ZEL_LANE_WIDTH>(const void*);
#endif

#endif
