#include "testing/Corpus.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace tessaro::test {

const std::string& CorpusRoot() {
  // The environment may point a run elsewhere (or nowhere, to see what a
  // missing corpus does).
  static const std::string root = [] {
    const char* env = std::getenv("TESSARO_CORPUS_DIR");
    return std::string(env && *env ? env : TESSARO_CORPUS_DIR);
  }();
  return root;
}

std::string CorpusPath(const std::string& relative) {
  return relative.empty() ? CorpusRoot() : CorpusRoot() + "/" + relative;
}

bool CorpusAvailable() { return std::filesystem::is_directory(CorpusRoot()); }

bool CorpusRequired() {
#ifdef TESSARO_REQUIRE_CORPUS
  return true;
#else
  const char* ci = std::getenv("CI");
  return ci != nullptr && (std::strcmp(ci, "true") == 0 || std::strcmp(ci, "1") == 0);
#endif
}

std::vector<std::string> CorpusFiles(const std::string& folder) {
  std::vector<std::string> out;
  std::error_code ec;
  const std::filesystem::path root(CorpusRoot());
  for (auto it = std::filesystem::recursive_directory_iterator(root / folder, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    if (it->is_regular_file()) out.push_back(std::filesystem::relative(it->path(), root).string());
  std::sort(out.begin(), out.end());
  return out;
}

// One case per test program that uses the corpus, so that its absence is
// seen even where every corpus case is generated from its listing.
TEST(Corpus, IsPresent) {
  TESSARO_NEED_CORPUS();
  EXPECT_FALSE(CorpusFiles("").empty()) << CorpusRoot() << " is empty";
}

}  // namespace tessaro::test
