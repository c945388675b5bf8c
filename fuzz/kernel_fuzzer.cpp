// libFuzzer target: the fuzzer's bytes become one call of a kernel through
// the stand-in host (see call_encoding.h for how). Whatever the inputs, the
// call must either
//   - return, with output slot 0 (and slot 1 for the kernels with two
//     outputs when two are asked for) holding, rows and cols being the
//     first two sizes of input 1,
//       a real double rows x cols matrix (the six maps),
//       a real rows x cols x nO x numel(scales) stack of the class the
//       image and the precision ask for (the filter bank), or
//       a uint16 rows x cols matrix of indices in 1..nO, or 1..nS for the
//       second (the index maps),
//     and no other slot touched; or
//   - end in an error with a non-empty identifier and message and no output,
//     except for a wrong input count, which ends with the kernel's fixed
//     message and an empty identifier;
// it must leave every input byte as it was and no array behind, and the
// sanitizers must report nothing.
//
// Environment: ZEL_FUZZ_KERNEL=NAME fixes the kernel (else the first byte
// picks one of those built); ZEL_FUZZ_EXPECT_SUCCESS=1 also requires every
// call to return (for replaying the seed corpus, whose calls keep the
// contract); ZEL_MEX_DIR overrides where the MEX files are.

#include "call_encoding.h"

#include "mex_host.h"

#include <dlfcn.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace zelfuzz;

mexFunctionPointer g_entries[kKernelCount];
int g_fixed_kernel = -1;
bool g_expect_success = false;

// Bytes are taken from the front; past the end every read says so.
struct ByteReader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    bool exhausted() const { return at >= size; }
    uint8_t byte() { return exhausted() ? 0 : data[at++]; }
    void raw(void* out, size_t count)
    {
        unsigned char* bytes = static_cast<unsigned char*>(out);
        for (size_t k = 0; k < count; ++k) bytes[k] = byte();
    }
};

double read_double(ByteReader& in)
{
    if (in.exhausted()) return kDefaultDouble;
    const uint8_t code = in.byte();
    if (code < 16) return kDoubleSpecials[code];
    if (code < kRawValue) return small_double(code);
    double value;
    in.raw(&value, sizeof value);
    return value;
}

uint16_t read_uint16(ByteReader& in)
{
    if (in.exhausted()) return kDefaultUint16;
    const uint8_t code = in.byte();
    if (code < kUint16SpecialCode) return code % 16;
    if (code < kRawValue) return kUint16Specials[(code - kUint16SpecialCode) % 16];
    uint16_t value;
    in.raw(&value, sizeof value);
    return value;
}

uint64_t read_size(ByteReader& in)
{
    const uint8_t code = in.byte();
    return code < kLargeSizeCode ? code % 8 : kLargeSizes[code - kLargeSizeCode];
}

struct BaseSizes {
    uint64_t rows, cols, orientations, scales, fifth;
};

bool is_uint16_role(Role role) { return role == kOrientationMap || role == kScaleMap || role == kUint16Scalar || role == kAnyArray; }

// The filter bank's roles whose single elements are value codes.
bool reads_single_values(Role role) { return role == kImage || role == kScaleVector || role == kOrientationCount; }

// The natural shape of a role; word is set to the text of a text role.
std::vector<mwSize> natural_dims(Role role, const BaseSizes& base, ByteReader& in, const char*& word)
{
    switch (role) {
    case kStack:
    case kSecondStack:
        if (base.fifth != 1) return {base.rows, base.cols, base.orientations, base.scales, base.fifth};
        return {base.rows, base.cols, base.orientations, base.scales};
    case kDoubleScalar:
    case kUint16Scalar: return {1, 1};
    case kProfileTable: {
        const uint8_t code = in.byte();
        return {1, code < kLongTableCode ? 1u + code % 16 : kLongTables[code - kLongTableCode]};
    }
    case kScaleTable: return {base.orientations, base.scales};
    case kScaleVector: return {1, base.scales};
    case kOrientationCount: return {1, 1};
    case kOrdersVector: return {1, mwSize(in.byte() % kOrdersLengths)};
    case kPrecisionText:
        word = kWords[in.byte() % kWordCount];
        return {1, std::strlen(word)};
    default: return {base.rows, base.cols};
    }
}

