// K = ZELgetCurvatureMap(O)
//
// The curvature map: along one-pixel-wide curves of an orientation map, how
// far the orientation turns from one neighbour, through the pixel, to the
// other. Only pixels with exactly two valid neighbours among their eight (the
// inner points of such curves) get a value; every other pixel, the border
// included, gets NaN.
//
// Input:
//   1 O   orientation map, double or single, rows x cols: angles in degrees
//         with a period of 180, NaN where a pixel has no orientation. Further
//         dimensions are accepted; only the first rows x cols elements are read.
// Output:
//   K     double, rows x cols

#include "element_access.h"
#include "input_checks.h"
#include "platform/libm_binding.h"
#include "scalar_helpers.h"

namespace {

enum Input { kOrientationMap, kInputCount };

const zel::InputRole kRoles[kInputCount] = {
    {"orientation map", zel::kDoubleArray},
};

// The positive quiet NaN, for pixels without a curvature.
constexpr double kNoCurvature = __builtin_nan("");

// A difference of two angles brought into [-90, 90] by one half turn at most.
// The comparisons are strict, so exactly +-90 stays, and the second sees the
// result of the first. The wrap is odd: wrapping -d gives minus wrapping d.
inline double half_turn_wrap(double d)
{
    if (d > 90.0) d = d - 180.0;
    if (d < -90.0) d = d + 180.0;
    return d;
}

// The chord 2 sin(phi / 2) that an orientation change of delta degrees gives,
// phi = abs(delta) * pi / 360 radians, formed in this order:
//   h = sin(((standard_abs(delta) * 0.5) * pi) / 360),  chord = h + h
inline double chord(double delta)
{
    const double half_angle = ((zel::standard_abs(delta) * 0.5) * 3.141592653589793) / 360.0;
    const double s = sin(half_angle);
    return s + s;
}

// What the interior pass sees on its way, for the warnings after it: the
// pixels that hold an orientation, those of them that are inner points of a
// curve, and the range of the curve points' own angles.
struct CurveCensus {
    ptrdiff_t oriented;
    ptrdiff_t curve_points;
    double lowest, highest;
};

// One pixel off the border, at pixel index p with centre c = O[p]. The eight
// neighbours are scanned row above left to right, left, right, row below left
// to right; A and B are the first and the second valid (non-NaN) one.
//
//   K = chord(plus(wrap(A - c), wrap(c - B)))   when exactly two are valid
template <typename Map>
inline double curvature_value(Map O, ptrdiff_t p, ptrdiff_t rows, CurveCensus& census)
{
    const double c = O[p];
    if (__builtin_isnan(c)) return kNoCurvature;
    ++census.oriented;
    uint8_t valid = 0;
    double A = 0.0, B = 0.0;
    for (int a = -1; a <= 1; ++a) {
        for (int b = -1; b <= 1; ++b) {
            if (a == 0 && b == 0) continue;
            const double neighbour = O[p + a + rows * b];
            if (__builtin_isnan(neighbour)) continue;
            ++valid;
            if (valid == 1) A = neighbour;
            if (valid == 2) B = neighbour;
        }
    }
    if (valid != 2) return kNoCurvature;
    ++census.curve_points;
    census.lowest = c < census.lowest ? c : census.lowest;
    census.highest = c > census.highest ? c : census.highest;
    const double d1 = half_turn_wrap(c - B);
    const double d2 = half_turn_wrap(A - c);
    return chord(zel::plus(d2, d1));
}

// NaN into the first and last column, then the first and last row.
inline void write_border(double* K, const zel::StackShape& shape)
{
    const ptrdiff_t rows = shape.rows, cols = shape.cols;
    for (ptrdiff_t i = 0; i < rows; ++i) {
        K[i] = kNoCurvature;
        K[(cols - 1) * rows + i] = kNoCurvature;
    }
    for (ptrdiff_t j = 0; j < cols; ++j) {
        K[j * rows] = kNoCurvature;
        K[j * rows + rows - 1] = kNoCurvature;
    }
}

// Warnings for the two mistakes that leave a map without meaning. A map
// whose oriented pixels are regions rather than one-pixel-wide curves (an
// orientation map not thinned) has no curve point, so its curvature map is
// NaN everywhere. A map in radians: every curve point's angle lies within
// [-pi, pi] and together they spread over more than 1 (57 degrees, were they
// radians). A map in degrees does so only when every curve runs within 3.2
// degrees of the x axis; the demo's map, and every tile of it, does not. Ten
// curve points at least, so that the few pixels of a small tile cannot
// raise it.
constexpr const char* kNoCurvePoints = "noCurvePoints";
constexpr const char* kLooksLikeRadians = "looksLikeRadians";
constexpr ptrdiff_t kRadiansCurvePoints = 10;

inline void warn_of_mistakes(const zel::Call& call, const CurveCensus& census)
{
    if (census.oriented > 0 && census.curve_points == 0)
        zel::warn(call, kNoCurvePoints,
                  "input 1 (orientation map) holds an angle at %td pixel%s inside its border, but none of them has exactly two neighbours with an angle, as the inner points of a one-pixel-wide curve have, so the map is NaN everywhere. Thin the structures to one-pixel-wide curves and set the orientation map to NaN off them.",
                  census.oriented, zel::plural(size_t(census.oriented)));
    const double pi = 3.141592653589793;
    if (census.curve_points >= kRadiansCurvePoints && census.lowest >= -pi && census.highest <= pi &&
        census.highest - census.lowest > 1.0)
        zel::warn(call, kLooksLikeRadians,
                  "input 1 (orientation map) looks like radians: the angles of its %td curve points lie from %.3f to %.3f, all within [-pi, pi]. It is read in degrees (period 180), so the curvature of a map in radians is about 57 times too small; pass rad2deg(O).",
                  census.curve_points, census.lowest, census.highest);
}

}  // namespace

extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    const zel::Signature signature = {"ZELgetCurvatureMap", kRoles, kInputCount, 1, "One input arguments required."};
    const zel::Call call = zel::begin_call(signature, nlhs, nrhs, prhs);
    const zel::StackShape shape = zel::read_map_shape(call, kOrientationMap);

    const zel::RealArray orientation_map = zel::real_array(prhs[kOrientationMap]);
    double* K = zel::create_output(plhs, 0, shape);
    // An empty map has no border to write.
    if (shape.rows == 0 || shape.cols == 0) return;
    write_border(K, shape);
    CurveCensus census = {0, 0, __builtin_inf(), -__builtin_inf()};
    zel::with_elements(orientation_map, [&](auto O) {
        zel::for_each_inner_pixel(shape, [&](ptrdiff_t p) { K[p] = curvature_value(O, p, shape.rows, census); });
    });
    warn_of_mistakes(call, census);
}
