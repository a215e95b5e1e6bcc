// What a tier made of a record: every tier answers one of these, and
// `undecided` hands the record to the next tier.
#pragma once

namespace kw {

enum class Converted {
  fits,       // written
  overflow,   // written, with a field of asterisks (error 63)
  blank,      // blank in its parsed columns: nothing written
  failed,     // not written: the read status says why
  undecided,  // this tier cannot give the bytes; the next one converts it
};

}  // namespace kw
