// The leap-second table that a list gives: its text, in the layout of the
// shipped "ls.ini", checked to load back as the list.
#pragma once

#include <cstdint>
#include <string>

#include "lsini/leap_list.h"

namespace kw {

// "YYYY-MM-DD" of an MJD; dates past the year 9999 as "MJD n".
std::string iso_date(std::int64_t mjd);

// "entry 23 (1999-01-01, 32 s)"; `number` counts from 1.
std::string entry_words(std::size_t number, std::int64_t mjd, double tai_utc);

// The table's text, one line per entry, "1972  1  1  10.0" and CR LF.
// False, with `why` naming the entry, unless the converter's loader reads
// the text back as the list's dates and values: an entry not at the start
// of a day, past the year 9999, out of order, beyond the table's capacity,
// or a value too wide for its column refuses the list.
bool table_text(const LeapList& list, std::string& text, std::string& why);

}  // namespace kw
