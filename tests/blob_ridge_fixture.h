// The ten inputs that the blob and ridge maps share, as test fixtures, and
// the checks of the caller's contract that hold alike for both kernels.
#ifndef ZEL_TESTS_BLOB_RIDGE_FIXTURE_H
#define ZEL_TESTS_BLOB_RIDGE_FIXTURE_H

#include "kernel_support.h"

#include <cmath>
#include <limits>

namespace zeltest {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// Inputs 1 to 10 but 4, which is passed as an array of no class any input
// accepts. Empty per-pixel and table vectors leave their arrays zero-filled.
struct BlobRidgeFixture {
    std::vector<mwSize> dims;  // of the response stack
    std::vector<double> R, Q;
    std::vector<uint16_t> orientation;
    double c = 0.0;
    std::vector<double> P = {1.0};
    double g = 1.0;
    std::vector<double> A, T, B;
};

inline mwSize orientations(const std::vector<mwSize>& dims) { return dims.size() > 2 ? dims[2] : 1; }
inline mwSize scales(const std::vector<mwSize>& dims) { return dims.size() > 3 ? dims[3] : 1; }

inline CallResult call_blob_ridge(const char* kernel, const BlobRidgeFixture& in)
{
    const std::vector<mwSize> image = {in.dims[0], in.dims[1]};
    Array R = doubles(in.dims, in.R), Q = doubles(in.dims, in.Q);
    Array o = uint16s(image, in.orientation);
    Array unused = of_class(mxSINGLE_CLASS, {1, 2}, mxCOMPLEX);
    Array c = scalar(in.c), g = scalar(in.g);
    Array P = doubles({1, in.P.size()}, in.P);
    Array A = doubles(image, in.A), B = doubles(image, in.B);
    Array T = doubles({orientations(in.dims), scales(in.dims)}, in.T);
    return call(kernel, 1, {R.get(), Q.get(), o.get(), unused.get(), c.get(), P.get(), g.get(), A.get(), T.get(), B.get()});
}

// The map of a call that must succeed; empty (and a failed test) otherwise.
inline std::vector<double> map_of(const char* kernel, const BlobRidgeFixture& in)
{
    CallResult result = call_blob_ridge(kernel, in);
    EXPECT_FALSE(result.failed) << result.id << ": " << result.message;
    if (result.failed) return {};
    EXPECT_EQ((std::vector<mwSize>{in.dims[0], in.dims[1]}), dims(result.outputs.at(0).get()));
    return values(result.outputs.at(0).get());
}

// One pixel with o* = 1 and one orientation and one scale unless given.
struct OnePixel {
    const char* what;
    std::vector<double> R, Q;
    double c;
    std::vector<double> P;
    double g, a, t, b;
    double expected;
    uint16_t o = 1;
    mwSize orientation_count = 1;
};

inline void expect_one_pixel_cases(const char* kernel, const std::vector<OnePixel>& cases)
{
    for (const OnePixel& k : cases) {
        BlobRidgeFixture in;
        in.dims = {1, 1, k.orientation_count, k.R.size() / k.orientation_count};
        in.R = k.R;
        in.Q = k.Q;
        in.orientation = {k.o};
        in.c = k.c;
        in.P = k.P;
        in.g = k.g;
        in.A = {k.a};
        in.T = std::vector<double>(k.orientation_count * scales(in.dims), k.t);
        in.B = {k.b};
        const std::vector<double> got = map_of(kernel, in);
        if (got.size() != 1) continue;
        if (std::isnan(k.expected))
            EXPECT_TRUE(std::isnan(got[0])) << k.what << ": " << got[0];
        else
            EXPECT_SAME_BITS(k.expected, got[0]) << k.what;
    }
}

// Random inputs of the given shape: values mostly finite, with NaNs of both
// signs and their own payloads, infinities, zeros of both signs and
// subnormals among them; sizes, scale table entries and the gain spread the
// fraction across and beyond the table. Responses lean positive and
// penalties small, so that many scores are neither 0 nor NaN.
inline BlobRidgeFixture random_fixture(RandomValues& random, const std::vector<mwSize>& shape)
{
    BlobRidgeFixture in;
    in.dims = shape;
    mwSize elements = 1;
    for (mwSize d : shape) elements *= d;
    const mwSize pixels = shape[0] * shape[1], nO = orientations(shape);
    in.R = random.values(elements, -1.0, 4.0, 40);
    in.Q = random.values(elements, -0.5, 0.5, 40);
    in.orientation = random.indices(pixels, nO);
    in.A = random.values(pixels, -0.5, 2.0, 16);
    in.B = random.values(pixels, -2.0, 2.0, 16);
    in.T = random.values(nO * scales(shape), -0.5, 2.0, 16);
    const mwSize lengths[] = {1, 2, 4, 5, 17, 300};
    in.P = random.values(lengths[random.below(6)], -2.0, 2.0, 16);
    in.c = random.special_or(random.uniform(-0.5, 0.5), 16);
    in.g = random.special_or(2.0 * double(in.P.size()) * random.uniform(-0.5, 2.0), 16);
    return in;
}

// The kernel against its reference on random fixtures, bit for bit: several
// trials of small shapes, then the demanding stacks.
inline void expect_reference_on_random_inputs(const char* kernel, uint64_t seed,
                                              std::vector<double> (*reference)(const BlobRidgeFixture&))
{
    RandomValues random(seed);
    std::vector<std::vector<mwSize>> shapes;
    for (int trial = 0; trial < 8; ++trial)
        for (const std::vector<mwSize>& shape : {std::vector<mwSize>{5, 7, 3, 4}, std::vector<mwSize>{6, 1, 8},
                                                 std::vector<mwSize>{1, 9, 2, 2}, std::vector<mwSize>{4, 4},
                                                 std::vector<mwSize>{3, 5, 1, 6}})
            shapes.push_back(shape);
    for (int trial = 0; trial < 2; ++trial)
        for (const std::vector<mwSize>& shape : demanding_stacks()) shapes.push_back(shape);
    for (const std::vector<mwSize>& shape : shapes) {
        const BlobRidgeFixture in = random_fixture(random, shape);
        expect_same_bits(reference(in), map_of(kernel, in), ::testing::PrintToString(shape));
    }
    // A NaN penalty weight or gain takes another path through the maps; its
    // payload must come out where the definition puts it.
    for (int nan_scalars = 1; nan_scalars <= 3; ++nan_scalars) {
        BlobRidgeFixture in = random_fixture(random, {9, 7, 3, 4});
        if (nan_scalars & 1) in.c = random.nan_with_payload();
        if (nan_scalars & 2) in.g = random.nan_with_payload();
        expect_same_bits(reference(in), map_of(kernel, in), "NaN scalars " + std::to_string(nan_scalars));
    }
}

// Scale count 0: NaN (0 / 0) everywhere, the stacks and tables unread; the
// orientation index map is still checked. An empty image gives an empty map.
inline void expect_nan_map_without_scales_and_empty_maps_without_pixels(const char* kernel)
{
    BlobRidgeFixture no_scales;
    no_scales.dims = {2, 3, 2, 0};
    no_scales.orientation = {1, 2, 2, 1, 1, 2};
    no_scales.A = {1, 1, 1, 1, 1, 1};
    no_scales.B = {1, 1, 1, 1, 1, 1};
    const std::vector<double> map = map_of(kernel, no_scales);
    EXPECT_EQ(6u, map.size());
    for (double v : map) EXPECT_TRUE(std::isnan(v)) << v;

    no_scales.orientation[4] = 3;
    const CallResult rejected = call_blob_ridge(kernel, no_scales);
    EXPECT_TRUE(rejected.failed);
    EXPECT_EQ(std::string(kernel) + ":indexOutOfRange", rejected.id);

    for (const std::vector<mwSize>& shape : {std::vector<mwSize>{0, 3, 2, 2}, std::vector<mwSize>{4, 0, 3},
                                             std::vector<mwSize>{0, 0}}) {
        BlobRidgeFixture empty;
        empty.dims = shape;
        EXPECT_TRUE(map_of(kernel, empty).empty());
    }
}

// What the contract allows beyond the exact shapes: longer maps of any shape,
// scalars and tables of any shape, anything at all as input 4. Only what the
// exact inputs hold is read, so the map is the same.
inline void expect_contract_allowances_accepted(const char* kernel)
{
    BlobRidgeFixture exact;
    exact.dims = {2, 2, 2, 2};
    exact.R = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    exact.Q = {0.5, 0, 0, 0.25, 1, 0, 0, 2, 0, 0, 1, 0, 0, 0, 0, 3};
    exact.orientation = {1, 2, 2, 1};
    exact.c = 0.25;
    exact.P = {0, 1, 3, 6, 10, 15};
    exact.g = 4;
    exact.A = {1, 2, 3, 4};
    exact.T = {1, 2, 4, 8};
    exact.B = {1, -1, 2, -2};
    const std::vector<double> expected = map_of(kernel, exact);

    Array R = doubles(exact.dims, exact.R), Q = doubles(exact.dims, exact.Q);
    Array o = uint16s({1, 6}, {1, 2, 2, 1, 0, 9});
    Array unused = unbacked({100000, 100000}, mxCELL_CLASS);
    Array c = doubles({3, 1}, {0.25, 7, 7});
    Array P = doubles({2, 3}, exact.P);
    Array g = doubles({1, 2}, {4, 7});
    Array A = doubles({5, 1}, {1, 2, 3, 4, 7}), B = doubles({1, 1, 5}, {1, -1, 2, -2, 7});
    Array T = doubles({1, 5}, {1, 2, 4, 8, 7});
    CallResult result = call(kernel, 0, {R.get(), Q.get(), o.get(), unused.get(), c.get(), P.get(), g.get(),
                                         A.get(), T.get(), B.get()});
    ASSERT_FALSE(result.failed) << result.message;
    const std::vector<double> got = values(result.outputs.at(0).get());
    ASSERT_EQ(expected.size(), got.size());
    for (size_t p = 0; p < got.size(); ++p) EXPECT_SAME_BITS(expected[p], got[p]) << "pixel " << p;
}

// Every breach of the contract ends in an error with the kernel's
// identifier and a message that names the input, and stores no output.
inline void expect_contract_breaches_rejected(const char* kernel)
{
    Array R = doubles({2, 3, 2, 2}), Q = doubles({2, 3, 2, 2});
    Array o = uint16s({2, 3}, {1, 2, 1, 2, 1, 2});
    Array unused = doubles({0, 0});
    Array c = scalar(1), P = doubles({1, 5}), g = scalar(1);
    Array A = doubles({2, 3}), T = doubles({2, 2}), B = doubles({2, 3});
    const std::vector<const mxArray*> valid = {R.get(), Q.get(), o.get(), unused.get(), c.get(),
                                               P.get(), g.get(), A.get(), T.get(), B.get()};
    Array int32_stack = of_class(mxINT32_CLASS, {2, 3, 2, 2});
    Array complex_stack = of_class(mxDOUBLE_CLASS, {2, 3, 2, 2}, mxCOMPLEX);
    Array above_count = doubles({2, 3}, {1, 1, 1, 1, 1, 3});
    Array sparse(mxCreateSparse(1, 1, 1, mxREAL));
    Array uint16_table = uint16s({1, 5});
    Array logical_map = of_class(mxLOGICAL_CLASS, {2, 3});
    Array uint16_map = uint16s({2, 3});
    Array small_Q = doubles({2, 3, 2, 1});
    Array short_map = uint16s({1, 5}, {1, 1, 1, 1, 1});
    Array short_doubles = doubles({5, 1});
    Array short_T = doubles({1, 3});
    Array beyond = uint16s({2, 3}, {1, 2, 1, 2, 3, 2});
    Array zero = uint16s({2, 3}, {1, 0, 1, 2, 1, 2});
    Array no_orientations = doubles({2, 3, 0, 2});
    Array ones = uint16s({2, 3}, {1, 1, 1, 1, 1, 1});
    Array empty = doubles({0, 0});
    Array long_P = unbacked({1, 65536});
    Array tall = unbacked({65535, 1, 1, 1});
    Array big = unbacked({40000, 30000, 2, 1});

    const std::vector<Breach> cases = {
        {"int32 response stack", "invalidClass", "input 1 (response stack)", {{1, int32_stack.get()}}},
        {"complex penalty stack", "invalidClass", "input 2 (penalty stack)", {{2, complex_stack.get()}}},
        {"double orientation map above the count", "indexOutOfRange", "input 3 (orientation index map) holds 3 at pixel (2, 3)", {{3, above_count.get()}}},
        {"sparse penalty weight", "invalidClass", "input 5 (penalty weight)", {{5, sparse.get()}}},
        {"uint16 profile table", "invalidClass", "input 6 (profile table)", {{6, uint16_table.get()}}},
        {"sparse sampling gain", "invalidClass", "input 7 (sampling gain)", {{7, sparse.get()}}},
        {"logical size map", "invalidClass", "input 8 (size map)", {{8, logical_map.get()}}},
        {"uint16 scale table", "invalidClass", "input 9 (scale table)", {{9, uint16_map.get()}}},
        {"uint16 amplitude map", "invalidClass", "input 10 (amplitude map)", {{10, uint16_map.get()}}},
        {"penalty stack of another size", "sizeMismatch", "input 2 (penalty stack)", {{2, small_Q.get()}}},
        {"short orientation map", "tooFewElements", "input 3", {{3, short_map.get()}}},
        {"short size map", "tooFewElements", "input 8", {{8, short_doubles.get()}}},
        {"short amplitude map", "tooFewElements", "input 10", {{10, short_doubles.get()}}},
        {"scale table short of orientations x scales", "tooFewElements", "input 9 (scale table) must hold at least 4", {{9, short_T.get()}}},
        {"orientation past the count", "indexOutOfRange", "holds 3 at pixel (1, 3); expected a whole number in 1..2", {{3, beyond.get()}}},
        {"orientation 0", "indexOutOfRange", "holds 0 at pixel (2, 1)", {{3, zero.get()}}},
        {"stack without orientations", "indexOutOfRange", "has no orientation to select",
         {{1, no_orientations.get()}, {2, no_orientations.get()}, {3, ones.get()}, {9, empty.get()}}},
        {"empty penalty weight", "emptyInput", "input 5 (penalty weight)", {{5, empty.get()}}},
        {"empty sampling gain", "emptyInput", "input 7 (sampling gain)", {{7, empty.get()}}},
        {"empty profile table", "invalidTableLength", "input 6 (profile table) must hold 1 to 65535 elements; found 0", {{6, empty.get()}}},
        {"profile table of 65536", "invalidTableLength", "found 65536", {{6, long_P.get()}}},
        {"65535 rows", "tooLarge", "65535 rows", {{1, tall.get()}, {2, tall.get()}}},
        {"more than 2^31 elements", "tooLarge", "2400000000 elements", {{1, big.get()}, {2, big.get()}}},
    };
    expect_breaches(kernel, 1, valid, cases);
}

}  // namespace zeltest

#endif
