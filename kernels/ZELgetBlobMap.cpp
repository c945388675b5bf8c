// M = ZELgetBlobMap(R, Q, orientationIndex, unused, c, P, g, A, T, B)
//
// The blob map: at every pixel and scale, the polarity-corrected response at
// the weakest orientation, less the strongest penalty magnitude over the
// orientations and a weighted sample of the profile table; summed over the
// scales, floored at zero and divided by a normaliser.
//
// Inputs:
//   1 R                 response stack, double, rows x cols x orientations x scales
//   2 Q                 penalty stack, double, the size of R; only magnitudes are used
//   3 orientationIndex  uint16, rows x cols, selected orientation o* (1-based);
//                       it picks the scale table entry and the normaliser's response
//   4 unused            any array, never read
//   5 c                 penalty weight on the profile sample, double scalar
//   6 P                 profile table, double, 1 to 65535 elements
//   7 g                 sampling gain, double scalar
//   8 A                 size map, double, rows x cols
//   9 T                 scale table, double, orientations x scales
//  10 B                 amplitude map, double, rows x cols; its sign is the polarity
// Output:
//   M                   double, rows x cols

#include "blob_ridge_inputs.h"

namespace {

// The weakest of fsign(b) * R(p, o, s) and the strongest |Q(p, o, s)| over the
// orientations o of one scale, in one pass. A candidate replaces the weakest
// only when it is smaller, so a NaN never enters and one at orientation 1
// stays; the strongest starts at 0 and passes over NaN likewise.
struct OrientationExtremes {
    double weakest_response;
    double strongest_penalty;
};

inline OrientationExtremes orientation_extremes(const zel::BlobRidgeInputs& in, ptrdiff_t p, uint16_t s,
                                                double polarity)
{
    OrientationExtremes e = {polarity * in.response[zel::stack_offset(in.shape, p, 1, s)], 0.0};
    for (uint16_t o = 1; o <= in.shape.orientations; ++o) {
        const ptrdiff_t at = zel::stack_offset(in.shape, p, o, s);
        const double candidate = polarity * in.response[at];
        if (e.weakest_response > candidate) e.weakest_response = candidate;
        const double penalty = zel::standard_abs(in.penalty[at]);
        if (penalty > e.strongest_penalty) e.strongest_penalty = penalty;
    }
    return e;
}

// One pixel p. With the fraction x = ((a / T(o*, s)) * g) / (2n), limited to
// [0, 1], and the profile sample P_k = P(x),
//
//   M = fmax(0, sum_s [(weakest - strongest) - |P_k| * c])
//       / sum_s fmax(|R(p, o*, s)|, |b * P_k|)
//
// with |.| the standard absolute value and both sums formed scale by scale,
// as written, NaN operands included.
inline double blob_value(const zel::BlobRidgeInputs& in, ptrdiff_t p)
{
    const uint16_t o = in.orientation[p];
    const double a = in.size[p];
    const double b = in.amplitude[p];
    const double polarity = zel::fsign(b);
    double r = 0.0;  // the output element as the host creates it
    double sigma = 0.0;
    for (uint16_t s = 1; s <= in.shape.scales; ++s) {
        const double x = zel::limit_single_sample(zel::base_fraction(in, a, o, s));  // clamp at 1, floor at 0
        const OrientationExtremes e = orientation_extremes(in, p, s, polarity);
        r = zel::plus(e.weakest_response - e.strongest_penalty, r);
        const double P_k = zel::sample_profile(in.profile, x);
        r = r - zel::times(zel::standard_abs(P_k), in.penalty_weight);
        const double R = in.response[zel::stack_offset(in.shape, p, o, s)];
        sigma = zel::plus(zel::fmax(zel::standard_abs(R), zel::standard_abs(zel::times(b, P_k))), sigma);
    }
    return zel::clamped_normalisation(r, sigma);
}

}  // namespace

extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    (void)nlhs;
    const zel::BlobRidgeInputs in = zel::read_blob_ridge_inputs("ZELgetBlobMap", nrhs, prhs);
    double* M = zel::create_output(plhs, 0, in.shape);
    zel::for_each_pixel(in.shape, [&](ptrdiff_t p) { M[p] = blob_value(in, p); });
}
