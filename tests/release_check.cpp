// The MATLAB release as a user unpacks it: every MEX file loads from the
// unpacked folder (ZEL_RELEASE_DIR), with libmx and libmex found only through
// the loader's search path, and gives the very bits of the build's own file
// on every fixture call, errors included.
#include "kernel_fixtures.h"

#include <cstdlib>

namespace {

using namespace zeltest;

TEST(Release, UnpackedMexFilesGiveTheBitsOfTheBuild)
{
    const char* folder = std::getenv("ZEL_RELEASE_DIR");
    const char* suffix = std::getenv("ZEL_RELEASE_MEX_SUFFIX");
    ASSERT_TRUE(folder && suffix) << "ZEL_RELEASE_DIR and ZEL_RELEASE_MEX_SUFFIX name the unpacked files";
    for (const KernelFacts& kernel : all_kernels()) {
        const mexFunctionPointer released =
            entry_point_at(std::string(folder) + "/" + kernel.name + "." + suffix);
        ASSERT_NE(nullptr, released) << kernel.name;
        ASSERT_NE(entry_point(kernel.name), released) << kernel.name << ": the build's own file was loaded";
        std::vector<KernelCall> calls = contract_calls(kernel.name);
        for (KernelCall& c : breaching_calls(kernel)) calls.push_back(std::move(c));
        for (const KernelCall& c : calls) {
            const Outcome expected = outcome_of(call(c.kernel, c.nlhs, c.handles()));
            const Outcome got = outcome_of(call(released, c.kernel, c.nlhs, c.handles()));
            EXPECT_TRUE(got == expected) << c.kernel << ", " << c.what << ": " << difference(expected, got);
        }
    }
}

}  // namespace
