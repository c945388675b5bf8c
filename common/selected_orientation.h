// Reading the stacks at each pixel's selected orientation o*, a lane group of
// pixels at a time: every scale of one plane per pixel, a plane that changes
// wherever the orientation index map does.
#ifndef ZEL_SELECTED_ORIENTATION_H
#define ZEL_SELECTED_ORIENTATION_H

#include "element_access.h"
#include "mex_frame.h"

#include <stddef.h>
#include <stdint.h>

namespace zel {
namespace {

// Where each lane's selected orientation lies: the offsets of (p + l, o*, 1)
// in the stacks, with scale k (0-based) k * scale_stride(shape) further on,
// and o* - 1, the row of an orientations x scales table.
template <int W>
struct SelectedPlanes {
    ptrdiff_t offset[W];
    int32_t row[W];
};

// Finds the selected planes of the lane group from p on, in place (a copy of
// the struct costs more than the loop), and asks for the lines that the
// group kPrefetchAhead pixels further on reads in both stacks, at every
// scale. The selected orientation jumps from plane to plane, which the
// processor's prefetchers do not foresee. A group spans at most two lines of
// a plane, so within a stretch of lanes on one plane the first and the last
// lane ask for all its lines; asking for every lane cost more.
template <int W, typename Stack, typename PenaltyStack>
ZEL_ALWAYS_INLINE void find_selected_planes(const StackShape& shape, const IndexMap& orientation, ptrdiff_t p,
                                            Stack R, PenaltyStack Q, SelectedPlanes<W>& planes)
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
    for (int l = 0; l < W; ++l) {
        planes.row[l] = int32_t(orientation[p + l]) - 1;
        planes.offset[l] = p + l + orientation_stride(shape) * planes.row[l];
    }
}

}  // namespace
}  // namespace zel

#endif
