// The record of the real data files, read and edited in one pass:
//
//   "96 01 05 0.123456 -0.012345 -29.451350"
//
// two-digit year, month and day, each of two digits and followed by one
// blank, then three values of 1 to 3 digits before the point and 1 to 6
// after it, an optional minus sign, one blank between them and only
// blanks after the last. For such a record the output fields follow from
// the characters as written:
//
//   dates  (I2.2, 2I3.2) of two-digit numbers are the input columns 0..7.
//   x, y   F9.5 of v = n / 10^6 (n < 10^9; fewer decimals are taken with
//          zeros after them) is v rounded at the fifth decimal: the double
//          read from the text lies within 2^-53 * 10^3 of v, far nearer
//          than the 10^-6 between v and any tie, so it rounds as v does
//          unless the sixth decimal is exactly 5. There the double decides,
//          found exactly from n (arithmetic modulo 5^6). A short value is
//          edited from its text, the rounding carried through its nines.
//   z      F10.6 of v plus a whole offset below 10^4 is the exact sum: the
//          two roundings of the double sum stay below 10^-12, and the sum
//          is on the 6-decimal grid. Its decimals are those read, or their
//          complement to one second.
//
// Records of any other shape, fields that would not fit (asterisks), a
// field beyond F9.5's or F10.6's whole places, and offsets that are not
// whole seconds are left to the general path.
#pragma once

#include <cstdint>

#include "conversion/date_offsets.h"

namespace kw {

// Columns a record must be given with: its 38 parsed columns, then
// blanks. Columns after the record's last value must be blanks too.
inline constexpr int kCommonColumns = 48;

// A record of the common layout, as read.
struct CommonRecord {
  std::uint32_t year = 0;   // two-digit year, 0..99
  std::uint32_t month = 0;  // 0..99
  std::uint32_t day = 0;    // 0..99
  // Each value is (negative ? -1 : 1) * (whole + fraction / 10^6).
  std::uint32_t whole[3]{};     // 0..999
  std::uint32_t fraction[3]{};  // 0..999999
  bool negative[3]{};
};

// Where a record's three values are: the columns of their digits, and
// whether each starts with a minus.
struct CommonLayout {
  struct Value {
    int fraction_at = 0;              // the 8 columns from here hold the decimals
    std::uint64_t fraction_keep = 0;  // their bytes that are decimals
    int whole_at = 0;                 // the 3 columns from here end with the whole digits
    std::uint32_t whole_keep = 0;     // their bytes that are whole digits
    bool negative = false;
    // F9.5 straight from the text, for a value of 6 decimals whose
    // characters up to the fifth decimal fit in 8 bytes: those 8 bytes
    // from text_at, taken last character first, with these masks.
    bool by_text = false;
    int text_at = 0;
    int leading_at = -1;         // a whole digit that must not be a leading zero
    std::uint64_t before = 0;    // bytes before the value's first character
    std::uint64_t places = 0;    // digits and the point
    std::uint64_t digits = 0;    // digits
    std::uint64_t to_nines = 0;  // added to a digit gives 0xF6..0xFF, to the point 0xFF
    std::uint64_t carried = 0;   // a digit or the point a carry went through, restored
    // F10.6 of the sum: the 8 characters at fraction_at with these bytes
    // kept as decimals, the rest of the six places filled with zeros.
    std::uint64_t decimals_kept = 0;
  };
  Value value[3];
};

// The columns of a layout: a digit, or the one character expected.
struct LayoutTemplate {
  alignas(16) unsigned char expected[kCommonColumns]{};  // where there is no digit
  alignas(16) unsigned char digit[kCommonColumns]{};     // 0xFF where there is a digit
};

// Reads records of the common layout. Consecutive records of a file mostly
// have the same layout: the reader keeps the last one found, and a record
// with digits where it had digits and the same other characters (blanks,
// points, minuses) has its values in the same places.
class CommonReader {
 public:
  // Reads columns[0..kCommonColumns): false when the record is not of the
  // common layout (the general reader then decides).
  bool read(const char* columns, CommonRecord& record);

  // Reads the record and edits its 36 output columns into out, with the
  // offset of its date added to the third value. False, with out in an
  // unspecified state, when the record is not of the layout, the offset is
  // not whole seconds, or a field leaves the integer path.
  bool convert(const char* columns, const DateOffsets& dates, char* out);

 private:
  bool find_layout(const char* columns);
  bool learn_layout(const char* columns);
  bool read_inline(const char* columns, CommonRecord& record);

  bool has_layout_ = false;
  LayoutTemplate template_;  // of the last layout found
  CommonLayout layout_;
};

}  // namespace kw
