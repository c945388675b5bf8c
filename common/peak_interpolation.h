// Three-point peak interpolation: the vertex of the parabola through three
// equally spaced samples, shared by the scale and the orientation refinement.
#ifndef ZEL_PEAK_INTERPOLATION_H
#define ZEL_PEAK_INTERPOLATION_H

#include "lanes.h"

namespace zel {
namespace {

// Given the magnitudes a, c and b at positions k - 1, k and k + 1, the
// vertex
//
//   k + (b - a) / ((c * 4) - (plus(b, a) * 2))
//
// formed exactly in this order: where a and b are both NaN, b's NaN comes
// out of the sum, and the left operand's NaN out of every other step. The
// vertex is not bounded and c need not be the largest: a flat or upward
// parabola gives what IEEE division gives (an infinity or NaN). Computed
// lane by lane, every lane the same IEEE operations (Lanes<1> is a double).
template <int N>
ZEL_ALWAYS_INLINE Lanes<N> peak_position(Lanes<N> k, Lanes<N> a, Lanes<N> c, Lanes<N> b)
{
    const Lanes<N> numerator = b - a;
    const Lanes<N> denominator = c * broadcast<N>(4.0) - plus<N>(b, a) * broadcast<N>(2.0);
    return k + numerator / denominator;
}

}  // namespace
}  // namespace zel

#endif
