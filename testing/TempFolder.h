// A private temporary folder for one test: made under the system's
// temporary folder (mode 0700, by mkdtemp) and removed with everything in it
// when the object goes. Not copyable; one per test or fixture.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro::test {

class TempFolder {
 public:
  // `prefix` names the folder (/tmp/PREFIX-XXXXXX) so that a leftover one
  // tells which tests made it.
  explicit TempFolder(std::string_view prefix = "tessaro-test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder, without a trailing separator.
  const std::string& Path() const { return FPath; }
  // The path of `name` inside the folder (not created).
  std::string File(std::string_view name) const;
  std::string operator/(std::string_view name) const { return File(name); }

  // Writes `name` (making the folders on its way) and returns its path; a
  // failed write fails the current test.
  std::string Write(std::string_view name, const std::vector<uint8_t>& bytes) const;
  std::string Write(std::string_view name, std::string_view text) const;
  // The bytes of `name`, empty when it cannot be read.
  std::vector<uint8_t> Read(std::string_view name) const;

 private:
  std::string FPath;
};

// The whole of a file, empty when it cannot be read.
std::vector<uint8_t> ReadBytes(const std::string& path);

}  // namespace tessaro::test
