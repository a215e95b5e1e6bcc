// Checks the fast paths of reading and editing numbers against independent
// exact methods, on random and adversarial values:
//
//   editing  fixed_fast::edit (the program's three fields, and every width
//            and decimal count the general editor's fast path takes) against
//            a field built here from std::to_chars, which rounds the exact
//            binary value, ties to even;
//   reading  the exact-decimal tier's reader against the general reader
//            (whose reals come from std::from_chars) on generated records:
//            every record it accepts must give the same bits;
//   records  the exact-decimal tier's editor, which edits from the decimals
//            as written, against the doubles edited by the general editor,
//            an offset added to the third value.
//   layouts  the layout tier against the general reader and editor, on
//            records of every layout it learns (blanks, tabs, commas,
//            padded columns, dates of one or two digits) and of layouts
//            one step from them; and at every decimal tie of 6 decimals
//            below 1000 (in the long run; a sample otherwise), its rounding
//            of the fifth decimal against the general editor of the double.
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

#include "conversion/tiers/decimal_tier.h"
#include "conversion/tiers/layout_tier.h"
#include "conversion/tiers/record_tiers.h"
#include "records/data_record.h"
#include "records/field_edit.h"
#include "records/fixed_fast.h"
#include "support/bits.h"
#include "support/oracles.h"
#include "support/test_offsets.h"
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
      for (int i = 0; i < 3; ++i) text += std::string(1, ' ') + digit() + digit();
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
// blank, a digit more or less) that the layout tier must refuse or read
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
    // Now and then fewer decimals, as a value cut at column 38 has.
    if (pick(4) == 0) fraction.resize(1 + pick(6));
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

// The record as the general reader and editor convert it, the offset of
// its date added to the third value: false when it does not read.
bool general_conversion(const std::string& slot, char* out, bool& fits, double& offset) {
  kw::DataRecord full{};
  if (kw::parse_data_record(std::string_view(slot.data(), kw::kParsedColumns), full) !=
      kw::ReadStatus::ok) {
    return false;
  }
  offset = kw::test::test_offset(full.idate[0], full.idate[1], full.idate[2]);
  full.xval[2] = full.xval[2] + offset;
  fits = kw::edit_output_record(full, out);
  return true;
}

