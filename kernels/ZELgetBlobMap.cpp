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
#include "prefetching.h"
#include "profile_sampling.h"

namespace {

// The map is computed in runs of consecutive pixel indices, one scale after
// the other, so that the stack planes are read as streams and the
// arithmetic of a run runs in loops the compiler vectorises. Each pixel's
// operations keep their order. A run's scratch stays within 32 KiB of stack.
constexpr ptrdiff_t kRun = 512;

// What a run carries from scale to scale. The accumulator r is the run's
// output elements, set to +0 before the first scale; the size and
// amplitude maps are read once per run, widened to doubles, and so is where
// each pixel's selected orientation lies in the stacks and the scale table.
struct RunSums {
    double* r;
    double size[kRun];            // a
    double amplitude[kRun];       // b
    double polarity[kRun];        // fsign(b)
    double sigma[kRun];           // normaliser
    int32_t selected_plane[kRun];  // rows * cols * (o* - 1), below 2^31
    int32_t table_row[kRun];       // o* - 1
};
// Pixel q of the run at (first + q, o*, s) is at offset first + q +
// selected_plane[q] + scale_start(shape, s) in the stacks, and T(o*, s) at
// table_row[q] + table_column(shape, s) in the scale table.

// The sampling fraction ((a / T(o*, s)) * g) / (2n) of each lane of the run
// from q on, before any limit.
template <int W>
ZEL_ALWAYS_INLINE zel::Lanes<W> base_fractions(const zel::ScaleReads& reads, const RunSums& sums, ptrdiff_t q)
{
    const zel::Lanes<W> T =
        zel::gather<W>(reads.scale_table, [&](int l) { return sums.table_row[q + l] + reads.column; });
    return zel::sampling_fraction<W>(zel::load<W>(sums.size + q), T, reads.sampling_gain, reads.twice_count);
}

// What scale s adds to each pixel of the run, in this order:
//
//   r     = ((weakest - strongest) + r) - (abs(P_k) * c)
//   sigma = fmax(abs(R(p, o*, s)), abs(b * P_k)) + sigma
//
// with abs the standard absolute value (standard_abs), every operation one
// IEEE operation in the order written and, where both operands are NaN, the
// left one's NaN coming out (plus and times). P_k is the profile table at
// x = limit_single_sample(sampling_fraction(a, T(o*, s), g, 2n)), that is
// ((a / T(o*, s)) * g) / (2n) made 1 above 1, then 0 below 0. Over the
// orientations o = 1, 2, ...:
//
//   weakest   = fsign(b) * R(p, 1, s), then keep_smaller(weakest, fsign(b) * R(p, o, s))
//   strongest = 0, then fmax(abs(Q(p, o, s)), strongest)
//
// The weakest polarity-corrected response and the strongest penalty
// magnitude come from one pass over the orientations, in registers: a
// candidate replaces the weakest only when it is smaller, so
// a NaN never enters and one at orientation 1 stays; the strongest starts at
// 0 and passes over NaN. The pass reads 2 x orientations planes side by
// side, more streams than the processor's prefetchers follow, so it asks for
// each plane's lines ahead itself.
template <int N, typename Stack, typename PenaltyStack>
ZEL_ALWAYS_INLINE void add_scale(const zel::BlobRidgeInputs& in, ptrdiff_t first, ptrdiff_t count, uint16_t s,
                                 RunSums& sums, Stack response, PenaltyStack penalty)
{
    const zel::ScaleReads reads = zel::scale_reads(in, s);
    const ptrdiff_t at = first + zel::scale_start(in.shape, s), plane = zel::orientation_stride(in.shape);
    const uint16_t orientations = in.shape.orientations;
    const Stack R = response + at;
    const PenaltyStack Q = penalty + at;
    // Where the next pass starts: the next scale of this run, or the first
    // scale of the next run.
    const ptrdiff_t next = s < in.shape.scales ? first + zel::scale_start(in.shape, s + 1) : first + count;
    zel::for_each_lane_group<N>(count, [&](ptrdiff_t q, auto lanes) ZEL_INLINE_LAMBDA {
        constexpr int W = decltype(lanes)::value;
        using V = zel::Lanes<W>;
        // In the stacks' own classes: the widening waits until the pass is done.
        using RLanes = decltype(zel::load_own<W>(R, 0));
        using QLanes = decltype(zel::load_own<W>(Q, 0));
        const V polarity = zel::load<W>(sums.polarity + q);
        const RLanes own_polarity = zel::own_signs<W, typename Stack::Element>(polarity);
        RLanes weakest = own_polarity * zel::load_own<W>(R, q);
        QLanes strongest = QLanes{};
        const bool new_line = zel::starts_line(R, q, W);
        const ptrdiff_t ahead = q + zel::kPrefetchAhead < count ? at + q + zel::kPrefetchAhead
                                                                : next + q + zel::kPrefetchAhead - count;
        for (uint16_t o = 0; o < orientations; ++o) {
            if (new_line) {
                zel::prefetch(response + plane * o, ahead);
                zel::prefetch(penalty + plane * o, ahead);
            }
            weakest = zel::keep_smaller<W>(weakest, own_polarity * zel::load_own<W>(R + plane * o, q));
            strongest = zel::fmax<W>(
                zel::standard_abs_own<W, typename PenaltyStack::Element>(zel::load_own<W>(Q + plane * o, q)),
                strongest);
        }
        const V selected = zel::lanes_of<W>([&](int l) { return R[q + l + sums.selected_plane[q + l]]; });
        const V x = zel::limit_single_sample<W>(base_fractions<W>(reads, sums, q));
        const V P_k = zel::sample_profile<W>(reads.profile, x);
        const V extremes = zel::widen_own<W, typename Stack::Element>(weakest) -
                           zel::widen_own<W, typename PenaltyStack::Element>(strongest);
        V r = zel::plus<W>(extremes, zel::load<W>(sums.r + q));
        r = r - zel::times<W>(zel::standard_abs<W>(P_k), zel::broadcast<W>(reads.penalty_weight));
        const V b_P_k = zel::standard_abs<W>(zel::times<W>(zel::load<W>(sums.amplitude + q), P_k));
        const V term = zel::fmax<W>(zel::standard_abs<W>(selected), b_P_k);
        zel::store<W>(sums.r + q, r);
        zel::store<W>(sums.sigma + q, zel::plus<W>(term, zel::load<W>(sums.sigma + q)));
    });
}

// The map of every pixel, N pixels at a time.
template <int N>
void blob_map(const zel::BlobRidgeCall& call)
{
    const zel::BlobRidgeInputs& in = call.in;
    const ptrdiff_t plane = zel::orientation_stride(in.shape);
    zel::with_elements(in.response, in.penalty, [&](auto R, auto Q) {
        zel::for_each_pixel_run(in.shape, kRun, [&](ptrdiff_t first, ptrdiff_t count) {
            // r and sigma start at 0, the polarity is fsign(b); the
            // scales add their terms in ascending order, each scale's
            // planes streamed over the run; the score is
            // clamped_normalisation(r, sigma) = fmax(0, r) / sigma.
            RunSums sums;
            sums.r = call.M + first;
            zel::read_values(in.size, first, count, sums.size);
            zel::read_values(in.amplitude, first, count, sums.amplitude);
            for (ptrdiff_t q = 0; q < count; ++q) {
                const int32_t row = zel::zero_based(in.orientation[first + q]);
                sums.table_row[q] = row;
                sums.selected_plane[q] = int32_t(plane * row);
            }
            for (ptrdiff_t q = 0; q < count; ++q) {
                sums.polarity[q] = zel::fsign(sums.amplitude[q]);
                sums.sigma[q] = 0.0;
                sums.r[q] = 0.0;
            }
            for (uint16_t s = 1; s <= in.shape.scales; ++s) add_scale<N>(in, first, count, s, sums, R, Q);
            for (ptrdiff_t q = 0; q < count; ++q)
                sums.r[q] = zel::clamped_normalisation(sums.r[q], sums.sigma[q]);
        });
    });
}

}  // namespace

#ifdef ZEL_LANE_WIDTH
ZEL_LANE_ENTRY(blob_map, zel::BlobRidgeCall)
#else
extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    const zel::BlobRidgeInputs in = zel::read_blob_ridge_inputs("ZELgetBlobMap", nlhs, nrhs, prhs);
    double* M = zel::create_output(plhs, 0, in.shape);
    zel::compute_with_widest_lanes(zel::BlobRidgeCall{in, M});
}
#endif
