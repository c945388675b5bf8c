// How a string of bytes describes one MEX call of one kernel: shared by the
// fuzz target, which decodes bytes into a call, and the seed writer, which
// encodes valid calls. Every byte string decodes to some call; bytes that run
// out read as the benign defaults below.
//
//   kernel selector   byte % kKernelCount, an index into kKernels (ignored when the
//                     fuzz target is fixed to one kernel; the six maps keep
//                     their selectors 0..5)
//   nlhs              byte % 4
//   input count       the kernel's own below 224, else own + (byte % 5) - 2,
//                     or byte % (own + 3) for a kernel with optional inputs
//   base sizes        rows, cols, orientations, scales: one size code each;
//                     then a fifth size code for the stacks
//   every input       class code, shape code (+ its bytes), length or word
//                     code for a profile table, an orders vector or a text of
//                     natural shape, then one value code per element of a
//                     backed array
//
// A filter bank call is then cut to a bounded amount of work (see
// kMaxFilterWork below), so that every call stays fast under the sanitizers.
#ifndef ZEL_FUZZ_CALL_ENCODING_H
#define ZEL_FUZZ_CALL_ENCODING_H

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "zel_kernel_list.h"

namespace zelfuzz {

// What an input is to its kernel, which gives its natural class and shape.
enum Role : uint8_t {
    kStack,           // rows x cols x orientations x scales (x fifth size unless 1), double
    kSecondStack,     // the size of the stack, double
    kOrientationMap,  // rows x cols, uint16
    kScaleMap,        // rows x cols, uint16
    kPixelMap,        // rows x cols, double
    kAngleMap,        // rows x cols, double: the curvature kernel's one input
    kDoubleScalar,    // 1 x 1 double
    kUint16Scalar,    // 1 x 1 uint16
    kProfileTable,    // 1 x n double, n from its own length code
    kScaleTable,      // orientations x scales, double
    kAnyArray,        // not read: rows x cols uint16; also inputs past the arity
    kImage,           // rows x cols, double; other classes from kImageClasses
    kScaleVector,     // 1 x scales, double: filter scales, ascending by default
    kOrientationCount,  // 1 x 1 double
    kOrdersVector,    // 1 x n double, n from its own length code
    kPrecisionText    // 1 x n char, a word from its own word code
};

// What a kernel returns when it succeeds.
enum OutputKind : uint8_t {
    kMaps,         // real double rows x cols maps
    kStacks,       // rows x cols x nO x numel(scales) stacks, double or single
    kIndexMaps     // uint16 rows x cols maps of indices into the stack's orientations and scales
};

struct KernelLayout {
    const char* name;
    int inputs;
    const char* arity_message;
    int outputs;     // slots filled when the host offers them
    int sizes_read;  // leading sizes of input 1 that the kernel holds in 16 bits
    Role roles[10];
    int required_inputs = 0;  // fewer than inputs when the last ones are optional; 0: all required
    OutputKind output_kind = kMaps;

