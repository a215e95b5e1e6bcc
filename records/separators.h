// The characters that separate free-format values: blanks (spaces and
// tabs) and the comma. Between two values stand blanks, or one comma with
// or without blanks around it; a comma where a value should start is a
// null value, which the program does not take.
#pragma once

#include <string_view>

namespace kw {

inline bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

// Whether a character ends a value.
inline bool ends_value(char c) {
  return is_blank(c) || c == ',';
}

// Whether `text` holds only blanks.
inline bool is_blank_text(std::string_view text) {
  return text.find_first_not_of(" \t") == std::string_view::npos;
}

}  // namespace kw
