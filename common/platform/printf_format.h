// The printf dialect that the error messages are formatted in, for the
// compiler's format checks. On Windows, MinGW-w64 formats C++ programs with
// its own C99 printf, linked into each file (msvcrt.dll's lacks %zu and %td
// on older Windows), and names that dialect __MINGW_PRINTF_FORMAT; plain
// printf would be checked as msvcrt.dll's.
#ifndef ZEL_PLATFORM_PRINTF_FORMAT_H
#define ZEL_PLATFORM_PRINTF_FORMAT_H

#include <stdio.h>

#if defined(__MINGW32__)
#define ZEL_PRINTF_FORMAT __MINGW_PRINTF_FORMAT
#else
#define ZEL_PRINTF_FORMAT printf
#endif

#endif
