// Writes the cases of the cross-host check: for every built .mexa64, calls
// with random inputs (NaNs of both signs with payloads of their own,
// infinities, signed zeros and subnormals among them), of small and of large
// and uneven images, 65534 orientations or scales and a 5-D stack, run
// through the stand-in host, kept together with the bits of every output, or
// the error identifier when the call is rejected. zel_check_cross_host.m
// reads the file, makes the same calls to the .mex files in Octave and
// compares the bits.
//
// File layout, little-endian, every count and size a uint64:
//   "ZELCASES" version case-count
//   per case: kernel-name nlhs input-count inputs... error-id output-count outputs...
//   string:   length, then the bytes
//   input:    class (0 double, 1 uint16), dimension count, sizes, elements
//             (doubles as their 64-bit patterns, uint16 as 16-bit values)
//   output:   dimension count, sizes, elements as 64-bit patterns
#include "mex_host.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using Dims = std::vector<mwSize>;

struct Input {
    mxClassID class_id;
    Dims dims;
    std::vector<double> doubles;
    std::vector<uint16_t> indices;
};

struct Case {
    std::string kernel;
    int nlhs;
    std::vector<Input> inputs;
};

size_t element_count(const Dims& dims)
{
    size_t n = 1;
    for (mwSize d : dims) n *= d;
    return n;
}

// Values as a caller's data may hold them: mostly ordinary, sometimes one of
// the values that the kernels treat in particular ways.
struct Values {
    std::mt19937_64 engine{20261209};

    double uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(engine); }
    bool chance(double p) { return uniform(0, 1) < p; }
    size_t pick(size_t count) { return std::uniform_int_distribution<size_t>(0, count - 1)(engine); }

    // A quiet NaN of either sign with a payload of its own, so that which
    // operand a NaN result comes from shows in its bits.
    double nan_with_payload()
    {
        const uint64_t bits = (engine() & 0x8000000000000000u) | 0x7ff8000000000000u | (engine() & 0x0007ffffffffffffu);
        double x;
        memcpy(&x, &bits, sizeof x);
        return x;
    }
    double subnormal()
    {
        const uint64_t bits = (engine() & 0x8000000000000000u) | (1 + engine() % 0x000fffffffffffffu);
        double x;
        memcpy(&x, &bits, sizeof x);
        return x;
    }
    double special()
    {
        const double inf = std::numeric_limits<double>::infinity();
        const double fixed[] = {0.0, -0.0, inf, -inf, 1e-300, -1e-300, 1.0, 0.5};
        const size_t k = pick(12);
        if (k < 3) return nan_with_payload();
        if (k < 4) return subnormal();
        return fixed[k - 4];
    }
    double any() { return chance(0.08) ? special() : uniform(-2, 2); }
    double positive() { return chance(0.04) ? special() : uniform(0.25, 6); }
    double angle() { return chance(0.35) ? nan_with_payload() : chance(0.03) ? special() : uniform(0, 180); }
};

Input doubles(const Dims& dims, Values& v, double (Values::*draw)())
{
    Input in{mxDOUBLE_CLASS, dims, {}, {}};
    for (size_t k = 0; k < element_count(dims); ++k) in.doubles.push_back((v.*draw)());
    return in;
}

Input scalar(double value) { return Input{mxDOUBLE_CLASS, {1, 1}, {value}, {}}; }
Input uint16_scalar(uint16_t value) { return Input{mxUINT16_CLASS, {1, 1}, {}, {value}}; }

// An index map of rows x cols values in 1..count.
Input index_map(const Dims& stack, size_t count, Values& v)
{
    Input in{mxUINT16_CLASS, {stack[0], stack[1]}, {}, {}};
    for (size_t k = 0; k < stack[0] * stack[1]; ++k) in.indices.push_back(uint16_t(1 + v.pick(count ? count : 1)));
    return in;
}

Input pixel_map(const Dims& stack, Values& v, double (Values::*draw)()) { return doubles({stack[0], stack[1]}, v, draw); }