    int least_inputs() const { return required_inputs ? required_inputs : inputs; }
};

// The kernels of the kernel list (kernels/kernels.txt), in its order: the
// selectors of the seeds depend on it.
constexpr int kKernelCount = ZEL_KERNEL_COUNT;
constexpr KernelLayout kKernels[kKernelCount] = {
    {"ZELgetBlobMap", 10, "Ten input arguments required.", 1, 4,
     {kStack, kSecondStack, kOrientationMap, kAnyArray, kDoubleScalar, kProfileTable, kDoubleScalar, kPixelMap,
      kScaleTable, kPixelMap}},
    {"ZELgetRidgeMap", 10, "Ten input arguments required.", 1, 4,
     {kStack, kSecondStack, kOrientationMap, kAnyArray, kDoubleScalar, kProfileTable, kDoubleScalar, kPixelMap,
      kScaleTable, kPixelMap}},
    {"ZELgetEdgeMap", 6, "Six input arguments required.", 1, 4,
     {kStack, kSecondStack, kOrientationMap, kScaleMap, kDoubleScalar, kDoubleScalar}},
    {"ZELgetHeightAndWidthMap", 7, "Seven input arguments required.", 2, 4,
     {kStack, kOrientationMap, kScaleMap, kProfileTable, kDoubleScalar, kScaleTable, kUint16Scalar}},
    {"ZELgetOrientationMap", 4, "Four input arguments required.", 1, 3,
     {kStack, kOrientationMap, kScaleMap, kUint16Scalar}},
    {"ZELgetCurvatureMap", 1, "One input arguments required.", 1, 2, {kAngleMap}},
    {"ZELgetResponseStack", 5, "Three to five input arguments required.", 2, 2,
     {kImage, kScaleVector, kOrientationCount, kOrdersVector, kPrecisionText}, 3, kStacks},
    {"ZELgetIndexMaps", 1, "One input arguments required.", 2, 4, {kStack}, 0, kIndexMaps},
};

constexpr bool same_text(const char* a, const char* b)
{
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}
constexpr bool layouts_follow_the_list()
{
    constexpr const char* listed[] = {ZEL_KERNEL_NAMES};
    for (int k = 0; k < kKernelCount; ++k)
        if (!same_text(listed[k], kKernels[k].name)) return false;
    return true;
}
static_assert(layouts_follow_the_list(), "kKernels must name the kernels of kernels/kernels.txt in its order");
constexpr int kFilterBank = 6;
constexpr int kIndexMapKernel = 7;

// Backed arrays hold at most kMaxBackedElements elements, or, in a call whose
// base rows and cols make at most two pixels, kMaxDeepElements, so that such
// an image can have 65534 orientations or scales; larger sizes are cut down.
constexpr uint64_t kMaxBackedElements = 1u << 14;
constexpr uint64_t kMaxDeepElements = 2 * 65534;
// An image holds at most this many elements whatever its base sizes.
constexpr uint64_t kMaxImageElements = 256;

// Input count: the kernel's own unless the code is at least this.
constexpr uint8_t kOtherInputCount = 224;

// Size codes (base sizes, explicit dimensions): code % 8 below 240, else
// kLargeSizes[code - 240].
constexpr uint8_t kLargeSizeCode = 240;
constexpr uint64_t kLargeSizes[16] = {8, 9, 16, 17, 31, 32, 64, 100, 127, 128, 255, 256, 257, 1000, 4096, 65534};

// The stacks' fifth size code: 1 below this, else (code - kFifthSizeCode) % 8,
// so that a stack of five dimensions is one byte away from any call.
constexpr uint8_t kFifthSizeCode = 224;

// Class codes: below 128 the role's own class, else kOtherClasses[(code - 128) % 10],
// or for an image kImageClasses[(code - 128) % 14].
constexpr uint8_t kOtherClassCode = 128;
enum ClassChoice : uint8_t {
    kDouble, kUint16, kSingle, kInt32, kLogical, kComplexDouble, kSparseDouble, kComplexUint16, kChar, kInt16,
    kUint8, kInt8, kComplexSingle, kUint32
};
constexpr int kOtherClassCount = 10;
// The image's classes: the five it may have first, then others.
constexpr ClassChoice kImageClasses[14] = {kDouble, kSingle, kUint8, kUint16, kLogical, kInt32, kComplexDouble,
                                           kSparseDouble, kChar, kInt16, kInt8, kComplexUint16, kComplexSingle,
                                           kUint32};
constexpr int kImageClassCount = 14;

// Shape codes.
constexpr uint8_t kPerturbedShape = 128;  // 128..175: one of the first five sizes one up (odd) or down (even),
                                          // the size ((code - 128) / 10)
constexpr uint8_t kExplicitShape = 176;   // 176..207: a byte for 2 + byte % 4 dimensions, then a size code each
constexpr uint8_t kEmptyShape = 208;      // 208..223: 0 x 0
constexpr uint8_t kHugeShape = 224;       // 224..255: input 1 only; no elements behind it, one huge-size code
                                          // per dimension (four), then made certain to be rejected
constexpr uint64_t kHugeSizes[16] = {65534, 65535, 65536, 70000, 1u << 20, 1ull << 31, 1ull << 32, (1ull << 32) + 1,
                                     1ull << 40, 0, 1, 2, 7, 46341, 46342, 32768};

// Profile table length codes: 1 + code % 16 below 250, else kLongTables[code - 250].
constexpr uint8_t kLongTableCode = 250;
constexpr uint64_t kLongTables[6] = {0, 65535, 65536, 1000, 255, 256};

// Orders vector length codes: code % 4.
constexpr int kOrdersLengths = 4;

// Word codes of a text: kWords[code % 8]; a char element past the word's end
// reads the two bytes that follow (little-endian).
constexpr int kWordCount = 8;
constexpr const char* kWords[kWordCount] = {"double", "single", "Single", "DOUBLE", "singles", "doubl", "", "int8"};

// Double value codes: kDoubleSpecials below 16, (code - 135) / 4 up to 254,
// and 255 for the eight bytes of a double that follow (little-endian).
constexpr uint8_t kRawValue = 255;
const double kDoubleSpecials[16] = {+0.0, -0.0, 1.0, -1.0,
                                    std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
                                    std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                    0.5, 2.0, DBL_MAX, std::numeric_limits<double>::denorm_min(), 90.0, 180.0, -90.0, 1e300};
constexpr double kDefaultDouble = 1.0;
inline double small_double(uint8_t code) { return (double(code) - 135.0) / 4.0; }
// Element k of a filter scale vector whose bytes ran out: ascending, and
// each below 0.1875 (a kernel radius of 1).
inline double default_scale(uint64_t k) { return 0.125 + double(k) / 1048576.0; }

// The image, the scale vector and the orientation count of the filter bank
// read their single elements as value codes too, each double rounded to
// single; single elements of other roles are four raw bytes.

// A filter bank call's work is bounded, so that it takes a few milliseconds
// at most under the sanitizers. The work of a scale is kScaleWork (each
// scale makes its kernels and runs its passes, with their buffers on the
// stack, whatever the image) plus (2 r + 1) x (rows + 32) x (cols + 1), with
// r = ceil(4 sigma) the kernel radius (the passes work on vectors of up to
// 32 rows). Counting from the first scale up to the first that the kernel
// rejects, the scale vector is cut, into a 1 x n row of its class, before
// the first scale that takes the work past kMaxFilterWork or the stacks past
// kMaxBackedElements (kMaxDeepElements for an image of at most two pixels,
// which may have 65534 orientations); then a whole orientation count in
// 1..65534 is cut to the largest that keeps the stacks within that limit.
constexpr uint64_t kMaxFilterWork = 1u << 18;
constexpr uint64_t kScaleWork = 1u << 14;

// uint16 value codes: code % 16 below 224, kUint16Specials[(code - 224) % 16]
// up to 254, and 255 for the two bytes that follow (little-endian).
constexpr uint8_t kUint16SpecialCode = 224;
constexpr uint16_t kUint16Specials[16] = {65535, 65534, 65533, 32768, 32767, 256, 255, 257,
                                          1000, 4096, 16, 17, 31, 32, 63, 64};
constexpr uint16_t kDefaultUint16 = 1;

}  // namespace zelfuzz

#endif
