// kw_lsini: writes the leap-second table "ls.ini" from a leap-second list
// in the IETF format.
#pragma once

#include <string>
#include <vector>

namespace kw {

// Exit statuses.
namespace lsini_status {
inline constexpr int written = 0;
inline constexpr int list_refused = 1;  // unreadable, not a list, or its hash does not match
inline constexpr int usage = 2;         // arguments it does not take
inline constexpr int table_kept = 3;    // the list contradicts the existing ls.ini
inline constexpr int write_failed = 4;  // the new table could not be written
}  // namespace lsini_status

// Runs the program on `arguments` (without the program's name) in the
// current directory, with `today` as the MJD of the day; messages go to
// standard error, --help and --version to standard output. Returns the
// exit status.
int run_lsini(const std::vector<std::string>& arguments, long long today);

}  // namespace kw