size_t orientations_of(const Dims& stack) { return stack.size() > 2 ? stack[2] : 1; }
size_t scales_of(const Dims& stack) { return stack.size() > 3 ? stack[3] : 1; }

// Stacks beyond the small ones: images of more pixels than one run of the
// blob and ridge maps (256) with a partial last run; 65534 orientations and
// 65534 scales; five dimensions, of which the kernels read four.
const Dims kDemandingStacks[] = {{17, 31, 3, 2}, {257, 2, 2, 3}, {1, 600, 4}, {600, 1, 1, 2},
                                 {1, 2, 65534},  {2, 1, 1, 65534}, {3, 4, 3, 2, 2}};

std::vector<Case> edge_cases(Values& v)
{
    std::vector<Case> cases;
    std::vector<Dims> stacks = {{7, 5, 4, 3}, {3, 4, 1, 1}, {6, 2, 3}, {0, 3, 2, 2}, {4, 4, 2, 0}};
    stacks.insert(stacks.end(), std::begin(kDemandingStacks), std::end(kDemandingStacks));
    for (const Dims& R : stacks) {
        Case c{"ZELgetEdgeMap", 1, {}};
        c.inputs = {doubles(R, v, &Values::any), doubles(R, v, &Values::any), index_map(R, orientations_of(R), v),
                    index_map(R, scales_of(R), v), scalar(v.any()), scalar(v.any())};
        cases.push_back(c);
    }
    Case wrong_class = cases[0];
    wrong_class.inputs[2] = doubles({7, 5}, v, &Values::positive);
    cases.push_back(wrong_class);
    return cases;
}

// The blob and ridge maps take the same ten inputs.
std::vector<Case> blob_ridge_cases(const char* kernel, Values& v)
{
    std::vector<Case> cases;
    std::vector<Dims> stacks = {{6, 5, 4, 3}, {3, 3, 1, 2}, {5, 4, 3}, {0, 2, 2, 2}};
    stacks.insert(stacks.end(), std::begin(kDemandingStacks), std::end(kDemandingStacks));
    for (const Dims& R : stacks) {
        const size_t orientations = orientations_of(R), scales = scales_of(R);
        Case c{kernel, 1, {}};
        c.inputs = {doubles(R, v, &Values::any),
                    doubles(R, v, &Values::any),
                    index_map(R, orientations, v),
                    scalar(0),
                    scalar(v.any()),
                    doubles({1, 1 + v.pick(40)}, v, &Values::any),
                    scalar(v.positive() * 8),
                    pixel_map(R, v, &Values::positive),
                    doubles({orientations, scales}, v, &Values::positive),
                    pixel_map(R, v, &Values::any)};
        cases.push_back(c);
    }
    Case wrong_size = cases[0];
    wrong_size.inputs[1] = doubles({6, 5, 4, 2}, v, &Values::any);
    cases.push_back(wrong_size);
    return cases;
}

std::vector<Case> height_and_width_cases(Values& v)
{
    std::vector<Case> cases;
    struct Layout {
        Dims R;
        uint16_t mode;
        int nlhs;
    };
    const Layout layouts[] = {{{6, 5, 2, 4}, 1, 2}, {{6, 5, 2, 4}, 3, 2}, {{6, 5, 2, 4}, 2, 2}, {{4, 3, 1, 5}, 0, 1},
                   {{3, 3, 3}, 3, 2},    {{0, 4, 2, 3}, 2, 2}};
    std::vector<Layout> all(std::begin(layouts), std::end(layouts));
    const uint16_t modes[] = {1, 3, 0, 2};
    for (const Dims& R : kDemandingStacks) all.push_back({R, modes[all.size() % 4], 2});
    for (const Layout& layout : all) {
        const Dims& R = layout.R;
        const size_t orientations = orientations_of(R), scales = scales_of(R);
        Case c{"ZELgetHeightAndWidthMap", layout.nlhs, {}};
        c.inputs = {doubles(R, v, &Values::any),
                    index_map(R, orientations, v),
                    index_map(R, scales, v),
                    doubles({1 + v.pick(30), 1}, v, &Values::any),
                    scalar(v.positive() * 6),
                    doubles({orientations, scales}, v, &Values::positive),
                    uint16_scalar(layout.mode)};
        cases.push_back(c);
    }
    Case wrong_class = cases[0];
    wrong_class.inputs[6] = scalar(1);
    cases.push_back(wrong_class);
    return cases;
}

