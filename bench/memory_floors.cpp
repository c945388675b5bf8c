#include "memory_floors.h"

#include "platform/libm_binding.h"  // the same pow, atan and sin the kernels bind
#include "mex_frame.h"
#include "scalar_helpers.h"

#include <stdint.h>

namespace zelbench {
namespace {

zel::StackShape stack_shape(const mxArray* stack)
{
    return zel::StackShape{uint16_t(zel::host_size(stack, 0)), uint16_t(zel::host_size(stack, 1)),
                           uint16_t(zel::host_size(stack, 2)), uint16_t(zel::host_size(stack, 3))};
}

const uint16_t* index_map(const mxArray* map) { return static_cast<const uint16_t*>(mxGetData(map)); }
uint16_t uint16_first(const mxArray* scalar) { return index_map(scalar)[0]; }
uint16_t element_count(const mxArray* table) { return uint16_t(mxGetNumberOfElements(table)); }

// A profile table index that depends on the pixel's data, found without the
// kernel's arithmetic: which element is sampled costs the same, since the
// table stays in the first-level cache.
inline int table_index(int key, int count) { return key < count ? key : count - 1; }

// The half-turn wrap of the curvature kernel.
inline double wrap_half_turn(double d)
{
    if (d > 90.0) d = d - 180.0;
    if (d < -90.0) d = d + 180.0;
    return d;
}

// The floors that read the stacks at the orientation an index map selects
// jump to another plane wherever the selection changes, every dozen pixels or
// so on smooth maps; asking for the lines of the pixel this far ahead keeps
// those jumps from stalling the loop (about a fifth faster here).
constexpr ptrdiff_t kPrefetchDistance = 64;

template <typename T>
inline void prefetch_planes(const T* first, ptrdiff_t stride, int count)
{
    for (int k = 0; k < count; ++k) __builtin_prefetch(first + stride * k);
}

// The elements of an input that a caller may pass in single precision: the
// stacks and the per-pixel real maps, all in the class of the first input.
template <typename T>
const T* elements(const mxArray* array)
{
    return static_cast<const T*>(mxGetData(array));
}

// Runs floor(T()) with T the class of the first input, double or float.
template <typename Floor>
void by_class(const mxArray* first, Floor floor)
{
    if (mxGetClassID(first) == mxSINGLE_CLASS) floor(float());
    else floor(double());
}

// The blob floor streams the planes over blocks of this many pixels: two
// streams at a time instead of two per plane (three times faster than
// pixel by pixel here); larger blocks gained nothing.
constexpr ptrdiff_t kBlock = 8192;

// Blob: every orientation of both stacks at every scale, streamed plane by
// plane over a block of pixels; per pixel the map, the size and amplitude,
// and per scale T(o*, s) and one profile element.
template <typename T>
void blob_floor_of(mxArray* plhs[], const mxArray* prhs[])
{
    const zel::StackShape shape = stack_shape(prhs[0]);
    const T* R = elements<T>(prhs[0]);
    const T* Q = elements<T>(prhs[1]);
    const uint16_t* orientation = index_map(prhs[2]);
    const int table_length = element_count(prhs[5]);
    const double* profile = mxGetPr(prhs[5]);
    const T* size_map = elements<T>(prhs[7]);
    const double* scale_table = mxGetPr(prhs[8]);
    const T* amplitude = elements<T>(prhs[9]);
    double* out = zel::create_output(plhs, 0, shape);
    const ptrdiff_t pixels = zel::pixel_count(shape);
    const ptrdiff_t plane = zel::orientation_stride(shape);
    const ptrdiff_t step = zel::scale_stride(shape);
    const int orientations = shape.orientations, scales = shape.scales;
    double sums[kBlock];
    for (ptrdiff_t start = 0; start < pixels; start += kBlock) {
        const ptrdiff_t length = pixels - start < kBlock ? pixels - start : kBlock;
        for (ptrdiff_t i = 0; i < length; ++i) {
            const ptrdiff_t p = start + i;
            const int o = orientation[p] - 1;
            double sum = size_map[p] + amplitude[p];
            for (int s = 0; s < scales; ++s)
                sum += scale_table[o + orientations * s] + profile[table_index(o + s, table_length)];
            sums[i] = sum;
        }
        for (int s = 0; s < scales; ++s) {
            for (int o = 0; o < orientations; ++o) {
                const T* r = R + start + plane * o + step * s;
                const T* q = Q + start + plane * o + step * s;
                for (ptrdiff_t i = 0; i < length; ++i) sums[i] += r[i] + q[i];
            }
        }
        for (ptrdiff_t i = 0; i < length; ++i) out[start + i] = sums[i];
    }
}

// Ridge: R and Q at (p, o*, s) for every scale, T(o*, s) and two profile
// elements per scale, the map, the size and the amplitude.
template <typename T>
void ridge_floor_of(mxArray* plhs[], const mxArray* prhs[])
{
    const zel::StackShape shape = stack_shape(prhs[0]);
    const T* R = elements<T>(prhs[0]);
    const T* Q = elements<T>(prhs[1]);
    const uint16_t* orientation = index_map(prhs[2]);
    const int table_length = element_count(prhs[5]);
    const double* profile = mxGetPr(prhs[5]);
    const T* size_map = elements<T>(prhs[7]);
    const double* scale_table = mxGetPr(prhs[8]);
    const T* amplitude = elements<T>(prhs[9]);
    double* out = zel::create_output(plhs, 0, shape);
    const ptrdiff_t pixels = zel::pixel_count(shape);
    const ptrdiff_t plane = zel::orientation_stride(shape);
    const ptrdiff_t step = zel::scale_stride(shape);
    const int orientations = shape.orientations, scales = shape.scales;
    for (ptrdiff_t p = 0; p < pixels; ++p) {
        const ptrdiff_t ahead = p + kPrefetchDistance;
        if (ahead < pixels) {
            const ptrdiff_t next = ahead + plane * (orientation[ahead] - 1);
            prefetch_planes(R + next, step, scales);
            prefetch_planes(Q + next, step, scales);
        }
        const int o = orientation[p] - 1;
        const T* r = R + p + plane * o;
        const T* q = Q + p + plane * o;
        double sum = size_map[p] + amplitude[p];
        for (int s = 0; s < scales; ++s) {
            const double samples = profile[table_index(o + s, table_length)] +
                                   profile[table_index(table_length - 1 - o - s, table_length)];
            sum += (r[step * s] + q[step * s]) + (scale_table[o + orientations * s] + samples);
        }
        out[p] = sum;
    }
}

// Edge: R and Q at (p, o*, k) for every scale, the reference R(p, o*, s*)
// (one of them) and the two maps.
template <typename T>
void edge_floor_of(mxArray* plhs[], const mxArray* prhs[])
{
    const zel::StackShape shape = stack_shape(prhs[0]);
    const T* R = elements<T>(prhs[0]);
    const T* Q = elements<T>(prhs[1]);
    const uint16_t* orientation = index_map(prhs[2]);
    const uint16_t* scale = index_map(prhs[3]);
    double* out = zel::create_output(plhs, 0, shape);
    const ptrdiff_t pixels = zel::pixel_count(shape);
    const ptrdiff_t plane = zel::orientation_stride(shape);
    const ptrdiff_t step = zel::scale_stride(shape);
    const int scales = shape.scales;
    for (ptrdiff_t p = 0; p < pixels; ++p) {
        const ptrdiff_t ahead = p + kPrefetchDistance;
        if (ahead < pixels) {
            const ptrdiff_t next = ahead + plane * (orientation[ahead] - 1);
            prefetch_planes(R + next, step, scales);
            prefetch_planes(Q + next, step, scales);
        }
        const ptrdiff_t base = p + plane * (orientation[p] - 1);
        const T* r = R + base;
        const T* q = Q + base;
        double responses = r[step * (scale[p] - 1)];
        double penalties = 0.0;
        for (int k = 0; k < scales; ++k) {
            responses += r[step * k];
            penalties += q[step * k];
        }
        out[p] = responses + penalties;
    }
}

// Height and width: R(p, o*, s*) and, at an inner scale, its two scale
// neighbours with the one pow on the kernel's own arguments; T(o*, s*), and
// T(1, 1) and T(1, 2) once; the profile elements the mode samples.
template <typename T>
void height_and_width_floor_of(mxArray* plhs[], const mxArray* prhs[])
{
    const zel::StackShape shape = stack_shape(prhs[0]);
    const T* R = elements<T>(prhs[0]);
    const uint16_t* orientation = index_map(prhs[1]);
    const uint16_t* scale = index_map(prhs[2]);
    const int table_length = element_count(prhs[3]);
    const double* profile = mxGetPr(prhs[3]);
    const double* scale_table = mxGetPr(prhs[5]);
    const uint16_t mode = uint16_first(prhs[6]);
    double* height = zel::create_output(plhs, 0, shape);
    double* width = zel::create_output(plhs, 1, shape);
    const ptrdiff_t pixels = zel::pixel_count(shape);
    const ptrdiff_t plane = zel::orientation_stride(shape);
    const ptrdiff_t step = zel::scale_stride(shape);
    const int orientations = shape.orientations, scales = shape.scales;
    const double ratio = scales >= 3 ? scale_table[0] / scale_table[orientations] : 1.0;
    const int samples = mode == 1 || mode == 3 ? 1 : 2;
    for (ptrdiff_t p = 0; p < pixels; ++p) {
        const ptrdiff_t ahead = p + kPrefetchDistance;
        if (ahead < pixels) {
            const int s = scale[ahead];
            const int first = s > 1 ? s - 2 : 0, last = s < scales ? s : scales - 1;
            prefetch_planes(R + ahead + plane * (orientation[ahead] - 1) + step * first, step, last - first + 1);
        }
        const int o = orientation[p] - 1;
        const int s = scale[p];
        const T* r = R + p + plane * o;
        const double centre = r[step * (s - 1)];
        const double entry = scale_table[o + orientations * (s - 1)];
        double w = entry;
        if (s != 1 && s != scales) {
            const double a = zel::standard_abs(r[step * (s - 2)]);
            const double b = zel::standard_abs(r[step * s]);
            const double refined = double(s) + (b - a) / (zel::standard_abs(centre) * 4.0 - (b + a) * 2.0);
            w = pow(ratio, double(s) - refined) * entry;
        }
        double divisor = profile[table_index(o + s, table_length)];
        if (samples == 2) divisor += profile[table_index(table_length - 1 - o - s, table_length)];
        width[p] = w;
        height[p] = centre + divisor;
    }
}

// Orientation: R at (p, o, s*) for o* and its two neighbours, wrapping
// round; the kernel calls atan only with the arctangent mapping, and the floor
// then makes the same call.
template <typename T>
void orientation_floor_of(mxArray* plhs[], const mxArray* prhs[])
{
    const zel::StackShape shape = stack_shape(prhs[0]);
    const T* R = elements<T>(prhs[0]);
    const uint16_t* orientation = index_map(prhs[1]);
    const uint16_t* scale = index_map(prhs[2]);
    const uint16_t flag = uint16_first(prhs[3]);
    double* out = zel::create_output(plhs, 0, shape);
    const ptrdiff_t pixels = zel::pixel_count(shape);
    const ptrdiff_t plane = zel::orientation_stride(shape);
    const ptrdiff_t step = pixels * shape.orientations;
    const int count = shape.orientations;
    const double period = double(count - 6 * int32_t(flag));
    const double half = double(count >> 1), quarter = double(count >> 2), divisor = double((count - 6) / 4);
    for (ptrdiff_t p = 0; p < pixels; ++p) {
        const ptrdiff_t ahead = p + kPrefetchDistance;
        if (ahead < pixels) {
            const int o = orientation[ahead];
            const T* r = R + ahead + step * (scale[ahead] - 1);
            __builtin_prefetch(r + plane * (o == 1 ? count - 1 : o - 2));
            __builtin_prefetch(r + plane * (o - 1));
            __builtin_prefetch(r + plane * (o == count ? 0 : o));
        }
        const int o = orientation[p];
        const T* r = R + p + step * (scale[p] - 1);
        const int previous = o == 1 ? count : o - 1;
        const int next = o == count ? 1 : o + 1;
        const double a = zel::standard_abs(r[plane * (previous - 1)]);
        const double c = zel::standard_abs(r[plane * (o - 1)]);
        const double b = zel::standard_abs(r[plane * (next - 1)]);
        if (flag == 0) {
            out[p] = (a + b) + c;
            continue;
        }
        double theta = double(o) + (b - a) / (c * 4.0 - (b + a) * 2.0);
        if (theta < 1.0) theta = theta + period;
        const double argument = o > half ? (((theta - half) - quarter) - 1.0) / divisor
                                         : ((theta - quarter) - 1.0) / divisor;
        out[p] = atan(argument);
    }
}

// Curvature: every interior centre, its eight neighbours when it carries an
// orientation, and sin on the kernel's argument where exactly two neighbours
// are valid; NaN on the border. Columns in memory order.
template <typename T>
void curvature_floor_of(mxArray* plhs[], const mxArray* prhs[])
{
    const T* in = elements<T>(prhs[0]);
    const mwSize* dims = mxGetDimensions(prhs[0]);
    const zel::StackShape shape = {uint16_t(dims[0]), uint16_t(dims[1]), 1, 1};
    double* out = zel::create_output(plhs, 0, shape);
    const ptrdiff_t rows = shape.rows, cols = shape.cols;
    const double nan = __builtin_nan("");
    for (ptrdiff_t j = 0; j < cols; ++j) {
        const T* column = in + rows * j;
        double* result = out + rows * j;
        if (j == 0 || j == cols - 1 || rows < 3) {
            for (ptrdiff_t i = 0; i < rows; ++i) result[i] = nan;
            continue;
        }
        result[0] = nan;
        for (ptrdiff_t i = 1; i + 1 < rows; ++i) {
            const double centre = column[i];
            double value = nan;
            if (centre == centre) {
                const T* around = column + i;
                const double neighbours[8] = {around[-1 - rows], around[-rows], around[1 - rows], around[-1],
                                              around[1],         around[rows - 1], around[rows], around[rows + 1]};
                int valid = 0;
                double first = 0.0, second = 0.0;
                for (double v : neighbours) {
                    if (v != v) continue;
                    if (valid == 0) first = v;
                    else if (valid == 1) second = v;
                    ++valid;
                }
                if (valid == 2) {
                    const double change = wrap_half_turn(first - centre) + wrap_half_turn(centre - second);
                    value = sin(((zel::standard_abs(change) * 0.5) * 3.141592653589793) / 360.0);
                } else {
                    value = first + second;
                }
            }
            result[i] = value;
        }
        result[rows - 1] = nan;
    }
}

}  // namespace

void blob_floor(int, mxArray* plhs[], int, const mxArray* prhs[])
{
    by_class(prhs[0], [&](auto element) { blob_floor_of<decltype(element)>(plhs, prhs); });
}
void ridge_floor(int, mxArray* plhs[], int, const mxArray* prhs[])
{
    by_class(prhs[0], [&](auto element) { ridge_floor_of<decltype(element)>(plhs, prhs); });
}
void edge_floor(int, mxArray* plhs[], int, const mxArray* prhs[])
{
    by_class(prhs[0], [&](auto element) { edge_floor_of<decltype(element)>(plhs, prhs); });
}
void height_and_width_floor(int, mxArray* plhs[], int, const mxArray* prhs[])
{
    by_class(prhs[0], [&](auto element) { height_and_width_floor_of<decltype(element)>(plhs, prhs); });
}
void orientation_floor(int, mxArray* plhs[], int, const mxArray* prhs[])
{
    by_class(prhs[0], [&](auto element) { orientation_floor_of<decltype(element)>(plhs, prhs); });
}
void curvature_floor(int, mxArray* plhs[], int, const mxArray* prhs[])
{
    by_class(prhs[0], [&](auto element) { curvature_floor_of<decltype(element)>(plhs, prhs); });
}

}  // namespace zelbench
