// The kernels against their two baselines, on synthetic images of 256^2 to
// 2048^2 pixels with 8 orientations and 4 scales:
//   kernel      the MEX file as built (memory-order traversal),
//   floor       the memory floor of the kernel (memory_floors.h),
//   rows_outer  the same kernel source built to visit rows outer, columns inner,
//   single      the MEX file with the stacks and real maps in single precision,
//   single_floor  the memory floor with the same single-precision inputs,
//   physical    the physical floor of the map (physical_floors.h),
//   single_physical  the physical floor on the single-precision inputs.
// Every call goes through the stand-in host, output creation and destruction
// included. After the runs a table gives, per kernel and size, the time per
// pixel, the bytes the kernel must read per second, the ratio to the floor
// and the speed-up over row-outer traversal; a second table sets each map
// against its physical floor, after the streaming bandwidth of the process.
//
// Extra options: --sizes=256,512 (default 256,512,1024,2048) and
// --fresh-outputs (see keep_freed_memory); every Google Benchmark option works
// as usual, e.g. --benchmark_filter=EdgeMap.
// $ZEL_MEX_DIR, when set, names the folder of the MEX files to time (to
// compare two builds with the same bench).
#include "fixtures.h"
#include "memory_floors.h"
#include "physical_floors.h"
#include "mex_host.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace zelbench {
namespace {

using Inputs = std::vector<const mxArray*>;

// What the suite knows of a kernel: its inputs from a fixture, its floor and
// the bytes of image-sized input it must read per call (the stacks, maps and
// per-pixel inputs, each element counted once; the small tables stay in cache
// and are not counted).
struct KernelCase {
    const char* name;
    int outputs;
    Inputs (*inputs)(const Fixture&);
    Inputs (*single_inputs)(const Fixture&);
    mexFunctionPointer floor;
    double (*bytes_read)(const Fixture&);
    const PhysicalFloor* physical;
};

double pixels(const Fixture& f) { return double(f.size) * double(f.size); }

// Blob and ridge share the ten inputs; input 4 is not read and gets the scale
// index map, as a caller sharing the edge map's argument list would pass.
Inputs ten_inputs(const Fixture& f)
{
    return {f.response.get(),       f.penalty.get(),       f.orientation_index.get(), f.scale_index.get(),
            f.penalty_weight.get(), f.profile_table.get(), f.sampling_gain.get(),     f.size_map.get(),
            f.scale_table.get(),    f.amplitude_map.get()};
}
Inputs edge_inputs(const Fixture& f)
{
    return {f.response.get(),          f.penalty.get(),        f.orientation_index.get(),
            f.scale_index.get(),       f.penalty_weight.get(), f.penalty_factor.get()};
}
Inputs height_and_width_inputs(const Fixture& f)
{
    return {f.response.get(),      f.orientation_index.get(), f.scale_index.get(), f.profile_table.get(),
            f.sampling_gain.get(), f.scale_table.get(),       f.height_mode.get()};
}
Inputs orientation_inputs(const Fixture& f)
{
    return {f.response.get(), f.orientation_index.get(), f.scale_index.get(), f.angle_flag.get()};
}
Inputs curvature_inputs(const Fixture& f) { return {f.curve_map.get()}; }

// The same calls with the stacks and the real per-pixel maps in single.
Inputs ten_single_inputs(const Fixture& f)
{
    Inputs inputs = ten_inputs(f);
    inputs[0] = f.response_single.get();
    inputs[1] = f.penalty_single.get();
    inputs[7] = f.size_map_single.get();
    inputs[9] = f.amplitude_map_single.get();
    return inputs;
}
Inputs edge_single_inputs(const Fixture& f)
{
    Inputs inputs = edge_inputs(f);
    inputs[0] = f.response_single.get();
    inputs[1] = f.penalty_single.get();
    return inputs;
}
Inputs height_and_width_single_inputs(const Fixture& f)
{
    Inputs inputs = height_and_width_inputs(f);
    inputs[0] = f.response_single.get();
    return inputs;
}
Inputs orientation_single_inputs(const Fixture& f)
{
    Inputs inputs = orientation_inputs(f);
    inputs[0] = f.response_single.get();
    return inputs;
}
Inputs curvature_single_inputs(const Fixture& f) { return {f.curve_map_single.get()}; }

// Blob: both stacks whole, the orientation index, size and amplitude maps.
double blob_bytes(const Fixture& f) { return pixels(f) * (2 + 8 + 8 + 2.0 * kOrientations * kScales * 8); }
// Ridge: both stacks at o* for every scale, the orientation index, size and amplitude maps.
double ridge_bytes(const Fixture& f) { return pixels(f) * (2 + 8 + 8 + 2.0 * kScales * 8); }
// Edge: both stacks at o* for every scale, both index maps.
double edge_bytes(const Fixture& f) { return pixels(f) * (2 + 2 + 2.0 * kScales * 8); }
// Height and width: both index maps; one response, three at an inner scale.
double height_and_width_bytes(const Fixture& f)
{
    return pixels(f) * (2 + 2 + 8) + 2.0 * 8 * double(f.inner_scale_pixels);
}
// Orientation: both index maps; three responses.
double orientation_bytes(const Fixture& f) { return pixels(f) * (2 + 2 + 3 * 8); }
// Curvature: the distinct map elements read as centres and neighbours.
double curvature_bytes(const Fixture& f) { return 8.0 * double(f.curve_elements_read); }

const std::vector<KernelCase>& kernel_cases()
{
    static const std::vector<KernelCase> cases = {
        {"ZELgetBlobMap", 1, ten_inputs, ten_single_inputs, blob_floor, blob_bytes, &blob_physical_floor},
        {"ZELgetRidgeMap", 1, ten_inputs, ten_single_inputs, ridge_floor, ridge_bytes, &ridge_physical_floor},
        {"ZELgetEdgeMap", 1, edge_inputs, edge_single_inputs, edge_floor, edge_bytes, &edge_physical_floor},
        {"ZELgetHeightAndWidthMap", 2, height_and_width_inputs, height_and_width_single_inputs,
         height_and_width_floor, height_and_width_bytes, &height_and_width_physical_floor},
        {"ZELgetOrientationMap", 1, orientation_inputs, orientation_single_inputs, orientation_floor,
         orientation_bytes, &orientation_physical_floor},
        {"ZELgetCurvatureMap", 1, curvature_inputs, curvature_single_inputs, curvature_floor, curvature_bytes,
         &curvature_physical_floor},
    };
    return cases;
}

// mexFunction of DIR/NAME.mexa64, or null when that file is not built.
// The build's MEX files, or those in $ZEL_MEX_DIR (to compare two builds).
std::string mex_dir()
{
    const char* dir = std::getenv("ZEL_MEX_DIR");
    return dir && *dir ? dir : ZEL_MEX_DIR;
}

mexFunctionPointer load_entry(const std::string& directory, const std::string& kernel)
{
    const std::string path = directory + "/" + kernel + ".mexa64";
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return nullptr;
    return reinterpret_cast<mexFunctionPointer>(dlsym(handle, "mexFunction"));
}

// One fixture at a time: the sizes run in ascending order, and a 2048^2
// fixture alone holds over 2 GiB.
const Fixture& fixture_for(uint16_t size)
{
    static std::unique_ptr<Fixture> current;
    if (!current || current->size != size) {
        forget_physical_floor();  // its line lists point into the old inputs
        current.reset();
        std::fprintf(stderr, "building the %u x %u inputs...\n", unsigned(size), unsigned(size));
        current = make_fixture(size);
    }
    return *current;
}

void destroy_outputs(mxArray* outputs[], int count)
{
    for (int k = 0; k < count; ++k) {
        if (outputs[k]) mxDestroyArray(outputs[k]);
        outputs[k] = nullptr;
    }
}

// Empty when two entry points give the same bits on the fixture (the
// traversal order must not be observable), else what went wrong.
std::string traversal_problem(const KernelCase& kernel, mexFunctionPointer a, mexFunctionPointer b,
                              const Fixture& f)
{
    Inputs inputs = kernel.inputs(f);
    mxArray* first[2] = {nullptr, nullptr};
    mxArray* second[2] = {nullptr, nullptr};
    std::string problem;
    if (mexHostCall(a, kernel.outputs, first, int(inputs.size()), inputs.data()) != 0 ||
        mexHostCall(b, kernel.outputs, second, int(inputs.size()), inputs.data()) != 0)
        problem = mexHostErrorMessage();
    for (int k = 0; problem.empty() && k < kernel.outputs; ++k)
        if (std::memcmp(mxGetPr(first[k]), mxGetPr(second[k]), mxGetNumberOfElements(first[k]) * 8) != 0)
            problem = "row-outer traversal gives other results than memory order";
    destroy_outputs(first, kernel.outputs);
    destroy_outputs(second, kernel.outputs);
    return problem;
}

enum Variant { kKernel, kFloor, kRowsOuter, kSingle, kSingleFloor, kPhysical, kSinglePhysical, kVariantCount };
const char* const kVariantNames[kVariantCount] = {"kernel", "floor",    "rows_outer",     "single",
                                                  "single_floor", "physical", "single_physical"};

struct Entries {
    mexFunctionPointer of[kVariantCount] = {};
};

void run_calls(benchmark::State& state, const KernelCase& kernel, const Entries& entries, Variant variant,
               uint16_t size)
{
    const Fixture& f = fixture_for(size);
    // The row-outer build is checked against the kernel once per size where
    // that is cheap.
    static std::map<std::string, std::string> problems;  // by kernel/size
    const std::string check = std::string(kernel.name) + "/" + std::to_string(size);
    if (variant == kRowsOuter && size <= 512 && !problems.count(check))
        problems[check] = traversal_problem(kernel, entries.of[kKernel], entries.of[kRowsOuter], f);
    if (variant == kRowsOuter && problems.count(check) && !problems[check].empty()) {
        state.SkipWithError(problems[check].c_str());
        return;
    }
    const bool single = variant == kSingle || variant == kSingleFloor || variant == kSinglePhysical;
    Inputs inputs = single ? kernel.single_inputs(f) : kernel.inputs(f);
    const bool physical = variant == kPhysical || variant == kSinglePhysical;
    // The physical floor's line lists are built here, outside the timing.
    if (physical) kernel.physical->prepare(inputs.data());
    mexFunctionPointer entry = entries.of[variant];
    mxArray* outputs[2] = {nullptr, nullptr};
    for (auto _ : state) {
        if (mexHostCall(entry, kernel.outputs, outputs, int(inputs.size()), inputs.data()) != 0) {
            state.SkipWithError(mexHostErrorMessage());
            break;
        }
        destroy_outputs(outputs, kernel.outputs);
    }
    state.SetItemsProcessed(int64_t(state.iterations() * pixels(f)));
    const double bytes = physical ? physical_floor_bytes() : kernel.bytes_read(f);
    state.SetBytesProcessed(int64_t(double(state.iterations()) * bytes));
}

// Where each benchmark belongs in the summary.
struct Slot {
    std::string kernel;
    uint16_t size;
    Variant variant;
};
std::map<std::string, Slot>& slots()
{
    static std::map<std::string, Slot> table;
    return table;
}

struct Measured {
    double seconds = 0.0;  // CPU time per call, the fastest repetition
    double bytes = 0.0;    // per call
    double pixels = 0.0;
    bool present = false;
};

// The console lines (of several repetitions only the fastest), then the
// summary table.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    SummaryReporter(OutputOptions options, bool fresh_outputs, std::vector<std::string> kernels,
                    std::vector<uint16_t> sizes, std::vector<std::string> skipped, double streaming)
        : ConsoleReporter(options), fresh_outputs_(fresh_outputs), kernels_(std::move(kernels)),
          sizes_(std::move(sizes)), skipped_(std::move(skipped)), streaming_(streaming)
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
            if (run.iterations == 0) continue;
            if (!fastest || per_call(run) < per_call(*fastest)) fastest = &run;
        }
        if (!fastest) return;
        ConsoleReporter::ReportRuns({*fastest});
        auto slot = slots().find(fastest->run_name.function_name);
        if (slot == slots().end()) return;
        Measured& m = measured_[key(slot->second.kernel, slot->second.size, slot->second.variant)];
        m.present = true;
        m.seconds = per_call(*fastest);
        m.pixels = double(slot->second.size) * slot->second.size;
        auto bytes = fastest->counters.find("bytes_per_second");
        m.bytes = bytes != fastest->counters.end() ? bytes->second.value * m.seconds : 0.0;
    }

    void Finalize() override
    {
        std::FILE* out = stdout;
        std::fflush(out);
        std::fprintf(out,
                     "\n%u orientations x %u scales, smooth index maps, profile table of %u elements; "
                     "height and width in mode %u (two-sample difference), orientation with flag %u (linear).\n"
                     "CPU time per call through the stand-in host, output creation included, fastest "
                     "repetition.\n"
                     "Outputs: %s.\n"
                     "ns/px: per pixel. GB/s: bytes of the stacks, maps and per-pixel inputs the kernel must "
                     "read.\n"
                     "x floor: kernel time / memory floor time. speed-up: row-outer time / kernel time.\n"
                     "single: the kernel with the stacks and real maps in single precision; "
                     "x faster: kernel time / single time; floor x faster: the same for the floors, what the "
                     "memory system gives for reading singles; single x floor: single time / single floor "
                     "time.\n\n",
                     unsigned(kOrientations), unsigned(kScales), unsigned(kProfileLength), unsigned(kHeightMode),
                     unsigned(kAngleFlag),
                     fresh_outputs_ ? "fresh, their first-touch page faults paid in the call, as a host that "
                                      "allocates afresh does"
                                    : "recycled, freed memory kept in the heap, as a host that reuses its memory does");
        std::fprintf(out, "%-24s %5s %8s %7s %12s %8s %17s %9s %13s %9s %15s %15s\n", "kernel", "size", "ns/px",
                     "GB/s", "floor ns/px", "x floor", "rows-outer ns/px", "speed-up", "single ns/px", "x faster",
                     "floor x faster", "single x floor");
        for (const std::string& kernel : kernels_) {
            for (uint16_t size : sizes_) {
                const Measured& k = measured_[key(kernel, size, kKernel)];
                const Measured& f = measured_[key(kernel, size, kFloor)];
                const Measured& r = measured_[key(kernel, size, kRowsOuter)];
                const Measured& s = measured_[key(kernel, size, kSingle)];
                const Measured& sf = measured_[key(kernel, size, kSingleFloor)];
                if (!k.present && !f.present && !r.present) continue;
                std::fprintf(out, "%-24s %5u", kernel.c_str(), unsigned(size));
                print_value(out, k.present, k.seconds / k.pixels * 1e9, 8);
                print_value(out, k.present, k.bytes / k.seconds / 1e9, 7);
                print_value(out, f.present, f.seconds / f.pixels * 1e9, 12);
                print_value(out, k.present && f.present, k.seconds / f.seconds, 8);
                print_value(out, r.present, r.seconds / r.pixels * 1e9, 17);
                print_value(out, k.present && r.present, r.seconds / k.seconds, 9);
                print_value(out, s.present, s.seconds / s.pixels * 1e9, 13);
                print_value(out, k.present && s.present, k.seconds / s.seconds, 9);
                print_value(out, f.present && sf.present, f.seconds / sf.seconds, 15);
                print_value(out, s.present && sf.present, s.seconds / sf.seconds, 15);
                std::fprintf(out, "\n");
            }
        }
        for (const std::string& name : skipped_) std::fprintf(out, "%-24s not built, skipped\n", name.c_str());
        print_physical(out);
        print_scaling(out);
        ConsoleReporter::Finalize();
    }

