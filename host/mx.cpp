// libmx.so of the stand-in host: the arrays.
//
// An array is a header with its class, flags and sizes, and one zero-filled
// block of elements. Empty arrays have no block (a null data pointer), so a
// MEX file that reads an empty array is caught at once.

#include "matrix.h"
#include "mex_host.h"
#include "host_internal.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <cstdio>
#include <cstdlib>
#include <cstring>

struct mxArray_tag {
    mxClassID class_id;
    bool complex;
    bool sparse;
    mwSize ndim;
    mwSize* dims;
    size_t numel;
    void* real;          // numel elements, or nzmax doubles for a sparse array
    void* imag;          // as real, for a complex array
    mwIndex* row_index;  // sparse only
    mwIndex* col_start;  // sparse only
    mxArray* next_in_call;
};

namespace {

std::atomic<long> live_arrays{0};

struct CallState {
    int depth = 0;
    mxArray* created = nullptr;
    char error_id[256] = "";
    char error_message[4096] = "";
    std::jmp_buf* jump_target = nullptr;
};
thread_local CallState call_state;

size_t element_size(mxClassID id)
{
    switch (id) {
    case mxLOGICAL_CLASS: case mxINT8_CLASS: case mxUINT8_CLASS: return 1;
    case mxCHAR_CLASS: case mxINT16_CLASS: case mxUINT16_CLASS: return 2;
    case mxSINGLE_CLASS: case mxINT32_CLASS: case mxUINT32_CLASS: return 4;
    case mxDOUBLE_CLASS: case mxINT64_CLASS: case mxUINT64_CLASS: return 8;
    default: return 0;
    }
}

[[noreturn]] void out_of_memory()
{
    mxHostRaise("MATLAB:nomem", "Out of memory.");
}

// Uninitialised elements hold the bytes 0xA5 unless the caller (a
// benchmark, timing what a real host costs) turns the marking off.
std::atomic<bool> mark_uninitialised{true};

// Blocks of freed arrays kept for arrays of the same size, when a benchmark
// asks for a host that reuses its memory: with the system's allocator alone,
// small blocks split the large free ones and every large array comes from
// fresh pages.
struct KeptBlock {
    void* block;
    size_t bytes;
};
std::mutex kept_lock;
bool keeping = false;
KeptBlock kept[8];

void* kept_block(size_t bytes)
{
    std::lock_guard<std::mutex> guard(kept_lock);
    for (KeptBlock& k : kept)
        if (k.block && k.bytes == bytes) {
            void* block = k.block;
            k.block = nullptr;
            return block;
        }
    return nullptr;
}

// A freed block takes an empty place, or the place of the block kept
// longest, which goes back to the system.
void release_block(void* block, size_t bytes)
{
    if (block && bytes >= (1u << 20)) {
        std::lock_guard<std::mutex> guard(kept_lock);
        if (keeping) {
            static size_t next = 0;
            KeptBlock* place = &kept[next];
            for (KeptBlock& k : kept)
                if (!k.block) place = &k;
            if (place == &kept[next]) next = (next + 1) % 8;
            std::free(place->block);
            *place = KeptBlock{block, bytes};
            return;
        }
    }
    std::free(block);
}

void* unfilled_block(size_t count, size_t size)
{
    if (count == 0 || size == 0) return nullptr;
    if (count > SIZE_MAX / size) out_of_memory();
    void* block = kept_block(count * size);
    if (!block) block = std::malloc(count * size);
    if (!block) out_of_memory();
    if (mark_uninitialised.load()) std::memset(block, 0xA5, count * size);
    return block;
}

void* zeroed_block(size_t count, size_t size)
{
    if (count == 0 || size == 0) return nullptr;
    if (count > SIZE_MAX / size) out_of_memory();
    void* block = kept_block(count * size);
    if (block) return std::memset(block, 0, count * size);
    block = std::calloc(count, size);
    if (!block) out_of_memory();
    return block;
}

mxArray* new_array(mxClassID id, mxComplexity complexity, mwSize ndim, const mwSize* dims)
{
    // Trailing singleton dimensions beyond the second are dropped, as hosts do.
    while (ndim > 2 && dims[ndim - 1] == 1) --ndim;
    size_t numel = 1;
    for (mwSize k = 0; k < ndim; ++k) {
        if (dims[k] != 0 && numel > SIZE_MAX / dims[k]) out_of_memory();
        numel *= dims[k];
    }
    mxArray* array = static_cast<mxArray*>(std::calloc(1, sizeof(mxArray)));
    mwSize* own_dims = static_cast<mwSize*>(std::malloc(ndim * sizeof(mwSize)));
    if (!array || !own_dims) out_of_memory();
    std::memcpy(own_dims, dims, ndim * sizeof(mwSize));
    array->class_id = id;
    array->complex = complexity == mxCOMPLEX;
    array->ndim = ndim;
    array->dims = own_dims;
    array->numel = numel;
    if (call_state.depth > 0) {
        array->next_in_call = call_state.created;
        call_state.created = array;
    }
    ++live_arrays;
    return array;
}

void free_array(mxArray* array)
{
    const size_t bytes = array->sparse ? 0 : array->numel * element_size(array->class_id);
    std::free(array->dims);
    release_block(array->real, bytes);
    release_block(array->imag, bytes);
    std::free(array->row_index);
    std::free(array->col_start);
    std::free(array);
    --live_arrays;
}

}  // namespace

