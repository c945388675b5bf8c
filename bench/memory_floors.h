// The memory floor of each kernel: the fastest plain loop that reads exactly
// the stack, map and table elements the kernel reads for the same inputs,
// adds them up so that nothing is optimised away, writes one double per
// output pixel into an output created through the host as the kernel's is,
// and makes the kernel's calls of pow, atan or sin on the same arguments.
//
// Each has the shape of mexFunction and takes the kernel's own inputs, so
// that it runs through the stand-in host exactly like the kernel. The inputs
// are trusted: nothing is checked.
#ifndef ZEL_BENCH_MEMORY_FLOORS_H
#define ZEL_BENCH_MEMORY_FLOORS_H

#include "mex.h"

namespace zelbench {

void blob_floor(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
void ridge_floor(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
void edge_floor(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
void height_and_width_floor(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
void orientation_floor(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
void curvature_floor(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

}  // namespace zelbench

#endif
