// Runs a fuzz entry point once over every file named on the command line,
// descending into folders, so that the corpora of malformed inputs run in the
// normal test suite (and under the sanitizer build) without libFuzzer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
int RunFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // A copy in its own allocation so that sanitizers see over-reads exactly.
  std::vector<uint8_t> exact(bytes.begin(), bytes.end());
  LLVMFuzzerTestOneInput(exact.empty() ? nullptr : exact.data(), exact.size());
  return 1;
}
}  // namespace

int main(int argc, char** argv) {
  int files = 0;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path p(argv[i]);
    std::error_code ec;
    if (std::filesystem::is_directory(p, ec)) {
      std::vector<std::filesystem::path> all;
      for (auto& e : std::filesystem::recursive_directory_iterator(p, ec))
        if (e.is_regular_file()) all.push_back(e.path());
      std::sort(all.begin(), all.end());
      for (auto& f : all) files += RunFile(f);
    } else if (std::filesystem::is_regular_file(p, ec)) {
      files += RunFile(p);
    } else {
      std::fprintf(stderr, "no such corpus: %s\n", argv[i]);
      return 1;
    }
  }
  std::printf("ran %d inputs\n", files);
  return files > 0 ? 0 : 1;
}
