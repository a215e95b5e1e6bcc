// Loading the leap-second table from its file: the text read whole with a
// bound, a published table taken as the program's own, every fault turned
// into the line and status that end the run.
#pragma once

#include <string>

#include "timescale/leap_table.h"

namespace kw {

class InputUnit;

// Which texts a table may be.
enum class TableForms {
  own,        // the program's own table, as "ls.ini" holds it
  published,  // that, or a published table of TAI-UTC (published_table.h)
};

// Loads the table from `unit` (read to its end, at most kLongestTable
// bytes), as LS_L loads "ls.ini": a line that does not read ends the run
// with error 59 or 64 naming the unit, a table that cannot be used with a
// line naming the file. A published table is taken as the table kw_lsini
// writes from it, and one that fails its checks cannot be used.
// `missing`, when not empty, says how the file was found missing, for the
// line that says it holds no entry.
void load_leap_table(InputUnit& unit, LeapTable& table, TableForms forms = TableForms::own,
                     const std::string& missing = {});

// Loads "ls.ini" in the current directory as LS_L does, with its notes.
void load_leap_table(LeapTable& table);

}  // namespace kw
