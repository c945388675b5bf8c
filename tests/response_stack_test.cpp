// ZELgetResponseStack through the stand-in host: against a plain reference
// loop of its definition bit for bit, against the closed forms of lines and
// steps, and its contract.
#include "gaussian_derivatives.h"
#include "kernel_support.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

using namespace zeltest;
const double kPi = 3.141592653589793;

// --- the definition, plainly ---------------------------------------------------

ptrdiff_t mirrored(ptrdiff_t i, ptrdiff_t n)
{
    ptrdiff_t m = i % (2 * n);
    if (m < 0) m += 2 * n;
    return m < n ? m : 2 * n - 1 - m;
}

// An image as the filter bank reads it, in the class T of the computation.
template <typename T>
std::vector<T> image_values(const mxArray* image)
{
    const size_t count = mxGetNumberOfElements(image);
    std::vector<T> v(count);
    const void* data = mxGetData(image);
    const T host_nan = -std::numeric_limits<T>::quiet_NaN();  // sign bit set, as 0/0 on x86-64
    for (size_t p = 0; p < count; ++p) {
        switch (mxGetClassID(image)) {
        case mxUINT8_CLASS: v[p] = T(static_cast<const uint8_t*>(data)[p]) / T(255); break;
        case mxUINT16_CLASS: v[p] = T(static_cast<const uint16_t*>(data)[p]) / T(65535); break;
        case mxLOGICAL_CLASS: v[p] = T(static_cast<const uint8_t*>(data)[p] != 0); break;
        case mxSINGLE_CLASS: v[p] = T(static_cast<const float*>(data)[p]); break;
        default: v[p] = T(static_cast<const double*>(data)[p]); break;
        }
        if (std::isnan(v[p])) v[p] = host_nan;
    }
    return v;
}

// Sample t of a line f(0..n-1) filtered with the even taps w or the odd taps v.
template <typename T, typename Line>
T even_sum(const std::vector<T>& w, int r, Line f, ptrdiff_t t, ptrdiff_t n)
{
    T s = w[0] * f(t);
    for (int k = 1; k <= r; ++k) s = s + w[size_t(k)] * (f(mirrored(t - k, n)) + f(mirrored(t + k, n)));
    return s;
}
template <typename T, typename Line>
T odd_sum(const std::vector<T>& v, int r, Line f, ptrdiff_t t, ptrdiff_t n)
{
    T s = v[1] * (f(mirrored(t + 1, n)) - f(mirrored(t - 1, n)));
    for (int k = 2; k <= r; ++k) s = s + v[size_t(k)] * (f(mirrored(t + k, n)) - f(mirrored(t - k, n)));
    return s;
}

// A NaN response is the host's NaN (sign bit set, quiet, no payload),
// whichever NaN the processor made: on x86-64 every NaN of the sums already
// is, on 64-bit ARM an invalid operation gives a NaN with the sign clear.
template <typename T>
T host_nan_for_nan(T v)
{
    if (v == v) return v;
    return -std::numeric_limits<T>::quiet_NaN();
}

template <typename T>
struct ReferenceStacks {
    std::vector<T> second, first;  // rows x cols x nO x nS
};

