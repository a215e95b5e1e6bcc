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
//   python       as a script printing floats writes them,
//                f"{yy} {mm} {dd} {x!r} {y!r} {z!r}": dates without zeros,
//                values to 6 decimals with trailing zeros dropped
//   decimals     "96 01 05 0.1235 -0.01 -29.45135": 1 to 6 decimals at
//                random, no padding
//   mixed        every record in one of the seven layouts above at random
//   fixed3       "96 01 05 0.123 -0.012 -29.451": three decimals
//   fixed5       "96 01 05 0.12346 -0.01235 -29.45135": five decimals
//   indented     " 96  1  5  0.12346 -0.01235 -29.45135": a blank before the
//                year, dates as I3 writes them, five decimals
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

// The shortest text that reads back as `value` rounded to 6 decimals, as
// Python's repr writes a float.
void put_shortest(std::string& out, double value) {
  char text[32];
  const double rounded = std::stod(std::to_string(value));  // "%f": 6 decimals
  const auto result = std::to_chars(text, text + sizeof text, rounded);
  out.append(text, result.ptr);
  if (std::string_view(text, result.ptr).find_first_of(".e") == std::string_view::npos) {
    out += ".0";
  }
}

enum class Dates { zeros, blanks, bare };  // month and day below 10: "05", " 5", "5"
enum class Values { fixed, shortest, random_decimals };

struct Layout {
  const char* name;
  const char* separator;
  Dates dates;
  Values values;
  int decimals;    // of the first two values
  int z_decimals;  // of the third
  int widths[3];   // of the values, 0 for as long as they are
  const char* line_end;
  const char* prefix = "";  // before the year
};

constexpr Layout kLayouts[] = {
    {"single", " ", Dates::zeros, Values::fixed, 6, 6, {0, 0, 0}, "\r\n"},
    {"single_lf", " ", Dates::zeros, Values::fixed, 6, 6, {0, 0, 0}, "\n"},
    {"padded", " ", Dates::zeros, Values::fixed, 6, 6, {9, 9, 10}, "\r\n"},
    {"blank_dates", " ", Dates::blanks, Values::fixed, 6, 6, {0, 0, 0}, "\r\n"},
    {"output", "", Dates::blanks, Values::fixed, 5, 6, {9, 9, 10}, "\r\n"},
    {"commas", ",", Dates::zeros, Values::fixed, 6, 6, {0, 0, 0}, "\r\n"},
    {"tabs", "\t", Dates::zeros, Values::fixed, 6, 6, {0, 0, 0}, "\r\n"},
    {"python", " ", Dates::bare, Values::shortest, 6, 6, {0, 0, 0}, "\n"},
    {"decimals", " ", Dates::zeros, Values::random_decimals, 6, 6, {0, 0, 0}, "\r\n"},
    {"fixed3", " ", Dates::zeros, Values::fixed, 3, 3, {0, 0, 0}, "\r\n"},
    {"fixed5", " ", Dates::zeros, Values::fixed, 5, 5, {0, 0, 0}, "\r\n"},
    {"indented", " ", Dates::blanks, Values::fixed, 5, 5, {8, 8, 9}, "\r\n", " "},
};
constexpr int kFixedLayouts = 7;  // the ones "mixed" draws from

void put_2(std::string& out, int value, Dates dates = Dates::zeros) {
  if (value >= 10 || dates == Dates::zeros) out += static_cast<char>('0' + value / 10);
  if (value < 10 && dates == Dates::blanks) out += ' ';
  out += static_cast<char>('0' + value % 10);
}

}  // namespace

int main(int argc, char** argv) {
  const Layout* layout = &kLayouts[0];
  const bool mixed = argc == 3 && std::strcmp(argv[2], "mixed") == 0;
  if (argc == 3 && !mixed) {
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
  Lcg random;
  Lcg choice;
  int year = 1962;
  int month = 1;
  int day = 1;
  double x = 0.17;
  double y = 0.48;
  double z = -29.45;
  std::string out;
  out.reserve(1 << 20);
  for (long long i = 0; i < count; ++i) {
    if (mixed) {
      const auto pick = static_cast<int>((choice.next() + 1.0) * kFixedLayouts / 2.0);
      layout = &kLayouts[pick < kFixedLayouts ? pick : kFixedLayouts - 1];
    }
    // The program's output layout: I3 fields, a blank before the month and
    // the day, and no separator of its own.
    const bool output = std::strcmp(layout->name, "output") == 0;
    const char* separator = output ? " " : layout->separator;
    out += layout->prefix;
    put_2(out, year % 100, Dates::zeros);
    out += separator;
    put_2(out, month, layout->dates);
    out += separator;
    put_2(out, day, layout->dates);
    // Read back, the third value is a converted one: UT1-UTC, below 1 s.
    const double values[3] = {x, y, output ? z + 30.0 : z};
    for (int k = 0; k < 3; ++k) {
      out += layout->separator;
      if (layout->values == Values::shortest) {
        put_shortest(out, values[k]);
      } else if (layout->values == Values::random_decimals) {
        put_fixed(out, values[k], 1 + static_cast<int>((choice.next() + 1.0) * 2.99));
      } else {
        put_fixed(out, values[k], k < 2 ? layout->decimals : layout->z_decimals, layout->widths[k]);
      }
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
