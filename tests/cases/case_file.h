// Calls of the kernels kept in a file together with what they gave, so that
// another host or another platform can make the same calls and compare bits.
//
// File layout, little-endian, every count and size a uint64:
//   "ZELCASES" version (3) case-count
//   per case: kernel-name nlhs input-count inputs... error-id output-count outputs...
//   string:   length, then the bytes
//   array:    class, dimension count, sizes, elements in the class's own
//             width: doubles as their 64-bit patterns, singles as their
//             32-bit patterns, uint16 and char (UTF-16 code units) as 16-bit
//             values, uint8 and logical as bytes (logical 0 or 1)
//   class:    0 double, 1 uint16, 2 single, 3 uint8, 4 logical, 5 char
//   input:    an array of any of the classes
//   output:   an array of class double, single or uint16
#ifndef ZEL_TESTS_CASE_FILE_H
#define ZEL_TESTS_CASE_FILE_H

#include "mex_host.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zelcases {

using Dims = std::vector<mwSize>;

// The elements are in the vector of the class: doubles; indices for uint16
// and char; singles; bytes for uint8 and logical.
struct Input {
    mxClassID class_id;  // double, uint16, single, uint8, logical or char
    Dims dims;
    std::vector<double> doubles;
    std::vector<uint16_t> indices;
    std::vector<float> singles;
    std::vector<uint8_t> bytes;
};

struct Case {
    std::string kernel;
    int nlhs;
    std::vector<Input> inputs;
};

// bits holds each element's bit pattern, widened with zeros to 64 bits.
struct Output {
    mxClassID class_id;  // mxDOUBLE_CLASS, mxSINGLE_CLASS or mxUINT16_CLASS
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

// The same call, input for input, to the bit.
bool same_call(const Case& a, const Case& b);

// Runs the call in the stand-in host, which offers max(nlhs, 1) output
// slots. False when the kernel filled a slot beyond them or gave an output of
// a class the file cannot keep.
bool run_case(mexFunctionPointer entry, const Case& c, Outcome& outcome);

bool write_cases(const std::string& path, const std::vector<CaseRecord>& records);
bool read_cases(const std::string& path, std::vector<CaseRecord>& records);

}  // namespace zelcases

#endif
