// The physical floor of each map: what the machine needs at least to bring
// in the distinct 64-byte lines the map reads for the given inputs and to
// write the map's outputs, plus the map's own pow, atan or sin calls on the
// same arguments.
//
// The floor of a map is made in two steps:
//   prepare  (not timed) walks the map's reads for the inputs and lists, per
//            run of kRunPixels pixels, the distinct lines of every plane the
//            run reads, each plane's lines in ascending order, plane after
//            plane; and the arguments of the map's libm calls;
//   floor    (timed, the shape of mexFunction, run through the stand-in host
//            like the map) creates the outputs as the map does, loads one
//            byte of every listed line with a software prefetch a fixed
//            number of entries ahead, writes every output element, and makes
//            the libm calls.
// The floor finds the lists of the inputs it was prepared for; called on
// other inputs it prepares them first, inside the timing.
#ifndef ZEL_BENCH_PHYSICAL_FLOORS_H
#define ZEL_BENCH_PHYSICAL_FLOORS_H

#include "mex.h"

#include <stddef.h>

namespace zelbench {

using FloorEntry = void (*)(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

struct PhysicalFloor {
    FloorEntry run;
    void (*prepare)(const mxArray* const prhs[]);
};

extern const PhysicalFloor blob_physical_floor;
extern const PhysicalFloor ridge_physical_floor;
extern const PhysicalFloor edge_physical_floor;
extern const PhysicalFloor height_and_width_physical_floor;
extern const PhysicalFloor orientation_physical_floor;
extern const PhysicalFloor curvature_physical_floor;

// How many line-list entries ahead the floors prefetch: 128, or
// $ZEL_BENCH_PREFETCH_AHEAD.
size_t prefetch_distance();

// Drops the lists of the floor last prepared and frees their memory; to be
// called before the inputs they point into are destroyed.
void forget_physical_floor();

// The bytes one call of the floor last prepared moves: 64 per listed line
// plus the output elements it writes.
double physical_floor_bytes();

// Reads of a 1 GiB buffer, summed with vector loads, best of five, in GB/s:
// what one core of this process streams from memory.
double streaming_bandwidth();

}  // namespace zelbench

#endif
