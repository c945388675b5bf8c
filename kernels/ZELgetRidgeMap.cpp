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
#include "profile_sampling.h"
#include "selected_orientation.h"

namespace {

// Pixels are computed a run at a time, in lane groups.
constexpr ptrdiff_t kRun = 512;

// A lane group of pixels from p on, with R_s and Q_s the stacks at (p, o*, s),
// a the size, b the amplitude, x = limit_pair_sample(((a / T(o*, s)) * g) / (2n))
// (made 0.5 above 0.5, then -0.5 below -0.5) and the profile difference
// d = P(0.5 + x) - P(0.5 - x), each P(f) a sample_profile; over the scales
// s = 1, 2, ... in this order, from r = sigma = 0:
//
//   r     = ((fsign(d) * fsign(b)) * R_s) + r
//   r     = r - ((fabs(d) * c) + Q_s)
//   sigma = fmax(fabs(R_s), fabs(d * b)) + sigma
//
// and M = fmax(0, r) / sigma, every operation one IEEE operation in the
// order written and, where both operands are NaN, the left one's NaN coming
// out (plus and times).
// ScalarsAreNumbers: neither c nor g is NaN, which spares two selects.
template <int W, bool ScalarsAreNumbers, typename Stack, typename PenaltyStack>
ZEL_ALWAYS_INLINE void ridge_values(const zel::BlobRidgeInputs& in, ptrdiff_t p, Stack R, PenaltyStack Q, double* M)
{
    using V = zel::Lanes<W>;
    const zel::StackShape shape = in.shape;
    const ptrdiff_t step = zel::scale_stride(shape);
    zel::SelectedPlanes<W> at;
    zel::find_selected_planes<W>(shape, in.orientation, p, R, Q, at);
    const V a = zel::gather<W>(in.size, [&](int l) { return p + l; });
    const V b = zel::gather<W>(in.amplitude, [&](int l) { return p + l; });
    const V polarity = zel::fsign<W>(b);
    const V half = zel::broadcast<W>(0.5);
    // Read once for all scales, in locals.
    const zel::ScaleReads reads = zel::scale_reads(in, 1);
    V r = V{}, sigma = V{};  // +0, in registers until the store
    for (uint16_t k = 0; k < shape.scales; ++k) {
        const ptrdiff_t column = ptrdiff_t(shape.orientations) * k;
        const V response = zel::lanes_of<W>([&](int l) { return R[at.offset[l] + step * k]; });
        const V penalty = zel::lanes_of<W>([&](int l) { return Q[at.offset[l] + step * k]; });
        const V T = zel::gather<W>(reads.scale_table, [&](int l) { return at.row[l] + column; });
        const V x = zel::limit_pair_sample<W>(
            zel::sampling_fraction<W, ScalarsAreNumbers>(a, T, reads.sampling_gain, reads.twice_count));
        const V d = zel::sample_profile<W>(reads.profile, half + x) - zel::sample_profile<W>(reads.profile, half - x);
        // Only R can be NaN in the product.
        r = zel::plus<W>(zel::fsign<W>(d) * polarity * response, r);
        r = r - zel::plus<W>(zel::times_scalar<W, ScalarsAreNumbers>(zel::fabs<W>(d), reads.penalty_weight), penalty);
        const V term = zel::fmax<W>(zel::fabs<W>(response), zel::fabs<W>(zel::times<W>(d, b)));
        sigma = zel::plus<W>(term, sigma);
    }
    zel::store<W>(M + p, zel::fmax<W>(V{}, r) / sigma);
}

// The map of every pixel, N pixels at a time. When the penalty weight and
// the sampling gain are numbers, their products need not order NaNs.
template <int N>
void ridge_map(const zel::BlobRidgeCall& call)
{
    const zel::BlobRidgeInputs& in = call.in;
    const bool scalars_are_numbers = in.penalty_weight == in.penalty_weight && in.sampling_gain == in.sampling_gain;
    zel::with_elements(in.response, in.penalty, [&](auto R, auto Q) {
        auto compute = [&](auto numbers) {
            zel::for_each_pixel_run(in.shape, kRun, [&](ptrdiff_t first, ptrdiff_t count) {
                zel::for_each_lane_group<N>(count, [&](ptrdiff_t q, auto group) {
                    ridge_values<decltype(group)::value, decltype(numbers)::value>(in, first + q, R, Q, call.M);
                });
            });
        };
        if (scalars_are_numbers) compute(zel::Condition<true>());
        else compute(zel::Condition<false>());
    });
}

}  // namespace

#ifdef ZEL_LANE_WIDTH
ZEL_LANE_ENTRY(ridge_map, zel::BlobRidgeCall)
#else
extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    const zel::BlobRidgeInputs in = zel::read_blob_ridge_inputs("ZELgetRidgeMap", nlhs, nrhs, prhs);
    double* M = zel::create_output(plhs, 0, in.shape);
    zel::compute_with_widest_lanes(zel::BlobRidgeCall{in, M});
}
#endif
