// ZELgetCurvatureMap through the stand-in host.
#include "kernel_support.h"
#include "reference_maps.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using namespace zeltest;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const uint64_t kPositiveQuietNaN = 0x7ff8000000000000u;
const double kPi = 3.141592653589793;

CallResult curvature_map(const mxArray* O) { return call("ZELgetCurvatureMap", 1, {O}); }

std::vector<double> curvature_values(const std::vector<mwSize>& dims, const std::vector<double>& O)
{
    Array input = doubles(dims, O);
    CallResult result = curvature_map(input.get());
    EXPECT_FALSE(result.failed) << result.message;
    return result.failed ? std::vector<double>() : values(result.outputs.at(0).get());
}

// 2 sin(phi / 2), phi = |delta| * pi / 360, in the order the kernel must use.
double chord_of(double delta) { return zelref::chord(delta); }

// Memory offsets in a 3 x 3 map of the centre's neighbours, in scan order:
// row above left to right, left, right, row below left to right.
const int kNeighbourOffset[8] = {0, 3, 6, 1, 7, 2, 5, 8};
const int kCentre = 4;

// The centre's curvature in a 3 x 3 map; neighbours listed in scan order.
double centre_curvature(double centre, const std::vector<double>& neighbours)
{
    std::vector<double> O(9, kNaN);
    O[kCentre] = centre;
    for (size_t k = 0; k < neighbours.size(); ++k) O[kNeighbourOffset[k]] = neighbours[k];
    const std::vector<double> K = curvature_values({3, 3}, O);
    return K.size() == 9 ? K[kCentre] : -1.0;
}

// Just the centre and two valid neighbours at scan positions first < second.
double two_neighbour_curvature(double centre, int first, double A, int second, double B)
{
    std::vector<double> neighbours(8, kNaN);
    neighbours[first] = A;
    neighbours[second] = B;
    return centre_curvature(centre, neighbours);
}

TEST(CurvatureMap, MapsWithoutInnerPixelsAreAllNaNAndReadNoElement)
{
    // The arrays have no elements behind their sizes: a read would crash.
    const std::vector<mwSize> shapes[] = {{0, 0}, {0, 5}, {5, 0}, {1, 1}, {1, 7}, {7, 1}, {2, 2},
                                          {2, 7}, {7, 2}, {2, 3, 4}, {65534, 2}, {1, 65534}};
    for (const std::vector<mwSize>& shape : shapes) {
        Array input = unbacked(shape);
        CallResult result = curvature_map(input.get());
        ASSERT_FALSE(result.failed) << result.message;
        const mxArray* K = result.outputs.at(0).get();
        EXPECT_EQ((std::vector<mwSize>{shape[0], shape[1]}), dims(K));
        const std::vector<double> v = values(K);
        ASSERT_EQ(shape[0] * shape[1], v.size());
        for (double k : v) ASSERT_EQ(kPositiveQuietNaN, bits(k)) << shape[0] << " x " << shape[1];
    }
}

TEST(CurvatureMap, ThreeByThreeComputesOnlyTheCentreFromItsBorderNeighbours)
{
    // Border values form a curve through the centre; the border itself gets
    // NaN whatever it holds.
    const std::vector<double> K = curvature_values({3, 3}, {10, kNaN, kNaN, kNaN, 50, kNaN, kNaN, kNaN, 170});
    ASSERT_EQ(9u, K.size());
    EXPECT_SAME_BITS(chord_of(20), K[kCentre]);
    for (int p = 0; p < 9; ++p)
        if (p != kCentre) EXPECT_EQ(kPositiveQuietNaN, bits(K[p])) << "pixel " << p;
}

