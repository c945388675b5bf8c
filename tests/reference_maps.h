// Each map as a plain scalar loop: the definition the tests compare the
// kernels with, bit for bit. Pixels go rows outer, columns inner, 1-based as
// the maths is written; offsets and table indices are 32-bit. Every formula
// is written in the exact order of its operations, left to right, with the
// helpers below named where the definition uses them, so that a reader can
// check a kernel's comment or a help file against it.
#ifndef ZEL_TESTS_REFERENCE_MAPS_H
#define ZEL_TESTS_REFERENCE_MAPS_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zelref {

using Dims = std::vector<size_t>;  // of the response stack: rows, cols, orientations, scales

// The helpers, with their treatment of NaN and of signed zeros:
// +0 for either zero, +1 above zero, -1 otherwise (NaN included).
double fsign(double x);
// a when a > b, else b: a NaN on either side, and equal operands, give b.
double fmax(double a, double b);
// x when x > 0, else -x: the sign flips for zeros and NaN alike.
double fabs(double x);
// The sign bit cleared (the standard absolute value).
double standard_abs(double x);
// a + b and a * b as the processor gives them for operands in this order:
// with two NaN operands the result is the first one, quieted.
double plus(double a, double b);
double times(double a, double b);
// The element of the table P at fraction f (callers keep f in [0, 1] or
// NaN): f * (n - 1) truncated toward zero; a NaN product reads element 1.
double sample(const std::vector<double>& P, double f);
// 2 sin(phi / 2) with phi = |delta| * pi / 360: ((|delta| * 0.5) * pi) / 360,
// |.| the standard absolute value.
double chord(double delta);

// The blob map (inputs 1 to 10 but 4, which is not read).
std::vector<double> blob_map(const Dims& dims, const std::vector<double>& R, const std::vector<double>& Q,
                             const std::vector<uint16_t>& orientation, double c, const std::vector<double>& P,
                             double g, const std::vector<double>& A, const std::vector<double>& T,
                             const std::vector<double>& B);
// The ridge map, of the same inputs.
std::vector<double> ridge_map(const Dims& dims, const std::vector<double>& R, const std::vector<double>& Q,
                              const std::vector<uint16_t>& orientation, double c, const std::vector<double>& P,
                              double g, const std::vector<double>& A, const std::vector<double>& T,
                              const std::vector<double>& B);
// The edge map.
std::vector<double> edge_map(const Dims& dims, const std::vector<double>& R, const std::vector<double>& Q,
                             const std::vector<uint16_t>& orientation, const std::vector<uint16_t>& scale,
                             double c, double b);
// The height map H and the width map W.
void height_and_width_maps(const Dims& dims, const std::vector<double>& R, const std::vector<uint16_t>& orientation,
                           const std::vector<uint16_t>& scale, const std::vector<double>& P, double g,
                           const std::vector<double>& T, uint16_t mode, std::vector<double>& H,
                           std::vector<double>& W);
// The orientation map, in degrees.
std::vector<double> orientation_map(const Dims& dims, const std::vector<double>& R,
                                    const std::vector<uint16_t>& orientation, const std::vector<uint16_t>& scale,
                                    uint16_t flag);
// The curvature map of a rows x cols map of angles (its first page).
std::vector<double> curvature_map(int32_t rows, int32_t cols, const std::vector<double>& O);

// The index maps: for each pixel, the orientation and the scale of the
// first largest |R| in scan order, scale by scale, orientation by
// orientation (a magnitude replaces the best only when larger, which NaN
// never is); 1 and 1 when none is. In the stack's own precision.
struct IndexMaps {
    std::vector<uint16_t> orientation, scale;
};
IndexMaps index_maps(const std::vector<double>& R, size_t pixels, size_t orientations, size_t scales);
IndexMaps index_maps(const std::vector<float>& R, size_t pixels, size_t orientations, size_t scales);

}  // namespace zelref

#endif
