// Writes the seed corpus: for every kernel a few calls that keep its
// contract, in the byte form of call_encoding.h, one file each under
// SEEDS/KERNEL/; and for every stack kernel the calls with 65534
// orientations and with 65534 scales (for the filter bank: a one-pixel image
// at 65534 orientations) under DEEP/KERNEL/, which the fuzz run replays but
// does not mutate: under the sanitizers each takes tens of milliseconds, and
// as seeds they would slow the fuzzing of the blob, ridge and edge maps
// tenfold (the fuzzer still reaches such stacks on its own).
// The files are committed; run this again after changing the encoding:
//   make_seeds fuzz/seeds fuzz/deep-seeds
#include "call_encoding.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace zelfuzz;

struct Seed {
    std::vector<uint8_t> bytes;

    void byte(unsigned b) { bytes.push_back(uint8_t(b)); }
    void real(double v)
    {
        for (int code = 16; code < kRawValue; ++code) {
            if (small_double(uint8_t(code)) == v && !std::signbit(v)) return byte(code);
        }
        byte(kRawValue);
        unsigned char raw[8];
        std::memcpy(raw, &v, 8);
        for (unsigned char b : raw) byte(b);
    }
    void index(uint16_t v)
    {
        if (v < 16) return byte(v);
        byte(kRawValue);
        byte(v & 0xff);
        byte(v >> 8);
    }
    void size(unsigned value)
    {
        if (value < 8) return byte(value);
        for (unsigned k = 0; k < 16; ++k)
            if (kLargeSizes[k] == value) return byte(kLargeSizeCode + k);
        std::fprintf(stderr, "make_seeds: no size code for %u\n", value);
        std::exit(1);
    }
    // The header and the base sizes; a fifth size of the stacks unless it is
    // 1; the kernel's own input count unless inputs says otherwise (a kernel
    // with optional inputs).
    void call(int kernel, int nlhs, unsigned rows, unsigned cols, unsigned orientations, unsigned scales,
              unsigned fifth = 1, int inputs = -1)
    {
        byte(kernel);
        byte(nlhs);
        // For the filter bank the count is byte % (5 + 3), and 224 is a multiple of 8.
        byte(inputs < 0 ? 0 : kOtherInputCount + unsigned(inputs));
        for (unsigned value : {rows, cols, orientations, scales}) size(value);
        byte(fifth == 1 ? 0 : kFifthSizeCode + fifth);
    }
    // An input of its role's class and natural shape.
    void natural() { byte(0), byte(0); }
    void reals(const std::vector<double>& values)
    {
        natural();
        for (double v : values) real(v);
    }
    void indices(const std::vector<uint16_t>& values)
    {
        natural();
        for (uint16_t v : values) index(v);
    }
    void table(const std::vector<double>& values)
    {
        natural();
        byte(unsigned(values.size() - 1));  // 1 to 16 elements
        for (double v : values) real(v);
    }
    // A real input of another of its role's classes (the class code of a
    // choice in kOtherClasses), in its natural shape.
    void other_class(ClassChoice choice)
    {
        byte(kOtherClassCode + choice);
        byte(0);
    }
    // The filter bank's inputs.
    void orders(const std::vector<double>& values)
    {
        natural();
        byte(unsigned(values.size()));
        for (double v : values) real(v);
    }
    void precision(const char* word)
    {
        natural();
        for (int k = 0; k < kWordCount; ++k)
            if (std::strcmp(kWords[k], word) == 0) return byte(k);
        std::fprintf(stderr, "make_seeds: no word code for '%s'\n", word);
        std::exit(1);
    }
};

struct Values {
    std::mt19937 random{2024};
    double uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); }
    // Quarter steps mostly, so that seeds stay short; a NaN or an infinity now and then.
    std::vector<double> some(size_t count, double low, double high)
    {
        std::vector<double> v(count);
        for (double& x : v) {
            const unsigned pick = random() % 16;
            x = pick == 0 ? kDoubleSpecials[4] : pick == 1 ? kDoubleSpecials[6] : std::round(uniform(low, high) * 4) / 4;
        }
        return v;
    }
    std::vector<double> quarters(size_t count, double low, double high)
    {
        std::vector<double> v(count);
        for (double& x : v) x = std::round(uniform(low, high) * 4) / 4;
        return v;
    }
    std::vector<uint16_t> indices(size_t count, unsigned range)
    {
        std::vector<uint16_t> v(count);
        for (uint16_t& x : v) x = uint16_t(1 + random() % range);
        return v;
    }
};