// The exact values sqrt(2) - ulp and sqrt(3) are 2 sin(pi/4) and 2 sin(pi/3)
// as glibc's sin gives them; MinGW-w64's sin, linked into the .mexw64 files,
// gives the same bits, so the Windows suite checks the same values.
TEST(CurvatureMap, WorkedExamples)
{
    const double below_root_two = std::nextafter(std::sqrt(2.0), 0.0);
    const struct {
        const char* what;
        double centre, A, B;  // A first, B second in scan order
        double delta;         // the orientation change
        double approx;        // the curvature to 7 digits
    } cases[] = {
        {"50 between 10 and 170", 50, 10, 170, 20, 0.1743115},
        {"across the period", 10, 170, 170, 0, 0.0},
        {"170 then 30 around 10", 10, 170, 30, -40, 0.3472964},
        {"exactly 90 stays: the largest value", 0, 90, -90, 180, below_root_two},
        {"exactly -90 stays", 100, 10, 10, 0, 0.0},
        {"300 wraps once to 120", 0, 300, -300, 240, std::sqrt(3.0)},
        {"changes of 720 to 1440 give a negative curvature", 0, 1000, 0, 820, -0.8452365},
    };
    for (const auto& c : cases) {
        const double K = two_neighbour_curvature(c.centre, 0, c.A, 7, c.B);
        EXPECT_SAME_BITS(chord_of(c.delta), K) << c.what;
        EXPECT_NEAR(c.approx, K, 5e-8) << c.what;
    }
    // One unit in the last place below the double nearest to the square root of 2.
    EXPECT_SAME_BITS(below_root_two, two_neighbour_curvature(0, 0, 90, 7, -90));
}

TEST(CurvatureMap, OnlyPixelsWithExactlyTwoValidNeighboursGetAValue)
{
    const struct {
        const char* what;
        double centre;
        std::vector<double> neighbours;  // scan order, NaN for invalid
    } cases[] = {
        {"no valid neighbour", 50, {}},
        {"one valid neighbour", 50, {kNaN, kNaN, kNaN, 10}},
        {"three valid neighbours", 50, {10, kNaN, kNaN, kNaN, kNaN, kNaN, 170, 20}},
        {"three, the first two alone giving a value", 50, {10, 170, kNaN, kNaN, kNaN, kNaN, kNaN, 20}},
        {"all eight valid", 50, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"NaN centre with two valid neighbours", kNaN, {10, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, 170}},
        {"negative NaN centre", -kNaN, {10, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, 170}},
    };
    for (const auto& c : cases) {
        std::vector<double> neighbours = c.neighbours;
        neighbours.resize(8, kNaN);
        EXPECT_EQ(kPositiveQuietNaN, bits(centre_curvature(c.centre, neighbours))) << c.what;
    }
    // A NaN of either sign marks an invalid neighbour.
    EXPECT_SAME_BITS(chord_of(20), two_neighbour_curvature(50, 2, 10, 5, 170));
    EXPECT_SAME_BITS(chord_of(20), centre_curvature(50, {-kNaN, kNaN, 10, -kNaN, -kNaN, 170, kNaN, -kNaN}));
}

TEST(CurvatureMap, EveryPairOfNeighbourPositionsInEitherOrderGivesTheSameBits)
{
    const double pairs[][3] = {{50, 10, 170}, {10, 170, 30}, {0, 90, -90}, {0, 1000, 0},
                               {33.3, -0.1, 101.7}, {0, 300, -300}, {kInf, 3, 4}, {5, kInf, 4}};
    for (const auto& v : pairs) {
        const double expected = two_neighbour_curvature(v[0], 0, v[1], 1, v[2]);
        for (int first = 0; first < 8; ++first) {
            for (int second = first + 1; second < 8; ++second) {
                EXPECT_SAME_BITS(expected, two_neighbour_curvature(v[0], first, v[1], second, v[2]))
                    << "positions " << first << ", " << second;
                EXPECT_SAME_BITS(expected, two_neighbour_curvature(v[0], first, v[2], second, v[1]))
                    << "exchanged, positions " << first << ", " << second;
            }
        }
    }
}

