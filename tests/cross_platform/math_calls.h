// The math library calls that the kernels made in a run of cases: each
// distinct argument with the result one platform's library gives for it.
//
// File layout, little-endian uint64s: "ZELMATH1" count, then per call the
// function (0 pow, 1 atan, 2 sin), the bit patterns of x and of y (0 for
// atan and sin) and of the result.
#ifndef ZEL_TESTS_MATH_CALLS_H
#define ZEL_TESTS_MATH_CALLS_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace zelcases {

enum MathFunction : uint64_t { kPow = 0, kAtan = 1, kSin = 2, kMathFunctionCount };
extern const char* const kMathFunctionNames[kMathFunctionCount];

struct MathCall {
    uint64_t function;
    uint64_t x, y;    // the arguments' bit patterns
    uint64_t result;  // the result's bit pattern
};

inline uint64_t bits(double x)
{
    uint64_t b;
    memcpy(&b, &x, sizeof b);
    return b;
}

inline double from_bits(uint64_t b)
{
    double x;
    memcpy(&x, &b, sizeof x);
    return x;
}

bool write_math_calls(const std::string& path, const std::vector<MathCall>& calls);
bool read_math_calls(const std::string& path, std::vector<MathCall>& calls);

}  // namespace zelcases

#endif