private:
    // Each map against its physical floor, in double and in single: the map's
    // time, the floor's, their ratio, and the bytes the floor moves per pixel
    // (distinct lines read, outputs written) and per second.
    void print_physical(std::FILE* out)
    {
        std::fprintf(out,
                     "\nAgainst the physical floor (the distinct 64-byte lines the map reads, brought in plane by "
                     "plane per run of 4096 pixels with a prefetch %zu entries ahead, its outputs written, its "
                     "pow, atan or sin calls made).\n"
                     "Streaming read of 1 GiB by this process, best of five: %.1f GB/s.\n"
                     "map ns/px: the kernel; phys ns/px: the physical floor; x phys: their ratio; B/px and GB/s: "
                     "the floor's lines and outputs, per pixel and per second.\n",
                     prefetch_distance(), streaming_);
        std::fprintf(out, "%-24s %5s | %8s %10s %7s %7s %7s | %8s %10s %7s %7s %7s\n", "", "", "double", "", "",
                     "", "", "single", "", "", "", "");
        std::fprintf(out, "%-24s %5s | %8s %10s %7s %7s %7s | %8s %10s %7s %7s %7s\n", "kernel", "size",
                     "map ns/px", "phys ns/px", "x phys", "B/px", "GB/s", "map ns/px", "phys ns/px", "x phys", "B/px",
                     "GB/s");
        for (const std::string& kernel : kernels_) {
            for (uint16_t size : sizes_) {
                const Measured& k = measured_[key(kernel, size, kKernel)];
                const Measured& p = measured_[key(kernel, size, kPhysical)];
                const Measured& s = measured_[key(kernel, size, kSingle)];
                const Measured& sp = measured_[key(kernel, size, kSinglePhysical)];
                if (!k.present && !p.present && !s.present && !sp.present) continue;
                std::fprintf(out, "%-24s %5u |", kernel.c_str(), unsigned(size));
                print_against(out, k, p);
                std::fprintf(out, " |");
                print_against(out, s, sp);
                std::fprintf(out, "\n");
            }
        }
    }
    static void print_against(std::FILE* out, const Measured& map, const Measured& floor)
    {
        print_value(out, map.present, map.seconds / map.pixels * 1e9, 9);
        print_value(out, floor.present, floor.seconds / floor.pixels * 1e9, 10);
        print_value(out, map.present && floor.present, map.seconds / floor.seconds, 7);
        print_value(out, floor.present, floor.bytes / floor.pixels, 7);
        print_value(out, floor.present, floor.bytes / floor.seconds / 1e9, 7);
    }

    // Kernel time per pixel by size, and the largest size's over 512^2's:
    // flat when the cost grows linearly with the pixel count.
    void print_scaling(std::FILE* out)
    {
        const bool has_512 = std::count(sizes_.begin(), sizes_.end(), 512) > 0;
        const uint16_t largest = sizes_.empty() ? 0 : sizes_.back();
        const bool ratio = has_512 && largest > 512;
        std::fprintf(out, "\nScaling, kernel ns/px:\n%-24s", "kernel");
        for (uint16_t size : sizes_) std::fprintf(out, " %8u", unsigned(size));
        if (ratio) std::fprintf(out, " %8u/512", unsigned(largest));
        std::fprintf(out, "\n");
        for (const std::string& kernel : kernels_) {
            const bool measured = std::any_of(sizes_.begin(), sizes_.end(), [&](uint16_t size) {
                return measured_[key(kernel, size, kKernel)].present;
            });
            if (!measured) continue;
            std::fprintf(out, "%-24s", kernel.c_str());
            for (uint16_t size : sizes_) {
                const Measured& k = measured_[key(kernel, size, kKernel)];
                print_value(out, k.present, k.seconds / k.pixels * 1e9, 8);
            }
            if (ratio) {
                const Measured& small = measured_[key(kernel, 512, kKernel)];
                const Measured& large = measured_[key(kernel, largest, kKernel)];
                print_value(out, small.present && large.present,
                            (large.seconds / large.pixels) / (small.seconds / small.pixels), 12);
            }
            std::fprintf(out, "\n");
        }
    }

    static double per_call(const Run& run) { return run.cpu_accumulated_time / double(run.iterations); }
    static std::string key(const std::string& kernel, uint16_t size, Variant variant)
    {
        return kernel + "/" + std::to_string(size) + "/" + kVariantNames[variant];
    }
    // One column, a space and the value right-aligned in width; "-" when not measured.
    static void print_value(std::FILE* out, bool present, double value, int width)
    {
        if (present) std::fprintf(out, " %*.2f", width, value);
        else std::fprintf(out, " %*s", width, "-");
    }

    bool fresh_outputs_;
    std::vector<std::string> kernels_;
    std::vector<uint16_t> sizes_;
    std::vector<std::string> skipped_;
    double streaming_;
    std::map<std::string, Measured> measured_;
};

