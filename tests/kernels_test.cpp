// Each vector kernel against its plain peer, on the inputs that decide
// them: the block classifiers on bytes of every kind, and the F9.5 text
// editor on reals of every form the records hold.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "conversion/tiers/block_masks.h"
#include "conversion/tiers/field_text.h"
#include "records/data_record.h"
#include "records/simd.h"

namespace kw {
namespace {

bool same(const ChunkMasks& a, const ChunkMasks& b) {
  return a.bytes.values == b.bytes.values && a.bytes.points == b.bytes.points &&
         a.bytes.minuses == b.bytes.minuses && a.bytes.commas == b.bytes.commas &&
         a.bytes.others == b.bytes.others && a.line_feeds == b.line_feeds;
}

std::vector<std::pair<const char*, BlockClassifier>> vector_classifiers() {
  std::vector<std::pair<const char*, BlockClassifier>> kernels;
#ifdef KW_SSE2
  kernels.emplace_back("sse2", &classify_sse2);
#endif
#ifdef KW_AVX2
  if (instruction_set() == InstructionSet::avx2) kernels.emplace_back("avx2", &classify_avx2);
#endif
  return kernels;
}

// Blocks of the bytes of records, mostly, and of any bytes.
TEST(BlockClassifiers, GiveThePlainLoopsMasks) {
  const auto kernels = vector_classifiers();
  if (kernels.empty()) GTEST_SKIP() << "no vector kernel on this processor";
  std::mt19937 random(20261209);
  const std::string alphabets[] = {" 0123456789-.\n", " 0123456789-.,\t\r\n+/eE", ""};
  constexpr std::size_t kChunks = 8;
  for (int round = 0; round < 3000; ++round) {
    const std::string& alphabet = alphabets[round % 3];
    char text[kChunks * kChunkBytes];
    for (char& c : text) {
      const auto pick = static_cast<unsigned>(random());
      c = alphabet.empty() ? static_cast<char>(pick) : alphabet[pick % alphabet.size()];
    }
    ChunkMasks want[kChunks];
    classify_plainly(text, kChunks, want);
    for (const auto& [name, classify] : kernels) {
      ChunkMasks got[kChunks];
      classify(text, kChunks, got);
      for (std::size_t k = 0; k < kChunks; ++k) ASSERT_TRUE(same(got[k], want[k])) << name;
    }
  }
}

// Windows across chunks are the masks of the bytes from the offset.
TEST(BlockClassifiers, WindowsStartAtAnyByte) {
  char text[4 * kChunkBytes];
  for (std::size_t i = 0; i < sizeof text; ++i) text[i] = "0 .-,x\n"[i * 7 % 11 % 7];
  ChunkMasks masks[4];
  classify_plainly(text, 4, masks);
  for (std::size_t offset = 0; offset < 2 * kChunkBytes; ++offset) {
    ChunkMasks own[1];
    classify_plainly(text + offset, 1, own);
    const ByteMasks got = masks_at(masks, offset);
    ASSERT_EQ(got.values, own[0].bytes.values) << offset;
    ASSERT_EQ(got.others, own[0].bytes.others) << offset;
    ASSERT_EQ(got.commas, own[0].bytes.commas) << offset;
  }
}

#ifdef KW_SSE2
// A real's text laid as a record holds it: three dates before it, then a
// blank and more values.
struct RealCase {
  std::string text;
  RealText real;
};

RealCase real_case(std::mt19937& random) {
  const auto pick = [&random](unsigned n) { return static_cast<unsigned>(random()) % n; };
  std::string value = pick(2) ? "-" : "";
  const unsigned whole = pick(5);  // 0 to 4 digits before the point
  for (unsigned i = 0; i < whole; ++i) value += static_cast<char>('0' + pick(10));
  const int decimals = static_cast<int>(pick(10)) - 1;  // -1: no point
  if (decimals >= 0) value += '.';
  // Nines and fives where the rounding is decided, often.
  for (int i = 0; i < decimals; ++i) {
    const unsigned kind = pick(4);
    value += kind == 0 ? '9' : kind == 1 && i == 5 ? '5' : static_cast<char>('0' + pick(10));
  }
  RealCase c;
  c.text = "96 01 05 " + value + " 0.25 -1.5\n7 8 9";
  c.text.resize(64, ' ');
  c.real.negative = value[0] == '-';
  c.real.first = static_cast<std::int8_t>(9 + c.real.negative);
  c.real.point = static_cast<std::int8_t>(c.real.first + whole);
  c.real.end = static_cast<std::int8_t>(9 + value.size() - 1);
  return c;
}

TEST(TextEditor, GivesThePlainEditorsField) {
  std::mt19937 random(20261210);
  int fast = 0;
  for (int round = 0; round < 200000; ++round) {
    const RealCase c = real_case(random);
    char want[kOutputWidth + 16];
    char got[kOutputWidth + 16];
    std::memset(want, '#', sizeof want);
    std::memset(got, '#', sizeof got);
    const Converted expected = put_text_plainly<kXField>(c.text.data(), c.real, want);
    const Converted result = put_text_sse2<kXField>(c.text.data(), c.real, got);
    ASSERT_EQ(result, expected) << c.text;
    if (expected == Converted::fits) {
      ASSERT_EQ(std::string(got + kXField.at, 9), std::string(want + kXField.at, 9)) << c.text;
      fast += 1;
    }
  }
  EXPECT_GT(fast, 20000);  // the cases are not all left to the plain editor
}
#endif

}  // namespace
}  // namespace kw
