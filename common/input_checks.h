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

// How an input is read.
enum InputKind {
    kDoubleArray,   // real double array read at computed indices
    kDoubleScalar,  // real double, first element only
    kDoubleTable,   // real double profile table of 1..65535 elements
    kIndexMap,      // uint16 array read element by element
    kUint16Scalar,  // uint16, first element only
    kUnused         // accepted whatever it is, never read
};

struct InputRole {
    const char* name;
    InputKind kind;
};

// What a gateway knows of its call, for checking and for error messages.
struct Call {
    const char* kernel;
    const InputRole* roles;
    const mxArray* const* prhs;
};

[[noreturn]] inline void raise_error(const Call& call, const char* mnemonic, const char* format, ...)
    __attribute__((format(ZEL_PRINTF_FORMAT, 3, 4)));

inline void raise_error(const Call& call, const char* mnemonic, const char* format, ...)
{
    // The host names the function itself ("Error using NAME" in MATLAB,
    // "NAME: " in Octave), so the message does not; the identifier does.
    char identifier[96];
    char message[512];
    snprintf(identifier, sizeof identifier, "%s:%s", call.kernel, mnemonic);
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    mexErrMsgIdAndTxt(identifier, "%s", message);
    __builtin_unreachable();
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

inline void require_class(const Call& call, int slot)
{
    const InputRole& role = call.roles[slot];
    const mxArray* array = input(call, slot);
    const bool wants_double = role.kind == kDoubleArray || role.kind == kDoubleScalar ||
                              role.kind == kDoubleTable;
    const mxClassID wanted = wants_double ? mxDOUBLE_CLASS : mxUINT16_CLASS;
    if (mxGetClassID(array) == wanted && !mxIsComplex(array) && !mxIsSparse(array)) return;
    char found[64];
    describe(array, found, sizeof found);
    if (wants_double)
        raise_error(call, kInvalidClass, "input %d (%s) must be a real, non-sparse double array; found %s.",
                    slot + 1, role.name, found);
    // A double 1 would be read as 16 bits (0), so a scalar says how to pass it.
    if (role.kind == kUint16Scalar)
        raise_error(call, kInvalidClass, "input %d (%s) must be a real uint16 value: pass it as uint16(value); found %s.",
                    slot + 1, role.name, found);
    raise_error(call, kInvalidClass, "input %d (%s) must be a real uint16 array; found %s.", slot + 1, role.name,
                found);
}

// Class, complexity and sparsity of every input, and the element counts that
// the kind of input implies.
inline void check_inputs(const Call& call, int input_count)
{
    for (int slot = 0; slot < input_count; ++slot) {
        const InputKind kind = call.roles[slot].kind;
        if (kind == kUnused) continue;
        require_class(call, slot);
        const size_t count = mxGetNumberOfElements(input(call, slot));
        if ((kind == kDoubleScalar || kind == kUint16Scalar) && count == 0)
            raise_error(call, kEmptyInput, "input %d (%s) is empty; its first element is read.", slot + 1,
                        call.roles[slot].name);
        if (kind == kDoubleTable && (count == 0 || count > 65535))
            raise_error(call, kInvalidTableLength, "input %d (%s) must hold 1 to 65535 elements; found %zu.",
                        slot + 1, call.roles[slot].name, count);
    }
}

// Sizes no 16-bit loop can pass, or offsets beyond 31 bits, are rejected:
// a 16-bit hold would silently shrink the output.
inline void require_size_limits(const Call& call, int slot, int size_count)
{
    const mxArray* array = input(call, slot);
    static const char* const size_names[4] = {"rows", "columns", "orientations", "scales"};
    double elements = 1.0;
    for (int k = 0; k < size_count; ++k) {
        const mwSize size = host_size(array, k);
        if (size >= 65535)
            raise_error(call, kTooLarge, "input %d (%s) has %zu %s; at most 65534 are supported.", slot + 1,
                        call.roles[slot].name, size_t(size), size_names[k]);
        elements *= double(size);
    }
    if (elements > 2147483648.0)
        raise_error(call, kTooLarge, "input %d (%s) has %.0f elements; at most 2^31 are supported.", slot + 1,
                    call.roles[slot].name, elements);
    // A zero among the sizes past those read empties the array, which then
    // holds none of the elements the leading sizes address.
    const size_t count = mxGetNumberOfElements(array);
    if (double(count) < elements)
        raise_error(call, kTooFewElements, "input %d (%s) holds %zu elements, not the %.0f its first %d sizes address; a further size is 0.",
                    slot + 1, call.roles[slot].name, count, elements, size_count);
}

// The sizes of a response stack, after checking that they fit the holds.
inline StackShape read_stack_shape(const Call& call, int slot)
{
    require_size_limits(call, slot, 4);
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
    const mxArray* array = input(call, slot);
    return StackShape{uint16_t(host_size(array, 0)), uint16_t(host_size(array, 1)), 1, 1};
}

inline void require_elements(const Call& call, int slot, size_t needed, const char* what)
{
    const size_t count = mxGetNumberOfElements(input(call, slot));
    if (count < needed)
        raise_error(call, kTooFewElements, "input %d (%s) must hold at least %zu elements (%s); found %zu.",
                    slot + 1, call.roles[slot].name, needed, what, count);
}

// A per-pixel input: at least rows x cols elements, any shape.
inline void require_pixel_map(const Call& call, int slot, const StackShape& shape)
{
    require_elements(call, slot, size_t(pixel_count(shape)), "rows x cols of the response stack");
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

// Every value of an index map among its first rows x cols elements lies in
// 1..count; the first that does not is reported with its pixel.
inline void require_indices(const Call& call, int slot, const StackShape& shape, uint16_t count,
                            const char* count_name)
{
    const uint16_t* map = static_cast<const uint16_t*>(mxGetData(input(call, slot)));
    const ptrdiff_t pixels = pixel_count(shape);
    // v - 1 wraps 0 to 65535, which no count reaches.
    unsigned out_of_range = 0;
    for (ptrdiff_t p = 0; p < pixels; ++p) out_of_range |= uint16_t(map[p] - 1) >= count;
    if (!out_of_range) return;
    ptrdiff_t p = 0;
    while (uint16_t(map[p] - 1) < count) ++p;
    raise_error(call, kIndexOutOfRange, "input %d (%s) holds %u at pixel (%td, %td); expected a value in 1..%u (the %s).",
                slot + 1, call.roles[slot].name, unsigned(map[p]), p % shape.rows + 1, p / shape.rows + 1,
                unsigned(count), count_name);
}

// An orientation and a scale index map of a stack: each with rows x cols
// elements, holding values in 1..orientation count and 1..scale count.
inline void require_index_maps(const Call& call, int orientation_slot, int scale_slot, const StackShape& shape)
{
    require_pixel_map(call, orientation_slot, shape);
    require_pixel_map(call, scale_slot, shape);
    require_indices(call, orientation_slot, shape, shape.orientations, "orientation count");
    require_indices(call, scale_slot, shape, shape.scales, "scale count");
}

}  // namespace
}  // namespace zel

#endif
