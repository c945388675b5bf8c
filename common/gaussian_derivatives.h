// The sampled Gaussian-derivative kernels of the oriented filter bank and the
// steering coefficients of its orientations, computed with plain IEEE
// operations in a fixed order (no call of the math library, whose last bit
// differs between platforms), so that every build on every host gets the
// same weights.
#ifndef ZEL_GAUSSIAN_DERIVATIVES_H
#define ZEL_GAUSSIAN_DERIVATIVES_H

#include <stdint.h>
#include <string.h>

namespace zel {
namespace {

// The scales a filter bank accepts, in pixels: below the smallest the
// kernels are central differences already, above the largest they would
// outgrow the buffers on the stack that hold them and the lines they filter.
constexpr double kSmallestScale = 0.1;
constexpr double kLargestScale = 128.0;
// The kernels reach ceil(4 sigma) pixels to either side: at most 512.
constexpr int kMaxKernelRadius = 512;

// ceil(4 sigma) for sigma in [kSmallestScale, kLargestScale]; 4 sigma is exact.
inline int kernel_radius(double sigma)
{
    const double reach = 4.0 * sigma;
    const int whole = int(reach);
    return double(whole) < reach ? whole + 1 : whole;
}

// 2^n as a double, for n in -1022..1023.
inline double power_of_two(int n)
{
    const uint64_t bits = uint64_t(n + 1023) << 52;
    double x;
    memcpy(&x, &bits, sizeof x);
    return x;
}

// e^x for x <= 0: x = n ln 2 + r with |r| <= ln(2)/2 (n * ln2_hi is exact:
// ln2_hi has 21 trailing zero bits), e^r from its Taylor series to r^13 by
// Horner's rule (the first term left out is below 1e-17 of the sum), then
// scaled by 2^n. Accurate to about one unit in the last place; 0 below -745,
// where e^x is less than half the smallest subnormal.
inline double exp_of_nonpositive(double x)
{
    if (!(x > -745.0)) return 0.0;
    const double inverse_ln2 = 1.4426950408889634;
    const double ln2_hi = 6.93147180369123816490e-01;
    const double ln2_lo = 1.90821492927058770002e-10;
    const int n = -int(0.5 - x * inverse_ln2);  // the nearest whole number, x * inverse_ln2 <= 0
    const double r = (x - double(n) * ln2_hi) - double(n) * ln2_lo;
    double sum = 1.0 / 6227020800.0;  // 1 / 13!
    sum = sum * r + 1.0 / 479001600.0;
    sum = sum * r + 1.0 / 39916800.0;
    sum = sum * r + 1.0 / 3628800.0;
    sum = sum * r + 1.0 / 362880.0;
    sum = sum * r + 1.0 / 40320.0;
    sum = sum * r + 1.0 / 5040.0;
    sum = sum * r + 1.0 / 720.0;
    sum = sum * r + 1.0 / 120.0;
    sum = sum * r + 1.0 / 24.0;
    sum = sum * r + 1.0 / 6.0;
    sum = sum * r + 0.5;
    sum = sum * r + 1.0;
    sum = sum * r + 1.0;
    // n >= -1075 here; below -1022 the scaling takes two steps, the second
    // one rounding into the subnormal range.
    if (n < -1000) return (sum * power_of_two(-100)) * power_of_two(n + 100);
    return sum * power_of_two(n);
}

// sin t and cos t for t in [0, pi/4], from their Taylor series to t^19 and
// t^20 by Horner's rule in t^2 (the first terms left out are below 1e-20).
inline void sin_cos_of_small(double t, double& sine, double& cosine)
{
    const double u = t * t;
    double s = -1.0 / 121645100408832000.0;  // -1 / 19!
    s = s * u + 1.0 / 355687428096000.0;
    s = s * u - 1.0 / 1307674368000.0;
    s = s * u + 1.0 / 6227020800.0;
    s = s * u - 1.0 / 39916800.0;
    s = s * u + 1.0 / 362880.0;
    s = s * u - 1.0 / 5040.0;
    s = s * u + 1.0 / 120.0;
    s = s * u - 1.0 / 6.0;
    s = s * u;
    sine = s * t + t;
    double c = 1.0 / 2432902008176640000.0;  // 1 / 20!
    c = c * u - 1.0 / 6402373705728000.0;
    c = c * u + 1.0 / 20922789888000.0;
    c = c * u - 1.0 / 87178291200.0;
    c = c * u + 1.0 / 479001600.0;
    c = c * u - 1.0 / 3628800.0;
    c = c * u + 1.0 / 40320.0;
    c = c * u - 1.0 / 720.0;
    c = c * u + 1.0 / 24.0;
    c = c * u - 0.5;
    cosine = c * u + 1.0;
}

// sin and cos of an angle of d degrees, d in [0, 180), by the symmetries
// sin(d) = sin(180 - d), cos(d) = -cos(180 - d) and sin(d) = cos(90 - d),
// cos(d) = sin(90 - d), which bring d into [0, 45] exactly (each difference
// is exact); 0 and 90 degrees give exact zeros and ones.
inline void sin_cos_degrees(double d, double& sine, double& cosine)
{
    const bool obtuse = d > 90.0;
    if (obtuse) d = 180.0 - d;
    const bool steep = d > 45.0;
    if (steep) d = 90.0 - d;
    double s, c;
    sin_cos_of_small(d * 0.017453292519943295, s, c);  // pi / 180
    sine = steep ? c : s;
    cosine = steep ? s : c;
    if (obtuse) cosine = -cosine;
}

// The three kernels of one scale sigma, radius r = ceil(4 sigma), with
// e(k) = exp(-(k*k) / ((sigma*sigma)*2)) for k = 0..r:
//
//   S0 = e(0) + (t0 + t0),  t0 = e(1) + e(2) + ... + e(r)
//   S2 = t2 + t2,           t2 = (1*1)*e(1) + ... + (r*r)*e(r)
//   S4 = t4 + t4,           t4 = ((1*1)*(1*1))*e(1) + ... + ((r*r)*(r*r))*e(r)
//   m  = S2 / S0,   D = (S4 - m*S2) * 0.5
//   smooth(k)  = e(k) / S0              (even: sums to 1)
//   first(k)   = (k * e(k)) / S2        (odd: sum of k*first(k) is 1)
//   second(k)  = ((k*k - m) * e(k)) / D (even: sums to 0, and the sum of
//                                        (k*k/2)*second(k) is 1)
//
// every sum formed left to right. Only k = 0..r is kept: the kernels are
// even or odd, smooth(-k) = smooth(k), first(-k) = -first(k),
// second(-k) = second(k).
struct GaussianKernels {
    int radius;
    double smooth[kMaxKernelRadius + 1];
    double first[kMaxKernelRadius + 1];
    double second[kMaxKernelRadius + 1];
};

inline void gaussian_kernels(double sigma, GaussianKernels& kernels)
{
    const int r = kernel_radius(sigma);
    const double denominator = (sigma * sigma) * 2.0;
    double* e = kernels.smooth;  // e(k) first, divided in place below
    double t0 = 0.0, t2 = 0.0, t4 = 0.0;
    e[0] = 1.0;  // exp(-0)
    for (int k = 1; k <= r; ++k) {
        const double kk = double(k) * double(k);
        e[k] = exp_of_nonpositive(-kk / denominator);
        t0 = t0 + e[k];
        t2 = t2 + kk * e[k];
        t4 = t4 + (kk * kk) * e[k];
    }
    const double S0 = e[0] + (t0 + t0), S2 = t2 + t2, S4 = t4 + t4;
    const double m = S2 / S0;
    const double D = (S4 - m * S2) * 0.5;
    for (int k = 0; k <= r; ++k) {
        const double kk = double(k) * double(k);
        kernels.first[k] = (double(k) * e[k]) / S2;
        kernels.second[k] = ((kk - m) * e[k]) / D;
        kernels.smooth[k] = e[k] / S0;
    }
    kernels.radius = r;
}

// The steering coefficients of orientation o of nO, a line at
// theta = ((o - 1) * 180) / nO degrees counterclockwise from the x axis
// (columns to the right, rows downwards), with s = sin(theta) and
// c = cos(theta): the unit normal across the line is (-s, -c) in (x, y), so
//
//   second derivative across the line = xx*Ixx + xy*Ixy + yy*Iyy,
//   xx = s*s, xy = (s*c)*2, yy = c*c
//   first derivative across the line  = x*Ix + y*Iy,  x = -s, y = -c
struct Steering {
    double xx, xy, yy;
    double x, y;
};

inline Steering steering(uint16_t o, uint16_t orientations)
{
    const double theta = double((int32_t(o) - 1) * 180) / double(orientations);
    double s, c;
    sin_cos_degrees(theta, s, c);
    return Steering{s * s, (s * c) * 2.0, c * c, -s, -c};
}

}  // namespace
}  // namespace zel

#endif
