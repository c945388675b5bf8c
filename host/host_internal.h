// What libmex.so needs of libmx.so to run a call and to end it in an error.
#ifndef ZEL_HOST_INTERNAL_H
#define ZEL_HOST_INTERNAL_H

#include <csetjmp>

// Thrown by mxHostRaise and caught by mexHostCall: it unwinds through the MEX
// file's own frames, as a host that ends calls by C++ exception does. The
// identifier and message stay in the thread's call state.
struct HostCallError {};

extern "C" {
// Arrays created from now on are recorded, so that a failed call can free them.
void mxHostBeginCall(void);
// Ends the recording; when the call failed, frees what it created.
void mxHostEndCall(int failed);
// Keeps the error and ends the call: by a long jump to the target set for
// this thread's call when there is one, else by throwing HostCallError to
// the mexHostCall of this thread.
[[noreturn]] void mxHostRaise(const char* identifier, const char* message);
// Keeps an error without ending anything (for a call that ended otherwise).
void mxHostKeepError(const char* identifier, const char* message);
// Where mxHostRaise jumps during this thread's call; null: it throws.
void mxHostSetJumpTarget(std::jmp_buf* target);
}

#endif
