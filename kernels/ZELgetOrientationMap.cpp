// A = ZELgetOrientationMap(R, orientationIndex, scaleIndex, f)
//
// The orientation map: at every pixel, the selected orientation refined by
// three-point peak interpolation over the response magnitudes of its two
// neighbouring orientations, wrapping around at both ends, and turned into an
// angle in degrees.
//
// Inputs:
//   1 R                 response stack, rows x cols x orientations nO x scales nS
//   2 orientationIndex  rows x cols, selected orientation o* (1-based)
//   3 scaleIndex        rows x cols, selected scale s* (1-based): the plane of
//                       R that is read
//   4 f                 angle mapping, uint16 scalar: 0 spreads the orientations
//                       evenly over 180 degrees; any other value reads them as two
//                       halves in which the tangent of the angle is linear in the
//                       position. The wrap period is nO - 6f.
// R is double or single, index maps uint16 or whole doubles.
// Output:
//   A                   double, rows x cols, degrees; NaN where the peak is undefined

#include "element_access.h"
#include "input_checks.h"
#include "lanes.h"
#include "platform/libm_binding.h"
#include "peak_interpolation.h"
#include "prefetching.h"
#include "scalar_helpers.h"

namespace {

enum Input { kResponse, kOrientationIndex, kScaleIndex, kAngleMapping, kInputCount };

const zel::InputRole kRoles[kInputCount] = {
    {"response stack", zel::kDoubleArray},
    {"orientation index map", zel::kIndexMap},
    {"scale index map", zel::kIndexMap},
    {"angle mapping flag", zel::kUint16Scalar},
};

const double kPi = 3.141592653589793;

// The arctangent mapping spreads the orientations over two halves with a
// divisor of (nO - 6) / 4, truncated: below 10 orientations it is 0 or -1,
// and the angles are no longer those of the orientations.
constexpr const char* kTooFewOrientations = "tooFewOrientations";
const uint16_t kArctangentOrientations = 10;

// What the angle mapping needs of the orientation count and the flag, formed
// once per call in 32-bit and 16-bit integers.
struct AngleMapping {
    uint16_t flag;
    double orientations;  // nO
    double wrap_period;   // nO - 6f
    uint16_t half;        // floor(nO / 2): the last orientation of the first half
    double quarter;       // floor(nO / 4)
    double divisor;       // (nO - 6) / 4, truncated toward zero
};

inline AngleMapping angle_mapping(uint16_t orientations, uint16_t flag)
{
    const int32_t nO = orientations;
    return AngleMapping{flag,
                        double(nO),
                        double(nO - 6 * int32_t(flag)),
                        uint16_t(orientations >> 1),
                        double(uint16_t(orientations >> 2)),
                        double((nO - 6) / 4)};
}

// The refined position theta, wrapped once, as degrees, in this order:
//   theta = theta + (nO - 6f) when theta < 1
//   f = 0:          ((theta - 1) / nO) * 180
//   f != 0, o* > H: v = (atan((((theta - H) - Q) - 1) / D) * 180) / pi, plus 180 when v < 0
//   f != 0, else:   ((atan(((theta - Q) - 1) / D) * 180) / pi) + 90
// with H = floor(nO / 2), Q = floor(nO / 4), D = (nO - 6) / 4 truncated. With
// the two-half mapping the half is that of the selected orientation o*, not
// of theta.
inline double angle_of(double theta, uint16_t o, const AngleMapping& m)
{
    if (theta < 1.0) theta = theta + m.wrap_period;
    if (m.flag == 0) return ((theta - 1.0) / m.orientations) * 180.0;
    if (o > m.half) {
        const double v = atan((((theta - m.half) - m.quarter) - 1.0) / m.divisor) * 180.0 / kPi;
        return v < 0.0 ? v + 180.0 : v;
    }
    return atan(((theta - m.quarter) - 1.0) / m.divisor) * 180.0 / kPi + 90.0;
}

// The neighbours of orientation o, which wrap around; a single orientation
// is its own neighbour on both sides.
struct Neighbours {
    uint16_t previous, next;
};
inline Neighbours neighbours(uint16_t o, uint16_t orientations)
{
    return {o == 1 ? orientations : uint16_t(o - 1), o == orientations ? uint16_t(1) : uint16_t(o + 1)};
}

// What the pixels read besides the stack.
struct OrientationInputs {
    zel::StackShape shape;
    zel::IndexMap orientation;
    zel::IndexMap scale;
    AngleMapping mapping;
};

// A lane group of pixels from p on: the peak about o* of the magnitudes at
// o* and its neighbours, at the selected scale s*,
//
//   theta = o* + (b - a) / ((c * 4) - (plus(b, a) * 2))
//
// with a, c and b the magnitudes (the sign bit cleared) of R(p, o* - 1, s*),
// R(p, o*, s*) and R(p, o* + 1, s*), and then angle_of(theta). The linear
// mapping is computed in lanes, each lane the same IEEE operations; the
// arctangent mapping calls angle_of lane by lane, so atan stays the math
// library's.
template <int W, typename Stack>
ZEL_ALWAYS_INLINE void orientation_angles(const OrientationInputs& in, ptrdiff_t p, Stack R, double* A)
{
    using V = zel::Lanes<W>;
    const zel::StackShape shape = in.shape;
    const ptrdiff_t pixels = zel::pixel_count(shape);
    const ptrdiff_t planes = zel::orientation_stride(shape), scales = zel::scale_stride(shape);
    // The selected orientation and scale jump from plane to plane: the lines
    // of the group kPrefetchAhead pixels further on are asked for early. A
    // group spans at most two lines of a plane, so within a stretch of lanes
    // on the same planes the first and the last lane ask for all of them.
    if (p + W - 1 + zel::kPrefetchAhead < pixels) {
        uint16_t o_ahead[W], s_ahead[W];
        for (int l = 0; l < W; ++l) {
            o_ahead[l] = in.orientation[p + l + zel::kPrefetchAhead];
            s_ahead[l] = in.scale[p + l + zel::kPrefetchAhead];
        }
        for (int l = 0; l < W; ++l) {
            if (l != 0 && l != W - 1 && o_ahead[l] == o_ahead[l - 1] && o_ahead[l] == o_ahead[l + 1] &&
                s_ahead[l] == s_ahead[l - 1] && s_ahead[l] == s_ahead[l + 1])
                continue;
            const auto [previous, next] = neighbours(o_ahead[l], shape.orientations);
            const ptrdiff_t base = p + l + zel::kPrefetchAhead + scales * zel::zero_based(s_ahead[l]);
            zel::prefetch(R, base + planes * zel::zero_based(previous));
            zel::prefetch(R, base + planes * zel::zero_based(o_ahead[l]));
            zel::prefetch(R, base + planes * zel::zero_based(next));
        }
    }
    uint16_t o[W];
    ptrdiff_t at[W], previous_at[W], next_at[W];
    for (int l = 0; l < W; ++l) {
        o[l] = in.orientation[p + l];
        const auto [previous, next] = neighbours(o[l], shape.orientations);
        const ptrdiff_t base = p + l + scales * zel::zero_based(in.scale[p + l]);
        previous_at[l] = base + planes * zel::zero_based(previous);
        at[l] = base + planes * zel::zero_based(o[l]);
        next_at[l] = base + planes * zel::zero_based(next);
    }
    const V a = zel::standard_abs<W>(zel::lanes_of<W>([&](int l) { return R[previous_at[l]]; }));
    const V c = zel::standard_abs<W>(zel::lanes_of<W>([&](int l) { return R[at[l]]; }));
    const V b = zel::standard_abs<W>(zel::lanes_of<W>([&](int l) { return R[next_at[l]]; }));
    const V k = zel::lanes_of<W>([&](int l) { return double(o[l]); });
    V theta = zel::peak_position<W>(k, a, c, b);
    const AngleMapping& m = in.mapping;
    if (m.flag == 0) {
        theta = theta < zel::broadcast<W>(1.0) ? theta + zel::broadcast<W>(m.wrap_period) : theta;
        zel::store<W>(A + p, ((theta - zel::broadcast<W>(1.0)) / zel::broadcast<W>(m.orientations)) *
                                 zel::broadcast<W>(180.0));
        return;
    }
    double thetas[W];
    zel::store<W>(thetas, theta);
    for (int l = 0; l < W; ++l) A[p + l] = angle_of(thetas[l], o[l], m);
}

// A call as the gateway hands it to the lanes.
struct OrientationCall {
    OrientationInputs in;
    zel::RealArray response;
    double* A;
};

// Pixels are computed a run at a time, in lane groups.
constexpr ptrdiff_t kRun = 512;

// The map of every pixel, N pixels at a time.
template <int N>
void orientation_map(const OrientationCall& call)
{
    zel::with_elements(call.response, [&](auto R) {
        zel::for_each_pixel_run(call.in.shape, kRun, [&](ptrdiff_t first, ptrdiff_t count) {
            zel::for_each_lane_group<N>(count, [&](ptrdiff_t q, auto group) {
                orientation_angles<decltype(group)::value>(call.in, first + q, R, call.A);
            });
        });
    });
}

}  // namespace

