#include "reference_maps.h"

#include <cmath>
#include <cstring>

namespace zelref {

double fsign(double x) { return x == 0 ? 0.0 : x > 0 ? 1.0 : -1.0; }
double fmax(double a, double b) { return a > b ? a : b; }
double fabs(double x) { return x > 0 ? x : -x; }
double standard_abs(double x) { return std::fabs(x); }

namespace {
double quieted(double x)
{
    uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    b |= 0x0008000000000000ull;
    std::memcpy(&x, &b, sizeof x);
    return x;
}

int32_t orientations(const Dims& dims) { return dims.size() > 2 ? int32_t(dims[2]) : 1; }
int32_t scales(const Dims& dims) { return dims.size() > 3 ? int32_t(dims[3]) : 1; }
}  // namespace

double plus(double a, double b) { return std::isnan(a) ? quieted(a) : a + b; }
double times(double a, double b) { return std::isnan(a) ? quieted(a) : a * b; }

double sample(const std::vector<double>& P, double f)
{
    const double product = f * double(int32_t(P.size()) - 1);
    return std::isnan(product) ? P[0] : P.at(size_t(int32_t(product)));
}

double chord(double delta)
{
    const double s = std::sin(((standard_abs(delta) * 0.5) * 3.141592653589793) / 360.0);
    return s + s;
}

// The fraction limited to [0, 1], so that the sample stays inside the table:
//   x = ((a / T(o*, s)) * g) / (n + n)
//   weakest  = the least of fsign(b) * R(o, s) over o (the first one kept on ties and NaN)
//   strongest = the largest of |Q(o, s)| over o, from 0 (NaN passes over)
//   M = ((weakest - strongest) + M) - |P(x)| * c
//   sigma = fmax(|R(o*, s)|, |b * P(x)|) + sigma
// summed over the scales from M = 0 and sigma = 0, then M = fmax(0, M) / sigma
// (|.| the standard absolute value).
std::vector<double> blob_map(const Dims& dims, const std::vector<double>& R, const std::vector<double>& Q,
                             const std::vector<uint16_t>& orientation, double c, const std::vector<double>& P,
                             double g, const std::vector<double>& A, const std::vector<double>& T,
                             const std::vector<double>& B)
{
    const int32_t rows = int32_t(dims[0]), cols = int32_t(dims[1]), nO = orientations(dims), nS = scales(dims);
    const int32_t n = int32_t(P.size());
    std::vector<double> M(size_t(rows) * cols, 0.0);
    for (int32_t i = 1; i <= rows; ++i) {
        for (int32_t j = 1; j <= cols; ++j) {
            const int32_t p = (i - 1) + rows * (j - 1);
            const int32_t o_star = orientation[p];
            const double a = A[p], b = B[p], polarity = fsign(b);
            double sigma = 0.0;
            for (int32_t s = 1; s <= nS; ++s) {
                auto at = [&](int32_t o) { return p + rows * cols * (o - 1) + rows * cols * nO * (s - 1); };
                double x = ((a / T[(o_star - 1) + nO * (s - 1)]) * g) / (double(n) + double(n));
                if (1 < x) x = 1;
                if (x < 0) x = 0;
                double weakest = polarity * R[at(1)], strongest = 0;
                for (int32_t o = 1; o <= nO; ++o) {
                    if (weakest > polarity * R[at(o)]) weakest = polarity * R[at(o)];
                    if (standard_abs(Q[at(o)]) > strongest) strongest = standard_abs(Q[at(o)]);
                }
                M[p] = plus(weakest - strongest, M[p]);
                const double P_k = sample(P, x);
                M[p] = M[p] - times(standard_abs(P_k), c);
                sigma = plus(fmax(standard_abs(R[at(o_star)]), standard_abs(times(b, P_k))), sigma);
            }
            M[p] = fmax(0.0, M[p]) / sigma;
        }
    }
    return M;
}

// The fraction limited to [-0.5, 0.5], so that both samples stay inside the
// table; with R and Q at the pixel's own orientation o*:
//   x = ((a / T(o*, s)) * g) / (n + n)
//   d = P(0.5 + x) - P(0.5 - x)
//   M = ((fsign(d) * fsign(b)) * R(o*, s) + M) - (fabs(d) * c + Q(o*, s))
//   sigma = fmax(fabs(R(o*, s)), fabs(d * b)) + sigma
// summed over the scales from M = 0 and sigma = 0, then M = fmax(0, M) / sigma.
std::vector<double> ridge_map(const Dims& dims, const std::vector<double>& R, const std::vector<double>& Q,
                              const std::vector<uint16_t>& orientation, double c, const std::vector<double>& P,
                              double g, const std::vector<double>& A, const std::vector<double>& T,
                              const std::vector<double>& B)
{
    const int32_t rows = int32_t(dims[0]), cols = int32_t(dims[1]), nO = orientations(dims), nS = scales(dims);
    const int32_t n = int32_t(P.size());
    std::vector<double> M(size_t(rows) * cols, 0.0);
    for (int32_t i = 1; i <= rows; ++i) {
        for (int32_t j = 1; j <= cols; ++j) {
            const int32_t p = (i - 1) + rows * (j - 1);
            const int32_t o = orientation[p];
            const double a = A[p], b = B[p], polarity = fsign(b);
            double sigma = 0.0;
            for (int32_t s = 1; s <= nS; ++s) {
                double x = ((a / T[(o - 1) + nO * (s - 1)]) * g) / (double(n) + double(n));
                if (0.5 < x) x = 0.5;
                if (x < -0.5) x = -0.5;
                const double d = sample(P, 0.5 + x) - sample(P, 0.5 - x);
                const int32_t at = p + rows * cols * (o - 1) + rows * cols * nO * (s - 1);
                M[p] = plus(fsign(d) * polarity * R[at], M[p]);
                M[p] = M[p] - plus(times(fabs(d), c), Q[at]);
                sigma = plus(fmax(fabs(R[at]), fabs(times(d, b))), sigma);
            }
            M[p] = fmax(0.0, M[p]) / sigma;
        }
    }
    return M;
}

// At the pixel's orientation o*, with rho = fabs(R(o*, s*)) and
// d = fabs(b) * c:
//   E = ((0 + R(1)) + R(2)) + ... + R(nS), then E = fabs(E)
//   sum = fmax(fabs(R(k)), rho) + sum, k = 1..nS, from 0
//   E = (E - Q(k)) - d, k = 1..nS
//   E = fmax(0, E) / sum
std::vector<double> edge_map(const Dims& dims, const std::vector<double>& R, const std::vector<double>& Q,
                             const std::vector<uint16_t>& orientation, const std::vector<uint16_t>& scale,
                             double c, double b)
{
    const int32_t rows = int32_t(dims[0]), cols = int32_t(dims[1]), nO = orientations(dims), nS = scales(dims);
    std::vector<double> E(size_t(rows) * cols, 0.0);
    for (int32_t i = 1; i <= rows; ++i) {
        for (int32_t j = 1; j <= cols; ++j) {
            const int32_t p = (i - 1) + rows * (j - 1);
            const int32_t o = orientation[p];
            const auto at = [&](int32_t s) { return p + rows * cols * (o - 1) + rows * cols * nO * (s - 1); };
            double sum = 0.0;
            const double d = times(fabs(b), c);
            if (nS >= 1) {
                const double rho = R[at(scale[p])];
                for (int32_t k = 1; k <= nS; ++k) {
                    E[p] = plus(E[p], R[at(k)]);
                    sum = plus(fmax(fabs(R[at(k)]), fabs(rho)), sum);
                }
                E[p] = fabs(E[p]);
                for (int32_t k = 1; k <= nS; ++k) E[p] = (E[p] - Q[at(k)]) - d;
            } else {
                E[p] = fabs(E[p]);
            }
            E[p] = fmax(0.0, E[p]) / sum;
        }
    }
    return E;
}

// At the pixel's orientation o and scale s, with c = R(s), and a = |R(s - 1)|,
// b = |R(s + 1)| where both exist (|.| the standard absolute value):
//   s^ = s + (b - a) / (|c| * 4 - (b + a) * 2), else s^ = s
//   W = factor * T(o, s), factor = (T(1, 1) / T(1, 2)) ^ (s - s^), 1 when s^ = s
//   H = c / divisor: mode 1, P(1); mode 3, P(x) with x limited to [0, 1];
//   else P(x + 0.5) - P(0.5 - x) with x limited to [-0.5, 0.5];
//   x = ((W / T(o, s)) * g) / (n + n)
void height_and_width_maps(const Dims& dims, const std::vector<double>& R_stack,
                           const std::vector<uint16_t>& orientation, const std::vector<uint16_t>& scale,
                           const std::vector<double>& P, double g, const std::vector<double>& T, uint16_t mode,
                           std::vector<double>& H, std::vector<double>& W)
{
    const int32_t rows = int32_t(dims[0]), cols = int32_t(dims[1]), nO = orientations(dims), nS = scales(dims);
    const int32_t n = int32_t(P.size());
    H.assign(size_t(rows) * cols, 0.0);
    W.assign(size_t(rows) * cols, 0.0);
    for (int32_t i = 1; i <= rows; ++i) {
        for (int32_t j = 1; j <= cols; ++j) {
            const int32_t p = (i - 1) + rows * (j - 1);
            const int32_t o = orientation[p], s = scale[p];
            const auto R = [&](int32_t k) { return R_stack[p + rows * cols * (o - 1) + rows * cols * nO * (k - 1)]; };
            const double c = R(s);
            double s_hat = s;
            if (s != 1 && s != nS) {
                const double a = standard_abs(R(s - 1)), b = standard_abs(R(s + 1));
                s_hat = s + (b - a) / (standard_abs(c) * 4 - plus(b, a) * 2);
            }
            const double exponent = s - s_hat;
            const double factor = exponent == 0 ? 1.0 : std::pow(T[0] / T[nO], exponent);
            const double t = T[(o - 1) + nO * (s - 1)];
            const double w = times(factor, t);
            double divisor;
            if (mode == 1) {
                divisor = P[0];
            } else {
                double x = times(w / t, g) / (double(n) + double(n));
                if (mode == 3) {
                    x = x > 1 ? 1 : x < 0 ? 0 : x;
                    divisor = sample(P, x);
                } else {
                    x = x > 0.5 ? 0.5 : x < -0.5 ? -0.5 : x;
                    divisor = sample(P, x + 0.5) - sample(P, 0.5 - x);
                }
            }
            H[p] = c / divisor;
            W[p] = w;
        }
    }
}

// At the pixel's scale, with a, c, b the standard absolute values of the
// responses at the orientations before o, at o and after o (cyclically):
//   theta = o + (b - a) / (c * 4 - (b + a) * 2), plus L = nO - 6 f when below 1
//   flag 0: ((theta - 1) / nO) * 180
//   else, with H = nO / 2, Q = nO / 4, D = (nO - 6) / 4 (integer divisions):
//     o > H: atan((((theta - H) - Q) - 1) / D) * 180 / pi, plus 180 when below 0
//     o <= H: atan(((theta - Q) - 1) / D) * 180 / pi + 90
std::vector<double> orientation_map(const Dims& dims, const std::vector<double>& R_stack,
                                    const std::vector<uint16_t>& orientation, const std::vector<uint16_t>& scale,
                                    uint16_t flag)
{
    const int32_t rows = int32_t(dims[0]), cols = int32_t(dims[1]), nO = orientations(dims);
    const int32_t f = flag, L = nO - 6 * f, H = nO / 2, Q = nO / 4, D = (nO - 6) / 4;
    const double pi = 3.141592653589793;
    std::vector<double> angles(size_t(rows) * cols, 0.0);
    for (int32_t i = 1; i <= rows; ++i) {
        for (int32_t j = 1; j <= cols; ++j) {
            const int32_t p = (i - 1) + rows * (j - 1);
            const int32_t o = orientation[p], s = scale[p];
            const auto R = [&](int32_t k) { return R_stack[p + rows * cols * (k - 1) + rows * cols * nO * (s - 1)]; };
            int32_t previous, next;
            if (nO == 1) {
                previous = next = 1;
            } else if (o == 1) {
                previous = nO, next = 2;
            } else if (o == nO) {
                previous = nO - 1, next = 1;
            } else {
                previous = o - 1, next = o + 1;
            }
            const double a = standard_abs(R(previous)), c = standard_abs(R(o)), b = standard_abs(R(next));
            double theta = o + (b - a) / (c * 4 - plus(b, a) * 2);
            if (theta < 1) theta += L;
            double angle;
            if (f == 0) {
                angle = ((theta - 1) / nO) * 180;
            } else if (o > H) {
                angle = std::atan((((theta - H) - Q) - 1) / D) * 180 / pi;
                if (angle < 0) angle += 180;
            } else {
                angle = std::atan(((theta - Q) - 1) / D) * 180 / pi + 90;
            }
            angles[p] = angle;
        }
    }
    return angles;
}

// NaN (positive, quiet) on the border, where the pixel is NaN, and where it
// has other than exactly two valid (non-NaN) neighbours; else, with A and B
// those neighbours in scan order (row above left to right, left, right, row
// below left to right) and each difference d brought into [-90, 90] by
// d - 180 when above 90, then d + 180 when below -90:
//   K = chord(wrap(A - centre) + wrap(centre - B))
std::vector<double> curvature_map(int32_t rows, int32_t cols, const std::vector<double>& O)
{
    uint64_t quiet_nan_bits = 0x7ff8000000000000ull;
    double nan;
    std::memcpy(&nan, &quiet_nan_bits, sizeof nan);
    std::vector<double> K(size_t(rows) * cols, 0.0);
    auto at = [&](int32_t i, int32_t j) { return (i - 1) + rows * (j - 1); };
    auto wrap = [](double d) {
        if (d > 90) d = d - 180;
        if (d < -90) d = d + 180;
        return d;
    };
    for (int32_t i = 1; i <= rows; ++i) {
        for (int32_t j = 1; j <= cols; ++j) {
            if (i == 1 || i == rows || j == 1 || j == cols) {
                K[at(i, j)] = nan;
                continue;
            }
            const double c = O[at(i, j)];
            if (std::isnan(c)) {
                K[at(i, j)] = nan;
                continue;
            }
            std::vector<double> valid;
            const int32_t scan[8][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, -1}, {0, 1}, {1, -1}, {1, 0}, {1, 1}};
            for (const auto& step : scan) {
                const double v = O[at(i + step[0], j + step[1])];
                if (!std::isnan(v)) valid.push_back(v);
            }
            if (valid.size() != 2) {
                K[at(i, j)] = nan;
                continue;
            }
            const double d1 = wrap(c - valid[1]);
            const double d2 = wrap(valid[0] - c);
            K[at(i, j)] = chord(plus(d2, d1));
        }
    }
    return K;
}

namespace {
template <typename T>
IndexMaps peaks(const std::vector<T>& R, size_t pixels, size_t orientations, size_t scales)
{
    IndexMaps maps{std::vector<uint16_t>(pixels, 1), std::vector<uint16_t>(pixels, 1)};
    for (size_t p = 0; p < pixels; ++p) {
        T best = T(-1);
        for (size_t s = 0; s < scales; ++s)
            for (size_t o = 0; o < orientations; ++o) {
                const T v = std::fabs(R[p + pixels * (o + orientations * s)]);  // the standard absolute value
                if (v > best) {
                    best = v;
                    maps.orientation[p] = uint16_t(o + 1);
                    maps.scale[p] = uint16_t(s + 1);
                }
            }
    }
    return maps;
}
}  // namespace

IndexMaps index_maps(const std::vector<double>& R, size_t pixels, size_t orientations, size_t scales)
{
    return peaks(R, pixels, orientations, scales);
}
IndexMaps index_maps(const std::vector<float>& R, size_t pixels, size_t orientations, size_t scales)
{
    return peaks(R, pixels, orientations, scales);
}

}  // namespace zelref
