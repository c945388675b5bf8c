// Sampling a profile table, for the blob, ridge and height-and-width maps:
// the table, the sampling fraction, its limits and the element a fraction
// reads, each for one pixel (double) and for a lane group (Lanes<N>), side by
// side. The two forms give the same bits for every fraction they are given.
#ifndef ZEL_PROFILE_SAMPLING_H
#define ZEL_PROFILE_SAMPLING_H

#include "element_access.h"
#include "lanes.h"
#include "scalar_helpers.h"

#include <stdint.h>
#include <string.h>

namespace zel {
namespace {

// A profile table P: its elements and its length n (1..65535).
struct ProfileTable {
    RealArray values;
    uint16_t count;
};

// The table an input holds; the input checks have limited its length to
// 1..65535.
inline ProfileTable profile_table(const mxArray* array)
{
    return ProfileTable{real_array(array), uint16_t(mxGetNumberOfElements(array))};
}

// n - 1, formed as a 32-bit signed integer and converted to double.
inline double last_index(const ProfileTable& table)
{
    return static_cast<double>(static_cast<int32_t>(table.count) - 1);
}

// n + n as a double.
inline double twice_count(const ProfileTable& table)
{
    const double n = table.count;
    return n + n;
}

// The sampling fraction x = times(u / v, gain) / twice_count, in this order,
// with twice_count = 2n. The lane form takes GainIsNumber when the caller
// knows gain is not NaN: u / v is then the only operand of the product that
// can be NaN, and the plain product gives the same bits.
inline double sampling_fraction(double u, double v, double gain, double twice_count)
{
    return times(u / v, gain) / twice_count;
}
template <int N, bool GainIsNumber = false>
ZEL_ALWAYS_INLINE Lanes<N> sampling_fraction(Lanes<N> u, Lanes<N> v, double gain, double twice_count)
{
    return times_scalar<N, GainIsNumber>(u / v, gain) / broadcast<N>(twice_count);
}

// Fractions that would sample outside the table are brought to its ends, so
// that every sampled position lies in [0, 1]: a single sample at f = x, with
// x limited to [0, 1]; a pair at f = 0.5 + x and f = 0.5 - x, with x limited
// to [-0.5, 0.5]. In-range fractions, and NaN, are returned unchanged (see
// clamp_fraction).
inline double limit_single_sample(double x) { return clamp_fraction(x, 0.0, 1.0); }
inline double limit_pair_sample(double x) { return clamp_fraction(x, -0.5, 0.5); }
template <int N>
ZEL_ALWAYS_INLINE Lanes<N> limit_single_sample(Lanes<N> x)
{
    return clamp_fraction<N>(x, 0.0, 1.0);
}
template <int N>
ZEL_ALWAYS_INLINE Lanes<N> limit_pair_sample(Lanes<N> x)
{
    return clamp_fraction<N>(x, -0.5, 0.5);
}

// The element at fraction f of the table: P[k] with k the product
// f * (n - 1) truncated toward zero. In general k is the product truncated to
// 32 bits as the processor does it (NaN and values out of range give -2^31),
// of which the low 16 bits index the table, so a NaN product reads P[0].
// Callers keep f in [0, 1] or NaN, which keeps k inside the table; for such
// fractions the lane form, which truncates each lane's product and takes NaN
// as 0, reads the same element in every lane.
inline double sample_profile(const ProfileTable& table, double fraction)
{
    const double product = fraction * last_index(table);
    return table.values[static_cast<uint16_t>(truncate_to_int32(product))];
}

// k of each lane, for the lane form of sample_profile.
template <int N>
ZEL_ALWAYS_INLINE typename LaneTypes<N>::Indices profile_indices(Lanes<N> f, double last_index)
{
    const Lanes<N> product = f * broadcast<N>(last_index);
    const Lanes<N> defined = product == product ? product : Lanes<N>{};
    if constexpr (N == 1) return int32_t(defined);
    else return __builtin_convertvector(defined, typename LaneTypes<N>::Indices);
}

template <int W>
ZEL_ALWAYS_INLINE Lanes<W> sample_profile(const ProfileTable& profile, Lanes<W> f)
{
    const auto k = profile_indices<W>(f, last_index(profile));
    if constexpr (W == 1) {
        return gather<W>(profile.values, [&](int) { return uint16_t(k); });
    } else {
        // The indices are read back from memory: loads are cheaper than
        // taking each lane out of the register (the blob map takes 12 to 15%
        // longer without). The empty asm says it reads and writes the array
        // in memory, which by the meaning of its "+m" operand, in GCC and
        // clang alike, makes the compiler store the vector and load each
        // index back, whatever it would otherwise choose.
        int32_t index[W];
        memcpy(index, &k, sizeof index);
        asm("" : "+m"(index));
        return gather<W>(profile.values, [&](int l) { return uint16_t(index[l]); });
    }
}

}  // namespace
}  // namespace zel

#endif