// Down the columns Gy0, Gy1, Gy2, then along the rows Ixx, Ixy, Iyy, Ix, Iy,
// then the steering of every orientation.
template <typename T>
ReferenceStacks<T> reference(const std::vector<T>& image, ptrdiff_t rows, ptrdiff_t cols,
                             const std::vector<double>& sigmas, uint16_t orientations)
{
    const size_t pixels = size_t(rows * cols);
    ReferenceStacks<T> out;
    out.second.assign(pixels * orientations * sigmas.size(), T(0));
    out.first = out.second;
    for (size_t s = 0; s < sigmas.size(); ++s) {
        zel::GaussianKernels kernels;
        zel::gaussian_kernels(sigmas[s], kernels);
        const int r = kernels.radius;
        std::vector<T> g0(kernels.smooth, kernels.smooth + r + 1), g1(kernels.first, kernels.first + r + 1),
            g2(kernels.second, kernels.second + r + 1);
        std::vector<T> gy[3] = {std::vector<T>(pixels), std::vector<T>(pixels), std::vector<T>(pixels)};
        for (ptrdiff_t j = 0; j < cols; ++j) {
            const auto column = [&](ptrdiff_t i) { return image[size_t(i + rows * j)]; };
            for (ptrdiff_t i = 0; i < rows; ++i) {
                gy[0][size_t(i + rows * j)] = even_sum(g0, r, column, i, rows);
                gy[1][size_t(i + rows * j)] = odd_sum(g1, r, column, i, rows);
                gy[2][size_t(i + rows * j)] = even_sum(g2, r, column, i, rows);
            }
        }
        for (ptrdiff_t j = 0; j < cols; ++j) {
            for (ptrdiff_t i = 0; i < rows; ++i) {
                const auto row = [&](int d) { return [&, d](ptrdiff_t jj) { return gy[d][size_t(i + rows * jj)]; }; };
                const T xx = even_sum(g2, r, row(0), j, cols), x = odd_sum(g1, r, row(0), j, cols);
                const T xy = odd_sum(g1, r, row(1), j, cols), y = even_sum(g0, r, row(1), j, cols);
                const T yy = even_sum(g0, r, row(2), j, cols);
                for (uint16_t o = 1; o <= orientations; ++o) {
                    const zel::Steering c = zel::steering(o, orientations);
                    const size_t at = size_t(i + rows * j) + pixels * (o - 1 + orientations * s);
                    out.second[at] =
                        host_nan_for_nan(T(-(sigmas[s] * sigmas[s])) * ((T(c.xx) * xx + T(c.xy) * xy) + T(c.yy) * yy));
                    out.first[at] = host_nan_for_nan(T(sigmas[s]) * (T(c.x) * x + T(c.y) * y));
                }
            }
        }
    }
    return out;
}

// --- calling the MEX file ---------------------------------------------------------

Array text(const char* word)
{
    Array t = of_class(mxCHAR_CLASS, {1, std::strlen(word)});
    for (size_t k = 0; k < std::strlen(word); ++k) static_cast<uint16_t*>(mxGetData(t.get()))[k] = uint16_t(word[k]);
    return t;
}

Array row_of(const std::vector<double>& v) { return doubles({1, v.size()}, v); }

CallResult filter_bank(const mxArray* image, const std::vector<double>& sigmas, double orientations, int nlhs = 2,
                       const std::vector<double>& orders = {}, const char* precision = nullptr)
{
    Array s = row_of(sigmas), n = scalar(orientations), o = row_of(orders), p = precision ? text(precision) : Array();
    std::vector<const mxArray*> inputs = {image, s.get(), n.get()};
    if (!orders.empty() || precision) inputs.push_back(o.get());
    if (precision) inputs.push_back(p.get());
    return call("ZELgetResponseStack", nlhs, inputs);
}

template <typename T>
std::vector<T> elements_of(const mxArray* a)
{
    const T* data = static_cast<const T*>(mxGetData(a));
    return data ? std::vector<T>(data, data + mxGetNumberOfElements(a)) : std::vector<T>();
}

template <typename T>
void expect_same_elements(const std::vector<T>& expected, const std::vector<T>& got, const std::string& what)
{
    ASSERT_EQ(expected.size(), got.size()) << what;
    size_t differ = 0, first = 0;
    for (size_t k = 0; k < got.size(); ++k)
        if (std::memcmp(&expected[k], &got[k], sizeof(T)) != 0 && differ++ == 0) first = k;
    EXPECT_EQ(0u, differ) << what << ": " << differ << " of " << got.size() << " elements differ, the first at "
                          << first << " (" << (differ ? double(got[first]) : 0.0) << " instead of "
                          << (differ ? double(expected[first]) : 0.0) << ")";
}

