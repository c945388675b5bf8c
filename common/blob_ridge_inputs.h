// The ten inputs that the blob map and the ridge map share: their roles, the
// checks of the caller's contract, and the values the per-pixel computation
// reads, fetched once per call.
#ifndef ZEL_BLOB_RIDGE_INPUTS_H
#define ZEL_BLOB_RIDGE_INPUTS_H

#include "input_checks.h"
#include "scalar_helpers.h"

namespace zel {
namespace {

enum BlobRidgeInput {
    kResponseStack,         // R, rows x cols x orientations x scales
    kPenaltyStack,          // Q, the size of R
    kOrientationIndexMap,   // o* per pixel, 1-based
    kIgnoredInput,          // stands where the edge map takes its scale index map
    kPenaltyWeight,         // c
    kProfileTable,          // P, n elements
    kSamplingGain,          // g
    kSizeMap,               // a per pixel
    kScaleTable,            // T, orientations x scales
    kAmplitudeMap,          // b per pixel
    kBlobRidgeInputCount
};

const InputRole kBlobRidgeRoles[kBlobRidgeInputCount] = {
    {"response stack", kDoubleArray},  {"penalty stack", kDoubleArray}, {"orientation index map", kIndexMap},
    {"unused", kUnused},               {"penalty weight", kDoubleScalar}, {"profile table", kDoubleTable},
    {"sampling gain", kDoubleScalar},  {"size map", kDoubleArray},     {"scale table", kDoubleArray},
    {"amplitude map", kDoubleArray},
};

struct BlobRidgeInputs {
    StackShape shape;
    const double* response;
    const double* penalty;
    const uint16_t* orientation;
    double penalty_weight;
    ProfileTable profile;
    double sampling_gain;
    const double* size;
    const double* scale_table;
    const double* amplitude;
};

// Checks a call of the named kernel and fetches its inputs. Every pixel then
// reads inside the arrays: the orientation index check also turns away a
// stack with no orientation as soon as it has a pixel.
inline BlobRidgeInputs read_blob_ridge_inputs(const char* kernel, int nrhs, const mxArray* prhs[])
{
    require_input_count(nrhs, kBlobRidgeInputCount, "Ten input arguments required.");
    const Call call = {kernel, kBlobRidgeRoles, prhs};
    check_inputs(call, kBlobRidgeInputCount);
    const StackShape shape = read_stack_shape(call, kResponseStack);
    require_same_size(call, kPenaltyStack, kResponseStack);
    require_pixel_map(call, kOrientationIndexMap, shape);
    require_pixel_map(call, kSizeMap, shape);
    require_pixel_map(call, kAmplitudeMap, shape);
    require_elements(call, kScaleTable, size_t(shape.orientations) * shape.scales,
                     "orientations x scales of the response stack");
    require_indices(call, kOrientationIndexMap, shape, shape.orientations, "orientation count");

    BlobRidgeInputs in;
    in.shape = shape;
    in.response = mxGetPr(prhs[kResponseStack]);
    in.penalty = mxGetPr(prhs[kPenaltyStack]);
    in.orientation = static_cast<const uint16_t*>(mxGetData(prhs[kOrientationIndexMap]));
    in.penalty_weight = mxGetPr(prhs[kPenaltyWeight])[0];
    in.profile = ProfileTable{mxGetPr(prhs[kProfileTable]), uint16_t(mxGetNumberOfElements(prhs[kProfileTable]))};
    in.sampling_gain = mxGetPr(prhs[kSamplingGain])[0];
    in.size = mxGetPr(prhs[kSizeMap]);
    in.scale_table = mxGetPr(prhs[kScaleTable]);
    in.amplitude = mxGetPr(prhs[kAmplitudeMap]);
    return in;
}

// ((a / T(o, s)) * g) / (2n): the fraction of the profile table that the
// size a reaches at orientation o and scale s, before any clamp.
inline double base_fraction(const BlobRidgeInputs& in, double a, uint16_t o, uint16_t s)
{
    const double T = in.scale_table[scale_table_index(in.shape, o, s)];
    return sampling_fraction(a, T, in.sampling_gain, twice_count(in.profile));
}

}  // namespace
}  // namespace zel

#endif