std::vector<Case> orientation_cases(Values& v)
{
    std::vector<Case> cases;
    struct Layout {
        Dims R;
        uint16_t flag;
    };
    std::vector<Layout> layouts = {{{7, 6, 8, 4}, 0}, {{5, 5, 10, 2}, 1}, {{5, 4, 14}, 1}, {{4, 4, 14, 2}, 2},
                                   {{3, 5, 2}, 0},    {{0, 5, 8}, 0}};
    const uint16_t flags[] = {0, 1, 2};
    for (const Dims& R : kDemandingStacks) layouts.push_back({R, flags[layouts.size() % 3]});
    for (const Layout& layout : layouts) {
        const Dims& R = layout.R;
        Case c{"ZELgetOrientationMap", 1, {}};
        c.inputs = {doubles(R, v, &Values::any), index_map(R, orientations_of(R), v), index_map(R, scales_of(R), v),
                    uint16_scalar(layout.flag)};
        cases.push_back(c);
    }
    Case wrong_class = cases[0];
    wrong_class.inputs[3] = scalar(0);
    cases.push_back(wrong_class);
    return cases;
}

std::vector<Case> curvature_cases(Values& v)
{
    std::vector<Case> cases;
    for (const Dims& O : {Dims{12, 15}, Dims{3, 3}, Dims{2, 5}, Dims{1, 1}, Dims{0, 4}, Dims{6, 7, 2}, Dims{17, 31},
                          Dims{257, 3}, Dims{3, 257}, Dims{1, 600}}) {
        Case c{"ZELgetCurvatureMap", 1, {doubles(O, v, &Values::angle)}};
        cases.push_back(c);
    }
    // A map of curves: every angle moves by a few degrees from pixel to pixel.
    Input curves{mxDOUBLE_CLASS, {16, 16}, std::vector<double>(256, std::numeric_limits<double>::quiet_NaN()), {}};
    for (int j = 1; j < 15; ++j) {
        curves.doubles[size_t(j) * 16 + 4 + (j / 5)] = std::fmod(170.0 + 7.5 * j, 180.0);
        curves.doubles[size_t(j) * 16 + 11] = 3.0 * j;
    }
    cases.push_back(Case{"ZELgetCurvatureMap", 1, {curves}});
    Case wrong_class{"ZELgetCurvatureMap", 1, {Input{mxUINT16_CLASS, {3, 3}, {}, std::vector<uint16_t>(9, 1)}}};
    cases.push_back(wrong_class);
    return cases;
}

// --- writing ---

void put_u64(FILE* out, uint64_t value) { fwrite(&value, sizeof value, 1, out); }

void put_string(FILE* out, const std::string& text)
{
    put_u64(out, text.size());
    fwrite(text.data(), 1, text.size(), out);
}

void put_dims(FILE* out, const mwSize* dims, size_t count)
{
    put_u64(out, count);
    for (size_t k = 0; k < count; ++k) put_u64(out, dims[k]);
}

void put_input(FILE* out, const Input& in)
{
    put_u64(out, in.class_id == mxUINT16_CLASS ? 1 : 0);
    put_dims(out, in.dims.data(), in.dims.size());
    if (in.class_id == mxUINT16_CLASS)
        fwrite(in.indices.data(), sizeof(uint16_t), in.indices.size(), out);
    else
        fwrite(in.doubles.data(), sizeof(double), in.doubles.size(), out);  // the bit patterns as they are
}