Array random_image(mxClassID class_id, mwSize rows, mwSize cols, uint64_t seed, uint64_t special_odds = 15)
{
    RandomValues data(seed);
    Array image = of_class(class_id, {rows, cols});
    for (size_t p = 0; p < rows * cols; ++p) {
        const double v = data.special_or(data.uniform(-0.5, 1.5), special_odds);
        void* out = mxGetData(image.get());
        if (class_id == mxSINGLE_CLASS) static_cast<float*>(out)[p] = float(v);
        else if (class_id == mxUINT8_CLASS) static_cast<uint8_t*>(out)[p] = uint8_t(data.below(256));
        else if (class_id == mxUINT16_CLASS) static_cast<uint16_t*>(out)[p] = uint16_t(data.below(65536));
        else if (class_id == mxLOGICAL_CLASS) static_cast<uint8_t*>(out)[p] = uint8_t(data.below(2));
        else static_cast<double*>(out)[p] = v;
    }
    return image;
}

// --- the definition, bit for bit -------------------------------------------------

struct Case {
    const char* what;
    mxClassID image_class;
    mwSize rows, cols;
    std::vector<double> sigmas;
    uint16_t orientations;
    bool single;  // single precision asked for
};

// Shapes across the row blocks of every lane width (32 and 64 rows and
// their parts), images narrower than the kernels, kernels so wide that the
// column ring holds two or one vector per column, and few orientations, for
// which a working array replaces the stacks' planes.
TEST(ResponseStack, AgreesBitForBitWithTheDefinition)
{
    const Case cases[] = {
        {"37 x 23, demo scales", mxDOUBLE_CLASS, 37, 23, {1.5, 2.4, 3.84, 6.144}, 8, false},
        {"one pixel", mxDOUBLE_CLASS, 1, 1, {2}, 4, false},
        {"one row", mxDOUBLE_CLASS, 1, 17, {0.1, 1.3}, 3, false},
        {"one column", mxDOUBLE_CLASS, 19, 1, {0.6, 5}, 2, false},
        {"block edges", mxDOUBLE_CLASS, 97, 5, {1, 2}, 8, false},
        {"two block rows and a part, strips", mxDOUBLE_CLASS, 131, 4, {0.9, 3}, 5, false},
        {"strips of singles", mxSINGLE_CLASS, 150, 11, {0.5, 1.5, 2.5}, 8, false},
        {"wide kernels: two vectors a column", mxDOUBLE_CLASS, 70, 9, {40}, 4, false},
        {"wide kernels: one vector a column", mxDOUBLE_CLASS, 20, 6, {70}, 3, false},
        {"one orientation", mxDOUBLE_CLASS, 13, 11, {1, 3}, 1, false},
        {"single image", mxSINGLE_CLASS, 67, 9, {1.5, 4}, 8, false},
        {"single asked for", mxDOUBLE_CLASS, 45, 7, {2.5}, 6, true},
        {"single, wide kernels", mxSINGLE_CLASS, 130, 5, {45}, 2, false},
        {"uint8", mxUINT8_CLASS, 16, 12, {1.2}, 8, false},
        {"uint16", mxUINT16_CLASS, 12, 16, {1.7}, 4, false},
        {"logical", mxLOGICAL_CLASS, 14, 9, {0.8, 1.6}, 6, false},
    };
    uint64_t seed = 1;
    for (const Case& c : cases) {
        Array image = random_image(c.image_class, c.rows, c.cols, seed++);
        const bool single = c.single || c.image_class == mxSINGLE_CLASS;
        // Both orders, and each alone: the second order alone has its own
        // plan of working planes.
        for (int which = 0; which < 3; ++which) {
            const std::vector<double> orders = which == 0 ? std::vector<double>{2, 1}
                                               : which == 1 ? std::vector<double>{2}
                                                            : std::vector<double>{1};
            const CallResult result =
                filter_bank(image.get(), c.sigmas, c.orientations, int(orders.size()), orders, c.single ? "single" : nullptr);
            ASSERT_FALSE(result.failed) << c.what << ": " << result.message;
            ASSERT_EQ(orders.size(), result.outputs.size()) << c.what;
            const std::vector<mwSize> expected_dims = {c.rows, c.cols, c.orientations, c.sigmas.size()};
            for (size_t k = 0; k < orders.size(); ++k) {
                const mxArray* stack = result.outputs[k].get();
                std::vector<mwSize> d = dims(stack);
                d.resize(4, 1);
                EXPECT_EQ(expected_dims, d) << c.what;
                EXPECT_EQ(single ? mxSINGLE_CLASS : mxDOUBLE_CLASS, mxGetClassID(stack)) << c.what;
                const std::string what = std::string(c.what) + ", order " + std::to_string(int(orders[k]));
                if (single) {
                    const ReferenceStacks<float> ref =
                        reference(image_values<float>(image.get()), c.rows, c.cols, c.sigmas, c.orientations);
                    expect_same_elements(orders[k] == 2 ? ref.second : ref.first, elements_of<float>(stack), what);
                } else {
                    const ReferenceStacks<double> ref =
                        reference(image_values<double>(image.get()), c.rows, c.cols, c.sigmas, c.orientations);
                    expect_same_elements(orders[k] == 2 ? ref.second : ref.first, elements_of<double>(stack), what);
                }
            }
        }
    }
}

