// ZELgetIndexMaps through the stand-in host: the orientation and the scale
// of the peak of |R| against a plain loop, and its contract.
#include "kernel_support.h"
#include "reference_maps.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

using namespace zeltest;

std::vector<uint16_t> uint16_elements(const mxArray* a)
{
    const uint16_t* d = static_cast<const uint16_t*>(mxGetData(a));
    return d ? std::vector<uint16_t>(d, d + mxGetNumberOfElements(a)) : std::vector<uint16_t>();
}

// Few distinct magnitudes of both signs, so that equal peaks are common,
// zeros of both signs, NaN with payloads and infinities.
std::vector<double> stack_values(size_t count, uint64_t seed)
{
    RandomValues data(seed);
    std::vector<double> v(count);
    for (double& x : v) x = data.special_or(double(int(data.below(7)) - 3) * 0.5, 8);
    return v;
}

TEST(IndexMaps, AgreeWithThePeakOfTheMagnitudesInScanOrder)
{
    const std::vector<std::vector<mwSize>> shapes = {
        {7, 5, 4, 3}, {1, 1, 8, 4}, {3, 3, 1, 1}, {513, 3, 2, 2}, {1030, 1, 3, 1}, {9, 11, 65, 2}, {2, 2, 1, 700}};
    uint64_t seed = 1;
    for (const std::vector<mwSize>& shape : shapes) {
        const size_t pixels = shape[0] * shape[1], count = pixels * shape[2] * shape[3];
        const std::vector<double> R = stack_values(count, seed++);
        for (bool single : {false, true}) {
            Array stack = of_class(single ? mxSINGLE_CLASS : mxDOUBLE_CLASS, shape);
            zelref::IndexMaps expected;
            if (single) {
                std::vector<float> f(R.begin(), R.end());
                std::memcpy(mxGetData(stack.get()), f.data(), count * sizeof(float));
                expected = zelref::index_maps(f, pixels, shape[2], shape[3]);
            } else {
                std::memcpy(mxGetData(stack.get()), R.data(), count * sizeof(double));
                expected = zelref::index_maps(R, pixels, shape[2], shape[3]);
            }
            const CallResult result = call("ZELgetIndexMaps", 2, {stack.get()});
            ASSERT_FALSE(result.failed) << result.message;
            ASSERT_EQ(2u, result.outputs.size());
            const std::string what = std::to_string(shape[0]) + " x " + std::to_string(shape[1]) + " x " +
                                     std::to_string(shape[2]) + " x " + std::to_string(shape[3]) +
                                     (single ? " single" : " double");
            for (int k = 0; k < 2; ++k) {
                EXPECT_EQ(mxUINT16_CLASS, mxGetClassID(result.outputs[size_t(k)].get())) << what;
                EXPECT_EQ((std::vector<mwSize>{shape[0], shape[1]}), dims(result.outputs[size_t(k)].get())) << what;
            }
            EXPECT_EQ(expected.orientation, uint16_elements(result.outputs[0].get())) << what;
            EXPECT_EQ(expected.scale, uint16_elements(result.outputs[1].get())) << what;
        }
    }
}

TEST(IndexMaps, TiesNaNAndSignsFollowTheRule)
{
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    // One pixel, 3 orientations x 2 scales, responses in scan order
    // (orientation fastest) and the peak expected.
    const struct {
        const char* what;
        std::vector<double> responses;
        uint16_t orientation, scale;
    } cases[] = {
        {"all NaN", {nan, nan, nan, nan, nan, nan}, 1, 1},
        {"NaN before the peak", {nan, 2, nan, -3, nan, 1}, 1, 2},
        {"a tie keeps the first", {1, -4, 2, 4, 0, -4}, 2, 1},
        {"negative peak", {1, 2, 3, -3.5, 0, 0}, 1, 2},
        {"infinity", {1, 2, 3, 0, -inf, inf}, 2, 2},
        {"zeros of both signs", {-0.0, 0.0, -0.0, 0.0, 0.0, 0.0}, 1, 1},
    };
    for (const auto& c : cases) {
        Array stack = doubles({1, 1, 3, 2}, c.responses);
        const CallResult result = call("ZELgetIndexMaps", 2, {stack.get()});
        ASSERT_FALSE(result.failed) << c.what << ": " << result.message;
        EXPECT_EQ(c.orientation, uint16_elements(result.outputs[0].get())[0]) << c.what;
        EXPECT_EQ(c.scale, uint16_elements(result.outputs[1].get())[0]) << c.what;
    }
}

TEST(IndexMaps, ContractBreachesEndInAnIdentifiedError)
{
    Array no_orientation = unbacked({4, 4, 0, 2}), no_scale = unbacked({4, 4, 3, 0});
    Array int16_stack = of_class(mxINT16_CLASS, {2, 2, 2}), huge = unbacked({40000, 40000, 2});
    Array stack = doubles({2, 2, 2});
    const std::vector<Breach> cases = {
        {"no orientation", "tooFewElements", "has no orientation (its orientation count is 0)", {{1, no_orientation.get()}}},
        {"no scale", "tooFewElements", "has no scale (its scale count is 0)", {{1, no_scale.get()}}},
        {"int16 stack", "invalidClass", "found an int16 array", {{1, int16_stack.get()}}},
        {"too many elements", "tooLarge", "at most 2^31", {{1, huge.get()}}},
    };
    expect_breaches("ZELgetIndexMaps", 2, {stack.get()}, cases);
    // No pixel: empty maps, whatever the other sizes.
    Array empty = unbacked({0, 5, 0, 3});
    const CallResult result = call("ZELgetIndexMaps", 2, {empty.get()});
    ASSERT_FALSE(result.failed) << result.message;
    EXPECT_EQ((std::vector<mwSize>{0, 5}), dims(result.outputs[1].get()));
}

}  // namespace
