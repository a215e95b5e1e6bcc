// The conversion run.
#pragma once

#include <functional>

namespace kw {

// KW_TAI2UTC: converts "..\..\KW_PVZ.DAT" into "new.txt" in the current
// directory, adding to each record's third value the TAI-UTC offset of
// "ls.ini" in force on its date, and logs the start and the end of the run
// to "lsconv.lst". Ends by throwing RunStop when the run fails.
void KW_TAI2UTC();

// Runs the conversion and reports its outcome the way the program does:
// the failure line on standard error. Returns the process exit status.
int run_program();

// Whether a failure's detail line (its reason, the line of a bad record)
// is written after its failure line: the fixed run writes one line.
enum class Details { left_out, written };

// Prepares the process, runs `run` and reports its outcome as run_program
// does; running out of memory ends the run with its own status.
int run_and_report(const std::function<void()>& run, Details details = Details::left_out);

// How many threads convert the records.
unsigned worker_count();

}  // namespace kw
