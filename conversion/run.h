// What both forms of a run share: how its outcome is reported, and how
// many threads convert its records.
#pragma once

#include <functional>

namespace kw {

// Whether a failure's detail line (its reason, the line of a bad record)
// is written after its failure line: the fixed run writes one line.
enum class Details { left_out, written };

// Prepares the process, runs `run` and reports its outcome: the failure
// line on standard error (and its detail, if asked), running out of
// memory with its own status. Returns the process exit status.
int run_and_report(const std::function<void()>& run, Details details = Details::left_out);

// How many threads convert the records.
unsigned worker_count();

}  // namespace kw
