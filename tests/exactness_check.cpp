// Checks the fast paths of reading and editing numbers against independent
// exact methods, on random and adversarial values:
//
//   editing  fixed_fast::edit (the program's three fields, and every width
//            and decimal count the general editor's fast path takes) against
//            a field built here from std::to_chars, which rounds the exact
//            binary value, ties to even;
//   records  the scan tier against the general tier (whose reals come from
//            std::from_chars and are edited as above), an offset of the
//            real table or an odd one added, on records of any shape and of
//            the layouts of real files (blanks, tabs, commas, padded
//            columns, dates of one or two digits, values of any number of
//            decimals, ties and near-ties at the rounding digit beyond the
//            twelfth decimal, carries through nines, changes of one step);
//   ties     every decimal tie of 6 decimals below 1000 (in the long run; a
//            sample otherwise) as a record's first value: the scan tier's
//            rounding of the fifth decimal against the general editor of
//            the double.
//
//   kw_exactness_check [VALUES] [SEED]      (default 2,000,000 values)
//
// The test suite runs a sample; a long run of 100,000,000 values or more is
//   build/default/tests/kw_exactness_check 100000000
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <string_view>

#include "conversion/tiers/general_tier.h"
#include "conversion/tiers/scan_alone.h"
#include "records/data_record.h"
#include "records/field_edit.h"
#include "records/fixed_fast.h"
#include "support/held_record.h"
#include "support/leap_tables.h"
#include "support/oracles.h"
#include "timescale/date_offsets.h"

namespace {

struct Counts {
  std::uint64_t checked = 0;
  std::uint64_t decided = 0;
  std::uint64_t failures = 0;
};

// "what: N items, N decided_by, N mismatches"
void report(const char* what, const char* items, const char* decided_by, const Counts& counts) {
  std::printf("%s: %" PRIu64 " %s, %" PRIu64 " %s, %" PRIu64 " mismatches\n", what, counts.checked,
              items, counts.decided, decided_by, counts.failures);
}

void report_edit_failure(Counts& counts, double value, int width, int decimals,
                         const std::string& got, const std::string& want) {
  if (++counts.failures <= 20) {
    std::printf("EDIT MISMATCH %a (%.17g) F%d.%d: got \"%s\" want \"%s\"\n", value, value, width,
                decimals, got.c_str(), want.c_str());
  }
}

template <int Width, int Decimals>
void check_field(Counts& counts, double value) {
  char field[Width];
  const auto result = kw::fixed_fast::edit<Width, Decimals>(value, field);
  ++counts.checked;
  if (result == kw::fixed_fast::Edited::undecided) return;
  ++counts.decided;
  const std::string want = kw::test::reference_fixed(value, Width, Decimals);
  const std::string got(field, Width);
  const bool fits = result == kw::fixed_fast::Edited::fits;
  if (got != want || fits != (want[0] != '*')) {
    report_edit_failure(counts, value, Width, Decimals, got, want);
  }
}

// Values that the rounding of d decimals finds hardest.
class EditValues {
 public:
  explicit EditValues(std::uint64_t seed) : random_(seed) {}