extern "C" {

mxArray* mxCreateNumericArray(mwSize ndim, const mwSize* dims, mxClassID class_id,
                              mxComplexity complexity)
{
    const mwSize padded[2] = {ndim > 0 ? dims[0] : 0, ndim > 0 ? 1u : 0u};
    if (ndim < 2) {
        ndim = 2;
        dims = padded;
    }
    mxArray* array = new_array(class_id, complexity, ndim, dims);
    const size_t size = element_size(class_id);
    array->real = zeroed_block(array->numel, size);
    if (array->complex) array->imag = zeroed_block(array->numel, size);
    return array;
}

mxArray* mxCreateUninitNumericArray(size_t ndim, size_t* dims, mxClassID class_id, mxComplexity complexity)
{
    const mwSize padded[2] = {ndim > 0 ? dims[0] : 0, ndim > 0 ? 1u : 0u};
    if (ndim < 2) {
        ndim = 2;
        dims = const_cast<mwSize*>(padded);
    }
    mxArray* array = new_array(class_id, complexity, ndim, dims);
    const size_t size = element_size(class_id);
    array->real = unfilled_block(array->numel, size);
    if (array->complex) array->imag = unfilled_block(array->numel, size);
    return array;
}

void mxHostMarkUninitialised(int mark) { mark_uninitialised.store(mark != 0); }

void mxHostKeepFreedBlocks(int keep)
{
    std::lock_guard<std::mutex> guard(kept_lock);
    keeping = keep != 0;
    if (keeping) return;
    for (KeptBlock& k : kept) {
        std::free(k.block);
        k.block = nullptr;
    }
}

mxArray* mxCreateDoubleMatrix(mwSize rows, mwSize cols, mxComplexity complexity)
{
    const mwSize dims[2] = {rows, cols};
    return mxCreateNumericArray(2, dims, mxDOUBLE_CLASS, complexity);
}

mxArray* mxCreateSparse(mwSize rows, mwSize cols, mwSize nzmax, mxComplexity complexity)
{
    const mwSize dims[2] = {rows, cols};
    mxArray* array = new_array(mxDOUBLE_CLASS, complexity, 2, dims);
    if (nzmax == 0) nzmax = 1;
    array->sparse = true;
    array->real = zeroed_block(nzmax, sizeof(double));
    if (array->complex) array->imag = zeroed_block(nzmax, sizeof(double));
    array->row_index = static_cast<mwIndex*>(zeroed_block(nzmax, sizeof(mwIndex)));
    array->col_start = static_cast<mwIndex*>(zeroed_block(cols + 1, sizeof(mwIndex)));
    return array;
}

mxArray* mxHostCreateUnbackedArray(mwSize ndim, const mwSize* dims, mxClassID class_id)
{
    return new_array(class_id, mxREAL, ndim, dims);
}

const mwSize* mxGetDimensions(const mxArray* array) { return array->dims; }
mwSize mxGetNumberOfDimensions(const mxArray* array) { return array->ndim; }
double* mxGetPr(const mxArray* array) { return static_cast<double*>(array->real); }
void* mxGetData(const mxArray* array) { return array->real; }
size_t mxGetNumberOfElements(const mxArray* array) { return array->numel; }
size_t mxGetElementSize(const mxArray* array) { return element_size(array->class_id); }
mxClassID mxGetClassID(const mxArray* array) { return array->class_id; }
bool mxIsDouble(const mxArray* array) { return array->class_id == mxDOUBLE_CLASS; }
bool mxIsUint16(const mxArray* array) { return array->class_id == mxUINT16_CLASS; }
bool mxIsComplex(const mxArray* array) { return array->complex; }
bool mxIsSparse(const mxArray* array) { return array->sparse; }

void mxDestroyArray(mxArray* array)
{
    if (!array) return;
    for (mxArray** link = &call_state.created; *link; link = &(*link)->next_in_call) {
        if (*link == array) {
            *link = array->next_in_call;
            break;
        }
    }
    free_array(array);
}

long mxHostLiveArrays(void) { return live_arrays.load(); }

void mxHostBeginCall(void)
{
    call_state.depth = 1;
    call_state.created = nullptr;
    call_state.error_id[0] = '\0';
    call_state.error_message[0] = '\0';
}

void mxHostEndCall(int failed)
{
    mxArray* array = call_state.created;
    while (array) {
        mxArray* next = array->next_in_call;
        if (failed) free_array(array);
        else array->next_in_call = nullptr;
        array = next;
    }
    call_state.created = nullptr;
    call_state.depth = 0;
}

void mxHostKeepError(const char* identifier, const char* message)
{
    std::snprintf(call_state.error_id, sizeof call_state.error_id, "%s", identifier);
    std::snprintf(call_state.error_message, sizeof call_state.error_message, "%s", message);
}

void mxHostSetJumpTarget(std::jmp_buf* target) { call_state.jump_target = target; }

void mxHostRaise(const char* identifier, const char* message)
{
    mxHostKeepError(identifier, message);
    if (call_state.depth == 0) {
        std::fprintf(stderr, "stand-in host: error outside a MEX call: %s %s\n", identifier, message);
        std::abort();
    }
    if (call_state.jump_target) std::longjmp(*call_state.jump_target, 1);
    throw HostCallError{};
}

const char* mexHostErrorId(void) { return call_state.error_id; }
const char* mexHostErrorMessage(void) { return call_state.error_message; }

}  // extern "C"
