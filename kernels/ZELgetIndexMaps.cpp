// [orientationIndex, scaleIndex] = ZELgetIndexMaps(R)
//
// The index maps of a response stack: at every pixel the orientation and the
// scale of the peak of |R|. The planes are scanned scale by scale and, within
// a scale, orientation by orientation (the order of the stack in memory); a
// response takes the place of the best so far only when its magnitude is
// larger, so the first of equal peaks is kept and NaN never wins, and a
// pixel whose responses are all NaN gets orientation 1 and scale 1. The same
// maps in M code:
//
//   [best, at] = max(abs(R), [], 3);   % the first largest orientation at every scale
//   [~, s] = max(best, [], 4);         % the first scale where that is largest
//   o = at(p + rows*cols*(s - 1))      % the orientation there, for pixel index p
//
// Inputs:
//   1 R                 response stack, rows x cols x orientations x scales,
//                       double or single
// Outputs:
//   orientationIndex    uint16, rows x cols, in 1..nO
//   scaleIndex          uint16, rows x cols, in 1..nS; made only when asked for

#include "input_checks.h"
#include "lanes.h"

#include <string.h>

namespace {

enum Input { kResponse, kInputCount };

const zel::InputRole kRoles[kInputCount] = {{"response stack", zel::kDoubleArray}};

// Pixels are taken a run at a time, every plane of the stack streamed over
// the run, the best so far kept on the stack.
constexpr ptrdiff_t kRun = 512;

using zel::VectorOf;

// Integers as wide as T: the sign bit of T cleared by a mask, and the plane
// index (o - 1) + nO * (s - 1) of the best so far, below nO * nS, which is at
// most 2^31 since the stack has a pixel.
template <typename T>
struct WidthOf;
template <>
struct WidthOf<double> {
    typedef int64_t Integer;
    static constexpr int64_t kMagnitudeBits = INT64_MAX;
};
template <>
struct WidthOf<float> {
    typedef int32_t Integer;
    static constexpr int32_t kMagnitudeBits = INT32_MAX;
};

template <typename T>
struct Best {
    T magnitude[kRun];
    typename WidthOf<T>::Integer plane[kRun];
};

// The run's pixels from q on, L of them, after the G planes from k on, the
// elements of plane k for the run starting at values and each next plane
// stride elements further: the best so far stays in registers across the
// planes.
template <int L, int G, typename T>
ZEL_ALWAYS_INLINE void keep_larger(Best<T>& best, ptrdiff_t q, const T* values, ptrdiff_t stride,
                                   typename WidthOf<T>::Integer k)
{
    typedef typename WidthOf<T>::Integer Integer;
    using V = typename VectorOf<T, L>::type;
    using I = typename VectorOf<Integer, L>::type;
    V m = zel::load_vector<V>(best.magnitude + q);
    I p = zel::load_vector<I>(best.plane + q);
    for (int g = 0; g < G; ++g) {
        V v = zel::load_vector<V>(values + stride * g + q);
        if constexpr (L == 1) {
            v = __builtin_fabs(v);  // exact for singles too
            const bool larger = v > m;
            m = larger ? v : m;
            p = larger ? Integer(k + g) : p;
        } else {
            v = (V)((I)v & (I{} + WidthOf<T>::kMagnitudeBits));  // the sign bit cleared
            const I larger = v > m;
            m = larger ? v : m;
            p = larger ? I{} + Integer(k + g) : p;
        }
    }
    zel::store_vector(best.magnitude + q, m, L);
    zel::store_vector(best.plane + q, p, L);
}

// Planes G at a time from k on, while G are left before planes.
template <int L, int G, typename T>
ZEL_ALWAYS_INLINE void keep_larger_planes(Best<T>& best, const T* R, ptrdiff_t stride, ptrdiff_t count,
                                          typename WidthOf<T>::Integer& k, typename WidthOf<T>::Integer planes)
{
    const ptrdiff_t vectors = count - count % L;
    for (; k + G <= planes; k += G) {
        const T* values = R + stride * k;
        for (ptrdiff_t q = 0; q < vectors; q += L) keep_larger<L, G>(best, q, values, stride, k);
        for (ptrdiff_t q = vectors; q < count; ++q) keep_larger<1, G>(best, q, values, stride, k);
    }
}

// The index maps of the count pixels from first on.
template <int L, typename T>
ZEL_ALWAYS_INLINE void index_run(const T* R, const zel::StackShape& shape, ptrdiff_t first, ptrdiff_t count,
                                 uint16_t* orientation, uint16_t* scale)
{
    typedef typename WidthOf<T>::Integer Integer;
    Best<T> best;
    for (ptrdiff_t q = 0; q < count; ++q) {
        best.magnitude[q] = T(-1);  // below every magnitude, and NaN is not above it
        best.plane[q] = 0;
    }
    const ptrdiff_t plane_stride = zel::pixel_count(shape);
    const Integer planes = Integer(shape.orientations) * Integer(shape.scales);
    Integer k = 0;
    keep_larger_planes<L, 8>(best, R + first, plane_stride, count, k, planes);
    keep_larger_planes<L, 4>(best, R + first, plane_stride, count, k, planes);
    keep_larger_planes<L, 1>(best, R + first, plane_stride, count, k, planes);
    for (ptrdiff_t q = 0; q < count; ++q) {
        const Integer k = best.plane[q];
        orientation[first + q] = uint16_t(k % shape.orientations + 1);
        if (scale) scale[first + q] = uint16_t(k / shape.orientations + 1);
    }
}

// A call as the gateway hands it to the lanes; scale is null when only the
// orientation map is asked for.
struct IndexCall {
    zel::RealArray response;
    zel::StackShape shape;
    uint16_t* orientation;
    uint16_t* scale;
};

// The maps of every pixel, a run at a time, in as many lanes of the stack's
// class as N doubles fill, or twice that of singles.
template <int N>
void index_maps(const IndexCall& call)
{
    zel::with_elements(call.response, [&](auto R) {
        typedef typename decltype(R)::Element T;
        constexpr int L = N * int(sizeof(double) / sizeof(T));
        zel::for_each_pixel_run(call.shape, kRun, [&](ptrdiff_t first, ptrdiff_t count) {
            index_run<L>(R.data, call.shape, first, count, call.orientation, call.scale);
        });
    });
}

}  // namespace

#ifdef ZEL_LANE_WIDTH
ZEL_LANE_ENTRY(index_maps, IndexCall)
#else
extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    const zel::Signature signature = {"ZELgetIndexMaps", kRoles, kInputCount, 2, "One input arguments required."};
    const zel::Call call = zel::begin_call(signature, nlhs, nrhs, prhs);
    const zel::StackShape shape = zel::read_stack_shape(call, kResponse);
    if (zel::pixel_count(shape) > 0 && (shape.orientations == 0 || shape.scales == 0)) {
        const char* what = shape.orientations == 0 ? "orientation" : "scale";
        zel::raise_error(call, zel::kTooFewElements,
                         "input 1 (response stack) has no %s (its %s count is 0): there is no peak to select.", what,
                         what);
    }
    const mwSize dims[2] = {shape.rows, shape.cols};
    uint16_t* orientation = static_cast<uint16_t*>(zel::create_filled_array(plhs, 0, 2, dims, mxUINT16_CLASS));
    uint16_t* scale = nlhs >= 2 ? static_cast<uint16_t*>(zel::create_filled_array(plhs, 1, 2, dims, mxUINT16_CLASS)) : nullptr;
    const zel::RealArray response = zel::real_array(prhs[kResponse]);
    zel::compute_with_widest_lanes(IndexCall{response, shape, orientation, scale});
}
#endif
