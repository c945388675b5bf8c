// The scalar helpers and the shared numeric rules, bit for bit.
#include "profile_sampling.h"
#include "scalar_helpers.h"

#include "kernel_support.h"

#include <cmath>
#include <limits>

namespace {

using zeltest::bits;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

struct UnaryCase {
    const char* what;
    double (*helper)(double);
    double x;
    double expected;
};

TEST(ScalarHelpers, UnaryHelpersAtNaNZerosAndInfinities)
{
    const UnaryCase cases[] = {
        {"fsign(-0)", zel::fsign, -0.0, +0.0},
        {"fsign(+0)", zel::fsign, +0.0, +0.0},
        {"fsign(NaN)", zel::fsign, kNaN, -1.0},
        {"fsign(-inf)", zel::fsign, -kInf, -1.0},
        {"fsign(1e-300)", zel::fsign, 1e-300, 1.0},
        {"fabs(+0)", zel::fabs, +0.0, -0.0},
        {"fabs(-0)", zel::fabs, -0.0, +0.0},
        {"fabs(-3)", zel::fabs, -3.0, 3.0},
        {"fabs(-inf)", zel::fabs, -kInf, kInf},
        {"fabs(NaN)", zel::fabs, kNaN, -kNaN},
        {"fabs(-NaN)", zel::fabs, -kNaN, kNaN},
        {"standard_abs(+0)", zel::standard_abs, +0.0, +0.0},
        {"standard_abs(-0)", zel::standard_abs, -0.0, +0.0},
        {"standard_abs(-NaN)", zel::standard_abs, -kNaN, kNaN},
    };
    for (const UnaryCase& c : cases) EXPECT_EQ(bits(c.expected), bits(c.helper(c.x))) << c.what;
}

TEST(ScalarHelpers, FmaxReturnsSecondOperandOnNaNAndTies)
{
    const struct {
        double a, b, expected;
    } cases[] = {
        {kNaN, 1.0, 1.0}, {1.0, kNaN, kNaN}, {+0.0, -0.0, -0.0}, {-0.0, +0.0, +0.0},
        {2.0, 1.0, 2.0},  {1.0, 2.0, 2.0},   {-kInf, kNaN, kNaN}, {kInf, 1.0, kInf},
    };
    for (const auto& c : cases)
        EXPECT_EQ(bits(c.expected), bits(zel::fmax(c.a, c.b))) << "fmax(" << c.a << ", " << c.b << ")";
}

TEST(ScalarHelpers, PlusAndTimesKeepTheFirstOfTwoNaNs)
{
    const double positive = kNaN, negative = -kNaN;
    const double payload = zeltest::from_bits(0x7ff8000000000123ull);
    const double signalling = zeltest::from_bits(0xfff0000000000456ull);
    const struct {
        double a, b, expected;
    } cases[] = {
        {positive, negative, positive}, {negative, positive, negative}, {payload, negative, payload},
        {negative, payload, negative},  {2.0, payload, payload},        {payload, 2.0, payload},
        {signalling, positive, zeltest::from_bits(0xfff8000000000456ull)},
    };
    // Read through volatile so that the compiler cannot fold the operations.
    for (const auto& c : cases) {
        volatile double a = c.a, b = c.b;
        EXPECT_EQ(bits(c.expected), bits(zel::plus(a, b))) << bits(c.a) << " + " << bits(c.b);
        EXPECT_EQ(bits(c.expected), bits(zel::times(a, b))) << bits(c.a) << " * " << bits(c.b);
    }
    volatile double three = 3.0, minus_zero = -0.0, inf = kInf;
    EXPECT_EQ(bits(3.0), bits(zel::plus(three, minus_zero)));
    EXPECT_EQ(bits(-0.0), bits(zel::times(three, minus_zero)));
    EXPECT_TRUE(std::isnan(zel::plus(inf, -inf)));
}

TEST(ScalarHelpers, UpperClampLetsNaNThrough)
{
    EXPECT_EQ(1.0, zel::upper_clamp(2.5, 1.0));
    EXPECT_EQ(0.25, zel::upper_clamp(0.25, 1.0));
    EXPECT_TRUE(std::isnan(zel::upper_clamp(kNaN, 1.0)));
}

TEST(ScalarHelpers, TruncationFollowsTheProcessorOutsideTheRange)
{
    EXPECT_EQ(1, zel::truncate_to_int32(1.9));
    EXPECT_EQ(0, zel::truncate_to_int32(-0.9));
    EXPECT_EQ(-3, zel::truncate_to_int32(-3.7));
    EXPECT_EQ(2147483647, zel::truncate_to_int32(2147483647.9));
    EXPECT_EQ(INT32_MIN, zel::truncate_to_int32(2147483648.0));
    EXPECT_EQ(INT32_MIN, zel::truncate_to_int32(-2147483648.9));
    EXPECT_EQ(INT32_MIN, zel::truncate_to_int32(kNaN));
    EXPECT_EQ(INT32_MIN, zel::truncate_to_int32(-kInf));
}

TEST(ScalarHelpers, ProfileSamplingPicksTheTruncatedPosition)
{
    const double four[] = {10, 11, 12, 13};
    const zel::ProfileTable table4 = {{four, false}, 4};
    const struct {
        double fraction;
        double expected;
    } cases[] = {{1.0, 13}, {0.5, 11}, {0.3333, 10}, {0.0, 10}, {-0.0, 10}, {kNaN, 10}, {-0.2, 10}};
    for (const auto& c : cases) EXPECT_EQ(c.expected, zel::sample_profile(table4, c.fraction)) << c.fraction;

    const double one[] = {7};
    const zel::ProfileTable table1 = {{one, false}, 1};
    for (double f : {0.0, 0.5, 1.0, kNaN}) EXPECT_EQ(7, zel::sample_profile(table1, f)) << f;

    EXPECT_EQ(8.0, zel::twice_count(table4));
    EXPECT_EQ(3.0, zel::last_index(table4));
}

TEST(ScalarHelpers, FractionLimitsKeepInRangeValuesAndNaN)
{
    const struct {
        double x, single, pair;
    } cases[] = {
        {0.25, 0.25, 0.25}, {1.0, 1.0, 0.5}, {2.5, 1.0, 0.5}, {kInf, 1.0, 0.5},   {-0.25, 0.0, -0.25},
        {-0.5, 0.0, -0.5},  {-3.0, 0.0, -0.5}, {-kInf, 0.0, -0.5}, {-0.0, -0.0, -0.0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bits(c.single), bits(zel::limit_single_sample(c.x))) << c.x;
        EXPECT_EQ(bits(c.pair), bits(zel::limit_pair_sample(c.x))) << c.x;
    }
    EXPECT_TRUE(std::isnan(zel::limit_single_sample(kNaN)));
    EXPECT_TRUE(std::isnan(zel::limit_pair_sample(kNaN)));
}

TEST(ScalarHelpers, ClampedNormalisationAtItsEdges)
{
    const struct {
        double r, sum, expected;
    } cases[] = {
        {-2.0, 4.0, +0.0}, {3.0, 0.0, kInf},  {0.0, 0.0, kNaN}, {kNaN, 4.0, kNaN}, {3.0, 4.0, 0.75},
        {-0.0, 4.0, -0.0}, {+0.0, 4.0, +0.0}, {3.0, kNaN, kNaN}, {-1.0, 0.0, kNaN},
    };
    for (const auto& c : cases) {
        const double got = zel::clamped_normalisation(c.r, c.sum);
        if (std::isnan(c.expected))
            EXPECT_TRUE(std::isnan(got)) << c.r << " / " << c.sum;
        else
            EXPECT_EQ(bits(c.expected), bits(got)) << c.r << " / " << c.sum;
    }
}

}  // namespace
