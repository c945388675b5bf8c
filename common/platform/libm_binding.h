// How the MEX files bind to the math library's pow, atan and sin.
//
// Linux (ELF): the functions bind at their oldest version, GLIBC_2.2.5, so
// that the MEX files load on every glibc a host may run on. Newer glibc
// releases give pow a second, default version; the old one computes the
// same results.
//
// Windows (MinGW-w64): nothing to declare. pow and sin come from MinGW-w64's
// own math library, linked into each file; atan is imported from msvcrt.dll.
// Their last bit can differ from glibc's for some arguments.
#ifndef ZEL_PLATFORM_LIBM_BINDING_H
#define ZEL_PLATFORM_LIBM_BINDING_H

#include <math.h>

#if defined(__x86_64__) && defined(__GLIBC__)
__asm__(".symver pow,pow@GLIBC_2.2.5");
__asm__(".symver atan,atan@GLIBC_2.2.5");
__asm__(".symver sin,sin@GLIBC_2.2.5");
#endif

#endif