TEST(CurvatureMap, InfinitiesAreValidAndGiveNaN)
{
    const struct {
        const char* what;
        double centre, A, B;
    } cases[] = {
        {"infinite centre", kInf, 10, 20},
        {"negative infinite centre", -kInf, 10, 20},
        {"infinite first neighbour", 10, kInf, 20},
        {"infinite second neighbour", 10, 20, -kInf},
        {"equal infinities everywhere", kInf, kInf, kInf},
    };
    for (const auto& c : cases) EXPECT_TRUE(std::isnan(two_neighbour_curvature(c.centre, 0, c.A, 7, c.B))) << c.what;
    // An infinite neighbour counts: with a third valid one the pixel is a junction.
    EXPECT_EQ(kPositiveQuietNaN, bits(centre_curvature(50, {10, kInf, kNaN, kNaN, kNaN, kNaN, kNaN, 170})));
}

TEST(CurvatureMap, AgreesBitForBitWithTheDefinitionOnRandomMaps)
{
    RandomValues random(11);
    const double specials[] = {90, -90, 0, -0.0, 180, 270, -270, kInf, -kInf};
    auto value = [&]() -> double {
        const uint64_t pick = random.below(32);
        if (pick < 20) return random.nan_with_payload();  // sparse valid pixels make many two-neighbour pixels
        if (pick < 27) return random.uniform(0.0, 180.0);
        if (pick < 29) return random.uniform(-1500.0, 1500.0);
        if (pick < 30) return random.special();
        return specials[random.below(9)];
    };
    size_t computed = 0;
    // Pages beyond the first of a 3-D map must not change anything.
    for (const std::vector<mwSize>& shape : {std::vector<mwSize>{60, 50}, std::vector<mwSize>{3, 50},
                                             std::vector<mwSize>{61, 3}, std::vector<mwSize>{9, 11, 3},
                                             std::vector<mwSize>{17, 31}, std::vector<mwSize>{257, 3},
                                             std::vector<mwSize>{3, 257}, std::vector<mwSize>{1, 600}}) {
        size_t elements = 1;
        for (mwSize d : shape) elements *= d;
        std::vector<double> O(elements);
        for (double& v : O) v = value();
        const std::vector<double> got = curvature_values(shape, O);
        expect_same_bits(zelref::curvature_map(int32_t(shape[0]), int32_t(shape[1]), O), got,
                         ::testing::PrintToString(shape));
        for (double k : got) computed += std::isfinite(k);
    }
    EXPECT_GT(computed, 100u) << "too few two-neighbour pixels to exercise the rule";
}

