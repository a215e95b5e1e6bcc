// Writes N daily data records to standard output, in one of the layouts
// real data files have:
//
//   single       "96 01 05 0.123456 -0.012345 -29.451350" and CR LF (default)
//   single_lf    the same with LF
//   padded       "96 01 05  0.123456 -0.012345 -29.451350": columns of equal
//                width, two blanks before an unsigned value
//   blank_dates  "96  1  5 0.123456 ...": month and day as I3 writes them
//   output       the program's own output layout read back (I2.2, 2I3.2,
//                2F9.5, F10.6)
//   commas       "96,01,05,0.123456,-0.012345,-29.451350"
//   tabs         the same with tabs
//
// The dates run day by day from 1 January 1962 to 31 December 2049 and
// start again; the values drift slowly like real daily series.
//
//   kw_make_data N [LAYOUT] > KW_PVZ.DAT
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

bool is_leap(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap(year) ? 29 : kDays[month - 1];
}

// A small deterministic generator, the same on every machine.
struct Lcg {
  std::uint64_t state = 0x2545F4914F6CDD1DULL;
  // Uniform in [-1, 1).
  double next() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state >> 11) * 0x1.0p-52 - 1.0;
  }
};

// `value` with `decimals` decimals, right-justified in `width` columns
// (0: as long as it is).
void put_fixed(std::string& out, double value, int decimals = 6, int width = 0) {
  char text[32];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  const auto length = static_cast<int>(result.ptr - text);
  if (width > length) out.append(static_cast<std::size_t>(width - length), ' ');
  out.append(text, result.ptr);
}

struct Layout {
  const char* name;
  const char* separator;
  bool blank_dates;  // month and day padded with a blank, not a zero
  int decimals;      // of the first two values
  int widths[3];     // of the values, 0 for as long as they are
  const char* line_end;
};

constexpr Layout kLayouts[] = {
    {"single", " ", false, 6, {0, 0, 0}, "\r\n"},  {"single_lf", " ", false, 6, {0, 0, 0}, "\n"},
    {"padded", " ", false, 6, {9, 9, 10}, "\r\n"}, {"blank_dates", " ", true, 6, {0, 0, 0}, "\r\n"},
    {"output", "", true, 5, {9, 9, 10}, "\r\n"},   {"commas", ",", false, 6, {0, 0, 0}, "\r\n"},
    {"tabs", "\t", false, 6, {0, 0, 0}, "\r\n"},
};

void put_2(std::string& out, int value, bool blank_padded = false) {
  out += value < 10 && blank_padded ? ' ' : static_cast<char>('0' + value / 10);
  out += static_cast<char>('0' + value % 10);
}

}  // namespace

int main(int argc, char** argv) {
  const Layout* layout = &kLayouts[0];
  if (argc == 3) {
    layout = nullptr;
    for (const Layout& candidate : kLayouts) {
      if (std::strcmp(argv[2], candidate.name) == 0) layout = &candidate;
    }
  }
  if ((argc != 2 && argc != 3) || layout == nullptr) {
    std::fputs("usage: kw_make_data N [LAYOUT] > file\n", stderr);
    return 2;
  }
  const long long count = std::strtoll(argv[1], nullptr, 10);
  // The program's output layout: I3 fields, a blank before the month and
  // the day, and no separator of its own.
  const bool output = std::strcmp(layout->name, "output") == 0;
  Lcg random;
  int year = 1962;
  int month = 1;
  int day = 1;
  double x = 0.17;
  double y = 0.48;
  double z = -29.45;
  std::string out;
  out.reserve(1 << 20);
  for (long long i = 0; i < count; ++i) {
    const char* separator = output ? " " : layout->separator;
    put_2(out, year % 100);
    out += separator;
    put_2(out, month, layout->blank_dates && !output);
    out += separator;
    put_2(out, day, layout->blank_dates && !output);
    // Read back, the third value is a converted one: UT1-UTC, below 1 s.
    const double values[3] = {x, y, output ? z + 30.0 : z};
    for (int k = 0; k < 3; ++k) {
      out += layout->separator;
      put_fixed(out, values[k], k < 2 ? layout->decimals : 6, layout->widths[k]);
    }
    out += layout->line_end;
    if (out.size() > (1 << 20) - 64) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
    x += 0.002 * random.next();
    y += 0.002 * random.next();
    z += 0.0015 * random.next();
    if (x > 0.6 || x < -0.6) x *= 0.9;
    if (y > 0.9 || y < -0.2) y *= 0.9;
    if (z > 0.9 || z < -40.0) z = -20.0;
    if (++day > days_in(year, month)) {
      day = 1;
      if (++month > 12) {
        month = 1;
        if (++year > 2049) year = 1962;
      }
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
