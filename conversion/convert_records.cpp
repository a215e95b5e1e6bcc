#include "conversion/convert_records.h"

#include "conversion/record_batch.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace kw {
namespace {

// Workers take turns: each reads the next batch (in file order, one worker
// at a time), converts it on its own, then waits for its batch's turn to be
// written. The first failure, in file order, ends the run; no batch after
// it is written.
class Pipeline {
 public:
  Pipeline(InputUnit& data, OutputUnit& out, const DateOffsets& offsets, ZoneCounts& counts)
      : data_(data), out_(out), offsets_(offsets), counts_(counts) {}

  void work() {
    RecordBatch batch;
    for (;;) {
      std::uint64_t ticket = 0;
      {
        const std::lock_guard lock(read_mutex_);
        if (reading_done_) return;
        ticket = next_read_++;
        reading_done_ = !batch.fill(data_);
      }
      batch.convert(offsets_);  // keeps its failure for its turn
      {
        std::unique_lock lock(write_mutex_);
        write_turn_.wait(lock, [&] { return next_write_ == ticket; });
        if (!failure_) {
          try {
            batch.emit(out_, data_, counts_, lines_ + 1);
          } catch (...) {
            failure_ = std::current_exception();
            const std::lock_guard read_lock(read_mutex_);
            reading_done_ = true;
          }
        }
        lines_ += batch.lines();
        ++next_write_;
      }
      write_turn_.notify_all();
    }
  }

  void finish() const {
    if (failure_) std::rethrow_exception(failure_);
  }

 private:
  InputUnit& data_;
  OutputUnit& out_;
  const DateOffsets& offsets_;
  ZoneCounts& counts_;       // written under the write turn
  std::uint64_t lines_ = 0;  // of the batches written

  std::mutex read_mutex_;
  bool reading_done_ = false;
  std::uint64_t next_read_ = 0;

  std::mutex write_mutex_;
  std::condition_variable write_turn_;
  std::uint64_t next_write_ = 0;
  std::exception_ptr failure_;
};

}  // namespace

void convert_records(InputUnit& data, OutputUnit& out, const DateOffsets& offsets, unsigned threads,
                     ZoneCounts& counts) {
  Pipeline pipeline(data, out, offsets, counts);
  std::vector<std::thread> helpers;
  // Only a file of more than a batch is worth a thread; a stream's length
  // is not known: it may be long.
  if (threads > 1 && (data.is_stream() || data.remaining_bytes() > RecordBatch::kStoreBytes)) {
    for (unsigned i = 1; i < threads; ++i) {
      try {
        helpers.emplace_back([&pipeline] {
          try {
            pipeline.work();
          } catch (...) {
            // No memory for a batch (before any batch was taken): the
            // other workers do the work.
          }
        });
      } catch (const std::system_error&) {
        break;  // no thread to be had: fewer workers do the same work
      }
    }
  }
  std::exception_ptr main_failure;
  try {
    pipeline.work();
  } catch (...) {
    main_failure = std::current_exception();  // no batch taken: none is left waiting
  }
  for (auto& helper : helpers) helper.join();
  if (main_failure) std::rethrow_exception(main_failure);
  pipeline.finish();
}

}  // namespace kw
