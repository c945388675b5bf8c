// ZELgetBlobMap through the stand-in host.
#include "blob_ridge_fixture.h"
#include "reference_maps.h"

namespace {

using namespace zeltest;
const char* const kBlob = "ZELgetBlobMap";

TEST(BlobMap, WorkedExample)
{
    // One pixel, three orientations (o* = 3), two scales; n = 5, 2n = 10,
    // a = 1, g = 5, c = 0.5, b = 0.5 (polarity +1).
    //   s = 1: T = 1,    x = 0.5: P[2] = 3. R = {6, 4, 5}: weakest 4;
    //          |Q| = {0.5, 1, 0.25}: strongest 1. r = (4 - 1) - 3 * 0.5 = 1.5,
    //          sigma = fmax(|5|, |0.5 * 3|) = 5
    //   s = 2: T = 0.25, x = 2 clamped to 1: P[4] = 10. R = {9, 12, 8}: weakest 8;
    //          |Q| = {2, 1, 0}: strongest 2. r = (8 - 2) + 1.5 - 10 * 0.5 = 2.5,
    //          sigma = fmax(|8|, |0.5 * 10|) + 5 = 13
    BlobRidgeFixture in;
    in.dims = {1, 1, 3, 2};
    in.R = {6, 4, 5, 9, 12, 8};
    in.Q = {0.5, -1, 0.25, -2, 1, 0};
    in.orientation = {3};
    in.c = 0.5;
    in.P = {0, 1, 3, 6, 10};
    in.g = 5;
    in.A = {1};
    in.T = {100, 100, 1, 100, 100, 0.25};
    in.B = {0.5};
    const std::vector<double> map = map_of(kBlob, in);
    ASSERT_EQ(1u, map.size());
    EXPECT_SAME_BITS(2.5 / 13, map[0]);
}

TEST(BlobMap, EdgeCasesOfOnePixel)
{
    const std::vector<double> rising = {2, 1, 3, 6, 10};
    // Fields: what, R, Q, c, P, g, a, T, b, expected, o*, orientation count.
    expect_one_pixel_cases(kBlob, {
        {"one orientation: weakest = polarity * R, strongest = |Q|", {-3}, {-1}, 0, {0}, 1, 1, 1, -1, 2.0 / 3},
        {"NaN at orientation 1 stays for the scale", {kNaN, 1, 2}, {0, 0, 0}, 0, {0}, 1, 1, 1, 1, kNaN, 1, 3},
        {"NaN at a later orientation is passed over", {2, kNaN, 3}, {0, 0, 0}, 0, {0}, 1, 1, 1, 1, 1.0, 1, 3},
        {"NaN at the selected orientation adds |b * P_k|", {2, kNaN, 3}, {0, 0, 0}, 0, {1}, 1, 1, 1, 1, 2.0, 2, 3},
        {"every penalty NaN: strongest 0", {2, 3}, {kNaN, -kNaN}, 0, {0}, 1, 1, 1, 1, 1.0, 1, 2},
        {"strongest penalty by magnitude", {2, 3}, {-1.5, 1}, 0, {0}, 1, 1, 1, 1, 0.5 / 2, 1, 2},
        {"amplitude 0: weakest 0, sigma = |R(o*)|", {2, -3}, {0, 0}, -1, {4}, 1, 1, 1, 0, 4.0 / 3, 2, 2},
        {"amplitude NaN", {2}, {0}, 0, {4}, 1, 1, 1, kNaN, kNaN},
        {"x = 0.999: (n - 1) x = 3.996, k = 3", {5}, {0}, 0.1, rising, 1, 9.99, 1, 1, (5 - 6 * 0.1) / 6},
        {"x = 1: the last element", {5}, {0}, 0.1, rising, 1, 10, 1, 1, (5 - 10 * 0.1) / 10},
        {"x above 1 is clamped", {5}, {0}, 0.1, rising, 1, 25, 1, 1, (5 - 10 * 0.1) / 10},
        {"x = +inf from a zero scale entry", {5}, {0}, 0.1, rising, 1, 1, 0, 1, (5 - 10 * 0.1) / 10},
        {"x = ((1.2 / 0.9) * 6) / 8 = 1 exactly in this order: k = 3", {5}, {0}, 0.1, {0, 1, 3, 6}, 6, 1.2, 0.9, 1, (5 - 6 * 0.1) / 6},
        {"x NaN from a NaN size: element 0", {5}, {0}, 0.1, rising, 1, kNaN, 1, 1, (5 - 2 * 0.1) / 5},
        {"x NaN from 0 / 0", {5}, {0}, 0.1, rising, 1, 0, 0, 1, (5 - 2 * 0.1) / 5},
        {"one-element table", {5}, {0}, 0.1, {2}, 1, 50, 1, 1, (5 - 2 * 0.1) / 5},
        {"negative weight raises the score", {5}, {1}, -0.5, {-2}, 1, 1, 1, 1, (4 + 2 * 0.5) / 5},
        {"zero normaliser, r > 0", {0}, {0}, -1, {1}, 1, 1, 1, 0, kInf},
        {"zero normaliser, r = 0", {0}, {0}, 0, {1}, 1, 1, 1, 0, kNaN},
        {"r < 0 with sigma > 0", {2}, {5}, 0, {1}, 1, 1, 1, 1, 0.0},
    });
}

TEST(BlobMap, ScaleCountZeroAndEmptyImages) { expect_nan_map_without_scales_and_empty_maps_without_pixels(kBlob); }

std::vector<double> reference_blob_map(const BlobRidgeFixture& in)
{
    return zelref::blob_map(in.dims, in.R, in.Q, in.orientation, in.c, in.P, in.g, in.A, in.T, in.B);
}

TEST(BlobMap, AgreesBitForBitWithTheDefinitionOnRandomInputs)
{
    expect_reference_on_random_inputs(kBlob, 13, reference_blob_map);
}

TEST(BlobMap, NegativeFractionsReadTheFirstElement)
{
    // A negative gain makes x = -a / 8. Every x below 0 (sizes 3, 7, 1e6 and
    // +inf) reads P[0] = 1, as x = -0 (size 0) does and a fraction whose
    // product (n - 1) x lies in (-1, 0) (size 1) would anyway. Fractions in
    // range keep their own samples.
    BlobRidgeFixture in;
    in.dims = {1, 8};
    in.R = std::vector<double>(8, 5);
    in.Q = std::vector<double>(8, 0);
    in.orientation = std::vector<uint16_t>(8, 1);
    in.c = 0.1;
    in.P = {1, 2, 4, 8};
    in.g = -1;
    in.A = {3, 7, 1e6, kInf, 0, 1, -4, -32};
    in.T = {1};
    in.B = std::vector<double>(8, 1);
    const double first = (5 - 1 * 0.1) / 5;
    const std::vector<double> expected = {
        first, first, first, first, first, first,
        (5 - 2 * 0.1) / 5,   // x = 0.5: P[1]
        (5 - 8 * 0.1) / 8,   // x = 4 clamped to 1: P[3]
    };
    const std::vector<double> got = map_of(kBlob, in);
    ASSERT_EQ(expected.size(), got.size());
    for (size_t p = 0; p < got.size(); ++p) EXPECT_SAME_BITS(expected[p], got[p]) << "size " << in.A[p];
}

TEST(BlobMap, AcceptsWhatTheContractAllows) { expect_contract_allowances_accepted(kBlob); }

TEST(BlobMap, ContractBreachesEndInAnIdentifiedErrorWithNoOutput) { expect_contract_breaches_rejected(kBlob); }

}  // namespace
