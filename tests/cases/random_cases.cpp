#include "random_cases.h"
#include "../demanding_shapes.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace zelcases {

namespace {

// Values as a caller's data may hold them: mostly ordinary, sometimes one of
// the values that the kernels treat in particular ways.
struct Values {
    std::mt19937_64 engine;

    double uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(engine); }
    bool chance(double p) { return uniform(0, 1) < p; }
    size_t pick(size_t count) { return std::uniform_int_distribution<size_t>(0, count - 1)(engine); }

    static double from_bits(uint64_t bits)
    {
        double x;
        memcpy(&x, &bits, sizeof x);
        return x;
    }
    // A quiet NaN of either sign with a payload of its own, so that which
    // operand a NaN result comes from shows in its bits.
    double nan_with_payload()
    {
        return from_bits((engine() & 0x8000000000000000u) | 0x7ff8000000000000u | (engine() & 0x0007ffffffffffffu));
    }
    double subnormal() { return from_bits((engine() & 0x8000000000000000u) | (1 + engine() % 0x000fffffffffffffu)); }
    double special()
    {
        const double inf = std::numeric_limits<double>::infinity();
        const double fixed[] = {0.0, -0.0, inf, -inf, 1e-300, -1e-300, 1.0, 0.5};
        const size_t k = pick(12);
        if (k < 3) return nan_with_payload();
        if (k < 4) return subnormal();
        return fixed[k - 4];
    }
    double any() { return chance(0.08) ? special() : uniform(-2, 2); }
    double positive() { return chance(0.04) ? special() : uniform(0.25, 6); }
    double angle() { return chance(0.35) ? nan_with_payload() : chance(0.03) ? special() : uniform(0, 180); }
    // A quarter of the pixels with an angle: many have exactly two neighbours
    // with one, so that the curvature is computed there.
    double sparse_angle() { return chance(0.75) ? std::numeric_limits<double>::quiet_NaN() : uniform(0, 180); }
};

Input doubles(const Dims& dims, Values& v, double (Values::*draw)())
{
    Input in{mxDOUBLE_CLASS, dims, {}, {}};
    for (size_t k = 0; k < element_count(dims); ++k) in.doubles.push_back((v.*draw)());
    return in;
}

Input scalar(double value) { return Input{mxDOUBLE_CLASS, {1, 1}, {value}, {}}; }
Input uint16_scalar(uint16_t value) { return Input{mxUINT16_CLASS, {1, 1}, {}, {value}}; }

size_t orientations(const Dims& stack) { return stack.size() > 2 ? stack[2] : 1; }
size_t scales(const Dims& stack) { return stack.size() > 3 ? stack[3] : 1; }

// An index map of rows x cols values in 1..count.
Input index_map(const Dims& stack, size_t count, Values& v)
{
    Input in{mxUINT16_CLASS, {stack[0], stack[1]}, {}, {}};
    for (size_t k = 0; k < stack[0] * stack[1]; ++k) in.indices.push_back(uint16_t(1 + v.pick(count ? count : 1)));
    return in;
}

Input pixel_map(const Dims& stack, Values& v, double (Values::*draw)()) { return doubles({stack[0], stack[1]}, v, draw); }

// The stacks beyond the small ones, the C++ suite's own.
const std::vector<Dims>& kDemandingStacks = zeltest::demanding_stacks();

// The same call with every real input in single precision (its values made
// exact there first) and the index maps at the given positions (1-based) as
// doubles: the kernels widen both as they read them.
Case in_single_precision(Case c, std::initializer_list<int> index_maps)
{
    for (Input& in : c.inputs) {
        if (in.class_id != mxDOUBLE_CLASS) continue;
        in.class_id = mxSINGLE_CLASS;
        for (double x : in.doubles) in.singles.push_back(float(x));
        in.doubles.clear();
    }
    for (int k : index_maps) {
        Input& map = c.inputs[size_t(k - 1)];
        map.class_id = mxDOUBLE_CLASS;
        map.doubles.assign(map.indices.begin(), map.indices.end());
        map.indices.clear();
    }
    return c;
}

