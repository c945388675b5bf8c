// libmex.so of the stand-in host: running a call and ending it in an error.

#include "mex.h"
#include "mex_host.h"
#include "host_internal.h"

#include <cstdarg>
#include <cstdio>

namespace {

struct Warning {
    char id[96];
    char message[512];
};
constexpr int kKeptWarnings = 8;
thread_local Warning warnings[kKeptWarnings];
thread_local int warning_count = 0;

}  // namespace

extern "C" {

int mexHostCall(mexFunctionPointer entry, int nlhs, mxArray* plhs[], int nrhs,
                const mxArray* prhs[])
{
    warning_count = 0;
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

void mexWarnMsgIdAndTxt(const char* identifier, const char* format, ...)
{
    if (warning_count >= kKeptWarnings) return;
    Warning& w = warnings[warning_count++];
    std::snprintf(w.id, sizeof w.id, "%s", identifier);
    va_list args;
    va_start(args, format);
    std::vsnprintf(w.message, sizeof w.message, format, args);
    va_end(args);
}

int mexHostWarningCount(void) { return warning_count; }
const char* mexHostWarningId(int k) { return k >= 0 && k < warning_count ? warnings[k].id : ""; }
const char* mexHostWarningMessage(int k) { return k >= 0 && k < warning_count ? warnings[k].message : ""; }

}  // extern "C"