// Asking for single gives, bit for bit, the call on the image rounded to
// single; every NaN pixel is the host's NaN, whatever its sign and payload.
TEST(ResponseStack, SinglePrecisionIsTheCallOnTheSingleImageAndNaNsAreTheHostsNaN)
{
    Array image = random_image(mxDOUBLE_CLASS, 21, 18, 77, 4);
    Array rounded = of_class(mxSINGLE_CLASS, {21, 18});
    const double* from = mxGetPr(image.get());
    for (size_t p = 0; p < 21 * 18; ++p) static_cast<float*>(mxGetData(rounded.get()))[p] = float(from[p]);
    const CallResult asked = filter_bank(image.get(), {1, 2}, 5, 2, {2, 1}, "Single");
    const CallResult on_single = filter_bank(rounded.get(), {1, 2}, 5, 2);
    ASSERT_FALSE(asked.failed || on_single.failed) << asked.message << on_single.message;
    for (int k = 0; k < 2; ++k)
        expect_same_elements(elements_of<float>(on_single.outputs[size_t(k)].get()),
                             elements_of<float>(asked.outputs[size_t(k)].get()), "output " + std::to_string(k + 1));
    size_t nans = 0;
    for (double x : values(asked.outputs[0].get()))
        if (std::isnan(x)) {
            ++nans;
            float f = float(x);
            uint32_t b;
            std::memcpy(&b, &f, sizeof b);
            EXPECT_EQ(0xffc00000u, b);
        }
    EXPECT_GT(nans, 0u) << "the image's NaNs must reach the responses";
}

// --- what the responses mean ---------------------------------------------------

// A straight line of Gaussian profile, standard deviation w, unit height,
// at angle theta (degrees counterclockwise from the x axis, rows downwards)
// through the centre of an n x n image.
Array line_image(int n, double theta, double w)
{
    std::vector<double> v(size_t(n) * n);
    const double c = (n - 1) / 2.0, s = std::sin(theta * kPi / 180), k = std::cos(theta * kPi / 180);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const double across = -(j - c) * s - (i - c) * k;  // along the normal (-sin, -cos) in (x, y)
            v[size_t(i + n * j)] = std::exp(-across * across / (2 * w * w));
        }
    return doubles({mwSize(n), mwSize(n)}, v);
}

