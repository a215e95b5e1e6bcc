// The one seam of the vector code: which instruction sets the kernels may
// use, decided here and nowhere else.
//
// - SSE2 wherever the compiler targets it (every x86-64 build, and the
//   32-bit Windows build, made with -msse2): used unconditionally.
// - AVX2 with BMI1, BMI2 and FMA on x86-64 Linux (GCC or Clang): kernels
//   are compiled a second time with KW_AVX2_TARGET beside the others, and
//   chosen at run time when the processor has all four. The Windows
//   program keeps its SSE2 baseline.
//
// Each vector kernel has a plain peer of the same signature, the fallback
// elsewhere and the kernel's test oracle.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#define KW_SSE2 1
#endif

#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__)
#include <immintrin.h>
#define KW_AVX2 1
#define KW_AVX2_TARGET __attribute__((target("avx2,bmi,bmi2,fma,lzcnt,popcnt")))
// A loop of generic code over AVX2 kernels: everything it calls is inlined
// into it, and so compiled for AVX2 and BMI.
#define KW_AVX2_FLATTEN KW_AVX2_TARGET __attribute__((flatten))
#endif

namespace kw {

// A table of vector constants, for a kernel inlined into a loop: the loop
// loads each where it is used, as an operand, instead of hoisting them all
// into registers it then spills (the compiler no longer knows where the
// table is). Costs no instruction.
template <typename Table>
[[gnu::always_inline]] inline const Table& in_memory(const Table& constants) {
  const Table* place = &constants;
#if defined(__GNUC__)
  asm("" : "+r"(place));
#endif
  return *place;
}

enum class InstructionSet { plain, sse2, avx2 };

// The widest set built that this processor runs, chosen at the first call
// (the environment variable KW_INSTRUCTION_SET, "plain" or "sse2", narrows
// it).
InstructionSet instruction_set();

}  // namespace kw
