// The fixed run: every file name fixed, relative to the current folder.
#pragma once

namespace kw {

// KW_TAI2UTC: converts "..\..\KW_PVZ.DAT" into "new.txt" in the current
// directory, adding to each record's third value the TAI-UTC offset of
// "ls.ini" in force on its date, and logs the start and the end of the run
// to "lsconv.lst". Ends by throwing RunStop when the run fails.
void KW_TAI2UTC();

// Runs KW_TAI2UTC and reports its outcome the way the program does: the
// failure line on standard error. Returns the process exit status.
int run_fixed();

}  // namespace kw
