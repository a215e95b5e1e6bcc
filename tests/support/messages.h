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

}  // namespace kw::test
