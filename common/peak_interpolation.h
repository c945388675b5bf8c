// Three-point peak interpolation: the vertex of the parabola through three
// equally spaced samples, shared by the scale and the orientation refinement.
#ifndef ZEL_PEAK_INTERPOLATION_H
#define ZEL_PEAK_INTERPOLATION_H

#include "scalar_helpers.h"

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
// parabola gives what IEEE division gives (an infinity or NaN).
inline double peak_position(double k, double a, double c, double b)
{
    const double numerator = b - a;
    const double denominator = c * 4.0 - plus(b, a) * 2.0;
    return k + numerator / denominator;
}

}  // namespace
}  // namespace zel

#endif