// The host creates every output with calloc. By default glibc maps a block
// of 32 MiB or more (a 2048^2 output) afresh each time and returns it on
// free, so every call pays a page fault per 4 KiB of output; on a virtual
// machine that costs about 10 us a page, 80 ms per 2048^2 output, several
// times the whole memory floor, which would hide every difference between the
// kernels. Keeping freed memory in the heap makes output creation cost what
// a host that recycles its memory pays: calloc's zero-fill.
void keep_freed_memory()
{
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
}

struct Options {
    std::vector<uint16_t> sizes = {256, 512, 1024, 2048};
    bool fresh_outputs = false;
};

// Takes the suite's own options out of the arguments.
Options take_options(int& argc, char** argv)
{
    Options options;
    std::vector<uint16_t>& sizes = options.sizes;
    int kept = 1;
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--fresh-outputs") == 0) {
            options.fresh_outputs = true;
            continue;
        }
        if (std::strncmp(argv[k], "--sizes=", 8) != 0) {
            argv[kept++] = argv[k];
            continue;
        }
        sizes.clear();
        for (const char* text = argv[k] + 8; *text;) {
            char* end = nullptr;
            const long size = std::strtol(text, &end, 10);
            if (end == text || size < 3 || size > 4096) {
                std::fprintf(stderr, "--sizes: expected sizes from 3 to 4096 separated by commas\n");
                std::exit(2);
            }
            sizes.push_back(uint16_t(size));
            text = *end == ',' ? end + 1 : end;
        }
    }
    argc = kept;
    argv[argc] = nullptr;
    std::sort(sizes.begin(), sizes.end());
    return options;
}

}  // namespace
}  // namespace zelbench