  double next(int decimals) {
    const double scale = std::pow(10.0, decimals);
    switch (pick_(random_) % 8) {
      case 0: {  // log-uniform magnitude from 1e-9 to 1e10, either sign
        const double v = std::pow(10.0, uniform_(random_) * 19.0 - 9.0);
        return sign(v);
      }
      case 1: {  // an exact binary tie: an odd multiple of 2^-(d+1)
        const auto odd = static_cast<double>(2 * (small_(random_) % 2'000'000) + 1);
        return sign(std::ldexp(odd, -(decimals + 1)));
      }
      case 2: {  // one or two units in the last place beside an exact tie
        const auto odd = static_cast<double>(2 * (small_(random_) % 2'000'000) + 1);
        return sign(ulps_away(std::ldexp(odd, -(decimals + 1))));
      }
      case 3: {  // beside a decimal tie (n + 1/2) / 10^d, which is rarely exact
        const auto n = static_cast<double>(small_(random_) % 100'000'000'000ULL);
        return sign(ulps_away((n + 0.5) / scale));
      }
      case 4: {  // the overflow edges of the fields: 999.99..95, -99.99..95
        const double edge = pick_(random_) % 2 == 0 ? 1000.0 - 0.5 / scale : -(100.0 - 0.5 / scale);
        return ulps_away(edge, 8);
      }
      case 5: {  // negative values that round to zero, or just do not
        return ulps_away(-0.5 / scale, 8) * (pick_(random_) % 4 == 0 ? uniform_(random_) : 1.0);
      }
      case 6: {  // short decimals as real data has them
        const auto digits = static_cast<double>(small_(random_) % 100'000'000);
        return sign(digits / std::pow(10.0, static_cast<double>(pick_(random_) % 9)));
      }
      default: {  // any bit pattern: subnormals, huge values, NaN, infinities
        const std::uint64_t bits = small_(random_);
        double v = 0.0;
        std::memcpy(&v, &bits, sizeof v);
        return v;
      }
    }
  }

 private:
  double sign(double v) { return pick_(random_) % 2 == 0 ? v : -v; }
  double ulps_away(double v, int most = 2) {
    const auto steps =
        static_cast<int>(pick_(random_) % static_cast<unsigned>(2 * most + 1)) - most;
    const double toward = steps < 0 ? -std::numeric_limits<double>::infinity()
                                    : std::numeric_limits<double>::infinity();
    for (int i = 0; i < std::abs(steps); ++i) v = std::nextafter(v, toward);
    return v;
  }

  std::mt19937_64 random_;
  std::uniform_real_distribution<double> uniform_{0.0, 1.0};
  std::uniform_int_distribution<unsigned> pick_{0, 1U << 30};
  std::uniform_int_distribution<std::uint64_t> small_;
};

// Records in the data file's layout, with digits, signs and points of
// every length, and now and then a character the fast path must refuse.
class RecordText {
 public:
  explicit RecordText(std::uint64_t seed) : random_(seed) {}

  std::string next() {
    std::string text;
    if (pick(2) == 0) {  // single blanks, with values of any digits
      // Dates of real data mostly, now and then any two digits.
      const bool real = pick(10) != 0;
      const unsigned date[3] = {pick(100), real ? 1 + pick(12) : pick(100),
                                real ? 1 + pick(31) : pick(100)};
      for (const unsigned part : date) {
        text += ' ';
        text += static_cast<char>('0' + part / 10);
        text += static_cast<char>('0' + part % 10);
      }
      // Short separators leave room for long values within 38 columns.
      for (int i = 0; i < 3; ++i) {
        text += ' ';
        if (pick(2) == 0) text += '-';
        for (unsigned k = pick(4); k > 0; --k) text += digit();
        text += '.';
        // Now and then as many digits as a double holds, or more.
        for (unsigned k = pick(4) == 0 ? 14 + pick(7) : 1 + pick(8); k > 0; --k) text += digit();
      }
      text.resize(kw::kParsedColumns, ' ');
      return text;
    }
    if (pick(30) == 0) text += ',';  // a null value before the first
    for (int i = 0; i < 6; ++i) {
      text.append(1 + pick(3), ' ');
      if (i > 0 && pick(30) == 0) text += pick(2) == 0 ? "," : ",,";
      if (pick(8) == 0) text += pick(2) == 0 ? '-' : '+';
      const int before = static_cast<int>(pick(i < 3 ? 11 : 8));
      for (int k = 0; k < before; ++k) text += digit();
      if (i >= 3 || pick(20) == 0) {
        if (pick(10) != 0) text += '.';
        const int after = static_cast<int>(pick(pick(4) == 0 ? 22 : 10));
        for (int k = 0; k < after; ++k) text += digit();
      }
      if (pick(60) == 0) text += "e5,\t/x"[pick(6)];
    }
    text.resize(kw::kParsedColumns, ' ');
    return text;
  }

 private:
  unsigned pick(unsigned n) { return static_cast<unsigned>(random_() % n); }
  char digit() { return static_cast<char>('0' + pick(10)); }
  std::mt19937_64 random_;
};

// Records in the layouts of real data files, most of them with the digits
// the rounding finds hardest, some changed by one step (a character, a
// blank, a digit more or less) that the scan tier must refuse or read
// right.
class LayoutText {
 public:
  explicit LayoutText(std::uint64_t seed) : random_(seed) {}

  std::string next() {
    // Half the records keep the layout of the one before, new digits in
    // the same places, as consecutive records of a file mostly do.
    if (!last_.empty() && pick(2) == 0) {
      std::string text = last_;
      for (std::size_t i = date_end_; i < text.size(); ++i) {  // the date kept
        if (text[i] >= '0' && text[i] <= '9') text[i] = digit();
      }
      if (pick(8) == 0) mutate(text);
      text.resize(kw::kSlotWidth, ' ');
      return text;
    }
    std::string text;
    do {  // within the 38 columns read
      text = record();
    } while (text.size() > static_cast<std::size_t>(kw::kParsedColumns));
    last_ = text;
    if (pick(4) == 0) mutate(text);
    text.resize(kw::kSlotWidth, ' ');
    return text;
  }

