// Batches of data records: read in file order, converted on any thread,
// written in file order. A batch carries everything the run would have
// done for its records one at a time, so writing the batches in order
// gives the same files and the same lines on standard error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

#include "conversion/data_record.h"
#include "conversion/fast_record.h"
#include "conversion/units.h"
#include "timescale/lsconv_s.h"

namespace kw {

// The loaded leap-second table.
struct LeapTable {
  LeapColumn LS_MJD{};
  LeapColumn LS_DT{};
  std::int32_t LS_N = 0;
};

// TAI-UTC in force on a record's date: JUDDY and LS_D, remembered for each
// date of two-digit years, months 1-12 and days 1-31, the dates of real data.
class OffsetMemo {
 public:
  explicit OffsetMemo(const LeapTable& table);
  double offset(const std::array<std::int32_t, 3>& idate);

  // The offset on yy-mm-dd (each 0..99) when it is a whole number of
  // seconds below 10^4 in magnitude: false otherwise, or for a date the
  // memo does not keep.
  bool whole_seconds(std::uint32_t yy, std::uint32_t mm, std::uint32_t dd, std::int32_t& seconds) {
    const std::uint32_t m = mm - 1U;
    const std::uint32_t d = dd - 1U;
    if (yy >= kYears || m >= kMonths || d >= kDays) return false;
    const std::size_t index = (yy * kMonths + m) * kDays + d;
    std::int16_t known = seconds_[index];
    if (known == kUnknown) known = seconds_[index] = classify(index, yy, mm, dd);
    seconds = known;
    return known != kNotWhole;
  }

 private:
  static constexpr std::uint32_t kYears = 100;
  static constexpr std::uint32_t kMonths = 12;
  static constexpr std::uint32_t kDays = 31;
  static constexpr std::int16_t kUnknown = -32768;
  static constexpr std::int16_t kNotWhole = -32767;

  double compute(const std::array<std::int32_t, 3>& idate) const;
  std::int16_t classify(std::size_t index, std::uint32_t yy, std::uint32_t mm, std::uint32_t dd);

  const LeapTable& table_;
  std::vector<double> known_;          // NaN where not yet computed
  std::vector<std::int16_t> seconds_;  // whole seconds, kUnknown or kNotWhole
};

// Full year of a two-digit year: 51..99 are 1951..1999, 0..49 are
// 2000..2049, and 50 is 1950. Sums wrap modulo 2^32 like the home
// platform's integers.
double full_year(std::int32_t yy);

struct RecordBatch {
  static constexpr std::size_t kCapacity = 4096;
  static constexpr std::size_t kOutputRecord = kOutputWidth + 2;  // with CR LF

  RecordBatch();

  // Reads records while there are any and there is room: false when the
  // data has ended (or a read failed, kept in read_failure).
  bool fill(InputUnit& data);

  // Converts the records read; stops at the first bad one.
  void convert(OffsetMemo& offsets);

  // Writes the converted records and reports each too wide a field, then
  // ends the run (throws) if a record or a read failed.
  void emit(OutputUnit& out) const;

  std::unique_ptr<char[]> lines;    // kCapacity slots of kFastSlotWidth characters
  std::size_t count = 0;            // records in lines
  std::exception_ptr read_failure;  // the read after the last record failed

  std::unique_ptr<char[]> output;  // converted records, kOutputRecord bytes each
  std::size_t output_size = 0;
  std::size_t overflows = 0;            // records with a field of asterisks
  ReadStatus failure = ReadStatus::ok;  // the record after the converted ones
  std::exception_ptr convert_failure;   // anything else that stopped the conversion
};

}  // namespace kw
