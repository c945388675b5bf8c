// E = ZELgetEdgeMap(R, Q, orientationIndex, scaleIndex, c, b)
//
// The edge map: at every pixel, the magnitude of the response summed over the
// scales at the pixel's selected orientation, less the penalty responses and
// a fixed per-scale penalty, floored at zero and divided by a normaliser.
//
// Inputs:
//   1 R                 response stack, rows x cols x orientations x scales
//   2 Q                 penalty stack, the size of R
//   3 orientationIndex  rows x cols, selected orientation o* (1-based)
//   4 scaleIndex        rows x cols, selected scale s* (1-based); it only
//                       picks the reference response R(p, o*, s*)
//   5 c                 penalty weight, scalar, used with its sign
//   6 b                 penalty factor, scalar, only fabs(b) is used
// Real inputs are double or single, index maps uint16 or whole doubles.
// Output:
//   E                   double, rows x cols

#include "element_access.h"
#include "input_checks.h"
#include "scalar_helpers.h"

namespace {

constexpr ptrdiff_t kPrefetchAhead = 64;

enum Input { kResponse, kPenalty, kOrientationIndex, kScaleIndex, kPenaltyWeight, kPenaltyFactor, kInputCount };

const zel::InputRole kRoles[kInputCount] = {
    {"response stack", zel::kDoubleArray}, {"penalty stack", zel::kDoubleArray},
    {"orientation index map", zel::kIndexMap}, {"scale index map", zel::kIndexMap},
    {"penalty weight", zel::kDoubleScalar}, {"penalty factor", zel::kDoubleScalar},
};

// One pixel. R and Q point at the pixel's element of the selected orientation
// at scale 1; the scales follow each other step elements apart. reference is
// R(p, o*, s*) and scale_penalty is fabs(b) * c.
//
//   E = fmax(0, fabs(sum_k R_k) - sum_k (Q_k + d)) / sum_k fmax(fabs(R_k), fabs(reference))
//
// with every sum formed term by term in ascending k, as written, NaN operands
// included.
template <typename Stack, typename PenaltyStack>
inline double edge_value(Stack R, PenaltyStack Q, ptrdiff_t step, uint16_t scales, double reference,
                         double scale_penalty)
{
    double E = 0.0;  // the output element as the host creates it
    double sum = 0.0;
    for (uint16_t k = 0; k < scales; ++k) {
        E = zel::plus(E, R[k * step]);
        sum = zel::plus(zel::fmax(zel::fabs(R[k * step]), zel::fabs(reference)), sum);
    }
    E = zel::fabs(E);
    for (uint16_t k = 0; k < scales; ++k) E = (E - Q[k * step]) - scale_penalty;
    return zel::clamped_normalisation(E, sum);
}

}  // namespace

extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    const zel::Signature signature = {"ZELgetEdgeMap", kRoles, kInputCount, 1, "Six input arguments required."};
    const zel::Call call = zel::begin_call(signature, nlhs, nrhs, prhs);
    const zel::StackShape shape = zel::read_stack_shape(call, kResponse);
    zel::require_same_size(call, kPenalty, kResponse);
    zel::require_pixel_map(call, kOrientationIndex, shape);
    zel::require_pixel_map(call, kScaleIndex, shape);
    zel::require_indices(call, kOrientationIndex, shape, shape.orientations, "orientation");
    // The scale index map is read only when there are scales to select.
    if (shape.scales > 0) zel::require_indices(call, kScaleIndex, shape, shape.scales, "scale");

    const zel::RealArray response = zel::real_array(prhs[kResponse]);
    const zel::RealArray penalty = zel::real_array(prhs[kPenalty]);
    const zel::IndexMap orientation = zel::index_map(prhs[kOrientationIndex]);
    const zel::IndexMap scale = zel::index_map(prhs[kScaleIndex]);
    const double c = zel::first_value(prhs[kPenaltyWeight]);
    const double b = zel::first_value(prhs[kPenaltyFactor]);
    const double scale_penalty = zel::times(zel::fabs(b), c);

    double* E = zel::create_output(plhs, 0, shape);
    const ptrdiff_t step = zel::scale_stride(shape), pixels = zel::pixel_count(shape);
    zel::with_elements(response, penalty, [&](auto R, auto Q) {
        zel::for_each_pixel(shape, [&](ptrdiff_t p) {
            if (shape.scales == 0) {
                E[p] = edge_value(R, Q, step, 0, 0.0, scale_penalty);
                return;
            }
            // The selected orientation jumps from plane to plane: the lines
            // of a pixel further on are asked for early.
            const ptrdiff_t ahead = p + kPrefetchAhead;
            if (ahead < pixels) {
                const ptrdiff_t at = zel::stack_offset(shape, ahead, orientation[ahead], 1);
                for (uint16_t k = 0; k < shape.scales; ++k) {
                    zel::prefetch(R, at + step * k);
                    zel::prefetch(Q, at + step * k);
                }
            }
            const uint16_t o = orientation[p];
            const ptrdiff_t base = zel::stack_offset(shape, p, o, 1);
            const double reference = R[zel::stack_offset(shape, p, o, scale[p])];
            E[p] = edge_value(R + base, Q + base, step, shape.scales, reference, scale_penalty);
        });
    });
}
