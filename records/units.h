// Sequential record units: files opened by unit number and read or written
// one record (line) at a time, with the run-time's rules for opening,
// end-of-file, cutting and failures. Any failure ends the run (RunStop).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"

namespace kw {

// Opens `name` for a unit, to be read or written: an existing file keeps
// its contents, a missing one is created empty (but for an input that a
// symbolic link names: then no file is made, and the unit reads as empty);
// a refused open ends the run (stop_open).
os::File open_unit(int unit, std::string_view name, os::Use use);

// Ends the run as a refused open of `name` on `unit`: 602, 600, 603 or 43,
// the reason `why` as the stop's detail; a FIFO that nothing reads is 600
// with its reason on a line of its own, and a path that another user
// controls the program's own stop (untrusted_status).
[[noreturn]] void stop_open(os::OpenError error, int unit, std::string_view name,
                            std::string_view why);

class InputUnit {
 public:
  // The unit on the file of that name, opened as open_unit opens it; its
  // data end where the file's size says.
  InputUnit(int unit, std::string_view name);

  // The unit on a stream already open (standard input, a pipe, a file
  // named on the command line): its data end where a read finds no more.
  // With `from_start` (a file just opened by name, read from its start),
  // not before the size it had then: a read that finds no more sooner
  // finds the file cut, a failed read.
  InputUnit(int unit, std::string_view name, os::File stream, bool from_start = false);

  // The same, with `first`, the bytes already read from the stream (to
  // tell what it holds), read before what the stream still holds. A stream
  // that is not open holds nothing more: the unit reads `first` alone.
  InputUnit(int unit, std::string_view name, os::File stream, bool from_start, std::string first);

  // True when the unit has met its end of file, or when the next unread
  // byte is at or past the size of the file (so always for pipes and
  // devices, whose size is 0); for a stream, when no byte is left to read.
  bool at_end();

  // Reads one record into line[0..width): shorter records are padded with
  // blanks, the characters beyond `width` are skipped. Memory does not grow
  // with the record's length.
  void read_record(char* line, std::size_t width);

  // Reads the rest of the data, as at_end() tells where they end, into
  // `text`: false, with the first limit + 1 bytes read, when there are more
  // than `limit` bytes.
  bool read_rest(std::size_t limit, std::string& text);

  // Copies into store[0..room) the records the buffer holds whole, that
  // at_end() would let be read one by one (each begins before the size of
  // the file last known), as they stand, each with its line feed. Returns
  // the bytes copied: none when no such record fits.
  std::size_t take_whole_records(char* store, std::size_t room);

  // The same, and when the buffer holds no whole record, the next records
  // read from the file straight into `store` (the buffer keeps what
  // follows the last whole one). None when the next record is to be read
  // one at a time (read_record): a long one, or a last one without its
  // line feed; none with `ended` when the data have ended, as at_end()
  // would say.
  std::size_t read_whole_records(char* store, std::size_t room, bool& ended);

  // Bytes between the next unread byte and the end of the file as it is
  // now (0 for pipes and devices).
  std::uint64_t remaining_bytes() const;

  bool is_stream() const { return stream_; }

  void close();

  int unit() const { return unit_; }
  const std::string& name() const { return name_; }

 private:
  template <class Take>
  bool take_record(Take&& take);
  bool fill();
  // Reads up to `size` bytes into `into`: those of first_ not yet read,
  // then the file's. The count, 0 at the end, -1 on failure.
  std::ptrdiff_t read_bytes(char* into, std::size_t size);
  [[noreturn]] void fail_read();
  [[noreturn]] void fail_read(std::string_view reason);
  // A read found no more data at offset `ended_at`: a failed read when
  // the file's size said there was more (for a stream, its size when
  // opened).
  void check_not_cut(std::uint64_t ended_at);
  // at_end() of a file, which ends where its size says; false for a
  // stream, which ends only where a read finds no more.
  bool at_end_by_size();
  // Where the whole records of bytes[0..size) (at the next unread byte)
  // end: after the last line feed, of records that begin before the size
  // last known.
  std::size_t whole_records_end(const char* bytes, std::size_t size) const;

