// ZELgetHeightAndWidthMap through the stand-in host.
#include "kernel_support.h"
#include "reference_maps.h"

#include <cmath>
#include <limits>

namespace {

using namespace zeltest;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const char* const kKernel = "ZELgetHeightAndWidthMap";

const std::vector<double> kTenToOne = {10, 9, 8, 7, 6, 5, 4, 3, 2, 1};

struct HeightWidthInputs {
    std::vector<mwSize> dims;  // of the response stack
    std::vector<double> R;
    std::vector<uint16_t> orientation, scale;
    std::vector<double> P;
    double g = 0.0;
    std::vector<double> T;  // nO x nS, column-major
    uint16_t mode = 1;
};

CallResult height_and_width_map(const HeightWidthInputs& in, int nlhs = 2, int slots = -1)
{
    Array R = doubles(in.dims, in.R);
    Array o = uint16s({in.dims[0], in.dims[1]}, in.orientation), s = uint16s({in.dims[0], in.dims[1]}, in.scale);
    Array P = doubles({1, in.P.size()}, in.P), g = scalar(in.g), T = doubles({1, in.T.size()}, in.T);
    Array mode = uint16_scalar(in.mode);
    return call(kKernel, nlhs, {R.get(), o.get(), s.get(), P.get(), g.get(), T.get(), mode.get()}, slots);
}

struct HeightWidth {
    double height, width;
};

// One pixel, one orientation, the responses and table entries of its scales.
HeightWidth one_pixel(const std::vector<double>& R, uint16_t s, const std::vector<double>& T, double g,
                      const std::vector<double>& P, uint16_t mode)
{
    HeightWidthInputs in{{1, 1, 1, R.size()}, R, {1}, {s}, P, g, T, mode};
    CallResult result = height_and_width_map(in);
    EXPECT_FALSE(result.failed) << result.message;
    if (result.failed || result.outputs.size() != 2) return {kNaN, kNaN};
    return {values(result.outputs[0].get()).at(0), values(result.outputs[1].get()).at(0)};
}

void expect_same_or_both_nan(double expected, double got, const char* what)
{
    if (std::isnan(expected))
        EXPECT_TRUE(std::isnan(got)) << what << ": " << got;
    else
        EXPECT_SAME_BITS(expected, got) << what;
}

// The widths of an inner scale, 3 * (2/3)^(2 - s^), are the bits of glibc's
// pow; MinGW-w64's pow, linked into the .mexw64 files, gives the same bits
// here, so the Windows suite checks the same values.
TEST(HeightAndWidthMap, WorkedExampleInEveryMode)
{
    const struct {
        uint16_t mode;
        double height;
    } cases[] = {
        {1, -0.2},                  // R / P[0]
        {3, -0.2222222222222222},   // x * 9 = 1.9258... reads P[1] = 9
        {0, 0.5},                   // P[6] - P[2] = 4 - 8
        {2, 0.5},
        {65535, 0.5},
    };
    for (const auto& c : cases) {
        const HeightWidth got = one_pixel({1.0, -2.0, 1.5}, 2, {2, 3, 4.5}, 4, kTenToOne, c.mode);
        EXPECT_SAME_BITS(c.height, got.height) << "mode " << c.mode;
        EXPECT_SAME_BITS(3.2097395818009886, got.width) << "mode " << c.mode;
    }
}

TEST(HeightAndWidthMap, EdgeCasesOfOnePixel)
{
    const struct {
        const char* what;
        std::vector<double> R;
        uint16_t s;
        std::vector<double> T;
        double g;
        std::vector<double> P;
        uint16_t mode;
        double height, width;
    } cases[] = {
        {"one scale: width T(o*, 1), x = g / 2n", {-3}, 1, {5}, 4, kTenToOne, 3, -3.0 / 9, 5},
        {"two scales are both ends", {1, 5}, 2, {2, 3}, 4, kTenToOne, 1, 0.5, 3},
        {"first scale keeps T exactly with an infinite ratio", {7, 1, 1}, 1, {2, 0, 4.5}, 0, kTenToOne, 1, 0.7, 2},
        {"last scale keeps T exactly with a NaN ratio", {1, 1, -7}, 3, {0, 0, 4.5}, 0, kTenToOne, 1, -0.7, 4.5},
        {"equal magnitudes: NaN width, mode 3 reads P[0]", {-2, 2, -2}, 2, {2, 3, 4.5}, 4, kTenToOne, 3, 0.2, kNaN},
        {"equal magnitudes: difference mode divides by P[0] - P[0]", {-2, 2, -2}, 2, {2, 3, 4.5}, 4, kTenToOne, 0, kInf, kNaN},
        {"three zeros in difference mode give 0 / 0", {0, 0, 0}, 2, {2, 3, 4.5}, 4, kTenToOne, 0, kNaN, kNaN},
        {"ratio exactly 1: pow(1, NaN) = 1 keeps T", {2, 2, 2}, 2, {3, 3, 7}, 4, kTenToOne, 3, 2.0 / 9, 3},
        {"equal neighbours leave the scale whole", {1, -4, -1}, 2, {2, 3, 4.5}, 4, kTenToOne, 1, -0.4, 3},
        {"upward parabola extrapolates half a scale up", {3, 1, 1}, 2, {2, 3, 4.5}, 4, kTenToOne, 1, 0.1, 3.6742346141747673},
        {"T(o*, s*) of 0: width 0, NaN fraction reads P[0]", {4}, 1, {0}, 4, kTenToOne, 3, 0.4, 0},
        {"T(o*, s*) of 0 in difference mode divides by 0", {4}, 1, {0}, 4, kTenToOne, 0, kInf, 0},
        {"x = 0 in mode 3 reads P[0]", {4}, 1, {2}, 0, kTenToOne, 3, 0.4, 2},
        {"x = 0 in difference mode reads the middle twice", {-1}, 1, {2}, 0, kTenToOne, 0, -kInf, 2},
        {"one-element profile, mode 3", {-2}, 1, {2}, 4, {5}, 3, -0.4, 2},
        {"one-element profile, difference mode", {-2}, 1, {2}, 4, {5}, 0, -kInf, 2},
        {"a response of -0 keeps its sign", {-0.0}, 1, {2}, 4, kTenToOne, 1, -0.0, 2},
    };
    for (const auto& c : cases) {
        const HeightWidth got = one_pixel(c.R, c.s, c.T, c.g, c.P, c.mode);
        expect_same_or_both_nan(c.height, got.height, c.what);
        expect_same_or_both_nan(c.width, got.width, c.what);
    }
}

TEST(HeightAndWidthMap, FractionsOutsideTheTableSampleItsEnds)
{
    // At an end scale w / T = 1, so x = g / 20 with ten profile values; a
    // response of 1 makes the height the reciprocal of the divisor.
    const struct {
        const char* what;
        uint16_t mode;
        double g, divisor;
    } cases[] = {
        {"x = 1 reads the last value", 3, 20, 1},
        {"x * 9 just below 10 still reads the last value", 3, 22, 1},
        {"x = 1.5", 3, 30, 1},
        {"x = +inf", 3, kInf, 1},
        {"x = -0.05 truncates to the first value", 3, -1, 10},
        {"x = -1.5", 3, -30, 10},
        {"x = -inf", 3, -kInf, 10},
        {"x = 0.5 samples both ends", 0, 10, 1 - 10},
        {"x = 0.6 keeps both indices inside", 0, 12, 1 - 10},
        {"x = 2", 0, 40, 1 - 10},
        {"x = +inf", 0, kInf, 1 - 10},
        {"x = -0.5", 0, -10, 10 - 1},
        {"x = -2", 0, -40, 10 - 1},
        {"x = -inf", 0, -kInf, 10 - 1},
    };
    for (const auto& c : cases) {
        const HeightWidth got = one_pixel({1}, 1, {2}, c.g, kTenToOne, c.mode);
        EXPECT_SAME_BITS(1 / c.divisor, got.height) << c.what << " (mode " << c.mode << ")";
    }
}

TEST(HeightAndWidthMap, WidthMapOnlyWhenASecondOutputIsRequested)
{
    HeightWidthInputs in{{1, 2, 1, 3}, {1, 1, -2, -2, 1.5, 1.5}, {1, 1}, {2, 2}, kTenToOne, 4, {2, 3, 4.5}, 1};
    const struct {
        int nlhs, slots;
        size_t outputs;
    } cases[] = {{0, 1, 1}, {1, 1, 1}, {2, 2, 2}};
    for (const auto& c : cases) {
        const long live_before = mxHostLiveArrays();
        {
            CallResult result = height_and_width_map(in, c.nlhs, c.slots);
            ASSERT_FALSE(result.failed) << result.message;
            ASSERT_EQ(c.outputs, result.outputs.size()) << "nlhs " << c.nlhs;
            EXPECT_EQ((std::vector<double>{-0.2, -0.2}), values(result.outputs[0].get()));
            if (c.outputs == 2)
                EXPECT_EQ((std::vector<double>{3.2097395818009886, 3.2097395818009886}),
                          values(result.outputs[1].get()));
        }
        EXPECT_EQ(live_before, mxHostLiveArrays()) << "nlhs " << c.nlhs << ": an array was created and not returned";
    }
}

TEST(HeightAndWidthMap, EmptyImagesGiveEmptyMapsOfTheirShape)
{
    for (const std::vector<mwSize>& shape : {std::vector<mwSize>{0, 3, 2, 2}, std::vector<mwSize>{4, 0, 1, 3},
                                             std::vector<mwSize>{0, 0}}) {
        const mwSize nO = shape.size() > 2 ? shape[2] : 1, nS = shape.size() > 3 ? shape[3] : 1;
        HeightWidthInputs in{shape, {}, {}, {}, {1}, 1, std::vector<double>(nO * nS, 1.0), 3};
        CallResult result = height_and_width_map(in);
        ASSERT_FALSE(result.failed) << result.message;
        ASSERT_EQ(2u, result.outputs.size());
        for (const Array& map : result.outputs) EXPECT_EQ((std::vector<mwSize>{shape[0], shape[1]}), dims(map.get()));
    }
}

TEST(HeightAndWidthMap, AgreesBitForBitWithTheDefinitionOnRandomInputs)
{
    RandomValues random(11);
    std::vector<std::vector<mwSize>> shapes = {{5, 7, 3, 4}, {6, 1, 2}, {3, 3, 1, 2}, {1, 9, 1, 5},
                                               {4, 4},       {2, 3, 4, 3}, {7, 2, 2, 6}};
    shapes.insert(shapes.end(), demanding_stacks().begin(), demanding_stacks().end());
    for (const std::vector<mwSize>& shape : shapes) {
        for (uint16_t mode : {1, 3, 0, 2}) {
            HeightWidthInputs in;
            in.dims = shape;
            const mwSize nO = shape.size() > 2 ? shape[2] : 1, nS = shape.size() > 3 ? shape[3] : 1;
            mwSize elements = 1;
            for (mwSize d : shape) elements *= d;
            in.R = random.values(elements, -2.0, 2.0, 16);
            in.orientation = random.indices(shape[0] * shape[1], nO);
            in.scale = random.indices(shape[0] * shape[1], nS);
            in.T = random.values(nO * nS, 0.25, 4.0, 16);
            in.P = random.values(1 + random.below(12), -2.0, 2.0, 16);
            // Gains that keep most fractions inside the table and some outside.
            in.g = random.special_or(random.uniform(-2.0, 2.0) * double(in.P.size()), 16);
            in.mode = mode;
            CallResult result = height_and_width_map(in);
            ASSERT_FALSE(result.failed) << result.message;
            ASSERT_EQ(2u, result.outputs.size());
            std::vector<double> H, W;
            zelref::height_and_width_maps(in.dims, in.R, in.orientation, in.scale, in.P, in.g, in.T, in.mode, H, W);
            const std::string what = ::testing::PrintToString(shape) + ", mode " + std::to_string(mode);
            expect_same_bits(H, values(result.outputs[0].get()), "height, " + what);
            expect_same_bits(W, values(result.outputs[1].get()), "width, " + what);
        }
    }
}

TEST(HeightAndWidthMap, ContractBreachesEndInAnIdentifiedErrorWithNoOutput)
{
    // 2 x 3 pixels, 2 orientations, 3 scales.
    Array R = doubles({2, 3, 2, 3});
    Array o = uint16s({2, 3}, {1, 2, 1, 2, 1, 2}), s = uint16s({2, 3}, {1, 2, 3, 2, 1, 2});
    Array P = doubles({1, 4}, {4, 3, 2, 1}), g = scalar(1), T = doubles({2, 3}, {1, 1, 2, 2, 4, 4});
    Array mode = uint16_scalar(3);
    Array int16_stack = of_class(mxINT16_CLASS, {2, 3, 2, 3});
    Array nan_map = doubles({2, 3}, {1, 1, 1, 1, 1, std::nan("")});
    Array int32_profile = of_class(mxINT32_CLASS, {1, 4});
    Array complex_gain = of_class(mxDOUBLE_CLASS, {1, 1}, mxCOMPLEX);
    Array sparse_table(mxCreateSparse(2, 3, 6, mxREAL));
    Array double_mode = scalar(1);
    Array empty = doubles({0, 0});
    Array empty_mode = uint16s({0, 1});
    Array long_profile = unbacked({1, 65536});
    Array short_map = uint16s({1, 5}, {1, 1, 1, 1, 1});
    Array short_table = doubles({1, 5}, {1, 1, 2, 2, 4});
    Array zero_o = uint16s({2, 3}, {1, 2, 0, 2, 1, 2});
    Array big_s = uint16s({2, 3}, {1, 2, 3, 4, 1, 2});
    Array tall = unbacked({65535, 1, 1, 1});
    Array big = unbacked({40000, 30000, 2, 1});

    const std::vector<Breach> cases = {
        {"int16 stack", "invalidClass", "input 1 (response stack)", {{1, int16_stack.get()}}},
        {"NaN in a double index map", "indexOutOfRange", "input 2 (orientation index map) holds NaN at pixel (2, 3)", {{2, nan_map.get()}}},
        {"int32 profile", "invalidClass", "input 4 (profile table)", {{4, int32_profile.get()}}},
        {"complex gain", "invalidClass", "found a complex double array", {{5, complex_gain.get()}}},
        {"sparse scale table", "invalidClass", "input 6 (scale table)", {{6, sparse_table.get()}}},
        {"mode as a double", "invalidClass", "input 7 (normalisation mode) must be a real uint16 value: pass it as uint16(value); found a double array.", {{7, double_mode.get()}}},
        {"empty gain", "emptyInput", "input 5 (sampling gain)", {{5, empty.get()}}},
        {"empty mode", "emptyInput", "input 7 (normalisation mode)", {{7, empty_mode.get()}}},
        {"empty profile", "invalidTableLength", "found 0", {{4, empty.get()}}},
        {"65536 profile values", "invalidTableLength", "found 65536", {{4, long_profile.get()}}},
        {"short scale map", "tooFewElements", "input 3", {{3, short_map.get()}}},
        {"scale table short of nO x nS", "tooFewElements", "input 6 (scale table) must hold at least 6 elements", {{6, short_table.get()}}},
        {"orientation index 0", "indexOutOfRange", "input 2 (orientation index map) holds 0 at pixel (1, 2)", {{2, zero_o.get()}}},
        {"scale past the count", "indexOutOfRange", "holds 4 at pixel (2, 2); expected a whole number in 1..3", {{3, big_s.get()}}},
        {"65535 rows", "tooLarge", "65535 rows", {{1, tall.get()}}},
        {"more than 2^31 elements", "tooLarge", "2400000000 elements", {{1, big.get()}}},
    };
    expect_breaches(kKernel, 2, {R.get(), o.get(), s.get(), P.get(), g.get(), T.get(), mode.get()}, cases);
}

}  // namespace
