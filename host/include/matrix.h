/* Array interface of the stand-in host (libmx.so).
 *
 * Declares the subset of the MEX array API that the kernels and their tests
 * use, with 64-bit sizes. The operations that take or return sizes are
 * published by libmx.so under the symbol version node v7.3, like the host
 * interface with large array dimensions; all others are unversioned. */
#ifndef ZEL_HOST_MATRIX_H
#define ZEL_HOST_MATRIX_H

#include <stddef.h>
#include <stdbool.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef size_t mwSize;
typedef size_t mwIndex;
typedef ptrdiff_t mwSignedIndex;

typedef struct mxArray_tag mxArray;

typedef enum {
    mxUNKNOWN_CLASS = 0,
    mxCELL_CLASS,
    mxSTRUCT_CLASS,
    mxLOGICAL_CLASS,
    mxCHAR_CLASS,
    mxVOID_CLASS,
    mxDOUBLE_CLASS,
    mxSINGLE_CLASS,
    mxINT8_CLASS,
    mxUINT8_CLASS,
    mxINT16_CLASS,
    mxUINT16_CLASS,
    mxINT32_CLASS,
    mxUINT32_CLASS,
    mxINT64_CLASS,
    mxUINT64_CLASS,
    mxFUNCTION_CLASS
} mxClassID;

typedef enum { mxREAL = 0, mxCOMPLEX = 1 } mxComplexity;

/* Versioned (v7.3): sizes are 64-bit. */
const mwSize *mxGetDimensions(const mxArray *array);
mwSize mxGetNumberOfDimensions(const mxArray *array);
mxArray *mxCreateDoubleMatrix(mwSize rows, mwSize cols, mxComplexity complexity);
mxArray *mxCreateNumericArray(mwSize ndim, const mwSize *dims, mxClassID class_id,
                              mxComplexity complexity);
mxArray *mxCreateSparse(mwSize rows, mwSize cols, mwSize nzmax, mxComplexity complexity);

/* Unversioned. */
double *mxGetPr(const mxArray *array);
void *mxGetData(const mxArray *array);
size_t mxGetNumberOfElements(const mxArray *array);
mxClassID mxGetClassID(const mxArray *array);
bool mxIsDouble(const mxArray *array);
bool mxIsUint16(const mxArray *array);
bool mxIsComplex(const mxArray *array);
bool mxIsSparse(const mxArray *array);
void mxDestroyArray(mxArray *array);

#ifdef __cplusplus
}
#endif

#endif