bool product_overflows(const std::vector<mwSize>& dims)
{
    uint64_t product = 1;
    for (mwSize d : dims) {
        if (d != 0 && product > UINT64_MAX / d) return true;
        product *= d;
    }
    return false;
}

uint64_t product_of(const std::vector<mwSize>& dims)
{
    uint64_t product = 1;
    for (mwSize d : dims) product *= d;
    return product;
}

// A kernel must reject input 1 unread when one of the sizes it holds in 16
// bits is 65535 or more, or when they multiply to more than 2^31 elements.
bool certainly_rejected(const std::vector<mwSize>& dims, int sizes_read)
{
    long double elements = 1;
    for (int k = 0; k < sizes_read; ++k) {
        const mwSize size = size_t(k) < dims.size() ? dims[k] : 1;
        if (size >= 65535) return true;
        elements *= size;
    }
    return elements > 2147483648.0L;
}

// Sizes for an array with nothing behind it: made certain to be rejected
// before any element is read, and small enough for the host to count.
std::vector<mwSize> huge_dims(ByteReader& in, int sizes_read)
{
    std::vector<mwSize> dims(4);
    for (mwSize& d : dims) d = kHugeSizes[in.byte() % 16];
    for (;;) {
        if (!certainly_rejected(dims, sizes_read)) dims[0] = 65535;
        if (!product_overflows(dims)) return dims;
        for (size_t k = dims.size() - 1; k > 0; --k) {
            if (dims[k] > 1) {
                dims[k] = 1;
                break;
            }
        }
    }
}

void cut_to_backed_size(std::vector<mwSize>& dims, const BaseSizes& base, Role role)
{
    const uint64_t limit = role == kImage                  ? kMaxImageElements
                           : base.rows * base.cols <= 2 ? kMaxDeepElements
                                                        : kMaxBackedElements;
    for (size_t k = dims.size() - 1; k > 0 && (product_overflows(dims) || product_of(dims) > limit); --k)
        dims[k] = 1;
    if (product_of(dims) > limit) dims[0] = limit;
}

// One input as the fuzz target created it, with a copy of its bytes taken
// before the call.
struct FuzzInput {
    mxArray* array;
    size_t bytes;  // of real elements behind mxGetData
    std::vector<unsigned char> before;
};

size_t element_size(mxClassID id)
{
    switch (id) {
    case mxLOGICAL_CLASS: case mxINT8_CLASS: case mxUINT8_CLASS: return 1;
    case mxCHAR_CLASS: case mxINT16_CLASS: case mxUINT16_CLASS: return 2;
    case mxSINGLE_CLASS: case mxINT32_CLASS: case mxUINT32_CLASS: return 4;
    default: return 8;
    }
}

