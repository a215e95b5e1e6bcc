// Leap-second lists in the IETF format ("leap-seconds.list"): lines of
// "NTP-seconds TAI-UTC", comments after '#', and three special comments:
// "#$" the time of the last update, "#@" the time the list expires, and
// "#h" the SHA-1 of the list's numbers in five groups of hex digits.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

struct LeapListEntry {
  std::uint64_t ntp = 0;  // seconds since 1900-01-01 00:00 UTC
  int tai_utc = 0;        // seconds, from then on
};

struct LeapList {
  std::uint64_t updated = 0;  // NTP seconds
  std::uint64_t expires = 0;  // NTP seconds
  std::array<std::uint32_t, 5> hash{};
  std::vector<LeapListEntry> entries;
  std::string numbers;  // the digits the hash is computed from, in order
};

// Reads a list. False, with `error` saying which line and why, for a list
// that lacks one of the special comments, has a line that does not read,
// or a time past the year 9999.
bool read_leap_list(std::string_view text, LeapList& list, std::string& error);

// Whether the list's hash is the SHA-1 of its numbers: the update time,
// the expiry time, then each entry's two numbers, as written, digits only.
bool hash_matches(const LeapList& list);

inline constexpr std::uint64_t kSecondsPerDay = 86400;
inline constexpr std::int64_t kMjdOf1900 = 15020;  // the NTP epoch, 1900-01-01
inline constexpr std::int64_t kMjdOf1970 = 40587;  // the POSIX epoch, 1970-01-01

// The last day of the year 9999, in days since the NTP epoch: a list's
// times lie before its end.
inline constexpr std::int64_t kLastNtpDay = 2973483 - kMjdOf1900;

// The MJD of an NTP time.
inline std::int64_t mjd_of_ntp(std::uint64_t ntp) {
  return static_cast<std::int64_t>(ntp / kSecondsPerDay) + kMjdOf1900;
}

// The NTP time of a POSIX time (seconds since 1970-01-01 00:00 UTC).
inline std::int64_t ntp_of_posix(std::int64_t posix) {
  return posix + (kMjdOf1970 - kMjdOf1900) * static_cast<std::int64_t>(kSecondsPerDay);
}

}  // namespace kw
