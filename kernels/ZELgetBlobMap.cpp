// M = ZELgetBlobMap(R, Q, orientationIndex, unused, c, P, g, A, T, B)
//
// The blob map: at every pixel and scale, the polarity-corrected response at
// the weakest orientation, less the strongest penalty magnitude over the
// orientations and a weighted sample of the profile table; summed over the
// scales, floored at zero and divided by a normaliser.
//
// Inputs:
//   1 R                 response stack, rows x cols x orientations x scales
//   2 Q                 penalty stack, the size of R; only magnitudes are used
//   3 orientationIndex  rows x cols, selected orientation o* (1-based);
//                       it picks the scale table entry and the normaliser's response
//   4 unused            any array, never read
//   5 c                 penalty weight on the profile sample, scalar
//   6 P                 profile table, 1 to 65535 elements
//   7 g                 sampling gain, scalar
//   8 A                 size map, rows x cols
//   9 T                 scale table, orientations x scales
//  10 B                 amplitude map, rows x cols; its sign is the polarity
// Real inputs are double or single, the index map uint16 or whole doubles.
// Output:
//   M                   double, rows x cols

#include "blob_ridge_inputs.h"

namespace {

constexpr ptrdiff_t kRun = zel::kBlobRidgeRun;

// What one scale of a run needs besides the run's sums.
struct ScaleState {
    double weakest_response[kRun];   // min over o of fsign(b) * R(p, o, s)
    double strongest_penalty[kRun];  // max over o of |Q(p, o, s)|
    double table_entry[kRun];        // T(o*, s)
    double selected_response[kRun];  // R(p, o*, s)
    double profile_sample[kRun];     // P_k
};

// The weakest polarity-corrected response and the strongest penalty
// magnitude over the orientations of scale s, in one pass. A candidate
// replaces the weakest only when it is smaller, so a NaN never enters and one
// at orientation 1 stays; the strongest starts at 0 and passes over NaN.
template <typename Stack, typename PenaltyStack>
inline void orientation_extremes(const zel::BlobRidgeInputs& in, ptrdiff_t first, ptrdiff_t count, uint16_t s,
                                 const zel::RunSums& sums, Stack response, PenaltyStack penalty, ScaleState& st)
{
    const Stack R1 = response + zel::stack_offset(in.shape, first, 1, s);
    for (ptrdiff_t q = 0; q < count; ++q) {
        st.weakest_response[q] = sums.polarity[q] * R1[q];
        st.strongest_penalty[q] = 0.0;
    }
    for (uint16_t o = 1; o <= in.shape.orientations; ++o) {
        const ptrdiff_t at = zel::stack_offset(in.shape, first, o, s);
        const Stack R = response + at;
        const PenaltyStack Q = penalty + at;
        for (ptrdiff_t q = 0; q < count; ++q) {
            const double candidate = sums.polarity[q] * R[q];
            const double magnitude = zel::standard_abs(Q[q]);
            st.weakest_response[q] = st.weakest_response[q] > candidate ? candidate : st.weakest_response[q];
            st.strongest_penalty[q] = magnitude > st.strongest_penalty[q] ? magnitude : st.strongest_penalty[q];
        }
    }
}

// The profile sample P_k of scale s: at the fraction x = ((a / T(o*, s)) * g) / (2n),
// clamped at 1 and floored at 0. The reads at the selected orientation come
// first, so that the arithmetic between them runs over the whole run at once.
template <typename Stack>
inline void profile_samples(const zel::BlobRidgeInputs& in, ptrdiff_t first, ptrdiff_t count, uint16_t s,
                            const zel::RunSums& sums, Stack response, ScaleState& st)
{
    for (ptrdiff_t q = 0; q < count; ++q) {
        const uint16_t o = in.orientation[first + q];
        st.table_entry[q] = in.scale_table[zel::scale_table_index(in.shape, o, s)];
        st.selected_response[q] = response[zel::stack_offset(in.shape, first + q, o, s)];
    }
    const double twice_count = zel::twice_count(in.profile);
    for (ptrdiff_t q = 0; q < count; ++q)
        st.profile_sample[q] = zel::limit_single_sample(
            zel::sampling_fraction(sums.size[q], st.table_entry[q], in.sampling_gain, twice_count));
    for (ptrdiff_t q = 0; q < count; ++q) st.profile_sample[q] = zel::sample_profile(in.profile, st.profile_sample[q]);
}

// What scale s adds to each pixel of the run:
//
//   r     += (weakest - strongest) - |P_k| * c
//   sigma += fmax(|R(p, o*, s)|, |b * P_k|)
//
// with |.| the standard absolute value, NaN operands in the order written.
inline void add_scale(const zel::BlobRidgeInputs& in, ptrdiff_t count, const ScaleState& st, zel::RunSums& sums)
{
    for (ptrdiff_t q = 0; q < count; ++q) {
        const double P_k = st.profile_sample[q];
        sums.r[q] = zel::plus(st.weakest_response[q] - st.strongest_penalty[q], sums.r[q]);
        sums.r[q] = sums.r[q] - zel::times(zel::standard_abs(P_k), in.penalty_weight);
        const double b_P_k = zel::standard_abs(zel::times(sums.amplitude[q], P_k));
        sums.sigma[q] = zel::plus(zel::fmax(zel::standard_abs(st.selected_response[q]), b_P_k), sums.sigma[q]);
    }
}

}  // namespace

extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    const zel::BlobRidgeInputs in = zel::read_blob_ridge_inputs("ZELgetBlobMap", nlhs, nrhs, prhs);
    double* M = zel::create_output(plhs, 0, in.shape);
    zel::compute_blob_ridge_map(in, M, [&](ptrdiff_t first, ptrdiff_t count, uint16_t s, zel::RunSums& sums,
                                           auto R, auto Q) {
        ScaleState st;
        orientation_extremes(in, first, count, s, sums, R, Q, st);
        profile_samples(in, first, count, s, sums, R, st);
        add_scale(in, count, st, sums);
    });
}
