// Scalar helpers and the numeric rules that several kernels share.
//
// These are not the math library's functions of the same names: fmax and the
// own fabs treat NaN and signed zeros in their own way, and those differences
// reach the feature maps bit for bit. They live in namespace zel so that they
// never collide with ::fmax and ::fabs, and in an unnamed namespace so that
// every MEX file keeps its own file-local copy.
#ifndef ZEL_SCALAR_HELPERS_H
#define ZEL_SCALAR_HELPERS_H

#include "element_access.h"

#include <stdint.h>

namespace zel {
namespace {

// +0.0 for either zero, +1.0 above zero, -1.0 otherwise (NaN included).
// Both comparisons are made whatever x is, so the choice compiles to selects.
inline double fsign(double x)
{
    const double nonzero = x > 0.0 ? 1.0 : -1.0;
    return x == 0.0 ? 0.0 : nonzero;
}

// a when a > b, else b: a NaN on either side, and equal operands, give b.
inline double fmax(double a, double b) { return a > b ? a : b; }

// x when x > 0, else -x: the sign flips for zeros and NaN alike.
inline double fabs(double x) { return x > 0.0 ? x : -x; }

// The standard absolute value: the sign bit cleared.
inline double standard_abs(double x) { return __builtin_fabs(x); }

// a + b and a * b with the operands kept in the order written. With two NaN
// operands the processor returns the first one's NaN (quieted), so the order
// shows in the sign and payload of the result; the compiler takes both
// operations as commutative and may swap the operands. Here, when a is NaN,
// the other operand is replaced by a number, so a's NaN comes out quieted
// whatever the order. Both are one unconditional operation on a selected
// operand, which the compiler can vectorise. (The number is 2 in the product:
// a * 1 would be folded to a, which leaves a signalling NaN unquieted.)
// Needed wherever both operands can be NaN.
inline double plus(double a, double b) { return a + (a != a ? 0.0 : b); }
inline double times(double a, double b) { return a * (a != a ? 2.0 : b); }

// c when c < y, else y; a NaN y passes through.
inline double upper_clamp(double y, double c) { return c < y ? c : y; }

// y limited to [low, high]; a NaN y passes through.
inline double clamp_fraction(double y, double low, double high)
{
    const double x = upper_clamp(y, high);
    return x < low ? low : x;
}

// Truncation toward zero to a 32-bit signed integer as the processor does it:
// NaN and values out of range give -2^31.
inline int32_t truncate_to_int32(double v)
{
    if (v > -2147483649.0 && v < 2147483648.0) return static_cast<int32_t>(v);
    return INT32_MIN;
}

// Clamped normalisation: fmax(0, r) / sum.
inline double clamped_normalisation(double r, double sum) { return fmax(0.0, r) / sum; }

}  // namespace
}  // namespace zel

#endif
