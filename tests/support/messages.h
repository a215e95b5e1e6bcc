// What the program says, after a failure line, of a line of a file that
// does not read: what it expected there.
#pragma once

namespace kw::test {

// After what a data record holds.
inline constexpr const char* kSixNumbers =
    ", where six numbers (year, month, day and three values) were expected";

// After what a line of a table holds.
inline constexpr const char* kFourNumbers =
    ", where four numbers (year, month, day, TAI-UTC) were expected";

// After a comment or header line of a table.
inline constexpr const char* kNoComments = "; a table holds entries only, no comments";

// What to do when there is no table, after "; no record converted": in
// the fixed run, and in the named form.
#ifdef _WIN32
inline constexpr const char* kWriteTable =
    ": write it with kw_lsini from a leap-seconds.list (the IERS publishes it)";
inline constexpr const char* kWriteOrNameTable =
    ": name a table with --table, or write ls.ini with kw_lsini from a leap-seconds.list (the "
    "IERS publishes it)";
#else
inline constexpr const char* kWriteTable =
    ": write it with kw_lsini from /usr/share/zoneinfo/leap-seconds.list (or a list you name)";
inline constexpr const char* kWriteOrNameTable =
    ": write ls.ini with kw_lsini from /usr/share/zoneinfo/leap-seconds.list, or give --table "
    "/usr/share/zoneinfo/leap-seconds.list";
#endif

}  // namespace kw::test
