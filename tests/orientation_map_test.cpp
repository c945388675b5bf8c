// ZELgetOrientationMap through the stand-in host.
#include "kernel_support.h"
#include "reference_maps.h"

#include <cmath>
#include <limits>

namespace {

using namespace zeltest;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const char* const kKernel = "ZELgetOrientationMap";

struct OrientationInputs {
    std::vector<mwSize> dims;  // of the response stack
    std::vector<double> R;
    std::vector<uint16_t> orientation, scale;
    uint16_t flag = 0;
};

CallResult orientation_map(const OrientationInputs& in)
{
    Array R = doubles(in.dims, in.R);
    Array o = uint16s({in.dims[0], in.dims[1]}, in.orientation), s = uint16s({in.dims[0], in.dims[1]}, in.scale);
    Array f = uint16_scalar(in.flag);
    return call(kKernel, 1, {R.get(), o.get(), s.get(), f.get()});
}

// One pixel at scale 1 of a stack with the given responses per orientation.
double one_pixel(const std::vector<double>& R, uint16_t o, uint16_t flag)
{
    OrientationInputs in{{1, 1, R.size()}, R, {o}, {1}, flag};
    CallResult result = orientation_map(in);
    EXPECT_FALSE(result.failed) << result.message;
    return result.failed ? kNaN : values(result.outputs.at(0).get()).at(0);
}

TEST(OrientationMap, WorkedExamplesAtThePeakOfEveryOrientation)
{
    const struct {
        uint16_t orientations, flag;
        double tolerance;  // the arctangent angles are known to six decimals
        std::vector<double> angles;
    } cases[] = {
        {8, 0, 0, {0, 22.5, 45, 67.5, 90, 112.5, 135, 157.5}},
        {14, 1, 5e-7, {33.690068, 45, 63.434949, 90, 116.565051, 135, 146.309932, 123.690068, 135, 153.434949, 0,
                       26.565051, 45, 56.309932}},
        {10, 1, 5e-7, {26.565051, 45, 90, 135, 153.434949, 116.565051, 135, 0, 45, 63.434949}},
    };
    for (const auto& c : cases) {
        // Pixel j selects orientation j, where its response stands out above
        // equal neighbours (of either sign).
        const mwSize nO = c.orientations;
        OrientationInputs in{{1, nO, nO}, {}, {}, std::vector<uint16_t>(nO, 1), c.flag};
        for (mwSize o = 1; o <= nO; ++o)
            for (mwSize j = 1; j <= nO; ++j) in.R.push_back(o == j ? -2.0 : (o % 2 ? 1.0 : -1.0));
        for (mwSize j = 1; j <= nO; ++j) in.orientation.push_back(uint16_t(j));
        CallResult result = orientation_map(in);
        ASSERT_FALSE(result.failed) << result.message;
        const std::vector<double> got = values(result.outputs[0].get());
        ASSERT_EQ(c.angles.size(), got.size());
        for (size_t k = 0; k < got.size(); ++k)
            EXPECT_NEAR(c.angles[k], got[k], c.tolerance) << "nO " << nO << ", f " << c.flag << ", o* " << k + 1;
    }
}

TEST(OrientationMap, EdgeCasesOfOnePixel)
{
    // Magnitudes (a, c, b) of (1, 1.5, 0) put the peak a quarter step below
    // o*, (0, 1.5, 1) a quarter step above. The arctangent results are the
    // bits of glibc's atan; msvcrt.dll's atan gives the same bits here (as
    // Wine has it), so the Windows suite checks the same values.
    const struct {
        const char* what;
        std::vector<double> R;
        uint16_t o, flag;
        double expected;
    } cases[] = {
        {"wrap: 0.8333 becomes 8.8333", {2, 1, 0, 0, 0, 0, 0, 1.5}, 1, 0, 176.25},
        {"wrapped position mapped by the first half", {1.5, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 1, 1, 150.2551187030578},
        {"theta exactly 1 is not wrapped", {2, 1, 0, 0, 0, 0, 0, 1}, 1, 0, 0},
        {"three zeros", {0, 0, 0, 0}, 2, 0, kNaN},
        {"three zeros, arctangent mapping", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 7, 1, kNaN},
        {"one orientation is its own neighbour", {3}, 1, 0, kNaN},
        {"one orientation, arctangent mapping", {3}, 1, 1, kNaN},
        {"nO = 2, linear", {1, 2}, 2, 0, 90},
        {"nO = 2, first half: atan(-0) + 90", {2, 1}, 1, 1, 90},
        {"nO = 2, second half: v = -0 is kept", {1, 2}, 2, 1, -0.0},
        {"o* = H past the boundary keeps the first half", {0, 0, 0, 0, 1.5, 1, 0, 0, 0, 0}, 5, 1, 156.03751102542182},
        {"o* = H + 1 below the boundary keeps the second half", {0, 0, 0, 0, 1, 1.5, 0, 0, 0, 0}, 6, 1, 113.96248897457818},
        {"f = 2 wraps by nO - 12", {1.5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 1, 2, 132.51044707800085},
        {"D = 0, first half, -inf", {2, 1, 0, 0, 0, 0, 0, 1}, 1, 1, 0},
        {"D = 0, first half, +inf", {0, 0, 1, 2, 1, 0, 0, 0}, 4, 1, 180},
        {"D = 0, first half, 0 / 0", {0, 1, 2, 1, 0, 0, 0, 0}, 3, 1, kNaN},
        {"D = 0, second half, -inf", {0, 0, 0, 1, 2, 1, 0, 0}, 5, 1, 90},
        {"D = 0, second half, +inf", {1, 0, 0, 0, 0, 0, 1, 2}, 8, 1, 90},
        {"nO = 3: (3 - 6) / 4 truncates to 0", {1, 1, 2}, 3, 1, 90},
        {"linear: still below 1 after the wrap", {1.03125, 0, 0, 0, 0, 0, 0, 2}, 1, 0, -180},
        {"linear: beyond nO + 1 is not reduced", {2, 0, 0, 0, 0, 0, 0, 1.25}, 8, 0, 202.5},
        {"a NaN response", {kNaN, 1, 0, 1}, 2, 0, kNaN},
        {"an infinite neighbour", {0, 1, 0, kInf}, 1, 0, kNaN},
    };
    for (const auto& c : cases) {
        const double got = one_pixel(c.R, c.o, c.flag);
        if (std::isnan(c.expected))
            EXPECT_TRUE(std::isnan(got)) << c.what << ": " << got;
        else
            EXPECT_SAME_BITS(c.expected, got) << c.what;
    }
}

TEST(OrientationMap, ReadsThePlaneOfTheSelectedScale)
{
    // Two pixels, three orientations, two scales: the neighbours come from
    // the pixel's own scale, never from the other one.
    OrientationInputs in{{1, 2, 3, 2}, {1, 0, 2, 0, 1, 0, /* scale 2 */ 0, 1, 0, 2, 0, 1}, {2, 2}, {1, 2}, 0};
    CallResult result = orientation_map(in);
    ASSERT_FALSE(result.failed) << result.message;
    EXPECT_EQ((std::vector<double>{60, 60}), values(result.outputs[0].get()));
}

TEST(OrientationMap, EmptyImagesGiveEmptyMapsOfTheirShape)
{
    for (const std::vector<mwSize>& shape : {std::vector<mwSize>{0, 3, 4, 2}, std::vector<mwSize>{4, 0, 8},
                                             std::vector<mwSize>{0, 0}}) {
        OrientationInputs in{shape, {}, {}, {}, 1};
        CallResult result = orientation_map(in);
        ASSERT_FALSE(result.failed) << result.message;
        EXPECT_EQ((std::vector<mwSize>{shape[0], shape[1]}), dims(result.outputs[0].get()));
    }
}

std::vector<double> reference_orientation_map(const OrientationInputs& in)
{
    return zelref::orientation_map(in.dims, in.R, in.orientation, in.scale, in.flag);
}

TEST(OrientationMap, AgreesBitForBitWithTheDefinitionOnRandomInputs)
{
    RandomValues random(5);
    std::vector<std::vector<mwSize>> shapes = {{5, 7, 8, 3}, {6, 1, 14}, {3, 4, 10, 2}, {1, 9, 2, 2},
                                               {4, 4},       {2, 3, 1, 3}, {3, 5, 5}, {4, 2, 20, 2}};
    shapes.insert(shapes.end(), demanding_stacks().begin(), demanding_stacks().end());
    for (const std::vector<mwSize>& shape : shapes) {
        for (uint16_t flag : {0, 1, 2, 65535}) {
            OrientationInputs in;
            in.dims = shape;
            const mwSize nO = shape.size() > 2 ? shape[2] : 1, nS = shape.size() > 3 ? shape[3] : 1;
            mwSize elements = 1;
            for (mwSize d : shape) elements *= d;
            in.R = random.values(elements, -2.0, 2.0, 16);
            in.orientation = random.indices(shape[0] * shape[1], nO);
            in.scale = random.indices(shape[0] * shape[1], nS);
            in.flag = flag;
            CallResult result = orientation_map(in);
            ASSERT_FALSE(result.failed) << result.message;
            expect_same_bits(reference_orientation_map(in), values(result.outputs[0].get()),
                             ::testing::PrintToString(shape) + ", flag " + std::to_string(flag));
        }
    }
}

// The arctangent mapping needs 10 orientations or more (below, its divisor
// is 0 or -1): with fewer, a call that maps pixels warns once, and its map
// is the definition's all the same. The linear mapping never warns.
TEST(OrientationMap, ArctangentMappingWithFewerThanTenOrientationsWarns)
{
    RandomValues random(9);
    for (mwSize nO : {1, 2, 3, 6, 8, 9, 10, 14}) {
        for (uint16_t flag : {0, 1, 2, 65535}) {
            for (mwSize rows : {3, 0}) {
                OrientationInputs in;
                in.dims = {rows, 4, nO, 2};
                in.R = random.values(rows * 4 * nO * 2, -2.0, 2.0, 16);
                in.orientation = random.indices(rows * 4, nO);
                in.scale = random.indices(rows * 4, 2);
                in.flag = flag;
                const std::string what = std::to_string(nO) + " orientations, flag " + std::to_string(flag) + ", " +
                                         std::to_string(rows) + " rows";
                CallResult result = orientation_map(in);
                ASSERT_FALSE(result.failed) << what << ": " << result.message;
                expect_same_bits(reference_orientation_map(in), values(result.outputs[0].get()), what);
                if (flag == 0 || nO >= 10 || rows == 0) {
                    EXPECT_TRUE(result.warnings.empty()) << what << ": " << result.warnings.front().second;
                    continue;
                }
                ASSERT_EQ(1u, result.warnings.size()) << what;
                EXPECT_EQ("ZELgetOrientationMap:tooFewOrientations", result.warnings[0].first) << what;
                const std::string start = "input 4 (angle mapping flag) is " + std::to_string(flag) +
                                          ", which selects the arctangent mapping; it needs at least 10 orientations "
                                          "and input 1 (response stack) has " + std::to_string(nO) + ",";
                EXPECT_EQ(0u, result.warnings[0].second.find(start)) << what << ": " << result.warnings[0].second;
            }
        }
    }
}

TEST(OrientationMap, ContractBreachesEndInAnIdentifiedErrorWithNoOutput)
{
    Array R = doubles({2, 3, 4, 2});
    Array o = uint16s({2, 3}, {1, 2, 3, 4, 1, 2}), s = uint16s({2, 3}, {1, 1, 2, 2, 1, 1});
    Array f = uint16_scalar(1);
    Array uint8_stack = of_class(mxUINT8_CLASS, {2, 3, 4, 2});
    Array zero_map = doubles({2, 3}, {1, 1, 1, 1, -0.0, 1});
    Array double_flag = scalar(1);
    Array empty_flag = uint16s({1, 0});
    Array short_map = uint16s({1, 5}, {1, 1, 1, 1, 1});
    Array big_o = uint16s({2, 3}, {1, 2, 3, 4, 5, 2});
    Array zero_s = uint16s({2, 3}, {1, 0, 2, 2, 1, 1});
    Array no_orientations = doubles({2, 3, 0, 2});
    Array ones = uint16s({2, 3}, {1, 1, 1, 1, 1, 1});
    Array deep = unbacked({2, 3, 1, 65535});

    const std::vector<Breach> cases = {
        {"uint8 stack", "invalidClass", "input 1 (response stack)", {{1, uint8_stack.get()}}},
        {"zero in a double scale map", "indexOutOfRange", "input 3 (scale index map) holds -0 at pixel (1, 3)", {{3, zero_map.get()}}},
        {"flag as a double", "invalidClass", "input 4 (angle mapping flag) must be a real uint16 value: pass it as uint16(value); found a double array.", {{4, double_flag.get()}}},
        {"empty flag", "emptyInput", "input 4 (angle mapping flag)", {{4, empty_flag.get()}}},
        {"short orientation map", "tooFewElements", "input 2", {{2, short_map.get()}}},
        {"orientation past the count", "indexOutOfRange", "holds 5 at pixel (1, 3); expected a whole number in 1..4", {{2, big_o.get()}}},
        {"scale index 0", "indexOutOfRange", "input 3 (scale index map) holds 0 at pixel (2, 1)", {{3, zero_s.get()}}},
        {"no orientation for a pixel", "indexOutOfRange", "has no orientation to select (its orientation count is 0)", {{1, no_orientations.get()}, {2, ones.get()}, {3, ones.get()}}},
        {"65535 scales", "tooLarge", "65535 scales", {{1, deep.get()}}},
    };
    expect_breaches(kKernel, 1, {R.get(), o.get(), s.get(), f.get()}, cases);
}

}  // namespace
