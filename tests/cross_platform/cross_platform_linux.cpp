// The Linux half of the cross-platform check:
//
//   cross_platform_linux write LINUX_CASES LINUX_MATH
//   cross_platform_linux compare LINUX_CASES WINDOWS_CASES WINDOWS_MATH [PLATFORM [default-nan-sign]]
//
// (the other platform is Windows unless PLATFORM names another: the 64-bit
// ARM Linux build runs its half, the same program, under qemu, and adds
// default-nan-sign: see compare below)
//
// write runs the small and the large random cases through the .mexa64 files
// and keeps them with their outcomes (layout in case_file.h), and every
// distinct argument of the pow, atan and sin calls they made with glibc's
// result. cross_platform_windows makes the same calls through the .mexw64
// files and evaluates the same math calls with the Windows build's library.
//
// compare demands the same error identifiers, output classes and sizes
// everywhere and the same bits from the blob, ridge and edge maps, the
// orientation map with the linear mapping, the filter bank and the index
// maps (the filter bank computes its kernels and steering with its own
// arithmetic, not the math library's). The height-and-width (pow), arctangent
// orientation (atan) and curvature (sin) maps may differ where the two math
// libraries do; to show that they differ nowhere else, every such call is
// made again through the .mexa64 file with the Windows library's results in
// place of glibc's, which must give the Windows bits exactly.
//
// The math calls are seen here because this program exports its own pow,
// atan and sin: the loader binds the MEX files' imports of them to these
// ahead of libm's, and these call on to glibc's at the MEX files' version.
#include "case_file.h"
#include "math_calls.h"
#include "mex_loader.h"
#include "random_cases.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <tuple>

namespace {

using namespace zelcases;

// --- the math calls of the loaded MEX files ---

using MathKey = std::tuple<uint64_t, uint64_t, uint64_t>;  // function, x, y

enum class MathMode {
    kPassOn,  // glibc's result, nothing kept
    kRecord,  // glibc's result, argument and result kept
    kAnswer,  // the result kept for the argument (another platform's)
};

struct MathState {
    MathMode mode = MathMode::kPassOn;
    std::map<MathKey, uint64_t> results;
    uint64_t calls[kMathFunctionCount] = {};
    uint64_t unanswered[kMathFunctionCount] = {};
};
MathState math_state;

template <typename Function>
Function glibc_function(const char* name)
{
    // The version the MEX files bind (platform/libm_binding.h).
    return reinterpret_cast<Function>(dlvsym(RTLD_NEXT, name, "GLIBC_2.2.5"));
}

double glibc_result(uint64_t function, double x, double y)
{
    static const auto pow_function = glibc_function<double (*)(double, double)>("pow");
    static const auto atan_function = glibc_function<double (*)(double)>("atan");
    static const auto sin_function = glibc_function<double (*)(double)>("sin");
    switch (function) {
    case kPow: return pow_function(x, y);
    case kAtan: return atan_function(x);
    default: return sin_function(x);
    }
}

double math_call(MathFunction function, double x, double y)
{
    const double own = glibc_result(function, x, y);
    MathState& s = math_state;
    if (s.mode == MathMode::kPassOn) return own;
    ++s.calls[function];
    const MathKey key{function, bits(x), function == kPow ? bits(y) : 0};
    if (s.mode == MathMode::kRecord) {
        s.results.emplace(key, bits(own));
        return own;
    }
    const auto answer = s.results.find(key);
    if (answer == s.results.end()) {
        ++s.unanswered[function];
        return own;
    }
    return from_bits(answer->second);
}

}  // namespace

extern "C" double pow(double x, double y) noexcept { return math_call(kPow, x, y); }
extern "C" double atan(double x) noexcept { return math_call(kAtan, x, 0.0); }
extern "C" double sin(double x) noexcept { return math_call(kSin, x, 0.0); }

