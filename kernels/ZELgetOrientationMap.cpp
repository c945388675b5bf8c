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

// One pixel: the peak about o* of the magnitudes at o* and its neighbours.
template <typename Stack>
inline double orientation_angle(Stack R, const zel::StackShape& shape, ptrdiff_t p, uint16_t o,
                                uint16_t s, const AngleMapping& m)
{
    const auto [previous, next] = neighbours(o, shape.orientations);
    const double a = zel::standard_abs(R[zel::stack_offset(shape, p, previous, s)]);
    const double c = zel::standard_abs(R[zel::stack_offset(shape, p, o, s)]);
    const double b = zel::standard_abs(R[zel::stack_offset(shape, p, next, s)]);
    return angle_of(zel::peak_position(o, a, c, b), o, m);
}

}  // namespace

extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    const zel::Signature signature = {"ZELgetOrientationMap", kRoles, kInputCount, 1, "Four input arguments required."};
    const zel::Call call = zel::begin_call(signature, nlhs, nrhs, prhs);
    // The scale count serves only to check the scale index map.
    const zel::StackShape shape = zel::read_stack_shape(call, kResponse);
    zel::require_index_maps(call, kOrientationIndex, kScaleIndex, shape);

    const zel::RealArray response = zel::real_array(prhs[kResponse]);
    const zel::IndexMap orientation = zel::index_map(prhs[kOrientationIndex]);
    const zel::IndexMap scale = zel::index_map(prhs[kScaleIndex]);
    const uint16_t flag = zel::first_uint16(prhs[kAngleMapping]);
    const AngleMapping mapping = angle_mapping(shape.orientations, flag);
    if (flag != 0 && shape.orientations < kArctangentOrientations && zel::pixel_count(shape) > 0)
        zel::warn(call, kTooFewOrientations,
                  "input 4 (angle mapping flag) is %u, which selects the arctangent mapping; it needs at least %u orientations and input 1 (response stack) has %u, so the angles are not those of its orientations (with 3 to 9, only 0, 90 or 180). uint16(0) selects the linear mapping.",
                  unsigned(flag), unsigned(kArctangentOrientations), unsigned(shape.orientations));

    double* A = zel::create_output(plhs, 0, shape);
    const ptrdiff_t pixels = zel::pixel_count(shape);
    zel::with_elements(response, [&](auto R) {
        zel::for_each_pixel(shape, [&](ptrdiff_t p) {
            // The selected orientation and scale jump from plane to plane: the
            // lines of a pixel further on are asked for early.
            zel::prefetch_pixel_ahead(p, pixels, [&](ptrdiff_t ahead) ZEL_INLINE_LAMBDA {
                const uint16_t o = orientation[ahead], s = scale[ahead];
                const auto [previous, next] = neighbours(o, shape.orientations);
                zel::prefetch(R, zel::stack_offset(shape, ahead, previous, s));
                zel::prefetch(R, zel::stack_offset(shape, ahead, o, s));
                zel::prefetch(R, zel::stack_offset(shape, ahead, next, s));
            });
            A[p] = orientation_angle(R, shape, p, orientation[p], scale[p], mapping);
        });
    });
}
