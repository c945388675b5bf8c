// M = ZELgetBlobMap(R, Q, orientationIndex, unused, c, P, g, A, T, B)
//
// The blob map: at every pixel and scale, the polarity-corrected response at
// the weakest orientation, less the strongest penalty magnitude over the
// orientations and a weighted sample of the profile table; summed over the
// scales, floored at zero and divided by a normaliser.
//
// Inputs:
//   1 R                 response stack, rows x cols x orientations x scales
//   2 Q                 penalty stack, the size of R; only magnitudes are used
//   3 orientationIndex  rows x cols, selected orientation o* (1-based);
//                       it picks the scale table entry and the normaliser's response
//   4 unused            any array, never read
//   5 c                 penalty weight on the profile sample, scalar
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

// What scale s adds to each pixel of the run:
//
//   r     += (weakest - strongest) - |P_k| * c
//   sigma += fmax(|R(p, o*, s)|, |b * P_k|)
//
// with |.| the standard absolute value, NaN operands in the order written,
// and P_k the profile table at the fraction x = ((a / T(o*, s)) * g) / (2n),
// clamped at 1 and floored at 0. The weakest polarity-corrected response and
// the strongest penalty magnitude come from one pass over the orientations,
// in registers: a candidate replaces the weakest only when it is smaller, so
// a NaN never enters and one at orientation 1 stays; the strongest starts at
// 0 and passes over NaN. The pass reads 2 x orientations planes side by
// side, more streams than the processor's prefetchers follow, so it asks for
// each plane's lines ahead itself.
template <int N, typename Stack, typename PenaltyStack>
ZEL_ALWAYS_INLINE void add_scale(const zel::BlobRidgeInputs& in, ptrdiff_t first, ptrdiff_t count, uint16_t s,
                                 zel::RunSums& sums, Stack response, PenaltyStack penalty)
{
    const zel::ScaleReads reads = zel::scale_reads(in, s);
    const ptrdiff_t at = first + zel::scale_start(in.shape, s), plane = zel::orientation_stride(in.shape);
    const uint16_t orientations = in.shape.orientations;
    const Stack R = response + at;
    const PenaltyStack Q = penalty + at;
    zel::for_each_lane_group<N>(count, [&](ptrdiff_t q, auto lanes) ZEL_INLINE_LAMBDA {
        constexpr int W = decltype(lanes)::value;
        using V = zel::Lanes<W>;
        const V polarity = zel::load<W>(sums.polarity + q);
        V weakest = polarity * zel::load<W>(R, q), strongest = V{};
        const bool new_line = zel::starts_line(R, q, W);
        for (uint16_t o = 0; o < orientations; ++o) {
            if (new_line) {
                zel::prefetch(R + plane * o, q + zel::kPrefetchAhead);
                zel::prefetch(Q + plane * o, q + zel::kPrefetchAhead);
            }
            weakest = zel::keep_smaller<W>(weakest, polarity * zel::load<W>(R + plane * o, q));
            strongest = zel::fmax<W>(zel::standard_abs<W>(zel::load<W>(Q + plane * o, q)), strongest);
        }
        const V selected = zel::lanes_of<W>([&](int l) { return R[q + l + sums.selected_plane[q + l]]; });
        const V x = zel::limit_single_sample<W>(zel::base_fractions<W>(reads, sums, q));
        const V P_k = zel::sample_profile<W>(reads.profile, x);
        V r = zel::plus<W>(weakest - strongest, zel::load<W>(sums.r + q));
        r = r - zel::times<W>(zel::standard_abs<W>(P_k), zel::broadcast<W>(reads.penalty_weight));
        const V b_P_k = zel::standard_abs<W>(zel::times<W>(zel::load<W>(sums.amplitude + q), P_k));
        const V term = zel::fmax<W>(zel::standard_abs<W>(selected), b_P_k);
        zel::store<W>(sums.r + q, r);
        zel::store<W>(sums.sigma + q, zel::plus<W>(term, zel::load<W>(sums.sigma + q)));
    });
}

}  // namespace

extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    const zel::BlobRidgeInputs in = zel::read_blob_ridge_inputs("ZELgetBlobMap", nlhs, nrhs, prhs);
    double* M = zel::create_output(plhs, 0, in.shape);
    zel::with_widest_lanes([&](auto lanes) ZEL_INLINE_LAMBDA {
        constexpr int N = decltype(lanes)::value;
        zel::compute_blob_ridge_map(in, M, [&](ptrdiff_t first, ptrdiff_t count, zel::RunSums& sums, auto R,
                                               auto Q) ZEL_INLINE_LAMBDA {
            // One scale after the other, each scale's planes streamed over the run.
            for (uint16_t s = 1; s <= in.shape.scales; ++s) add_scale<N>(in, first, count, s, sums, R, Q);
        });
    });
}
