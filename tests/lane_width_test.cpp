// Which width of vector lanes ran: the copies of the kernels built for the
// lane tests (ZEL_REPORT_LANES) report it to the stand-in host. The test runs
// where the suite is pointed at such copies with the width they must take in
// ZEL_EXPECT_LANES (the lanesN ctest entries): a cap that did not take, or a
// processor path that never runs, fails it.
#include "kernel_fixtures.h"
#include "zel_kernel_list.h"

#include <cstdlib>
#include <iostream>
#include <set>
#include <string>

namespace {

using namespace zeltest;

// The kernels that compute in lanes, as the build lists them; the others
// must report nothing.
const std::set<std::string> kLaneKernels = {ZEL_LANE_KERNEL_NAMES};

TEST(LaneWidth, EveryKernelThatComputesInLanesRunsTheWidthExpected)
{
    const char* setting = std::getenv("ZEL_EXPECT_LANES");
    if (!setting || !*setting)
        GTEST_SKIP() << "no width expected: the lanesN entries of ctest run this test on copies that report it";
    const int expected = std::atoi(setting);
    for (const KernelFacts& facts : all_kernels()) {
        const std::string kernel = facts.name;
        const bool in_lanes = kLaneKernels.count(kernel) > 0;
        if (!mex_file_exists(kernel)) {
            EXPECT_FALSE(in_lanes) << mex_path(kernel) << " is not built";
            continue;  // the folder of 8-lane copies holds only the kernels that compute in lanes
        }
        std::set<int> widths;
        std::vector<KernelCall> calls = contract_calls(kernel);
        for (KernelCall& c : long_calls(kernel)) calls.push_back(std::move(c));
        for (const KernelCall& c : calls) {
            const CallResult result = call(c.kernel, c.nlhs, c.handles());
            EXPECT_FALSE(result.failed) << kernel << ", " << c.what << ": " << result.message;
            if (result.lanes) widths.insert(result.lanes);
        }
        if (!in_lanes) {
            EXPECT_TRUE(widths.empty()) << kernel << " computes in lanes: add it to ZEL_LANE_KERNELS in CMakeLists.txt";
            continue;
        }
        ASSERT_FALSE(widths.empty()) << mex_path(kernel)
                                     << " reported no lane width: it is not built with ZEL_REPORT_LANES";
        EXPECT_EQ(std::set<int>{expected}, widths) << kernel << " ran another width than " << expected;
        std::cout << kernel << ": " << *widths.begin() << " lanes of doubles\n";
        RecordProperty(kernel, *widths.begin());
    }
}

}  // namespace
