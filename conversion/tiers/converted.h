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
// An answer of undecided leaves the output record in any state, written
// in part or not at all (a field editor's vector store runs into the
// fields after its own): the next tier writes every byte of it.

inline Converted fits_or_overflow(bool fits) {
  return fits ? Converted::fits : Converted::overflow;
}

// The worse of two answers: undecided, then overflow, then fits.
inline Converted combine(Converted a, Converted b) {
  return a == Converted::undecided || b == Converted::fits ? a : b;
}

}  // namespace kw
