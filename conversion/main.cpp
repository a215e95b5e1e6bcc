// KW_TAI2UTC: adds TAI-UTC to the third value of every dated record.
// No arguments; every file name is fixed and relative to the current
// directory (see README.md).
#include "conversion/lsconv.h"

int main() {
  return kw::run_program();
}
