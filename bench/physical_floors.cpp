#include "physical_floors.h"

#include "platform/libm_binding.h"  // the same pow, atan and sin the kernels bind
#include "mex_frame.h"
#include "peak_interpolation.h"
#include "scalar_helpers.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>

#include <algorithm>
#include <vector>

namespace zelbench {
namespace {

// The pixels of one run: the lines of a run are listed plane by plane, so
// that each plane is read as one ascending stream of lines. Several thousand
// pixels keep a run's lines of every plane (64 planes for the blob map) well
// within the second-level cache.
constexpr ptrdiff_t kRunPixels = 4096;
// How many entries of the line list ahead the touch loop prefetches, unless
// $ZEL_BENCH_PREFETCH_AHEAD says otherwise (0 to kMostAhead). 64, 128 and 256
// were alike within the noise at 512^2 here.
constexpr size_t kAhead = 128;
constexpr size_t kMostAhead = 4096;

size_t read_prefetch_distance()
{
    const char* text = getenv("ZEL_BENCH_PREFETCH_AHEAD");
    if (!text || !*text) return kAhead;
    char* end = nullptr;
    const long ahead = strtol(text, &end, 10);
    return *end == 0 && ahead >= 0 && ahead <= long(kMostAhead) ? size_t(ahead) : kAhead;
}
constexpr uintptr_t kLineBytes = 64;

inline uintptr_t line_of(const unsigned char* address) { return uintptr_t(address) & ~(kLineBytes - 1); }

enum class Libm { kNone, kPow, kAtan, kSin };

// One libm call of the map: the pixel whose output takes its result and the
// argument (for pow, the exponent; the base is the plan's).
struct LibmCall {
    uint32_t pixel;
    double argument;
};

// Everything the timed loop needs, built from the inputs beforehand.
struct Plan {
    const PhysicalFloor* floor = nullptr;
    const mxArray* key[2] = {nullptr, nullptr};
    zel::StackShape shape = {};
    int outputs = 1;
    ptrdiff_t pixels = 0;
    // One byte in every distinct line read: the lowest element the map reads
    // in that line, so that every address lies inside its array. The list is
    // followed by `ahead` entries more for the prefetch to run into.
    std::vector<const unsigned char*> lines;
    std::vector<size_t> run_lines;  // run r's lines: [run_lines[r], run_lines[r + 1])
    Libm libm = Libm::kNone;
    double base = 0.0;  // of pow
    std::vector<LibmCall> calls;    // in pixel order
    std::vector<size_t> run_calls;  // run r's calls: [run_calls[r], run_calls[r + 1])
    size_t listed_lines = 0;
    size_t ahead = kAhead;
};

Plan& current_plan()
{
    static Plan plan;
    return plan;
}

// Collects, for one run at a time, the elements each plane reads and appends
// their distinct lines, plane by plane in ascending order, to the plan.
class LineLists {
public:
    LineLists(Plan& plan, int planes) : plan_(plan), buckets_(size_t(planes)), previous_(size_t(planes))
    {
        plan_.lines.clear();
        plan_.run_lines.assign(1, 0);
        plan_.calls.clear();
        plan_.run_calls.assign(1, 0);
    }

    void read(int plane, const void* element)
    {
        const unsigned char* address = static_cast<const unsigned char*>(element);
        std::vector<const unsigned char*>& bucket = buckets_[size_t(plane)];
        if (bucket.empty() || line_of(bucket.back()) != line_of(address) || address < bucket.back())
            bucket.push_back(address);
    }

    void call(ptrdiff_t pixel, double argument) { plan_.calls.push_back({uint32_t(pixel), argument}); }