Seed ten_input_seed(int kernel, unsigned rows, unsigned cols, unsigned nO, unsigned nS, size_t table, Values& v,
                    unsigned fifth = 1)
{
    Seed s;
    const size_t pixels = rows * cols, elements = pixels * nO * nS * fifth;
    s.call(kernel, 1, rows, cols, nO, nS, fifth);
    s.reals(v.some(elements, -2, 2));
    s.reals(v.some(elements, -1, 1));
    s.indices(v.indices(pixels, nO));
    s.indices(std::vector<uint16_t>(pixels, 1));
    s.reals({0.25});
    s.table(v.some(table, -3, 3));
    s.reals({2.5});
    s.reals(v.quarters(pixels, 0, 6));
    s.reals(v.quarters(nO * nS, 0.5, 4));
    s.reals(v.some(pixels, -2, 2));
    return s;
}

Seed edge_seed(unsigned rows, unsigned cols, unsigned nO, unsigned nS, Values& v, unsigned fifth = 1)
{
    Seed s;
    const size_t pixels = rows * cols, elements = pixels * nO * nS * fifth;
    s.call(2, 1, rows, cols, nO, nS, fifth);
    s.reals(v.some(elements, -2, 2));
    s.reals(v.some(elements, -1, 1));
    s.indices(v.indices(pixels, nO));
    s.indices(nS ? v.indices(pixels, nS) : std::vector<uint16_t>(pixels, 0));
    s.reals({0.5});
    s.reals({-1.5});
    return s;
}

// The selected scale holds the largest magnitude, so the refined position
// stays within half a scale and every sampling fraction in [0, 0.3].
Seed height_and_width_seed(unsigned rows, unsigned cols, unsigned nO, unsigned nS, uint16_t mode, Values& v,
                           unsigned fifth = 1)
{
    Seed s;
    const size_t pixels = rows * cols;
    std::vector<uint16_t> orientation = v.indices(pixels, nO), scale = v.indices(pixels, nS);
    std::vector<double> R = v.quarters(pixels * nO * nS * fifth, -1, 1);
    for (size_t p = 0; p < pixels; ++p)
        R[p + pixels * (orientation[p] - 1) + pixels * nO * (scale[p] - 1)] = p % 2 ? 2.0 : -2.0;
    std::vector<double> T(nO * nS);
    for (unsigned o = 0; o < nO; ++o)
        for (unsigned k = 0; k < nS; ++k) T[o + nO * k] = (1.0 + o) * (k % 2 ? 1.5 : 1.0) * (k / 2 + 1);
    s.call(3, 2, rows, cols, nO, nS, fifth);
    s.reals(R);
    s.indices(orientation);
    s.indices(scale);
    s.table({10, 9, -8, 7, 6.5, -5, 4, 3, 2});
    s.reals({4.0});
    s.reals(T);
    s.indices({mode});
    return s;
}

Seed orientation_seed(unsigned rows, unsigned cols, unsigned nO, unsigned nS, uint16_t flag, Values& v,
                      unsigned fifth = 1)
{
    Seed s;
    const size_t pixels = rows * cols;
    s.call(4, 1, rows, cols, nO, nS, fifth);
    s.reals(v.some(pixels * nO * nS * fifth, -2, 2));
    s.indices(v.indices(pixels, nO));
    s.indices(v.indices(pixels, nS));
    s.indices({flag});
    return s;
}

Seed curvature_seed(unsigned rows, unsigned cols, Values& v)
{
    Seed s;
    s.call(5, 1, rows, cols, 1, 1);
    std::vector<double> map(rows * cols);
    for (double& angle : map) angle = v.random() % 2 ? kDoubleSpecials[4] : std::round(v.uniform(0, 180) * 4) / 4;
    s.reals(map);
    return s;
}

// A stack as deep as a size may be: nO or nS 65534. The bytes end after the
// first values of the response stack, so that every later element and input
// takes the decoder's default, which keeps the contract (index 1, value 1,
// a table of one element, mode and flag 1).
Seed deepest_stack_seed(int kernel, unsigned nO, unsigned nS, Values& v)
{
    Seed s;
    s.call(kernel, kernel == 3 || kernel == kIndexMapKernel ? 2 : 1, 2, 1, nO, nS);
    s.natural();
    for (double x : v.some(64, -2, 2)) s.real(x);
    return s;
}

// An image of one of the classes a filter bank reads, as the value codes of
// its class: quarter steps (and now and then a NaN or an infinity) for double
// and single, whole numbers for the integers and logical.
void image(Seed& s, ClassChoice choice, size_t pixels, Values& v)
{
    int code = -1;
    for (int k = 0; k < kImageClassCount; ++k)
        if (kImageClasses[k] == choice) code = k;
    s.byte(choice == kDouble ? 0 : kOtherClassCode + code);
    s.byte(0);
    for (size_t p = 0; p < pixels; ++p) {
        if (choice == kDouble || choice == kSingle) s.real(v.some(1, -1, 2)[0]);
        else if (choice == kUint16) s.index(uint16_t(v.random() % 65536));
        else if (choice == kLogical) s.byte(v.random() % 3 ? 0 : 1 + v.random() % 255);
        else s.byte(v.random() % 256);
    }
}