// At the centre of a line drawn along orientation o, R2 is the closed form
// rho / (1 + rho^2)^(3/2), rho = w / sigma, at every orientation and scale.
// The kernels end at 4 sigma and are normalised to their exact moments there;
// the Gaussian's fourth moment beyond 4 sigma, 0.68% of the whole, is what
// the second-derivative kernel's normaliser D loses, and the response moves
// by less than that: 1% is the tolerance. (Lines narrower than one pixel are
// not sampled finely enough to have a closed form.)
TEST(ResponseStack, ALineGivesTheClosedFormAtItsCentreAtEveryOrientationAndScale)
{
    const int n = 81, centre = (n - 1) / 2;
    const uint16_t orientations = 6;
    const std::vector<double> sigmas = {1, 1.5, 2.4, 3.84, 6.144};
    for (double w : {1.0, 2.0, 4.0}) {
        for (uint16_t o = 1; o <= orientations; ++o) {
            Array image = line_image(n, (o - 1) * 180.0 / orientations, w);
            const CallResult result = filter_bank(image.get(), sigmas, orientations, 1);
            ASSERT_FALSE(result.failed) << result.message;
            const std::vector<double> R2 = values(result.outputs[0].get());
            for (size_t s = 0; s < sigmas.size(); ++s) {
                const double rho = w / sigmas[s], closed = rho / std::pow(1 + rho * rho, 1.5);
                const size_t at = size_t(centre + n * centre) + size_t(n) * n * (o - 1 + orientations * s);
                EXPECT_NEAR(closed, R2[at], 0.01 * closed) << "w " << w << ", orientation " << o << ", sigma " << sigmas[s];
            }
        }
    }
}

// A bright line of standard deviation 2 drawn at 30 degrees: at its centre
// the largest second-order response of 8 orientations is at 22.5 degrees,
// the nearest, and of 6 at exactly 30; across the line R2 falls off.
TEST(ResponseStack, ALineAt30DegreesPeaksAtTheNearestOrientation)
{
    const int n = 61, centre = 30;
    Array image = line_image(n, 30, 2);
    for (uint16_t orientations : {uint16_t(8), uint16_t(6)}) {
        const CallResult result = filter_bank(image.get(), {2.8}, orientations, 1);
        ASSERT_FALSE(result.failed) << result.message;
        const std::vector<double> R2 = values(result.outputs[0].get());
        uint16_t best = 0;
        for (uint16_t o = 1; o <= orientations; ++o)
            if (!best || R2[size_t(centre + n * centre) + size_t(n) * n * (o - 1)] >
                             R2[size_t(centre + n * centre) + size_t(n) * n * (best - 1)])
                best = o;
        EXPECT_EQ(2, best) << orientations << " orientations";
        const size_t plane = size_t(n) * n * (best - 1);
        EXPECT_GT(R2[plane + size_t(centre + n * centre)], 0.3);
        // Four pixels away across the line (the normal at 30 degrees is
        // (-1/2, -sqrt(3)/2) in (x, y)): less than half.
        EXPECT_LT(R2[plane + size_t((centre - 3) + n * (centre - 2))], 0.5 * R2[plane + size_t(centre + n * centre)]);
    }
}

// A unit step along orientation o: sigma times the derivative of the
// smoothed step at the edge is 1/sqrt(2 pi), positive where the image grows
// brighter along the normal (-sin, -cos), which at 0 degrees points up.
TEST(ResponseStack, AStepGivesItsClosedFormWithTheDocumentedSign)
{
    const int n = 64;
    std::vector<double> v(size_t(n) * n);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) v[size_t(i + n * j)] = i < n / 2 ? 1.0 : 0.0;  // bright above
    Array image = doubles({mwSize(n), mwSize(n)}, v);
    const CallResult result = filter_bank(image.get(), {2}, 4, 2, {1, 2});
    ASSERT_FALSE(result.failed) << result.message;
    const std::vector<double> R1 = values(result.outputs[0].get()), R2 = values(result.outputs[1].get());
    // The edge lies between rows n/2 - 1 and n/2: the mean of the two samples.
    const size_t above = size_t(n / 2 - 1 + n * (n / 2)), below = above + 1;
    EXPECT_NEAR(1 / std::sqrt(2 * kPi), (R1[above] + R1[below]) / 2, 0.01);
    // At 90 degrees the normal lies along the edge: no response. R2 is
    // positive on the bright side, as beside a bright line, negative on the
    // dark one.
    const size_t quarter = size_t(n) * n;
    EXPECT_NEAR(0.0, R1[above + 2 * quarter], 1e-12);
    EXPECT_GT(R2[above], 0.0);
    EXPECT_LT(R2[below], 0.0);
}

