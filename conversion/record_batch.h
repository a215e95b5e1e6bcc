// Batches of data records: read in file order, converted on any thread,
// written in file order. A batch carries everything the run would have
// done for its records one at a time, so writing the batches in order
// gives the same files and the same lines on standard error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string_view>
#include <vector>

#include "conversion/tiers/record_tiers.h"
#include "records/data_record.h"
#include "records/free_format.h"
#include "records/units.h"
#include "timescale/date_offsets.h"

namespace kw {

// How many records written had dates that the table does not vouch for.
struct ZoneCounts {
  std::uint64_t before_table = 0;  // before its first entry
  std::uint64_t expired = 0;       // on or after its expiry
};

// Invariants, between the calls of one round fill, convert, emit:
// - after fill: records() holds the records read, in file order, each ending
//   in its line feed: those the input buffer held whole as they stand, the
//   others as their parsed columns, a blank and the line feed;
//   read_failure_ is the failure of the read that followed them, if one
//   failed.
// - after convert: output_ holds, in file order, the converted records up
//   to the first bad one (blank records give none); zoned_ lists those
//   whose dates the table does not vouch for, with their zones, and
//   overflowed_ those with a field of asterisks, each by its place in
//   output_; stop_ is the read error of the bad record and stopped_at_ its
//   place among the records, convert_failure_ anything else that stopped
//   the conversion; lines_ counts the records read.
// - emit reports, in this order, what a run converting and writing one
//   record at a time would: for each record, its error 63 line if it has
//   one, then its bytes; when a write fails, the lines of the records up to
//   the one whose write failed, then that failure; then the failure that
//   ended the batch, if any.
class RecordBatch {
 public:
  // The bytes of records a batch holds, at most: a block of the tiers.
  static constexpr std::size_t kStoreBytes = BlockTiers::kMostBytes;
  // A record converted has six values: eleven bytes and its line feed at
  // the least, so a batch converts this many at most.
  static constexpr std::size_t kMostConverted = kStoreBytes / 12 + 1;

  RecordBatch();

  // Reads records while there are any and there is room: false when the
  // data has ended (or a read failed, reported by emit). Never throws, so
  // that every batch taken reaches its turn to be written.
  bool fill(InputUnit& data) noexcept;

  // Converts the records read; stops at the first bad one. Never throws:
  // a failure is kept for emit.
  void convert(const DateOffsets& offsets) noexcept;

  // Writes the converted records and reports each too wide a field, adds
  // the zones of their dates to `counts`, then ends the run (throws) if a
  // record (of `data`, the first of the batch on line `first_line`), a
  // read or the conversion failed.
  void emit(OutputUnit& out, const InputUnit& data, ZoneCounts& counts,
            std::uint64_t first_line) const;

  // The records read (lines of the data file), after convert.
  std::uint64_t lines() const { return lines_; }

 private:
  void convert_all(const DateOffsets& offsets);
  void report_overflows(std::size_t records, const OutputUnit& out) const;
  void count_zones(std::size_t records, ZoneCounts& counts) const;

  // The text of the record at `index` among those read, without its line
  // end.
  std::string_view record_text(std::uint64_t index) const;
  char* records() const;             // in store_, after the room the tiers need before them
  std::unique_ptr<char[]> store_;    // kStoreBytes and the room the tiers need around them
  std::size_t size_ = 0;             // bytes of records in store_
  BlockTiers tiers_;                 // converts them
  std::exception_ptr read_failure_;  // the read after the last record failed

  std::unique_ptr<char[]> output_;  // converted records, record_size_ bytes each
  std::size_t output_size_ = 0;
  std::size_t record_size_ = kOutputRecord;
  std::unique_ptr<std::uint32_t[]> zoned_;  // 4 * a record's first byte in output_ + its zone
  std::size_t zoned_count_ = 0;
  std::vector<std::uint32_t> overflowed_;  // records with a field of asterisks
  std::uint64_t lines_ = 0;
  ReadStatus stop_ = ReadStatus::ok;    // the record after the converted ones
  std::uint64_t stopped_at_ = 0;        // its place among the records read
  std::exception_ptr convert_failure_;  // anything else that stopped the conversion
};

}  // namespace kw
