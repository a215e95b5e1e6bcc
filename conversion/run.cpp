#include "conversion/run.h"

#include <algorithm>
#include <exception>
#include <new>
#include <string>
#include <thread>

#include "platform/process.h"
#include "records/failure.h"

namespace kw {

unsigned worker_count() {
  return std::clamp(std::thread::hardware_concurrency(), 1U, 4U);
}

int run_and_report(const std::function<void()>& run, Details details) {
  os::prepare_process();
  try {
    run();
    return 0;
  } catch (const RunStop& stop) {
    std::string lines = std::string(stop.line()) + "\n";
    if (details == Details::written && !stop.detail().empty()) lines += stop.detail() + "\n";
    os::write_standard_error(lines);
    return stop.status();
  } catch (const std::bad_alloc&) {
    os::write_standard_error(std::string(kProgramPrefix) + "out of memory\n");
    return out_of_memory_status;
  } catch (const std::exception& e) {
    os::write_standard_error(std::string(kProgramPrefix) + e.what() + "\n");
    return 1;
  }
}

}  // namespace kw
