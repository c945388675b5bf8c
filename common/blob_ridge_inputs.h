// The ten inputs that the blob map and the ridge map share: their roles, the
// checks of the caller's contract, and the values the per-pixel computation
// reads, fetched once per call.
#ifndef ZEL_BLOB_RIDGE_INPUTS_H
#define ZEL_BLOB_RIDGE_INPUTS_H

#include "element_access.h"
#include "input_checks.h"
#include "lanes.h"
#include "profile_sampling.h"
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
    RealArray response;
    RealArray penalty;
    IndexMap orientation;
    double penalty_weight;
    ProfileTable profile;
    double sampling_gain;
    RealArray size;
    RealArray scale_table;
    RealArray amplitude;
};

// Checks a call of the named kernel and fetches its inputs. Every pixel then
// reads inside the arrays: the orientation index check also turns away a
// stack with no orientation as soon as it has a pixel.
inline BlobRidgeInputs read_blob_ridge_inputs(const char* kernel, int nlhs, int nrhs, const mxArray* prhs[])
{
    const Signature signature = {kernel, kBlobRidgeRoles, kBlobRidgeInputCount, 1, "Ten input arguments required."};
    const Call call = begin_call(signature, nlhs, nrhs, prhs);
    const StackShape shape = read_stack_shape(call, kResponseStack);
    require_same_size(call, kPenaltyStack, kResponseStack);
    require_pixel_map(call, kOrientationIndexMap, shape);
    require_pixel_map(call, kSizeMap, shape);
    require_pixel_map(call, kAmplitudeMap, shape);
    require_profile_table(call, kProfileTable, shape);
    require_scale_table(call, kScaleTable, shape);
    require_indices(call, kOrientationIndexMap, shape, shape.orientations, "orientation");

    BlobRidgeInputs in;
    in.shape = shape;
    in.response = real_array(prhs[kResponseStack]);
    in.penalty = real_array(prhs[kPenaltyStack]);
    in.orientation = index_map(prhs[kOrientationIndexMap]);
    in.penalty_weight = first_value(prhs[kPenaltyWeight]);
    in.profile = profile_table(prhs[kProfileTable]);
    in.sampling_gain = first_value(prhs[kSamplingGain]);
    in.size = real_array(prhs[kSizeMap]);
    in.scale_table = real_array(prhs[kScaleTable]);
    in.amplitude = real_array(prhs[kAmplitudeMap]);
    return in;
}

// A call of the blob or ridge map as the gateway hands it to the lanes: the
// inputs and the map.
struct BlobRidgeCall {
    BlobRidgeInputs in;
    double* M;
};

// What the pixels read at scale s besides the stacks, held apart from the
// inputs: stores to a map's scratch could otherwise alias them.
struct ScaleReads {
    RealArray scale_table;
    ProfileTable profile;
    ptrdiff_t column;  // where T(., s) starts in the scale table
    double penalty_weight;
    double sampling_gain;
    double twice_count;  // 2n
};

inline ScaleReads scale_reads(const BlobRidgeInputs& in, uint16_t s)
{
    return ScaleReads{in.scale_table,    in.profile,       table_column(in.shape, s),
                      in.penalty_weight, in.sampling_gain, twice_count(in.profile)};
}

}  // namespace
}  // namespace zel

#endif
