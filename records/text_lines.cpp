#include "records/text_lines.h"

namespace kw {

TextLine take_line(std::string_view& text) {
  const std::size_t lf = text.find('\n');
  TextLine line{text.substr(0, lf), {}};
  if (lf != std::string_view::npos) {
    const bool cr = line.text.ends_with('\r');
    if (cr) line.text.remove_suffix(1);
    line.end = text.substr(line.text.size(), cr ? 2 : 1);
  }
  text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
  return line;
}

std::vector<TextLine> text_lines(std::string_view text) {
  std::vector<TextLine> lines;
  while (!text.empty()) lines.push_back(take_line(text));
  return lines;
}

}  // namespace kw
