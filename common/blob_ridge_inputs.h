// The ten inputs that the blob map and the ridge map share: their roles, the
// checks of the caller's contract, and the values the per-pixel computation
// reads, fetched once per call.
#ifndef ZEL_BLOB_RIDGE_INPUTS_H
#define ZEL_BLOB_RIDGE_INPUTS_H

#include "element_access.h"
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
    in.profile = ProfileTable{real_array(prhs[kProfileTable]), uint16_t(mxGetNumberOfElements(prhs[kProfileTable]))};
    in.sampling_gain = first_value(prhs[kSamplingGain]);
    in.size = real_array(prhs[kSizeMap]);
    in.scale_table = real_array(prhs[kScaleTable]);
    in.amplitude = real_array(prhs[kAmplitudeMap]);
    return in;
}

// ((a / T(o, s)) * g) / (2n): the fraction of the profile table that the
// size a reaches at orientation o and scale s, before any clamp.
inline double base_fraction(const BlobRidgeInputs& in, double a, uint16_t o, uint16_t s)
{
    const double T = in.scale_table[scale_table_index(in.shape, o, s)];
    return sampling_fraction(a, T, in.sampling_gain, twice_count(in.profile));
}

// Both maps are computed in runs of consecutive pixel indices, one scale
// after the other, so that the stack planes are read as streams and the
// arithmetic of a run runs in loops the compiler vectorises. Each pixel's
// operations keep their order.
constexpr ptrdiff_t kBlobRidgeRun = 256;

// What a run carries from scale to scale. The accumulator r is the run's
// output elements, which start at 0 as the host creates them; the size and
// amplitude maps are read once per run, widened to doubles.
struct RunSums {
    double* r;
    double size[kBlobRidgeRun];       // a
    double amplitude[kBlobRidgeRun];  // b
    double polarity[kBlobRidgeRun];   // fsign(b)
    double sigma[kBlobRidgeRun];      // normaliser
};

// Computes the map: for each run, r and sigma start at 0 and the polarity is
// fsign(b); add_scale(first, count, s, sums, R, Q) adds the terms of scale s
// for pixels first .. first + count - 1, with the stacks R and Q as
// Elements of their classes; the score is fmax(0, r) / sigma.
template <typename ScaleFunction>
inline void compute_blob_ridge_map(const BlobRidgeInputs& in, double* map, ScaleFunction add_scale)
{
    with_elements(in.response, in.penalty, [&](auto R, auto Q) {
        for_each_pixel_run(in.shape, kBlobRidgeRun, [&](ptrdiff_t first, ptrdiff_t count) {
            RunSums sums;
            sums.r = map + first;
            read_values(in.size, first, count, sums.size);
            read_values(in.amplitude, first, count, sums.amplitude);
            for (ptrdiff_t q = 0; q < count; ++q) {
                sums.polarity[q] = fsign(sums.amplitude[q]);
                sums.sigma[q] = 0.0;
                sums.r[q] = 0.0;
            }
            for (uint16_t s = 1; s <= in.shape.scales; ++s) add_scale(first, count, s, sums, R, Q);
            for (ptrdiff_t q = 0; q < count; ++q) sums.r[q] = clamped_normalisation(sums.r[q], sums.sigma[q]);
        });
    });
}

}  // namespace
}  // namespace zel

#endif