FuzzInput read_input(ByteReader& in, Role role, int slot, const BaseSizes& base, const KernelLayout& kernel)
{
    const uint8_t class_code = in.byte();
    ClassChoice choice = is_uint16_role(role) ? kUint16 : role == kPrecisionText ? kChar : kDouble;
    if (class_code >= kOtherClassCode)
        choice = role == kImage ? kImageClasses[(class_code - kOtherClassCode) % kImageClassCount]
                                : ClassChoice((class_code - kOtherClassCode) % kOtherClassCount);
    const mxClassID class_ids[] = {mxDOUBLE_CLASS, mxUINT16_CLASS, mxSINGLE_CLASS, mxINT32_CLASS, mxLOGICAL_CLASS,
                                   mxDOUBLE_CLASS, mxDOUBLE_CLASS, mxUINT16_CLASS, mxCHAR_CLASS,  mxINT16_CLASS,
                                   mxUINT8_CLASS,  mxINT8_CLASS,   mxSINGLE_CLASS, mxUINT32_CLASS};
    const mxClassID class_id = class_ids[choice];

    const uint8_t shape_code = in.byte();
    std::vector<mwSize> dims;
    const char* word = nullptr;
    if (shape_code >= kHugeShape && slot == 0) {
        dims = huge_dims(in, kernel.sizes_read);
        return {mxHostCreateUnbackedArray(dims.size(), dims.data(), class_id), 0, {}};
    }
    if (shape_code < kPerturbedShape || shape_code >= kHugeShape) {
        dims = natural_dims(role, base, in, word);
    } else if (shape_code < kExplicitShape) {
        dims = natural_dims(role, base, in, word);
        const size_t k = (shape_code - kPerturbedShape) / 10;
        if (dims.size() <= k) dims.resize(k + 1, 1);
        if (shape_code & 1) ++dims[k];
        else if (dims[k] > 0) --dims[k];
    } else if (shape_code < kEmptyShape) {
        dims.resize(2 + in.byte() % 4);
        for (mwSize& d : dims) d = read_size(in);
    } else {
        dims = {0, 0};
    }
    cut_to_backed_size(dims, base, role);

    mxArray* array;
    if (choice == kSparseDouble) {
        const mwSize nonzeros = 1 + in.byte() % 4;
        array = mxCreateSparse(dims[0], dims[1], nonzeros, mxREAL);
        double* values = mxGetPr(array);
        for (mwSize k = 0; k < nonzeros; ++k) values[k] = read_double(in);
        return {array, nonzeros * sizeof(double), {}};
    }
    const bool complex = choice == kComplexDouble || choice == kComplexUint16 || choice == kComplexSingle;
    array = mxCreateNumericArray(dims.size(), dims.data(), class_id, complex ? mxCOMPLEX : mxREAL);
    const size_t count = mxGetNumberOfElements(array);
    unsigned char* data = static_cast<unsigned char*>(mxGetData(array));
    // A scale vector whose bytes ran out goes on ascending.
    const auto value = [&](size_t k) {
        return role == kScaleVector && in.exhausted() ? default_scale(k) : read_double(in);
    };
    if (class_id == mxDOUBLE_CLASS) {
        for (size_t k = 0; k < count; ++k) reinterpret_cast<double*>(data)[k] = value(k);
    } else if (class_id == mxSINGLE_CLASS && reads_single_values(role)) {
        for (size_t k = 0; k < count; ++k) reinterpret_cast<float*>(data)[k] = float(value(k));
    } else if (class_id == mxUINT16_CLASS) {
        for (size_t k = 0; k < count; ++k) reinterpret_cast<uint16_t*>(data)[k] = read_uint16(in);
    } else if (class_id == mxCHAR_CLASS && word) {
        const size_t letters = std::strlen(word);
        for (size_t k = 0; k < count; ++k) {
            uint16_t c = 0;
            if (k < letters) c = uint16_t(word[k]);
            else in.raw(&c, sizeof c);
            reinterpret_cast<uint16_t*>(data)[k] = c;
        }
    } else if (data) {
        in.raw(data, count * element_size(class_id));
    }
    return {array, count * element_size(class_id), {}};
}

void take_snapshot(FuzzInput& input)
{
    const unsigned char* data = static_cast<const unsigned char*>(mxGetData(input.array));
    if (data) input.before.assign(data, data + input.bytes);
}

// --- the filter bank's bound on work -------------------------------------------

mwSize host_size(const mxArray* array, mwSize k)
{
    return mxGetNumberOfDimensions(array) > k ? mxGetDimensions(array)[k] : 1;
}

