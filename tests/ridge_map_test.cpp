// ZELgetRidgeMap through the stand-in host.
#include "blob_ridge_fixture.h"
#include "reference_maps.h"

namespace {

using namespace zeltest;
const char* const kRidge = "ZELgetRidgeMap";

TEST(RidgeMap, WorkedExample)
{
    // One pixel, two orientations (o* = 2), two scales; orientation 1 holds
    // values that would show if it were read. n = 5, 2n = 10, a = 1, g = 2.
    //   s = 1: T = 1,   x = 0.2: P[2] - P[1] = 2, R = 3,   Q = 0.25
    //          r = -1 * 3 - (2 * 0.5 + 0.25) = -4.25,   sigma = fmax(3, 4) = 4
    //   s = 2: T = 0.5, x = 0.4: P[3] - P[0] = 6, R = -10, Q = -1
    //          r = 10 - 4.25 - (6 * 0.5 - 1) = 3.75,    sigma = fmax(10, 12) + 4 = 16
    BlobRidgeFixture in;
    in.dims = {1, 1, 2, 2};
    in.R = {100, 3, 100, -10};
    in.Q = {100, 0.25, 100, -1};
    in.orientation = {2};
    in.c = 0.5;
    in.P = {0, 1, 3, 6, 10};
    in.g = 2;
    in.A = {1};
    in.T = {100, 1, 100, 0.5};
    in.B = {-2};
    const std::vector<double> map = map_of(kRidge, in);
    ASSERT_EQ(1u, map.size());
    EXPECT_SAME_BITS(3.75 / 16, map[0]);
}

TEST(RidgeMap, EdgeCasesOfOnePixel)
{
    const std::vector<double> rising = {0, 1, 3, 6, 10};
    // Fields: what, R, Q, c, P, g, a, T, b, expected.
    expect_one_pixel_cases(kRidge, {
        {"x above the clamp: d = P[n-1] - P[0]", {2}, {0}, 0, rising, 10, 1, 1, 1, 2.0 / 10},
        {"x = +inf from a zero scale entry", {2}, {0}, 0, rising, 1, 1, 0, 1, 2.0 / 10},
        {"x = 0: both indices at the middle, d = 0, Q with its sign", {2}, {-1}, 0.5, rising, 1, 0, 1, 1, 1.0 / 2},
        {"x NaN from a NaN size: both indices 0", {2}, {-1}, 0.5, rising, 1, kNaN, 1, 1, 1.0 / 2},
        {"x NaN from 0 / 0", {2}, {-1}, 0.5, rising, 1, 0, 0, 1, 1.0 / 2},
        {"n = 5, x = 0.1: k_hi = 2, k_lo = 1", {2}, {0}, 0.25, rising, 1, 1, 1, 3, (2 - 2 * 0.25) / 6},
        {"n = 4, x = 0.2: k_hi = 2, k_lo = 0", {2}, {0}, 0.25, {0, 1, 3, 6}, 1, 1.6, 1, 3, (2 - 3 * 0.25) / 9},
        {"x = ((1.4 / 2.1) * 6) / 8 = 0.5 exactly in this order: k_hi = 3", {2}, {0}, 0.25, {0, 1, 3, 6}, 6, 1.4, 2.1, 3, (2 - 6 * 0.25) / 18},
        {"one-element table: d = 0 at any x", {2}, {-1}, 0.5, {7}, 10, 1, 1, 1, 1.0 / 2},
        {"decreasing profile flips the response", {-2}, {0}, 0, {10, 6, 3, 1, 0}, 10, 1, 1, 1, 2.0 / 10},
        {"constant profile removes the response", {2}, {-1}, 0.5, {4, 4, 4, 4, 4}, 10, 1, 1, 1, 1.0 / 2},
        {"amplitude 0: no response term, sigma = |R|", {2}, {-1}, 0, rising, 10, 1, 1, 0, 1.0 / 2},
        {"amplitude -0 is polarity 0 too", {2}, {-1}, 0, rising, 10, 1, 1, -0.0, 1.0 / 2},
        {"amplitude NaN", {2}, {-1}, 0, rising, 10, 1, 1, kNaN, kNaN},
        {"NaN response, even times polarity 0", {kNaN}, {-1}, 0, rising, 10, 1, 1, 0, kNaN},
        {"NaN penalty", {2}, {kNaN}, 0, rising, 10, 1, 1, 1, kNaN},
        {"zero normaliser, r > 0", {0}, {-1}, 0, rising, 10, 1, 1, 0, kInf},
        {"zero normaliser, r = 0", {0}, {0}, 0, rising, 10, 1, 1, 0, kNaN},
        {"r < 0 with sigma > 0", {2}, {5}, 0, rising, 10, 1, 1, 1, 0.0},
    });
}

TEST(RidgeMap, ScaleCountZeroAndEmptyImages) { expect_nan_map_without_scales_and_empty_maps_without_pixels(kRidge); }

std::vector<double> reference_ridge_map(const BlobRidgeFixture& in)
{
    return zelref::ridge_map(in.dims, in.R, in.Q, in.orientation, in.c, in.P, in.g, in.A, in.T, in.B);
}

TEST(RidgeMap, AgreesBitForBitWithTheDefinitionOnRandomInputs)
{
    expect_reference_on_random_inputs(kRidge, 11, reference_ridge_map);
}

TEST(RidgeMap, FractionsBelowMinusOneHalfReadTheTableEnds)
{
    // A negative gain makes x = -a / 10. From x = -0.5 down (sizes 5, 7, 1e6
    // and +inf) the samples are P[0] and P[4]: d = -15. Fractions in range
    // keep their own samples, the negative ones included.
    BlobRidgeFixture in;
    in.dims = {1, 8};
    in.R = std::vector<double>(8, -5);
    in.Q = std::vector<double>(8, 0);
    in.orientation = std::vector<uint16_t>(8, 1);
    in.c = 0.1;
    in.P = {1, 2, 4, 8, 16};
    in.g = -1;
    in.A = {5, 7, 1e6, kInf, 1, 3, -3, 0};
    in.T = {1};
    in.B = std::vector<double>(8, 1);
    const double at_the_ends = (5 - (15 * 0.1 + 0)) / 15;
    const std::vector<double> expected = {
        at_the_ends, at_the_ends, at_the_ends, at_the_ends,
        (5 - (2 * 0.1 + 0)) / 5,  // x = -0.1: P[1] - P[2] = -2
        (5 - (7 * 0.1 + 0)) / 7,  // x = -0.3: P[0] - P[3] = -7
        0.0,                      // x = 0.3: P[3] - P[0] = 7 turns the response negative
        0.0,                      // x = -0: the middle element twice, d = 0
    };
    const std::vector<double> got = map_of(kRidge, in);
    ASSERT_EQ(expected.size(), got.size());
    for (size_t p = 0; p < got.size(); ++p) EXPECT_SAME_BITS(expected[p], got[p]) << "size " << in.A[p];
}

TEST(RidgeMap, AcceptsWhatTheContractAllows) { expect_contract_allowances_accepted(kRidge); }

TEST(RidgeMap, ContractBreachesEndInAnIdentifiedErrorWithNoOutput) { expect_contract_breaches_rejected(kRidge); }

}  // namespace
