// The math functions bind at their oldest version, GLIBC_2.2.5, so that the
// MEX files load on every glibc a host may run on. Newer glibc releases give
// pow a second, default version; the old one computes the same results.
#ifndef ZEL_LIBM_BINDING_H
#define ZEL_LIBM_BINDING_H

#include <math.h>

#if defined(__x86_64__) && defined(__GLIBC__) && !defined(ZEL_DEFAULT_LIBM_VERSIONS)
__asm__(".symver pow,pow@GLIBC_2.2.5");
__asm__(".symver atan,atan@GLIBC_2.2.5");
__asm__(".symver sin,sin@GLIBC_2.2.5");
#endif

#endif