// The kernels are exact on polynomials of degree two: a flat image has no
// response, a ramp its slope and no curvature, a parabola its curvature
// (away from the border, where the mirroring bends them).
TEST(ResponseStack, PolynomialsOfDegreeTwoGiveTheirDerivatives)
{
    const int n = 48, i0 = 24, j0 = 24;
    const double sigma = 2.2;  // r = 9: the border is out of reach at (24, 24)
    const auto image_of = [&](auto f) {
        std::vector<double> v(size_t(n) * n);
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) v[size_t(i + n * j)] = f(double(j), double(i));  // f(x, y)
        return doubles({mwSize(n), mwSize(n)}, v);
    };
    const uint16_t orientations = 8;
    const auto response = [&](const Array& image, int order, uint16_t o) {
        const CallResult result = filter_bank(image.get(), {sigma}, orientations, 1, {double(order)});
        EXPECT_FALSE(result.failed) << result.message;
        return result.failed ? 0.0 : values(result.outputs[0].get())[size_t(i0 + n * j0) + size_t(n) * n * (o - 1)];
    };
    Array flat = image_of([](double, double) { return 0.75; });
    Array ramp = image_of([](double x, double y) { return 0.3 * x - 0.2 * y; });
    Array parabola = image_of([](double x, double) { return 0.01 * x * x; });
    for (uint16_t o = 1; o <= orientations; ++o) {
        const double theta = (o - 1) * kPi / orientations, s = std::sin(theta), c = std::cos(theta);
        EXPECT_NEAR(0.0, response(flat, 2, o), 1e-13);
        EXPECT_NEAR(0.0, response(flat, 1, o), 1e-13);
        EXPECT_NEAR(sigma * (-s * 0.3 - c * -0.2), response(ramp, 1, o), 1e-12) << o;
        EXPECT_NEAR(0.0, response(ramp, 2, o), 1e-12) << o;
        EXPECT_NEAR(-(sigma * sigma) * (s * s * 0.02), response(parabola, 2, o), 1e-12) << o;
    }
}

// --- the weights ---------------------------------------------------------------------

double ulps_apart(double a, double b)
{
    return std::fabs(a - b) / (std::nextafter(std::fabs(b), INFINITY) - std::fabs(b));
}

TEST(ResponseStack, OwnExpSinAndCosAreWithinAFewUnitsInTheLastPlace)
{
    double worst_exp = 0, worst_trig = 0;
    for (int k = 0; k <= 200000; ++k) {
        const double x = -745.0 * k / 200000.0;
        if (x > -708.0) worst_exp = std::max(worst_exp, ulps_apart(zel::exp_of_nonpositive(x), std::exp(x)));
        // Against sin and cos in long double, of the angle brought into
        // [0, 45] degrees by the exact symmetries (near 90 and 180 degrees a
        // long double of the angle itself has lost the digits that matter).
        const double d = 180.0 * k / 200001.0;
        const double folded = d > 90 ? 180 - d : d, reduced = folded > 45 ? 90 - folded : folded;
        const long double radians = (long double)reduced * 3.14159265358979323846264338327950288L / 180.0L;
        const double sin_reduced = double(std::sin(radians)), cos_reduced = double(std::cos(radians));
        const double expected_s = folded > 45 ? cos_reduced : sin_reduced;
        const double expected_c = (folded > 45 ? sin_reduced : cos_reduced) * (d > 90 ? -1 : 1);
        double s, c;
        zel::sin_cos_degrees(d, s, c);
        worst_trig = std::max(worst_trig, ulps_apart(s, expected_s));
        if (expected_c != 0) worst_trig = std::max(worst_trig, ulps_apart(c, expected_c));
    }
    // A wrong coefficient or reduction would be thousands of units off; the
    // degrees-to-radians rounding comes first, and valgrind computes long
    // double in double, which costs the reference another unit or two.
    EXPECT_LE(worst_exp, 1.0);
    EXPECT_LE(worst_trig, 4.0);
    double s, c;
    zel::sin_cos_degrees(0, s, c);
    EXPECT_EQ(0.0, s);
    EXPECT_EQ(1.0, c);
    zel::sin_cos_degrees(90, s, c);
    EXPECT_EQ(1.0, s);
    EXPECT_EQ(0.0, c);
    EXPECT_EQ(1.0, zel::exp_of_nonpositive(-0.0));
    EXPECT_EQ(0.0, zel::exp_of_nonpositive(-746.0));
}

