#include "timescale/table_reader.h"

#include "records/failure.h"
#include "records/free_format.h"
#include "records/separators.h"

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

TableReader::TableReader(LeapColumn& ls_mjd, LeapColumn& ls_dt, std::int32_t& ls_n)
    : mjd_(ls_mjd), dt_(ls_dt), n_(ls_n) {
  n_ = 0;
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
  if (n_ >= LS_MAX) {
    return {.kind = TableFault::Kind::too_many, .line = line_number_, .entry = n_ + 1};
  }
  const auto k = static_cast<std::size_t>(n_);
  dt_[k] = value;
  double year = iy;
  double month = im;
  const double day = id;
  JUDDY(mjd_[k], year, month, day);  // changes its copies of year and month
  line_of_[k] = line_number_;
  ++n_;
  return {};
}

TableFault TableReader::finish() const {
  if (n_ == 0) return {.kind = TableFault::Kind::empty};
  for (std::size_t k = 1; k < static_cast<std::size_t>(n_); ++k) {
    if (mjd_[k] < mjd_[k - 1]) {
      return {.kind = TableFault::Kind::out_of_order,
              .line = line_of_[k],
              .line_above = line_of_[k - 1]};
    }
  }
  return {};
}

TableFault load_table_text(std::string_view text, LeapColumn& ls_mjd, LeapColumn& ls_dt,
                           std::int32_t& ls_n) {
  TableReader reader(ls_mjd, ls_dt, ls_n);
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
