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
#include "lanes.h"
#include "scalar_helpers.h"
#include "selected_orientation.h"

namespace {

enum Input { kResponse, kPenalty, kOrientationIndex, kScaleIndex, kPenaltyWeight, kPenaltyFactor, kInputCount };

const zel::InputRole kRoles[kInputCount] = {
    {"response stack", zel::kDoubleArray}, {"penalty stack", zel::kDoubleArray},
    {"orientation index map", zel::kIndexMap}, {"scale index map", zel::kIndexMap},
    {"penalty weight", zel::kDoubleScalar}, {"penalty factor", zel::kDoubleScalar},
};

// Pixels are computed a run at a time, in lane groups.
constexpr ptrdiff_t kRun = 512;

// What the pixels of a run read besides the stacks.
struct EdgeInputs {
    zel::StackShape shape;
    zel::IndexMap orientation;
    zel::IndexMap scale;
    double scale_penalty;  // fabs(b) * c
};

// A lane group of pixels from p on, with the scales of its selected
// orientation o* step elements apart, R_k and Q_k the stacks at (p, o*, k)
// and reference = R(p, o*, s*); for k = 1, 2, ... in this order in each line:
//
//   v     = 0, then v = v + R_k
//   v     = fabs(v), then v = (v - Q_k) - d
//   sigma = 0, then sigma = fmax(fabs(R_k), fabs(reference)) + sigma
//
// and E = fmax(0, v) / sigma, with d = times(fabs(b), c) formed once per
// call; every operation one IEEE operation in the order written and, where
// both operands are NaN, the left one's NaN coming out (plus and times).
template <int W, typename Stack, typename PenaltyStack>
ZEL_ALWAYS_INLINE void edge_values(const EdgeInputs& in, ptrdiff_t p, Stack R, PenaltyStack Q, double* E)
{
    using V = zel::Lanes<W>;
    const zel::StackShape shape = in.shape;
    const ptrdiff_t step = zel::scale_stride(shape);
    zel::SelectedPlanes<W> at;
    zel::find_selected_planes<W>(shape, in.orientation, p, R, Q, at);
    const V reference = zel::fabs<W>(
        zel::lanes_of<W>([&](int l) { return R[at.offset[l] + step * zel::zero_based(in.scale[p + l])]; }));
    V value = V{}, sum = V{};  // v and the normaliser sigma, in registers from +0
    for (uint16_t k = 0; k < shape.scales; ++k) {
        const V response = zel::lanes_of<W>([&](int l) { return R[at.offset[l] + step * k]; });
        value = zel::plus<W>(value, response);
        sum = zel::plus<W>(zel::fmax<W>(zel::fabs<W>(response), reference), sum);
    }
    value = zel::fabs<W>(value);
    const V d = zel::broadcast<W>(in.scale_penalty);
    for (uint16_t k = 0; k < shape.scales; ++k)
        value = (value - zel::lanes_of<W>([&](int l) { return Q[at.offset[l] + step * k]; })) - d;
    zel::store<W>(E + p, zel::fmax<W>(V{}, value) / sum);
}

// A call as the gateway hands it to the lanes.
struct EdgeCall {
    EdgeInputs in;
    zel::RealArray response;
    zel::RealArray penalty;
    double* E;
};

// The map of every pixel, N pixels at a time.
template <int N>
void edge_map(const EdgeCall& call)
{
    zel::with_elements(call.response, call.penalty, [&](auto R, auto Q) {
        zel::for_each_pixel_run(call.in.shape, kRun, [&](ptrdiff_t first, ptrdiff_t count) {
            zel::for_each_lane_group<N>(count, [&](ptrdiff_t q, auto group) {
                edge_values<decltype(group)::value>(call.in, first + q, R, Q, call.E);
            });
        });
    });
}

}  // namespace

#ifdef ZEL_LANE_WIDTH
ZEL_LANE_ENTRY(edge_map, EdgeCall)
#else
extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    const zel::Signature signature = {"ZELgetEdgeMap", kRoles, kInputCount, 1, "Six input arguments required."};
    const zel::Call call = zel::begin_call(signature, nlhs, nrhs, prhs);
    const zel::StackShape shape = zel::read_stack_shape(call, kResponse);
    zel::require_same_size(call, kPenalty, kResponse);
    // As for every map with a scale index map: a stack with no scale has
    // none to select, so an image with pixels ends here, and every pixel
    // below has at least one scale to sum.
    zel::require_index_maps(call, kOrientationIndex, kScaleIndex, shape);

    const zel::RealArray response = zel::real_array(prhs[kResponse]);
    const zel::RealArray penalty = zel::real_array(prhs[kPenalty]);
    const double c = zel::first_value(prhs[kPenaltyWeight]);
    const double b = zel::first_value(prhs[kPenaltyFactor]);
    const EdgeInputs in = {shape, zel::index_map(prhs[kOrientationIndex]), zel::index_map(prhs[kScaleIndex]),
                           zel::times(zel::fabs(b), c)};

    double* E = zel::create_output(plhs, 0, shape);
    zel::compute_with_widest_lanes(EdgeCall{in, response, penalty, E});
}
#endif
