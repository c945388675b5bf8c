// Synthetic inputs that look like what the kernels get from real images:
// response and penalty stacks of a smooth orientation and scale field, the
// index maps that select the strongest orientation and scale of that field,
// the size and amplitude maps, the tables, and an orientation map of thin
// curves for the curvature kernel.
#ifndef ZEL_BENCH_FIXTURES_H
#define ZEL_BENCH_FIXTURES_H

#include "matrix.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zelbench {

constexpr uint16_t kOrientations = 8;
constexpr uint16_t kScales = 4;
constexpr uint16_t kProfileLength = 64;
// The two-sample difference mode of the height-and-width kernel (any value
// but 1 and 3) and the linear angle mapping of the orientation kernel, the
// natural one for eight evenly spaced orientations.
constexpr uint16_t kHeightMode = 0;
constexpr uint16_t kAngleFlag = 0;

struct ArrayDeleter {
    void operator()(mxArray* array) const { mxDestroyArray(array); }
};
using Array = std::unique_ptr<mxArray, ArrayDeleter>;

// Every input of every kernel for one square image of size x size pixels.
struct Fixture {
    uint16_t size = 0;
    Array response;           // size x size x orientations x scales
    Array penalty;            // the same size
    Array orientation_index;  // uint16 size x size, 1..orientations
    Array scale_index;        // uint16 size x size, 1..scales
    Array size_map;           // size x size, positive
    Array amplitude_map;      // size x size, signed
    Array scale_table;        // orientations x scales
    Array profile_table;      // kProfileLength elements
    Array penalty_weight;
    Array penalty_factor;
    Array sampling_gain;
    Array height_mode;        // uint16 scalar
    Array angle_flag;         // uint16 scalar
    Array curve_map;          // size x size angles in degrees, NaN off the curves
    // The same stacks and real per-pixel maps in single precision, their
    // values rounded to single: what a caller who keeps large images in
    // single passes.
    Array response_single;
    Array penalty_single;
    Array size_map_single;
    Array amplitude_map_single;
    Array curve_map_single;
    // Distinct elements of curve_map the curvature kernel reads.
    size_t curve_elements_read = 0;
    // Pixels whose scale index is an inner scale (three stack reads in the
    // height-and-width kernel instead of one).
    size_t inner_scale_pixels = 0;
};

// Builds the fixture for one image size (a few seconds at 2048 x 2048).
std::unique_ptr<Fixture> make_fixture(uint16_t size);

}  // namespace zelbench

#endif