Case edge_case(const Dims& R, Values& v)
{
    Case c{"ZELgetEdgeMap", 1, {}};
    c.inputs = {doubles(R, v, &Values::any), doubles(R, v, &Values::any), index_map(R, R[2], v),
                index_map(R, scales(R), v), scalar(v.any()), scalar(v.any())};
    return c;
}

// The blob and ridge maps take the same ten inputs.
Case blob_ridge_case(const char* kernel, const Dims& R, Values& v)
{
    Case c{kernel, 1, {}};
    c.inputs = {doubles(R, v, &Values::any),
                doubles(R, v, &Values::any),
                index_map(R, orientations(R), v),
                scalar(0),
                scalar(v.any()),
                doubles({1, 1 + v.pick(40)}, v, &Values::any),
                scalar(v.positive() * 8),
                pixel_map(R, v, &Values::positive),
                doubles({orientations(R), scales(R)}, v, &Values::positive),
                pixel_map(R, v, &Values::any)};
    return c;
}

Case height_and_width_case(const Dims& R, uint16_t mode, int nlhs, Values& v)
{
    Case c{"ZELgetHeightAndWidthMap", nlhs, {}};
    c.inputs = {doubles(R, v, &Values::any),
                index_map(R, orientations(R), v),
                index_map(R, scales(R), v),
                doubles({1 + v.pick(30), 1}, v, &Values::any),
                scalar(v.positive() * 6),
                doubles({orientations(R), scales(R)}, v, &Values::positive),
                uint16_scalar(mode)};
    return c;
}

Case orientation_case(const Dims& R, uint16_t flag, Values& v)
{
    Case c{"ZELgetOrientationMap", 1, {}};
    c.inputs = {doubles(R, v, &Values::any), index_map(R, R[2], v), index_map(R, scales(R), v), uint16_scalar(flag)};
    return c;
}

Case curvature_case(const Dims& O, Values& v, double (Values::*draw)())
{
    return Case{"ZELgetCurvatureMap", 1, {doubles(O, v, draw)}};
}

std::vector<Case> edge_cases(Values& v)
{
    std::vector<Case> cases;
    std::vector<Dims> stacks = {{7, 5, 4, 3}, {3, 4, 1, 1}, {6, 2, 3}, {0, 3, 2, 2}, {4, 4, 2, 0}};
    stacks.insert(stacks.end(), kDemandingStacks.begin(), kDemandingStacks.end());
    for (const Dims& R : stacks) cases.push_back(edge_case(R, v));
    cases.push_back(in_single_precision(cases[5], {3, 4}));
    Case wrong_class = cases[0];
    wrong_class.inputs[2] = doubles({7, 5}, v, &Values::positive);
    cases.push_back(wrong_class);
    return cases;
}

std::vector<Case> blob_ridge_cases(const char* kernel, Values& v)
{
    std::vector<Case> cases;
    std::vector<Dims> stacks = {{6, 5, 4, 3}, {3, 3, 1, 2}, {5, 4, 3}, {0, 2, 2, 2}};
    stacks.insert(stacks.end(), kDemandingStacks.begin(), kDemandingStacks.end());
    for (const Dims& R : stacks) cases.push_back(blob_ridge_case(kernel, R, v));
    cases.push_back(in_single_precision(cases[4], {3}));
    Case wrong_size = cases[0];
    wrong_size.inputs[1] = doubles({6, 5, 4, 2}, v, &Values::any);
    cases.push_back(wrong_size);
    return cases;
}

