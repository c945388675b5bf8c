#include "kernel_support.h"

#include "mex_loader.h"
#include "zel_kernel_list.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

namespace zeltest {

namespace {
// The facts in the order of the kernel list (kernels/kernels.txt), which
// names the kernels the suite covers. A listed kernel without facts, or facts
// of a kernel that is not listed, ends the program: the suite would
// otherwise leave a kernel out without a word.
std::vector<KernelFacts> in_list_order(const std::vector<KernelFacts>& facts)
{
    const char* const listed[] = {ZEL_KERNEL_NAMES};
    std::vector<KernelFacts> kernels;
    for (const char* name : listed) {
        size_t k = 0;
        while (k < facts.size() && std::string(facts[k].name) != name) ++k;
        if (k == facts.size()) {
            std::fprintf(stderr, "tests/kernel_support.cpp: %s is in kernels/kernels.txt but has no facts here\n",
                         name);
            std::abort();
        }
        kernels.push_back(facts[k]);
    }
    if (kernels.size() != facts.size()) {
        std::fprintf(stderr, "tests/kernel_support.cpp: facts of a kernel that kernels/kernels.txt does not list\n");
        std::abort();
    }
    return kernels;
}
}  // namespace

const std::vector<KernelFacts>& all_kernels()
{
    // The host operations of a feature map: its checks, its double output.
    const std::vector<std::string> map_operations = {
        "mxGetDimensions_730", "mxGetNumberOfDimensions_730", "mxCreateDoubleMatrix_730",
        "mxGetPr", "mxGetData", "mxGetNumberOfElements", "mxGetClassID", "mxIsComplex", "mxIsSparse",
        "mexErrMsgTxt", "mexErrMsgIdAndTxt", "mexWarnMsgIdAndTxt"};
    static const std::vector<KernelFacts> facts = {
        {"ZELgetBlobMap", 10, 1, "Ten input arguments required.", nullptr, {3}, {3, 8, 10}, 9, 10, 4, true,
         map_operations, {5, 7}},
        {"ZELgetRidgeMap", 10, 1, "Ten input arguments required.", nullptr, {3}, {3, 8, 10}, 9, 10, 4, true,
         map_operations, {5, 7}},
        {"ZELgetEdgeMap", 6, 1, "Six input arguments required.", nullptr, {3, 4}, {3, 4}, 0, 6, 4, true,
         map_operations, {5, 6}},
        {"ZELgetHeightAndWidthMap", 7, 2, "Seven input arguments required.", "pow", {2, 3}, {2, 3}, 6, 7, 4, true,
         map_operations, {5, 7}},
        {"ZELgetOrientationMap", 4, 1, "Four input arguments required.", "atan", {2, 3}, {2, 3}, 0, 4, 4, true,
         map_operations, {4}},
        {"ZELgetCurvatureMap", 1, 1, "One input arguments required.", "sin", {}, {}, 0, 1, 2, true, map_operations, {}},
        // The filter bank makes stacks of any numeric class, and a working
        // array of planes when the stacks have too few to hold its passes.
        {"ZELgetResponseStack", 5, 2, "Three to five input arguments required.", nullptr, {}, {}, 0, 3, 2, false,
         {"mxGetDimensions_730", "mxGetNumberOfDimensions_730", "mxCreateUninitNumericArray_730",
          "mxCreateNumericArray_730", "mxDestroyArray", "mxGetData", "mxGetNumberOfElements", "mxGetClassID",
          "mxIsComplex", "mxIsSparse", "mexErrMsgTxt", "mexErrMsgIdAndTxt", "mexWarnMsgIdAndTxt"},
         {3}},
        {"ZELgetIndexMaps", 1, 2, "One input arguments required.", nullptr, {}, {}, 0, 1, 4, false,
         {"mxGetDimensions_730", "mxGetNumberOfDimensions_730", "mxCreateUninitNumericArray_730", "mxGetData",
          "mxGetNumberOfElements", "mxGetClassID", "mxIsComplex", "mxIsSparse", "mexErrMsgTxt", "mexErrMsgIdAndTxt",
          "mexWarnMsgIdAndTxt"},
         {}},
    };
    static const std::vector<KernelFacts> kernels = in_list_order(facts);
    return kernels;
}

// ZEL_MEX_DIR in the environment points the suite at another build of the
// same MEX files.
std::string mex_path(const std::string& kernel)
{
    const char* dir = std::getenv("ZEL_MEX_DIR");
    return std::string(dir && *dir ? dir : built_mex_dir()) + "/" + kernel + kMexExtension;
}

bool mex_file_exists(const std::string& kernel) { return file_exists(mex_path(kernel)); }

namespace {
void* library(const std::string& path)
{
    static std::mutex lock;
    static std::map<std::string, void*> loaded;
    std::lock_guard<std::mutex> guard(lock);
    void*& handle = loaded[path];
    if (!handle) {
        std::string error;
        handle = open_mex_file(path, error);
        if (!handle) ADD_FAILURE() << "cannot load " << path << ": " << error;
    }
    return handle;
}
}  // namespace

mexFunctionPointer entry_point_at(const std::string& path)
{
    void* handle = library(path);
    return handle ? reinterpret_cast<mexFunctionPointer>(find_export(handle, "mexFunction")) : nullptr;
}

mexFunctionPointer entry_point(const std::string& kernel) { return entry_point_at(mex_path(kernel)); }

void (*api_version_function(const std::string& kernel))(uint32_t*, uint32_t*)
{
    void* handle = library(mex_path(kernel));
    return handle ? reinterpret_cast<void (*)(uint32_t*, uint32_t*)>(find_export(handle, "mexfilerequiredapiversion"))
                  : nullptr;
}

namespace {
template <typename T>
Array filled(mxClassID id, const std::vector<mwSize>& dims, const std::vector<T>& values)
{
    Array array(mxCreateNumericArray(dims.size(), dims.data(), id, mxREAL));
    if (!values.empty()) {
        EXPECT_EQ(values.size(), mxGetNumberOfElements(array.get())) << "fixture values do not fill the array";
        if (values.size() == mxGetNumberOfElements(array.get()))
            std::memcpy(mxGetData(array.get()), values.data(), values.size() * sizeof(T));
    }
    return array;
}
}  // namespace

Array doubles(const std::vector<mwSize>& dims, const std::vector<double>& values)
{
    return filled(mxDOUBLE_CLASS, dims, values);
}
Array uint16s(const std::vector<mwSize>& dims, const std::vector<uint16_t>& values)
{
    return filled(mxUINT16_CLASS, dims, values);
}
Array scalar(double value) { return doubles({1, 1}, {value}); }
Array uint16_scalar(uint16_t value) { return uint16s({1, 1}, {value}); }
Array of_class(mxClassID class_id, const std::vector<mwSize>& dims, mxComplexity complexity)
{
    return Array(mxCreateNumericArray(dims.size(), dims.data(), class_id, complexity));
}

Array unbacked(const std::vector<mwSize>& dims, mxClassID class_id)
{
    return Array(mxHostCreateUnbackedArray(dims.size(), dims.data(), class_id));
}

std::vector<double> values(const mxArray* array)
{
    const size_t count = mxGetNumberOfElements(array);
    const void* data = mxGetData(array);
    if (!data) return {};
    switch (mxGetClassID(array)) {
    case mxSINGLE_CLASS: {
        const float* v = static_cast<const float*>(data);
        return std::vector<double>(v, v + count);
    }
    case mxUINT16_CLASS: {
        const uint16_t* v = static_cast<const uint16_t*>(data);
        return std::vector<double>(v, v + count);
    }
    default: {
        const double* v = static_cast<const double*>(data);
        return std::vector<double>(v, v + count);
    }
    }
}

std::vector<uint64_t> element_bits(const mxArray* array)
{
    const size_t count = mxGetNumberOfElements(array);
    const mxClassID id = mxGetClassID(array);
    const size_t size = id == mxDOUBLE_CLASS ? 8 : id == mxSINGLE_CLASS ? 4 : 2;
    std::vector<uint64_t> b(count, 0);
    const unsigned char* data = static_cast<const unsigned char*>(mxGetData(array));
    for (size_t k = 0; data && k < count; ++k) std::memcpy(&b[k], data + k * size, size);
    return b;
}

std::vector<mwSize> dims(const mxArray* array)
{
    const mwSize* d = mxGetDimensions(array);
    return std::vector<mwSize>(d, d + mxGetNumberOfDimensions(array));
}

CallResult call(const std::string& kernel, int nlhs, const std::vector<const mxArray*>& inputs, int slots)
{
    return call(entry_point(kernel), kernel, nlhs, inputs, slots);
}

CallResult call(mexFunctionPointer entry, const std::string& kernel, int nlhs,
                const std::vector<const mxArray*>& inputs, int slots)
{
    CallResult result;
    if (!entry) {
        result.failed = true;
        result.id = "test:notLoaded";
        return result;
    }
    if (slots < 0) slots = nlhs > 1 ? nlhs : 1;
    mxArray* const guard = reinterpret_cast<mxArray*>(uintptr_t(0x5A5A5A5A));
    std::vector<mxArray*> plhs(slots + 1, nullptr);
    plhs[slots] = guard;
    std::vector<const mxArray*> prhs(inputs);
    const int outcome = mexHostCall(entry, nlhs, plhs.data(), int(prhs.size()), prhs.data());
    result.failed = outcome != 0;
    result.lanes = mexHostLanesRan();
    // An exception of its own leaving a MEX file would end the user's session.
    EXPECT_NE(2, outcome) << kernel << " let an exception escape: " << mexHostErrorMessage();
    for (int k = 0; k < mexHostWarningCount(); ++k)
        result.warnings.emplace_back(mexHostWarningId(k), mexHostWarningMessage(k));
    EXPECT_EQ(guard, plhs[slots]) << kernel << " wrote past the " << slots << " output slot(s) it was given";
    if (result.failed) {
        result.id = mexHostErrorId();
        result.message = mexHostErrorMessage();
        for (int k = 0; k < slots; ++k)
            EXPECT_EQ(nullptr, plhs[k]) << kernel << " stored output " << k + 1 << " before failing";
        return result;
    }
    for (int k = 0; k < slots; ++k)
        if (plhs[k]) result.outputs.emplace_back(plhs[k]);
    return result;
}

void expect_breach(const CallResult& result, const std::string& kernel, const char* what, const char* mnemonic,
                   const char* message_part)
{
    ASSERT_TRUE(result.failed) << what;
    EXPECT_EQ(kernel + ":" + mnemonic, result.id) << what;
    EXPECT_NE(std::string::npos, result.message.find(message_part)) << what << ": " << result.message;
    // The host shows the function's name beside the message; the message itself does not repeat it.
    EXPECT_EQ(std::string::npos, result.message.find(kernel)) << what << ": " << result.message;
}

void expect_breaches(const std::string& kernel, int nlhs, const std::vector<const mxArray*>& valid,
                     const std::vector<Breach>& cases)
{
    for (const Breach& k : cases) {
        std::vector<const mxArray*> inputs = valid;
        for (const auto& r : k.replaced) inputs.at(size_t(r.first - 1)) = r.second;
        expect_breach(call(kernel, nlhs, inputs), kernel, k.what, k.mnemonic, k.message_part);
    }
    const CallResult result = call(kernel, nlhs, valid);
    EXPECT_FALSE(result.failed) << kernel << ": the unbroken inputs are rejected: " << result.message;
}

void expect_same_bits(const std::vector<double>& expected, const std::vector<double>& got, const std::string& what)
{
    ASSERT_EQ(expected.size(), got.size()) << what;
    size_t differ = 0;
    std::string first;
    for (size_t k = 0; k < got.size(); ++k) {
        if (bits(expected[k]) == bits(got[k])) continue;
        if (++differ <= 3) {
            char line[160];
            std::snprintf(line, sizeof line, "\n  element %zu: expected %.17g (%016llx), got %.17g (%016llx)", k,
                          expected[k], (unsigned long long)bits(expected[k]), got[k], (unsigned long long)bits(got[k]));
            first += line;
        }
    }
    EXPECT_EQ(0u, differ) << what << ": " << differ << " of " << got.size() << " values differ from the reference"
                          << first;
}

}  // namespace zeltest
