// Three-point peak interpolation: the vertex of the parabola through three
// equally spaced samples, shared by the scale and the orientation refinement.
#ifndef ZEL_PEAK_INTERPOLATION_H
#define ZEL_PEAK_INTERPOLATION_H

#include "scalar_helpers.h"

namespace zel {
namespace {

// Given the magnitudes a, c and b at positions k - 1, k and k + 1, the
// vertex k + (b - a) / (4c - 2(a + b)), formed exactly in this order. The
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