std::vector<Case> height_and_width_cases(Values& v)
{
    std::vector<Case> cases;
    struct Layout {
        Dims R;
        uint16_t mode;
        int nlhs;
    };
    std::vector<Layout> layouts = {{{6, 5, 2, 4}, 1, 2}, {{6, 5, 2, 4}, 3, 2}, {{6, 5, 2, 4}, 2, 2},
                                   {{4, 3, 1, 5}, 0, 1}, {{3, 3, 3}, 3, 2},    {{0, 4, 2, 3}, 2, 2}};
    const uint16_t modes[] = {1, 3, 0, 2};
    for (const Dims& R : kDemandingStacks) layouts.push_back({R, modes[layouts.size() % 4], 2});
    for (const Layout& layout : layouts)
        cases.push_back(height_and_width_case(layout.R, layout.mode, layout.nlhs, v));
    cases.push_back(in_single_precision(cases[6], {2, 3}));
    Case wrong_class = cases[0];
    wrong_class.inputs[6] = scalar(1);
    cases.push_back(wrong_class);
    return cases;
}

std::vector<Case> orientation_cases(Values& v)
{
    std::vector<Case> cases;
    struct Layout {
        Dims R;
        uint16_t flag;
    };
    std::vector<Layout> layouts = {{{7, 6, 8, 4}, 0}, {{5, 5, 10, 2}, 1}, {{5, 4, 14}, 1},
                                   {{4, 4, 14, 2}, 2}, {{3, 5, 2}, 0},    {{0, 5, 8}, 0}};
    const uint16_t flags[] = {0, 1, 2};
    for (const Dims& R : kDemandingStacks) layouts.push_back({R, flags[layouts.size() % 3]});
    for (const Layout& layout : layouts) cases.push_back(orientation_case(layout.R, layout.flag, v));
    cases.push_back(in_single_precision(cases[6], {2, 3}));
    Case wrong_class = cases[0];
    wrong_class.inputs[3] = scalar(0);
    cases.push_back(wrong_class);
    return cases;
}

std::vector<Case> curvature_cases(Values& v)
{
    std::vector<Case> cases;
    for (const Dims& O : {Dims{12, 15}, Dims{3, 3}, Dims{2, 5}, Dims{1, 1}, Dims{0, 4}, Dims{6, 7, 2}, Dims{17, 31},
                          Dims{257, 3}, Dims{3, 257}, Dims{1, 600}})
        cases.push_back(curvature_case(O, v, &Values::angle));
    cases.push_back(in_single_precision(cases[6], {}));
    // A map of curves: every angle moves by a few degrees from pixel to pixel.
    Input curves{mxDOUBLE_CLASS, {16, 16}, std::vector<double>(256, std::numeric_limits<double>::quiet_NaN()), {}};
    for (int j = 1; j < 15; ++j) {
        curves.doubles[size_t(j) * 16 + 4 + (j / 5)] = std::fmod(170.0 + 7.5 * j, 180.0);
        curves.doubles[size_t(j) * 16 + 11] = 3.0 * j;
    }
    cases.push_back(Case{"ZELgetCurvatureMap", 1, {curves}});
    Case wrong_class{"ZELgetCurvatureMap", 1, {Input{mxUINT16_CLASS, {3, 3}, {}, std::vector<uint16_t>(9, 1)}}};
    cases.push_back(wrong_class);
    return cases;
}

// --- the filter bank and the index maps ---

// An image of the given class: doubles and singles in [0, 1) with, given
// specials, now and then a NaN, an infinity, a signed zero or a subnormal
// (each NaN spreads over the taps' reach); uint8 and uint16 over their whole
// range; logical zeros and ones.
Input image(mxClassID class_id, const Dims& dims, Values& v, bool specials = false)
{
    Input in{class_id, dims, {}, {}};
    const size_t count = element_count(dims);
    for (size_t k = 0; k < count; ++k) {
        switch (class_id) {
        case mxUINT8_CLASS: in.bytes.push_back(uint8_t(v.pick(256))); break;
        case mxUINT16_CLASS: in.indices.push_back(uint16_t(v.pick(65536))); break;
        case mxLOGICAL_CLASS: in.bytes.push_back(uint8_t(v.pick(2))); break;
        default: {
            const double x = specials && v.chance(0.03) ? v.special() : v.uniform(0, 1);
            if (class_id == mxSINGLE_CLASS)
                in.singles.push_back(specials && v.chance(0.03) ? 1e-40f : float(x));  // a single subnormal
            else
                in.doubles.push_back(x);
        }
        }
    }
    return in;
}

