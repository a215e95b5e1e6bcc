// Operating-system side of the process: preparing it for a run, its
// standard error and output, the signals that would end it, and its exit
// status.
#pragma once

#include <string>
#include <string_view>

namespace kw::os {

// Prepares the process for a run, before any file is opened:
//  - standard input, output and error are made sure to be open (to the
//    null device where the process was started without one), so that no
//    file the program opens takes their place; which of them the process
//    was started without is kept (started_without()), and "-" never names
//    the null device put in their place;
//  - on POSIX systems a file-size limit makes a write fail (error 38, the
//    file ending at a whole record) rather than kill the process with
//    SIGXFSZ halfway through a record;
//  - on POSIX systems SIGINT, SIGTERM and SIGHUP (unless the process was
//    told to ignore them) still end it as by default, but one that comes
//    while records are written waits until they are (see RecordWrite).
void prepare_process();

// The process's standard files.
enum class Standard { input = 0, output = 1, error = 2 };

// Whether the process was started without that standard file (closed, or
// on Windows no handle at all): then it is not to be read or written.
bool started_without(Standard which);

// The reason given when a standard file the process was started without
// is named: "standard input was closed when the program started".
std::string started_without_reason(Standard which);

// While one lives, SIGINT, SIGTERM and SIGHUP do not end the process at
// once: they are noted, and the process ends as the signal asks (its
// default action, re-raised) when the last one goes, or at once when
// one is made after a signal was noted. A write that waits on a pipe or
// another stream stops waiting when such a signal comes (see
// File::write), so that the process still ends promptly. Nothing on
// Windows.
class RecordWrite {
 public:
  RecordWrite();
  RecordWrite(const RecordWrite&) = delete;
  RecordWrite& operator=(const RecordWrite&) = delete;
  ~RecordWrite();
};

// Whether a signal that ends the process came during a RecordWrite.
bool ending_signal_noted();

// Ends the process as the signal noted asks; returns when none was noted.
void end_if_signalled();

// Holds back the signals that end a process by default (a user's ^C, a
// hang-up, a terminate, a quit, a broken pipe) until the object goes; one
// pending is then taken. Nothing on Windows, which has no such signals.
class HeldSignals {
 public:
  HeldSignals();
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;
  ~HeldSignals();

 private:
  unsigned long long previous_[16] = {};  // the mask before, as the system keeps it
};

// Writes `text` to standard error exactly as it stands: a "\n" is written
// as one byte on every system, never turned into CR LF.
void write_standard_error(std::string_view text);

// Writes `text` to standard output and flushes it; false, with the
// system's reason in `why`, when it did not all arrive (a full device, a
// closed pipe).
bool write_standard_output(std::string_view text, std::string& why);

// The process exit status that reports severe run-time error `number`.
// POSIX: the low eight bits (600 gives 88, 602 gives 90, 603 gives 91).
// Windows: the number itself, a 32-bit status.
int exit_status_for_error(int number);

}  // namespace kw::os
