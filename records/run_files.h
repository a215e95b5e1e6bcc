// The run's files: fixed names, relative to the current directory, and the
// unit numbers they are known by in failure reports.
#pragma once

namespace kw {

struct RunFile {
  int unit;
  const char* name;
};

inline constexpr RunFile kDataFile{1, "..\\..\\KW_PVZ.DAT"};  // read; backslashes as separators
inline constexpr RunFile kOutputFile{2, "new.txt"};           // the converted records
inline constexpr RunFile kTableFile{3, "ls.ini"};             // the leap-second table
inline constexpr RunFile kLogFile{50, "lsconv.lst"};          // the run log

}  // namespace kw