bool is_real_float(const mxArray* array)
{
    return (mxGetClassID(array) == mxDOUBLE_CLASS || mxGetClassID(array) == mxSINGLE_CLASS) && !mxIsComplex(array) &&
           !mxIsSparse(array);
}

double element_as_double(const mxArray* array, size_t k)
{
    return mxGetClassID(array) == mxDOUBLE_CLASS ? static_cast<const double*>(mxGetData(array))[k]
                                                 : double(static_cast<const float*>(mxGetData(array))[k]);
}

// ceil(4 sigma), as the filter bank sizes its kernels.
uint64_t kernel_radius(double sigma) { return uint64_t(std::ceil(4.0 * sigma)); }

// The filter bank call cut to its bound on work (call_encoding.h): the scale
// vector to its leading scales within the bound, as a row of the same class,
// then the orientation count.
void bound_filter_bank_work(std::vector<FuzzInput>& inputs)
{
    if (inputs.size() < 3) return;
    const mxArray* image = inputs[0].array;
    if (!mxGetData(image)) return;  // empty or without elements behind it: rejected before any scale is read
    const uint64_t rows = host_size(image, 0), pixels = mxGetNumberOfElements(image);
    const uint64_t cols = rows ? pixels / rows : 0;
    const uint64_t element_limit = pixels <= 2 ? kMaxDeepElements : kMaxBackedElements;

    FuzzInput& scales = inputs[1];
    if (!is_real_float(scales.array)) return;
    const size_t count = mxGetNumberOfElements(scales.array);
    size_t kept = 0;
    uint64_t work = 0;
    bool cut = false;
    for (; kept < count; ++kept) {
        const double sigma = element_as_double(scales.array, kept);
        if (!(sigma >= 0.1 && sigma <= 128.0) || (kept > 0 && !(sigma > element_as_double(scales.array, kept - 1))))
            break;  // the kernel stops here
        work += kScaleWork + (2 * kernel_radius(sigma) + 1) * (rows + 32) * (cols + 1);
        cut = work > kMaxFilterWork || pixels * (kept + 1) > element_limit;
        if (cut) break;
    }
    if (cut) {
        const mxClassID id = mxGetClassID(scales.array);
        const mwSize dims[2] = {1, kept};
        mxArray* row = mxCreateNumericArray(2, dims, id, mxREAL);
        if (kept) std::memcpy(mxGetData(row), mxGetData(scales.array), kept * element_size(id));
        mxDestroyArray(scales.array);
        scales = {row, kept * element_size(id), {}};
    }

    const mxArray* count_array = inputs[2].array;
    if (!is_real_float(count_array) || mxGetNumberOfElements(count_array) == 0) return;
    const double orientations = element_as_double(count_array, 0);
    const uint64_t per_orientation = pixels * kept;  // no scale: empty stacks, nothing filtered
    if (!(orientations >= 1 && orientations <= 65534 && orientations == std::floor(orientations)) ||
        uint64_t(orientations) * per_orientation <= element_limit)
        return;
    const double most = double(element_limit / per_orientation);
    if (mxGetClassID(count_array) == mxDOUBLE_CLASS)
        static_cast<double*>(mxGetData(count_array))[0] = most;
    else
        static_cast<float*>(mxGetData(count_array))[0] = float(most);
}

[[noreturn]] void violation(const KernelLayout& kernel, const char* what)
{
    std::fprintf(stderr, "\n%s: %s (error id '%s', message '%s')\n", kernel.name, what, mexHostErrorId(),
                 mexHostErrorMessage());
    std::abort();
}

// The class of the filter bank's stacks: the precision asked for, else
// single for a single image and double for any other.
mxClassID expected_stack_class(const std::vector<FuzzInput>& inputs)
{
    if (inputs.size() < 5) return mxGetClassID(inputs[0].array) == mxSINGLE_CLASS ? mxSINGLE_CLASS : mxDOUBLE_CLASS;
    const mxArray* text = inputs[4].array;
    std::string word;
    for (size_t k = 0; k < mxGetNumberOfElements(text); ++k) {
        const uint16_t c = static_cast<const uint16_t*>(mxGetData(text))[k];
        word += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c < 128 ? c : '?');
    }
    return word == "single" ? mxSINGLE_CLASS : mxDOUBLE_CLASS;
}

