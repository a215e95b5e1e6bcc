#include "records/simd.h"

namespace kw {

InstructionSet instruction_set() {
  static const InstructionSet chosen = [] {
#ifdef KW_AVX2
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
        __builtin_cpu_supports("bmi2")) {
      return InstructionSet::avx2;
    }
#endif
#ifdef KW_SSE2
    return InstructionSet::sse2;
#else
    return InstructionSet::plain;
#endif
  }();
  return chosen;
}

}  // namespace kw
