// libmex.so of the stand-in host: running a call and ending it in an error.

#include "mex.h"
#include "mex_host.h"
#include "host_internal.h"

#include <atomic>
#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace {

struct Warning {
    char id[96];
    char message[512];
};
constexpr int kKeptWarnings = 8;
constexpr const char* kLanesReport = "ZELtest:lanes";
thread_local Warning warnings[kKeptWarnings];
thread_local int warning_count = 0;
thread_local int lanes_ran = 0;

// How an error ends a call: -1 not yet read from ZEL_HOST_ERRORS, 0 by
// unwinding (HostCallError), 1 by a long jump.
std::atomic<int> long_jump_errors{-1};

bool errors_end_by_long_jump()
{
    int mode = long_jump_errors.load();
    if (mode < 0) {
        const char* setting = std::getenv("ZEL_HOST_ERRORS");
        mode = setting && std::strcmp(setting, "longjmp") == 0 ? 1 : 0;
        long_jump_errors.store(mode);
    }
    return mode == 1;
}

// An exception that is not the host's left the MEX file: a fault of the
// file, which a host would not survive. The call ends as failed, with what
// is known of the exception as its message.
int exception_escaped(const char* what)
{
    mxHostSetJumpTarget(nullptr);
    mxHostKeepError("host:exceptionEscaped", what);
    mxHostEndCall(1);
    return 2;
}

// The call with mxHostRaise ending it by a long jump back here, past the
// MEX file's frames without unwinding them, as some hosts do.
int call_ending_by_long_jump(mexFunctionPointer entry, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    std::jmp_buf target;
    if (setjmp(target) != 0) {
        mxHostSetJumpTarget(nullptr);
        mxHostEndCall(1);
        return 1;
    }
    mxHostSetJumpTarget(&target);
    try {
        entry(nlhs, plhs, nrhs, prhs);
    } catch (const std::exception& e) {
        return exception_escaped(e.what());
    } catch (...) {
        return exception_escaped("an exception of a type the host does not know");
    }
    mxHostSetJumpTarget(nullptr);
    mxHostEndCall(0);
    return 0;
}

}  // namespace

extern "C" {

int mexHostCall(mexFunctionPointer entry, int nlhs, mxArray* plhs[], int nrhs,
                const mxArray* prhs[])
{
    warning_count = 0;
    lanes_ran = 0;
    mxHostBeginCall();
    if (errors_end_by_long_jump()) return call_ending_by_long_jump(entry, nlhs, plhs, nrhs, prhs);
    try {
        entry(nlhs, plhs, nrhs, prhs);
    } catch (const HostCallError&) {
        mxHostEndCall(1);
        return 1;
    } catch (const std::exception& e) {
        return exception_escaped(e.what());
    } catch (...) {
        return exception_escaped("an exception of a type the host does not know");
    }
    mxHostEndCall(0);
    return 0;
}

void mexHostSetLongJumpErrors(int on) { long_jump_errors.store(on ? 1 : 0); }
int mexHostLongJumpErrors(void) { return errors_end_by_long_jump() ? 1 : 0; }

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
    if (std::strcmp(identifier, kLanesReport) == 0) {
        // A test build saying how many doubles its vector lanes hold.
        va_list args;
        va_start(args, format);
        lanes_ran = va_arg(args, int);
        va_end(args);
        return;
    }
    if (warning_count >= kKeptWarnings) return;
    Warning& w = warnings[warning_count++];
    std::snprintf(w.id, sizeof w.id, "%s", identifier);
    va_list args;
    va_start(args, format);
    std::vsnprintf(w.message, sizeof w.message, format, args);
    va_end(args);
}

int mexHostLanesRan(void) { return lanes_ran; }

int mexHostWarningCount(void) { return warning_count; }
const char* mexHostWarningId(int k) { return k >= 0 && k < warning_count ? warnings[k].id : ""; }
const char* mexHostWarningMessage(int k) { return k >= 0 && k < warning_count ? warnings[k].message : ""; }

}  // extern "C"
