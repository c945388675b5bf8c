// The filter bank and the index maps against what the machine allows.
//
//   ZELgetResponseStack  both orders of a size^2 image at 8 orientations and
//                        the 4 scales 1.5 * 1.6^(0:3), in double and in single:
//                        its time, the multiplications and additions it must
//                        make (counted from the kernels' radii), and the rate
//                        that gives against the processor's peak rate of
//                        separate vector multiplies and adds, measured by a
//                        plain loop of independent ones at the kernel's lane
//                        width in the same run.
//   ZELgetIndexMaps      the index maps of that stack, against a plain loop
//                        that reads the stack once and writes the two maps.
//
// Every call goes through the stand-in host, output creation and destruction
// included; outputs are recycled (freed memory kept in the heap) unless
// --fresh-outputs is given, as in zel_bench. Options: --sizes=512,2048
// (default 512,1024,2048), and every Google Benchmark option.
#include "mex_host.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace zelbench {
namespace {

constexpr int kOrientations = 8;
const double kScales[] = {1.5, 2.4, 3.84, 6.144};
constexpr int kScaleCount = 4;

struct ArrayDeleter {
    void operator()(mxArray* a) const { mxDestroyArray(a); }
};
using Array = std::unique_ptr<mxArray, ArrayDeleter>;

// --- the peak rate of separate multiplies and adds ---------------------------

// Eight independent products and eight independent sums per step, none of
// which the compiler can fold: the factor and the increment come from
// memory at run time, and the products decay too slowly to reach subnormals.
template <typename T, typename V>
__attribute__((always_inline)) inline T peak_steps(long steps, T factor, T increment)
{
    V product[8], sum[8];
    for (int k = 0; k < 8; ++k) {
        product[k] = V{} + (factor + T(0.5) * T(k));
        sum[k] = V{} + increment * T(k);
    }
    for (long n = 0; n < steps; ++n) {
        for (int k = 0; k < 8; ++k) {
            product[k] = product[k] * factor;
            sum[k] = sum[k] + increment;
        }
    }
    V total = product[0] + sum[0];
    for (int k = 1; k < 8; ++k) total = total + product[k] + sum[k];
    return total[0];
}

template <typename T, int Bytes>
struct Vector {
    typedef T type __attribute__((vector_size(Bytes)));
};

volatile double kFactor = 0.9999999999;
volatile double kIncrement = 1e-9;

// Runs steps of the loop at the widest vectors the processor has (as the
// kernels choose them); returns the operations made, and the lane width.
template <typename T, int Bytes>
__attribute__((always_inline)) inline double peak_at(long steps)
{
    typedef typename Vector<T, Bytes>::type V;
    const T total = peak_steps<T, V>(steps, T(kFactor), T(kIncrement));
    benchmark::DoNotOptimize(total);
    return double(steps) * 16.0 * double(Bytes / sizeof(T));
}
template <typename T>
__attribute__((target("avx512f"), flatten)) double peak_avx512(long steps)
{
    return peak_at<T, 64>(steps);
}
template <typename T>
__attribute__((target("avx2"), flatten)) double peak_avx2(long steps)
{
    return peak_at<T, 32>(steps);
}
template <typename T>
double peak_sse2(long steps)
{
    return peak_at<T, 16>(steps);
}
template <typename T>
double peak_operations(long steps)
{
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return peak_avx512<T>(steps);
    if (__builtin_cpu_supports("avx2")) return peak_avx2<T>(steps);
    return peak_sse2<T>(steps);
}
const char* lane_width()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") ? "AVX-512 (64-byte vectors)"
           : __builtin_cpu_supports("avx2") ? "AVX2 (32-byte vectors)"
                                            : "SSE2 (16-byte vectors)";
}

// --- the operations of a filter bank call --------------------------------------

// Per pixel and scale, both orders, with r = ceil(4 sigma): down the columns
// 8r + 1 (three kernels sharing the pair sums and differences), along the
// rows 3r + 1 (Iyy) and 6r twice (Ixy with Iy, Ixx with Ix), and 10 per
// orientation to steer (6 for R2, 4 for R1).
double filter_bank_operations(double pixels)
{
    double per_pixel = 0.0;
    for (double sigma : kScales) {
        const double r = std::ceil(4.0 * sigma);
        per_pixel += 23.0 * r + 2.0 + 10.0 * kOrientations;
    }
    return per_pixel * pixels;
}

// --- inputs -----------------------------------------------------------------------

struct Inputs {
    uint16_t size = 0;
    Array image, image_single, scales, orientations;
    Array stack, stack_single;  // the second-order responses of the image
};

