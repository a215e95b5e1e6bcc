#include "records/units.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/process.h"
#include "records/failure.h"

namespace kw {
namespace {

constexpr std::size_t kBufferSize = std::size_t{1} << 18;

}  // namespace

os::File open_unit(int unit, std::string_view name, os::Use use) {
  // Leading and trailing blanks are not part of the name.
  const auto first = name.find_first_not_of(' ');
  const std::string_view trimmed = first == std::string_view::npos
                                       ? std::string_view{}
                                       : name.substr(first, name.find_last_not_of(' ') - first + 1);
  os::OpenError error = os::OpenError::none;
  std::string why;
  os::File file = os::File::open(trimmed, use, error, why);
  if (error != os::OpenError::none) stop_open(error, unit, name, why);
  return file;
}

void stop_open(os::OpenError error, int unit, std::string_view name, std::string_view why) {
  std::string detail = about(name, why);
  switch (error) {
    case os::OpenError::path_not_found:
      stop_severe(err::file_not_found, "file not found", std::move(detail));
    case os::OpenError::too_many_files:
      stop_severe(err::too_many_files, "too many open files", std::move(detail));
    case os::OpenError::invalid_name:
      stop_unit(UnitError::bad_file_name, unit, name, std::move(detail));
    case os::OpenError::untrusted:
      throw RunStop(about(name, why) + "; nothing read or written", untrusted_status);
    case os::OpenError::no_reader:
      // Success would lose what is written: said on a line of its own.
      stop_severe(err::access_not_allowed, "access not allowed\n" + detail);
    case os::OpenError::access_denied:
    case os::OpenError::none:
      break;
  }
  stop_severe(err::access_not_allowed, "access not allowed", std::move(detail));
}

// ---------------------------------------------------------------- input

InputUnit::InputUnit(int unit, std::string_view name)
    : unit_(unit),
      name_(name),
      file_(open_unit(unit, name, os::Use::input)),
      buffer_(new char[kBufferSize]) {}

InputUnit::InputUnit(int unit, std::string_view name, os::File stream, bool from_start)
    : unit_(unit),
      name_(name),
      file_(std::move(stream)),
      buffer_(new char[kBufferSize]),
      known_size_(~std::uint64_t{0}),
      stream_(true) {
  if (from_start) opened_size_ = file_.size();  // 0 for pipes and devices
}

InputUnit::InputUnit(int unit, std::string_view name, os::File stream, bool from_start,
                     std::string first)
    : InputUnit(unit, name, std::move(stream), from_start) {
  first_ = std::move(first);
}

std::ptrdiff_t InputUnit::read_bytes(char* into, std::size_t size) {
  if (first_read_ < first_.size()) {
    const std::size_t count = std::min(size, first_.size() - first_read_);
    std::memcpy(into, first_.data() + first_read_, count);
    first_read_ += count;
    return static_cast<std::ptrdiff_t>(count);
  }
  if (!file_.is_open()) return 0;
  return file_.read(into, size);
}

bool InputUnit::at_end() {
  if (met_end_) return true;
  if (stream_) {
    if (head_ == tail_ && !fill()) met_end_ = true;
    return met_end_;
  }
  return at_end_by_size();
}

bool InputUnit::at_end_by_size() {
  if (met_end_) return true;
  if (stream_ || position_ < known_size_) return false;
  known_size_ = file_.size();
  return position_ >= known_size_;
}

void InputUnit::fail_read() {
  fail_read(file_.error_text());
}

void InputUnit::fail_read(std::string_view reason) {
  stop_read(unit_, name_, reason);
}

void InputUnit::check_not_cut(std::uint64_t ended_at) {
  // A file ends where its size said: one that ends sooner was cut while
  // it was read, and the record it cut is not a record.
  const std::uint64_t size = stream_ ? opened_size_ : known_size_;
  if (ended_at < size) {
    fail_read("the file ended at byte " + with_thousands(ended_at) + " of the " +
              with_thousands(size) + " it had: it was cut while it was read");
  }
}

std::uint64_t InputUnit::remaining_bytes() const {
  if (stream_) return 0;
  const std::uint64_t size = file_.size();
  return size > position_ ? size - position_ : 0;
}

bool InputUnit::fill() {
  const std::ptrdiff_t n = read_bytes(buffer_.get(), kBufferSize);
  if (n < 0) fail_read();
  if (n == 0) check_not_cut(position_);
  head_ = 0;
  tail_ = static_cast<std::size_t>(n);
  return n > 0;
}

// Hands the bytes of the next record, without its line feed, to `take` in
// pieces. Returns true when the record ended at a line feed, false when it
// ended with the data.
template <class Take>
bool InputUnit::take_record(Take&& take) {
  bool any = false;
  for (;;) {
    if (head_ == tail_ && !fill()) {
      if (!any) stop_unit(UnitError::end_of_file, unit_, name_);
      met_end_ = true;
      return false;
    }
    any = true;
    const char* start = buffer_.get() + head_;
    const std::size_t available = tail_ - head_;
    const void* lf = std::memchr(start, '\n', available);
    const std::size_t length =
        lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) : available;
    take(start, length);
    head_ += length;
    position_ += length;
    if (lf != nullptr) {
      static_assert('\n' == 10);
      ++head_;
      ++position_;
      return true;
    }
  }
}