Input row_of(const std::vector<double>& values) { return Input{mxDOUBLE_CLASS, {1, values.size()}, values, {}}; }

Input text(const char* word)
{
    Input in{mxCHAR_CLASS, {1, strlen(word)}, {}, {}};
    for (const char* c = word; *c; ++c) in.indices.push_back(uint16_t(*c));
    return in;
}

// A call of the filter bank: orders and precision are left out when empty
// or null; a precision without orders goes after the default orders [2 1].
struct FilterBankCall {
    Dims image;
    mxClassID image_class;
    std::vector<double> sigmas;
    double orientations;
    std::vector<double> orders;
    const char* precision;
    int nlhs;
    bool specials;
};

Case filter_bank_case(const FilterBankCall& call, Values& v)
{
    Case c{"ZELgetResponseStack", call.nlhs, {}};
    c.inputs = {image(call.image_class, call.image, v, call.specials), row_of(call.sigmas), scalar(call.orientations)};
    if (!call.orders.empty() || call.precision)
        c.inputs.push_back(row_of(call.orders.empty() ? std::vector<double>{2, 1} : call.orders));
    if (call.precision) c.inputs.push_back(text(call.precision));
    return c;
}

std::vector<Case> filter_bank_cases(Values& v)
{
    const mxClassID D = mxDOUBLE_CLASS, S = mxSINGLE_CLASS;
    // Each class of image; single precision by default, asked for, and
    // declined; both orders, each alone and in either output order; 1 to
    // 3 orientations, where the stacks lack room for the working planes;
    // images narrower than the kernels' reach, of one pixel, of more rows
    // than a column chunk (256) and of enough for the widest row blocks;
    // the smallest and the largest scale; no scale.
    const FilterBankCall calls[] = {
        {{9, 11}, D, {1.0, 1.6}, 4, {}, nullptr, 2, false},
        {{9, 11}, D, {0.8}, 3, {}, nullptr, 2, true},
        {{7, 6}, S, {1.2, 2.0}, 3, {}, nullptr, 2, true},
        {{7, 6}, S, {1.2}, 3, {2, 1}, "double", 2, false},
        {{8, 5}, mxUINT8_CLASS, {0.5, 1.5}, 4, {}, nullptr, 2, false},
        {{8, 5}, mxUINT16_CLASS, {1.5}, 5, {2, 1}, "single", 2, false},
        {{6, 7}, mxLOGICAL_CLASS, {1.0}, 2, {}, nullptr, 2, false},
        {{10, 6}, D, {0.1, 0.3, 0.7}, 8, {1, 2}, nullptr, 2, false},
        {{10, 6}, D, {1.1, 2.3}, 6, {1}, nullptr, 1, false},
        {{10, 6}, D, {1.1}, 6, {2}, "single", 1, false},
        {{10, 6}, D, {1.1}, 3, {2}, nullptr, 1, false},
        {{10, 6}, D, {1.1}, 1, {1}, nullptr, 0, false},
        {{10, 6}, S, {1.1, 1.2}, 1, {}, nullptr, 1, false},
        {{10, 6}, D, {0.9}, 2, {1, 2}, "Single", 2, false},
        {{1, 9}, D, {2.5}, 3, {}, nullptr, 2, false},
        {{13, 1}, S, {1.7, 3.1}, 2, {}, "SINGLE", 2, false},
        {{1, 1}, mxUINT8_CLASS, {0.4, 128}, 2, {}, nullptr, 2, false},
        {{300, 2}, D, {0.9}, 2, {}, nullptr, 2, false},
        {{3, 70}, S, {1.3}, 4, {}, nullptr, 2, false},
        {{70, 5}, D, {1.4}, 4, {}, nullptr, 2, false},
        {{37, 9}, S, {0.6, 1.9}, 3, {}, nullptr, 2, false},
        {{4, 4}, D, {}, 3, {}, nullptr, 2, false},
    };
    std::vector<Case> cases;
    for (const FilterBankCall& call : calls) cases.push_back(filter_bank_case(call, v));
    // Scales and orientation count in single precision.
    Case singles = cases[0];
    for (size_t k : {1, 2}) {
        Input& in = singles.inputs[k];
        in.class_id = mxSINGLE_CLASS;
        in.singles.assign(in.doubles.begin(), in.doubles.end());
        in.doubles.clear();
    }
    cases.push_back(singles);

    // Rejected calls: each a valid one with one input broken.
    const Case valid = filter_bank_case({{5, 4}, D, {1.0, 2.0}, 3, {2, 1}, "double", 2, false}, v);
    auto broken = [&](size_t k, Input in) {
        Case c = valid;
        c.inputs[k] = std::move(in);
        cases.push_back(c);
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    broken(0, text("image"));                                    // invalidClass
    broken(0, image(D, {3, 3, 2}, v));                           // invalidShape
    broken(0, image(D, {0, 4}, v));                              // emptyInput
    broken(1, row_of({1.0, nan}));                               // invalidScale
    broken(1, row_of({0.05}));                                   // invalidScale
    broken(1, row_of({1.0, 128.5}));                             // invalidScale
    broken(1, row_of({2.0, 1.0}));                               // scalesNotAscending
    broken(1, row_of({1.5, 1.5}));                               // scalesNotAscending
    broken(2, scalar(0));                                        // invalidOrientationCount
    broken(2, scalar(2.5));                                      // invalidOrientationCount
    broken(2, scalar(65535));                                    // invalidOrientationCount
    broken(2, Input{mxDOUBLE_CLASS, {0, 0}, {}, {}});            // emptyInput
    broken(2, uint16_scalar(3));                                 // invalidClass
    broken(3, row_of({2, 2}));                                   // invalidOrders
    broken(3, row_of({3}));                                      // invalidOrders
    broken(3, row_of({1}));                                      // tooManyOutputs (two asked for)
    broken(4, text("half"));                                     // invalidPrecision
    broken(4, scalar(1));                                        // invalidClass
    // 64 x 64 x 65534 x 9 elements: more than 2^31.
    Case large = filter_bank_case({{64, 64}, mxUINT8_CLASS, {1, 2, 3, 4, 5, 6, 7, 8, 9}, 65534, {}, nullptr, 1, false}, v);
    cases.push_back(large);
    return cases;
}

// A stack whose magnitudes tie often (values from a few, both signs, both
// zeros), with NaNs of both signs and pixels whose responses are all NaN.
Input tying_stack(mxClassID class_id, const Dims& dims, Values& v)
{
    const double levels[] = {0.0, -0.0, 1.0, -1.0, 2.0, -2.0, 0.5};
    Input in = doubles(dims, v, &Values::any);
    const size_t pixels = dims[0] * dims[1];
    for (size_t k = 0; k < in.doubles.size(); ++k) {
        if (v.chance(0.5)) in.doubles[k] = levels[v.pick(7)];
        if (pixels > 0 && k % pixels == 3) in.doubles[k] = v.nan_with_payload();  // pixel 4 is all NaN
    }
    if (class_id == mxSINGLE_CLASS) {
        for (double x : in.doubles) in.singles.push_back(float(x));
        in.doubles.clear();
        in.class_id = mxSINGLE_CLASS;
    }
    return in;
}

std::vector<Case> index_map_cases(Values& v)
{
    struct Layout {
        Dims R;
        mxClassID class_id;
        int nlhs;
    };
    // Runs of 512 pixels with a partial last one; 3-D (one scale), 5-D.
    std::vector<Layout> layouts = {{{6, 5, 4, 3}, mxDOUBLE_CLASS, 2}, {{6, 5, 4, 3}, mxSINGLE_CLASS, 2},
                                   {{7, 3, 5}, mxDOUBLE_CLASS, 1},    {{9, 4, 3, 2}, mxSINGLE_CLASS, 0},
                                   {{0, 4, 2, 3}, mxDOUBLE_CLASS, 2}, {{601, 1, 2, 2}, mxSINGLE_CLASS, 2},
                                   {{23, 23, 2, 1}, mxDOUBLE_CLASS, 2}};
    for (const Dims& R : kDemandingStacks) layouts.push_back({R, layouts.size() % 2 ? mxSINGLE_CLASS : mxDOUBLE_CLASS, 2});
    std::vector<Case> cases;
    for (const Layout& layout : layouts)
        cases.push_back(Case{"ZELgetIndexMaps", layout.nlhs, {tying_stack(layout.class_id, layout.R, v)}});
    // Rejected: a uint16 or logical stack, pixels with no orientation, three outputs.
    cases.push_back(Case{"ZELgetIndexMaps", 2, {Input{mxUINT16_CLASS, {2, 2, 2}, {}, std::vector<uint16_t>(8, 1)}}});
    cases.push_back(Case{"ZELgetIndexMaps", 1, {Input{mxLOGICAL_CLASS, {2, 2, 2}, {}, {}, {}, std::vector<uint8_t>(8, 1)}}});
    cases.push_back(Case{"ZELgetIndexMaps", 2, {doubles({2, 3, 0, 2}, v, &Values::any)}});
    cases.push_back(Case{"ZELgetIndexMaps", 3, {doubles({2, 3, 2, 2}, v, &Values::any)}});
    return cases;
}

}  // namespace

