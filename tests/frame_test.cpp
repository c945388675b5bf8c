// The gateway frame as every MEX file shows it to a host.
#include "mex_frame.h"

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
    for (int count : {0, kernel.inputs - 1, kernel.inputs + 1}) {
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
    // rows 3, cols 2, 4 orientations: pixel (2, 2) has index 4, and at
    // orientation 3, scale 2 its offset is 4 + 6*2 + 24*1.
    const zel::StackShape shape = {3, 2, 4, 5};
    EXPECT_EQ(40, zel::stack_offset(shape, 4, 3, 2));
    EXPECT_EQ(4, zel::stack_offset(shape, 4, 1, 1));
}

TEST(Frame, VisitsEveryPixelOnceInMemoryOrder)
{
    const zel::StackShape shape = {3, 4, 1, 1};
    std::vector<ptrdiff_t> visited;
    zel::for_each_pixel(shape, [&](ptrdiff_t p) { visited.push_back(p); });
    ASSERT_EQ(12u, visited.size());
    for (ptrdiff_t p = 0; p < 12; ++p) EXPECT_EQ(p, visited[p]);
}

}  // namespace