// A filter bank call of three inputs, four when it has orders, five when it
// also has a precision; the scales (a 1 x numel(sigmas) row) and the
// orientation count are doubles unless scale_class names another class.
struct FilterBankCall {
    unsigned rows, cols;
    ClassChoice image_class;
    std::vector<double> sigmas;
    double orientations;
    int nlhs;
    std::vector<double> orders;
    const char* precision = nullptr;
    ClassChoice scale_class = kDouble;
};

Seed filter_bank_seed(const FilterBankCall& c, Values& v)
{
    Seed s;
    const int inputs = c.precision ? 5 : c.orders.empty() ? 3 : 4;
    s.call(kFilterBank, c.nlhs, c.rows, c.cols, 1, unsigned(c.sigmas.size()), 1, inputs);
    image(s, c.image_class, size_t(c.rows) * c.cols, v);
    if (c.scale_class == kDouble) s.natural();
    else s.other_class(c.scale_class);
    for (double sigma : c.sigmas) s.real(sigma);
    if (c.scale_class == kDouble) s.natural();
    else s.other_class(c.scale_class);
    s.real(c.orientations);
    if (inputs >= 4) s.orders(c.orders);
    if (inputs == 5) s.precision(c.precision);
    return s;
}

// A stack with few distinct magnitudes, so that ties happen, and now and
// then a NaN or an infinity; a single stack is written as the raw bytes of
// its elements.
Seed index_maps_seed(unsigned rows, unsigned cols, unsigned nO, unsigned nS, int nlhs, Values& v, unsigned fifth = 1,
                     bool single = false)
{
    Seed s;
    s.call(kIndexMapKernel, nlhs, rows, cols, nO, nS, fifth);
    const std::vector<double> R = v.some(size_t(rows) * cols * nO * nS * fifth, -2, 2);
    if (!single) {
        s.reals(R);
        return s;
    }
    s.other_class(kSingle);
    for (double x : R) {
        const float f = float(x);
        unsigned char raw[4];
        std::memcpy(raw, &f, 4);
        for (unsigned char b : raw) s.byte(b);
    }
    return s;
}

// A one-pixel image, both orders, at 65534 orientations of one scale.
Seed most_orientations_seed()
{
    Seed s;
    s.call(kFilterBank, 2, 1, 1, 1, 1, 1, 3);
    s.reals({0.75});
    s.reals({1.5});
    s.reals({65534});
    return s;
}

