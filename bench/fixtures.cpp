#include "fixtures.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace zelbench {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTau = 2.0 * kPi;

uint64_t mix(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// Uniform in [-1, 1), a fixed function of the key.
double noise(uint64_t key) { return double(mix(key) >> 11) * 0x1.0p-52 - 1.0; }

// A deterministic random sequence for the curve map.
struct Sequence {
    uint64_t state;
    double uniform(double low, double high)
    {
        state = mix(state);
        return low + (high - low) * (double(state >> 11) * 0x1.0p-53);
    }
};

Array double_array(std::initializer_list<mwSize> dims)
{
    return Array(mxCreateNumericArray(dims.size(), dims.begin(), mxDOUBLE_CLASS, mxREAL));
}
// A single-precision copy of a double array.
Array single_copy(const mxArray* source)
{
    Array array(mxCreateNumericArray(mxGetNumberOfDimensions(source), mxGetDimensions(source), mxSINGLE_CLASS,
                                     mxREAL));
    const double* from = mxGetPr(source);
    float* to = static_cast<float*>(mxGetData(array.get()));
    for (size_t k = 0; k < mxGetNumberOfElements(source); ++k) to[k] = float(from[k]);
    return array;
}
Array uint16_array(std::initializer_list<mwSize> dims)
{
    return Array(mxCreateNumericArray(dims.size(), dims.begin(), mxUINT16_CLASS, mxREAL));
}
Array double_scalar(double value)
{
    Array array = double_array({1, 1});
    mxGetPr(array.get())[0] = value;
    return array;
}
Array uint16_scalar(uint16_t value)
{
    Array array = uint16_array({1, 1});
    static_cast<uint16_t*>(mxGetData(array.get()))[0] = value;
    return array;
}

// The smooth fields of the synthetic image, with features of a fixed size in
// pixels (tens to hundreds), so that a larger image is a larger field of view
// rather than a blown-up small one.
//
// Dominant orientation in [0, pi): it turns by 7 degrees per pixel at most,
// so the orientation index stays the same over runs of pixels (about 12 on
// average down a column).
double orientation_field(double i, double j)
{
    const double phase = 0.8 * std::sin(kTau * (i / 373.0 + j / 517.0)) +
                         0.5 * std::sin(kTau * (i / 289.0 - j / 431.0) + 1.1) +
                         0.3 * std::cos(kTau * j / 251.0 + 0.4);
    return std::fmod(kPi * phase + 10.0 * kPi, kPi);
}
// Continuous 0-based scale position, in [0.05, 0.95] * (scales - 1).
double scale_field(double i, double j)
{
    const double unit = 0.5 + 0.45 * std::sin(kTau * i / 331.0 + 0.7) * std::cos(kTau * j / 263.0);
    return unit * (kScales - 1);
}
double strength_field(double i, double j) { return 1.0 + 0.6 * std::sin(kTau * (i / 211.0 - j / 157.0)); }
double size_field(double i, double j)
{
    return 2.0 + 1.2 * std::sin(kTau * i / 137.0 + 0.3) * std::cos(kTau * j / 89.0);
}
double polarity_field(double i, double j) { return std::cos(kTau * (i / 301.0 + j / 199.0)); }

void fill_fields_and_stacks(Fixture& f)
{
    const size_t n = f.size;
    const size_t pixels = n * n;
    std::vector<double> cos2(pixels), sin2(pixels), strength(pixels);
    std::vector<double> scale_weight(pixels * kScales);
    uint16_t* orientation = static_cast<uint16_t*>(mxGetData(f.orientation_index.get()));
    uint16_t* scale = static_cast<uint16_t*>(mxGetData(f.scale_index.get()));
    double* size_map = mxGetPr(f.size_map.get());
    double* amplitude = mxGetPr(f.amplitude_map.get());
    for (size_t j = 0; j < n; ++j) {
        for (size_t i = 0; i < n; ++i) {
            const size_t p = i + n * j;
            const double theta = orientation_field(double(i), double(j));
            const double position = scale_field(double(i), double(j));
            cos2[p] = std::cos(2.0 * theta);
            sin2[p] = std::sin(2.0 * theta);
            strength[p] = strength_field(double(i), double(j));
            for (size_t s = 0; s < kScales; ++s) {
                const double distance = double(s) - position;
                scale_weight[p * kScales + s] = std::exp(-distance * distance / 1.5);
            }
            // The nearest orientation of the stack, (o - 1) * pi / count,
            // and the nearest scale to the field's peak.
            const long nearest = std::lround(theta / kPi * kOrientations) % kOrientations;
            orientation[p] = uint16_t(nearest + 1);
            scale[p] = uint16_t(std::lround(position) + 1);
            size_map[p] = size_field(double(i), double(j));
            amplitude[p] = strength[p] * polarity_field(double(i), double(j));
            if (scale[p] > 1 && scale[p] < kScales) ++f.inner_scale_pixels;
        }
    }
    // Responses tuned to the field: largest at the field's orientation and
    // scale, with a little noise; penalties small and positive.
    double* response = mxGetPr(f.response.get());
    double* penalty = mxGetPr(f.penalty.get());
    size_t index = 0;
    for (size_t s = 0; s < kScales; ++s) {
        for (size_t o = 0; o < kOrientations; ++o) {
            const double angle = 2.0 * kPi * double(o) / kOrientations;
            const double c = std::cos(angle), sn = std::sin(angle);
            for (size_t p = 0; p < pixels; ++p, ++index) {
                const double tuning = c * cos2[p] + sn * sin2[p];
                response[index] = strength[p] * scale_weight[p * kScales + s] * tuning + 0.05 * noise(index);
                penalty[index] = 0.05 + 0.03 * noise(index ^ 0x5DEECE66Dull);
            }
        }
    }
}

void fill_tables(Fixture& f)
{
    double* table = mxGetPr(f.scale_table.get());
    for (size_t s = 0; s < kScales; ++s)
        for (size_t o = 0; o < kOrientations; ++o)
            table[o + kOrientations * s] = 1.5 * std::pow(2.0, double(s) / 2.0) * (1.0 + 0.03 * double(o));
    double* profile = mxGetPr(f.profile_table.get());
    const double middle = (kProfileLength - 1) / 2.0;
    for (size_t k = 0; k < kProfileLength; ++k) {
        const double u = double(k) - middle;
        profile[k] = std::tanh(u / 12.0) + 0.3 * std::exp(-(u / 10.0) * (u / 10.0));
    }
}

// Sets the pixel (i, j) of the curve map when it lies inside the image.
void plot(double* map, long n, long i, long j, double degrees)
{
    if (i >= 0 && i < n && j >= 0 && j < n) map[i + n * j] = degrees;
}

// A one-pixel-wide circular arc (midpoint circle, 8-connected), each pixel
// holding the curve's direction in degrees, in [0, 180).
long draw_arc(double* map, long n, long ci, long cj, long radius, double start, double span)
{
    long drawn = 0;
    long x = radius, y = 0, error = 1 - radius;
    while (y <= x) {
        const long offsets[8][2] = {{x, y}, {y, x}, {-y, x}, {-x, y}, {-x, -y}, {-y, -x}, {y, -x}, {x, -y}};
        for (const auto& d : offsets) {
            const double phi = std::atan2(double(d[0]), double(d[1]));
            const double along = std::fmod(phi - start + 4.0 * kPi, kTau);
            if (along >= span) continue;
            const double degrees = std::fmod(phi * 180.0 / kPi + 90.0 + 360.0, 180.0);
            plot(map, n, ci + d[0], cj + d[1], degrees);
            ++drawn;
        }
        ++y;
        if (error < 0) {
            error += 2 * y + 1;
        } else {
            --x;
            error += 2 * (y - x) + 1;
        }
    }
    return drawn;
}

// Thin arcs over about 8% of the pixels on a NaN background, and about 3% in
// solid patches where every pixel carries an orientation.
void fill_curve_map(Fixture& f)
{
    const long n = f.size;
    double* map = mxGetPr(f.curve_map.get());
    for (long p = 0; p < n * n; ++p) map[p] = std::nan("");
    Sequence random{uint64_t(n) * 7919u};
    const double pixels = double(n) * double(n);
    for (double patch_area = 0.0; patch_area < 0.03 * pixels;) {
        const long height = long(random.uniform(12.0, 40.0)), width = long(random.uniform(12.0, 40.0));
        const long top = long(random.uniform(0.0, double(n))), left = long(random.uniform(0.0, double(n)));
        for (long j = left; j < left + width; ++j)
            for (long i = top; i < top + height; ++i)
                plot(map, n, i, j, orientation_field(double(i), double(j)) * 180.0 / kPi);
        patch_area += double(height * width);
    }
    for (double curve_pixels = 0.0; curve_pixels < 0.08 * pixels;) {
        const long ci = long(random.uniform(0.0, double(n))), cj = long(random.uniform(0.0, double(n)));
        const long radius = long(random.uniform(6.0, 48.0));
        curve_pixels += double(draw_arc(map, n, ci, cj, radius, random.uniform(0.0, kTau),
                                        random.uniform(0.5 * kPi, kTau)));
    }
    // The kernel reads every interior centre, and the eight neighbours of a
    // centre that carries an orientation.
    std::vector<bool> read(size_t(n * n), false);
    for (long j = 1; j + 1 < n; ++j) {
        for (long i = 1; i + 1 < n; ++i) {
            const long p = i + n * j;
            read[p] = true;
            if (std::isnan(map[p])) continue;
            for (long a = -1; a <= 1; ++a)
                for (long b = -1; b <= 1; ++b) read[p + a + n * b] = true;
        }
    }
    for (bool r : read) f.curve_elements_read += r;
}

}  // namespace

