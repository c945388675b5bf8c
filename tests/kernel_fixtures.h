// Calls of every kernel, with inputs that the calls own, for the tests that
// look at all kernels at once (input safety, determinism, concurrency).
#ifndef ZEL_TESTS_KERNEL_FIXTURES_H
#define ZEL_TESTS_KERNEL_FIXTURES_H

#include "kernel_support.h"

#include <string>
#include <vector>

namespace zeltest {

struct KernelCall {
    std::string kernel;
    std::string what;
    int nlhs = 1;
    std::vector<Array> inputs;
    std::vector<const mxArray*> handles() const;
};

// Calls that keep the kernel's contract and between them reach every branch
// of its per-pixel computation: NaN, infinities and signed zeros in the data,
// no scales, one scale, empty images, every mode and flag.
std::vector<KernelCall> contract_calls(const std::string& kernel);

// Calls past the distance the kernels prefetch ahead and past a run of
// pixels (1100 pixels; none for the filter bank, whose own tests take such
// images), with few planes, so that every build and checker runs them fast.
std::vector<KernelCall> long_calls(const std::string& kernel);

// Whether input 1 is an image, which must be 2-D and have a pixel, and
// whose class sets the class of the outputs.
bool takes_image(const KernelFacts& kernel);

// Calls that end in an error: one input too many and one too few, an int32
// response stack (or map), and rows beyond the 16-bit hold on an input with
// no elements behind it.
std::vector<KernelCall> breaching_calls(const KernelFacts& kernel);

// What a call gave, in a form that compares bit for bit: each output's
// class, sizes and the bit patterns of its elements.
struct Outcome {
    bool failed = false;
    std::string id;
    std::string message;
    std::vector<mxClassID> output_classes;
    std::vector<std::vector<mwSize>> output_dims;
    std::vector<std::vector<uint64_t>> output_bits;
    bool operator==(const Outcome& other) const;
};
Outcome outcome_of(const CallResult& result);
// Where two outcomes first differ, for a failure message.
std::string difference(const Outcome& expected, const Outcome& got);

// The bytes of an input as the host holds it: class, flags, sizes, elements.
struct InputBytes {
    mxClassID class_id;
    bool complex;
    bool sparse;
    std::vector<mwSize> dims;
    const void* data;
    std::vector<unsigned char> elements;
    bool operator==(const InputBytes& other) const;
};
InputBytes input_bytes(const mxArray* array);

}  // namespace zeltest

#endif