bool write_seed(const std::string& dir, int number, const Seed& seed)
{
    mkdir(dir.c_str(), 0755);
    const std::string path = dir + "/seed-" + std::to_string(number);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(seed.bytes.data(), 1, seed.bytes.size(), file) == seed.bytes.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SEEDS DEEP\n", argv[0]);
        return 2;
    }
    const std::string out = argv[1], deep_out = argv[2];
    mkdir(out.c_str(), 0755);
    mkdir(deep_out.c_str(), 0755);
    Values v;
    std::vector<std::vector<Seed>> seeds(kKernelCount), deep(kKernelCount);
    for (int kernel : {0, 1}) {
        seeds[kernel].push_back(ten_input_seed(kernel, 3, 4, 3, 3, 7, v));
        seeds[kernel].push_back(ten_input_seed(kernel, 4, 2, 2, 1, 1, v));
        seeds[kernel].push_back(ten_input_seed(kernel, 2, 3, 1, 4, 16, v));
        seeds[kernel].push_back(ten_input_seed(kernel, 3, 3, 2, 0, 4, v));
    }
    seeds[2].push_back(edge_seed(3, 4, 2, 3, v));
    seeds[2].push_back(edge_seed(4, 4, 3, 1, v));
    // A stack with no scale: with pixels it would leave the scale index map
    // nothing to select, so the image has no rows. The index draws of the
    // 2 x 3 image this seed had before are made all the same, so that the
    // seeds after it keep their bytes.
    seeds[2].push_back(edge_seed(0, 3, 2, 0, v));
    v.indices(2 * 3, 2);
    seeds[2].push_back(edge_seed(0, 3, 2, 2, v));
    for (uint16_t mode : {1, 3, 2}) seeds[3].push_back(height_and_width_seed(3, 4, 2, 4, mode, v));
    seeds[3].push_back(height_and_width_seed(4, 3, 3, 1, 3, v));
    seeds[4].push_back(orientation_seed(3, 4, 7, 2, 0, v));
    seeds[4].push_back(orientation_seed(2, 3, 16, 1, 1, v));
    seeds[4].push_back(orientation_seed(3, 3, 6, 2, 2, v));
    seeds[4].push_back(orientation_seed(4, 2, 2, 3, 1, v));
    seeds[5].push_back(curvature_seed(7, 7, v));
    seeds[5].push_back(curvature_seed(3, 3, v));
    seeds[5].push_back(curvature_seed(2, 5, v));
    seeds[5].push_back(curvature_seed(5, 6, v));
    // Every stack kernel: five dimensions; 65534 orientations, 65534 scales.
    for (int kernel : {0, 1}) seeds[kernel].push_back(ten_input_seed(kernel, 2, 3, 2, 2, 5, v, 2));
    seeds[2].push_back(edge_seed(2, 3, 2, 3, v, 2));
    seeds[3].push_back(height_and_width_seed(2, 3, 2, 3, 0, v, 3));
    seeds[4].push_back(orientation_seed(3, 2, 4, 2, 1, v, 2));
    for (int kernel = 0; kernel < 5; ++kernel) {
        deep[kernel].push_back(deepest_stack_seed(kernel, 65534, 1, v));
        deep[kernel].push_back(deepest_stack_seed(kernel, 1, 65534, v));
    }

    // The filter bank: both orders and each alone; too few orientations for
    // the stacks to hold the passes (a working array: fewer than 3 for both
    // orders, 3 for the first alone, 4 for the second alone); every image
    // class; precision asked for; images narrower than the kernels; no scales.
    const std::vector<FilterBankCall> filter_bank_calls = {
        {4, 5, kDouble, {1, 2}, 4, 2, {}},
        {5, 6, kDouble, {0.5, 1.5}, 2, 2, {}},           // working array, both orders
        {6, 4, kUint8, {1.25}, 2, 1, {1}},              // working array, first order
        {5, 5, kSingle, {0.75, 2.5}, 3, 1, {2}},        // working array, second order
        {4, 3, kUint16, {1, 3}, 5, 2, {1, 2}, "single"},
        {1, 9, kLogical, {2.5}, 4, 0, {}},              // a row, mirrored more than once
        {1, 1, kSingle, {3}, 6, 2, {2, 1}, "DOUBLE"},   // one pixel
        {3, 3, kDouble, {}, 8, 2, {}},                  // no scales
        {4, 4, kDouble, {0.75, 1.25, 2}, 3, 1, {}, nullptr, kSingle},
        {16, 16, kDouble, {1, 1.5, 2.25}, 8, 2, {}},
    };
    for (const FilterBankCall& c : filter_bank_calls) seeds[kFilterBank].push_back(filter_bank_seed(c, v));
    // Not 65534 scales: each scale is a filtering of its own, and so many
    // take about 0.4 s under the sanitizers, far past the bound on work.
    deep[kFilterBank].push_back(most_orientations_seed());

    // The index maps: one and two outputs, one orientation, one scale, a
    // single stack, five dimensions; 65534 orientations, 65534 scales.
    seeds[kIndexMapKernel].push_back(index_maps_seed(3, 4, 4, 3, 2, v));
    seeds[kIndexMapKernel].push_back(index_maps_seed(4, 3, 1, 4, 2, v));
    seeds[kIndexMapKernel].push_back(index_maps_seed(5, 2, 6, 1, 1, v));
    seeds[kIndexMapKernel].push_back(index_maps_seed(3, 3, 3, 2, 2, v, 1, true));
    seeds[kIndexMapKernel].push_back(index_maps_seed(2, 3, 2, 2, 2, v, 2));
    deep[kIndexMapKernel].push_back(deepest_stack_seed(kIndexMapKernel, 65534, 1, v));
    deep[kIndexMapKernel].push_back(deepest_stack_seed(kIndexMapKernel, 1, 65534, v));
    for (int kernel = 0; kernel < kKernelCount; ++kernel) {
        for (size_t k = 0; k < seeds[kernel].size(); ++k)
            if (!write_seed(out + "/" + kKernels[kernel].name, int(k + 1), seeds[kernel][k])) {
                std::perror(kKernels[kernel].name);
                return 1;
            }
        for (size_t k = 0; k < deep[kernel].size(); ++k)
            if (!write_seed(deep_out + "/" + kKernels[kernel].name, int(k + 1), deep[kernel][k])) {
                std::perror(kKernels[kernel].name);
                return 1;
            }
    }
    return 0;
}