void InputUnit::read_record(char* line, std::size_t width) {
  std::size_t length = 0;  // length of the record, counted up to width + 1
  const bool ended_by_lf = take_record([&](const char* bytes, std::size_t count) {
    if (length < width) std::memcpy(line + length, bytes, std::min(count, width - length));
    length = std::min(length + count, width + 1);
  });
  // Only a CR directly before the LF is dropped; beyond `width` it is
  // skipped anyway.
  if (ended_by_lf && length > 0 && length <= width && line[length - 1] == '\r') --length;
  if (length < width) std::memset(line + length, ' ', width - length);
}

namespace {

// Where the last line feed of bytes[0..size) is, or size when there is
// none: records are short, so it lies near the end.
std::size_t last_line_feed(const char* bytes, std::size_t size) {
  for (std::size_t i = size; i > 0; --i) {
    if (bytes[i - 1] == '\n') return i - 1;
  }
  return size;
}

}  // namespace

std::size_t InputUnit::whole_records_end(const char* bytes, std::size_t size) const {
  // The records that begin before the size last known end at or after the
  // byte before it.
  const std::uint64_t readable = known_size_ - position_;
  if (readable < size) {
    const auto* lf = static_cast<const char*>(
        std::memchr(bytes + readable - 1, '\n', size - static_cast<std::size_t>(readable) + 1));
    if (lf != nullptr) return static_cast<std::size_t>(lf - bytes) + 1;
  }
  const std::size_t lf = last_line_feed(bytes, size);
  return lf == size ? 0 : lf + 1;
}

std::size_t InputUnit::read_whole_records(char* store, std::size_t room, bool& ended) {
  ended = at_end_by_size();
  if (ended) return 0;
  if (head_ != tail_) {
    const std::size_t taken = take_whole_records(store, room);
    if (taken > 0) return taken;
  }
  // What the buffer holds of the next record, completed in the store by a
  // read straight into it; a long record is read one at a time instead.
  const std::size_t held = tail_ - head_;
  if (held >= room / 2) return 0;
  std::memcpy(store, buffer_.get() + head_, held);
  const std::ptrdiff_t n = read_bytes(store + held, room - held);
  if (n < 0) fail_read();
  if (n == 0) {
    check_not_cut(position_ + held);
    // The data ended: what is left, if anything, is a last record without
    // its line feed, read one at a time.
    ended = stream_ && held == 0;
    met_end_ = ended;
    return 0;
  }
  const std::size_t total = held + static_cast<std::size_t>(n);
  const std::size_t end = whole_records_end(store, total);
  // The bytes after the last whole record go back to the buffer.
  std::memmove(buffer_.get(), store + end, total - end);
  head_ = 0;
  tail_ = total - end;
  position_ += end;
  return end;
}

std::size_t InputUnit::take_whole_records(char* store, std::size_t room) {
  if (met_end_ || position_ >= known_size_) return 0;
  const char* const bytes = buffer_.get() + head_;
  const std::size_t end = whole_records_end(bytes, std::min(tail_ - head_, room));
  std::memcpy(store, bytes, end);
  head_ += end;
  position_ += end;
  return end;
}

bool InputUnit::read_rest(std::size_t limit, std::string& text) {
  text.clear();
  while (!at_end()) {
    if (head_ == tail_ && !fill()) {
      met_end_ = true;
      break;
    }
    const std::size_t count = std::min(tail_ - head_, limit + 1 - text.size());
    text.append(buffer_.get() + head_, count);
    head_ += count;
    position_ += count;
    if (text.size() > limit) return false;
  }
  return true;
}

void InputUnit::close() {
  if (!file_.close()) {
    stop_severe(err::read_failed,
                unit_message("error during close", unit_, name_) + " (" + file_.error_text() + ")");
  }
}

// ---------------------------------------------------------------- output

OutputUnit::OutputUnit(int unit, std::string_view name)
    : unit_(unit),
      name_(name),
      own_(open_unit(unit, name, os::Use::output)),
      file_(&own_),
      buffer_(new char[kBufferSize]) {}

