// The one switch for the vector code: SSE2 wherever the compiler targets
// it (every x86-64 build, and the 32-bit Windows build, made with
// -msse2). Each vector kernel has a plain peer of the same signature,
// used elsewhere and as the kernel's test oracle.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#define KW_SSE2 1
#endif