// Output slot k of a call that returned.
void check_output(const KernelLayout& kernel, int k, const mxArray* output, const std::vector<FuzzInput>& inputs)
{
    const mxArray* first_input = inputs[0].array;
    if (!output) violation(kernel, "returned without storing an output it owes");
    if (mxIsComplex(output) || mxIsSparse(output)) violation(kernel, "returned a complex or sparse output");
    std::vector<mwSize> expected = {host_size(first_input, 0), host_size(first_input, 1)};
    mxClassID expected_class = mxDOUBLE_CLASS;
    if (kernel.output_kind == kStacks) {
        expected.push_back(mwSize(element_as_double(inputs[2].array, 0)));
        expected.push_back(mxGetNumberOfElements(inputs[1].array));
        expected_class = expected_stack_class(inputs);
    } else if (kernel.output_kind == kIndexMaps) {
        expected_class = mxUINT16_CLASS;
    }
    if (mxGetClassID(output) != expected_class) violation(kernel, "returned an output of another class");
    if (mxGetNumberOfDimensions(output) > expected.size())
        violation(kernel, "returned an output with more dimensions than it has");
    for (size_t d = 0; d < expected.size(); ++d)
        if (host_size(output, d) != expected[d]) violation(kernel, "returned an output of another size");
    // Every element is read, so that an output the kernel left unwritten
    // beyond the host's block would be found.
    const size_t count = mxGetNumberOfElements(output);
    if (expected_class == mxUINT16_CLASS) {
        // Orientations of the stack in slot 0, its scales in slot 1.
        const mwSize limit = host_size(first_input, k == 0 ? 2 : 3);
        const uint16_t* values = static_cast<const uint16_t*>(mxGetData(output));
        for (size_t p = 0; p < count; ++p)
            if (values[p] < 1 || values[p] > limit) violation(kernel, "returned an index outside the stack");
    } else if (expected_class == mxSINGLE_CLASS) {
        const float* values = static_cast<const float*>(mxGetData(output));
        volatile float sink = 0;
        for (size_t p = 0; p < count; ++p) sink = sink + values[p];
    } else {
        const double* values = mxGetPr(output);
        volatile double sink = 0;
        for (size_t p = 0; p < count; ++p) sink = sink + values[p];
    }
}

