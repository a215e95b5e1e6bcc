// Tables of TAI-UTC as they are published, read from their text and told
// apart by their content:
//   - the IETF list, leap-seconds.list (the IERS, the NIST and the
//     time-zone data publish it): NTP times and whole seconds, its update
//     time, its expiry and a SHA-1 hash of its numbers;
//   - the IERS's Leap_Second.dat: MJD, day, month, year and whole seconds,
//     its expiry in a header line ("File expires on 28 June 2023");
//   - the USNO's tai-utc.dat: the whole history of UTC, the rates of
//     1961-1971 included, and no expiry.
// Each is checked as far as its format allows, and gives the entries of
// the program's table, which is written from them in the layout of the
// shipped "ls.ini", with the notes its loader reads back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

struct LeapTable;

// Values in tenths of a microsecond: the published ones have at most
// seven decimals, so they are exact here.
inline constexpr std::int64_t kUnitsPerSecond = 10'000'000;

// TAI-UTC from one day on.
struct PublishedEntry {
  std::int64_t mjd = 0;    // the day from which it applies
  std::int64_t value = 0;  // TAI-UTC on that day, in units
  std::int64_t rate = 0;   // its change a day, in units (1961-1971 only)
  bool operator==(const PublishedEntry&) const = default;
};

enum class Source { ietf_list, iers_leap_second, usno_tai_utc };

struct PublishedTable {
  Source source = Source::ietf_list;
  std::vector<PublishedEntry> entries;
  std::optional<std::int64_t> expires;  // the MJD from which it no longer vouches, if it says
  std::string updated;                  // when it was last updated, as it says it
};

// The days a table's dates may take: from 1858-11-17 (MJD 0, the first
// day its MJDs count) to the last day of the year 9999.
inline constexpr std::int64_t kFirstTableDay = 0;
inline constexpr std::int64_t kLastTableDay = 2973483;  // 9999-12-31

// What the calendar makes of a date given as year, month and day.
enum class CalendarDate {
  ok,
  not_a_date,    // a month outside 1-12, or a day outside its month
  before_range,  // before kFirstTableDay
  past_range,    // after kLastTableDay
};

// The one calendar check of the dates a published table or an "expires"
// note gives (the Gregorian calendar, leap years included): `mjd` is set
// when the date is ok. Any integers may be given.
CalendarDate calendar_date(std::int64_t year, std::int64_t month, std::int64_t day,
                           std::int64_t& mjd);

// What is wrong with a date the check refused: "year 2017, month 1, day
// 257 is not a date", "1850-01-01 lies before 1858-11-17, the first day a
// table holds", "the year 10000 lies past the year 9999".
std::string calendar_fault(CalendarDate check, std::int64_t year, std::int64_t month,
                           std::int64_t day);

// The source's file name, "leap-seconds.list", "Leap_Second.dat" or
// "tai-utc.dat".
std::string_view name_of(Source source);

// Whether `text` looks like one of the three (it may still fail their
// checks), rather than like a table of the program's own.
bool looks_published(std::string_view text);

// Reads `text` as whichever of the three it is, and checks it: the hash
// where there is one, the dates its lines give twice (the MJD and the
// calendar date) agreeing, dates in ascending order, and from 1972 on
// changes on the first of a month, of whole seconds, without rates; an
// expiry after the last entry; real dates from 1858-11-17 to the year
// 9999. Of its other text only the date of issue is kept, where it has the
// form its source gives it ("July 2022", a date), never text that the
// table's loader would read as a note. False, with `why` saying what does not hold or what was
// expected.
bool read_published(std::string_view text, PublishedTable& table, std::string& why);

// The thirteen entries of 1961-1971, with their rates, as the USNO
// publishes them (a history that never changes).
const std::vector<PublishedEntry>& entries_of_1961_to_1971();

// "YYYY-MM-DD" of an MJD; dates past the year 9999 as "MJD n".
std::string iso_date(std::int64_t mjd);

// "32 s", or with a rate "1.4228180 s + 0.0012960 s a day".
std::string value_words(const PublishedEntry& entry);

// "entry 23 (1999-01-01, 32 s)"; `number` counts from 1.
std::string entry_words(std::size_t number, const PublishedEntry& entry);

// The line of one entry in the layout of the shipped table: "1972  1  1
// 10.0", or with seven decimals and its rate, "1961  1  1   1.4228180 rate
// 0.0012960 s/day". Empty for a date past the year 9999.
std::string table_line(const PublishedEntry& entry);

// The note on the table's last entry line: "expires 2027-06-28,
// leap-seconds.list of 2026-07-08" (without "of" and the date of issue
// where the source gives none), or "no expiry given (tai-utc.dat)".
std::string expiry_note(const PublishedTable& table);

// The table's text: a line per entry, the last with its expiry note, each
// ending in CR LF. False, with `why` naming the entry, unless the loader
// reads it back as the table's dates, values, rates and expiry: an entry
// past the year 9999, beyond the table's capacity, or too wide for its
// column refuses the table.
bool table_text(const PublishedTable& table, std::string& text, std::string& why);

// The entries, rates and expiry the loader reads from `text` (a table of
// the program's own), as published entries; false when it does not load.
// The converter's bound on the table's size is checked too: a text larger
// than it does not load.
bool table_entries(std::string_view text, std::vector<PublishedEntry>& entries,
                   std::optional<std::int64_t>& expires, std::string& why);

// The entries, rates and expiry of a loaded table as published entries:
// values in units, one of 10^11 s or more as INT64_MIN (beyond any real
// value, a marker no published one equals); no expiry as none.
void published_entries(const LeapTable& table, std::vector<PublishedEntry>& entries,
                       std::optional<std::int64_t>& expires);

}  // namespace kw