// The build's MEX files, or those in $ZEL_MEX_DIR (to compare two builds).
std::string mex_dir()
{
    const char* dir = std::getenv("ZEL_MEX_DIR");
    return dir && *dir ? dir : ZEL_MEX_DIR;
}

mexFunctionPointer load_entry(const std::string& kernel)
{
    const std::string path = mex_dir() + "/" + kernel + ".mexa64";
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle ? reinterpret_cast<mexFunctionPointer>(dlsym(handle, "mexFunction")) : nullptr;
}

// A smooth random image: noise smoothed by a few box passes, in [0, 1].
const Inputs& inputs_for(uint16_t size, mexFunctionPointer filter_bank)
{
    static std::unique_ptr<Inputs> current;
    if (current && current->size == size) return *current;
    current.reset(new Inputs);
    Inputs& in = *current;
    in.size = size;
    const mwSize dims[2] = {size, size};
    in.image.reset(mxCreateNumericArray(2, dims, mxDOUBLE_CLASS, mxREAL));
    in.image_single.reset(mxCreateNumericArray(2, dims, mxSINGLE_CLASS, mxREAL));
    double* image = mxGetPr(in.image.get());
    std::mt19937_64 engine(20261210);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    for (size_t p = 0; p < size_t(size) * size; ++p) image[p] = uniform(engine);
    float* single = static_cast<float*>(mxGetData(in.image_single.get()));
    for (size_t p = 0; p < size_t(size) * size; ++p) single[p] = float(image[p]);
    const mwSize scale_dims[2] = {1, kScaleCount};
    in.scales.reset(mxCreateNumericArray(2, scale_dims, mxDOUBLE_CLASS, mxREAL));
    std::memcpy(mxGetPr(in.scales.get()), kScales, sizeof kScales);
    in.orientations.reset(mxCreateDoubleMatrix(1, 1, mxREAL));
    *mxGetPr(in.orientations.get()) = kOrientations;
    if (filter_bank) {
        for (int k = 0; k < 2; ++k) {
            const mxArray* call[3] = {k ? in.image_single.get() : in.image.get(), in.scales.get(),
                                      in.orientations.get()};
            mxArray* out[1] = {nullptr};
            if (mexHostCall(filter_bank, 1, out, 3, call) == 0) (k ? in.stack_single : in.stack).reset(out[0]);
        }
    }
    return in;
}

// --- the floor of the index maps ---------------------------------------------------

// Reads every element of the stack once, plane after plane, keeping a
// running per-pixel sum in the first output, and writes both uint16 maps.
template <typename T>
void read_stack_once(const mxArray* stack, uint16_t* o, uint16_t* s)
{
    const size_t rows = mxGetDimensions(stack)[0], cols = mxGetDimensions(stack)[1];
    const size_t pixels = rows * cols, planes = mxGetNumberOfElements(stack) / pixels;
    const T* R = static_cast<const T*>(mxGetData(stack));
    constexpr size_t kRun = 512;
    T sum[kRun];
    for (size_t first = 0; first < pixels; first += kRun) {
        const size_t count = std::min(kRun, pixels - first);
        for (size_t q = 0; q < count; ++q) sum[q] = T(0);
        for (size_t k = 0; k < planes; ++k)
            for (size_t q = 0; q < count; ++q) sum[q] += R[first + q + k * pixels];
        for (size_t q = 0; q < count; ++q) {
            o[first + q] = uint16_t(sum[q] > T(0));
            s[first + q] = uint16_t(sum[q] > T(1));
        }
    }
}

void index_maps_floor(int, mxArray* plhs[], int, const mxArray* prhs[])
{
    const mwSize dims[2] = {mxGetDimensions(prhs[0])[0], mxGetDimensions(prhs[0])[1]};
    plhs[0] = mxCreateNumericArray(2, dims, mxUINT16_CLASS, mxREAL);
    plhs[1] = mxCreateNumericArray(2, dims, mxUINT16_CLASS, mxREAL);
    uint16_t* o = static_cast<uint16_t*>(mxGetData(plhs[0]));
    uint16_t* s = static_cast<uint16_t*>(mxGetData(plhs[1]));
    if (mxGetClassID(prhs[0]) == mxSINGLE_CLASS) read_stack_once<float>(prhs[0], o, s);
    else read_stack_once<double>(prhs[0], o, s);
}

// --- the runs ------------------------------------------------------------------------

enum What { kPeak, kFilterBank, kIndexMaps, kIndexFloor };
const char* const kWhatNames[] = {"peak", "ZELgetResponseStack", "ZELgetIndexMaps", "index_floor"};