OutputUnit::OutputUnit(int unit, std::string_view name, os::File& file)
    : unit_(unit), name_(name), file_(&file), buffer_(new char[kBufferSize]) {
  // Not a regular file (a pipe, a terminal): nothing to cut anyway.
  start_known_ = file.write_offset(start_, appends_);
}

OutputUnit::~OutputUnit() {
  if (!file_->is_open()) return;
  try {
    flush();
  } catch (const RunStop&) {
    // The run is already ending with its own message.
  }
  own_.close();
}

void OutputUnit::fail(std::string_view reason) {
  used_ = 0;  // what could not be written is not tried again at close
  record_ends_.clear();
  cut_done_ = true;
  stop_write(unit_, name_, reason);
}

void OutputUnit::fail_write(std::uint64_t reached, std::uint64_t whole) {
  const std::string reason = file_->error_text();
  // The file ends after the last record that reached it whole: no part of
  // a record, and no old bytes, follow it. What the file held before this
  // unit's first record stays; a file appended to is cut only while its
  // end is this unit's (no other program appended since).
  // A first write refused whole cuts nothing: a file to which no record
  // was written keeps its earlier contents.
  const bool nothing_written = !cut_done_ && reached == 0;
  const bool cut =
      start_known_ && !nothing_written && (!appends_ || file_->size() == start_ + reached);
  if (cut) file_->cut_at(start_ + whole);
  flushed_ = whole;
  fail(reason);
}

void OutputUnit::cut_once() {
  // Where every write goes to the end, nothing old follows the records.
  if (!cut_done_ && !appends_ && !file_->cut_here()) fail(file_->error_text());
  cut_done_ = true;
}

void OutputUnit::end_on_signal(std::string_view data, std::size_t written, std::size_t record_end) {
  if (!os::ending_signal_noted()) return;
  // Only a stream stops for a signal, and a stream cannot be cut back:
  // the record begun is finished if the reader takes it soon.
  if (record_end > written) {
    std::size_t more = 0;
    file_->finish(data.substr(written, record_end - written), more);
  }
  os::end_if_signalled();
}

void OutputUnit::write_direct(std::string_view records, std::size_t record_size) {
  const os::RecordWrite writing;
  std::size_t written = 0;
  if (!file_->write(records, written)) {
    end_on_signal(
        records, written,
        written % record_size == 0 ? written : written - written % record_size + record_size);
    fail_write(flushed_ + written, flushed_ + (written - written % record_size));
  }
  flushed_ += records.size();
  cut_once();
}

void OutputUnit::write_record(std::string_view chars) {
  if (!file_->writable()) fail("the file may be read but not written");
  const std::size_t size = chars.size() + 2;
  if (used_ + size > kBufferSize) flush();
  if (size > kBufferSize) {  // longer than any record of this program
    std::string record(chars);
    record += "\r\n";
    write_direct(record, record.size());
    return;
  }
  std::memcpy(buffer_.get() + used_, chars.data(), chars.size());
  used_ += chars.size();
  buffer_[used_++] = '\r';
  buffer_[used_++] = '\n';
  record_ends_.push_back(used_);
}

void OutputUnit::write_block(std::string_view records, std::size_t record_size) {
  if (records.empty()) return;
  if (!file_->writable()) fail("the file may be read but not written");
  if (used_ + records.size() > kBufferSize) flush();
  if (used_ == 0) {
    write_direct(records, record_size);  // a block goes straight to the file
    return;
  }
  for (std::size_t end = record_size; end <= records.size(); end += record_size) {
    record_ends_.push_back(used_ + end);
  }
  std::memcpy(buffer_.get() + used_, records.data(), records.size());
  used_ += records.size();
}

void OutputUnit::write_text(std::string_view text) {
  std::string record = " ";
  record += text;
  write_record(record);
}

void OutputUnit::flush() {
  if (used_ == 0) return;
  const os::RecordWrite writing;
  std::size_t written = 0;
  const std::string_view data(buffer_.get(), used_);
  if (!file_->write(data, written)) {
    const auto whole = std::upper_bound(record_ends_.begin(), record_ends_.end(), written);
    std::size_t end = used_;
    if (whole != record_ends_.end()) end = *whole;
    if (whole != record_ends_.begin() && *(whole - 1) == written) end = written;
    end_on_signal(data, written, end);
    fail_write(flushed_ + written, flushed_ + (whole == record_ends_.begin() ? 0 : *(whole - 1)));
  }
  flushed_ += used_;
  used_ = 0;
  record_ends_.clear();
  cut_once();
}

void OutputUnit::close() {
  flush();
  if (file_ == &own_ && !own_.close()) fail(own_.error_text());
}

}  // namespace kw
