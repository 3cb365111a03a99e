// Template packages made for a test by the command-line tool, as the build
// packs the demo library.
#pragma once

#include <gtest/gtest.h>

#include <array>
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

// The description of a page with one opaque slot on the authoring page
// (2100 x 3000 at 72 ppi): its placement on `channel` at `rect` (left, top,
// right, bottom), the result version made from the preview at the size and
// resolution given.
inline std::string OneSlotDescription(const std::string& background, const std::string& channel,
                                      const std::array<int, 4>& rect, int resultWidth, int resultHeight,
                                      int resultResolution) {
  const auto n = [](int v) { return std::to_string(v); };
  return R"({"spread": false, "header": 1, "slots": [{"type": "opaque"}],
  "preview": {"width": 2100, "height": 3000, "resolution": 72, "background": {"color": ")" +
         background + R"("}, "placements": [{"slot": 1, "channel": ")" + channel + R"(", "rect": [)" +
         n(rect[0]) + ", " + n(rect[1]) + ", " + n(rect[2]) + ", " + n(rect[3]) + R"(]}]},
  "result": {"from": "preview", "width": )" +
         n(resultWidth) + R"(, "height": )" + n(resultHeight) + R"(, "resolution": )" + n(resultResolution) +
         "}}\n";
}

}  // namespace tessaro::enginetest
