// Fuzz entry point for the template authoring description: any text must
// give a checked description or a list of located mistakes, never a crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/pack/Description.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  tessaro::authoring::TCheckedDescription checked =
      tessaro::authoring::ParseDescription(text, "/nonexistent-folder", false);
  for (const auto& error : checked.Errors) {
    std::string line = tessaro::authoring::FormatError("fuzz.json", error);
    if (line.empty()) __builtin_trap();
  }
  return 0;
}
