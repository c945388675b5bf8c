/* Array interface of the stand-in host (libmx.so).
 *
 * Declares the subset of the MEX array API that the kernels and their tests
 * use, in the interface with 64-bit sizes introduced with MATLAB 7.3. As in
 * MATLAB's own matrix.h, every function whose signature carries a size is
 * exported under its public name with the suffix _730, and the macros below
 * map the public names onto those; the others keep their plain names. No
 * symbol carries an ELF version. */
#ifndef ZEL_HOST_MATRIX_H
#define ZEL_HOST_MATRIX_H

#include <stddef.h>
#include <stdbool.h>
#include <stdint.h>

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

/* An element of a char array: a UTF-16 code unit, as in MATLAB. (Octave's
 * own headers make it a char of one byte: code that reads text goes through
 * this type, never a fixed width.) */
typedef uint16_t mxChar;

/* Sized operations: the 7.3 interface. */
#define mxGetDimensions mxGetDimensions_730
#define mxGetNumberOfDimensions mxGetNumberOfDimensions_730
#define mxCreateDoubleMatrix mxCreateDoubleMatrix_730
#define mxCreateNumericArray mxCreateNumericArray_730
#define mxCreateUninitNumericArray mxCreateUninitNumericArray_730
#define mxCreateSparse mxCreateSparse_730

const mwSize *mxGetDimensions(const mxArray *array);
mwSize mxGetNumberOfDimensions(const mxArray *array);
mxArray *mxCreateDoubleMatrix(mwSize rows, mwSize cols, mxComplexity complexity);
mxArray *mxCreateNumericArray(mwSize ndim, const mwSize *dims, mxClassID class_id,
                              mxComplexity complexity);
/* As mxCreateNumericArray, with elements the caller must write before the
   array is used; here, unless the host is told otherwise, they are a
   pattern (the bytes 0xA5) that no kernel result is likely to have, so that
   an element left unwritten shows. */
mxArray *mxCreateUninitNumericArray(size_t ndim, size_t *dims, mxClassID class_id,
                                    mxComplexity complexity);
mxArray *mxCreateSparse(mwSize rows, mwSize cols, mwSize nzmax, mxComplexity complexity);

/* Unsized operations: plain names. */
double *mxGetPr(const mxArray *array);
void *mxGetData(const mxArray *array);
size_t mxGetNumberOfElements(const mxArray *array);
/* Bytes per element: 2 for a char, as in MATLAB (Octave's char takes 1). */
size_t mxGetElementSize(const mxArray *array);
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