namespace {

// The maps that call no math function must agree bit for bit: all but the
// three above, and the orientation map with the linear mapping (flag 0).
bool calls_math(const Case& c)
{
    if (c.kernel == "ZELgetOrientationMap")
        return !(c.inputs.size() == 4 && c.inputs[3].class_id == mxUINT16_CLASS && c.inputs[3].indices == std::vector<uint16_t>{0});
    return c.kernel == "ZELgetHeightAndWidthMap" || c.kernel == "ZELgetCurvatureMap";
}

// The orientation map is counted by mapping: only the arctangent one calls atan.
std::string tally_name(const Case& c)
{
    if (c.kernel != "ZELgetOrientationMap") return c.kernel;
    return c.kernel + (calls_math(c) ? " atan" : " linear");
}

struct Entries {
    std::map<std::string, mexFunctionPointer> loaded;
    mexFunctionPointer operator()(const std::string& kernel)
    {
        mexFunctionPointer& entry = loaded[kernel];
        if (!entry) entry = load_kernel(zeltest::built_mex_dir(), kernel);
        return entry;
    }
};

int write(const std::string& cases_path, const std::string& math_path)
{
    std::vector<CaseRecord> records;
    Entries entries;
    bool sound = true;
    math_state.mode = MathMode::kRecord;
    for (const auto& group : {small_cases(), large_cases()}) {
        for (const std::vector<Case>& cases : group) {
            for (const Case& c : cases) {
                mexFunctionPointer entry = entries(c.kernel);
                if (!entry) return 1;
                records.push_back({c, {}});
                sound = run_case(entry, c, records.back().outcome) && sound;
            }
        }
    }
    math_state.mode = MathMode::kPassOn;

    std::vector<MathCall> calls;
    for (const auto& [key, result] : math_state.results)
        calls.push_back(MathCall{std::get<0>(key), std::get<1>(key), std::get<2>(key), result});
    for (uint64_t f = 0; f < kMathFunctionCount; ++f) {
        printf("%s: %llu calls\n", kMathFunctionNames[f], (unsigned long long)math_state.calls[f]);
        if (math_state.calls[f] == 0) {
            fprintf(stderr, "no %s call of the MEX files was seen: they do not bind to this program's %s\n",
                    kMathFunctionNames[f], kMathFunctionNames[f]);
            sound = false;
        }
    }
    printf("%zu cases, %zu distinct math arguments written\n", records.size(), calls.size());
    if (!write_cases(cases_path, records) || !write_math_calls(math_path, calls)) return 1;
    return sound ? 0 : 1;
}

// Whether a and b are the quiet NaN without payload of either sign (double,
// or single widened with zeros): the NaN that an invalid operation (Inf - Inf,
// 0 * Inf, 0 / 0) makes, with the sign bit set on x86-64 and clear on 64-bit
// ARM; an own fabs may flip it afterwards on either.
bool default_nans_of_two_signs(uint64_t a, uint64_t b)
{
    const uint64_t sign = uint64_t(1) << 63, single_sign = uint64_t(1) << 31;
    return ((a | sign) == 0xfff8000000000000ull && (a ^ b) == sign) ||
           ((a | single_sign) == 0xffc00000ull && (a ^ b) == single_sign);
}

// Where two outcomes part, or "" when they agree bit for bit. differing
// counts the positions (the pixels of a map, the elements of a stack) at which
// some output differs. With nan_signs, positions that differ only by the sign
// of a default NaN are counted there instead and do not part the outcomes.
std::string compare_outcomes(const Outcome& expected, const Outcome& got, size_t* differing,
                             size_t* nan_signs = nullptr)
{
    if (expected.error_id != got.error_id) return "error '" + got.error_id + "', expected '" + expected.error_id + "'";
    if (expected.outputs.size() != got.outputs.size()) return "another number of outputs";
    std::set<size_t> pixels;
    char first[128] = "";
    for (size_t k = 0; k < expected.outputs.size(); ++k) {
        if (expected.outputs[k].class_id != got.outputs[k].class_id) return "an output of another class";
        if (expected.outputs[k].dims != got.outputs[k].dims) return "an output of another size";
        for (size_t p = 0; p < expected.outputs[k].bits.size(); ++p)
            if (nan_signs && default_nans_of_two_signs(expected.outputs[k].bits[p], got.outputs[k].bits[p])) {
                ++*nan_signs;
            } else if (expected.outputs[k].bits[p] != got.outputs[k].bits[p]) {
                if (pixels.empty())
                    snprintf(first, sizeof first, " (the first: output %zu, element %zu, 0x%016llx for 0x%016llx)",
                             k + 1, p, (unsigned long long)got.outputs[k].bits[p],
                             (unsigned long long)expected.outputs[k].bits[p]);
                pixels.insert(p);
            }
    }
    if (differing) *differing = pixels.size();
    return pixels.empty() ? "" : std::to_string(pixels.size()) + " values differ" + first;
}

struct KernelTally {
    size_t cases = 0, values = 0, differing = 0, failures = 0;  // values of output 1
    size_t nan_signs = 0;                                       // elements of any output
};

// other names the other platform in the messages (Windows, 64-bit ARM Linux).
// With nan_sign_differs (64-bit ARM), an element that is the default NaN on
// both platforms with the signs apart is counted, not failed: IEEE 754 leaves
// the sign of that NaN to the processor.
int compare(const std::string& linux_path, const std::string& windows_path, const std::string& math_path,
            const std::string& other, bool nan_sign_differs)
{
    const char* const on = other.c_str();
    std::vector<CaseRecord> linux_records, windows_records;
    std::vector<MathCall> windows_math;
    if (!read_cases(linux_path, linux_records) || !read_cases(windows_path, windows_records) ||
        !read_math_calls(math_path, windows_math))
        return 1;
    if (linux_records.size() != windows_records.size()) {
        fprintf(stderr, "%zu cases on Linux, %zu on %s\n", linux_records.size(), windows_records.size(), on);
        return 1;
    }

    // The Windows library's results, and how many differ from glibc's.
    uint64_t arguments[kMathFunctionCount] = {}, other_results[kMathFunctionCount] = {};
    for (const MathCall& c : windows_math) {
        math_state.results[MathKey{c.function, c.x, c.y}] = c.result;
        ++arguments[c.function];
        if (bits(glibc_result(c.function, from_bits(c.x), from_bits(c.y))) != c.result) ++other_results[c.function];
    }

    Entries entries;
    std::map<std::string, KernelTally> tallies;
    size_t failures = 0;
    for (size_t k = 0; k < linux_records.size(); ++k) {
        const CaseRecord &on_linux = linux_records[k], &on_windows = windows_records[k];
        KernelTally& tally = tallies[tally_name(on_linux.call)];
        ++tally.cases;
        auto fail = [&](const std::string& why) {
            printf("  FAILED %s case %zu: %s\n", on_linux.call.kernel.c_str(), k + 1, why.c_str());
            ++tally.failures;
            ++failures;
        };
        if (!same_call(on_linux.call, on_windows.call)) {
            fail("the " + other + " run made another call");
            continue;
        }
        if (!on_linux.outcome.outputs.empty()) tally.values += on_linux.outcome.outputs[0].bits.size();
        size_t differing = 0;
        size_t nan_signs = 0;
        const std::string difference = compare_outcomes(on_linux.outcome, on_windows.outcome, &differing,
                                                        nan_sign_differs ? &nan_signs : nullptr);
        tally.nan_signs += nan_signs;
        tally.differing += differing;
        if (!calls_math(on_linux.call)) {
            if (!difference.empty()) fail(difference + " between the platforms; no math call is involved");
            continue;
        }
        if (!difference.empty() && differing == 0) {
            fail(difference + " between the platforms");
            continue;
        }
        // With the Windows library's results the .mexa64 must give the Windows bits.
        mexFunctionPointer entry = entries(on_linux.call.kernel);
        if (!entry) return 1;
        uint64_t unanswered_before[kMathFunctionCount];
        memcpy(unanswered_before, math_state.unanswered, sizeof unanswered_before);
        math_state.mode = MathMode::kAnswer;
        Outcome answered;
        run_case(entry, on_linux.call, answered);
        math_state.mode = MathMode::kPassOn;
        for (uint64_t f = 0; f < kMathFunctionCount; ++f)
            if (math_state.unanswered[f] != unanswered_before[f])
                fail(std::to_string(math_state.unanswered[f] - unanswered_before[f]) + " " + kMathFunctionNames[f] +
                     " calls with an argument the " + other + " run was not given");
        size_t answered_nan_signs = 0;
        const std::string unexplained = compare_outcomes(on_windows.outcome, answered, nullptr,
                                                         nan_sign_differs ? &answered_nan_signs : nullptr);
        if (!unexplained.empty())
            fail("with the " + other + " math results the .mexa64 still differs from the " + other + " MEX file: " +
                 unexplained);
    }

    printf("%-27s %6s %9s %9s%s\n", "kernel", "cases", "values", "differ",
           nan_sign_differs ? "  default NaN of the other sign" : "");
    size_t nan_signs = 0;
    for (const auto& [kernel, t] : tallies) {
        printf("%-27s %6zu %9zu %9zu", kernel.c_str(), t.cases, t.values, t.differing);
        if (nan_sign_differs) printf("  %9zu", t.nan_signs);
        printf("%s\n", t.failures ? "  FAILED" : "");
        nan_signs += t.nan_signs;
    }
    for (uint64_t f = 0; f < kMathFunctionCount; ++f)
        printf("%s: %llu of %llu distinct arguments give other bits on %s\n", kMathFunctionNames[f],
               (unsigned long long)other_results[f], (unsigned long long)arguments[f], on);
    if (failures == 0)
        printf("blob, ridge, edge and linear orientation maps, filter bank and index maps agree bit for bit%s; "
               "every other differing pixel "
               "is explained by the math results\n",
               nan_signs ? " but for the sign of the NaNs of invalid operations" : "");
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "write" && argc == 4) return write(argv[2], argv[3]);
    if (mode == "compare" && argc >= 5 && argc <= 7 && (argc < 7 || std::string(argv[6]) == "default-nan-sign"))
        return compare(argv[2], argv[3], argv[4], argc >= 6 ? argv[5] : "Windows", argc == 7);
    fprintf(stderr, "usage: %s write LINUX_CASES LINUX_MATH\n"
                    "       %s compare LINUX_CASES OTHER_CASES OTHER_MATH [OTHER_PLATFORM [default-nan-sign]]\n", argv[0], argv[0]);
    return 2;
}
