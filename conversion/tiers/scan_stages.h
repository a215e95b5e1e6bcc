// Stages 2 to 4 of the scan tier (scan_tier.h), each on the masks of one
// record's window (block_masks.h):
//
//   2. finding the values: the first and last bytes of the first six runs
//      of value bytes in the parsed columns;
//   3. checking the shape: each refusal a mask (or a flag) of its own,
//      named for what it finds;
//   4. reading the dates: their two digits each, from their last, the
//      date fields, and the place of the date in the table of offsets.
//
// A byte diagram of a record, bit i of each mask for byte i:
//
//   text    "96 01 05 -0.345679 1.5 12.25\r\n"
//   values   11 11 11 111111111 111 11111
//   starts   1. 1. 1. 1........ 1.. 1....
//   ends     .1 .1 .1 ........1 ..1 ....1
//   points   .. .. .. ...1..... .1. ..1..
//   signs    .. .. .. 1........ ... .....
//   others   .. .. .. ......... ... .....1   (the carriage return: past the columns)
#pragma once

#include <bit>
#include <cstdint>

#include "conversion/tiers/bit_masks.h"
#include "conversion/tiers/block_masks.h"
#include "conversion/tiers/bytes.h"
#include "conversion/tiers/real_text.h"
#include "records/contracts.h"
#include "records/data_record.h"

namespace kw::scan {

// Every mask bit a record's columns and the byte after them can hold lies
// below this; the sentinels above it stand for values a record lacks.
inline constexpr int kSentinels = 48;
static_assert(kParsedColumns + 1 < kSentinels, "the byte after the parsed columns is below them");
static_assert(kParsedColumns + 1 < kWindowBits, "a window holds the byte after the columns");

// Stage 2: the first bytes of the runs of value bytes, and their last.
inline std::uint64_t first_bytes(std::uint64_t values) {
  return values & ~(values << 1);
}
inline std::uint64_t last_bytes(std::uint64_t values) {
  return values & ~(values >> 1);
}

// Stage 2: the places of a mask's bits, lowest first; past them,
// kSentinels and beyond (more sentinel bits than there are values to find).
class Places {
 public:
  explicit Places(std::uint64_t bits) : bits_(bits | kNone) {}
  // A mask known to have a bit for each place taken: no sentinels.
  struct Known {};
  Places(std::uint64_t bits, Known /*unused*/) : bits_(bits) {}
  std::size_t next() {
    const auto place = static_cast<std::size_t>(lowest_bit(bits_));
    bits_ &= bits_ - 1;
    return place;
  }

