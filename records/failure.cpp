#include "records/failure.h"

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
  line += std::to_string(number & 0xFFFF);
  line += "): ";
  line += message;
  return line;
}
}  // namespace

void stop_severe(int number, std::string_view message, std::string detail) {
  throw RunStop(forrtl_line("severe", number, message), os::exit_status_for_error(number),
                std::move(detail));
}

std::string shown(std::string_view name) {
  std::string text;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      constexpr const char* kHex = "0123456789abcdef";
      text += "\\x";
      text += kHex[byte >> 4];
      text += kHex[byte & 0xF];
    } else {
      text += c;
    }
  }
  return text;
}

std::string about(std::string_view name, std::string_view text) {
  std::string line(kProgramPrefix);
  line += name.empty() ? "\"\"" : shown(name);
  line += ": ";
  line += text;
  return line;
}

void stop_unit(int number, int unit, std::string_view file, std::string detail) {
  std::string_view text = "list-directed I/O syntax error";
  switch (number) {
    case err::end_of_file:
      text = "end-of-file during read";
      break;
    case err::bad_file_name:
      text = "file name specification error";
      break;
    case err::input_conversion:
      text = "input conversion error";
      break;
    default:
      number = err::syntax;
      break;
  }
  stop_severe(number, unit_message(text, unit, file), std::move(detail));
}

int error_for(ReadStatus status) {
  switch (status) {
    case ReadStatus::missing:
      return err::end_of_file;
    case ReadStatus::conversion:
      return err::input_conversion;
    case ReadStatus::malformed:
      return err::syntax;
    case ReadStatus::ok:
      break;
  }
  return err::syntax;  // not a failure: callers never ask
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
