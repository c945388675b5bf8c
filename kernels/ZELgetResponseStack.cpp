// [R2, R1] = ZELgetResponseStack(I, sigmas, nO, orders, precision)
//
// The oriented filter bank: Gaussian-derivative responses of the image I at
// every scale sigma (a standard deviation in pixels) and at nO orientations,
// orientation o a line at theta = ((o - 1) * 180) / nO degrees
// counterclockwise from the x axis (columns to the right, rows downwards):
//
//   R2(:, :, o, s) = -(sigma*sigma) * ((xx*Ixx + xy*Ixy) + yy*Iyy)
//   R1(:, :, o, s) = sigma * (x*Ix + y*Iy)
//
// the second and the first derivative across the line (the steering
// coefficients xx, xy, yy, x, y of gaussian_derivatives.h) of the image
// smoothed at sigma: R2 is positive on bright lines that run along the
// orientation, R1 is signed. Ixx ... Iy come from separable passes with the
// sampled kernels smooth, first and second of radius r = ceil(4 sigma)
// (gaussian_derivatives.h), over the image mirrored at its borders
// (..., I(2), I(1) | I(1), I(2), ...):
//
//   down the columns:  Gy0 = smooth along y,  Gy1 = first along y,  Gy2 = second along y
//   along the rows:    Ixx = second along x of Gy0,   Ix = first along x of Gy0,
//                      Ixy = first along x of Gy1,    Iy = smooth along x of Gy1,
//                      Iyy = smooth along x of Gy2
//
// each pass a correlation summed in this order, for an even kernel w and an
// odd kernel v at sample t of a line f:
//
//   even: w(0)*f(t), then + w(k)*(f(t-k) + f(t+k)) for k = 1..r
//   odd:  v(1)*(f(t+1) - f(t-1)), then + v(k)*(f(t+k) - f(t-k)) for k = 2..r
//
// Inputs:
//   1 I          image, rows x cols: double, single, uint8, uint16 or logical;
//                integers are scaled as im2double does (uint8 / 255,
//                uint16 / 65535), and every NaN pixel is read as the host's NaN
//   2 sigmas     scales, a vector of standard deviations in pixels, each in
//                [0.1, 128], strictly ascending
//   3 nO         orientation count, a whole number in 1..65534
//   4 orders     optional: which stack each output is, in order: a vector of
//                distinct values 1 and 2 (default [2 1]); only the stacks of
//                the outputs asked for are computed
//   5 precision  optional: 'double' or 'single', the class of the stacks and
//                of the whole computation (default: single for a single
//                image, else double); in single every weight and coefficient
//                is the double one rounded to single, and the image is read
//                as single(I)
// Outputs, in the order of orders:
//   R2, R1       rows x cols x nO x numel(sigmas)
//
// The stacks hold the passes' intermediate planes until the last scale
// overwrites them; with too few orientations for that (fewer than 3, or
// fewer than 4 for the second order alone) the call makes a working array of
// image planes and frees it before it returns.

#include "gaussian_derivatives.h"
#include "input_checks.h"
#include "lanes.h"

#include <string.h>

