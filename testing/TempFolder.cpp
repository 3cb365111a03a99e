#include "testing/TempFolder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace tessaro::test {

TempFolder::TempFolder(std::string_view prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "cannot make a temporary folder from " << pattern;
    return;
  }
  FPath = pattern;
}

TempFolder::~TempFolder() {
  if (FPath.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(FPath, ec);
}

std::string TempFolder::File(std::string_view name) const { return FPath + "/" + std::string(name); }

std::string TempFolder::Write(std::string_view name, const std::vector<uint8_t>& bytes) const {
  const std::filesystem::path path = File(name);
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  out.close();
  EXPECT_TRUE(out.good()) << "cannot write " << path;
  return path.string();
}

std::string TempFolder::Write(std::string_view name, std::string_view text) const {
  return Write(name, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> TempFolder::Read(std::string_view name) const { return ReadBytes(File(name)); }

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace tessaro::test
