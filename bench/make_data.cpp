// Writes N daily data records to standard output, in the layout of the
// real data files: "96 01 05 0.123456 -0.012345 -29.451350" and CR LF.
// The dates run day by day from 1 January 1962 to 31 December 2049 and
// start again; the values drift slowly like real daily series.
//
//   kw_make_data N > KW_PVZ.DAT
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

void put_fixed(std::string& out, double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
  out.append(text, result.ptr);
}

void put_2(std::string& out, int value) {
  out += static_cast<char>('0' + value / 10);
  out += static_cast<char>('0' + value % 10);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: kw_make_data N > file\n", stderr);
    return 2;
  }
  const long long count = std::strtoll(argv[1], nullptr, 10);
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
    put_2(out, year % 100);
    out += ' ';
    put_2(out, month);
    out += ' ';
    put_2(out, day);
    out += ' ';
    put_fixed(out, x);
    out += ' ';
    put_fixed(out, y);
    out += ' ';
    put_fixed(out, z);
    out += "\r\n";
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
