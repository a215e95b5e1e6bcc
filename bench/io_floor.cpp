// The floor under the program's cost: reads a file in blocks of 1 MiB,
// finds each line and writes 38 bytes for it, as the program's output
// records are, and nothing else. The benchmark prints its instructions and
// its time beside the program's.
//
//   kw_io_floor IN OUT
#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: kw_io_floor IN OUT\n", stderr);
    return 2;
  }
  std::FILE* in = std::fopen(argv[1], "rb");
  std::FILE* out = std::fopen(argv[2], "wb");
  if (in == nullptr || out == nullptr) return 1;
  std::vector<char> block(std::size_t{1} << 20);
  std::vector<char> records;
  records.reserve(block.size());
  const char record[38] = "96 01 05  0.12346 -0.01235-29.451350\r";
  std::size_t read = 0;
  while ((read = std::fread(block.data(), 1, block.size(), in)) > 0) {
    records.clear();
    for (const char* p = block.data();
         const void* line_feed =
             std::memchr(p, '\n', static_cast<std::size_t>(block.data() + read - p));) {
      records.insert(records.end(), record, record + 37);
      records.push_back('\n');
      p = static_cast<const char*>(line_feed) + 1;
    }
    if (std::fwrite(records.data(), 1, records.size(), out) != records.size()) return 1;
  }
  return std::fclose(in) == 0 && std::fclose(out) == 0 ? 0 : 1;
}
