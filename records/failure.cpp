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

void stop_severe(int number, std::string_view message) {
  throw RunStop(forrtl_line("severe", number, message), os::exit_status_for_error(number));
}

void stop_unit(int number, int unit, std::string_view file) {
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
  stop_severe(number, unit_message(text, unit, file));
}

int error_for(ReadStatus status) {
  switch (status) {
    case ReadStatus::missing:
      return err::end_of_file;
    case ReadStatus::conversion:
      return err::input_conversion;
    default:
      return err::syntax;
  }
}

void stop_table(std::string_view what) {
  std::string line = "KW_TAI2UTC: ";
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
