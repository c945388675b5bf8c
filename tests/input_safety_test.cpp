// Every kernel reads its inputs in place and never writes them, keeps
// nothing between calls, and gives the same bits every time it is called.
#include "kernel_fixtures.h"

namespace {

using namespace zeltest;

class EveryBuiltKernel : public ::testing::TestWithParam<KernelFacts> {
protected:
    void SetUp() override
    {
        if (!mex_file_exists(GetParam().name)) GTEST_SKIP() << GetParam().name << " is not built yet";
    }
};

size_t expected_outputs(const KernelCall& c) { return c.nlhs > 1 ? size_t(c.nlhs) : 1; }

// The fixtures must reach the pixel computation, or the tests below would
// only see errors.
TEST_P(EveryBuiltKernel, ContractCallsGiveOutputsOfTheImageShape)
{
    for (const KernelCall& c : contract_calls(GetParam().name)) {
        const CallResult result = call(c.kernel, c.nlhs, c.handles());
        ASSERT_FALSE(result.failed) << c.what << ": " << result.id << " " << result.message;
        ASSERT_EQ(expected_outputs(c), result.outputs.size()) << c.what;
        const std::vector<mwSize> input = dims(c.inputs[0].get());
        for (const Array& output : result.outputs) {
            const std::vector<mwSize> d = dims(output.get());
            EXPECT_EQ((std::vector<mwSize>{input[0], input[1]}), std::vector<mwSize>(d.begin(), d.begin() + 2))
                << c.what;
        }
    }
}

TEST_P(EveryBuiltKernel, NeverWritesItsInputsAndRepeatsItsBits)
{
    std::vector<KernelCall> calls = contract_calls(GetParam().name);
    for (KernelCall& c : breaching_calls(GetParam())) calls.push_back(std::move(c));
    const long live_before = mxHostLiveArrays();
    for (const KernelCall& c : calls) {
        std::vector<InputBytes> before;
        for (const Array& input : c.inputs) before.push_back(input_bytes(input.get()));
        const Outcome first = outcome_of(call(c.kernel, c.nlhs, c.handles()));
        const Outcome second = outcome_of(call(c.kernel, c.nlhs, c.handles()));
        for (size_t k = 0; k < c.inputs.size(); ++k)
            EXPECT_TRUE(before[k] == input_bytes(c.inputs[k].get())) << c.what << ": input " << k + 1 << " changed";
        EXPECT_TRUE(first == second) << c.what << ", second call: " << difference(first, second);
        if (first.failed) EXPECT_TRUE(!first.id.empty() || first.message == GetParam().arity_message) << c.what;
    }
    // Outputs went to the results, which are gone; nothing else may remain.
    EXPECT_EQ(live_before, mxHostLiveArrays());
}

// A zero size beyond those a kernel reads leaves the array without elements:
// {5, 4, 3, 4, 0} has 5 x 4 x 3 x 4 as its leading sizes and nothing behind
// them. An image must have two dimensions, so there it is the wrong shape.
TEST_P(EveryBuiltKernel, RejectsAFirstInputEmptiedByAFurtherZeroSize)
{
    KernelCall c = std::move(contract_calls(GetParam().name).front());
    std::vector<mwSize> emptied = dims(c.inputs[0].get());
    emptied.resize(4, 1);
    emptied.push_back(0);
    c.inputs[0] = doubles(emptied);
    // The penalty stack of the blob, ridge and edge maps has the response stack's size.
    if (c.kernel == "ZELgetBlobMap" || c.kernel == "ZELgetRidgeMap" || c.kernel == "ZELgetEdgeMap")
        c.inputs[1] = doubles(emptied);
    const CallResult result = call(c.kernel, c.nlhs, c.handles());
    ASSERT_TRUE(result.failed);
    EXPECT_EQ(c.kernel + (takes_image(GetParam()) ? ":invalidShape" : ":tooFewElements"), result.id)
        << result.message;
    EXPECT_NE(std::string::npos, result.message.find("input 1")) << result.message;
}

INSTANTIATE_TEST_SUITE_P(InputSafety, EveryBuiltKernel, ::testing::ValuesIn(all_kernels()),
                         [](const ::testing::TestParamInfo<KernelFacts>& info) { return std::string(info.param.name); });

}  // namespace
