// The layout tier: records converted from their characters, once the
// layout of a record is known.
//
// A layout is where a record's digits are and what stands between them:
//
//   "96 01 05 0.123456 -0.012345 -29.451350"
//   "62  1  1  0.242729 -0.134815  0.447919"
//   "96,1,5,0.123456,-0.012345,-29.451350"
//
// blanks (spaces, tabs) before the first field; three date fields of 1 or
// 2 digits; three values of an optional minus, 1 to 3 digits, the point
// and 1 to 6 decimals; between fields, blanks or one comma with blanks
// around it. Consecutive records of a file mostly share their layout: the
// tier keeps the last one learnt, and a record with digits where it has
// digits and the same other characters everywhere else has its fields in
// the same places. A record of another layout is learnt anew.
//
// For such a record the output fields follow from the characters:
//
//   dates  (I2.2, 2I3.2) of numbers below 100.
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
// The tier answers "undecided" for records of no such layout, dates
// outside the table of offsets, offsets that are not whole seconds, and
// fields that leave its places (asterisks among them).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "records/data_record.h"
#include "timescale/date_offsets.h"

namespace kw {

// A date field: the column of its last digit, and whether it has two.
struct LayoutDate {
  int last = 0;
  bool two_digits = false;
};

// A value: the columns of its digits, and how it is edited from its text.
struct LayoutValue {
  int fraction_at = 0;              // the 8 columns from here hold the decimals
  std::uint64_t fraction_keep = 0;  // their bytes that are decimals
  int whole_at = 0;                 // the 3 columns from here end with the whole digits
  std::uint32_t whole_keep = 0;     // their bytes that are whole digits
  bool negative = false;
  // F9.5 straight from the text, for a value of 6 decimals whose
  // characters up to the fifth decimal fit in 8 bytes: those 8 bytes from
  // text_at, taken last character first, with these masks.
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

struct Layout {
  LayoutDate date[3];
  LayoutValue value[3];
};

// The slot's columns: a digit, or the one character expected.
struct LayoutTemplate {
  unsigned char expected[kSlotWidth]{};  // where there is no digit
  unsigned char digit[kSlotWidth]{};     // 0xFF where there is a digit
};

class LayoutTier {
 public:
  // Converts the record in columns[0..kSlotWidth) into its 36 output
  // columns at out, the offset of its date added to the third value.
  // False ("undecided", out in an unspecified state) when the tier cannot
  // give the bytes; the next tier then converts the record.
  bool convert(const char* columns, const DateOffsets& dates, char* out);

 private:
  bool learn(const char* columns);

  // Whether the record fits one of the layouts kept: that one becomes the
  // current one.
  bool find(const char* columns);

  // The layouts learnt last. Files whose fields change width (a date of one
  // or two digits, a value that gains a minus in padded columns) go back
  // and forth between a few layouts: each is learnt once.
  static constexpr std::size_t kKept = 4;
  struct Kept {
    LayoutTemplate columns;
    Layout fields;
  };
  std::array<Kept, kKept> kept_{};
  std::size_t count_ = 0;      // layouts kept
  std::size_t current_ = 0;    // the one the last record had
  std::size_t next_ = 0;       // where the next layout learnt goes
  std::uint32_t rest_ = 0;     // records to leave alone after the last failure to learn
  std::uint32_t resting_ = 0;  // of which still to come
};

}  // namespace kw
