#include "conversion/tiers/simd.h"

#include <cstdlib>

namespace kw {

std::optional<InstructionSet> named_instruction_set(std::string_view name) {
  if (name == "plain") return InstructionSet::plain;
#ifdef KW_SSE2
  if (name == "sse2") return InstructionSet::sse2;
#else
  if (name == "sse2") return InstructionSet::plain;
#endif
  return std::nullopt;
}

InstructionSet instruction_set() {
  static const InstructionSet chosen = [] {
#ifdef KW_SSE2
    constexpr InstructionSet kBuilt = InstructionSet::sse2;
#else
    constexpr InstructionSet kBuilt = InstructionSet::plain;
#endif
    const char* name = std::getenv(kInstructionSetVariable);
    return name != nullptr ? named_instruction_set(name).value_or(kBuilt) : kBuilt;
  }();
  return chosen;
}

}  // namespace kw
