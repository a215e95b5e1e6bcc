// What both forms of a run share: how its outcome is reported, and how
// many threads convert its records.
#pragma once

#include <functional>
#include <string>

namespace kw {

// Whether a failure's detail line (its reason) is written after its
// failure line: the fixed run writes only the one that names the line of
// a file, a bad record's or a table's.
enum class Details { left_out, written };

// Prepares the process, runs `run` and reports its outcome: the failure
// line on standard error (and its detail, if asked), running out of
// memory with its own status. Returns the process exit status.
int run_and_report(const std::function<void()>& run, Details details = Details::left_out);

// How many threads convert the records.
unsigned worker_count();

struct ZoneCounts;
struct LeapTable;

// The lines that say how many records written lie outside what `table`
// knows, for standard error: "KW_TAI2UTC: 3,652 records dated before
// 1972-01-01, the table's first entry, took 9.0 s (its first value less
// one second)" and the like for its expiry; empty when none do.
std::string outside_the_table(const ZoneCounts& counts, const LeapTable& table);

}  // namespace kw
