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
#include "conversion/date_offsets.h"
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

// TAI-UTC in force on a record's date: JUDDY and LS_D.
double offset_on(const LeapTable& table, const std::array<std::int32_t, 3>& idate);

// TAI-UTC in force on a record's date: from the table of dates when it
// holds the date, JUDDY and LS_D otherwise.
double offset_on(const LeapTable& table, const DateOffsets& dates,
                 const std::array<std::int32_t, 3>& idate);

// Full year of a two-digit year: 51..99 are 1951..1999, 0..49 are
// 2000..2049, and 50 is 1950. Sums wrap modulo 2^32 like the home
// platform's integers.
double full_year(std::int32_t yy);

struct RecordBatch {
  static constexpr std::size_t kCapacity = 8192;
  static constexpr std::size_t kOutputRecord = kOutputWidth + 2;  // with CR LF

  RecordBatch();

  // Reads records while there are any and there is room: false when the
  // data has ended (or a read failed, kept in read_failure).
  bool fill(InputUnit& data);

  // Converts the records read; stops at the first bad one.
  void convert(const LeapTable& table, const DateOffsets& dates);

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
