// The gateway frame that every MEX file of the library shares: the input
// count check, the sizes of the first input held in 16 bits, the index
// arithmetic of the stacks, output creation and the pixel traversal.
#ifndef ZEL_MEX_FRAME_H
#define ZEL_MEX_FRAME_H

#include "mex.h"

#include <stddef.h>
#include <stdint.h>

// Pixels are visited in memory order unless a build asks for rows outer,
// columns inner (for comparing the two); every pixel depends only on the
// inputs and its own output element, so the order is not observable.
#define ZEL_MEMORY_ORDER 0
#define ZEL_ROWS_OUTER 1
#ifndef ZEL_TRAVERSAL
#define ZEL_TRAVERSAL ZEL_MEMORY_ORDER
#endif

// The per-pixel code is written as small functions and lambdas that must be
// inlined into the loops that run them. GCC's heuristics leave some of them
// calls, even inside a flattened function, and the edge and ridge maps then
// take 1.3 to 2 times as long. A lambda that only prefetches must be inlined
// where it is called for another reason: a call to a function that only
// prefetches has no effect the optimiser sees, and is dropped with every
// prefetch in it.
#define ZEL_ALWAYS_INLINE inline __attribute__((always_inline))
#define ZEL_INLINE_LAMBDA __attribute__((always_inline))


