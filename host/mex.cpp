// libmex.so of the stand-in host: running a call and ending it in an error.

#include "mex.h"
#include "mex_host.h"
#include "host_internal.h"

#include <cstdarg>
#include <cstdio>

extern "C" {

int mexHostCall(mexFunctionPointer entry, int nlhs, mxArray* plhs[], int nrhs,
                const mxArray* prhs[])
{
    mxHostBeginCall();
    try {
        entry(nlhs, plhs, nrhs, prhs);
    } catch (const HostCallError&) {
        mxHostEndCall(1);
        return 1;
    }
    mxHostEndCall(0);
    return 0;
}

void mexErrMsgTxt(const char* message) { mxHostRaise("", message); }

void mexErrMsgIdAndTxt(const char* identifier, const char* format, ...)
{
    char message[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    mxHostRaise(identifier, message);
}

}  // extern "C"
