// kw_lsini: writes the leap-second table "ls.ini" from a leap-second list
// in the IETF format.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kw {

// Exit statuses.
namespace lsini_status {
inline constexpr int ok = 0;            // the table written, or already up to date
inline constexpr int list_refused = 1;  // unreadable, not a list, its hash, or no table of it
inline constexpr int usage = 2;         // arguments it does not take
inline constexpr int table_kept = 3;    // the existing ls.ini is not one the list extends
inline constexpr int write_failed = 4;  // the new table, or standard output, not written
}  // namespace lsini_status

// Runs the program on `arguments` (without the program's name) in the
// current directory at the POSIX time `now`; messages go to standard
// error, --help and --version to standard output. Returns the exit status.
int run_lsini(const std::vector<std::string>& arguments, std::int64_t now);

}  // namespace kw
