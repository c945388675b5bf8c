// Calling the built MEX files through the stand-in host, as a host would.
#ifndef ZEL_TESTS_KERNEL_SUPPORT_H
#define ZEL_TESTS_KERNEL_SUPPORT_H

#include "mex_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace zeltest {

// What every MEX file of the library looks like from outside.
struct KernelFacts {
    const char* name;
    int inputs;
    const char* arity_message;
    const char* libm_function;  // nullptr when it calls none
};
const std::vector<KernelFacts>& all_kernels();
inline void PrintTo(const KernelFacts& kernel, std::ostream* out) { *out << kernel.name; }

std::string mex_path(const std::string& kernel);
bool mex_file_exists(const std::string& kernel);
// The entry points of a loaded MEX file (loaded once, kept for the process):
// the build's own file of a kernel, or the file at a path.
mexFunctionPointer entry_point(const std::string& kernel);
mexFunctionPointer entry_point_at(const std::string& path);
void (*api_version_function(const std::string& kernel))(uint32_t*, uint32_t*);

struct ArrayDeleter {
    void operator()(mxArray* a) const { mxDestroyArray(a); }
};
using Array = std::unique_ptr<mxArray, ArrayDeleter>;

// Column-major values; an empty value list leaves the array zero-filled.
Array doubles(const std::vector<mwSize>& dims, const std::vector<double>& values = {});
Array uint16s(const std::vector<mwSize>& dims, const std::vector<uint16_t>& values = {});
Array scalar(double value);
Array uint16_scalar(uint16_t value);
Array of_class(mxClassID class_id, const std::vector<mwSize>& dims, mxComplexity complexity = mxREAL);
// Sizes with no elements behind them, for inputs that must be rejected unread.
Array unbacked(const std::vector<mwSize>& dims, mxClassID class_id = mxDOUBLE_CLASS);

std::vector<double> values(const mxArray* array);
std::vector<mwSize> dims(const mxArray* array);

struct CallResult {
    bool failed = false;
    std::string id;
    std::string message;
    std::vector<Array> outputs;  // the slots the call filled, in order
};

// Calls the kernel with nlhs requested outputs. The host offers
// max(nlhs, 1) output slots unless slots says otherwise; a write past them
// fails the test.
CallResult call(const std::string& kernel, int nlhs, const std::vector<const mxArray*>& inputs,
                int slots = -1);
// The same through the given entry point of the kernel's MEX file.
CallResult call(mexFunctionPointer entry, const std::string& kernel, int nlhs,
                const std::vector<const mxArray*>& inputs, int slots = -1);

// A call that breaks the contract: it fails with KERNEL:mnemonic and a
// message that contains message_part and not the kernel's name.
void expect_breach(const CallResult& result, const std::string& kernel, const char* what, const char* mnemonic,
                   const char* message_part);

inline uint64_t bits(double x)
{
    uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}
inline double from_bits(uint64_t b)
{
    double x;
    std::memcpy(&x, &b, sizeof x);
    return x;
}

// a + b and a * b as the processor gives them for operands in this order:
// with two NaN operands the result is the first one, quieted. The references
// use them wherever both operands can be NaN.
inline double quieted(double x) { return from_bits(bits(x) | 0x0008000000000000ull); }
inline double add_as_written(double a, double b) { return std::isnan(a) ? quieted(a) : a + b; }
inline double multiply_as_written(double a, double b) { return std::isnan(a) ? quieted(a) : a * b; }

}  // namespace zeltest

// Bitwise equality of two doubles, NaN payloads and signed zeros included.
#define EXPECT_SAME_BITS(expected, actual)                                                       \
    EXPECT_EQ(::zeltest::bits(expected), ::zeltest::bits(actual))                                \
        << "expected " << (expected) << " got " << (actual)

#endif