int main(int argc, char** argv)
{
    using namespace zelbench;
    const Options options = take_options(argc, argv);
    const std::vector<uint16_t>& sizes = options.sizes;
    if (!options.fresh_outputs) keep_freed_memory();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    std::vector<std::string> built, skipped;
    std::vector<std::pair<const KernelCase*, Entries>> runnable;
    for (const KernelCase& kernel : kernel_cases()) {
        Entries entries;
        entries.of[kKernel] = load_entry(mex_dir(), kernel.name);
        entries.of[kRowsOuter] = load_entry(ZEL_ROWS_OUTER_MEX_DIR, kernel.name);
        entries.of[kFloor] = kernel.floor;
        entries.of[kSingle] = entries.of[kKernel];
        entries.of[kSingleFloor] = kernel.floor;
        entries.of[kPhysical] = kernel.physical->run;
        entries.of[kSinglePhysical] = kernel.physical->run;
        if (!entries.of[kKernel]) {
            std::fprintf(stderr, "%s: %s/%s.mexa64 not built, skipped\n", kernel.name, mex_dir().c_str(), kernel.name);
            skipped.push_back(kernel.name);
            continue;
        }
        built.push_back(kernel.name);
        runnable.emplace_back(&kernel, entries);
    }
    // Sizes outermost, so that each fixture is built once; the variants
    // of a kernel run back to back, so that their ratios see the same machine.
    for (uint16_t size : sizes) {
        for (const auto& [kernel, entries] : runnable) {
            for (Variant variant : {kFloor, kPhysical, kKernel, kRowsOuter, kSingle, kSinglePhysical, kSingleFloor}) {
                if (!entries.of[variant]) continue;
                const std::string name =
                    std::string(kernel->name) + "/" + std::to_string(size) + "/" + kVariantNames[variant];
                slots()[name] = Slot{kernel->name, size, variant};
                benchmark::RegisterBenchmark(name.c_str(),
                                             [kernel = kernel, entries = entries, variant, size](
                                                 benchmark::State& state) {
                                                 run_calls(state, *kernel, entries, variant, size);
                                             })
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
    const auto console = isatty(fileno(stdout)) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                : benchmark::ConsoleReporter::OO_Tabular;
    const double streaming = streaming_bandwidth();
    SummaryReporter reporter(console, options.fresh_outputs, built, sizes, skipped, streaming);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