int load_kernel(int index)
{
    const char* dir = std::getenv("ZEL_MEX_DIR");
    const std::string path = std::string(dir ? dir : ZEL_MEX_DIR) + "/" + kKernels[index].name + ".mexa64";
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return 0;
    g_entries[index] = reinterpret_cast<mexFunctionPointer>(dlsym(handle, "mexFunction"));
    return g_entries[index] != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* fixed = std::getenv("ZEL_FUZZ_KERNEL");
    g_expect_success = std::getenv("ZEL_FUZZ_EXPECT_SUCCESS") && std::strcmp(std::getenv("ZEL_FUZZ_EXPECT_SUCCESS"), "1") == 0;
    for (int k = 0; k < kKernelCount; ++k) {
        if (fixed && std::strcmp(fixed, kKernels[k].name) != 0) continue;
        if (fixed) g_fixed_kernel = k;
        if (!load_kernel(k)) std::fprintf(stderr, "kernel_fuzzer: %s is not built (%s)\n", kKernels[k].name, dlerror());
    }
    if (fixed && (g_fixed_kernel < 0 || !g_entries[g_fixed_kernel])) {
        std::fprintf(stderr, "kernel_fuzzer: cannot fuzz %s\n", fixed);
        std::exit(2);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ByteReader in{data, size};
    const uint8_t selector = in.byte();
    const int index = g_fixed_kernel >= 0 ? g_fixed_kernel : selector % kKernelCount;
    if (!g_entries[index]) return -1;  // not built: keep nothing of this input
    const KernelLayout& kernel = kKernels[index];

    const int nlhs = in.byte() % 4;
    const uint8_t count_code = in.byte();
    int nrhs = kernel.inputs;
    if (count_code >= kOtherInputCount)
        nrhs = kernel.least_inputs() < kernel.inputs ? count_code % (kernel.inputs + 3)
                                                     : kernel.inputs + count_code % 5 - 2;
    if (nrhs < 0) nrhs = 0;
    BaseSizes base;
    base.rows = read_size(in);
    base.cols = read_size(in);
    base.orientations = read_size(in);
    base.scales = read_size(in);
    const uint8_t fifth_code = in.byte();
    base.fifth = fifth_code < kFifthSizeCode ? 1 : (fifth_code - kFifthSizeCode) % 8;

    const long live_before = mxHostLiveArrays();
    std::vector<FuzzInput> inputs;
    for (int slot = 0; slot < nrhs; ++slot)
        inputs.push_back(read_input(in, slot < kernel.inputs ? kernel.roles[slot] : kAnyArray, slot, base, kernel));
    if (index == kFilterBank) bound_filter_bank_work(inputs);
    for (FuzzInput& input : inputs) take_snapshot(input);
    std::vector<const mxArray*> prhs;
    for (const FuzzInput& input : inputs) prhs.push_back(input.array);
    const long live_inputs = mxHostLiveArrays();

    // Exactly the slots a host offers, so that a write past them is caught.
    const int slots = nlhs > 1 ? nlhs : 1;
    mxArray** plhs = new mxArray*[slots]();
    const int outcome = mexHostCall(g_entries[index], nlhs, plhs, nrhs, prhs.data());
    if (outcome == 2) violation(kernel, "let an exception escape");
    const bool failed = outcome != 0;

    for (const FuzzInput& input : inputs) {
        const unsigned char* now = static_cast<const unsigned char*>(mxGetData(input.array));
        if (input.bytes && std::memcmp(now, input.before.data(), input.bytes) != 0)
            violation(kernel, "wrote into an input");
    }
    if (nrhs < kernel.least_inputs() || nrhs > kernel.inputs) {
        if (!failed || std::strcmp(mexHostErrorId(), "") != 0 ||
            std::strcmp(mexHostErrorMessage(), kernel.arity_message) != 0)
            violation(kernel, "did not end a call with a wrong input count in its arity message");
    } else if (failed) {
        if (g_expect_success) violation(kernel, "rejected a call that keeps the contract");
        if (!*mexHostErrorId() || !*mexHostErrorMessage()) violation(kernel, "ended in an error without identifier or message");
    }
    int outputs = 0;
    if (failed) {
        for (int k = 0; k < slots; ++k)
            if (plhs[k]) violation(kernel, "stored an output and then failed");
        if (mxHostLiveArrays() != live_inputs) violation(kernel, "failed and left arrays behind");
    } else {
        outputs = kernel.outputs > slots ? slots : kernel.outputs;
        for (int k = 0; k < outputs; ++k) check_output(kernel, k, plhs[k], inputs);
        for (int k = outputs; k < slots; ++k)
            if (plhs[k]) violation(kernel, "stored an output in a slot it does not fill");
        if (mxHostLiveArrays() != live_inputs + outputs) violation(kernel, "created arrays it did not return");
    }
    for (int k = 0; k < outputs; ++k) mxDestroyArray(plhs[k]);
    delete[] plhs;
    for (const FuzzInput& input : inputs) mxDestroyArray(input.array);
    if (mxHostLiveArrays() != live_before) violation(kernel, "left the host with arrays it cannot account for");
    return 0;
}
