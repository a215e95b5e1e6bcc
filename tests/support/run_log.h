// The run log's two lines.
#pragma once

#include <string>

namespace kw::test {

inline const std::string kStart = " PROGRAM KW_TAI2UTC SUCCESSFULLY STARTS\r\n";
inline const std::string kEnd = " PROGRAM KW_TAI2UTC SUCCESSFULLY ENDS\r\n";

}  // namespace kw::test