// The layout tier against the general reader and editor: every record it
// converts must come out the same.
void check_layout(kw::LayoutTier& tier, const kw::DateOffsets& seconds_by_date, Counts& counts,
                  const std::string& slot) {
  char want[kw::kOutputWidth];
  bool fits = false;
  char got[kw::kOutputWidth + 2];
  ++counts.checked;
  if (!tier.convert(slot.data(), seconds_by_date, got)) return;
  ++counts.decided;
  double offset = 0.0;
  if ((!general_conversion(slot, want, fits, offset) || !fits ||
       std::memcmp(got, want, sizeof want) != 0) &&
      ++counts.failures <= 20) {
    std::printf("LAYOUT MISMATCH \"%s\" + %.17g: \"%.36s\" want \"%.36s\"\n", slot.c_str(), offset,
                got, want);
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

  Counts reads;
  Counts records_edited;
  RecordText records(seed);
  std::mt19937_64 offsets(seed);
  const std::uint64_t record_count = values / 4 + 1;
  for (std::uint64_t i = 0; i < record_count; ++i) {
    // The fast parse reads a slot: the 38 columns, then blanks.
    std::string slot = records.next();
    slot.resize(kw::kSlotWidth, ' ');
    const std::string_view columns(slot.data(), kw::kParsedColumns);
    kw::DecimalRecord fast{};
    ++reads.checked;
    if (!kw::read_decimal_record(slot.data(), fast)) continue;
    ++reads.decided;
    kw::DataRecord full{};
    const bool agree = kw::parse_data_record(columns, full) == kw::ReadStatus::ok &&
                       fast.idate == full.idate &&
                       kw::test::same_bits(fast.xval[0].to_double(), full.xval[0]) &&
                       kw::test::same_bits(fast.xval[1].to_double(), full.xval[1]) &&
                       kw::test::same_bits(fast.xval[2].to_double(), full.xval[2]);
    if (!agree && ++reads.failures <= 20) {
      std::printf("READ MISMATCH \"%s\"\n", std::string(columns).c_str());
      continue;
    }

    // The record edited from its decimals against the doubles edited, the
    // offset added: mostly whole seconds, now and then a fraction.
    const std::uint64_t pick = offsets();
    auto offset = static_cast<double>(static_cast<int>(pick % 80) - 20);
    if (pick % 7 == 0) offset += static_cast<double>(pick >> 40) * 0x1p-24;
    if (pick % 11 == 0) offset = static_cast<double>(static_cast<std::int64_t>(pick >> 40)) - 8e6;
    char fast_out[kw::kOutputWidth];
    bool fast_fits = false;
    ++records_edited.checked;
    if (!kw::edit_decimal_record(fast, offset, fast_out, fast_fits)) continue;
    ++records_edited.decided;
    full.xval[2] = full.xval[2] + offset;
    char full_out[kw::kOutputWidth];
    const bool full_fits = kw::edit_output_record(full, full_out);
    if ((std::memcmp(fast_out, full_out, sizeof fast_out) != 0 || fast_fits != full_fits) &&
        ++records_edited.failures <= 20) {
      std::printf("RECORD MISMATCH \"%s\" + %.17g: \"%.36s\" want \"%.36s\"\n",
                  std::string(columns).c_str(), offset, fast_out, full_out);
    }
  }

  Counts layouts;
  LayoutText layout_text(seed);
  kw::LayoutTier layout_tier;
  const kw::DateOffsets seconds_by_date(kw::test::test_offset);
  for (std::uint64_t i = 0; i < record_count; ++i) {
    check_layout(layout_tier, seconds_by_date, layouts, layout_text.next());
  }

  // Every n / 10^6 that ends in 5, below 1000, as the first value of a
  // record: the layout tier decides these ties from the digits alone.
  Counts ties;
  const kw::DateOffsets no_offsets([](std::int32_t, std::int32_t, std::int32_t) { return 0.0; });
  kw::LayoutTier tie_tier;
  const std::uint32_t stride = values >= 100'000'000 ? 1 : 37;
  for (std::uint32_t n = 5; n < 1'000'000'000; n += 10 * stride) {
    // "00 01 01 W.ffffff 0.000000 0.000000", then blanks.
    char text[kw::kSlotWidth];
    std::memset(text, ' ', sizeof text);
    const std::string_view date = "00 01 01 ";
    date.copy(text, date.size());
    char* end = std::to_chars(text + 9, text + 20, n / 1'000'000).ptr;
    *end++ = '.';
    for (std::uint32_t fraction = n % 1'000'000, unit = 100'000; unit != 0; unit /= 10) {
      *end++ = static_cast<char>('0' + fraction / unit % 10);
    }
    const std::string_view rest = " 0.000000 0.000000";
    rest.copy(end, rest.size());
    char tier_out[kw::kOutputWidth + 2];
    char want[9];
    const bool fits = kw::edit_field<9, 5>(static_cast<double>(n) / 1e6, want);
    ++ties.checked;
    // The path leaves only a field that does not fit (999.999995) to the
    // general editor.
    if (!tie_tier.convert(text, no_offsets, tier_out)) {
      if (fits && ++ties.failures <= 20) std::printf("TIE NOT CONVERTED %u / 10^6\n", n);
      continue;
    }
    ++ties.decided;
    if (std::memcmp(tier_out + 8, want, sizeof want) != 0 && ++ties.failures <= 20) {
      std::printf("TIE MISMATCH %u / 10^6: \"%.9s\" want \"%.9s\"\n", n, tier_out + 8, want);
    }
  }

  report("editing", "values", "decided by the fast path", edits);
  report("reading", "records", "taken by the fast path", reads);
  report("records edited from decimals", "records", "decided by the fast path", records_edited);
  report("layout tier", "records", "converted by it", layouts);
  report("ties at the fifth decimal", "values", "converted", ties);
  // A fast path that decides nothing proves nothing.
  const bool enough = edits.decided > edits.checked / 2 && reads.decided > reads.checked / 20 &&
                      records_edited.decided > records_edited.checked / 4 &&
                      layouts.decided > layouts.checked / 5 && ties.decided + 1 >= ties.checked;
  if (!enough) std::printf("too few values went through the fast paths\n");
  const std::uint64_t failures =
      edits.failures + reads.failures + records_edited.failures + layouts.failures + ties.failures;
  return failures == 0 && enough ? 0 : 1;
}