std::unique_ptr<Fixture> make_fixture(uint16_t size)
{
    auto f = std::make_unique<Fixture>();
    f->size = size;
    const mwSize n = size;
    f->response = double_array({n, n, kOrientations, kScales});
    f->penalty = double_array({n, n, kOrientations, kScales});
    f->orientation_index = uint16_array({n, n});
    f->scale_index = uint16_array({n, n});
    f->size_map = double_array({n, n});
    f->amplitude_map = double_array({n, n});
    f->scale_table = double_array({kOrientations, kScales});
    f->profile_table = double_array({1, kProfileLength});
    f->penalty_weight = double_scalar(0.1);
    f->penalty_factor = double_scalar(-0.5);
    // With 64 table elements this puts the sampling fractions of the blob,
    // ridge and height-and-width kernels around 0.05 to 0.5.
    f->sampling_gain = double_scalar(32.0);
    f->height_mode = uint16_scalar(kHeightMode);
    f->angle_flag = uint16_scalar(kAngleFlag);
    f->curve_map = double_array({n, n});
    fill_fields_and_stacks(*f);
    fill_tables(*f);
    fill_curve_map(*f);
    f->response_single = single_copy(f->response.get());
    f->penalty_single = single_copy(f->penalty.get());
    f->size_map_single = single_copy(f->size_map.get());
    f->amplitude_map_single = single_copy(f->amplitude_map.get());
    f->curve_map_single = single_copy(f->curve_map.get());
    return f;
}

}  // namespace zelbench
