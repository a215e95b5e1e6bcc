// The pieces the readers of the published sources share.
#include <algorithm>

#include "timescale/published/published_readers.h"

namespace kw {

std::vector<std::string_view> blank_words(std::string_view line) {
  std::vector<std::string_view> words;
  for (std::size_t at = 0; (at = line.find_first_not_of(" \t\r", at)) != std::string_view::npos;) {
    const std::size_t end = std::min(line.find_first_of(" \t\r", at), line.size());
    words.push_back(line.substr(at, end - at));
    at = end;
  }
  return words;
}

bool units_of(std::string_view decimal, std::int64_t& units) {
  const bool negative = decimal.starts_with('-');
  if (negative) decimal.remove_prefix(1);
  const std::size_t point = std::min(decimal.find('.'), decimal.size());
  const std::string_view whole = decimal.substr(0, point);
  const std::string_view decimals = decimal.substr(std::min(point + 1, decimal.size()));
  // At most ten digits before the point (no real value has more) and seven after.
  if (whole.empty() || whole.size() > 10 || decimals.size() > 7) return false;
  units = 0;
  for (const char c : whole) {
    if (c < '0' || c > '9') return false;
    units = units * 10 + (c - '0');
  }
  for (std::size_t k = 0; k < 7; ++k) {
    const char c = k < decimals.size() ? decimals[k] : '0';
    if (c < '0' || c > '9') return false;
    units = units * 10 + (c - '0');
  }
  if (negative) units = -units;
  return true;
}

}  // namespace kw
