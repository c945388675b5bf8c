// How the MEX files bind to the math library's pow, atan and sin.
//
// Linux (ELF): the functions bind at their oldest version, so that the MEX
// files load on every glibc a host may run on: GLIBC_2.2.5 on x86-64 and
// GLIBC_2.17 on 64-bit ARM (ZEL_LIBM_VERSION). Newer glibc releases give
// pow a second, default version; the old one computes the same results.
// Elsewhere (macOS, other processors) the math library's default binding.
//
// Windows (MinGW-w64): nothing to declare. pow and sin come from MinGW-w64's
// own math library, linked into each file; atan is imported from msvcrt.dll.
// Their last bit can differ from glibc's for some arguments.
#ifndef ZEL_PLATFORM_LIBM_BINDING_H
#define ZEL_PLATFORM_LIBM_BINDING_H

#include <math.h>

#if defined(__GLIBC__) && defined(__x86_64__)
#define ZEL_LIBM_VERSION "GLIBC_2.2.5"
#elif defined(__GLIBC__) && defined(__aarch64__)
#define ZEL_LIBM_VERSION "GLIBC_2.17"
#endif
#ifdef ZEL_LIBM_VERSION
__asm__(".symver pow,pow@" ZEL_LIBM_VERSION);
__asm__(".symver atan,atan@" ZEL_LIBM_VERSION);
__asm__(".symver sin,sin@" ZEL_LIBM_VERSION);
#endif

#endif
