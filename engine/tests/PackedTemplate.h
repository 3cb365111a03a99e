// Template packages made for a test by the command-line tool, as the build
// packs the demo library.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/FileIo.h"

namespace tessaro::enginetest {

// Writes `description` (the authoring JSON) beside `package` and packs it
// into that folder.
inline ::testing::AssertionResult PackTemplate(const std::string& description,
                                               const std::filesystem::path& package) {
  const std::filesystem::path json = package.parent_path() / (package.filename().string() + ".json");
  std::filesystem::create_directories(package.parent_path());
  if (!WriteFileAtomic(json.string(), description).ok())
    return ::testing::AssertionFailure() << "cannot write " << json;
  const std::string command = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-cli pack '" + json.string() +
                              "' '" + package.string() + "' > /dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return ::testing::AssertionFailure() << "failed: " << command;
  return ::testing::AssertionSuccess();
}

}  // namespace tessaro::enginetest
