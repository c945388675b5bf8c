// M = ZELgetRidgeMap(R, Q, orientationIndex, unused, c, P, g, A, T, B)
//
// The ridge map: at every pixel and scale, the response at the pixel's
// selected orientation, signed by the polarity and by the slope of the
// profile table across a window about its centre, less the weighted slope and
// the penalty response; summed over the scales, floored at zero and divided
// by a normaliser.
//
// Inputs:
//   1 R                 response stack, double, rows x cols x orientations x scales
//   2 Q                 penalty stack, double, the size of R, used with its sign
//   3 orientationIndex  uint16, rows x cols, selected orientation o* (1-based);
//                       the only orientation read
//   4 unused            any array, never read
//   5 c                 penalty weight on the profile difference, double scalar
//   6 P                 profile table, double, 1 to 65535 elements
//   7 g                 sampling gain, double scalar
//   8 A                 size map, double, rows x cols
//   9 T                 scale table, double, orientations x scales
//  10 B                 amplitude map, double, rows x cols; its sign is the polarity
// Output:
//   M                   double, rows x cols

#include "blob_ridge_inputs.h"

namespace {

// One pixel p. With the window half-width x = ((a / T(o*, s)) * g) / (2n),
// limited to [-0.5, 0.5], and the profile difference d = P(0.5 + x) - P(0.5 - x),
//
//   M = fmax(0, sum_s [fsign(d) * fsign(b) * R - (fabs(d) * c + Q)])
//       / sum_s fmax(fabs(R), fabs(d * b))
//
// with R and Q at (p, o*, s) and both sums formed scale by scale, as written,
// NaN operands included.
inline double ridge_value(const zel::BlobRidgeInputs& in, ptrdiff_t p)
{
    const uint16_t o = in.orientation[p];
    const double a = in.size[p];
    const double b = in.amplitude[p];
    const double polarity = zel::fsign(b);
    double r = 0.0;  // the output element as the host creates it
    double sigma = 0.0;
    for (uint16_t s = 1; s <= in.shape.scales; ++s) {
        const double x = zel::limit_pair_sample(zel::base_fraction(in, a, o, s));  // clamp at 0.5, floor at -0.5
        const double d = zel::sample_profile(in.profile, 0.5 + x) - zel::sample_profile(in.profile, 0.5 - x);
        const ptrdiff_t at = zel::stack_offset(in.shape, p, o, s);
        const double R = in.response[at];
        r = zel::plus(zel::fsign(d) * polarity * R, r);  // only R can be NaN in the product
        r = r - zel::plus(zel::times(zel::fabs(d), in.penalty_weight), in.penalty[at]);
        sigma = zel::plus(zel::fmax(zel::fabs(R), zel::fabs(zel::times(d, b))), sigma);
    }
    return zel::clamped_normalisation(r, sigma);
}

}  // namespace

extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    (void)nlhs;
    const zel::BlobRidgeInputs in = zel::read_blob_ridge_inputs("ZELgetRidgeMap", nrhs, prhs);
    double* M = zel::create_output(plhs, 0, in.shape);
    zel::for_each_pixel(in.shape, [&](ptrdiff_t p) { M[p] = ridge_value(in, p); });
}
