// The lines of a text file held whole, as every reader of the program's
// tables and lists splits them.
#pragma once

#include <string_view>
#include <vector>

namespace kw {

// A line without its end, and the end that follows it: "\r\n", "\n", or
// none for a last line without a line feed. A carriage return belongs to
// the end only before a line feed.
struct TextLine {
  std::string_view text;
  std::string_view end;
};

// The first line of `text` (not empty), which is left holding the rest:
// for reading a large text a line at a time.
TextLine take_line(std::string_view& text);

// The lines of `text` in order; an empty text has none, and a text that
// ends with a line feed has no empty line after it.
std::vector<TextLine> text_lines(std::string_view text);

}  // namespace kw
