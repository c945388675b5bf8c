// What libmex.so needs of libmx.so to run a call and to end it in an error.
#ifndef ZEL_HOST_INTERNAL_H
#define ZEL_HOST_INTERNAL_H

#include <csetjmp>
#include <cstdio>

extern "C" {
// Arrays created from now on are recorded, so that a failed call can free them.
void mxHostBeginCall(std::jmp_buf* on_error);
// Ends the recording; when the call failed, frees what it created.
void mxHostEndCall(int failed);
// Keeps the error and jumps back to the mxHostBeginCall of this thread.
[[noreturn]] void mxHostRaise(const char* identifier, const char* message);
}

#endif