TEST(ResponseStack, KernelsHaveTheirMoments)
{
    for (double sigma : {0.1, 0.5, 1.0, 1.5, 3.84, 20.0, 128.0}) {
        zel::GaussianKernels g;
        zel::gaussian_kernels(sigma, g);
        EXPECT_EQ(int(std::ceil(4 * sigma)), g.radius) << sigma;
        double smooth = g.smooth[0], first = 0, second = g.second[0], second_moment = 0;
        for (int k = 1; k <= g.radius; ++k) {
            smooth += 2 * g.smooth[k];
            first += 2 * k * g.first[k];
            second += 2 * g.second[k];
            second_moment += double(k) * k * g.second[k];  // twice sum k^2/2 over one side
        }
        EXPECT_NEAR(1.0, smooth, 1e-14) << sigma;
        EXPECT_NEAR(1.0, first, 1e-13) << sigma;
        EXPECT_NEAR(0.0, second, 1e-13) << sigma;
        EXPECT_NEAR(1.0, second_moment, 1e-12) << sigma;
    }
}

// --- the contract -----------------------------------------------------------------------

TEST(ResponseStack, OutputsAreTheOrdersAskedForAndOnlyThoseAreComputed)
{
    Array image = random_image(mxDOUBLE_CLASS, 9, 7, 5);
    const CallResult both = filter_bank(image.get(), {1, 2}, 4, 2);
    const CallResult second = filter_bank(image.get(), {1, 2}, 4, 0);  // no output asked for: the first
    const CallResult swapped = filter_bank(image.get(), {1, 2}, 4, 2, {1, 2});
    ASSERT_FALSE(both.failed || second.failed || swapped.failed);
    ASSERT_EQ(1u, second.outputs.size());
    expect_same_elements(elements_of<double>(both.outputs[0].get()), elements_of<double>(second.outputs[0].get()), "R2");
    expect_same_elements(elements_of<double>(both.outputs[0].get()), elements_of<double>(swapped.outputs[1].get()), "R2");
    expect_same_elements(elements_of<double>(both.outputs[1].get()), elements_of<double>(swapped.outputs[0].get()), "R1");
    const CallResult none = filter_bank(image.get(), {}, 4, 2);
    ASSERT_FALSE(none.failed) << none.message;
    EXPECT_EQ((std::vector<mwSize>{9, 7, 4, 0}), dims(none.outputs[0].get()));
}

