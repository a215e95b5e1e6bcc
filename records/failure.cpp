#include "records/failure.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "platform/process.h"

namespace kw {

std::string unit_message(std::string_view text, int unit, std::string_view file) {
  std::string line(text);
  line += ", unit ";
  line += std::to_string(unit);
  line += ", file ";
  line += file;
  return line;
}

namespace {
std::string forrtl_line(std::string_view severity, int number, std::string_view message) {
  std::string line = "forrtl: ";
  line += severity;
  line += " (";
  line += std::to_string(number & 0xFFFF);  // the number is the status code's low 16 bits
  line += "): ";
  line += message;
  return line;
}
}  // namespace

void stop_severe(int number, std::string_view message, std::string detail) {
  throw RunStop(forrtl_line("severe", number, message), os::exit_status_for_error(number),
                std::move(detail));
}

namespace {

[[noreturn]] void stop_io(int number, std::string_view what, int unit, std::string_view file,
                          std::string_view reason) {
  std::string message = unit_message(what, unit, file);
  message += " (";
  message += reason;
  message += ")";
  stop_severe(number, message);
}

}  // namespace

void stop_read(int unit, std::string_view file, std::string_view reason) {
  stop_io(err::read_failed, "error during read", unit, file, reason);
}

void stop_write(int unit, std::string_view file, std::string_view reason) {
  stop_io(err::write_failed, "error during write", unit, file, reason);
}

namespace {

// The length of the well-formed UTF-8 character of two to four bytes at
// the start of `text`, or 0.
std::size_t utf8_length(std::string_view text) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
  }
  // No overlong form, no surrogate, nothing past U+10FFFF.
  if ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) > 0x9F) ||
      (lead == 0xF0 && byte(1) < 0x90) || (lead == 0xF4 && byte(1) > 0x8F)) {
    return 0;
  }
  return length;
}

void put_escaped(unsigned char byte, std::string& text) {
  constexpr const char* kHex = "0123456789abcdef";
  text += "\\x";
  text += kHex[byte >> 4];
  text += kHex[byte & 0xF];
}

}  // namespace

std::string shown(std::string_view name) {
  std::string text;
  for (std::size_t i = 0; i < name.size();) {
    const auto byte = static_cast<unsigned char>(name[i]);
    const std::size_t length = byte >= 0x80 ? utf8_length(name.substr(i)) : 0;
    const bool c1 = length == 2 && byte == 0xC2 && static_cast<unsigned char>(name[i + 1]) < 0xA0;
    if (length > 0 && !c1) {
      text.append(name.substr(i, length));
      i += length;
    } else if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte <= 0x9F) || c1) {
      put_escaped(byte, text);
      if (c1) put_escaped(static_cast<unsigned char>(name[i + 1]), text);
      i += c1 ? 2 : 1;
    } else {
      text += name[i++];
    }
  }
  return text;
}

std::string with_thousands(std::uint64_t n) {
  const std::string digits = std::to_string(n);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

std::string quoted(std::string_view name) {
  std::string text(1, '"');  // (GCC 12 warns of an overlap in "\"" + text)
  text += shown(name);
  text += '"';
  return text;
}

std::string about(std::string_view name, std::string_view text) {
  std::string line(kProgramPrefix);
  line += quoted(name);
  line += ": ";
  line += shown(text);  // names of entries the system found in it too
  return line;
}

void stop_unit(UnitError error, int unit, std::string_view file, std::string detail) {
  std::string_view text;
  switch (error) {
    case UnitError::end_of_file:
      text = "end-of-file during read";
      break;
    case UnitError::bad_file_name:
      text = "file name specification error";
      break;
    case UnitError::syntax:
      text = "list-directed I/O syntax error";
      break;
    case UnitError::input_conversion:
      text = "input conversion error";
      break;
  }
  stop_severe(static_cast<int>(error), unit_message(text, unit, file), std::move(detail));
}

void stop_unit_at(UnitError error, int unit, std::string_view file, std::string detail) {
  try {
    stop_unit(error, unit, file);
  } catch (const RunStop& stop) {
    throw RunStop(stop.line(), stop.status(), std::move(detail), true);
  }
}

std::string found_in_line(std::string_view line, bool first) {
  if (first && line.starts_with("\xEF\xBB\xBF")) {
    return "a UTF-8 byte-order mark (the invisible bytes EF BB BF) before the first value";
  }
  if ((first && (line.starts_with("\xFF\xFE") || line.starts_with("\xFE\xFF"))) ||
      line.find('\0') != std::string_view::npos) {
    return "UTF-16 text (two bytes a character), not plain text";
  }
  const std::size_t start = line.find_first_not_of(" \t");
  if (start == std::string_view::npos) return "a blank line";
  const char c = line[start];
  if (c == '#' || c == '!' || c == ';' || c == '%') return "a comment line";
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return "a header or text line";
  // The first word that the program does not read as a number.
  int values = 0;
  for (std::size_t at = start; at < line.size();) {
    const std::size_t end = std::min(line.find_first_of(" \t,", at), line.size());
    const std::string_view word = line.substr(at, end - at);
    double value = 0.0;
    if (!word.empty()) {
      if (ListReader(word).next_real(value) != ReadStatus::ok) {
        std::string said(1, '"');  // (GCC 12 warns of an overlap in "\"" + text)
        said += shown(word.substr(0, 20));
        said += "\", not a number";
        return said;
      }
      ++values;
    }
    at = line.find_first_not_of(" \t,", end);
  }
  return std::to_string(values) + (values == 1 ? " value" : " values");
}

std::string misfit_in_line(std::string_view line) {
  constexpr std::array<const char*, 6> kItems = {
      "the year", "the month", "the day", "the first value", "the second value", "the third value"};
  std::size_t item = 0;
  for (std::size_t at = line.find_first_not_of(" \t,"); at != std::string_view::npos;
       at = line.find_first_not_of(" \t,", at)) {
    const std::size_t end = std::min(line.find_first_of(" \t,", at), line.size());
    const std::string_view word = line.substr(at, end - at);
    at = end;
    if (item == kItems.size()) break;
    std::int32_t whole = 0;
    double real = 0.0;
    const bool integer = item < 3;
    const ReadStatus status =
        integer ? ListReader(word).next_integer(whole) : ListReader(word).next_real(real);
    if (status == ReadStatus::conversion) {
      return quoted(word.substr(0, 40)) + " as " + kItems[item] +
             (integer ? ", where a whole number of at most 32 bits was expected"
                      : ", where a number within the range of a double was expected");
    }
    ++item;
  }
  return "a value that does not fit its item";
}

UnitError error_for(ReadStatus status) {
  switch (status) {
    case ReadStatus::missing:
      return UnitError::end_of_file;
    case ReadStatus::conversion:
      return UnitError::input_conversion;
    case ReadStatus::syntax:
    case ReadStatus::ok:
      break;
  }
  return UnitError::syntax;
}

void stop_table(std::string_view what) {
  std::string line(kProgramPrefix);
  line += what;
  throw RunStop(std::move(line), table_problem_status);
}

void report_output_conversion(int unit, std::string_view file) {
  const std::string line = forrtl_line("error", err::output_conversion,
                                       unit_message("output conversion error", unit, file)) +
                           "\n";
  os::write_standard_error(line);
}

}  // namespace kw
