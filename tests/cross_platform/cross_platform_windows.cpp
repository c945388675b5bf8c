// The Windows half of the cross-platform check, run under Wine:
//
//   cross_platform_windows LINUX_CASES LINUX_MATH WINDOWS_CASES WINDOWS_MATH
//
// makes every call of LINUX_CASES through this build's .mexw64 files in the
// stand-in host (libmx.dll, libmex.dll) and writes the calls with their
// outcomes here to WINDOWS_CASES; evaluates every math call of LINUX_MATH
// with the math functions the .mexw64 files bind (MinGW-w64's pow and sin,
// msvcrt.dll's atan) and writes the results here to WINDOWS_MATH.
// cross_platform_linux compares.
//
// The 64-bit ARM Linux build makes the same program, cross_platform_arm64,
// and runs it under qemu: there the MEX files and this program bind glibc's
// pow, atan and sin for aarch64 (platform/libm_binding.h).
#include "case_file.h"
#include "math_calls.h"
#include "mex_loader.h"

#include "platform/libm_binding.h"

#include <cstdio>
#include <map>

namespace {

using namespace zelcases;

uint64_t evaluate(const MathCall& c)
{
    const double x = from_bits(c.x), y = from_bits(c.y);
    switch (c.function) {
    case kPow: return bits(pow(x, y));
    case kAtan: return bits(atan(x));
    default: return bits(sin(x));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: %s LINUX_CASES LINUX_MATH WINDOWS_CASES WINDOWS_MATH\n", argv[0]);
        return 2;
    }
    std::vector<CaseRecord> records;
    std::vector<MathCall> math;
    if (!read_cases(argv[1], records) || !read_math_calls(argv[2], math)) return 1;

    std::map<std::string, mexFunctionPointer> entries;
    bool sound = true;
    for (CaseRecord& r : records) {
        mexFunctionPointer& entry = entries[r.call.kernel];
        if (!entry) entry = load_kernel(zeltest::built_mex_dir(), r.call.kernel);
        if (!entry) return 1;
        sound = run_case(entry, r.call, r.outcome) && sound;
    }
    for (MathCall& c : math) c.result = evaluate(c);
    printf("%zu calls of %zu kernels, %zu math calls evaluated\n", records.size(), entries.size(), math.size());
    if (!write_cases(argv[3], records) || !write_math_calls(argv[4], math)) return 1;
    return sound ? 0 : 1;
}