namespace {

enum Input { kImage, kScales, kOrientationCount, kOrders, kPrecision, kInputCount };
constexpr int kRequiredInputs = 3;

const zel::InputRole kRoles[kInputCount] = {
    {"image", zel::kImageArray},   {"scales", zel::kDoubleArray}, {"orientation count", zel::kDoubleScalar},
    {"orders", zel::kDoubleArray}, {"precision", zel::kText},
};

// --- vectors of the computation's class -------------------------------------

using zel::load_vector;
using zel::store_vector;
using zel::VectorOf;

// A whole vector written past the caches, to an address aligned to its size:
// the stacks are written once and not read again by the call, and a plain
// store would first read each line in. Elsewhere a plain store.
template <typename V, typename T>
ZEL_ALWAYS_INLINE void stream_vector(T* p, V v)
{
#if defined(__x86_64__) && defined(__clang__)
    __builtin_nontemporal_store(v, reinterpret_cast<V*>(p));
#elif defined(__x86_64__)
    if constexpr (sizeof(T) == sizeof(double) && sizeof(V) == 64) __builtin_ia32_movntpd512(p, v);
    else if constexpr (sizeof(T) == sizeof(double) && sizeof(V) == 32) __builtin_ia32_movntpd256(p, v);
    else if constexpr (sizeof(T) == sizeof(double) && sizeof(V) == 16) __builtin_ia32_movntpd(p, v);
    else if constexpr (sizeof(T) == sizeof(float) && sizeof(V) == 64) __builtin_ia32_movntps512(p, v);
    else if constexpr (sizeof(T) == sizeof(float) && sizeof(V) == 32) __builtin_ia32_movntps256(p, v);
    else if constexpr (sizeof(T) == sizeof(float) && sizeof(V) == 16) __builtin_ia32_movntps(p, v);
    else memcpy(p, &v, sizeof v);
#else
    memcpy(p, &v, sizeof v);
#endif
}

// Makes the streamed stores visible in order before the call returns.
inline void end_streaming()
{
#if defined(__x86_64__)
    __builtin_ia32_sfence();
#endif
}

// --- the image --------------------------------------------------------------

// The NaN that 0/0 gives on x86-64 (sign bit set), which MATLAB's NaN is too:
// every NaN pixel is read as this one, so that a response reached by NaNs is
// the same NaN whichever operand the processor takes it from.
template <typename T>
inline T host_nan()
{
    if constexpr (sizeof(T) == sizeof(double)) {
        const uint64_t bits = 0xfff8000000000000ull;
        double x;
        memcpy(&x, &bits, sizeof x);
        return x;
    } else {
        const uint32_t bits = 0xffc00000u;
        float x;
        memcpy(&x, &bits, sizeof x);
        return x;
    }
}

// Sample i of a line of n samples mirrored at both ends (n >= 1): the line
// goes on ..., f(1), f(0) | f(0), ..., f(n-1) | f(n-1), f(n-2), ..., with
// period 2n.
inline ptrdiff_t mirrored(ptrdiff_t i, ptrdiff_t n)
{
    if (i >= 0 && i < n) return i;
    ptrdiff_t m = i % (2 * n);
    if (m < 0) m += 2 * n;
    return m < n ? m : 2 * n - 1 - m;
}

struct Image {
    const void* data;
    mxClassID class_id;
    ptrdiff_t rows, cols;
};

template <typename T, typename Source, typename Convert>
ZEL_ALWAYS_INLINE void read_samples(const Source* column, ptrdiff_t rows, ptrdiff_t first, ptrdiff_t count,
                                    T* out, Convert convert)
{
    if (first >= 0 && first + count <= rows) {
        for (ptrdiff_t t = 0; t < count; ++t) out[t] = convert(column[first + t]);
    } else {
        for (ptrdiff_t t = 0; t < count; ++t) out[t] = convert(column[mirrored(first + t, rows)]);
    }
}

// Samples first .. first + count - 1 of column j, mirrored, as T.
template <typename T>
ZEL_ALWAYS_INLINE void read_column(const Image& image, ptrdiff_t j, ptrdiff_t first, ptrdiff_t count, T* out)
{
    const ptrdiff_t at = j * image.rows;
    const auto real = [](auto v) ZEL_INLINE_LAMBDA { return v == v ? T(v) : host_nan<T>(); };
    switch (image.class_id) {
    case mxDOUBLE_CLASS:
        read_samples(static_cast<const double*>(image.data) + at, image.rows, first, count, out, real);
        break;
    case mxSINGLE_CLASS:
        read_samples(static_cast<const float*>(image.data) + at, image.rows, first, count, out, real);
        break;
    case mxUINT8_CLASS:
        read_samples(static_cast<const uint8_t*>(image.data) + at, image.rows, first, count, out,
                     [](uint8_t v) ZEL_INLINE_LAMBDA { return T(v) / T(255); });
        break;
    case mxUINT16_CLASS:
        read_samples(static_cast<const uint16_t*>(image.data) + at, image.rows, first, count, out,
                     [](uint16_t v) ZEL_INLINE_LAMBDA { return T(v) / T(65535); });
        break;
    default:  // logical
        read_samples(static_cast<const uint8_t*>(image.data) + at, image.rows, first, count, out,
                     [](uint8_t v) ZEL_INLINE_LAMBDA { return T(v != 0); });
        break;
    }
}

// Asks for the lines of samples first .. first + count - 1 of column j that
// lie inside the image.
inline void prefetch_samples(const Image& image, ptrdiff_t j, ptrdiff_t first, ptrdiff_t count)
{
    const ptrdiff_t size = image.class_id == mxDOUBLE_CLASS ? 8 : image.class_id == mxSINGLE_CLASS ? 4
                           : image.class_id == mxUINT16_CLASS ? 2 : 1;
    const ptrdiff_t begin = first < 0 ? 0 : first, end = first + count > image.rows ? image.rows : first + count;
    const char* column = static_cast<const char*>(image.data) + j * image.rows * size;
    for (ptrdiff_t b = begin * size; b < end * size; b += 64) __builtin_prefetch(column + b);
}

// --- the kernels of one scale in the computation's class -------------------

template <typename T>
struct Taps {
    int radius;
    const T* smooth;
    const T* first;
    const T* second;
};

// The double kernels as they are, or rounded to single into copies.
struct SingleKernels {
    float smooth[zel::kMaxKernelRadius + 1];
    float first[zel::kMaxKernelRadius + 1];
    float second[zel::kMaxKernelRadius + 1];
};

template <typename T>
inline Taps<T> taps_of(const zel::GaussianKernels& kernels, SingleKernels& single)
{
    if constexpr (sizeof(T) == sizeof(double)) {
        (void)single;
        return Taps<T>{kernels.radius, kernels.smooth, kernels.first, kernels.second};
    } else {
        for (int k = 0; k <= kernels.radius; ++k) {
            single.smooth[k] = float(kernels.smooth[k]);
            single.first[k] = float(kernels.first[k]);
            single.second[k] = float(kernels.second[k]);
        }
        return Taps<T>{kernels.radius, single.smooth, single.first, single.second};
    }
}

// --- down the columns ---------------------------------------------------------

// A column is filtered a chunk of rows at a time, from a buffer of the
// chunk's samples and r more on either side, mirrored where they pass the
// border; the buffer's tail is zeros, read only by lanes past the chunk.
constexpr ptrdiff_t kChunk = 256;
constexpr ptrdiff_t kMaxVectorLanes = 16;
constexpr ptrdiff_t kColumnBuffer = kChunk + 2 * zel::kMaxKernelRadius + kMaxVectorLanes;

// Gy0, Gy1 and, WithSecond, Gy2 of count rows from the buffer b, whose
// element r is the first of them; U vectors of L lanes at a time.
template <int L, int U, bool WithSecond, typename T>
ZEL_ALWAYS_INLINE void column_sums(const T* b, const Taps<T>& taps, ptrdiff_t count, T* gy0, T* gy1, T* gy2)
{
    using V = typename VectorOf<T, L>::type;
    const int r = taps.radius;
    for (ptrdiff_t t = 0; t < count; t += U * L) {
        V s0[U], s1[U], s2[U];
        for (int u = 0; u < U; ++u) {
            const T* c = b + r + t + u * L;
            const V centre = load_vector<V>(c), left = load_vector<V>(c - 1), right = load_vector<V>(c + 1);
            s0[u] = taps.smooth[0] * centre;
            s1[u] = taps.first[1] * (right - left);
            if (WithSecond) s2[u] = taps.second[0] * centre;
            s0[u] = s0[u] + taps.smooth[1] * (left + right);
            if (WithSecond) s2[u] = s2[u] + taps.second[1] * (left + right);
        }
        for (int k = 2; k <= r; ++k) {
            for (int u = 0; u < U; ++u) {
                const T* c = b + r + t + u * L;
                const V left = load_vector<V>(c - k), right = load_vector<V>(c + k);
                const V sum = left + right;
                s0[u] = s0[u] + taps.smooth[k] * sum;
                s1[u] = s1[u] + taps.first[k] * (right - left);
                if (WithSecond) s2[u] = s2[u] + taps.second[k] * sum;
            }
        }
        for (int u = 0; u < U; ++u) {
            const ptrdiff_t at = t + u * L;
            if (at >= count) break;
            const ptrdiff_t n = count - at < L ? count - at : L;
            store_vector(gy0 + at, s0[u], n);
            store_vector(gy1 + at, s1[u], n);
            if (WithSecond) store_vector(gy2 + at, s2[u], n);
        }
    }
}

// Rows first_row .. first_row + height - 1 of every column, into planes
// whose columns are height elements apart.
template <int L, bool WithSecond, typename T>
ZEL_ALWAYS_INLINE void column_pass(const Image& image, const Taps<T>& taps, ptrdiff_t first_row, ptrdiff_t height,
                                   T* gy0, T* gy1, T* gy2)
{
    const int r = taps.radius;
    T buffer[kColumnBuffer];
    for (ptrdiff_t j = 0; j < image.cols; ++j) {
        // The next column's samples, a stride of rows away: too far for the
        // processor to foresee.
        if (height < image.rows && j + 1 < image.cols) prefetch_samples(image, j + 1, first_row - r, height + 2 * r);
        for (ptrdiff_t done = 0; done < height; done += kChunk) {
            const ptrdiff_t count = height - done < kChunk ? height - done : kChunk;
            read_column(image, j, first_row + done - r, count + 2 * r, buffer);
            for (ptrdiff_t t = count + 2 * r; t < count + 2 * r + L * 2; ++t) buffer[t] = T(0);
            const ptrdiff_t at = j * height + done;
            column_sums<L, 2, WithSecond>(buffer, taps, count, gy0 + at, gy1 + at, WithSecond ? gy2 + at : nullptr);
        }
    }
}

// --- along the rows -----------------------------------------------------------

// A block of rows is filtered along x from a ring of the 2r + 1 columns that
// the current output column needs, each column's segment of the block copied
// in once, as the block moves along: the columns of a plane lie a power of
// two apart in memory as often as not, and read in place the 2r + 1 of them
// would fight over the same cache sets. The ring holds 2r + 1 segments of up
// to kRingElements / (2r + 1) elements: four vectors per segment up to
// r = 127, two up to 255, one up to 512.
constexpr ptrdiff_t kRingElements = (2 * zel::kMaxKernelRadius + 1) * 64 / sizeof(double);

// One plane filtered along x with an even kernel into even_out and an odd
// one into odd_out (either may be left out), for the U vectors of L rows
// from row i on, at every column.
template <int L, int U, bool Even, bool Odd, typename T>
ZEL_ALWAYS_INLINE void row_block(const T* in, ptrdiff_t rows, ptrdiff_t cols, ptrdiff_t i, int r, const T* even,
                                 const T* odd, T* even_out, T* odd_out, T* ring)
{
    using V = typename VectorOf<T, L>::type;
    constexpr ptrdiff_t H = ptrdiff_t(U) * L;  // elements of a segment
    const ptrdiff_t m = 2 * ptrdiff_t(r) + 1;
    T* const ring_end = ring + m * H;
    // Column c of the plane (mirrored) goes into slot c mod m.
    const auto put = [&](ptrdiff_t c, T* slot) ZEL_INLINE_LAMBDA {
        memcpy(slot, in + mirrored(c, cols) * rows + i, H * sizeof(T));
    };
    for (ptrdiff_t c = -r; c < r; ++c) put(c, ring + ((c % m + m) % m) * H);
    T* centre = ring;           // slot of column j
    T* newest = ring + r * H;   // slot of column j + r
    for (ptrdiff_t j = 0; j < cols; ++j) {
        put(j + r, newest);
        __builtin_prefetch(in + mirrored(j + r + 8, cols) * rows + i);
        const T* left = centre;
        const T* right = centre;
        const auto step = [&]() ZEL_INLINE_LAMBDA {
            left = left == ring ? ring_end - H : left - H;
            right = right + H == ring_end ? ring : right + H;
        };
        step();
        V e[U], o[U];
        for (int u = 0; u < U; ++u) {
            const V l = load_vector<V>(left + u * L), rv = load_vector<V>(right + u * L);
            if (Even) e[u] = even[0] * load_vector<V>(centre + u * L);
            if (Even) e[u] = e[u] + even[1] * (l + rv);
            if (Odd) o[u] = odd[1] * (rv - l);
        }
        for (int k = 2; k <= r; ++k) {
            step();
            for (int u = 0; u < U; ++u) {
                const V l = load_vector<V>(left + u * L), rv = load_vector<V>(right + u * L);
                if (Even) e[u] = e[u] + even[k] * (l + rv);
                if (Odd) o[u] = o[u] + odd[k] * (rv - l);
            }
        }
        const ptrdiff_t at = j * rows + i;
        for (int u = 0; u < U; ++u) {
            if (Even) store_vector(even_out + at + u * L, e[u], L);
            if (Odd) store_vector(odd_out + at + u * L, o[u], L);
        }
        centre = centre + H == ring_end ? ring : centre + H;
        newest = newest + H == ring_end ? ring : newest + H;
    }
}

// Blocks of U vectors of rows while they last, as wide as the ring allows
// for r, then single vectors, then single rows.
template <int L, int U, bool Even, bool Odd, typename T>
ZEL_ALWAYS_INLINE void row_blocks(const T* in, ptrdiff_t rows, ptrdiff_t cols, ptrdiff_t& i, int r, const T* even,
                                  const T* odd, T* even_out, T* odd_out, T* ring)
{
    for (; i + U * L <= rows; i += U * L)
        row_block<L, U, Even, Odd>(in, rows, cols, i, r, even, odd, even_out, odd_out, ring);
}

template <int L, bool Even, bool Odd, typename T>
ZEL_ALWAYS_INLINE void row_pass(const T* in, ptrdiff_t rows, ptrdiff_t cols, int r, const T* even, const T* odd,
                                T* even_out, T* odd_out)
{
    T ring[kRingElements * sizeof(double) / sizeof(T)];
    const ptrdiff_t segments = 2 * ptrdiff_t(r) + 1, capacity = kRingElements * sizeof(double) / sizeof(T);
    ptrdiff_t i = 0;
    if (segments * 4 * L <= capacity) row_blocks<L, 4, Even, Odd>(in, rows, cols, i, r, even, odd, even_out, odd_out, ring);
    if (segments * 2 * L <= capacity) row_blocks<L, 2, Even, Odd>(in, rows, cols, i, r, even, odd, even_out, odd_out, ring);
    row_blocks<L, 1, Even, Odd>(in, rows, cols, i, r, even, odd, even_out, odd_out, ring);
    row_blocks<1, 1, Even, Odd>(in, rows, cols, i, r, even, odd, even_out, odd_out, ring);
}

// --- steering -------------------------------------------------------------------

// Which planes hold the base images of one scale, and where its stacks' planes start.
template <typename T>
struct ScaleSteering {
    const T *xx, *xy, *yy, *x, *y;  // Ixx, Ixy, Iyy (second order), Ix, Iy (first order)
    T* second;                      // R2 at (1, 1, 1, s), or null
    T* first;                       // R1 at (1, 1, 1, s), or null
    double sigma;
};

// Pixels are steered a block at a time: the block's base images are copied
// out first, since they may lie in planes of the stacks that the block's
// responses overwrite.
constexpr ptrdiff_t kSteeringBlock = 256;

// Every NaN response is the host's NaN. On x86-64 it is already: the image's
// NaNs are read as it, and an invalid operation (Inf - Inf, 0 * Inf) gives it
// too. Other processors make a NaN of their own there (64-bit ARM's has the
// sign bit clear), which may then win over the image's by operand order, so
// there each NaN response is replaced by the host's.
template <typename T, typename V>
ZEL_ALWAYS_INLINE V with_host_nan(V v)
{
#if defined(__x86_64__)
    return v;
#else
    if constexpr (sizeof(V) == sizeof(T)) {
        return v == v ? v : host_nan<T>();
    } else {
        V nans;
        for (size_t l = 0; l < sizeof(V) / sizeof(T); ++l) nans[l] = host_nan<T>();
        return v == v ? v : nans;
    }
#endif
}

// The response of orientation c at the block's pixel q, L of them from q on.
template <int L, typename T>
ZEL_ALWAYS_INLINE typename VectorOf<T, L>::type steered(const T (&base)[5][kSteeringBlock], ptrdiff_t q,
                                                        const zel::Steering& c, T factor, bool second)
{
    using V = typename VectorOf<T, L>::type;
    if (second)
        return with_host_nan<T>(V(factor * ((T(c.xx) * load_vector<V>(base[0] + q) +
                                             T(c.xy) * load_vector<V>(base[1] + q)) +
                                            T(c.yy) * load_vector<V>(base[2] + q))));
    return with_host_nan<T>(V(factor * (T(c.x) * load_vector<V>(base[3] + q) + T(c.y) * load_vector<V>(base[4] + q))));
}

// The responses of orientation c for count of the block's pixels from
// pixel first on into out: one at a time up to an address aligned to a
// whole vector, then streamed vectors, then one at a time again.
template <int L, typename T>
ZEL_ALWAYS_INLINE void steer_block(const T (&base)[5][kSteeringBlock], ptrdiff_t first, ptrdiff_t count, T* out,
                                   const zel::Steering& c, T factor, bool second)
{
    using V = typename VectorOf<T, L>::type;
    const ptrdiff_t misaligned = ptrdiff_t(uintptr_t(out) % sizeof(V)) / ptrdiff_t(sizeof(T));
    ptrdiff_t q = 0;
    const ptrdiff_t head = misaligned ? L - misaligned : 0;
    for (; q < head && q < count; ++q) out[q] = steered<1>(base, first + q, c, factor, second);
    for (; q + L <= count; q += L) stream_vector<V>(out + q, steered<L>(base, first + q, c, factor, second));
    for (; q < count; ++q) out[q] = steered<1>(base, first + q, c, factor, second);
}

// The steering coefficients of the orientations, computed once per strip
// for up to kListedOrientations of them, else for each block.
constexpr int kListedOrientations = 64;

// The responses of a strip of rows, first_row .. first_row + height - 1 of
// every column, whose base images lie in planes of columns height elements
// apart, a block of whole columns (or of one column's part) at a time; a
// strip of every row is one run of pixels.
template <int L, typename T>
ZEL_ALWAYS_INLINE void steer(const ScaleSteering<T>& in, ptrdiff_t rows, ptrdiff_t cols, ptrdiff_t first_row,
                             ptrdiff_t height, uint16_t orientations)
{
    T base[5][kSteeringBlock];
    zel::Steering listed[kListedOrientations];
    const bool listing = orientations <= kListedOrientations;
    for (uint16_t o = 1; listing && o <= orientations; ++o) listed[o - 1] = zel::steering(o, orientations);
    const T second_factor = T(-(in.sigma * in.sigma)), first_factor = T(in.sigma);
    const T* const planes[5] = {in.xx, in.xy, in.yy, in.x, in.y};
    const ptrdiff_t pixels = rows * cols;
    // Runs of pixels that lie one after the other in the stacks: the whole
    // plane, or a column of the strip.
    const bool whole = height == rows;
    const ptrdiff_t run = whole ? pixels : height, runs = whole ? 1 : cols;
    const ptrdiff_t runs_per_block = run < kSteeringBlock ? kSteeringBlock / run : 1;
    for (ptrdiff_t j = 0; j < runs; j += runs_per_block) {
        const ptrdiff_t block_runs = runs - j < runs_per_block ? runs - j : runs_per_block;
        for (ptrdiff_t done = 0; done < run; done += kSteeringBlock) {
            const ptrdiff_t count = run - done < kSteeringBlock ? run - done : kSteeringBlock;
            for (int b = 0; b < 5; ++b)
                if (planes[b]) memcpy(base[b], planes[b] + j * height + done, block_runs * count * sizeof(T));
            for (uint16_t o = 1; o <= orientations; ++o) {
                const zel::Steering c = listing ? listed[o - 1] : zel::steering(o, orientations);
                for (ptrdiff_t k = 0; k < block_runs; ++k) {
                    const ptrdiff_t at = ptrdiff_t(o - 1) * pixels + (j + k) * rows + first_row + done;
                    if (in.second) steer_block<L>(base, k * count, count, in.second + at, c, second_factor, true);
                    if (in.first) steer_block<L>(base, k * count, count, in.first + at, c, first_factor, false);
                }
            }
        }
    }
}

// --- one scale ----------------------------------------------------------------

// The planes w[0..] that a scale's passes work in. Second order: Gy0, Gy1,
// Gy2 in w0, w1, w2; Iyy from Gy2 into w3; Ixy from Gy1 into w2 (Gy2 is
// done with), and Iy into w4; Ixx from Gy0 into w1 (Gy1 is done with), and
// Ix into w5. First order alone: Gy0, Gy1 in w0, w1; Iy from Gy1 into w2; Ix
// from Gy0 into w1.
inline int working_planes(bool second, bool first) { return second ? (first ? 6 : 4) : 3; }

// Scales before the last are computed a strip of kStripRows rows at a time,
// so that the planes of the passes, height x cols elements each, stay in
// the caches; the last scale, whose own planes hold the passes, takes
// every row at once.
constexpr ptrdiff_t kStripRows = 64;

// The responses of one scale at every orientation, into the stacks' planes
// of that scale (second, first: at orientation 1; null when not asked for),
// strips of strip_rows rows at a time.
template <int L, typename T>
ZEL_ALWAYS_INLINE void filter_scale(const Image& image, double sigma, uint16_t orientations, T* const* w,
                                    T* second, T* first, ptrdiff_t strip_rows)
{
    zel::GaussianKernels kernels;
    zel::gaussian_kernels(sigma, kernels);
    SingleKernels single;
    const Taps<T> taps = taps_of<T>(kernels, single);
    const ptrdiff_t rows = image.rows, cols = image.cols;
    const int r = taps.radius;
    for (ptrdiff_t first_row = 0; first_row < rows; first_row += strip_rows) {
        const ptrdiff_t h = rows - first_row < strip_rows ? rows - first_row : strip_rows;
        ScaleSteering<T> base = {};
        if (second) {
            column_pass<L, true>(image, taps, first_row, h, w[0], w[1], w[2]);
            row_pass<L, true, false, T>(w[2], h, cols, r, taps.smooth, taps.first, w[3], nullptr);  // Iyy
            if (first) {
                row_pass<L, true, true, T>(w[1], h, cols, r, taps.smooth, taps.first, w[4], w[2]);   // Iy, Ixy
                row_pass<L, true, true, T>(w[0], h, cols, r, taps.second, taps.first, w[1], w[5]);   // Ixx, Ix
                base.y = w[4];
                base.x = w[5];
            } else {
                row_pass<L, false, true, T>(w[1], h, cols, r, taps.smooth, taps.first, nullptr, w[2]);  // Ixy
                row_pass<L, true, false, T>(w[0], h, cols, r, taps.second, taps.first, w[1], nullptr);  // Ixx
            }
            base.xx = w[1];
            base.xy = w[2];
            base.yy = w[3];
        } else {
            column_pass<L, false>(image, taps, first_row, h, w[0], w[1], static_cast<T*>(nullptr));
            row_pass<L, true, false, T>(w[1], h, cols, r, taps.smooth, taps.first, w[2], nullptr);  // Iy
            row_pass<L, false, true, T>(w[0], h, cols, r, taps.smooth, taps.first, nullptr, w[1]);  // Ix
            base.y = w[2];
            base.x = w[1];
        }
        base.second = second;
        base.first = first;
        base.sigma = sigma;
        steer<L>(base, rows, cols, first_row, h, orientations);
    }
}

// --- the gateway ------------------------------------------------------------------

// Each scale is a number in [kSmallestScale, kLargestScale], and each one is
// larger than the one before.
inline void require_scales(const zel::Call& call, const zel::RealArray& scales, size_t count)
{
    for (size_t k = 0; k < count; ++k) {
        const double sigma = scales[ptrdiff_t(k)];
        if (!(sigma >= zel::kSmallestScale && sigma <= zel::kLargestScale))
            zel::raise_error(call, zel::kInvalidScale,
                             "input 2 (scales) holds %s at element %zu; every scale must be a standard deviation in pixels from 0.1 to 128.",
                             zel::number_text(sigma).text, k + 1);
        if (k > 0 && !(sigma > scales[ptrdiff_t(k) - 1]))
            zel::raise_error(call, zel::kScalesNotAscending,
                             "input 2 (scales) must be strictly ascending; element %zu (%.17g) is not larger than element %zu (%.17g).",
                             k + 1, sigma, k, scales[ptrdiff_t(k) - 1]);
    }
}

inline uint16_t read_orientation_count(const zel::Call& call)
{
    const double count = zel::first_value(zel::input(call, kOrientationCount));
    if (!(count >= 1.0 && count <= 65534.0 && double(int32_t(count)) == count))
        zel::raise_error(call, zel::kInvalidOrientationCount,
                         "input 3 (orientation count) is %s; it must be a whole number from 1 to 65534.",
                         zel::number_text(count).text);
    return uint16_t(count);
}

// Which stack each output slot receives: 2 for the second order, 1 for the
// first; [2 1] when the caller gives no orders.
struct Orders {
    int count;
    int order[2];
};

inline Orders read_orders(const zel::Call& call, int nrhs)
{
    if (nrhs <= kOrders) return Orders{2, {2, 1}};
    const mxArray* array = zel::input(call, kOrders);
    const size_t count = mxGetNumberOfElements(array);
    const zel::RealArray values = zel::real_array(array);
    Orders orders = {int(count), {0, 0}};
    bool valid = count == 1 || count == 2;
    for (size_t k = 0; valid && k < count; ++k) {
        const double v = values[ptrdiff_t(k)];
        valid = v == 1.0 || v == 2.0;
        if (valid) orders.order[k] = int(v);
    }
    if (valid && count == 2 && orders.order[0] == orders.order[1]) valid = false;
    if (!valid)
        zel::raise_error(call, zel::kInvalidOrders,
                         "input 4 (orders) must be 1, 2, [2 1] or [1 2]: the derivative order of each output; found %zu element%s.",
                         count, zel::plural(count));
    return orders;
}

// 'double' or 'single', in any letter case. The host's mxChar is a UTF-16
// code unit in MATLAB and a byte in Octave.
inline bool text_is(const mxArray* array, const char* word)
{
    const size_t count = mxGetNumberOfElements(array);
    if (count != strlen(word)) return false;
    const mxChar* text = static_cast<const mxChar*>(mxGetData(array));
    for (size_t k = 0; k < count; ++k) {
        const unsigned code = unsigned(text[k]);
        const unsigned c = code >= 'A' && code <= 'Z' ? code - 'A' + 'a' : code;
        if (c != unsigned(word[k])) return false;
    }
    return true;
}

inline mxClassID read_precision(const zel::Call& call, int nrhs, mxClassID image_class)
{
    if (nrhs <= kPrecision) return image_class == mxSINGLE_CLASS ? mxSINGLE_CLASS : mxDOUBLE_CLASS;
    const mxArray* text = zel::input(call, kPrecision);
    if (text_is(text, "double")) return mxDOUBLE_CLASS;
    if (text_is(text, "single")) return mxSINGLE_CLASS;
    zel::raise_error(call, zel::kInvalidPrecision, "input 5 (precision) must be 'double' or 'single'.");
}

// A 2-D image with at least one pixel.
inline void require_image(const zel::Call& call)
{
    const mxArray* image = zel::input(call, kImage);
    if (mxGetNumberOfDimensions(image) > 2) {
        char sizes[160];
        zel::describe_sizes(image, sizes, sizeof sizes);
        zel::raise_error(call, zel::kInvalidShape,
                         "input 1 (image) must be a 2-D array (rows x cols); found %s. Convert a colour image to grey first.",
                         sizes);
    }
    if (mxGetNumberOfElements(image) == 0)
        zel::raise_error(call, zel::kEmptyInput, "input 1 (image) has no pixel; it must have at least one.");
    zel::require_size_limits(call, kImage, 2);
}

// A call as the gateway hands it to the lanes: the stacks asked for (null
// otherwise) and the working planes, of class T.
template <typename T>
struct BankCall {
    Image image;
    zel::RealArray scales;
    uint16_t scale_count;
    uint16_t orientations;
    T* w[6];
    T* second;
    T* first;
};

// Every scale, in as many lanes of T as N doubles fill, or twice that of
// singles.
template <int N, typename T>
void filter_scales(const BankCall<T>& call)
{
    constexpr int L = N * int(sizeof(double) / sizeof(T));
    const ptrdiff_t scale_stride = call.image.rows * call.image.cols * call.orientations;
    for (uint16_t s = 0; s < call.scale_count; ++s) {
        const ptrdiff_t at = ptrdiff_t(s) * scale_stride;
        filter_scale<L>(call.image, call.scales[s], call.orientations, call.w,
                        call.second ? call.second + at : nullptr, call.first ? call.first + at : nullptr,
                        s + 1 < call.scale_count ? kStripRows : call.image.rows);
    }
    end_streaming();
}

// A double or a single filter bank.
struct FilterBankCall {
    const BankCall<double>* doubles;
    const BankCall<float>* singles;
};

template <int N>
void filter_bank_in_lanes(const FilterBankCall& call)
{
    if (call.singles) filter_scales<N>(*call.singles);
    else filter_scales<N>(*call.doubles);
}

}  // namespace

