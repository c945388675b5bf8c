// Asking for cache lines ahead of the pixel being computed, where a kernel
// reads more streams than the processor's prefetchers follow, or jumps
// between planes at each pixel's selected orientation and scale, which they
// do not foresee. Prefetching reads nothing and changes no value.
#ifndef ZEL_PREFETCHING_H
#define ZEL_PREFETCHING_H

#include "element_access.h"
#include "mex_frame.h"

#include <stddef.h>
#include <stdint.h>

namespace zel {
namespace {

// How far ahead, in pixels, the kernels ask for the lines they will read.
constexpr ptrdiff_t kPrefetchAhead = 64;

// Asks for the line of element i to be brought into the cache; reads
// nothing, so i may lie past the array.
template <typename T>
ZEL_ALWAYS_INLINE void prefetch(Elements<T> elements, ptrdiff_t i)
{
    __builtin_prefetch(elements.data + i);
}

// Whether the count elements from element i on take in the start of a
// 64-byte cache line: a pass over the array meets each line start once.
template <typename T>
ZEL_ALWAYS_INLINE bool starts_line(Elements<T> elements, ptrdiff_t i, ptrdiff_t count)
{
    const uintptr_t first = uintptr_t(elements.data + i);
    return (first - 1) / 64 != (first + count * sizeof(T) - 1) / 64;
}

// For the maps computed one pixel at a time: calls lines(ahead) with
// ahead = p + kPrefetchAhead, for it to ask for what that pixel will read,
// when that pixel exists (pixels is the pixel count). lines must be a
// ZEL_INLINE_LAMBDA.
template <typename Lines>
ZEL_ALWAYS_INLINE void prefetch_pixel_ahead(ptrdiff_t p, ptrdiff_t pixels, Lines lines)
{
    const ptrdiff_t ahead = p + kPrefetchAhead;
    if (ahead < pixels) lines(ahead);
}

// For the maps computed a lane group of W pixels at a time at each pixel's
// selected orientation o*: asks for the lines that the group kPrefetchAhead
// pixels on from p reads in both stacks, at every scale. A group spans at
// most two lines of a plane, so within a stretch of lanes on one plane the
// first and the last lane ask for all its lines; asking for every lane cost
// more.
template <int W, typename Stack, typename PenaltyStack>
ZEL_ALWAYS_INLINE void prefetch_selected_planes(const StackShape& shape, const IndexMap& orientation, ptrdiff_t p,
                                                Stack R, PenaltyStack Q)
{
    const ptrdiff_t step = scale_stride(shape), pixels = pixel_count(shape);
    if (p + W - 1 + kPrefetchAhead < pixels) {
        uint16_t o[W];
        for (int l = 0; l < W; ++l) o[l] = orientation[p + l + kPrefetchAhead];
        for (int l = 0; l < W; ++l) {
            if (l != 0 && l != W - 1 && o[l] == o[l - 1] && o[l] == o[l + 1]) continue;
            const ptrdiff_t at = stack_offset(shape, p + l + kPrefetchAhead, o[l], 1);
            for (uint16_t k = 0; k < shape.scales; ++k) {
                prefetch(R, at + step * k);
                prefetch(Q, at + step * k);
            }
        }
    }
}

}  // namespace
}  // namespace zel

#endif
