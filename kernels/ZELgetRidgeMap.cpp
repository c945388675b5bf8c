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
#include "lanes.h"

namespace {

// What scale s adds to each pixel of the run, with R and Q at the selected
// orientation o*, x = ((a / T(o*, s)) * g) / (2n) limited to [-0.5, 0.5] and
// the profile difference d = P(0.5 + x) - P(0.5 - x):
//
//   r     += fsign(d) * fsign(b) * R - (fabs(d) * c + Q)
//   sigma += fmax(fabs(R), fabs(d * b))
//
// NaN operands in the order written.
template <int N, typename Stack, typename PenaltyStack>
ZEL_ALWAYS_INLINE void add_scale(const zel::BlobRidgeInputs& in, ptrdiff_t first, ptrdiff_t count, uint16_t s,
                                 zel::RunSums& sums, Stack response, PenaltyStack penalty)
{
    const zel::ScaleReads reads = zel::scale_reads(in, s);
    const ptrdiff_t at = first + zel::scale_start(in.shape, s);
    const Stack R = response + at;
    const PenaltyStack Q = penalty + at;
    zel::for_each_lane_group<N>(count, [&](ptrdiff_t q, auto lanes) ZEL_INLINE_LAMBDA {
        constexpr int W = decltype(lanes)::value;
        using V = zel::Lanes<W>;
        for (int l = 0; l < W && q + l + zel::kPrefetchAhead < count; ++l) {
            const ptrdiff_t ahead = q + l + zel::kPrefetchAhead;
            zel::prefetch(R, ahead + sums.selected_plane[ahead]);
            zel::prefetch(Q, ahead + sums.selected_plane[ahead]);
        }
        const V response_at = zel::lanes_of<W>([&](int l) { return R[q + l + sums.selected_plane[q + l]]; });
        const V penalty_at = zel::lanes_of<W>([&](int l) { return Q[q + l + sums.selected_plane[q + l]]; });
        const V x = zel::limit_pair_sample<W>(zel::base_fractions<W>(reads, sums, q));
        const V half = zel::broadcast<W>(0.5);
        const V d = zel::sample_profile<W>(reads.profile, half + x) - zel::sample_profile<W>(reads.profile, half - x);
        // Only R can be NaN in the product.
        V r = zel::plus<W>(zel::fsign<W>(d) * zel::load<W>(sums.polarity + q) * response_at, zel::load<W>(sums.r + q));
        r = r - zel::plus<W>(zel::times<W>(zel::fabs<W>(d), zel::broadcast<W>(reads.penalty_weight)), penalty_at);
        const V term = zel::fmax<W>(zel::fabs<W>(response_at), zel::fabs<W>(zel::times<W>(d, zel::load<W>(sums.amplitude + q))));
        zel::store<W>(sums.r + q, r);
        zel::store<W>(sums.sigma + q, zel::plus<W>(term, zel::load<W>(sums.sigma + q)));
    });
}

}  // namespace

extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    const zel::BlobRidgeInputs in = zel::read_blob_ridge_inputs("ZELgetRidgeMap", nlhs, nrhs, prhs);
    double* M = zel::create_output(plhs, 0, in.shape);
    zel::with_widest_lanes([&](auto lanes) ZEL_INLINE_LAMBDA {
        constexpr int N = decltype(lanes)::value;
        zel::compute_blob_ridge_map(in, M, [&](ptrdiff_t first, ptrdiff_t count, zel::RunSums& sums, auto R,
                                               auto Q) ZEL_INLINE_LAMBDA {
            for (uint16_t s = 1; s <= in.shape.scales; ++s) add_scale<N>(in, first, count, s, sums, R, Q);
        });
    });
}
