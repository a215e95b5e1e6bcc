#include "timescale/table_reader.h"

#include "records/failure.h"
#include "records/free_format.h"
#include "records/separators.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <tuple>
#include <vector>

namespace kw {

std::string describe(const TableFault& fault, std::string_view name) {
  std::string file = "\"";
  file += shown(name);
  file += '"';
  const std::string line = std::to_string(fault.line);
  switch (fault.kind) {
    case TableFault::Kind::none:
      break;
    case TableFault::Kind::syntax:
      return file + ", line " + line + ": not four numbers (year, month, day, TAI-UTC)";
    case TableFault::Kind::conversion:
      return file + ", line " + line + ": a value that does not fit its item";
    case TableFault::Kind::too_many:
      return file + " holds more than " + std::to_string(LS_MAX) + " leap-second entries (line " +
             line + " is entry " + std::to_string(fault.entry) + ")";
    case TableFault::Kind::out_of_order:
      return file + ", line " + line +
             ": the date lies before the date of the entry above it (line " +
             std::to_string(fault.line_above) + ")";
    case TableFault::Kind::empty:
      return file + " holds no leap-second entry (the file is missing or empty)";
  }
  return {};
}

namespace {

// The words of a note, blanks (and a comma after a word) apart.
std::vector<std::string_view> words_of(std::string_view note) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while ((at = note.find_first_not_of(" \t,", at)) != std::string_view::npos) {
    const std::size_t end = std::min(note.find_first_of(" \t,", at), note.size());
    words.push_back(note.substr(at, end - at));
    at = end;
  }
  return words;
}

bool number_in(std::string_view word, double& value) {
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  return ec == std::errc{} && end == word.data() + word.size() && std::isfinite(value);
}

// The MJD of "YYYY-MM-DD".
bool date_in(std::string_view word, double& mjd) {
  if (word.size() != 10 || word[4] != '-' || word[7] != '-') return false;
  int parts[3] = {};
  for (const auto& [at, length, part] :
       {std::tuple{0, 4, 0}, std::tuple{5, 2, 1}, std::tuple{8, 2, 2}}) {
    const char* first = word.data() + at;
    const auto [end, ec] = std::from_chars(first, first + length, parts[part]);
    if (ec != std::errc{} || end != first + length) return false;
  }
  if (parts[1] < 1 || parts[1] > 12 || parts[2] < 1 || parts[2] > 31) return false;
  double year = parts[0];
  double month = parts[1];
  const double day = parts[2];
  JUDDY(mjd, year, month, day);
  return true;
}

// The notes the program reads, in the words after a line's four values.
void read_notes(std::string_view note, double& rate, double& expiry) {
  const std::vector<std::string_view> words = words_of(note);
  for (std::size_t k = 0; k < words.size(); ++k) {
    double value = 0.0;
    if (words[k] == "rate" && k + 2 < words.size() && words[k + 2] == "s/day" &&
        number_in(words[k + 1], value)) {
      rate = value;
    } else if (words[k] == "expires" && k + 1 < words.size() && date_in(words[k + 1], value)) {
      expiry = value;
    }
  }
}

}  // namespace

TableReader::TableReader(LeapTable& table) : table_(table) {
  table_ = LeapTable{};
}

TableFault TableReader::add_line(std::string_view line) {
  ++line_number_;
  if (is_blank_text(line)) return {};

  ListReader reader(line);
  std::int32_t iy = 0;
  std::int32_t im = 0;
  std::int32_t id = 0;
  double value = 0.0;
  ReadStatus status = reader.next_integer(iy);
  if (status == ReadStatus::ok) status = reader.next_integer(im);
  if (status == ReadStatus::ok) status = reader.next_integer(id);
  if (status == ReadStatus::ok) status = reader.next_real(value);
  if (status != ReadStatus::ok) {
    // A short line is malformed too: it is not completed from the next line.
    return {.kind = status == ReadStatus::conversion ? TableFault::Kind::conversion
                                                     : TableFault::Kind::syntax,
            .line = line_number_};
  }
  std::int32_t& n = table_.LS_N;
  if (n >= LS_MAX) {
    return {.kind = TableFault::Kind::too_many, .line = line_number_, .entry = n + 1};
  }
  const auto k = static_cast<std::size_t>(n);
  table_.LS_DT[k] = value;
  double year = iy;
  double month = im;
  const double day = id;
  JUDDY(table_.LS_MJD[k], year, month, day);  // changes its copies of year and month
  last_expiry_ = kNoExpiry;
  read_notes(reader.rest(), table_.LS_RATE[k], last_expiry_);
  line_of_[k] = line_number_;
  ++n;
  return {};
}

TableFault TableReader::finish() {
  const std::int32_t n = table_.LS_N;
  if (n == 0) return {.kind = TableFault::Kind::empty};
  table_.expires = last_expiry_;
  const LeapColumn& mjd = table_.LS_MJD;
  for (std::size_t k = 1; k < static_cast<std::size_t>(n); ++k) {
    if (mjd[k] < mjd[k - 1]) {
      return {.kind = TableFault::Kind::out_of_order,
              .line = line_of_[k],
              .line_above = line_of_[k - 1]};
    }
  }
  return {};
}

TableFault load_table_text(std::string_view text, LeapTable& table) {
  TableReader reader(table);
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (line.ends_with('\r') && end != std::string_view::npos) line.remove_suffix(1);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (const TableFault fault = reader.add_line(line)) return fault;
  }
  return reader.finish();
}

}  // namespace kw
