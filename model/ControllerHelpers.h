// Helpers shared by the controller's implementation files (model/Controller*.cpp);
// not part of the controller's interface.
#pragma once

#include <cstdint>
#include <string>

#include "base/Text.h"
#include "model/func.h"

namespace tessaro::controller {

inline bool HasFileName(const std::string& fileName) { return !Trim(fileName).empty(); }

inline std::string TemplateCaption(const std::string& folder, int32_t unit, float height) {
  return LastPathPart(folder) + SizeCaption(unit, height);
}

}  // namespace tessaro::controller
