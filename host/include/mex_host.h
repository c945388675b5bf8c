/* The calling side of the stand-in host, for tests and benchmarks.
 *
 * mexHostCall runs one MEX call the way a host does: when the MEX file ends
 * the call through mexErrMsgTxt or mexErrMsgIdAndTxt, a C++ exception thrown
 * in the host unwinds through the MEX file's frames back here (or, when set
 * so, a long jump returns here without unwinding them), every array
 * created during the call is destroyed, and the error is kept for
 * mexHostErrorId and mexHostErrorMessage. State is per thread, so calls from
 * several threads do not interfere. */
#ifndef ZEL_HOST_MEX_HOST_H
#define ZEL_HOST_MEX_HOST_H

#include "mex.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*mexFunctionPointer)(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]);

/* Returns 0 when the call returned normally, 1 when it ended in an error,
   2 when an exception other than the host's own left the MEX file (a fault
   of the file: the error identifier is then host:exceptionEscaped and the
   message what the exception says). Either way a failed call leaves no
   array it created. */
int mexHostCall(mexFunctionPointer entry, int nlhs, mxArray *plhs[], int nrhs,
                const mxArray *prhs[]);

/* How mexErrMsgTxt and mexErrMsgIdAndTxt end a call: by a C++ exception
   that unwinds the MEX file's frames (0, the default), or by a long jump
   from the host back to mexHostCall that skips them (1), as MATLAB does on
   some releases and platforms. ZEL_HOST_ERRORS=longjmp in the environment
   sets 1 for the process; mexHostSetLongJumpErrors sets either. */
void mexHostSetLongJumpErrors(int on);
int mexHostLongJumpErrors(void);

/* How many doubles the vector lanes of this thread's last call held (2, 4
   or 8), as test builds of the MEX files report it (ZEL_REPORT_LANES); 0
   when the call reported none. */
int mexHostLanesRan(void);

/* The identifier ("" for mexErrMsgTxt) and message of this thread's last error. */
const char *mexHostErrorId(void);
const char *mexHostErrorMessage(void);

/* The warnings of this thread's last call, in order (the first few kept). */
int mexHostWarningCount(void);
const char *mexHostWarningId(int k);
const char *mexHostWarningMessage(int k);

/* An array with the given sizes and no elements behind them (a null data
   pointer): for checking that oversized inputs are rejected unread. ndim >= 2. */
mxArray *mxHostCreateUnbackedArray(mwSize ndim, const mwSize *dims, mxClassID class_id);

/* Arrays created and not yet destroyed, over all threads (from libmx). */
long mxHostLiveArrays(void);

/* Whether mxCreateUninitNumericArray fills its elements with the bytes 0xA5
   (the default, so that an element a MEX file leaves unwritten shows) or
   leaves them as malloc gives them, as a real host does (for timing). */
void mxHostMarkUninitialised(int mark);

/* Whether the blocks of freed arrays of 1 MiB or more are kept (a few) and
   given to new arrays of the same size, as by a host that reuses its
   memory; off by default. */
void mxHostKeepFreedBlocks(int keep);

#ifdef __cplusplus
}
#endif

#endif