#ifdef ZEL_LANE_WIDTH
ZEL_LANE_ENTRY(orientation_map, OrientationCall)
#else
extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    const zel::Signature signature = {"ZELgetOrientationMap", kRoles, kInputCount, 1, "Four input arguments required."};
    const zel::Call call = zel::begin_call(signature, nlhs, nrhs, prhs);
    // The scale count serves only to check the scale index map.
    const zel::StackShape shape = zel::read_stack_shape(call, kResponse);
    zel::require_index_maps(call, kOrientationIndex, kScaleIndex, shape);

    const uint16_t flag = zel::first_uint16(prhs[kAngleMapping]);
    if (flag != 0 && shape.orientations < kArctangentOrientations && zel::pixel_count(shape) > 0)
        zel::warn(call, kTooFewOrientations,
                  "input 4 (angle mapping flag) is %u, which selects the arctangent mapping; it needs at least %u orientations and input 1 (response stack) has %u, so the angles are not those of its orientations (with 3 to 9, only 0, 90 or 180). uint16(0) selects the linear mapping.",
                  unsigned(flag), unsigned(kArctangentOrientations), unsigned(shape.orientations));
    const OrientationInputs in = {shape, zel::index_map(prhs[kOrientationIndex]), zel::index_map(prhs[kScaleIndex]),
                                  angle_mapping(shape.orientations, flag)};

    double* A = zel::create_output(plhs, 0, shape);
    zel::compute_with_widest_lanes(OrientationCall{in, zel::real_array(prhs[kResponse]), A});
}
#endif
