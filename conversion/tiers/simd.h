// The one seam of the vector code: which instruction set the kernels use,
// decided here and nowhere else.
//
// SSE2 wherever the compiler targets it (every x86-64 build, and the
// 32-bit Windows build, made with -msse2): fixed at build time, so the
// kernels the tests run are those of every x86 program. Elsewhere the
// plain kernels.
//
// Each vector kernel has a plain peer of the same signature, the fallback
// elsewhere and the kernel's test oracle.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#define KW_SSE2 1
#endif

#include <optional>
#include <string_view>

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

enum class InstructionSet { plain, sse2 };

// The environment variable that forces a set, to compare the kernels'
// bytes on one machine: "plain" or "sse2" (on a build without SSE2, the
// plain kernels).
inline constexpr const char* kInstructionSetVariable = "KW_INSTRUCTION_SET";

// The set a value of kInstructionSetVariable names; none for any other.
std::optional<InstructionSet> named_instruction_set(std::string_view name);

// The set the kernels use, chosen at the first call: the one
// kInstructionSetVariable names (the program refuses any other value
// before it starts), else SSE2 where built.
InstructionSet instruction_set();

}  // namespace kw