 private:
  std::string record() {
    // The layout: separators, the padding of dates and of values.
    static constexpr const char* kSeparators[] = {" ", " ", "  ", "\t", ",", ", ", " , ", " \t"};
    const std::string separator = kSeparators[pick(8)];
    const int date_padding = static_cast<int>(pick(3));  // zeros, blanks, none
    const bool padded_values = pick(3) == 0;             // columns of equal width
    std::string text = pick(10) == 0 ? " " : "";
    // Dates of real data, and now and then any two digits.
    const bool real = pick(10) != 0;
    const unsigned date[3] = {pick(100), real ? 1 + pick(12) : pick(100),
                              real ? 1 + pick(31) : pick(100)};
    for (int k = 0; k < 3; ++k) {
      if (k > 0) text += separator;
      const unsigned part = date[k];
      if (part >= 10 || date_padding == 0) {
        text += static_cast<char>('0' + part / 10);
      } else if (date_padding == 1) {
        text += ' ';
      }
      text += static_cast<char>('0' + part % 10);
    }
    date_end_ = text.size();
    for (int k = 0; k < 3; ++k) {
      text += separator;
      const std::string v = value();
      if (padded_values && v[0] != '-') text += ' ';
      text += v;
    }
    return text;
  }

  std::string value() {
    std::string v;
    if (pick(3) == 0) v += '-';
    const unsigned whole_digits = 1 + pick(3);
    std::string fraction;
    for (int k = 0; k < 6; ++k) fraction += digit();
    switch (pick(6)) {
      case 0:  // a tie at the fifth decimal
        fraction[5] = '5';
        break;
      case 1:  // nines that carry into the places before the point
        fraction.replace(0, 5, "99999");
        break;
      case 2:  // zeros: values that round to nothing
        fraction.replace(0, 5, "00000");
        break;
      default:
        break;
    }
    for (unsigned k = 0; k < whole_digits; ++k) {
      v += pick(3) == 0 ? '9' : pick(3) == 0 ? '0' : digit();
    }
    // Now and then fewer decimals, as a value cut at column 38 has, or
    // more: as many as a double prints, or a tie or near-tie at the fifth
    // or sixth decimal that only a decimal beyond the twelfth decides.
    switch (pick(9)) {
      case 0:
        fraction.resize(1 + pick(6));
        break;
      case 1:
        for (unsigned k = 1 + pick(11); k > 0; --k) fraction += digit();
        break;
      case 2: {
        const std::string near[] = {"5", "49999999", "50000000"};
        fraction.resize(4 + pick(3));
        fraction += near[pick(3)];
        fraction.append(pick(8), pick(2) == 0 ? '0' : '9');
        if (pick(2) == 0) fraction += digit();
        break;
      }
      case 3: {  // a binary fraction in full: an exact tie at its last decimal
        const unsigned places = 6 + pick(8);
        std::uint64_t digits = (random_() % (std::uint64_t{1} << places)) | 1;
        for (unsigned k = 0; k < places; ++k) digits *= 5;  // odd / 2^places * 10^places
        fraction = std::to_string(digits);
        fraction.insert(0, places - fraction.size(), '0');
        break;
      }
      default:
        break;
    }
    return v + '.' + fraction;
  }

  void mutate(std::string& text) {
    const std::size_t at = pick(static_cast<unsigned>(text.size()));
    switch (pick(5)) {
      case 0:
        // Characters next to the digits, blanks and signs too.
        text[at] = " -.+0e,\t/:"[pick(11)];
        break;
      case 1:
        text.insert(at, 1, ' ');
        break;
      case 2:
        text.erase(at, 1);
        break;
      case 3:
        text.insert(at, 1, digit());
        break;
      default:
        text.append(1 + pick(3), ' ');
        break;
    }
    if (text.size() > static_cast<std::size_t>(kw::kParsedColumns)) {
      text.resize(kw::kParsedColumns);
    }
  }

