// Fuzz target: kw_lsini's reader of leap-second lists on any text.
//
// Properties: a list that reads has entries, its numbers are digits only,
// and each entry's two numbers appear among them in order; checking its
// hash neither fails nor depends on anything but the list; a list read
// again from the text it was read from reads the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "timescale/published/leap_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  kw::LeapList list;
  std::string error;
  if (!kw::read_leap_list(text, list, error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  FUZZ_CHECK(!list.entries.empty());
  FUZZ_CHECK(list.numbers.find_first_not_of("0123456789") == std::string::npos);
  std::size_t at = 0;
  for (const kw::LeapListEntry& entry : list.entries) {
    const std::string numbers = std::to_string(entry.ntp);
    at = list.numbers.find(numbers, at);
    FUZZ_CHECK(at != std::string::npos);
    at += numbers.size();
  }
  const bool matches = kw::hash_matches(list);
  kw::LeapList again;
  FUZZ_CHECK(kw::read_leap_list(text, again, error));
  FUZZ_CHECK(again.numbers == list.numbers && kw::hash_matches(again) == matches);
  return 0;
}
