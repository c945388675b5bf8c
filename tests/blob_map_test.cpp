// ZELgetBlobMap through the stand-in host.
#include "blob_ridge_fixture.h"

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

// The blob map as its definition reads, with fractions limited to [0, 1]
// so that the sample stays inside the table; offsets and table indices in
// 32-bit arithmetic, pixels rows outer.
std::vector<double> reference_blob_map(const BlobRidgeFixture& in)
{
    const int32_t rows = int32_t(in.dims[0]), cols = int32_t(in.dims[1]);
    const int32_t nO = int32_t(orientations(in.dims)), nS = int32_t(scales(in.dims));
    const int32_t n = int32_t(in.P.size());
    auto own_fmax = [](double a, double b) { return a > b ? a : b; };
    auto own_fsign = [](double x) { return x == 0 ? 0.0 : x > 0 ? 1.0 : -1.0; };
    auto sample = [&](double f) {
        const double product = f * double(n - 1);
        return std::isnan(product) ? in.P[0] : in.P.at(size_t(int32_t(product)));
    };
    std::vector<double> M(size_t(rows) * cols, 0.0);
    for (int32_t i = 1; i <= rows; ++i) {
        for (int32_t j = 1; j <= cols; ++j) {
            const int32_t p = (i - 1) + rows * (j - 1);
            const int32_t o_star = in.orientation[p];
            const double a = in.A[p], b = in.B[p], polarity = own_fsign(b);
            double sigma = 0.0;
            for (int32_t s = 1; s <= nS; ++s) {
                auto at = [&](int32_t o) { return p + rows * cols * (o - 1) + rows * cols * nO * (s - 1); };
                double x = ((a / in.T[(o_star - 1) + nO * (s - 1)]) * in.g) / (double(n) + double(n));
                if (1 < x) x = 1;
                if (x < 0) x = 0;
                double weakest = polarity * in.R[at(1)], strongest = 0;
                for (int32_t o = 1; o <= nO; ++o) {
                    if (weakest > polarity * in.R[at(o)]) weakest = polarity * in.R[at(o)];
                    if (std::fabs(in.Q[at(o)]) > strongest) strongest = std::fabs(in.Q[at(o)]);
                }
                M[p] = add_as_written(weakest - strongest, M[p]);
                const double P_k = sample(x);
                M[p] = M[p] - multiply_as_written(std::fabs(P_k), in.c);
                sigma = add_as_written(own_fmax(std::fabs(in.R[at(o_star)]), std::fabs(multiply_as_written(b, P_k))), sigma);
            }
            M[p] = own_fmax(0.0, M[p]) / sigma;
        }
    }
    return M;
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
