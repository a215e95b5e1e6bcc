// Each vector kernel against its plain peer, on the inputs that decide
// them: the block classifiers on bytes of every kind, the place of a date
// in the table of offsets, and the F9.5 text editor on reals of every form
// the records hold.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "conversion/tiers/block_masks.h"
#include "conversion/tiers/field_text.h"
#include "conversion/tiers/scan_stages.h"
#include "conversion/tiers/scan_tier.h"
#include "conversion/tiers/simd.h"
#include "records/data_record.h"
#include "records/field_edit.h"

namespace kw {
namespace {

// A block's bit arrays, each of kChunks words and one more.
struct HeldMasks {
  static constexpr std::size_t kChunks = 8;
  std::uint64_t bits[6][kChunks + 1] = {};
  BlockMasks block() { return {bits[0], bits[1], bits[2], bits[3], bits[4], bits[5]}; }
};

std::vector<std::pair<const char*, BlockClassifier>> vector_classifiers() {
  std::vector<std::pair<const char*, BlockClassifier>> kernels;
#ifdef KW_SSE2
  kernels.emplace_back("sse2", &classify_sse2);
#endif
  return kernels;
}

// Blocks of the bytes of records, mostly, and of any bytes.
TEST(BlockClassifiers, GiveThePlainLoopsMasks) {
  const auto kernels = vector_classifiers();
  if (kernels.empty()) GTEST_SKIP() << "no vector kernel on this processor";
  std::mt19937 random(20261209);
  const std::string alphabets[] = {" 0123456789-.\n", " 0123456789-.,\t\r\n+/eE", ""};
  for (int round = 0; round < 3000; ++round) {
    const std::string& alphabet = alphabets[round % 3];
    char text[HeldMasks::kChunks * kChunkBytes];
    for (char& c : text) {
      const auto pick = static_cast<unsigned>(random());
      c = alphabet.empty() ? static_cast<char>(pick) : alphabet[pick % alphabet.size()];
    }
    HeldMasks want;
    classify_plainly(text, HeldMasks::kChunks, want.block());
    for (const auto& [name, classify] : kernels) {
      HeldMasks got;
      classify(text, HeldMasks::kChunks, got.block());
      ASSERT_EQ(std::memcmp(got.bits, want.bits, sizeof got.bits), 0) << name;
    }
  }
}

// A window at any byte holds the masks of the bytes from there.
TEST(BlockClassifiers, WindowsStartAtAnyByte) {
  char text[HeldMasks::kChunks * kChunkBytes];
  for (std::size_t i = 0; i < sizeof text; ++i) text[i] = "0 .-,x\n+\t"[i * 7 % 11 % 9];
  HeldMasks block;
  classify_plainly(text, HeldMasks::kChunks, block.block());
  for (std::size_t offset = 0; offset + kChunkBytes <= sizeof text; ++offset) {
    HeldMasks own;
    classify_plainly(text + offset, 1, own.block());
    const RecordMasks got = masks_at(block.block(), offset);
    const std::uint64_t held = bits_below(kWindowBits);
    for (int k = 0; k < kByteClasses; ++k) {
      ASSERT_EQ(got.bits[k] & held, own.bits[k][0] & held) << offset << " " << k;
    }
  }
}

std::uint32_t two_digits(std::uint32_t n) {
  return static_cast<std::uint32_t>('0' + n / 10) | static_cast<std::uint32_t>('0' + n % 10) << 8;
}

// Every date a table of offsets has a place for, from its fields as the
// scan tier writes them; the dates of one or two digits at any places.
TEST(DatePlaces, AreThoseOfTheirNumbers) {
  for (std::uint32_t yy = 0; yy < 100; ++yy) {
    for (std::uint32_t mm = 0; mm < 16; ++mm) {
      for (std::uint32_t dd = 0; dd < 32; ++dd) {
        const std::uint64_t values =
            scan::date_values(scan::date_fields(two_digits(yy), two_digits(mm), two_digits(dd), 7));
        ASSERT_TRUE(scan::has_table_place(values));
        ASSERT_EQ(scan::date_place_plainly(values), DateOffsets::place_of(yy, mm, dd));
      }
    }
  }
  std::mt19937_64 random(20261211);
  for (int round = 0; round < 100000; ++round) {
    std::uint64_t ends = random() & random();
    // At most three: fewer where a record has fewer values.
    while (std::popcount(ends) > 3) ends &= ends - 1;
    const std::uint64_t pairs = random();
    unsigned want = 0;  // the bits of `pairs` at those of `ends`, the lowest first
    std::uint64_t rest = ends;
    for (unsigned k = 0; rest != 0; ++k, rest &= rest - 1) {
      want |= static_cast<unsigned>(pairs >> std::countr_zero(rest) & 1) << k;
    }
    ASSERT_EQ(scan::two_digit_dates_plainly(pairs, ends), want);
  }
}

// A real's text of every form the records hold: a sign or none, 0 to 4
// digits before the point, 0 to 14 decimals, with nines and fives where
// the rounding is decided, often, and at times only zeros or nines after
// the sixth decimal.
std::string real_text(std::mt19937& random) {
  const auto pick = [&random](unsigned n) { return static_cast<unsigned>(random()) % n; };
  const char* const signs[] = {"", "-", "+"};
  std::string value = signs[pick(3)];
  const unsigned whole = pick(5);
  for (unsigned i = 0; i < whole; ++i) value += static_cast<char>('0' + pick(10));
  const unsigned decimals = pick(15);
  value += '.';
  const char tail = pick(3) == 0 ? "09"[pick(2)] : '\0';
  for (unsigned i = 0; i < decimals; ++i) {
    const unsigned kind = pick(4);
    value += i > 5 && tail != '\0' ? tail
             : kind == 0           ? '9'
             : kind == 1 && i == 5 ? '5'
                                   : static_cast<char>('0' + pick(10));
  }
  return value;
}

// The span of the real at `start` of `text`.
RealSpan real_in(const std::string& text, std::size_t start) {
  const std::size_t end = text.find(' ', start) - 1;
  const bool sign = text[start] == '-' || text[start] == '+';
  return {start, text.find('.', start), end, sign};
}

// Records of two reals of any form: what a vector kernel writes, the
// editors of the digits tier write the same way (the plain kernel, then
// the digits).
TEST(TextEditors, GiveThePlainEditorsFields) {
  std::vector<std::pair<const char*, bool (*)(const char*, RealText, RealText, char*)>> kernels;
#ifdef KW_SSE2
  kernels.emplace_back("sse2", [](const char* text, RealText x, RealText y, char* out) {
    return put_pair_sse2(text, x, y, out);
  });
#endif
  if (kernels.empty()) GTEST_SKIP() << "no vector kernel on this processor";
  std::mt19937 random(20261210);
  std::vector<int> written(kernels.size());
  for (int round = 0; round < 200000; ++round) {
    const std::string x = real_text(random);
    const std::string y = real_text(random);
    std::string text = "96 01 05 " + x + " " + y + " -1.5\n7 8 9";
    text.resize(96, ' ');
    const RealSpan x_span = real_in(text, 9);
    const RealSpan y_span = real_in(text, 10 + x.size());
    char want[kOutputWidth + 16];
    std::memset(want, '#', sizeof want);
    const Converted expected = FieldsFromDigits::put_reals(text.data(), x_span, y_span, want);
    for (std::size_t k = 0; k < kernels.size(); ++k) {
      char got[kOutputWidth + 16];
      std::memset(got, '#', sizeof got);
      if (kernels[k].second(text.data(), real_at(text.data(), x_span), real_at(text.data(), y_span),
                            got)) {
        ASSERT_EQ(expected, Converted::fits) << kernels[k].first << " " << text;
        ASSERT_EQ(std::string(got + kXField.at, 18), std::string(want + kXField.at, 18))
            << kernels[k].first << " " << text;
        ++written[k];
      }
    }
  }
  // The records are not all left to the plain editors.
  for (const int count : written) EXPECT_GT(count, 10000);
}

// The third value's field from its text against the general tier's sum
// (the double read from the text plus the offset, edited F10.6), with
// every whole offset the table may hold and ones that flip the sum's sign:
// wherever the text's editor writes the field, it writes those bytes.
TEST(SumFromText, GivesTheDoubleSumsField) {
  std::mt19937 random(20261209);
  const auto pick = [&random](unsigned n) { return static_cast<unsigned>(random()) % n; };
  int written = 0;
  constexpr int kRounds = 300000;
  for (int round = 0; round < kRounds; ++round) {
    std::string z = real_text(random);
    if (pick(3) == 0) {  // a tie at the seventh decimal, or an exact binary one
      const std::size_t point = z.find('.');
      z.resize(point + 1);
      for (int i = 0; i < 6; ++i) z += static_cast<char>('0' + pick(10));
      z += pick(2) == 0 ? "5" : "5000000";
      if (pick(4) == 0) {  // k / 128, k odd: seven decimals, exactly a double
        const unsigned k = pick(128000) | 1;
        const std::string decimals = std::to_string(k % 128 * 78125);
        z = std::to_string(k / 128) + "." + std::string(7 - decimals.size(), '0') + decimals;
      }
    }
    const double value = std::strtod(z.c_str(), nullptr);
    const auto whole = static_cast<std::int32_t>(std::fabs(value));
    const std::int32_t offset =
        pick(2) == 0 ? static_cast<std::int32_t>(pick(2001)) - 1000
                     : (value < 0 ? whole : -whole) + static_cast<std::int32_t>(pick(3)) - 1;
    std::string text = "96 01 05 0.1 0.2 " + z + " \n7 8 9";
    text.resize(96, ' ');
    char got[kOutputRoom + 16];
    if (FieldsFromText<PlainKernels>::put_sum(text.data(), real_in(text, 17), offset, got) !=
        Converted::fits) {
      continue;
    }
    char want[kZField.width];
    ASSERT_TRUE((edit_field<kZField.width, 6>(value + offset, want))) << z << " " << offset;
    ASSERT_EQ(std::string(got + kZField.at, kZField.width), std::string(want, kZField.width))
        << z << " " << offset;
    ++written;
  }
  // Not all are left to the digits' editor (the rest: sums too wide for
  // the field, more than three whole digits).
  EXPECT_GT(written, kRounds / 2);
}

}  // namespace
}  // namespace kw