TEST(ResponseStack, ContractBreachesEndInAnIdentifiedError)
{
    Array image = random_image(mxDOUBLE_CLASS, 6, 5, 9);
    Array colour = of_class(mxDOUBLE_CLASS, {6, 5, 3}), empty = of_class(mxDOUBLE_CLASS, {0, 5});
    Array int8_image = of_class(mxINT8_CLASS, {6, 5}), complex_image = of_class(mxDOUBLE_CLASS, {6, 5}, mxCOMPLEX);
    Array tall = unbacked({65535, 2});
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* what;
        const mxArray* image;
        std::vector<double> sigmas;
        double orientations;
        std::vector<double> orders;
        const char* precision;
        int nlhs;
        const char* mnemonic;
        const char* message_part;
    } cases[] = {
        {"colour image", colour.get(), {1}, 8, {}, nullptr, 1, "invalidShape", "must be a 2-D array (rows x cols); found 6 x 5 x 3"},
        {"empty image", empty.get(), {1}, 8, {}, nullptr, 1, "emptyInput", "input 1 (image) has no pixel"},
        {"int8 image", int8_image.get(), {1}, 8, {}, nullptr, 1, "invalidClass", "double, single, uint8, uint16 or logical array; found an int8 array"},
        {"complex image", complex_image.get(), {1}, 8, {}, nullptr, 1, "invalidClass", "found a complex double array"},
        {"65535 rows", tall.get(), {1}, 8, {}, nullptr, 1, "tooLarge", "65535 rows"},
        {"NaN scale", image.get(), {1, nan}, 8, {}, nullptr, 1, "invalidScale", "holds NaN at element 2"},
        {"zero scale", image.get(), {0}, 8, {}, nullptr, 1, "invalidScale", "holds 0 at element 1"},
        {"scale above 128", image.get(), {1, 200}, 8, {}, nullptr, 1, "invalidScale", "from 0.1 to 128"},
        {"descending scales", image.get(), {2, 1}, 8, {}, nullptr, 1, "scalesNotAscending", "element 2 (1) is not larger than element 1 (2)"},
        {"equal scales", image.get(), {2, 2}, 8, {}, nullptr, 1, "scalesNotAscending", "strictly ascending"},
        {"no orientation", image.get(), {1}, 0, {}, nullptr, 1, "invalidOrientationCount", "is 0; it must be a whole number from 1 to 65534"},
        {"65535 orientations", image.get(), {1}, 65535, {}, nullptr, 1, "invalidOrientationCount", "65535"},
        {"half an orientation", image.get(), {1}, 2.5, {}, nullptr, 1, "invalidOrientationCount", "2.5"},
        {"order 3", image.get(), {1}, 8, {3}, nullptr, 1, "invalidOrders", "must be 1, 2, [2 1] or [1 2]"},
        {"order twice", image.get(), {1}, 8, {2, 2}, nullptr, 1, "invalidOrders", "must be 1, 2"},
        {"no order", image.get(), {1}, 8, {}, "double", 1, "invalidOrders", "found 0 elements"},
        {"precision", image.get(), {1}, 8, {2}, "half", 1, "invalidPrecision", "must be 'double' or 'single'"},
        {"outputs past the orders", image.get(), {1}, 8, {1}, nullptr, 2, "tooManyOutputs", "input 4 (orders) names only 1"},
        {"three outputs", image.get(), {1}, 8, {}, nullptr, 3, "tooManyOutputs", "there are only 2"},
    };
    for (const auto& c : cases)
        expect_breach(filter_bank(c.image, c.sigmas, c.orientations, c.nlhs, c.orders, c.precision), "ZELgetResponseStack",
                      c.what, c.mnemonic, c.message_part);
    // More than 2^31 elements in the stacks.
    Array big = unbacked({40000, 40000});
    expect_breach(filter_bank(big.get(), {1, 2}, 8, 1), "ZELgetResponseStack", "2^31 elements", "tooLarge",
                  "40000 x 40000 x 8 x 2 elements; at most 2^31");
    // More than 65534 scales, each a valid one.
    std::vector<double> many(65535);
    for (size_t k = 0; k < many.size(); ++k) many[k] = 0.1 + 0.001 * double(k);
    expect_breach(filter_bank(image.get(), many, 1, 1), "ZELgetResponseStack", "65535 scales", "tooLarge",
                  "at most 65534 scales");
    Array precision_number = scalar(1);
    Array s = row_of({1}), n = scalar(8), o = row_of({2});
    expect_breach(call("ZELgetResponseStack", 1, {image.get(), s.get(), n.get(), o.get(), precision_number.get()}),
                  "ZELgetResponseStack", "precision as a number", "invalidClass", "must be text");
}

}  // namespace