#ifdef ZEL_LANE_WIDTH
ZEL_LANE_ENTRY(filter_bank_in_lanes, FilterBankCall)
#else
namespace {

template <typename T>
void filter_bank(const Image& image, const zel::RealArray& scales, uint16_t scale_count, uint16_t orientations,
                 T* second, T* first)
{
    const ptrdiff_t pixels = image.rows * image.cols;
    const ptrdiff_t scale_stride = pixels * orientations;
    // The last scale's planes are free until that scale is computed, and its
    // own passes keep out of each other's way (working_planes): they are the
    // working planes of every scale.
    const int needed = working_planes(second != nullptr, first != nullptr);
    BankCall<T> call = {image, scales, scale_count, orientations, {}, second, first};
    int available = 0;
    T* const stacks[2] = {second, first};
    for (T* stack : stacks)
        for (uint16_t o = 0; stack && o < orientations && available < needed; ++o)
            call.w[available++] = stack + ptrdiff_t(scale_count - 1) * scale_stride + ptrdiff_t(o) * pixels;
    mxArray* working = nullptr;
    if (available < needed) {
        const mwSize dims[2] = {mwSize(pixels), mwSize(needed)};
        working = mxCreateNumericArray(2, dims, sizeof(T) == sizeof(double) ? mxDOUBLE_CLASS : mxSINGLE_CLASS, mxREAL);
        for (int k = 0; k < needed; ++k) call.w[k] = static_cast<T*>(mxGetData(working)) + ptrdiff_t(k) * pixels;
    }
    if constexpr (sizeof(T) == sizeof(double)) zel::compute_with_widest_lanes(FilterBankCall{&call, nullptr});
    else zel::compute_with_widest_lanes(FilterBankCall{nullptr, &call});
    if (working) mxDestroyArray(working);
}

}  // namespace

extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    const zel::Signature signature = {"ZELgetResponseStack", kRoles, kInputCount, 2,
                                      "Three to five input arguments required.", kRequiredInputs};
    const zel::Call call = zel::begin_call(signature, nlhs, nrhs, prhs);
    require_image(call);
    const mxArray* scales_array = zel::input(call, kScales);
    const size_t scale_count = mxGetNumberOfElements(scales_array);
    const zel::RealArray scales = zel::real_array(scales_array);
    require_scales(call, scales, scale_count);
    const uint16_t orientations = read_orientation_count(call);
    const Orders orders = read_orders(call, nrhs);
    if (nlhs > orders.count)
        zel::raise_error(call, zel::kTooManyOutputs, "%d outputs were requested; input 4 (orders) names only %d.",
                         nlhs, orders.count);
    const mxArray* image_array = zel::input(call, kImage);
    const Image image = {mxGetData(image_array), mxGetClassID(image_array), ptrdiff_t(zel::host_size(image_array, 0)),
                         ptrdiff_t(zel::host_size(image_array, 1))};
    const mxClassID stack_class = read_precision(call, nrhs, image.class_id);
    const double elements = double(image.rows) * double(image.cols) * double(orientations) * double(scale_count);
    if (scale_count > 65534 || elements > 2147483648.0)
        zel::raise_error(call, zel::kTooLarge,
                         "the stacks would hold %zu x %zu x %u x %zu elements; at most 2^31, and at most 65534 scales, are supported.",
                         size_t(image.rows), size_t(image.cols), unsigned(orientations), scale_count);

    // The outputs asked for (one when none is), in the order of orders.
    const int outputs = nlhs > 1 ? nlhs : 1;
    void* stacks[3] = {nullptr, nullptr, nullptr};  // by order
    const mwSize dims[4] = {mwSize(image.rows), mwSize(image.cols), orientations, mwSize(scale_count)};
    for (int k = 0; k < outputs; ++k) stacks[orders.order[k]] = zel::create_filled_array(plhs, k, 4, dims, stack_class);
    if (scale_count == 0) return;
    if (stack_class == mxSINGLE_CLASS)
        filter_bank(image, scales, uint16_t(scale_count), orientations, static_cast<float*>(stacks[2]),
                    static_cast<float*>(stacks[1]));
    else
        filter_bank(image, scales, uint16_t(scale_count), orientations, static_cast<double*>(stacks[2]),
                    static_cast<double*>(stacks[1]));
}
#endif
