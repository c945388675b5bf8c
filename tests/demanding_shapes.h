// The stacks on which the comparisons go beyond the small shapes of each
// kernel's own tests, for the C++ suite and for the cross-host and
// cross-platform cases alike.
#ifndef ZEL_TESTS_DEMANDING_SHAPES_H
#define ZEL_TESTS_DEMANDING_SHAPES_H

#include <cstddef>
#include <vector>

namespace zeltest {

// Images of more pixels than one run of the kernels that compute in runs
// (512 pixels) with a partial last run, tall, wide, one row and one column;
// 65534 orientations and 65534 scales, the most a size may be, for one pixel
// and for two in either direction; and a stack of five dimensions, of which
// the kernels read the first four.
inline const std::vector<std::vector<size_t>>& demanding_stacks()
{
    static const std::vector<std::vector<size_t>> stacks = {
        {17, 31, 3, 2},   {257, 2, 2, 3}, {1, 600, 4},       {600, 1, 1, 2},   {1, 2, 65534},
        {2, 1, 1, 65534}, {3, 4, 3, 2, 2}, {1, 1, 65534},    {2, 1, 65534},    {1, 1, 1, 65534},
        {1, 2, 1, 65534}};
    return stacks;
}

}  // namespace zeltest

#endif
