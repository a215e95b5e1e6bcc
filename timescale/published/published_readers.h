// The readers of each published source, for read_published.cpp: whether
// a text is of that source, and its entries. Each reader checks what its
// own format allows; the rules all share are read_published's.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "timescale/published/leap_list.h"
#include "timescale/published/published_table.h"

namespace kw {

// The IETF list (leap_list.h reads it): it has the special comments "#$",
// "#@" and "#h".
bool looks_like_leap_list(std::string_view text);

// The table a list gives (read_leap_list reads it): its entries, whole days
// at midnight and whole seconds, its expiry and its date of update. False,
// with `why`, for an entry not at the start of a day.
bool table_of_list(const LeapList& list, PublishedTable& table, std::string& why);

// The IERS's Leap_Second.dat: comment lines beginning with '#', one of
// them "File expires on 28 June 2023", and lines of "41317.0    1  1 1972
// 10": the MJD, the day, the month, the year and TAI-UTC.
bool looks_like_leap_second_dat(std::string_view text);
bool read_leap_second_dat(std::string_view text, PublishedTable& table, std::string& why);

// The USNO's tai-utc.dat: lines of " 1961 JAN  1 =JD 2437300.5  TAI-UTC=
// 1.4228180 S + (MJD - 37300.) X 0.001296 S".
bool looks_like_tai_utc_dat(std::string_view text);
bool read_tai_utc_dat(std::string_view text, PublishedTable& table, std::string& why);

// The words of a line apart by blanks (spaces, tabs, a carriage return; a comma is part of a word,
// unlike the notes of the program's own table, table_reader's
// note_words), and a decimal of at most seven decimals in units of 10^-7 (an optional sign,
// digits, a point): the pieces the readers share.
std::vector<std::string_view> blank_words(std::string_view line);
bool units_of(std::string_view decimal, std::int64_t& units);

}  // namespace kw
