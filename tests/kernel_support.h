// Calling the built MEX files through the stand-in host, as a host would.
#ifndef ZEL_TESTS_KERNEL_SUPPORT_H
#define ZEL_TESTS_KERNEL_SUPPORT_H

#include "demanding_shapes.h"
#include "mex_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace zeltest {

// What every MEX file of the library looks like from outside.
struct KernelFacts {
    const char* name;
    int inputs;
    int outputs;
    const char* arity_message;
    const char* libm_function;  // nullptr when it calls none
    std::vector<int> index_maps;  // inputs (1-based) that are index maps
    std::vector<int> pixel_maps;  // inputs read per pixel, index maps included
    int scale_table;              // the scale table input, 0 when there is none
    int required_inputs;          // inputs, unless the last ones are optional
    int first_input_rank;         // leading sizes of input 1 read: 4 for a stack, 2 for a map or an image
    bool feature_map;             // a map: rows x cols double outputs, single inputs give the double call's bits
    std::vector<std::string> host_operations;  // what it imports from libmx and libmex
    std::vector<int> scalars;     // inputs of which only the first element is read
};
const std::vector<KernelFacts>& all_kernels();
inline void PrintTo(const KernelFacts& kernel, std::ostream* out) { *out << kernel.name; }

// The MEX files are taken from the build's folder, or from $ZEL_MEX_DIR when set.
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

// The elements of a double, single or uint16 array, as doubles.
std::vector<double> values(const mxArray* array);
std::vector<mwSize> dims(const mxArray* array);
// The bit pattern of each element of a double, single or uint16 array.
std::vector<uint64_t> element_bits(const mxArray* array);

struct CallResult {
    bool failed = false;
    std::string id;
    std::string message;
    std::vector<Array> outputs;  // the slots the call filled, in order
    std::vector<std::pair<std::string, std::string>> warnings;  // identifier, message
    int lanes = 0;  // doubles per vector lane, when the MEX file reports it (ZEL_REPORT_LANES)
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

// The contract tables: each row a call that breaks the contract, made of a
// valid call with the inputs at the given numbers (1-based) replaced, and
// the error it must end in. expect_breaches checks every row with
// expect_breach, and that the valid call itself is accepted, so that each
// row fails for its own replacement.
struct Breach {
    const char* what;
    const char* mnemonic;
    const char* message_part;
    std::vector<std::pair<int, const mxArray*>> replaced;  // input number, array
};
void expect_breaches(const std::string& kernel, int nlhs, const std::vector<const mxArray*>& valid,
                     const std::vector<Breach>& cases);

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


// Random inputs for the comparisons with the references: mostly ordinary
// numbers and, now and then, one that the kernels treat in particular ways:
// a quiet NaN of either sign with a payload of its own (so that which operand
// a NaN result comes from shows), an infinity, a zero of either sign or a
// subnormal number.
struct RandomValues {
    std::mt19937_64 engine;
    explicit RandomValues(uint64_t seed) : engine(seed) {}

    uint64_t below(uint64_t count) { return engine() % count; }
    bool one_in(uint64_t odds) { return below(odds) == 0; }
    double uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(engine); }
    double nan_with_payload()
    {
        const uint64_t sign = engine() & 0x8000000000000000ull, payload = engine() & 0x0007ffffffffffffull;
        return from_bits(sign | 0x7ff8000000000000ull | payload);
    }
    double special()
    {
        const uint64_t sign = engine() & 0x8000000000000000ull;
        switch (below(5)) {
        case 0:
        case 1: return nan_with_payload();
        case 2: return from_bits(sign | 0x7ff0000000000000ull);                         // an infinity
        case 3: return from_bits(sign);                                                 // a zero
        default: return from_bits(sign | (1 + below(0x000fffffffffffffull)));         // a subnormal
        }
    }
    // usual, or one time in odds a special value.
    double special_or(double usual, uint64_t odds) { return one_in(odds) ? special() : usual; }
    std::vector<double> values(size_t count, double low, double high, uint64_t odds)
    {
        std::vector<double> v(count);
        for (double& x : v) x = special_or(uniform(low, high), odds);
        return v;
    }
    // 1-based indices into a dimension of range elements; with no element to
    // index, 0 to 2, none of them valid.
    std::vector<uint16_t> indices(size_t count, size_t range)
    {
        std::vector<uint16_t> v(count);
        for (uint16_t& x : v) x = range > 0 ? uint16_t(1 + below(range)) : uint16_t(below(3));
        return v;
    }
};

// The map a kernel computed against the one its reference computed, bit for
// bit (NaN sign and payload, the sign of zero): every element that differs
// counts, the first few are shown.
void expect_same_bits(const std::vector<double>& expected, const std::vector<double>& got, const std::string& what);

}  // namespace zeltest

// Bitwise equality of two doubles, NaN payloads and signed zeros included.
#define EXPECT_SAME_BITS(expected, actual)                                                       \
    EXPECT_EQ(::zeltest::bits(expected), ::zeltest::bits(actual))                                \
        << "expected " << (expected) << " got " << (actual)

#endif
