// Calls of the kernels kept in a file together with what they gave, so that
// another host or another platform can make the same calls and compare bits.
//
// File layout, little-endian, every count and size a uint64:
//   "ZELCASES" version case-count
//   per case: kernel-name nlhs input-count inputs... error-id output-count outputs...
//   string:   length, then the bytes
//   input:    class (0 double, 1 uint16, 2 single), dimension count, sizes,
//             elements (doubles as their 64-bit patterns, singles as their
//             32-bit patterns, uint16 as 16-bit values)
//   output:   dimension count, sizes, elements as 64-bit patterns
#ifndef ZEL_TESTS_CASE_FILE_H
#define ZEL_TESTS_CASE_FILE_H

#include "mex_host.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zelcases {

using Dims = std::vector<mwSize>;

struct Input {
    mxClassID class_id;  // mxDOUBLE_CLASS, mxUINT16_CLASS or mxSINGLE_CLASS
    Dims dims;
    std::vector<double> doubles;
    std::vector<uint16_t> indices;
    std::vector<float> singles;
};

struct Case {
    std::string kernel;
    int nlhs;
    std::vector<Input> inputs;
};

struct Output {
    Dims dims;
    std::vector<uint64_t> bits;
};

// The error identifier of a rejected call (empty when it succeeded) and the
// outputs of a successful one.
struct Outcome {
    std::string error_id;
    std::vector<Output> outputs;
};

struct CaseRecord {
    Case call;
    Outcome outcome;
};

size_t element_count(const Dims& dims);

// The kernel's mexFunction in dir, or null (with the reason on stderr).
mexFunctionPointer load_kernel(const std::string& dir, const std::string& kernel);

// Runs the call in the stand-in host, which offers max(nlhs, 1) output
// slots. False when the kernel filled a slot beyond them.
bool run_case(mexFunctionPointer entry, const Case& c, Outcome& outcome);

bool write_cases(const std::string& path, const std::vector<CaseRecord>& records);
bool read_cases(const std::string& path, std::vector<CaseRecord>& records);

}  // namespace zelcases

#endif
