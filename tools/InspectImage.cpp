#include <cstdio>

#include "tools/Commands.h"

namespace tessaro::cli {

static int NotYet(const std::string& what) {
  std::fprintf(stderr, "tessaro-cli: %s: not available in this build yet\n", what.c_str());
  return 2;
}

int InspectImage(const std::string& path) { return NotYet("inspect " + path); }

}  // namespace tessaro::cli
