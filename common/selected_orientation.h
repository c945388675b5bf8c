// Reading the stacks at each pixel's selected orientation o*, a lane group of
// pixels at a time: every scale of one plane per pixel, a plane that changes
// wherever the orientation index map does.
#ifndef ZEL_SELECTED_ORIENTATION_H
#define ZEL_SELECTED_ORIENTATION_H

#include "element_access.h"
#include "mex_frame.h"
#include "prefetching.h"

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
// the struct costs more than the loop), and asks for the lines of the group
// kPrefetchAhead pixels further on (prefetch_selected_planes).
template <int W, typename Stack, typename PenaltyStack>
ZEL_ALWAYS_INLINE void find_selected_planes(const StackShape& shape, const IndexMap& orientation, ptrdiff_t p,
                                            Stack R, PenaltyStack Q, SelectedPlanes<W>& planes)
{
    prefetch_selected_planes<W>(shape, orientation, p, R, Q);
    for (int l = 0; l < W; ++l) {
        planes.row[l] = zero_based(orientation[p + l]);
        planes.offset[l] = p + l + orientation_stride(shape) * planes.row[l];
    }
}

}  // namespace
}  // namespace zel

#endif