struct Slot {
    What what;
    uint16_t size;
    bool single;
};
std::map<std::string, Slot>& slots()
{
    static std::map<std::string, Slot> table;
    return table;
}

mexFunctionPointer g_filter_bank = nullptr, g_index_maps = nullptr;

void destroy(mxArray* outputs[], int count)
{
    for (int k = 0; k < count; ++k) {
        if (outputs[k]) mxDestroyArray(outputs[k]);
        outputs[k] = nullptr;
    }
}

void run(benchmark::State& state, const Slot& slot)
{
    if (slot.what == kPeak) {
        const long steps = 1 << 24;
        double operations = 0.0;
        for (auto _ : state) operations += slot.single ? peak_operations<float>(steps) : peak_operations<double>(steps);
        state.counters["operations"] = benchmark::Counter(operations / double(state.iterations()));
        return;
    }
    const Inputs& in = inputs_for(slot.size, g_filter_bank);
    std::vector<const mxArray*> call;
    int outputs = 2;
    mexFunctionPointer entry = nullptr;
    if (slot.what == kFilterBank) {
        call = {slot.single ? in.image_single.get() : in.image.get(), in.scales.get(), in.orientations.get()};
        entry = g_filter_bank;
    } else {
        const mxArray* stack = slot.single ? in.stack_single.get() : in.stack.get();
        if (!stack) {
            state.SkipWithError("no stack: ZELgetResponseStack is not built");
            return;
        }
        call = {stack};
        entry = slot.what == kIndexMaps ? g_index_maps : index_maps_floor;
    }
    mxArray* out[2] = {nullptr, nullptr};
    for (auto _ : state) {
        if (mexHostCall(entry, outputs, out, int(call.size()), call.data()) != 0) {
            state.SkipWithError(mexHostErrorMessage());
            break;
        }
        destroy(out, outputs);
    }
    if (slot.what == kFilterBank)
        state.counters["operations"] = benchmark::Counter(filter_bank_operations(double(slot.size) * slot.size));
}

struct Measured {
    double seconds = 0.0;
    double operations = 0.0;
    bool present = false;
};

class Summary : public benchmark::ConsoleReporter {
public:
    Summary(OutputOptions options, bool fresh, std::vector<uint16_t> sizes)
        : ConsoleReporter(options), fresh_(fresh), sizes_(std::move(sizes))
    {
    }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        const Run* fastest = nullptr;
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration) continue;
            if (run.error_occurred) {
                ConsoleReporter::ReportRuns({run});
                continue;
            }
            if (run.iterations && (!fastest || per_call(run) < per_call(*fastest))) fastest = &run;
        }
        if (!fastest) return;
        ConsoleReporter::ReportRuns({*fastest});
        auto slot = slots().find(fastest->run_name.function_name);
        if (slot == slots().end()) return;
        Measured& m = measured_[key(slot->second)];
        m.present = true;
        m.seconds = per_call(*fastest);
        auto operations = fastest->counters.find("operations");
        m.operations = operations != fastest->counters.end() ? operations->second.value : 0.0;
    }
    void Finalize() override
    {
        std::FILE* out = stdout;
        std::fflush(out);
        std::fprintf(out,
                     "\nFilter bank: both orders, %d orientations, scales 1.5 * 1.6^(0:3); lanes: %s.\n"
                     "Outputs: %s. CPU time per call, fastest repetition.\n"
                     "GFLOP/s: the multiplications and additions the call must make per second; peak: the same "
                     "rate of a plain loop of independent vector multiplies and adds; x peak: their ratio.\n"
                     "Index maps: x floor is the call's time over a plain loop that reads the stack once and "
                     "writes both maps.\n\n",
                     kOrientations, lane_width(),
                     fresh_ ? "fresh, their first-touch page faults paid in the call"
                            : "recycled, freed memory kept in the heap");
        std::fprintf(out, "%-22s %5s %7s %10s %9s %9s %8s %12s %12s %8s\n", "", "size", "class", "ms/call",
                     "ns/px", "GFLOP/s", "x peak", "floor ms", "floor ns/px", "x floor");
        for (bool single : {false, true}) {
            const Measured& peak = measured_[key(Slot{kPeak, 0, single})];
            const double peak_rate = peak.present ? peak.operations / peak.seconds / 1e9 : 0.0;
            std::fprintf(out, "%-22s %5s %7s %10s %9s %9.1f\n", "peak", "-", single ? "single" : "double", "-", "-",
                         peak_rate);
            for (uint16_t size : sizes_) {
                const double pixels = double(size) * size;
                const Measured& f = measured_[key(Slot{kFilterBank, size, single})];
                if (f.present) {
                    const double rate = f.operations / f.seconds / 1e9;
                    std::fprintf(out, "%-22s %5u %7s %10.1f %9.2f %9.1f %8.2f\n", "ZELgetResponseStack",
                                 unsigned(size), single ? "single" : "double", f.seconds * 1e3,
                                 f.seconds / pixels * 1e9, rate, peak_rate > 0 ? rate / peak_rate : 0.0);
                }
                const Measured& i = measured_[key(Slot{kIndexMaps, size, single})];
                const Measured& floor = measured_[key(Slot{kIndexFloor, size, single})];
                if (i.present && floor.present)
                    std::fprintf(out, "%-22s %5u %7s %10.1f %9.2f %9s %8s %12.1f %12.2f %8.2f\n", "ZELgetIndexMaps",
                                 unsigned(size), single ? "single" : "double", i.seconds * 1e3,
                                 i.seconds / pixels * 1e9, "-", "-", floor.seconds * 1e3,
                                 floor.seconds / pixels * 1e9, i.seconds / floor.seconds);
            }
        }
        ConsoleReporter::Finalize();
    }

