#include "timescale/table_reader.h"

#include "platform/file.h"
#include "records/failure.h"
#include "records/free_format.h"
#include "records/separators.h"
#include "records/text_lines.h"
#include "timescale/published/published_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

namespace kw {

std::string no_table_remedy(bool named_form) {
  const std::string_view list = os::system_leap_list();
  if (list.empty()) {
    return std::string(named_form ? "name a table with --table, or write ls.ini" : "write it") +
           " with kw_lsini from a leap-seconds.list (the IERS publishes it)";
  }
  const std::string from = " from " + std::string(list);
  return named_form ? "write ls.ini with kw_lsini" + from + ", or give --table " + std::string(list)
                    : "write it with kw_lsini" + from + " (or a list you name)";
}

std::string describe(const TableFault& fault, std::string_view name) {
  const std::string file = quoted(name);
  const std::string line = std::to_string(fault.line);
  switch (fault.kind) {
    case TableFault::Kind::none:
      break;
    case TableFault::Kind::syntax:
      return file + ", line " + line + ": " +
             (fault.detail.empty() ? std::string("not four numbers") : fault.detail) +
             ", where four numbers (year, month, day, TAI-UTC) were expected" +
             (fault.detail.ends_with("line") ? "; a table holds entries only, no comments" : "");
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
      if (!fault.detail.empty()) return file + " is " + fault.detail;
      return file + " holds no leap-second entry (the file is empty or blank)";
    case TableFault::Kind::note:
    case TableFault::Kind::expiry:
      return file + ", line " + line + ": " + fault.detail;
  }
  return {};
}

namespace {

// The words of a note, blanks (and a comma after a word) apart; the
// published readers' blank_words keeps a comma in its word.
std::vector<std::string_view> note_words(std::string_view note) {
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

// Whether a word has the shape of "YYYY-MM-DD", whatever its characters.
bool date_shaped(std::string_view word) {
  return word.size() == 10 && word[4] == '-' && word[7] == '-';
}

// The MJD of "YYYY-MM-DD", a real date within the table's days; else
// `why` says what it is not.
bool date_in(std::string_view word, double& mjd, std::string& why) {
  std::int64_t parts[3] = {};
  for (const auto& [at, length, part] :
       {std::tuple{0, 4, 0}, std::tuple{5, 2, 1}, std::tuple{8, 2, 2}}) {
    for (const char c :
         word.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(length))) {
      if (c < '0' || c > '9') {
        why = "not digits in the form YYYY-MM-DD";
        return false;
      }
      parts[part] = parts[part] * 10 + (c - '0');
    }
  }
  std::int64_t days = 0;
  const CalendarDate check = calendar_date(parts[0], parts[1], parts[2], days);
  if (check != CalendarDate::ok) {
    why = calendar_fault(check, parts[0], parts[1], parts[2]);
    return false;
  }
  mjd = static_cast<double>(days);
  return true;
}

// A note as a message shows it: from its keyword on, control characters
// escaped, and cut after 60 characters.
std::string quoted(std::string_view from_keyword) {
  constexpr std::size_t kShown = 60;
  std::string text = "the note \"";
  text += shown(from_keyword.substr(0, kShown));
  if (from_keyword.size() > kShown) text += "...";
  text += '"';
  return text;
}

// What one keyword of a note makes of the words from `k` on, `k` its
// place: read (with the words it took), not in its form, or a form whose
// value is unsound.
enum class NoteRead { read, not_its_form, unsound };

NoteRead read_rate(const std::vector<std::string_view>& words, std::size_t& k, double& rate) {
  if (k + 2 >= words.size() || words[k + 2] != "s/day") return NoteRead::not_its_form;
  double value = 0.0;
  if (!number_in(words[k + 1], value)) return NoteRead::unsound;
  rate = value;
  k += 2;
  return NoteRead::read;
}

NoteRead read_expiry(const std::vector<std::string_view>& words, std::size_t& k, double& expiry,
                     std::string& why) {
  if (k + 1 >= words.size() || !date_shaped(words[k + 1])) return NoteRead::not_its_form;
  double value = 0.0;
  if (!date_in(words[k + 1], value, why)) return NoteRead::unsound;
  expiry = value;
  k += 1;
  return NoteRead::read;
}

// The notes the program reads, in the words after a line's four values.
// A note that begins with "rate" or "expires" (the first word, or the
// first after a note read) must be in its form; wherever one stands in
// its form, its value must be sound. Elsewhere the words are the user's.
// Empty, or what is wrong.
std::string read_notes(std::string_view note, double& rate, double& expiry) {
  const std::vector<std::string_view> words = note_words(note);
  bool begins = true;
  for (std::size_t k = 0; k < words.size(); ++k) {
    const bool is_rate = words[k] == "rate";
    if (!is_rate && words[k] != "expires") {
      begins = false;
      continue;
    }
    const std::size_t at = k;
    std::string why;
    const NoteRead read = is_rate ? read_rate(words, k, rate) : read_expiry(words, k, expiry, why);
    if (read == NoteRead::read) {
      begins = true;
      continue;
    }
    if (read == NoteRead::unsound || begins) {
      std::string said =
          quoted(note.substr(static_cast<std::size_t>(words[at].data() - note.data())));
      if (is_rate) {
        said += " is not \"rate R s/day\" with R a finite number";
      } else if (read == NoteRead::unsound) {
        said += ": ";
        said += why;
      } else {
        said += " is not \"expires YYYY-MM-DD\"";
      }
      return said;
    }
    begins = false;
  }
  return {};
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
            .line = line_number_,
            .detail = found_in_line(line, line_number_ == 1)};
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
  if (std::string why = read_notes(reader.rest(), table_.LS_RATE[k], last_expiry_); !why.empty()) {
    return {.kind = TableFault::Kind::note, .line = line_number_, .detail = std::move(why)};
  }
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
  // The table vouches for its last value up to its expiry: none at all
  // when it expires on or before that value's date.
  const auto last = static_cast<std::size_t>(n - 1);
  if (table_.expires <= mjd[last]) {
    return {.kind = TableFault::Kind::expiry,
            .line = line_of_[last],
            .detail = "the expiry " + iso_date(static_cast<std::int64_t>(table_.expires)) +
                      " does not lie after the last entry's date, " +
                      iso_date(static_cast<std::int64_t>(mjd[last]))};
  }
  return {};
}

TableFault load_table_text(std::string_view text, LeapTable& table) {
  TableReader reader(table);
  for (const TextLine& line : text_lines(text)) {
    if (TableFault fault = reader.add_line(line.text)) return fault;
  }
  return reader.finish();
}

}  // namespace kw
