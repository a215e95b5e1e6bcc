// The floor under the program's cost: reads a file in blocks of 1 MiB,
// finds each line and writes 38 bytes for it, as the program's output
// records are, and nothing else. Its files go through the program's own
// file layer and are used as the program uses its output: written over
// from the start, cut after the first block written (so that the old
// contents go as the program's do), never cut at open. The benchmark prints
// its instructions and its time beside the program's.
//
// With --copy it writes each block as it was read: a copy of the same
// bytes that replaces the old contents as the program does, the program's
// like-for-like copy.
//
//   kw_io_floor [--copy] IN OUT
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"

int main(int argc, char** argv) {
  const bool copy = argc == 4 && std::string_view(argv[1]) == "--copy";
  if (argc != 3 && !copy) {
    std::fputs("usage: kw_io_floor [--copy] IN OUT\n", stderr);
    return 2;
  }
  const char* const in_name = argv[argc - 2];
  const char* const out_name = argv[argc - 1];
  kw::os::OpenError error = kw::os::OpenError::none;
  std::string why;
  kw::os::File in = kw::os::File::open_to_read(in_name, error, why);
  kw::os::File out = kw::os::File::open(out_name, kw::os::Use::output, error, why);
  if (!in.is_open() || !out.is_open() || !out.writable()) {
    std::fprintf(stderr, "kw_io_floor: %s\n", why.c_str());
    return 1;
  }
  std::vector<char> block(std::size_t{1} << 20);
  std::vector<char> records;
  records.reserve(block.size());
  const char record[38] = "96 01 05  0.12346 -0.01235-29.451350\r";
  bool cut = false;
  for (;;) {
    const std::ptrdiff_t read = in.read(block.data(), block.size());
    if (read < 0) return 1;
    if (read == 0) break;
    const char* const end = block.data() + read;
    records.clear();
    for (const char* p = block.data(); !copy;) {
      const void* line_feed = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
      if (line_feed == nullptr) break;
      records.insert(records.end(), record, record + 37);
      records.push_back('\n');
      p = static_cast<const char*>(line_feed) + 1;
    }
    const std::string_view bytes =
        copy ? std::string_view(block.data(), static_cast<std::size_t>(read))
             : std::string_view(records.data(), records.size());
    std::size_t written = 0;
    if (!out.write(bytes, written)) return 1;
    if (!cut && !bytes.empty()) {
      if (!out.cut_here()) return 1;
      cut = true;
    }
  }
  return out.close() && in.close() ? 0 : 1;
}
