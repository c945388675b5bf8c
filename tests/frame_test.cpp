// The gateway frame as every MEX file shows it to a host.
#include "kernel_support.h"

namespace {

using namespace zeltest;

class EveryKernel : public ::testing::TestWithParam<KernelFacts> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(mex_file_exists(GetParam().name)) << mex_path(GetParam().name) << " is not built";
    }
};

TEST_P(EveryKernel, WrongInputCountEndsWithTheArityMessageAndNoOutput)
{
    const KernelFacts& kernel = GetParam();
    Array filler = scalar(1.0);
    for (int count : {0, kernel.required_inputs - 1, kernel.inputs + 1}) {
        if (count < 0) continue;
        const std::vector<const mxArray*> inputs(count, filler.get());
        const CallResult result = call(kernel.name, 1, inputs);
        EXPECT_TRUE(result.failed) << count << " inputs";
        EXPECT_EQ("", result.id);
        EXPECT_EQ(kernel.arity_message, result.message);
        EXPECT_TRUE(result.outputs.empty());
    }
}

TEST_P(EveryKernel, ReportsTheInterfaceVersionItNeeds)
{
    auto version = api_version_function(GetParam().name);
    ASSERT_NE(nullptr, version);
    uint32_t first = 1, second = 1;
    version(&first, &second);
    EXPECT_EQ(131450u, first);
    EXPECT_EQ(0u, second);
}

INSTANTIATE_TEST_SUITE_P(Frame, EveryKernel, ::testing::ValuesIn(all_kernels()),
                         [](const ::testing::TestParamInfo<KernelFacts>& info) { return std::string(info.param.name); });

TEST(Frame, StackOffsetOfTheWorkedExample)
{
    // rows 3, cols 2, 4 orientations, 2 scales: pixel (2, 2) has index 4, and
    // at orientation 3, scale 2 its offset is 4 + 6*2 + 24*1 = 40. Only that
    // element is non-zero; the edge map of a pixel with o* = 3 and s* = 2 reads
    // it as R(p, 3, 2), so pixel (2, 2) gets |5| / (fmax(0, 5) + fmax(5, 5))
    // and every other pixel 0 / 0.
    std::vector<double> R(3 * 2 * 4 * 2, 0.0);
    R[40] = 5.0;
    Array stack = doubles({3, 2, 4, 2}, R), penalty = doubles({3, 2, 4, 2});
    Array o = uint16s({3, 2}, std::vector<uint16_t>(6, 3)), s = uint16s({3, 2}, std::vector<uint16_t>(6, 2));
    Array c = scalar(0.0), b = scalar(0.0);
    const CallResult result = call("ZELgetEdgeMap", 1, {stack.get(), penalty.get(), o.get(), s.get(), c.get(), b.get()});
    ASSERT_FALSE(result.failed) << result.message;
    const std::vector<double> E = values(result.outputs.at(0).get());
    ASSERT_EQ(6u, E.size());
    for (size_t p = 0; p < E.size(); ++p) {
        if (p == 4)
            EXPECT_EQ(0.5, E[p]);
        else
            EXPECT_TRUE(std::isnan(E[p])) << "pixel " << p << ": " << E[p];
    }
}

}  // namespace
