/* Gateway interface of the stand-in host (libmex.so). */
#ifndef ZEL_HOST_MEX_H
#define ZEL_HOST_MEX_H

#include "matrix.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Entry point that every MEX file defines. */
void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]);

/* Both end the current call: control never returns to the caller. */
void mexErrMsgTxt(const char *message) __attribute__((noreturn));
void mexErrMsgIdAndTxt(const char *identifier, const char *format, ...)
    __attribute__((noreturn, format(printf, 2, 3)));

/* Returns: the call goes on. */
void mexWarnMsgIdAndTxt(const char *identifier, const char *format, ...)
    __attribute__((format(printf, 2, 3)));

#ifdef __cplusplus
}
#endif

#endif
