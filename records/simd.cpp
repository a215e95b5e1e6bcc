#include "records/simd.h"

#include <cstdlib>
#include <string_view>

namespace kw {
namespace {

InstructionSet widest_run_here() {
#ifdef KW_AVX2
  // Every processor with these has LZCNT too (clang cannot ask for it).
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
      __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("fma") &&
      __builtin_cpu_supports("popcnt")) {
    return InstructionSet::avx2;
  }
#endif
#ifdef KW_SSE2
  return InstructionSet::sse2;
#else
  return InstructionSet::plain;
#endif
}

}  // namespace

InstructionSet instruction_set() {
  static const InstructionSet chosen = [] {
    const InstructionSet widest = widest_run_here();
    // KW_INSTRUCTION_SET=plain or sse2 narrows the choice, to compare the
    // kernels' bytes on one machine; nothing widens it.
    const char* cap = std::getenv("KW_INSTRUCTION_SET");
    const std::string_view wanted = cap != nullptr ? cap : "";
    if (wanted == "plain") return InstructionSet::plain;
    if (wanted == "sse2" && widest != InstructionSet::plain) return InstructionSet::sse2;
    return widest;
  }();
  return chosen;
}

}  // namespace kw