  unsigned pick(unsigned n) { return static_cast<unsigned>(random_() % n); }
  char digit() { return static_cast<char>('0' + pick(10)); }
  std::mt19937_64 random_;
  std::string last_;          // the last record before any change of one step
  std::size_t date_end_ = 0;  // where the last record's date ends
};

// The scan tier against the general tier: every record it converts must
// come out the same.
void check_scan(const kw::DateOffsets& offsets, Counts& counts, const std::string& line) {
  kw::test::HeldRecord held(line);
  char got[kw::kOutputRoom];
  char want[kw::kOutputRoom];
  ++counts.checked;
  kw::DateZone got_zone{};
  const kw::Converted scanned = kw::scan_alone(held.text(), offsets, got, got_zone);
  if (scanned == kw::Converted::undecided) return;
  ++counts.decided;
  kw::ReadStatus status = kw::ReadStatus::ok;
  kw::DateZone want_zone{};
  if ((kw::convert_generally(held.slot(), offsets, want, status, want_zone) != scanned ||
       std::memcmp(got, want, kw::kOutputWidth) != 0 || got_zone != want_zone) &&
      ++counts.failures <= 20) {
    std::printf("SCAN MISMATCH \"%.38s\": \"%.36s\" want \"%.36s\"\n", line.c_str(), got, want);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t values = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 2'000'000;
  const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 20261208;

  Counts edits;
  EditValues edit_values(seed);
  for (std::uint64_t i = 0; i < values; ++i) {
    // The program's fields take most of the values.
    check_field<9, 5>(edits, edit_values.next(5));
    if (i % 2 == 0) check_field<10, 6>(edits, edit_values.next(6));
  }

  // Records of any shape, and of the layouts of real files, with the
  // offsets of the real table and of an odd one.
  Counts any_shape;
  Counts layouts;
  RecordText records(seed);
  LayoutText layout_text(seed);
  const kw::DateOffsets real_offsets(kw::test::shipped_leap_table());
  const kw::DateOffsets odd_offsets(kw::test::odd_leap_table());
  const std::uint64_t record_count = values / 4 + 1;
  for (std::uint64_t i = 0; i < record_count; ++i) {
    const kw::DateOffsets& offsets = i % 4 == 0 ? odd_offsets : real_offsets;
    check_scan(offsets, any_shape, records.next());
    check_scan(offsets, layouts, layout_text.next());
  }

  // Every n / 10^6 that ends in 5, below 1000, as the first value of a
  // record: the scan tier decides these ties from the digits alone.
  Counts ties;
  const std::uint32_t stride = values >= 100'000'000 ? 1 : 37;
  for (std::uint32_t n = 5; n < 1'000'000'000; n += 10 * stride) {
    // "00 01 01 W.ffffff 0.000000 0.000000"
    std::string text = "00 01 01 " + std::to_string(n / 1'000'000) + ".";
    const std::string fraction = std::to_string(1'000'000 + n % 1'000'000);
    text += fraction.substr(1) + " 0.000000 0.000000";
    char scanned[kw::kOutputRoom];
    char want[9];
    const bool fits = kw::edit_field<9, 5>(static_cast<double>(n) / 1e6, want);
    ++ties.checked;
    kw::DateZone zone{};
    const kw::Converted converted =
        kw::scan_alone(kw::test::HeldRecord(text).text(), real_offsets, scanned, zone);
    if (converted == kw::Converted::undecided) {
      if (++ties.failures <= 20) std::printf("TIE NOT CONVERTED %u / 10^6\n", n);
      continue;
    }
    ++ties.decided;
    if ((std::memcmp(scanned + kw::kXField.at, want, sizeof want) != 0 ||
         fits != (converted == kw::Converted::fits)) &&
        ++ties.failures <= 20) {
      std::printf("TIE MISMATCH %u / 10^6: \"%.9s\" want \"%.9s\"\n", n, scanned + kw::kXField.at,
                  want);
    }
  }

  report("editing", "values", "decided by the fast path", edits);
  report("scan tier, any shape", "records", "converted by it", any_shape);
  report("scan tier, layouts of real files", "records", "converted by it", layouts);
  report("ties at the fifth decimal", "values", "converted", ties);
  // A fast path that decides nothing proves nothing.
  const bool enough = edits.decided > edits.checked / 2 &&
                      any_shape.decided > any_shape.checked / 20 &&
                      layouts.decided > layouts.checked / 2 && ties.decided == ties.checked;
  if (!enough) std::printf("too few values went through the fast paths\n");
  const std::uint64_t failures =
      edits.failures + any_shape.failures + layouts.failures + ties.failures;
  return failures == 0 && enough ? 0 : 1;
}
