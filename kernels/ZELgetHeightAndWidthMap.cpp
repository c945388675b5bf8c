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
#include "lanes.h"
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

// T(1, 1) / T(1, 2). Only a pixel at an inner scale, which needs nS >= 3, has
// a non-zero exponent; every other pixel's factor is pow(ratio, 0) = 1
// whatever the ratio, so a stack of fewer scales, or an image with no pixel,
// needs no T(1, 2).
inline double scale_ratio(const zel::RealArray& T, const zel::StackShape& shape)
{
    if (shape.scales < 3 || !zel::tables_read(shape)) return 1.0;
    return T[0] / T[shape.orientations];
}

// What the pixels read besides the stack.
struct HeightAndWidthInputs {
    zel::StackShape shape;
    zel::IndexMap orientation;
    zel::IndexMap scale;
    zel::RealArray T;
    double ratio;  // T(1, 1) / T(1, 2), or 1 (scale_ratio)
    Normalisation normalisation;
};

// A lane group of pixels from p on, each in this order, s* its selected
// scale and R_k the response at (p, o*, k):
//   s^     = s* at an end scale (s* = 1 or nS); else the refined position
//            s* + (b - a) / ((c * 4) - (plus(b, a) * 2)) with a, c and b the
//            magnitudes (the sign bit cleared) of R_(s* - 1), R_s* and
//            R_(s* + 1)
//   factor = pow(ratio, s* - s^), 1 when the exponent is zero
//   width  = times(factor, T(o*, s*))
//   height = R_s* / divisor, with divisor P[0] (mode 1); P sampled at
//            limit_single_sample(x) (mode 3); or P(y + 0.5) - P(0.5 - y) with
//            y = limit_pair_sample(x) (any other mode), each P(f) a
//            sample_profile, and x = sampling_fraction(width, T(o*, s*), g, 2n)
// Every step is one IEEE operation per lane; pow is the math library's,
// called lane by lane where the exponent is not zero (pow(ratio, +-0) is
// exactly 1 for every ratio, NaN included).
template <int W, typename Stack>
ZEL_ALWAYS_INLINE void heights_and_widths(const HeightAndWidthInputs& in, ptrdiff_t p, Stack R, double* H,
                                          double* widths)
{
    using V = zel::Lanes<W>;
    const zel::StackShape shape = in.shape;
    const ptrdiff_t step = zel::scale_stride(shape), pixels = zel::pixel_count(shape);
    uint16_t s[W];
    ptrdiff_t at[W], below[W], above[W], table_index[W];
    bool inner[W];
    for (int l = 0; l < W; ++l) {
        // The selected orientation and scale jump from plane to plane: the
        // lines of a pixel further on are asked for early.
        zel::prefetch_pixel_ahead(p + l, pixels, [&](ptrdiff_t ahead) ZEL_INLINE_LAMBDA {
            const uint16_t s_ahead = in.scale[ahead];
            const ptrdiff_t centre = zel::stack_offset(shape, ahead, in.orientation[ahead], s_ahead);
            zel::prefetch(R, centre);
            if (s_ahead > 1) zel::prefetch(R, centre - step);
            if (s_ahead < shape.scales) zel::prefetch(R, centre + step);
        });
        const uint16_t o = in.orientation[p + l];
        s[l] = in.scale[p + l];
        at[l] = zel::stack_offset(shape, p + l, o, s[l]);
        // An end scale has one neighbour only and stays whole; its lane reads
        // its own element in place of the missing one.
        inner[l] = s[l] != 1 && s[l] != shape.scales;
        below[l] = inner[l] ? at[l] - step : at[l];
        above[l] = inner[l] ? at[l] + step : at[l];
        table_index[l] = zel::scale_table_index(shape, o, s[l]);
    }
    const V centre = zel::lanes_of<W>([&](int l) { return R[at[l]]; });
    const V a = zel::standard_abs<W>(zel::lanes_of<W>([&](int l) { return R[below[l]]; }));
    const V b = zel::standard_abs<W>(zel::lanes_of<W>([&](int l) { return R[above[l]]; }));
    const V c = zel::standard_abs<W>(centre);
    const V k = zel::lanes_of<W>([&](int l) { return double(s[l]); });
    const V peak = zel::peak_position<W>(k, a, c, b);
    double exponent[W], factor[W];
    zel::store<W>(exponent, k - peak);
    for (int l = 0; l < W; ++l) {
        if (!inner[l]) exponent[l] = 0.0;
        factor[l] = exponent[l] == 0.0 ? 1.0 : pow(in.ratio, exponent[l]);
    }
    const V table_entry = zel::gather<W>(in.T, [&](int l) { return table_index[l]; });
    const V width = zel::times<W>(zel::load<W>(factor), table_entry);
    const Normalisation& n = in.normalisation;
    V divisor;
    if (n.mode == kSingleProfileValue) {
        divisor = zel::broadcast<W>(n.profile.values[0]);
    } else {
        const V x = zel::sampling_fraction<W>(width, table_entry, n.gain, zel::twice_count(n.profile));
        if (n.mode == kSingleSample) {
            divisor = zel::sample_profile<W>(n.profile, zel::limit_single_sample<W>(x));
        } else {
            const V y = zel::limit_pair_sample<W>(x);
            divisor = zel::sample_profile<W>(n.profile, y + zel::broadcast<W>(0.5)) -
                      zel::sample_profile<W>(n.profile, zel::broadcast<W>(0.5) - y);
        }
    }
    zel::store<W>(H + p, centre / divisor);
    if (widths) zel::store<W>(widths + p, width);
}

// A call as the gateway hands it to the lanes.
struct HeightAndWidthCall {
    HeightAndWidthInputs in;
    zel::RealArray response;
    double* H;
    double* W;  // null when the width map was not asked for
};

// Pixels are computed a run at a time, in lane groups.
constexpr ptrdiff_t kRun = 512;

// The maps of every pixel, N pixels at a time.
template <int N>
void height_and_width_maps(const HeightAndWidthCall& call)
{
    zel::with_elements(call.response, [&](auto R) {
        zel::for_each_pixel_run(call.in.shape, kRun, [&](ptrdiff_t first, ptrdiff_t count) {
            zel::for_each_lane_group<N>(count, [&](ptrdiff_t q, auto group) {
                heights_and_widths<decltype(group)::value>(call.in, first + q, R, call.H, call.W);
            });
        });
    });
}

}  // namespace

#ifdef ZEL_LANE_WIDTH
ZEL_LANE_ENTRY(height_and_width_maps, HeightAndWidthCall)
#else
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

    const zel::RealArray T = zel::real_array(prhs[kScaleTable]);
    const HeightAndWidthInputs in = {
        shape,
        zel::index_map(prhs[kOrientationIndex]),
        zel::index_map(prhs[kScaleIndex]),
        T,
        scale_ratio(T, shape),
        {zel::profile_table(prhs[kProfile]), zel::first_value(prhs[kGain]), zel::first_uint16(prhs[kMode])},
    };

    double* H = zel::create_output(plhs, 0, shape);
    // The host offers max(nlhs, 1) output slots: the width map goes to the
    // second only when the caller asked for it.
    double* W = nlhs >= 2 ? zel::create_output(plhs, 1, shape) : nullptr;
    zel::compute_with_widest_lanes(HeightAndWidthCall{in, zel::real_array(prhs[kResponse]), H, W});
}
#endif