// Two mistakes leave a map without meaning and warn, the map computed all
// the same: angles inside the border but no curve point (a map not thinned,
// isolated pixels), and curve points whose angles look like radians: at
// least 10 of them, all within [-pi, pi], spread over more than 1.
TEST(CurvatureMap, MapsWithoutCurvesOrInRadiansWarn)
{
    const size_t rows = 5, cols = 16;
    // A one-pixel-wide line along row 3, columns 2 to 15: 12 curve points
    // (columns 3 to 14), the ends at columns 2 and 15.
    auto line = [&](std::vector<double> angles) {
        std::vector<double> O(rows * cols, kNaN);
        for (size_t j = 0; j < angles.size(); ++j) O[2 + rows * (j + 1)] = angles[j];
        return O;
    };
    auto spread = [](double low, double high, size_t count) {
        std::vector<double> v(count);
        for (size_t k = 0; k < count; ++k) v[k] = low + (high - low) * double(k) / double(count - 1);
        return v;
    };
    std::vector<double> full(rows * cols, 90.0), isolated(rows * cols, kNaN), border_only(rows * cols, kNaN),
        band(rows * cols, kNaN);
    isolated[2 + rows * 7] = 10.0;
    for (size_t j = 0; j < cols; ++j) border_only[rows * j] = 10.0 * double(j);
    for (size_t j = 2; j < 12; ++j)
        for (size_t i = 1; i < 4; ++i) band[i + rows * j] = 45.0;
    std::vector<double> radians = line(spread(0.25, 1.5, 14)), degrees = line(spread(0.25 * 57.3, 1.5 * 57.3, 14));
    std::vector<double> nine_points = line(spread(0.0, 2.0, 11)), narrow = line(spread(0.5, 1.4, 14));
    std::vector<double> past_pi = radians, below_minus_pi = radians, infinite = radians, near_axis = line(spread(0.0, 3.0, 14));
    past_pi[2 + rows * 5] = 3.1416;
    below_minus_pi[2 + rows * 5] = -3.1416;
    infinite[2 + rows * 5] = kInf;
    const struct {
        const char* what;
        std::vector<double> map;
        const char* warning;  // nullptr when none
        const char* message;
    } cases[] = {
        {"no angle at all", std::vector<double>(rows * cols, kNaN), nullptr, ""},
        {"angles on the border only", border_only, nullptr, ""},
        {"a full map", full, "noCurvePoints", "input 1 (orientation map) holds an angle at 42 pixels inside its border, but none of them has exactly two neighbours with an angle"},
        {"one isolated pixel", isolated, "noCurvePoints", "holds an angle at 1 pixel inside its border"},
        {"a band three pixels wide", band, "noCurvePoints", "holds an angle at 30 pixels inside its border"},
        {"a curve in radians", radians, "looksLikeRadians", "input 1 (orientation map) looks like radians: the angles of its 12 curve points lie from 0.346 to 1.404, all within [-pi, pi]."},
        {"the same curve in degrees", degrees, nullptr, ""},
        {"9 curve points in radians", nine_points, nullptr, ""},
        {"a spread of 1 or less", narrow, nullptr, ""},
        {"an angle past pi", past_pi, nullptr, ""},
        {"an angle below -pi", below_minus_pi, nullptr, ""},
        {"an infinite angle", infinite, nullptr, ""},
        {"degrees within 3 of the x axis (a false alarm)", near_axis, "looksLikeRadians", "12 curve points lie from 0.231 to 2.769"},
    };
    for (const auto& c : cases) {
        Array input = doubles({rows, cols}, c.map);
        const CallResult result = curvature_map(input.get());
        ASSERT_FALSE(result.failed) << c.what << ": " << result.message;
        expect_same_bits(zelref::curvature_map(int32_t(rows), int32_t(cols), c.map), values(result.outputs[0].get()),
                         c.what);
        if (!c.warning) {
            EXPECT_TRUE(result.warnings.empty()) << c.what << ": " << result.warnings.front().second;
            continue;
        }
        ASSERT_EQ(1u, result.warnings.size()) << c.what;
        EXPECT_EQ(std::string("ZELgetCurvatureMap:") + c.warning, result.warnings[0].first) << c.what;
        EXPECT_NE(std::string::npos, result.warnings[0].second.find(c.message)) << c.what << ": " << result.warnings[0].second;
    }
}

TEST(CurvatureMap, ContractBreachesEndInAnIdentifiedErrorWithNoOutput)
{
    Array int8_map = of_class(mxINT8_CLASS, {3, 3});
    Array uint16_map = of_class(mxUINT16_CLASS, {3, 3});
    Array complex_map = of_class(mxDOUBLE_CLASS, {3, 3}, mxCOMPLEX);
    Array sparse(mxCreateSparse(3, 3, 1, mxREAL));
    Array tall = unbacked({65535, 3}), wide = unbacked({3, 65535}), huge = unbacked({50000, 50000});
    Array map = doubles({3, 3});
    const std::vector<Breach> cases = {
        {"int8 map", "invalidClass", "input 1 (orientation map) must be a real, non-sparse double or single array; found an int8 array", {{1, int8_map.get()}}},
        {"uint16 map", "invalidClass", "found a uint16 array", {{1, uint16_map.get()}}},
        {"complex map", "invalidClass", "complex", {{1, complex_map.get()}}},
        {"sparse map", "invalidClass", "sparse", {{1, sparse.get()}}},
        {"65535 rows", "tooLarge", "65535 rows", {{1, tall.get()}}},
        {"65535 columns", "tooLarge", "65535 columns", {{1, wide.get()}}},
        {"more than 2^31 pixels", "tooLarge", "2500000000 elements", {{1, huge.get()}}},
    };
    expect_breaches("ZELgetCurvatureMap", 1, {map.get()}, cases);
}