 private:
  static constexpr std::uint64_t kNone = ~std::uint64_t{0} << kSentinels;
  std::uint64_t bits_;
};

// Stage 3, the dates (the first three values, the day's last digit at
// `dd_end`): one or two digits each. True when the record is refused.
// (A record of fewer than three values has its spans at the sentinels:
// its dates read what they read, every date has a place in the table, and
// the check of the sixth value refuses it.)
template <class Masks>
inline bool refuses_dates(const Masks& m, std::uint64_t values, std::size_t dd_end) {
  const std::uint64_t dates = bits_below(static_cast<int>(dd_end) + 1);
  // A point or a sign in a date.
  const std::uint64_t marked_date = (m[ByteClass::points] | m[ByteClass::signs]) & dates;
  // A date of more than two digits: the third of three value bytes in a row.
  const std::uint64_t long_date = values & (values << 1) & (values << 2) & dates;
  return (marked_date | long_date) != 0;
}

// Stage 3, the separators of a record with bytes neither of a value nor a
// blank (`unusual`, up to the byte after the sixth value, the first value's
// last byte at `first_end`): commas only, none before the first value (a
// null value), at most one between two values (records/separators.h). True
// when the record is refused.
inline bool refuses_commas(std::uint64_t commas, std::uint64_t values, std::uint64_t unusual,
                           std::uint64_t read, std::size_t first_end) {
  commas &= read;
  // A byte neither of a value, nor a blank, nor a comma.
  const std::uint64_t stray = unusual & ~commas;
  // Commas each right after a value (the usual shape) are at most one
  // between two values, and none is before the first.
  const std::uint64_t not_after_value = commas & ~(values << 1);
  if ((stray | not_after_value) == 0) return false;
  // A comma before the first value (which ends in one or two digits).
  const std::uint64_t leading_comma = commas & bits_below(static_cast<int>(first_end));
  // A comma reached from another through blanks alone: the carry of the
  // bit after each comma runs through the blanks after it.
  const std::uint64_t blanks = ~(values | unusual) & read;
  const std::uint64_t double_comma = (blanks + (commas << 1)) & ~blanks & commas;
  return (stray | leading_comma | double_comma) != 0;
}

// Stage 3, the reals: a sign only at a value's first byte, one point in
// each real (at most one where `Integers` are taken) and none elsewhere
// (the dates have none), in the bytes `read`. True when the record is
// refused.
template <bool Integers = false, class Masks>
inline bool refuses_reals(const Masks& m, std::uint64_t values, std::uint64_t read) {
  // A sign after a value's first byte.
  const std::uint64_t inner_sign = m[ByteClass::signs] & read & ~first_bytes(values);
  // A point reached from another through digits and signs alone: the
  // carry of the bit after each point runs through them.
  const std::uint64_t points = m[ByteClass::points];
  const std::uint64_t digits = values & ~points;
  const std::uint64_t double_point = (digits + (points << 1)) & ~digits & points & read;
  if constexpr (Integers) return (inner_sign | double_point) != 0;
  // Three points in all, then: one in each real.
  const bool pointless_real = std::popcount(points & read) != 3;
  return (inner_sign | double_point) != 0 || pointless_real;
}

// Stage 5, the points of three reals of at most one point each (`points`;
// the first real's first byte after `after`, the reals' last bytes at
// `ends`): a real without one, an integer, has its point just after its
// last byte, where its text reads as with one.
inline std::uint64_t points_with_integers(std::uint64_t points, std::size_t after,
                                          const std::size_t (&ends)[3]) {
  KW_EXPECTS(after < ends[0] && ends[0] < ends[1] && ends[1] < ends[2] && ends[2] < 63);
  std::uint64_t all = points;
  for (const std::size_t end : ends) {
    const std::uint64_t own =
        points & bits_below(static_cast<int>(end) + 1) & ~bits_below(static_cast<int>(after) + 1);
    if (own == 0) all |= std::uint64_t{1} << (end + 1);
    after = end;
  }
  return all;
}

// Stage 4: the two bytes that end at a date's last digit `end`, the first
// in the lower byte: both its digits, or a separator and its one digit.
// Reads the byte before the record's window for a year of one digit in the
// first column: the window has one before it.
inline std::uint32_t date_bytes(const char* text, std::size_t end) {
  return load_word<std::uint16_t>(text + end - 1);
}

// The fields' masks for the dates of one digit (a zero in their first
// place), by which of the three have two (bit 0 the year's).
struct DateForms {
  std::uint64_t keep[8]{};
  std::uint64_t fill[8]{};
  constexpr DateForms() {
    for (unsigned twos = 0; twos < 8; ++twos) {
      keep[twos] = ~std::uint64_t{0};
      for (unsigned k = 0; k < 3; ++k) {
        if ((twos >> k & 1) != 0) continue;
        keep[twos] &= ~(std::uint64_t{0xFF} << (24 * k));
        fill[twos] |= std::uint64_t{'0'} << (24 * k);
      }
    }
  }
};
inline constexpr DateForms kDateForms;

// Which of the three dates have two digits, from the values a byte up
// (`pairs`) at the dates' last digits (`date_ends`, three bits, fewer in a
// record of fewer values).
inline unsigned two_digit_dates_plainly(std::uint64_t pairs, std::uint64_t date_ends) {
  KW_EXPECTS(std::popcount(date_ends) <= 3);
  unsigned twos = 0;
  for (unsigned k = 0; date_ends != 0; ++k) {
    twos |= static_cast<unsigned>(pairs >> lowest_bit(date_ends) & 1) << k;
    date_ends &= date_ends - 1;
  }
  return twos;
}

// The date fields, I2.2 and 2I3.2: "yy mm dd", as the 8 bytes of a word,
// from the two bytes at the end of each date and which have two digits.
inline std::uint64_t date_fields(std::uint32_t yy, std::uint32_t mm, std::uint32_t dd,
                                 unsigned twos) {
  KW_EXPECTS(twos < 8);
  const std::uint64_t bytes =
      yy | std::uint64_t{mm} << 24 | std::uint64_t{dd} << 48 | 0x0000200000200000ULL;
  return (bytes & kDateForms.keep[twos]) | kDateForms.fill[twos];
}

// The numbers of the dates of their fields, at once: the day in the lowest
// byte, the month in the fourth, the year in the seventh (the fields'
// bytes in the other order, each pair's digits the last lowest).
inline std::uint64_t date_values(std::uint64_t fields) {
  const std::uint64_t digits = byte_swapped(fields) & 0x0F0F000F0F000F0FULL;
  return digits + (digits >> 8) * 10;
}

// Whether the month is below 16 and the day below 32: the dates a table
// of offsets has a place for.
inline bool has_table_place(std::uint64_t values) {
  return (values & 0xF00000E0ULL) == 0;
}

// The place of a date in the table of offsets, day + 32 * month + 512 *
// year, from date_values of a date with a place.
inline std::uint32_t date_place_plainly(std::uint64_t values) {
  KW_EXPECTS(has_table_place(values));
  return static_cast<std::uint32_t>((values & 0x1F) | (values >> 19 & 0x1E0) |
                                    (values >> 39 & 0xFE00));
}

}  // namespace kw::scan
