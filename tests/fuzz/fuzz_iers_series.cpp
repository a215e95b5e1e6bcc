// Fuzz target: the reader of the IERS series (14 C04, 20 C04, finals2000A),
// on any text.
//
// Properties: once the start of a text tells its layout, the whole text
// tells the same; a text told to be a series is one the record reader refuses
// on its first line not blank in the columns it reads, so that no file of
// the program's own records is ever taken for one; read as each layout, a
// text either gives days or is refused on a line of the text (or the one
// after its end) with a reason; every day read is a date from 1950 to 2049
// whose record fits the columns the record reader reads and reads back as
// that date and the published values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "conversion/iers_series.h"
#include "fuzz_check.h"
#include "records/data_record.h"

namespace {

// The first line of `text` not blank in the columns the record reader reads.
std::string_view first_record_line(std::string_view text) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    const std::string_view read = line.substr(0, kw::kParsedColumns);
    if (read.find_first_not_of(" \t") != std::string_view::npos) return line;
  }
  return {};
}

std::size_t lines_in(std::string_view text) {
  std::size_t lines = 0;
  for (std::size_t at = 0; at < text.size(); ++lines) {
    const std::size_t end = text.find('\n', at);
    at = end == std::string_view::npos ? text.size() : end + 1;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // What the start of a text tells, the whole text tells too.
  for (std::size_t cut = 0; cut <= size; cut += 1 + size / 16) {
    if (kw::series_layout_told(text.substr(0, cut))) {
      FUZZ_CHECK(kw::series_layout(text.substr(0, cut)) == kw::series_layout(text));
    }
  }
  if (kw::series_layout(text) != kw::SeriesLayout::none) {
    std::string line(first_record_line(text).substr(0, kw::kParsedColumns));
    line.resize(kw::kParsedColumns, ' ');
    kw::DataRecord record;
    FUZZ_CHECK(kw::parse_data_record(line, record) != kw::ReadStatus::ok);
  }
  for (const kw::SeriesLayout layout :
       {kw::SeriesLayout::c04_14, kw::SeriesLayout::c04_20, kw::SeriesLayout::finals2000a}) {
    kw::Series series;
    kw::SeriesRefusal refusal;
    if (!kw::read_series(text, layout, series, refusal)) {
      FUZZ_CHECK(refusal.line >= 1 && refusal.line <= lines_in(text) + 1);
      FUZZ_CHECK(!refusal.reason.empty());
      continue;
    }
    FUZZ_CHECK(!series.days.empty() || series.days_without_values > 0);
    for (const kw::SeriesDay& day : series.days) {
      FUZZ_CHECK(day.year >= 1950 && day.year <= 2049);
      const std::string written = kw::record_of(day);
      FUZZ_CHECK(written.ends_with('\n'));
      FUZZ_CHECK(written.size() - 1 <= static_cast<std::size_t>(kw::kParsedColumns));
      std::string columns = written.substr(0, written.size() - 1);
      columns.resize(kw::kParsedColumns, ' ');
      kw::DataRecord record;
      FUZZ_CHECK(kw::parse_data_record(columns, record) == kw::ReadStatus::ok);
      FUZZ_CHECK(record.idate[0] == day.year % 100 && record.idate[1] == day.month &&
                 record.idate[2] == day.day);
      FUZZ_CHECK(record.xval[0] == std::strtod(day.x.c_str(), nullptr));
      FUZZ_CHECK(record.xval[1] == std::strtod(day.y.c_str(), nullptr));
      FUZZ_CHECK(record.xval[2] == std::strtod(day.ut1_utc.c_str(), nullptr));
    }
  }
  return 0;
}