    // A line the previous run listed in the same plane is in the cache and
    // is not listed again: the curvature map's runs share the columns at
    // their ends, and a run of another map may begin inside the line where
    // the run before ended.
    void end_run()
    {
        for (size_t plane = 0; plane < buckets_.size(); ++plane) {
            std::vector<const unsigned char*>& bucket = buckets_[plane];
            std::vector<uintptr_t>& previous = previous_[plane];
            std::sort(bucket.begin(), bucket.end());
            std::vector<uintptr_t> current;
            size_t seen = 0;
            for (const unsigned char* address : bucket) {
                const uintptr_t line = line_of(address);
                if (!current.empty() && current.back() == line) continue;
                current.push_back(line);
                while (seen < previous.size() && previous[seen] < line) ++seen;
                if (seen < previous.size() && previous[seen] == line) continue;
                plan_.lines.push_back(address);
            }
            previous.swap(current);
            bucket.clear();
        }
        plan_.run_lines.push_back(plan_.lines.size());
        plan_.run_calls.push_back(plan_.calls.size());
    }

    void finish()
    {
        static const unsigned char spare = 0;
        plan_.listed_lines = plan_.lines.size();
        const unsigned char* pad = plan_.lines.empty() ? &spare : plan_.lines.back();
        plan_.ahead = prefetch_distance();
        plan_.lines.insert(plan_.lines.end(), plan_.ahead, pad);
    }

private:
    Plan& plan_;
    std::vector<std::vector<const unsigned char*>> buckets_;
    std::vector<std::vector<uintptr_t>> previous_;  // each plane's lines of the last run, ascending
};

zel::StackShape stack_shape(const mxArray* stack)
{
    return zel::StackShape{uint16_t(zel::host_size(stack, 0)), uint16_t(zel::host_size(stack, 1)),
                           uint16_t(zel::host_size(stack, 2)), uint16_t(zel::host_size(stack, 3))};
}

const uint16_t* index_map(const mxArray* map) { return static_cast<const uint16_t*>(mxGetData(map)); }

template <typename T>
const T* elements(const mxArray* array)
{
    return static_cast<const T*>(mxGetData(array));
}

template <typename Prepare>
void by_class(const mxArray* first, Prepare prepare)
{
    if (mxGetClassID(first) == mxSINGLE_CLASS) prepare(float());
    else prepare(double());
}

// The plane number of element (o, s) of stack k (0 for R, 1 for Q): planes
// of R first, scale by scale, then those of Q.
inline int stack_plane(const zel::StackShape& shape, int k, int o, int s)
{
    return (k * shape.scales + s) * shape.orientations + o;
}

void start_plan(Plan& plan, const PhysicalFloor* floor, const mxArray* const prhs[], const zel::StackShape& shape,
                int outputs)
{
    plan.floor = floor;
    plan.key[0] = prhs[0];
    plan.key[1] = prhs[1];
    plan.shape = shape;
    plan.outputs = outputs;
    plan.pixels = zel::pixel_count(shape);
    plan.libm = Libm::kNone;
}

// Calls visit(first, end) for every run of pixels, then closes the run.
template <typename Visit>
void for_each_run(const Plan& plan, LineLists& lists, Visit visit)
{
    for (ptrdiff_t first = 0; first < plan.pixels; first += kRunPixels) {
        visit(first, std::min(plan.pixels, first + kRunPixels));
        lists.end_run();
    }
    lists.finish();
}

// Blob: every plane of both stacks; the orientation index, size and
// amplitude maps.
template <typename T>
void prepare_blob(const PhysicalFloor* floor, const mxArray* const prhs[])
{
    Plan& plan = current_plan();
    const zel::StackShape shape = stack_shape(prhs[0]);
    start_plan(plan, floor, prhs, shape, 1);
    const T* stacks[2] = {elements<T>(prhs[0]), elements<T>(prhs[1])};
    const uint16_t* orientation = index_map(prhs[2]);
    const T* size_map = elements<T>(prhs[7]);
    const T* amplitude = elements<T>(prhs[9]);
    const int maps = stack_plane(shape, 2, 0, 0);
    LineLists lists(plan, maps + 3);
    for_each_run(plan, lists, [&](ptrdiff_t first, ptrdiff_t end) {
        for (int k = 0; k < 2; ++k)
            for (int s = 0; s < shape.scales; ++s)
                for (int o = 0; o < shape.orientations; ++o)
                    for (ptrdiff_t p = first; p < end; ++p)
                        lists.read(stack_plane(shape, k, o, s), stacks[k] + zel::stack_offset(shape, p, uint16_t(o + 1), uint16_t(s + 1)));
        for (ptrdiff_t p = first; p < end; ++p) {
            lists.read(maps, orientation + p);
            lists.read(maps + 1, size_map + p);
            lists.read(maps + 2, amplitude + p);
        }
    });
}

// Both stacks at the selected orientation o of pixel p, every scale: what
// the ridge and edge maps read of the stacks.
template <typename T>
void read_selected_planes(LineLists& lists, const zel::StackShape& shape, const T* const stacks[2], ptrdiff_t p,
                          uint16_t o)
{
    for (int k = 0; k < 2; ++k)
        for (int s = 0; s < shape.scales; ++s)
            lists.read(stack_plane(shape, k, o - 1, s), stacks[k] + zel::stack_offset(shape, p, o, uint16_t(s + 1)));
}

// Ridge: both stacks at the selected orientation, every scale; the
// orientation index, size and amplitude maps.
template <typename T>
void prepare_ridge(const PhysicalFloor* floor, const mxArray* const prhs[])
{
    Plan& plan = current_plan();
    const zel::StackShape shape = stack_shape(prhs[0]);
    start_plan(plan, floor, prhs, shape, 1);
    const T* stacks[2] = {elements<T>(prhs[0]), elements<T>(prhs[1])};
    const uint16_t* orientation = index_map(prhs[2]);
    const T* size_map = elements<T>(prhs[7]);
    const T* amplitude = elements<T>(prhs[9]);
    const int maps = stack_plane(shape, 2, 0, 0);
    LineLists lists(plan, maps + 3);
    for_each_run(plan, lists, [&](ptrdiff_t first, ptrdiff_t end) {
        for (ptrdiff_t p = first; p < end; ++p) {
            read_selected_planes(lists, shape, stacks, p, orientation[p]);
            lists.read(maps, orientation + p);
            lists.read(maps + 1, size_map + p);
            lists.read(maps + 2, amplitude + p);
        }
    });
}

// Edge: both stacks at the selected orientation, every scale; both index
// maps.
template <typename T>
void prepare_edge(const PhysicalFloor* floor, const mxArray* const prhs[])
{
    Plan& plan = current_plan();
    const zel::StackShape shape = stack_shape(prhs[0]);
    start_plan(plan, floor, prhs, shape, 1);
    const T* stacks[2] = {elements<T>(prhs[0]), elements<T>(prhs[1])};
    const uint16_t* orientation = index_map(prhs[2]);
    const uint16_t* scale = index_map(prhs[3]);
    const int maps = stack_plane(shape, 2, 0, 0);
    LineLists lists(plan, maps + 2);
    for_each_run(plan, lists, [&](ptrdiff_t first, ptrdiff_t end) {
        for (ptrdiff_t p = first; p < end; ++p) {
            read_selected_planes(lists, shape, stacks, p, orientation[p]);
            lists.read(maps, orientation + p);
            lists.read(maps + 1, scale + p);
        }
    });
}

// Height and width: R at the selected orientation and scale, and at an
// inner scale its two scale neighbours; both index maps. pow(T(1,1) /
// T(1,2), s* - refined scale) where the map calls it: a non-zero exponent.
template <typename T>
void prepare_height_and_width(const PhysicalFloor* floor, const mxArray* const prhs[])
{
    Plan& plan = current_plan();
    const zel::StackShape shape = stack_shape(prhs[0]);
    start_plan(plan, floor, prhs, shape, 2);
    const T* R = elements<T>(prhs[0]);
    const uint16_t* orientation = index_map(prhs[1]);
    const uint16_t* scale = index_map(prhs[2]);
    const double* scale_table = mxGetPr(prhs[5]);
    plan.libm = Libm::kPow;
    plan.base = shape.scales >= 3 && plan.pixels > 0 ? scale_table[0] / scale_table[shape.orientations] : 1.0;
    const int maps = stack_plane(shape, 1, 0, 0);
    LineLists lists(plan, maps + 2);
    for_each_run(plan, lists, [&](ptrdiff_t first, ptrdiff_t end) {
        for (ptrdiff_t p = first; p < end; ++p) {
            const uint16_t o = orientation[p], s = scale[p];
            const T* centre = R + zel::stack_offset(shape, p, o, s);
            lists.read(stack_plane(shape, 0, o - 1, s - 1), centre);
            if (s != 1 && s != shape.scales) {
                const T* below = R + zel::stack_offset(shape, p, o, uint16_t(s - 1));
                const T* above = R + zel::stack_offset(shape, p, o, uint16_t(s + 1));
                lists.read(stack_plane(shape, 0, o - 1, s - 2), below);
                lists.read(stack_plane(shape, 0, o - 1, s), above);
                const double refined = zel::peak_position<1>(s, zel::standard_abs(*below), zel::standard_abs(*centre),
                                                             zel::standard_abs(*above));
                const double exponent = double(s) - refined;
                if (exponent != 0.0) lists.call(p, exponent);
            }
            lists.read(maps, orientation + p);
            lists.read(maps + 1, scale + p);
        }
    });
}

// Orientation: R at the selected scale, at the selected orientation and its
// two neighbours (wrapping round); both index maps. With the arctangent
// mapping, atan on the map's argument.
template <typename T>
void prepare_orientation(const PhysicalFloor* floor, const mxArray* const prhs[])
{
    Plan& plan = current_plan();
    const zel::StackShape shape = stack_shape(prhs[0]);
    start_plan(plan, floor, prhs, shape, 1);
    const T* R = elements<T>(prhs[0]);
    const uint16_t* orientation = index_map(prhs[1]);
    const uint16_t* scale = index_map(prhs[2]);
    const uint16_t flag = index_map(prhs[3])[0];
    const int32_t count = shape.orientations;
    const double period = double(count - 6 * int32_t(flag));
    const double half = double(uint16_t(count >> 1)), quarter = double(uint16_t(count >> 2));
    const double divisor = double((count - 6) / 4);
    if (flag != 0) plan.libm = Libm::kAtan;
    const int maps = stack_plane(shape, 1, 0, 0);
    LineLists lists(plan, maps + 2);
    for_each_run(plan, lists, [&](ptrdiff_t first, ptrdiff_t end) {
        for (ptrdiff_t p = first; p < end; ++p) {
            const uint16_t o = orientation[p], s = scale[p];
            const uint16_t previous = o == 1 ? uint16_t(count) : uint16_t(o - 1);
            const uint16_t next = o == count ? uint16_t(1) : uint16_t(o + 1);
            const T* a = R + zel::stack_offset(shape, p, previous, s);
            const T* c = R + zel::stack_offset(shape, p, o, s);
            const T* b = R + zel::stack_offset(shape, p, next, s);
            lists.read(stack_plane(shape, 0, previous - 1, s - 1), a);
            lists.read(stack_plane(shape, 0, o - 1, s - 1), c);
            lists.read(stack_plane(shape, 0, next - 1, s - 1), b);
            if (flag != 0) {
                double theta = zel::peak_position<1>(o, zel::standard_abs(*a), zel::standard_abs(*c),
                                                     zel::standard_abs(*b));
                if (theta < 1.0) theta = theta + period;
                lists.call(p, o > half ? (((theta - half) - quarter) - 1.0) / divisor
                                       : ((theta - quarter) - 1.0) / divisor);
            }
            lists.read(maps, orientation + p);
            lists.read(maps + 1, scale + p);
        }
    });
}

inline double half_turn_wrap(double d)
{
    if (d > 90.0) d = d - 180.0;
    if (d < -90.0) d = d + 180.0;
    return d;
}

// Curvature: every pixel off the border, and the eight neighbours of those
// that hold an angle; sin where exactly two neighbours hold one.
template <typename T>
void prepare_curvature(const PhysicalFloor* floor, const mxArray* const prhs[])
{
    Plan& plan = current_plan();
    const mwSize* dims = mxGetDimensions(prhs[0]);
    const zel::StackShape shape = {uint16_t(dims[0]), uint16_t(dims[1]), 1, 1};
    start_plan(plan, floor, prhs, shape, 1);
    plan.libm = Libm::kSin;
    const T* O = elements<T>(prhs[0]);
    const ptrdiff_t rows = shape.rows, cols = shape.cols;
    LineLists lists(plan, 1);
    for_each_run(plan, lists, [&](ptrdiff_t first, ptrdiff_t end) {
        for (ptrdiff_t p = first; p < end; ++p) {
            const ptrdiff_t i = p % rows, j = p / rows;
            if (i == 0 || i == rows - 1 || j == 0 || j == cols - 1) continue;
            lists.read(0, O + p);
            const double c = O[p];
            if (c != c) continue;
            int valid = 0;
            double A = 0.0, B = 0.0;
            for (int a = -1; a <= 1; ++a) {
                for (int b = -1; b <= 1; ++b) {
                    if (a == 0 && b == 0) continue;
                    const T* neighbour = O + p + a + rows * b;
                    lists.read(0, neighbour);
                    const double v = *neighbour;
                    if (v != v) continue;
                    ++valid;
                    if (valid == 1) A = v;
                    if (valid == 2) B = v;
                }
            }
            if (valid != 2) continue;
            const double delta = zel::plus(half_turn_wrap(A - c), half_turn_wrap(c - B));
            lists.call(p, ((zel::standard_abs(delta) * 0.5) * 3.141592653589793) / 360.0);
        }
    });
}

// Loads one byte of every line in [begin, end), prefetching `ahead` entries
// ahead; the sum keeps the loads from being optimised away.
inline uint64_t touch_lines(const unsigned char* const* lines, size_t begin, size_t end, size_t ahead)
{
    uint64_t first = 0, second = 0;
    size_t i = begin;
    for (; i + 2 <= end; i += 2) {
        __builtin_prefetch(lines[i + ahead]);
        __builtin_prefetch(lines[i + 1 + ahead]);
        first += *lines[i];
        second += *lines[i + 1];
    }
    if (i < end) first += *lines[i];
    return first + second;
}

void run_plan(const Plan& plan, mxArray* plhs[])
{
    double* out[2] = {nullptr, nullptr};
    for (int k = 0; k < plan.outputs; ++k) out[k] = zel::create_output(plhs, k, plan.shape);
    const unsigned char* const* lines = plan.lines.data();
    const LibmCall* calls = plan.calls.data();
    double* called = plan.libm == Libm::kPow ? out[1] : out[0];  // pow gives the width
    ptrdiff_t run = 0;
    for (ptrdiff_t first = 0; first < plan.pixels; first += kRunPixels, ++run) {
        const ptrdiff_t end = std::min(plan.pixels, first + kRunPixels);
        const double value = double(touch_lines(lines, plan.run_lines[run], plan.run_lines[run + 1], plan.ahead));
        for (int k = 0; k < plan.outputs; ++k)
            for (ptrdiff_t p = first; p < end; ++p) out[k][p] = value;
        const size_t call_end = plan.run_calls[run + 1];
        switch (plan.libm) {
        case Libm::kPow:
            for (size_t c = plan.run_calls[run]; c < call_end; ++c)
                called[calls[c].pixel] = pow(plan.base, calls[c].argument);
            break;
        case Libm::kAtan:
            for (size_t c = plan.run_calls[run]; c < call_end; ++c) called[calls[c].pixel] = atan(calls[c].argument);
            break;
        case Libm::kSin:
            for (size_t c = plan.run_calls[run]; c < call_end; ++c) called[calls[c].pixel] = sin(calls[c].argument);
            break;
        case Libm::kNone:
            break;
        }
    }
}

template <void (*Prepare)(const PhysicalFloor*, const mxArray* const[]), const PhysicalFloor* Floor>
void prepare_floor(const mxArray* const prhs[])
{
    const Plan& plan = current_plan();
    if (plan.floor == Floor && plan.key[0] == prhs[0] && plan.key[1] == prhs[1]) return;
    Prepare(Floor, prhs);
}

template <void (*Prepare)(const PhysicalFloor*, const mxArray* const[]), const PhysicalFloor* Floor>
void run_floor(int, mxArray* plhs[], int, const mxArray* prhs[])
{
    prepare_floor<Prepare, Floor>(prhs);
    run_plan(current_plan(), plhs);
}

#define ZEL_PREPARE_BY_CLASS(name)                                                                       \
    void name##_any(const PhysicalFloor* floor, const mxArray* const prhs[])                              \
    {                                                                                                     \
        by_class(prhs[0], [&](auto element) { name<decltype(element)>(floor, prhs); });                  \
    }
ZEL_PREPARE_BY_CLASS(prepare_blob)
ZEL_PREPARE_BY_CLASS(prepare_ridge)
ZEL_PREPARE_BY_CLASS(prepare_edge)
ZEL_PREPARE_BY_CLASS(prepare_height_and_width)
ZEL_PREPARE_BY_CLASS(prepare_orientation)
ZEL_PREPARE_BY_CLASS(prepare_curvature)
#undef ZEL_PREPARE_BY_CLASS

}  // namespace

#define ZEL_PHYSICAL_FLOOR(map)                                                                          \
    const PhysicalFloor map##_physical_floor = {run_floor<prepare_##map##_any, &map##_physical_floor>,    \
                                                prepare_floor<prepare_##map##_any, &map##_physical_floor>};
ZEL_PHYSICAL_FLOOR(blob)
ZEL_PHYSICAL_FLOOR(ridge)
ZEL_PHYSICAL_FLOOR(edge)
ZEL_PHYSICAL_FLOOR(height_and_width)
ZEL_PHYSICAL_FLOOR(orientation)
ZEL_PHYSICAL_FLOOR(curvature)
#undef ZEL_PHYSICAL_FLOOR

size_t prefetch_distance()
{
    static const size_t ahead = read_prefetch_distance();
    return ahead;
}

void forget_physical_floor() { current_plan() = Plan(); }

double physical_floor_bytes()
{
    const Plan& plan = current_plan();
    return double(plan.listed_lines) * double(kLineBytes) + 8.0 * double(plan.outputs) * double(plan.pixels);
}

double streaming_bandwidth()
{
    const size_t bytes = size_t(1) << 30;
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return 0.0;
    memset(memory, 1, bytes);
    typedef long long Vector __attribute__((vector_size(16)));
    const Vector* data = static_cast<const Vector*>(memory);
    const size_t count = bytes / sizeof(Vector);
    double best = 0.0;
    volatile long long sink = 0;
    for (int repetition = 0; repetition < 5; ++repetition) {
        timespec start, stop;
        clock_gettime(CLOCK_MONOTONIC, &start);
        Vector s0 = {}, s1 = {}, s2 = {}, s3 = {};
        for (size_t i = 0; i < count; i += 4) {
            s0 += data[i];
            s1 += data[i + 1];
            s2 += data[i + 2];
            s3 += data[i + 3];
        }
        clock_gettime(CLOCK_MONOTONIC, &stop);
        const Vector s = (s0 + s1) + (s2 + s3);
        sink = sink + s[0] + s[1];
        const double seconds = double(stop.tv_sec - start.tv_sec) + 1e-9 * double(stop.tv_nsec - start.tv_nsec);
        const double rate = double(bytes) / seconds / 1e9;
        if (rate > best) best = rate;
    }
    munmap(memory, bytes);
    return best;
}

}  // namespace zelbench
