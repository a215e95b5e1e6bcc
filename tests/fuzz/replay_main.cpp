// Runs a fuzz target on the files of its corpus, without libFuzzer, so that
// the corpus runs as an ordinary test:
//
//   kw_fuzz_replay_<target> FILE_OR_DIRECTORY...
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
  return LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  // A target may change the current directory: resolve every name first.
  std::vector<std::filesystem::path> paths;
  for (int i = 1; i < argc; ++i) paths.push_back(std::filesystem::absolute(argv[i]));
  int files = 0;
  for (const auto& path : paths) {
    if (std::filesystem::is_directory(path)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
        if (!entry.is_regular_file()) continue;
        replay(entry.path());
        ++files;
      }
    } else {
      replay(path);
      ++files;
    }
  }
  std::printf("%d inputs replayed\n", files);
  return files > 0 ? 0 : 1;  // an empty corpus proves nothing
}
