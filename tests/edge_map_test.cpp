// ZELgetEdgeMap through the stand-in host.
#include "kernel_support.h"
#include "reference_maps.h"

#include <cmath>
#include <limits>

namespace {

using namespace zeltest;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

struct EdgeInputs {
    std::vector<mwSize> dims;  // of the response stack
    std::vector<double> R, Q;
    std::vector<uint16_t> orientation, scale;
    double c = 0.0, b = 0.0;
};

CallResult edge_map(const EdgeInputs& in)
{
    Array R = doubles(in.dims, in.R), Q = doubles(in.dims, in.Q);
    Array o = uint16s({in.dims[0], in.dims[1]}, in.orientation), s = uint16s({in.dims[0], in.dims[1]}, in.scale);
    Array c = scalar(in.c), b = scalar(in.b);
    return call("ZELgetEdgeMap", 1, {R.get(), Q.get(), o.get(), s.get(), c.get(), b.get()});
}

// One pixel, one orientation, the given scales.
double one_pixel(const std::vector<double>& R, const std::vector<double>& Q, uint16_t s, double c, double b)
{
    EdgeInputs in{{1, 1, 1, R.size()}, R, Q, {1}, {s}, c, b};
    CallResult result = edge_map(in);
    EXPECT_FALSE(result.failed) << result.message;
    return result.failed ? kNaN : values(result.outputs.at(0).get()).at(0);
}

TEST(EdgeMap, WorkedExample)
{
    EXPECT_SAME_BITS(0.30416666666666664, one_pixel({2, -1, 4}, {0.5, 0, 0.25}, 3, 0.1, -2));
}

TEST(EdgeMap, EdgeCasesOfOnePixel)
{
    const struct {
        const char* what;
        std::vector<double> R, Q;
        uint16_t s;
        double c, b, expected;
    } cases[] = {
        {"one scale", {-4}, {1}, 1, 0.5, 2, (4.0 - 1.0 - 1.0) / 4.0},
        {"cancelling responses give -0 (d = fabs(-0) * 0 = +0)", {1, -1}, {0, 0}, 1, 0, -0.0, -0.0},
        {"with d = fabs(+0) * 0 = -0 the numerator becomes +0", {1, -1}, {0, 0}, 1, 0, 0, +0.0},
        {"NaN penalty weight", {1, 2}, {0, 0}, 1, kNaN, 1, kNaN},
        {"NaN penalty factor", {1, 2}, {0, 0}, 1, 1, kNaN, kNaN},
        {"zero normaliser, positive numerator", {0, 0}, {-1, 0}, 2, 0, 0, kInf},
        {"zero normaliser, zero numerator", {0, 0}, {0, 0}, 2, 0, 0, kNaN},
        {"zero normaliser, negative numerator", {0, 0}, {1, 0}, 2, 0, 0, kNaN},
        {"negative numerator floors at +0", {1, 1}, {5, 5}, 1, 0, 0, 0.0},
        {"negative weight raises the numerator", {1}, {0}, 1, -1, -3, 4.0},
        {"NaN response adds the reference to the normaliser", {kNaN, 2}, {0, 0}, 2, 0, 0, kNaN},
        {"NaN reference makes the normaliser NaN", {1, kNaN}, {0, 0}, 2, 0, 0, kNaN},
        {"chosen scale changes only the normaliser", {1, 3}, {0, 0}, 1, 0, 0, 4.0 / (1 + 3)},
        {"chosen scale changes only the normaliser (s*=2)", {1, 3}, {0, 0}, 2, 0, 0, 4.0 / (3 + 3)},
    };
    for (const auto& c : cases) {
        const double got = one_pixel(c.R, c.Q, c.s, c.c, c.b);
        if (std::isnan(c.expected))
            EXPECT_TRUE(std::isnan(got)) << c.what << ": " << got;
        else
            EXPECT_SAME_BITS(c.expected, got) << c.what;
    }
}

// As for the height-and-width and orientation maps: a stack with no scale
// has none for the scale index map to select, whatever the map holds, so an
// image with pixels ends in an error; one without pixels has an empty map.
TEST(EdgeMap, AStackWithNoScaleHasNoScaleToSelect)
{
    for (const std::vector<uint16_t>& scale_map : {std::vector<uint16_t>{0, 0, 0, 0, 0, 0},
                                                   std::vector<uint16_t>{1, 1, 1, 1, 1, 1}}) {
        EdgeInputs in{{2, 3, 2, 0}, {}, {}, {1, 2, 1, 2, 1, 2}, scale_map, 1, 1};
        expect_breach(edge_map(in), "ZELgetEdgeMap", "no scale", "indexOutOfRange",
                      "input 1 (response stack) has no scale to select (its scale count is 0), yet input 4 (scale index map) selects one at pixel (1, 1).");
    }
    EdgeInputs empty{{0, 3, 2, 0}, {}, {}, {}, {}, 1, 1};
    CallResult result = edge_map(empty);
    ASSERT_FALSE(result.failed) << result.message;
    EXPECT_EQ((std::vector<mwSize>{0, 3}), dims(result.outputs[0].get()));
}

TEST(EdgeMap, EmptyImagesGiveEmptyMapsOfTheirShape)
{
    for (const std::vector<mwSize>& shape : {std::vector<mwSize>{0, 3, 2, 2}, std::vector<mwSize>{4, 0, 2, 2},
                                             std::vector<mwSize>{0, 0}}) {
        EdgeInputs in{shape, {}, {}, {}, {}, 1, 1};
        CallResult result = edge_map(in);
        ASSERT_FALSE(result.failed) << result.message;
        EXPECT_EQ((std::vector<mwSize>{shape[0], shape[1]}), dims(result.outputs[0].get()));
    }
}

TEST(EdgeMap, AgreesBitForBitWithTheDefinitionOnRandomStacks)
{
    RandomValues random(7);
    std::vector<std::vector<mwSize>> shapes = {{5, 7, 3, 4}, {6, 1, 8}, {1, 9, 2, 2}, {4, 4}};
    shapes.insert(shapes.end(), demanding_stacks().begin(), demanding_stacks().end());
    for (const std::vector<mwSize>& shape : shapes) {
        EdgeInputs in;
        in.dims = shape;
        mwSize elements = 1;
        for (mwSize d : shape) elements *= d;
        const mwSize pixels = shape[0] * shape[1];
        in.R = random.values(elements, -2.0, 2.0, 16);
        in.Q = random.values(elements, -2.0, 2.0, 16);
        in.orientation = random.indices(pixels, shape.size() > 2 ? shape[2] : 1);
        in.scale = random.indices(pixels, shape.size() > 3 ? shape[3] : 1);
        in.c = random.special_or(random.uniform(-2.0, 2.0), 8);
        in.b = random.special_or(random.uniform(-2.0, 2.0), 8);
        CallResult result = edge_map(in);
        ASSERT_FALSE(result.failed) << result.message;
        expect_same_bits(zelref::edge_map(in.dims, in.R, in.Q, in.orientation, in.scale, in.c, in.b), values(result.outputs[0].get()), ::testing::PrintToString(shape));
    }
}

TEST(EdgeMap, AcceptsWhatTheContractAllows)
{
    // Index maps with more elements than pixels and of another shape, and
    // scalars with more than one element: only what is needed is read. The
    // vector scalars warn, once for the call.
    Array R = doubles({2, 2, 1, 2}, {1, 2, 3, 4, 5, 6, 7, 8});
    Array Q = doubles({2, 2, 1, 2});
    Array o = uint16s({1, 6}, {1, 1, 1, 1, 0, 9});
    Array s = uint16s({6, 1}, {2, 2, 2, 2, 0, 9});
    Array c = doubles({1, 3}, {0, 5, 5});
    Array b = doubles({2, 1}, {0, 5});
    CallResult result = call("ZELgetEdgeMap", 0, {R.get(), Q.get(), o.get(), s.get(), c.get(), b.get()});
    ASSERT_FALSE(result.failed) << result.message;
    const std::vector<double> E = values(result.outputs.at(0).get());
    EXPECT_EQ((std::vector<double>{6.0 / 10, 8.0 / 12, 10.0 / 14, 12.0 / 16}), E);
    ASSERT_EQ(1u, result.warnings.size());
    EXPECT_EQ("ZELgetEdgeMap:suspiciousShape", result.warnings[0].first);
    EXPECT_EQ("input 5 (penalty weight) is 1 x 3, not a scalar; only its first element, 0, is read.",
              result.warnings[0].second);
}

TEST(EdgeMap, ContractBreachesEndInAnIdentifiedErrorWithNoOutput)
{
    Array R = doubles({2, 3, 2, 2}), Q = doubles({2, 3, 2, 2});
    Array o = uint16s({2, 3}, {1, 2, 1, 2, 1, 2}), s = uint16s({2, 3}, {1, 1, 2, 2, 1, 1});
    Array c = scalar(1), b = scalar(1);
    Array logical_stack = of_class(mxLOGICAL_CLASS, {2, 3, 2, 2});
    Array complex_stack = of_class(mxDOUBLE_CLASS, {2, 3, 2, 2}, mxCOMPLEX);
    Array sparse(mxCreateSparse(2, 3, 1, mxREAL));
    Array fractional_map = doubles({2, 3}, {1, 1, 1, 2.5, 1, 1});
    Array int32_map = of_class(mxINT32_CLASS, {2, 3});
    Array small_Q = doubles({2, 3, 2, 1});
    Array short_map = uint16s({1, 5}, {1, 1, 1, 1, 1});
    Array bad_o = uint16s({2, 3}, {1, 2, 1, 2, 3, 2});
    Array zero_s = uint16s({2, 3}, {1, 1, 0, 2, 1, 1});
    Array empty = doubles({0, 0});
    Array tall = unbacked({65535, 1, 1, 1});
    Array big = unbacked({40000, 30000, 2, 1});

    const std::vector<Breach> cases = {
        {"logical stack", "invalidClass", "input 1 (response stack)", {{1, logical_stack.get()}}},
        {"complex penalty", "invalidClass", "input 2 (penalty stack)", {{2, complex_stack.get()}}},
        {"sparse weight", "invalidClass", "sparse", {{5, sparse.get()}}},
        {"fractional double index", "indexOutOfRange", "input 3 (orientation index map) holds 2.5 at pixel (2, 2); expected a whole number in 1..2", {{3, fractional_map.get()}}},
        {"int32 scale map", "invalidClass", "input 4 (scale index map) must be a real uint16 array, or a double array of whole numbers: pass it as uint16(map); found an int32 array.", {{4, int32_map.get()}}},
        {"penalty of another size", "sizeMismatch", "input 2 (penalty stack)", {{2, small_Q.get()}}},
        {"short orientation map", "tooFewElements", "input 3", {{3, short_map.get()}}},
        {"short scale map", "tooFewElements", "input 4", {{4, short_map.get()}}},
        {"orientation past the count", "indexOutOfRange", "holds 3 at pixel (1, 3); expected a whole number in 1..2", {{3, bad_o.get()}}},
        {"scale index 0", "indexOutOfRange", "holds 0 at pixel (1, 2)", {{4, zero_s.get()}}},
        {"empty weight", "emptyInput", "input 5 (penalty weight) has no element: its first element is its value, so the call ends here.", {{5, empty.get()}}},
        {"empty factor", "emptyInput", "input 6 (penalty factor)", {{6, empty.get()}}},
        {"65535 rows", "tooLarge", "65535 rows", {{1, tall.get()}, {2, tall.get()}}},
        {"more than 2^31 elements", "tooLarge", "2400000000 elements", {{1, big.get()}, {2, big.get()}}},
    };
    expect_breaches("ZELgetEdgeMap", 1, {R.get(), Q.get(), o.get(), s.get(), c.get(), b.get()}, cases);
}

}  // namespace