namespace zel {
namespace {

// Sizes of a response stack, rows x cols x orientations x scales, each held
// as a 16-bit value. A size beyond the dimensions the host reports is 1.
struct StackShape {
    uint16_t rows;
    uint16_t cols;
    uint16_t orientations;
    uint16_t scales;
};

inline mwSize host_size(const mxArray* array, mwSize k)
{
    return mxGetNumberOfDimensions(array) > k ? mxGetDimensions(array)[k] : 1;
}

inline ptrdiff_t pixel_count(const StackShape& s) { return ptrdiff_t(s.rows) * s.cols; }

// o - 1 of a 1-based orientation or scale o, as a 32-bit signed integer.
ZEL_ALWAYS_INLINE int32_t zero_based(uint16_t o) { return int32_t(o) - 1; }

// Distance between consecutive orientations, and between consecutive scales,
// of one pixel in the stack.
inline ptrdiff_t orientation_stride(const StackShape& s) { return pixel_count(s); }
inline ptrdiff_t scale_stride(const StackShape& s) { return pixel_count(s) * s.orientations; }

// Where orientation o, and scale s, start in the stack (1-based): the offset
// of (p, o, s) is p + orientation_start(o) + scale_start(s).
inline ptrdiff_t orientation_start(const StackShape& shape, uint16_t o)
{
    return orientation_stride(shape) * zero_based(o);
}
inline ptrdiff_t scale_start(const StackShape& shape, uint16_t s) { return scale_stride(shape) * zero_based(s); }

// Offset of (p, o, s), orientation o and scale s 1-based. The gateway limits
// every offset to 31 bits, so 64-bit arithmetic gives the 32-bit result.
inline ptrdiff_t stack_offset(const StackShape& shape, ptrdiff_t p, uint16_t o, uint16_t s)
{
    return p + orientation_start(shape, o) + scale_start(shape, s);
}

// Where T(., s) starts in a column-major orientations x scales table, and
// the linear index of T(o, s) = (o - 1) + table_column(s), o and s 1-based.
// A stack of at most 2^31 elements keeps it within 31 bits wherever a pixel
// reads it.
inline ptrdiff_t table_column(const StackShape& shape, uint16_t s)
{
    return ptrdiff_t(shape.orientations) * zero_based(s);
}
inline ptrdiff_t scale_table_index(const StackShape& shape, uint16_t o, uint16_t s)
{
    return zero_based(o) + table_column(shape, s);
}

// A new rows x cols double matrix, zero-filled by the host, stored in its slot.
// A host may hand out fresh pages that the system maps at their first touch;
// touching one element per page here, with the value the host put there,
// takes those faults in one sweep rather than in the middle of the kernel's
// streams, whose prefetched lines the system's page clearing would evict.
inline void touch_pages(void* data, size_t bytes)
{
    volatile unsigned char* touch = static_cast<unsigned char*>(data);
    for (size_t i = 0; i < bytes; i += 4096) touch[i] = 0;
}

inline double* create_output(mxArray* plhs[], int slot, const StackShape& shape)
{
    plhs[slot] = mxCreateDoubleMatrix(shape.rows, shape.cols, mxREAL);
    double* output = mxGetPr(plhs[slot]);
    touch_pages(output, size_t(pixel_count(shape)) * sizeof(double));
    return output;
}

// An array of the numeric class and dims whose elements the kernel writes,
// every one of them: the host does not fill it first.
inline void* create_filled_array(mxArray* plhs[], int slot, mwSize ndim, const mwSize* dims, mxClassID class_id)
{
    mwSize sizes[4];
    for (mwSize k = 0; k < ndim && k < 4; ++k) sizes[k] = dims[k];
    plhs[slot] = mxCreateUninitNumericArray(ndim, sizes, class_id, mxREAL);
    void* data = mxGetData(plhs[slot]);
    const size_t element_size = class_id == mxDOUBLE_CLASS ? 8 : class_id == mxSINGLE_CLASS ? 4 : 2;  // or uint16
    size_t elements = 1;
    for (mwSize k = 0; k < ndim; ++k) elements *= dims[k];
    if (elements > 0) touch_pages(data, elements * element_size);
    return data;
}

// Calls pixel(p) for every pixel index p = (i - 1) + rows * (j - 1).
template <typename PixelFunction>
inline void for_each_pixel(const StackShape& shape, PixelFunction pixel)
{
#if ZEL_TRAVERSAL == ZEL_ROWS_OUTER
    for (ptrdiff_t i = 0; i < shape.rows; ++i)
        for (ptrdiff_t j = 0; j < shape.cols; ++j) pixel(i + ptrdiff_t(shape.rows) * j);
#else
    const ptrdiff_t count = pixel_count(shape);
    for (ptrdiff_t p = 0; p < count; ++p) pixel(p);
#endif
}

// Calls run(first, count) for consecutive runs of at most max_run pixel
// indices, first to first + count - 1, covering every pixel once in memory
// order, so that a kernel can read the planes of a stack as streams. With
// rows outer, every run is one pixel, in that order.
template <typename RunFunction>
ZEL_ALWAYS_INLINE void for_each_pixel_run(const StackShape& shape, ptrdiff_t max_run, RunFunction run)
{
#if ZEL_TRAVERSAL == ZEL_ROWS_OUTER
    (void)max_run;
    for_each_pixel(shape, [&](ptrdiff_t p) { run(p, ptrdiff_t(1)); });
#else
    const ptrdiff_t count = pixel_count(shape);
    for (ptrdiff_t first = 0; first < count; first += max_run)
        run(first, count - first < max_run ? count - first : max_run);
#endif
}

// Calls pixel(p) for every pixel off the border, rows 2..rows-1 and columns
// 2..cols-1, in the same order as for_each_pixel; none when rows or cols is
// below 3.
template <typename PixelFunction>
inline void for_each_inner_pixel(const StackShape& shape, PixelFunction pixel)
{
    const ptrdiff_t rows = shape.rows, cols = shape.cols;
#if ZEL_TRAVERSAL == ZEL_ROWS_OUTER
    for (ptrdiff_t i = 1; i < rows - 1; ++i)
        for (ptrdiff_t j = 1; j < cols - 1; ++j) pixel(i + rows * j);
#else
    for (ptrdiff_t j = 1; j < cols - 1; ++j)
        for (ptrdiff_t i = 1; i < rows - 1; ++i) pixel(i + rows * j);
#endif
}

}  // namespace
}  // namespace zel

#endif
