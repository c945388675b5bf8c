// [H, W] = ZELgetHeightAndWidthMap(R, orientationIndex, scaleIndex, P, g, T, mode)
//
// At every pixel the selected scale is refined by three-point peak
// interpolation over the response magnitudes of its neighbouring scales. The
// width is the scale table's entry scaled geometrically to that refined
// position; the height is the response divided by a value of the profile
// table chosen by the normalisation mode.
//
// Inputs:
//   1 R                 response stack, rows x cols x orientations nO x scales nS
//   2 orientationIndex  rows x cols, selected orientation o* (1-based)
//   3 scaleIndex        rows x cols, selected scale s* (1-based)
//   4 P                 profile table, 1 to 65535 elements
//   5 g                 sampling gain, scalar
//   6 T                 scale table, nO x nS: T(o, s) is the width at a whole
//                       scale, T(1, 1) / T(1, 2) the ratio of consecutive scales
//   7 mode              normalisation, uint16 scalar: 1 divides by P[0]; 3 by P
//                       sampled at the width fraction x; any other value by P
//                       sampled at 0.5 + x less P sampled at 0.5 - x
// Real inputs are double or single, index maps uint16 or whole doubles.
// Outputs:
//   H                   height map, double, rows x cols
//   W                   width map, double, rows x cols; created only when asked for

#include "element_access.h"
#include "input_checks.h"
#include "platform/libm_binding.h"
#include "peak_interpolation.h"
#include "prefetching.h"
#include "profile_sampling.h"
#include "scalar_helpers.h"

namespace {

enum Input { kResponse, kOrientationIndex, kScaleIndex, kProfile, kGain, kScaleTable, kMode, kInputCount };

const zel::InputRole kRoles[kInputCount] = {
    {"response stack", zel::kDoubleArray}, {"orientation index map", zel::kIndexMap},
    {"scale index map", zel::kIndexMap},   {"profile table", zel::kDoubleTable},
    {"sampling gain", zel::kDoubleScalar}, {"scale table", zel::kDoubleArray},
    {"normalisation mode", zel::kUint16Scalar},
};

const uint16_t kSingleProfileValue = 1;  // divide by P[0]
const uint16_t kSingleSample = 3;        // divide by P sampled at x
                                         // any other mode: the two-sample difference

struct Normalisation {
    zel::ProfileTable profile;
    double gain;
    uint16_t mode;
};

struct HeightAndWidth {
    double height;
    double width;
};

// T(1, 1) / T(1, 2). Only a pixel at an inner scale, which needs nS >= 3, has
// a non-zero exponent; every other pixel's factor is pow(ratio, 0) = 1
// whatever the ratio, so a stack of fewer scales, or an image with no pixel,
// needs no T(1, 2).
inline double scale_ratio(const zel::RealArray& T, const zel::StackShape& shape)
{
    if (shape.scales < 3 || !zel::tables_read(shape)) return 1.0;
    return T[0] / T[shape.orientations];
}

// The refined scale position. R points at the pixel's element of orientation
// o* at scale 1, consecutive scales step elements apart. An end scale has one
// neighbour only and stays whole.
template <typename Stack>
inline double refined_scale(Stack R, ptrdiff_t step, uint16_t s, uint16_t scales, double centre)
{
    if (s == 1 || s == scales) return s;
    const double a = zel::standard_abs(R[(int32_t(s) - 2) * step]);
    const double b = zel::standard_abs(R[int32_t(s) * step]);
    return zel::peak_position(s, a, zel::standard_abs(centre), b);
}

// The value the response is divided by: P[0]; P(limit_single_sample(x)); or
// P(y + 0.5) - P(0.5 - y) with y = limit_pair_sample(x), each P(f) a
// sample_profile, and x = sampling_fraction(width, T(o*, s*), g, 2n). The
// limits keep every sample inside the table; in-range fractions and NaN
// pass as they are.
inline double profile_divisor(const Normalisation& n, double width, double table_entry)
{
    if (n.mode == kSingleProfileValue) return n.profile.values[0];
    const double x = zel::sampling_fraction(width, table_entry, n.gain, zel::twice_count(n.profile));
    if (n.mode == kSingleSample) return zel::sample_profile(n.profile, zel::limit_single_sample(x));
    const double y = zel::limit_pair_sample(x);
    return zel::sample_profile(n.profile, y + 0.5) - zel::sample_profile(n.profile, 0.5 - y);
}

// One pixel, in this order:
//   factor = pow(ratio, s* - refined scale), 1 when the exponent is zero
//   width  = times(factor, T(o*, s*))
//   height = R(p, o*, s*) / divisor
template <typename Stack>
inline HeightAndWidth height_and_width(Stack R, ptrdiff_t step, uint16_t s, uint16_t scales,
                                       double table_entry, double ratio, const Normalisation& n)
{
    const double centre = R[zel::zero_based(s) * step];
    const double s_hat = refined_scale(R, step, s, scales, centre);
    // pow(ratio, +-0) is exactly 1 for every ratio, NaN included: end scales
    // and flat neighbours need no call.
    const double exponent = double(s) - s_hat;
    const double factor = exponent == 0.0 ? 1.0 : pow(ratio, exponent);
    const double width = zel::times(factor, table_entry);
    return {centre / profile_divisor(n, width, table_entry), width};
}

}  // namespace

extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    const zel::Signature signature = {"ZELgetHeightAndWidthMap", kRoles, kInputCount, 2,
                                      "Seven input arguments required."};
    const zel::Call call = zel::begin_call(signature, nlhs, nrhs, prhs);
    const zel::StackShape shape = zel::read_stack_shape(call, kResponse);
    zel::require_index_maps(call, kOrientationIndex, kScaleIndex, shape);
    zel::require_profile_table(call, kProfile, shape);
    // Every T(o, s) of the stack; this holds T(1, 2) whenever an inner scale
    // exists, since then nS >= 3.
    zel::require_scale_table(call, kScaleTable, shape);

    const zel::RealArray response = zel::real_array(prhs[kResponse]);
    const zel::IndexMap orientation = zel::index_map(prhs[kOrientationIndex]);
    const zel::IndexMap scale = zel::index_map(prhs[kScaleIndex]);
    const zel::RealArray T = zel::real_array(prhs[kScaleTable]);
    const Normalisation normalisation = {
        zel::profile_table(prhs[kProfile]),
        zel::first_value(prhs[kGain]),
        zel::first_uint16(prhs[kMode]),
    };
    const double ratio = scale_ratio(T, shape);

    double* H = zel::create_output(plhs, 0, shape);
    // The host offers max(nlhs, 1) output slots: the width map goes to the
    // second only when the caller asked for it.
    double* W = nlhs >= 2 ? zel::create_output(plhs, 1, shape) : nullptr;
    const ptrdiff_t step = zel::scale_stride(shape), pixels = zel::pixel_count(shape);
    zel::with_elements(response, [&](auto R) {
        zel::for_each_pixel(shape, [&](ptrdiff_t p) {
            // The selected orientation and scale jump from plane to plane: the
            // lines of a pixel further on are asked for early.
            zel::prefetch_pixel_ahead(p, pixels, [&](ptrdiff_t ahead) ZEL_INLINE_LAMBDA {
                const uint16_t s_ahead = scale[ahead];
                const ptrdiff_t at = zel::stack_offset(shape, ahead, orientation[ahead], s_ahead);
                zel::prefetch(R, at);
                if (s_ahead > 1) zel::prefetch(R, at - step);
                if (s_ahead < shape.scales) zel::prefetch(R, at + step);
            });
            const uint16_t o = orientation[p], s = scale[p];
            const HeightAndWidth result =
                height_and_width(R + zel::stack_offset(shape, p, o, 1), step, s, shape.scales,
                                 T[zel::scale_table_index(shape, o, s)], ratio, normalisation);
            H[p] = result.height;
            if (W) W[p] = result.width;
        });
    });
}
