// Inputs read in place in the class the caller passed them: real arrays of
// doubles or of singles, index maps of uint16 or of doubles holding whole
// numbers. Every element is widened as it is read (a single to the double
// of the same value, a whole double to its 16-bit index), so the arithmetic
// that follows is that of the all-double, all-uint16 call.
#ifndef ZEL_ELEMENT_ACCESS_H
#define ZEL_ELEMENT_ACCESS_H

#include "mex_frame.h"

#include <stddef.h>
#include <stdint.h>

namespace zel {
namespace {

// A real array whose class is known only at run time, for the elements that
// are read a few at a time (tables, scalars, per-pixel maps).
struct RealArray {
    const void* data;
    bool single;
    double operator[](ptrdiff_t i) const
    {
        return single ? double(static_cast<const float*>(data)[i]) : static_cast<const double*>(data)[i];
    }
};

inline RealArray real_array(const mxArray* array)
{
    return RealArray{mxGetData(array), mxGetClassID(array) == mxSINGLE_CLASS};
}

// The first element of a scalar input: of a real one as a double, of a
// uint16 one as it is. The input checks have found its class and that it
// has an element.
inline double first_value(const mxArray* array) { return real_array(array)[0]; }
inline uint16_t first_uint16(const mxArray* array) { return static_cast<const uint16_t*>(mxGetData(array))[0]; }

// The elements of a real array whose class is fixed at compile time: what
// the per-pixel loops read the stacks through, so that each class gets its
// own loops.
template <typename T>
struct Elements {
    typedef T Element;
    const T* data;
    double operator[](ptrdiff_t i) const { return data[i]; }
    Elements operator+(ptrdiff_t offset) const { return Elements{data + offset}; }
};

// Calls body with the array's elements as Elements<double> or Elements<float>.
template <typename Body>
ZEL_ALWAYS_INLINE void with_elements(const RealArray& array, Body body)
{
    if (array.single)
        body(Elements<float>{static_cast<const float*>(array.data)});
    else
        body(Elements<double>{static_cast<const double*>(array.data)});
}

// The same for two arrays, whose classes may differ.
template <typename Body>
ZEL_ALWAYS_INLINE void with_elements(const RealArray& first, const RealArray& second, Body body)
{
    with_elements(first, [&](auto a) ZEL_INLINE_LAMBDA {
        with_elements(second, [&](auto b) ZEL_INLINE_LAMBDA { body(a, b); });
    });
}

// The values of a real array from index first on, widened into out.
ZEL_ALWAYS_INLINE void read_values(const RealArray& array, ptrdiff_t first, ptrdiff_t count, double* out)
{
    with_elements(array, [&](auto values) ZEL_INLINE_LAMBDA {
        for (ptrdiff_t q = 0; q < count; ++q) out[q] = values[first + q];
    });
}

// An index map of uint16 values, or of doubles that the input checks have
// found to be whole numbers in the map's range.
struct IndexMap {
    const void* data;
    bool whole_doubles;
    uint16_t operator[](ptrdiff_t p) const
    {
        return whole_doubles ? uint16_t(static_cast<const double*>(data)[p]) : static_cast<const uint16_t*>(data)[p];
    }
};

inline IndexMap index_map(const mxArray* array)
{
    return IndexMap{mxGetData(array), mxGetClassID(array) == mxDOUBLE_CLASS};
}

}  // namespace
}  // namespace zel

#endif