// An orientation map from the orientation kernel, fed into the curvature
// kernel. The curve is the parabola y = (x - 8)^2 / 14 drawn with one pixel
// per column, so every inner point has exactly its two column neighbours.
// Along it the response stack peaks, over 8 orientations, at the tangent's
// angle; elsewhere it is zero, which the orientation kernel turns into NaN.
TEST(CurvatureMap, FollowsTheTurnOfACurveInAComputedOrientationMap)
{
    ASSERT_TRUE(mex_file_exists("ZELgetOrientationMap")) << "ZELgetOrientationMap is not built";
    const mwSize rows = 8, cols = 17, orientations = 8;
    const int first_column = 1, last_column = 15;  // 0-based, off the border
    auto curve_row = [](int j) { return 2 + int(std::lround((j - 8) * (j - 8) / 14.0)); };
    auto tangent_angle = [](int j) {  // degrees in [0, 180)
        const double a = std::atan(2.0 * (j - 8) / 14.0) * 180.0 / kPi;
        return a < 0 ? a + 180.0 : a;
    };
    std::vector<double> R(rows * cols * orientations, 0.0);
    std::vector<uint16_t> orientation(rows * cols, 1), scale(rows * cols, 1);
    for (int j = first_column; j <= last_column; ++j) {
        const size_t p = size_t(curve_row(j)) + rows * j;
        // Magnitudes on a parabola in the orientation position t, so that the
        // three-point peak recovers t; angle = (t - 1) / 8 * 180.
        const double t = tangent_angle(j) / 180.0 * orientations + 1.0;
        uint16_t peak = 1;
        for (mwSize o = 1; o <= orientations; ++o) {
            double d = std::fabs(double(o) - t);
            d = std::min(d, orientations - d);  // circular distance
            R[p + rows * cols * (o - 1)] = 20.0 - d * d;
            if (R[p + rows * cols * (o - 1)] > R[p + rows * cols * (peak - 1)]) peak = uint16_t(o);
        }
        orientation[p] = peak;
    }
    Array stack = doubles({rows, cols, orientations, 1}, R);
    Array o_map = uint16s({rows, cols}, orientation), s_map = uint16s({rows, cols}, scale);
    Array linear = uint16_scalar(0);
    CallResult angles = call("ZELgetOrientationMap", 1, {stack.get(), o_map.get(), s_map.get(), linear.get()});
    ASSERT_FALSE(angles.failed) << angles.message;
    const std::vector<double> O = values(angles.outputs.at(0).get());
    ASSERT_EQ(rows * cols, O.size());

    CallResult curvature = curvature_map(angles.outputs[0].get());
    ASSERT_FALSE(curvature.failed) << curvature.message;
    const std::vector<double> K = values(curvature.outputs.at(0).get());
    ASSERT_EQ(rows * cols, K.size());
    std::vector<bool> inner_point(rows * cols, false);
    for (int j = first_column + 1; j < last_column; ++j) {
        const size_t p = size_t(curve_row(j)) + rows * j;
        inner_point[p] = true;
        EXPECT_NEAR(tangent_angle(j), O[p], 1e-9) << "orientation at column " << j + 1;
        // The turn from one neighbour to the other, folded into [-90, 90].
        double turn = tangent_angle(j + 1) - tangent_angle(j - 1);
        if (turn > 90) turn -= 180;
        if (turn < -90) turn += 180;
        ASSERT_TRUE(std::isfinite(K[p])) << "column " << j + 1;
        EXPECT_NEAR(chord_of(turn), K[p], 1e-9) << "column " << j + 1;
        EXPECT_GT(K[p], 0.01) << "the curve turns at every column";
    }
    for (size_t p = 0; p < K.size(); ++p)
        if (!inner_point[p]) EXPECT_TRUE(std::isnan(K[p])) << "pixel " << p << " is not inside the curve";
}

}  // namespace
