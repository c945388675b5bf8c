// Checks of the caller's contract, shared by all kernels.
//
// A call that breaks the contract ends here, before any output is created,
// through mexErrMsgIdAndTxt with the identifier KERNEL:mnemonic and a message
// that names the input by position and role, and what was expected and found.
// Nothing outside an input is read to find out.
#ifndef ZEL_INPUT_CHECKS_H
#define ZEL_INPUT_CHECKS_H

#include "mex_frame.h"
#include "platform/printf_format.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace zel {
namespace {

// The one table of error mnemonics.
constexpr const char* kInvalidClass = "invalidClass";             // class, complexity or sparsity
constexpr const char* kEmptyInput = "emptyInput";                 // a scalar input with no element
constexpr const char* kInvalidTableLength = "invalidTableLength"; // a profile table outside 1..65535
constexpr const char* kTooFewElements = "tooFewElements";         // a map or table too small to index
constexpr const char* kSizeMismatch = "sizeMismatch";             // a second stack of another size
constexpr const char* kIndexOutOfRange = "indexOutOfRange";       // an index map value outside its range
constexpr const char* kTooLarge = "tooLarge";                     // sizes beyond the 16- and 32-bit holds
constexpr const char* kTooManyOutputs = "tooManyOutputs";         // more outputs asked for than there are
constexpr const char* kInvalidShape = "invalidShape";             // an image that is not 2-D
constexpr const char* kInvalidScale = "invalidScale";             // a filter scale that is not a number in range
constexpr const char* kScalesNotAscending = "scalesNotAscending"; // filter scales out of ascending order
constexpr const char* kInvalidOrientationCount = "invalidOrientationCount";  // not a whole number in 1..65534
constexpr const char* kInvalidOrders = "invalidOrders";           // derivative orders other than 1 and 2
constexpr const char* kInvalidPrecision = "invalidPrecision";     // a precision other than 'double' or 'single'
// The shared warning: a shape that meets the contract but is probably a
// mistake. A kernel may name warnings of its own.
constexpr const char* kSuspiciousShape = "suspiciousShape";

// How an input is read. Real inputs may be double or single; index maps
// uint16, or double holding whole numbers.
enum InputKind {
    kDoubleArray,   // real array read at computed indices
    kDoubleScalar,  // real, first element only
    kDoubleTable,   // real profile table of 1..65535 elements
    kIndexMap,      // index map read element by element
    kUint16Scalar,  // uint16, first element only
    kImageArray,    // an image: double, single, uint8, uint16 or logical
    kText,          // a char array
    kUnused         // accepted whatever it is, never read
};

struct InputRole {
    const char* name;
    InputKind kind;
};

// What a gateway knows of its function: its name, its inputs in order and
// how many outputs it has.
struct Signature {
    const char* kernel;
    const InputRole* roles;
    int inputs;
    int outputs;
    const char* arity_message;  // "Six input arguments required."
    int required_inputs = -1;   // fewer than inputs when the last ones are optional
};

// What a gateway knows of its call, for checking and for error messages,
// and the warnings it has given: each identifier once per call.
constexpr int kMaxWarnings = 4;
struct Call {
    const char* kernel;
    const InputRole* roles;
    const mxArray* const* prhs;
    mutable const char* warned[kMaxWarnings] = {};
    mutable int warned_count = 0;
};

// The host names the function itself ("Error using NAME" in MATLAB, "NAME: "
// in Octave), so messages do not; the identifier KERNEL:mnemonic does.
struct Report {
    char identifier[96];
    char message[512];
};

inline void format_report(Report& report, const Call& call, const char* mnemonic, const char* format, va_list args)
{
    snprintf(report.identifier, sizeof report.identifier, "%s:%s", call.kernel, mnemonic);
    vsnprintf(report.message, sizeof report.message, format, args);
}

[[noreturn]] inline void raise_error(const Call& call, const char* mnemonic, const char* format, ...)
    __attribute__((format(ZEL_PRINTF_FORMAT, 3, 4)));

inline void raise_error(const Call& call, const char* mnemonic, const char* format, ...)
{
    Report report;
    va_list args;
    va_start(args, format);
    format_report(report, call, mnemonic, format, args);
    va_end(args);
    mexErrMsgIdAndTxt(report.identifier, "%s", report.message);
    __builtin_unreachable();
}

// A warning lets the call go on; the user can silence it by its identifier.
// A call gives each identifier once, the first time its cause is found.
inline void warn(const Call& call, const char* mnemonic, const char* format, ...)
    __attribute__((format(ZEL_PRINTF_FORMAT, 3, 4)));

inline void warn(const Call& call, const char* mnemonic, const char* format, ...)
{
    for (int k = 0; k < call.warned_count; ++k)
        if (strcmp(call.warned[k], mnemonic) == 0) return;
    if (call.warned_count < kMaxWarnings) call.warned[call.warned_count++] = mnemonic;
    Report report;
    va_list args;
    va_start(args, format);
    format_report(report, call, mnemonic, format, args);
    va_end(args);
    mexWarnMsgIdAndTxt(report.identifier, "%s", report.message);
}

// "1 element", "2 elements".
inline const char* plural(size_t count) { return count == 1 ? "" : "s"; }

// A value as a message shows it: NaN, Inf and -Inf as MATLAB and Octave
// write them (printf would give nan and inf), any other value with the
// fewest digits that read back as the same double (0.1, 2.5,
// 1.0000000000000002; -0 keeps its sign), and an exponent only for
// magnitudes below 1e-4 or from 1e15 on (10, not 1e+01).
struct ValueText {
    char text[32];
};

inline ValueText value_text(double value)
{
    ValueText out;
    if (__builtin_isnan(value)) {
        snprintf(out.text, sizeof out.text, "NaN");
    } else if (__builtin_isinf(value)) {
        snprintf(out.text, sizeof out.text, "%sInf", value < 0 ? "-" : "");
    } else {
        const double magnitude = __builtin_fabs(value);
        const bool plain = magnitude == 0.0 || (magnitude >= 1e-4 && magnitude < 1e15);
        for (int digits = 1; digits <= 17; ++digits) {
            snprintf(out.text, sizeof out.text, "%.*g", digits, value);
            if (strtod(out.text, nullptr) == value && !(plain && strchr(out.text, 'e'))) break;
        }
    }
    return out;
}

inline const char* class_name(mxClassID id)
{
    switch (id) {
    case mxCELL_CLASS: return "cell";
    case mxSTRUCT_CLASS: return "struct";
    case mxLOGICAL_CLASS: return "logical";
    case mxCHAR_CLASS: return "char";
    case mxDOUBLE_CLASS: return "double";
    case mxSINGLE_CLASS: return "single";
    case mxINT8_CLASS: return "int8";
    case mxUINT8_CLASS: return "uint8";
    case mxINT16_CLASS: return "int16";
    case mxUINT16_CLASS: return "uint16";
    case mxINT32_CLASS: return "int32";
    case mxUINT32_CLASS: return "uint32";
    case mxINT64_CLASS: return "int64";
    case mxUINT64_CLASS: return "uint64";
    case mxFUNCTION_CLASS: return "function_handle";
    default: return "unknown";
    }
}

inline const mxArray* input(const Call& call, int slot) { return call.prhs[slot]; }

// "a complex sparse double array", "an int32 array", ...
inline void describe(const mxArray* array, char* text, size_t size)
{
    const char* complexity = mxIsComplex(array) ? "complex " : "";
    const char* sparsity = mxIsSparse(array) ? "sparse " : "";
    const char* name = class_name(mxGetClassID(array));
    const char first = *complexity ? 'c' : *sparsity ? 's' : name[0];
    const bool an = first == 'a' || first == 'e' || first == 'i' || first == 'o';  // "a uint16"
    snprintf(text, size, "%s %s%s%s array", an ? "an" : "a", complexity, sparsity, name);
}

inline bool real_and_full(const mxArray* array) { return !mxIsComplex(array) && !mxIsSparse(array); }

inline void require_class(const Call& call, int slot)
{
    const InputRole& role = call.roles[slot];
    const mxArray* array = input(call, slot);
    const mxClassID id = mxGetClassID(array);
    const bool real_kind = role.kind == kDoubleArray || role.kind == kDoubleScalar || role.kind == kDoubleTable;
    const bool accepted = real_kind                  ? id == mxDOUBLE_CLASS || id == mxSINGLE_CLASS
                          : role.kind == kIndexMap   ? id == mxUINT16_CLASS || id == mxDOUBLE_CLASS
                          : role.kind == kImageArray ? id == mxDOUBLE_CLASS || id == mxSINGLE_CLASS ||
                                                           id == mxUINT8_CLASS || id == mxUINT16_CLASS ||
                                                           id == mxLOGICAL_CLASS
                          : role.kind == kText       ? id == mxCHAR_CLASS
                                                     : id == mxUINT16_CLASS;
    if (accepted && real_and_full(array)) return;
    char found[64];
    describe(array, found, sizeof found);
    if (real_kind)
        raise_error(call, kInvalidClass, "input %d (%s) must be a real, non-sparse double or single array; found %s.",
                    slot + 1, role.name, found);
    if (role.kind == kImageArray)
        raise_error(call, kInvalidClass,
                    "input %d (%s) must be a real, non-sparse double, single, uint8, uint16 or logical array; found %s.",
                    slot + 1, role.name, found);
    if (role.kind == kText)
        raise_error(call, kInvalidClass, "input %d (%s) must be text (a char array); found %s.", slot + 1, role.name,
                    found);
    if (role.kind == kIndexMap)
        raise_error(call, kInvalidClass,
                    "input %d (%s) must be a real uint16 array, or a double array of whole numbers: pass it as uint16(map); found %s.",
                    slot + 1, role.name, found);
    // A double 1 would be read as 16 bits (0), so a scalar says how to pass it.
    raise_error(call, kInvalidClass, "input %d (%s) must be a real uint16 value: pass it as uint16(value); found %s.",
                slot + 1, role.name, found);
}

inline void describe_sizes(const mxArray* array, char* text, size_t size);

// A scalar input: its first element is the value, so it needs one; more
// are read past, which a vector or matrix given in its place (ones(16) for
// c) most likely did not mean.
inline void require_scalar(const Call& call, int slot)
{
    const mxArray* array = input(call, slot);
    const size_t count = mxGetNumberOfElements(array);
    if (count == 0)
        raise_error(call, kEmptyInput, "input %d (%s) has no element: its first element is its value, so the call ends here.",
                    slot + 1, call.roles[slot].name);
    if (count == 1) return;
    char sizes[160];
    describe_sizes(array, sizes, sizeof sizes);
    const double first = mxGetClassID(array) == mxUINT16_CLASS ? double(static_cast<const uint16_t*>(mxGetData(array))[0])
                         : mxGetClassID(array) == mxSINGLE_CLASS ? double(static_cast<const float*>(mxGetData(array))[0])
                                                                 : static_cast<const double*>(mxGetData(array))[0];
    warn(call, kSuspiciousShape, "input %d (%s) is %s, not a scalar; only its first element, %s, is read.", slot + 1,
         call.roles[slot].name, sizes, value_text(first).text);
}

// Class, complexity and sparsity of every input, and one element in every
// scalar.
inline void check_inputs(const Call& call, int input_count)
{
    for (int slot = 0; slot < input_count; ++slot) {
        const InputKind kind = call.roles[slot].kind;
        if (kind == kUnused) continue;
        require_class(call, slot);
        if (kind == kDoubleScalar || kind == kUint16Scalar) require_scalar(call, slot);
    }
}

// The checks every call starts with: the input count first of all (with the
// function's fixed message and no identifier), the output count, then the
// classes.
inline Call begin_call(const Signature& signature, int nlhs, int nrhs, const mxArray* prhs[])
{
    const int required = signature.required_inputs < 0 ? signature.inputs : signature.required_inputs;
    if (nrhs < required || nrhs > signature.inputs) mexErrMsgTxt(signature.arity_message);
    const Call call = {signature.kernel, signature.roles, prhs};
    if (nlhs > signature.outputs)
        raise_error(call, kTooManyOutputs, "%d outputs were requested; there %s only %d.", nlhs,
                    signature.outputs == 1 ? "is" : "are", signature.outputs);
    check_inputs(call, nrhs);
    return call;
}

// A number as a message prints it: NaN, Inf and -Inf by those names, others
// with all the digits a double needs.
struct NumberText {
    char text[32];
};
inline NumberText number_text(double x)
{
    NumberText n;
    if (x != x)
        snprintf(n.text, sizeof n.text, "NaN");
    else if (x == __builtin_inf() || x == -__builtin_inf())
        snprintf(n.text, sizeof n.text, "%sInf", x < 0 ? "-" : "");
    else
        snprintf(n.text, sizeof n.text, "%.17g", x);
    return n;
}

// "3 x 4 x 1 x 2".
inline void describe_sizes(const mxArray* array, char* text, size_t size)
{
    const mwSize dims = mxGetNumberOfDimensions(array);
    size_t used = 0;
    for (mwSize k = 0; k < dims && used < size; ++k)
        used += size_t(snprintf(text + used, size - used, k ? " x %zu" : "%zu", size_t(mxGetDimensions(array)[k])));
}

// More dimensions than are read: the rest of the array is never looked at.
inline void expect_dimensions(const Call& call, int slot, int read, const char* what)
{
    const mxArray* array = input(call, slot);
    if (mxGetNumberOfDimensions(array) <= mwSize(read)) return;
    char sizes[160];
    describe_sizes(array, sizes, sizeof sizes);
    warn(call, kSuspiciousShape, "input %d (%s) is %s; only its first %s are read.", slot + 1,
         call.roles[slot].name, sizes, what);
}

// Sizes no 16-bit loop can pass, or offsets beyond 31 bits, are rejected:
// a 16-bit hold would silently shrink the output. So is an array emptied by
// a zero size past those read, which holds none of the elements its leading
// sizes address.
inline void require_size_limits(const Call& call, int slot, int size_count)
{
    const mxArray* array = input(call, slot);
    static const char* const size_names[4] = {"rows", "columns", "orientations", "scales"};
    double elements = 1.0;
    for (int k = 0; k < size_count; ++k) elements *= double(host_size(array, k));
    if (elements > 0.0 && mxGetNumberOfElements(array) == 0) {
        mwSize k = mwSize(size_count);
        while (host_size(array, k) != 0) ++k;
        raise_error(call, kTooFewElements, "input %d (%s) is empty: its size %zu is 0, so it holds none of the %.0f elements its first %d sizes address.",
                    slot + 1, call.roles[slot].name, size_t(k + 1), elements, size_count);
    }
    for (int k = 0; k < size_count; ++k) {
        const mwSize size = host_size(array, k);
        if (size >= 65535)
            raise_error(call, kTooLarge, "input %d (%s) has %zu %s; at most 65534 are supported.", slot + 1,
                        call.roles[slot].name, size_t(size), size_names[k]);
    }
    if (elements > 2147483648.0)
        raise_error(call, kTooLarge, "input %d (%s) has %.0f elements; at most 2^31 are supported.", slot + 1,
                    call.roles[slot].name, elements);
}

// The sizes of a response stack, after checking that they fit the holds.
inline StackShape read_stack_shape(const Call& call, int slot)
{
    require_size_limits(call, slot, 4);
    expect_dimensions(call, slot, 4, "rows x cols x orientations x scales elements");
    const mxArray* array = input(call, slot);
    return StackShape{uint16_t(host_size(array, 0)), uint16_t(host_size(array, 1)),
                      uint16_t(host_size(array, 2)), uint16_t(host_size(array, 3))};
}

// The sizes of a 2-D map, its first two, after checking that they fit the
// holds; further dimensions are accepted and never read. As a shape of one
// orientation and one scale it serves the frame's helpers.
inline StackShape read_map_shape(const Call& call, int slot)
{
    require_size_limits(call, slot, 2);
    expect_dimensions(call, slot, 2, "rows x cols elements");
    const mxArray* array = input(call, slot);
    return StackShape{uint16_t(host_size(array, 0)), uint16_t(host_size(array, 1)), 1, 1};
}

inline void require_elements(const Call& call, int slot, size_t needed, const char* what)
{
    const size_t count = mxGetNumberOfElements(input(call, slot));
    if (count < needed)
        raise_error(call, kTooFewElements, "input %d (%s) must hold at least %zu element%s (%s); found %zu.",
                    slot + 1, call.roles[slot].name, needed, plural(needed), what, count);
}

// Exactly rows x cols (trailing singleton sizes aside), or a vector of
// exactly size elements: any other shape with enough elements is read in
// column order all the same, and is most likely transposed or carries sizes
// of another array.
inline bool has_shape_or_is_vector(const mxArray* array, mwSize rows, mwSize cols)
{
    const mwSize count = mxGetNumberOfElements(array);
    if (mxGetNumberOfDimensions(array) == 2 && (host_size(array, 0) == 1 || host_size(array, 1) == 1) &&
        count == rows * cols)
        return true;
    for (mwSize k = 0; k < mxGetNumberOfDimensions(array); ++k)
        if (host_size(array, k) != (k == 0 ? rows : k == 1 ? cols : 1)) return false;
    return true;
}

inline void expect_shape(const Call& call, int slot, mwSize rows, mwSize cols, const char* what)
{
    const mxArray* array = input(call, slot);
    if (has_shape_or_is_vector(array, rows, cols)) return;
    char sizes[160];
    describe_sizes(array, sizes, sizeof sizes);
    warn(call, kSuspiciousShape, "input %d (%s) is %s, not %zu x %zu (%s); its first %zu element%s are read in column order.",
         slot + 1, call.roles[slot].name, sizes, size_t(rows), size_t(cols), what, size_t(rows * cols),
         plural(size_t(rows * cols)));
}

// A per-pixel input: at least rows x cols elements, of that shape.
inline void require_pixel_map(const Call& call, int slot, const StackShape& shape)
{
    require_elements(call, slot, size_t(pixel_count(shape)), "rows x cols of the response stack");
    if (pixel_count(shape) > 0) expect_shape(call, slot, shape.rows, shape.cols, "rows x cols of the response stack");
}

// The tables are read only by pixels, and only at a scale.
inline bool tables_read(const StackShape& shape) { return pixel_count(shape) > 0 && shape.scales > 0; }

// A scale table: T(o, s) for every orientation and scale of the stack,
// orientations down its columns.
inline void require_scale_table(const Call& call, int slot, const StackShape& shape)
{
    if (!tables_read(shape)) return;
    require_elements(call, slot, size_t(shape.orientations) * shape.scales, "orientations x scales of the response stack");
    expect_shape(call, slot, shape.orientations, shape.scales, "orientations x scales of the response stack");
}

// A profile table: its length is held in 16 bits.
inline void require_profile_table(const Call& call, int slot, const StackShape& shape)
{
    const size_t count = mxGetNumberOfElements(input(call, slot));
    if (tables_read(shape) && (count == 0 || count > 65535))
        raise_error(call, kInvalidTableLength, "input %d (%s) must hold 1 to 65535 elements; found %zu.", slot + 1,
                    call.roles[slot].name, count);
}

// The same sizes as another input, trailing singleton dimensions aside.
inline void require_same_size(const Call& call, int slot, int reference_slot)
{
    const mxArray* a = input(call, slot);
    const mxArray* b = input(call, reference_slot);
    const mwSize dims = mxGetNumberOfDimensions(a) > mxGetNumberOfDimensions(b) ? mxGetNumberOfDimensions(a)
                                                                                : mxGetNumberOfDimensions(b);
    for (mwSize k = 0; k < dims; ++k) {
        if (host_size(a, k) != host_size(b, k))
            raise_error(call, kSizeMismatch, "input %d (%s) must have the size of input %d (%s); dimension %zu is %zu, not %zu.",
                        slot + 1, call.roles[slot].name, reference_slot + 1, call.roles[reference_slot].name,
                        size_t(k + 1), size_t(host_size(a, k)), size_t(host_size(b, k)));
    }
}

// The first pixel, among the first rows x cols elements of an index map,
// whose value does not lie in 1..count, and that value; -1 when every one
// does. Each map class is scanned in a loop of its own, which the compiler
// can vectorise, and searched again only when something is out of range.
inline ptrdiff_t first_index_out_of_range(const uint16_t* map, ptrdiff_t pixels, uint16_t count)
{
    // v - 1 wraps 0 to 65535, which no count reaches.
    unsigned out_of_range = 0;
    for (ptrdiff_t p = 0; p < pixels; ++p) out_of_range |= uint16_t(map[p] - 1) >= count;
    if (!out_of_range) return -1;
    ptrdiff_t p = 0;
    while (uint16_t(map[p] - 1) < count) ++p;
    return p;
}

// A double index is a whole number in 1..count; NaN fails every comparison.
inline bool valid_index(double v, uint16_t count) { return v >= 1.0 && v <= count && double(int32_t(v)) == v; }

inline ptrdiff_t first_index_out_of_range(const double* map, ptrdiff_t pixels, uint16_t count)
{
    unsigned out_of_range = 0;
    for (ptrdiff_t p = 0; p < pixels; ++p) out_of_range |= !(map[p] >= 1.0 && map[p] <= count);
    if (!out_of_range)  // in range, so the conversion to int32 is defined
        for (ptrdiff_t p = 0; p < pixels; ++p) out_of_range |= double(int32_t(map[p])) != map[p];
    if (!out_of_range) return -1;
    ptrdiff_t p = 0;
    while (valid_index(map[p], count)) ++p;
    return p;
}

// Every value of an index map among its first rows x cols elements lies in
// 1..count; the first that does not is reported with its pixel.
inline void require_indices(const Call& call, int slot, const StackShape& shape, uint16_t count,
                            const char* count_name)
{
    const mxArray* array = input(call, slot);
    const ptrdiff_t pixels = pixel_count(shape);
    double value;
    ptrdiff_t p;
    if (mxGetClassID(array) == mxDOUBLE_CLASS) {
        const double* map = static_cast<const double*>(mxGetData(array));
        p = first_index_out_of_range(map, pixels, count);
        value = p >= 0 ? map[p] : 0.0;
    } else {
        const uint16_t* map = static_cast<const uint16_t*>(mxGetData(array));
        p = first_index_out_of_range(map, pixels, count);
        value = p >= 0 ? map[p] : 0.0;
    }
    if (p < 0) return;
    const ptrdiff_t row = p % shape.rows + 1, column = p / shape.rows + 1;
    if (count == 0)  // nothing to select: the stack itself is empty along that dimension
        raise_error(call, kIndexOutOfRange, "input 1 (response stack) has no %s to select (its %s count is 0), yet input %d (%s) selects one at pixel (%td, %td).",
                    count_name, count_name, slot + 1, call.roles[slot].name, row, column);
    raise_error(call, kIndexOutOfRange, "input %d (%s) holds %s at pixel (%td, %td); expected a whole number in 1..%u (the %s count).",
                slot + 1, call.roles[slot].name, value_text(value).text, row, column, unsigned(count), count_name);
}

// An orientation and a scale index map of a stack: each with rows x cols
// elements, holding values in 1..orientation count and 1..scale count.
inline void require_index_maps(const Call& call, int orientation_slot, int scale_slot, const StackShape& shape)
{
    require_pixel_map(call, orientation_slot, shape);
    require_pixel_map(call, scale_slot, shape);
    require_indices(call, orientation_slot, shape, shape.orientations, "orientation");
    require_indices(call, scale_slot, shape, shape.scales, "scale");
}

}  // namespace
}  // namespace zel

#endif