  int unit_;
  std::string name_;
  os::File file_;
  std::unique_ptr<char[]> buffer_;
  std::string first_;              // bytes read from the file before the unit was made
  std::size_t first_read_ = 0;     // of them, those read through the unit
  std::size_t head_ = 0;           // next unread byte in buffer_
  std::size_t tail_ = 0;           // end of the bytes in buffer_
  std::uint64_t position_ = 0;     // offset of the next unread byte
  std::uint64_t known_size_ = 0;   // size of the file when last asked
  std::uint64_t opened_size_ = 0;  // a stream's size when opened, with from_start
  bool met_end_ = false;
  bool stream_ = false;  // the data end at the end of the reads, not at a size
};

class OutputUnit {
 public:
  // The unit on the file of that name, opened as open_unit opens it.
  OutputUnit(int unit, std::string_view name);

  // The unit on a file already open, which stays open after close() (the
  // caller's to close, commit or discard). Its records are written from
  // where the file stands (its end, when it appends); a failed write cuts
  // it back to whole records from there, never into what it held before,
  // and not at all where that place cannot be known.
  OutputUnit(int unit, std::string_view name, os::File& file);
  OutputUnit(const OutputUnit&) = delete;
  OutputUnit& operator=(const OutputUnit&) = delete;
  // Flushes and closes without reporting: the run is already ending.
  ~OutputUnit();

  // Writes `chars` and CR LF. Writing starts at the start of the file; the
  // file is cut right after the first record, later records extend it.
  // When a write fails, the file ends after the last record that reached
  // it whole; when the first write is refused whole, nothing is cut and
  // the file keeps what it held. A signal that ends the process (SIGINT,
  // SIGTERM, SIGHUP) during a write takes effect once the file ends at a
  // whole record (os::RecordWrite).
  void write_record(std::string_view chars);

  // Writes records already edited, each of `record_size` bytes with its
  // CR LF, as write_record would have written them one by one.
  void write_block(std::string_view records, std::size_t record_size);

  // A free-format write of one character value: a blank, then the text.
  void write_text(std::string_view text);

  void flush();
  void close();

  int unit() const { return unit_; }
  const std::string& name() const { return name_; }

  // Bytes of whole records in the file: all those written so far, or,
  // after a failed write, those before the record it failed on.
  std::uint64_t whole_bytes() const { return flushed_; }

 private:
  [[noreturn]] void fail(std::string_view reason);
  // A write failed after `reached` bytes of this unit's reached the file,
  // `whole` of them those of whole records: cuts the file after them, then
  // fails.
  [[noreturn]] void fail_write(std::uint64_t reached, std::uint64_t whole);
  void write_direct(std::string_view records, std::size_t record_size);
  // After a write of `data` stopped at `written`: when a signal that ends
  // the process stopped it, finishes the record in progress (which ends
  // at `record_end`) if it can and ends the process as the signal asks.
  void end_on_signal(std::string_view data, std::size_t written, std::size_t record_end);
  // After a write: the file is cut once, right after the first records, so
  // that it ends at the last record written (later writes only extend it).
  void cut_once();

  int unit_;
  std::string name_;
  os::File own_;    // the file opened by name
  os::File* file_;  // the file written: own_ or the caller's
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  std::vector<std::size_t> record_ends_;  // where each record in buffer_ ends
  std::uint64_t flushed_ = 0;             // bytes of this unit's written so far
  std::uint64_t start_ = 0;               // where in the file they begin
  bool start_known_ = true;               // whether the file can be cut back
  bool appends_ = false;                  // every write goes to the file's end
  bool cut_done_ = false;
};

}  // namespace kw