private:
    static double per_call(const Run& run) { return run.cpu_accumulated_time / double(run.iterations); }
    static std::string key(const Slot& s)
    {
        return std::to_string(int(s.what)) + "/" + std::to_string(s.size) + "/" + (s.single ? "s" : "d");
    }
    bool fresh_;
    std::vector<uint16_t> sizes_;
    std::map<std::string, Measured> measured_;
};

struct Options {
    std::vector<uint16_t> sizes = {512, 1024, 2048};
    bool fresh_outputs = false;
};

Options take_options(int& argc, char** argv)
{
    Options options;
    int kept = 1;
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--fresh-outputs") == 0) {
            options.fresh_outputs = true;
        } else if (std::strncmp(argv[k], "--sizes=", 8) == 0) {
            options.sizes.clear();
            for (const char* text = argv[k] + 8; *text;) {
                char* end = nullptr;
                const long size = std::strtol(text, &end, 10);
                if (end == text || size < 8 || size > 8192) {
                    std::fprintf(stderr, "--sizes: expected sizes from 8 to 8192 separated by commas\n");
                    std::exit(2);
                }
                options.sizes.push_back(uint16_t(size));
                text = *end == ',' ? end + 1 : end;
            }
        } else {
            argv[kept++] = argv[k];
        }
    }
    argc = kept;
    argv[argc] = nullptr;
    std::sort(options.sizes.begin(), options.sizes.end());
    return options;
}

}  // namespace
}  // namespace zelbench

int main(int argc, char** argv)
{
    using namespace zelbench;
    const Options options = take_options(argc, argv);
    // Recycled outputs: the host gives a new stack the block of a freed one
    // (glibc alone splits freed stacks of a gigabyte with small blocks, and
    // every stack would come from fresh pages).
    if (!options.fresh_outputs) mxHostKeepFreedBlocks(1);
    // Outputs cost what a real host's cost: no marking of unwritten elements.
    mxHostMarkUninitialised(0);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    g_filter_bank = load_entry("ZELgetResponseStack");
    g_index_maps = load_entry("ZELgetIndexMaps");
    if (!g_filter_bank || !g_index_maps) {
        std::fprintf(stderr, "filter bank bench: %s/ZELgetResponseStack.mexa64 and ZELgetIndexMaps.mexa64 must be built\n",
                     mex_dir().c_str());
        return 1;
    }
    const auto add = [](const std::string& name, Slot slot) {
        slots()[name] = slot;
        benchmark::RegisterBenchmark(name.c_str(), [slot](benchmark::State& state) { run(state, slot); })
            ->Unit(benchmark::kMillisecond);
    };
    for (bool single : {false, true}) add(std::string("peak/") + (single ? "single" : "double"), Slot{kPeak, 0, single});
    for (uint16_t size : options.sizes)
        for (bool single : {false, true})
            for (What what : {kFilterBank, kIndexMaps, kIndexFloor})
                add(std::string(kWhatNames[what]) + "/" + std::to_string(size) + "/" + (single ? "single" : "double"),
                    Slot{what, size, single});
    const auto console = isatty(fileno(stdout)) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                : benchmark::ConsoleReporter::OO_Tabular;
    Summary reporter(console, options.fresh_outputs, options.sizes);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