mxArray* host_array(const Input& in)
{
    mxArray* array = mxCreateNumericArray(in.dims.size(), in.dims.data(), in.class_id, mxREAL);
    if (in.class_id == mxUINT16_CLASS)
        memcpy(mxGetData(array), in.indices.data(), in.indices.size() * sizeof(uint16_t));
    else
        memcpy(mxGetData(array), in.doubles.data(), in.doubles.size() * sizeof(double));
    return array;
}

bool file_exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

mexFunctionPointer load(const std::string& kernel)
{
    const std::string path = std::string(ZEL_MEX_DIR) + "/" + kernel + ".mexa64";
    if (!file_exists(path)) return nullptr;
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        fprintf(stderr, "cannot load %s: %s\n", path.c_str(), dlerror());
        return nullptr;
    }
    return reinterpret_cast<mexFunctionPointer>(dlsym(library, "mexFunction"));
}

// Runs the case in the stand-in host and writes it with its outcome. The
// host offers max(nlhs, 1) slots; a slot filled beyond them is a fault.
bool run_and_write(FILE* out, const Case& c, mexFunctionPointer entry)
{
    std::vector<mxArray*> inputs;
    for (const Input& in : c.inputs) inputs.push_back(host_array(in));
    const int slots = c.nlhs > 1 ? c.nlhs : 1;
    mxArray* outputs[8] = {};
    const int failed = mexHostCall(entry, c.nlhs, outputs, int(inputs.size()),
                                   const_cast<const mxArray**>(inputs.data()));
    bool sound = true;
    for (int k = slots; k < 8; ++k) {
        if (outputs[k]) {
            fprintf(stderr, "%s wrote output slot %d of %d\n", c.kernel.c_str(), k + 1, slots);
            sound = false;
        }
    }

    put_string(out, c.kernel);
    put_u64(out, uint64_t(c.nlhs));
    put_u64(out, c.inputs.size());
    for (const Input& in : c.inputs) put_input(out, in);
    put_string(out, failed ? mexHostErrorId() : "");
    int filled = 0;
    while (!failed && filled < slots && outputs[filled]) ++filled;
    put_u64(out, uint64_t(filled));
    for (int k = 0; k < filled; ++k) {
        put_dims(out, mxGetDimensions(outputs[k]), mxGetNumberOfDimensions(outputs[k]));
        fwrite(mxGetPr(outputs[k]), sizeof(double), mxGetNumberOfElements(outputs[k]), out);
        mxDestroyArray(outputs[k]);
    }
    for (mxArray* in : inputs) mxDestroyArray(in);
    return sound;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s CASES_FILE\n", argv[0]);
        return 2;
    }
    Values v;
    std::vector<std::vector<Case>> per_kernel = {
        blob_ridge_cases("ZELgetBlobMap", v), blob_ridge_cases("ZELgetRidgeMap", v), edge_cases(v),
        height_and_width_cases(v),            orientation_cases(v),                  curvature_cases(v)};

    std::vector<std::pair<const Case*, mexFunctionPointer>> runnable;
    for (const std::vector<Case>& cases : per_kernel) {
        mexFunctionPointer entry = load(cases.front().kernel);
        if (!entry) {
            fprintf(stderr, "%s.mexa64 cannot be loaded\n", cases.front().kernel.c_str());
            return 1;
        }
        printf("%s: %zu cases\n", cases.front().kernel.c_str(), cases.size());
        for (const Case& c : cases) runnable.push_back({&c, entry});
    }

    FILE* out = fopen(argv[1], "wb");
    if (!out) {
        perror(argv[1]);
        return 1;
    }
    fwrite("ZELCASES", 1, 8, out);
    put_u64(out, 1);
    put_u64(out, runnable.size());
    bool sound = true;
    for (const auto& [c, entry] : runnable) sound = run_and_write(out, *c, entry) && sound;
    if (fclose(out) != 0) {
        perror(argv[1]);
        return 1;
    }
    return sound ? 0 : 1;
}
