// The run's files: fixed names, relative to the current directory, and the
// unit numbers they are known by in failure reports.
#pragma once

namespace kw {

inline constexpr int kDataUnit = 1;
inline constexpr const char* kDataFile = "..\\..\\KW_PVZ.DAT";
inline constexpr int kOutputUnit = 2;
inline constexpr const char* kOutputFile = "new.txt";
inline constexpr const char* kLogFile = "lsconv.lst";

}  // namespace kw
