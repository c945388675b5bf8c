// M = ZELgetRidgeMap(R, Q, orientationIndex, unused, c, P, g, A, T, B)
//
// The ridge map: at every pixel and scale, the response at the pixel's
// selected orientation, signed by the polarity and by the slope of the
// profile table across a window about its centre, less the weighted slope and
// the penalty response; summed over the scales, floored at zero and divided
// by a normaliser.
//
// Inputs:
//   1 R                 response stack, rows x cols x orientations x scales
//   2 Q                 penalty stack, the size of R, used with its sign
//   3 orientationIndex  rows x cols, selected orientation o* (1-based);
//                       the only orientation read
//   4 unused            any array, never read
//   5 c                 penalty weight on the profile difference, scalar
//   6 P                 profile table, 1 to 65535 elements
//   7 g                 sampling gain, scalar
//   8 A                 size map, rows x cols
//   9 T                 scale table, orientations x scales
//  10 B                 amplitude map, rows x cols; its sign is the polarity
// Real inputs are double or single, the index map uint16 or whole doubles.
// Output:
//   M                   double, rows x cols

#include "blob_ridge_inputs.h"

namespace {

constexpr ptrdiff_t kRun = zel::kBlobRidgeRun;

// What one scale of a run needs besides the run's sums.
struct ScaleState {
    double response[kRun];  // R(p, o*, s)
    double penalty[kRun];   // Q(p, o*, s)
    double fraction[kRun];  // x, then the profile difference d
};

// R, Q and T(o*, s) at the selected orientations of scale s, and from T the
// window half-width x = ((a / T(o*, s)) * g) / (2n), limited to [-0.5, 0.5].
template <typename Stack, typename PenaltyStack>
inline void read_scale(const zel::BlobRidgeInputs& in, ptrdiff_t first, ptrdiff_t count, uint16_t s,
                       const zel::RunSums& sums, Stack response, PenaltyStack penalty, ScaleState& st)
{
    for (ptrdiff_t q = 0; q < count; ++q) {
        const uint16_t o = in.orientation[first + q];
        const ptrdiff_t at = zel::stack_offset(in.shape, first + q, o, s);
        st.response[q] = response[at];
        st.penalty[q] = penalty[at];
        st.fraction[q] = in.scale_table[zel::scale_table_index(in.shape, o, s)];
    }
    const double twice_count = zel::twice_count(in.profile);
    for (ptrdiff_t q = 0; q < count; ++q)
        st.fraction[q] = zel::limit_pair_sample(  // clamp at 0.5, floor at -0.5
            zel::sampling_fraction(sums.size[q], st.fraction[q], in.sampling_gain, twice_count));
}

// What scale s adds to each pixel, with the profile difference
// d = P(0.5 + x) - P(0.5 - x):
//
//   r     += fsign(d) * fsign(b) * R - (fabs(d) * c + Q)
//   sigma += fmax(fabs(R), fabs(d * b))
//
// NaN operands in the order written.
inline void add_scale(const zel::BlobRidgeInputs& in, ptrdiff_t count, ScaleState& st, zel::RunSums& sums)
{
    for (ptrdiff_t q = 0; q < count; ++q)
        st.fraction[q] = zel::sample_profile(in.profile, 0.5 + st.fraction[q]) -
                         zel::sample_profile(in.profile, 0.5 - st.fraction[q]);
    const double* amplitude = sums.amplitude;
    for (ptrdiff_t q = 0; q < count; ++q) {
        const double d = st.fraction[q];
        const double R = st.response[q];
        sums.r[q] = zel::plus(zel::fsign(d) * sums.polarity[q] * R, sums.r[q]);  // only R can be NaN in the product
        sums.r[q] = sums.r[q] - zel::plus(zel::times(zel::fabs(d), in.penalty_weight), st.penalty[q]);
        sums.sigma[q] = zel::plus(zel::fmax(zel::fabs(R), zel::fabs(zel::times(d, amplitude[q]))), sums.sigma[q]);
    }
}

}  // namespace

extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    const zel::BlobRidgeInputs in = zel::read_blob_ridge_inputs("ZELgetRidgeMap", nlhs, nrhs, prhs);
    double* M = zel::create_output(plhs, 0, in.shape);
    zel::compute_blob_ridge_map(in, M, [&](ptrdiff_t first, ptrdiff_t count, uint16_t s, zel::RunSums& sums,
                                           auto R, auto Q) {
        ScaleState st;
        read_scale(in, first, count, s, sums, R, Q, st);
        add_scale(in, count, st, sums);
    });
}