std::vector<std::vector<Case>> small_cases()
{
    Values v{std::mt19937_64(20261209)};
    // One statement per kernel: the draws happen in this order.
    std::vector<std::vector<Case>> per_kernel;
    per_kernel.push_back(blob_ridge_cases("ZELgetBlobMap", v));
    per_kernel.push_back(blob_ridge_cases("ZELgetRidgeMap", v));
    per_kernel.push_back(edge_cases(v));
    per_kernel.push_back(height_and_width_cases(v));
    per_kernel.push_back(orientation_cases(v));
    per_kernel.push_back(curvature_cases(v));
    per_kernel.push_back(filter_bank_cases(v));
    per_kernel.push_back(index_map_cases(v));
    return per_kernel;
}

std::vector<std::vector<Case>> large_cases()
{
    Values v{std::mt19937_64(20260611)};
    std::vector<std::vector<Case>> per_kernel;
    per_kernel.push_back({blob_ridge_case("ZELgetBlobMap", {64, 48, 8, 4}, v)});
    per_kernel.push_back({blob_ridge_case("ZELgetRidgeMap", {64, 48, 8, 4}, v)});
    per_kernel.push_back({edge_case({64, 48, 8, 4}, v)});
    std::vector<Case> height_and_width;
    for (uint16_t mode : {0, 1, 2, 3}) height_and_width.push_back(height_and_width_case({128, 96, 2, 6}, mode, 2, v));
    per_kernel.push_back(height_and_width);
    per_kernel.push_back({orientation_case({128, 128, 8, 2}, 0, v), orientation_case({128, 128, 10, 2}, 1, v),
                          orientation_case({96, 96, 14}, 1, v), orientation_case({96, 96, 20, 2}, 2, v)});
    per_kernel.push_back({curvature_case({256, 256}, v, &Values::sparse_angle),
                          curvature_case({128, 128}, v, &Values::angle)});
    per_kernel.push_back({filter_bank_case({{96, 80}, mxDOUBLE_CLASS, {1.0, 2.2, 4.5}, 6, {}, nullptr, 2, true}, v),
                          filter_bank_case({{96, 80}, mxUINT8_CLASS, {1.0, 2.2, 4.5}, 6, {}, "single", 2, false}, v)});
    per_kernel.push_back({Case{"ZELgetIndexMaps", 2, {tying_stack(mxDOUBLE_CLASS, {96, 80, 8, 4}, v)}},
                          Case{"ZELgetIndexMaps", 2, {tying_stack(mxSINGLE_CLASS, {96, 80, 8, 4}, v)}}});
    return per_kernel;
}

}  // namespace zelcases
