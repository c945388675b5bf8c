// The ten inputs that the blob map and the ridge map share: their roles, the
// checks of the caller's contract, and the values the per-pixel computation
// reads, fetched once per call.
#ifndef ZEL_BLOB_RIDGE_INPUTS_H
#define ZEL_BLOB_RIDGE_INPUTS_H

#include "element_access.h"
#include "input_checks.h"
#include "lanes.h"
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

// The profile table at each lane's fraction f, which lies in [0, 1] or is
// NaN: sample_profile lane by lane.
template <int W>
ZEL_ALWAYS_INLINE Lanes<W> sample_profile(const ProfileTable& profile, Lanes<W> f)
{
    const auto k = profile_indices<W>(f, last_index(profile));
    return lanes_of<W>([&](int l) {
        if constexpr (W == 1) return profile.values[uint16_t(k)];
        else return profile.values[uint16_t(k[l])];
    });
}

// Both maps are computed in runs of consecutive pixel indices, one scale
// after the other, so that the stack planes are read as streams and the
// arithmetic of a run runs in loops the compiler vectorises. Each pixel's
// operations keep their order. A run's scratch stays within 32 KiB of stack.
constexpr ptrdiff_t kBlobRidgeRun = 512;

// What a run carries from scale to scale. The accumulator r is the run's
// output elements, which start at 0 as the host creates them; the size and
// amplitude maps are read once per run, widened to doubles, and so is where
// each pixel's selected orientation lies in the stacks and the scale table.
struct RunSums {
    double* r;
    double size[kBlobRidgeRun];            // a
    double amplitude[kBlobRidgeRun];       // b
    double polarity[kBlobRidgeRun];        // fsign(b)
    double sigma[kBlobRidgeRun];           // normaliser
    int32_t selected_plane[kBlobRidgeRun];  // rows * cols * (o* - 1), below 2^31
    int32_t table_row[kBlobRidgeRun];       // o* - 1
};

// Where scale s (1-based) of the selected orientations starts: the offset of
// (first, o*, s) is first + q + selected_plane[q] + scale_start(shape, s), and
// T(o*, s) is at table_row[q] + table_column(shape, s).
inline ptrdiff_t scale_start(const StackShape& shape, uint16_t s) { return scale_stride(shape) * (int32_t(s) - 1); }
inline ptrdiff_t table_column(const StackShape& shape, uint16_t s)
{
    return ptrdiff_t(shape.orientations) * (int32_t(s) - 1);
}

// What the pixels of a run read at scale s besides the stacks, held apart
// from the inputs: the stores to the run's sums could otherwise alias them.
struct ScaleReads {
    RealArray scale_table;
    ProfileTable profile;
    ptrdiff_t column;  // where T(., s) starts in the scale table
    double penalty_weight;
    double sampling_gain;
    double twice_count;  // 2n
};

// The sampling fraction ((a / T(o*, s)) * g) / (2n) of each lane of the run
// from q on, before any limit.
template <int W>
ZEL_ALWAYS_INLINE Lanes<W> base_fractions(const ScaleReads& reads, const RunSums& sums, ptrdiff_t q)
{
    const Lanes<W> T = lanes_of<W>([&](int l) { return reads.scale_table[sums.table_row[q + l] + reads.column]; });
    return sampling_fraction<W>(load<W>(sums.size + q), T, reads.sampling_gain, reads.twice_count);
}

inline ScaleReads scale_reads(const BlobRidgeInputs& in, uint16_t s)
{
    return ScaleReads{in.scale_table,    in.profile,       table_column(in.shape, s),
                      in.penalty_weight, in.sampling_gain, twice_count(in.profile)};
}

// Computes the map: for each run, r and sigma start at 0 and the polarity is
// fsign(b); add_scales(first, count, sums, R, Q) adds the terms of every
// scale, in ascending order, for pixels first .. first + count - 1, with the
// stacks R and Q as Elements of their classes; the score is
// fmax(0, r) / sigma.
template <typename ScalesFunction>
ZEL_ALWAYS_INLINE void compute_blob_ridge_map(const BlobRidgeInputs& in, double* map, ScalesFunction add_scales)
{
    const ptrdiff_t plane = orientation_stride(in.shape);
    with_elements(in.response, in.penalty, [&](auto R, auto Q) ZEL_INLINE_LAMBDA {
        for_each_pixel_run(in.shape, kBlobRidgeRun, [&](ptrdiff_t first, ptrdiff_t count) ZEL_INLINE_LAMBDA {
            RunSums sums;
            sums.r = map + first;
            read_values(in.size, first, count, sums.size);
            read_values(in.amplitude, first, count, sums.amplitude);
            for (ptrdiff_t q = 0; q < count; ++q) {
                const int32_t row = int32_t(in.orientation[first + q]) - 1;
                sums.table_row[q] = row;
                sums.selected_plane[q] = int32_t(plane * row);
            }
            for (ptrdiff_t q = 0; q < count; ++q) {
                sums.polarity[q] = fsign(sums.amplitude[q]);
                sums.sigma[q] = 0.0;
                sums.r[q] = 0.0;
            }
            add_scales(first, count, sums, R, Q);
            for (ptrdiff_t q = 0; q < count; ++q) sums.r[q] = clamped_normalisation(sums.r[q], sums.sigma[q]);
        });
    });
}

}  // namespace
}  // namespace zel

#endif
