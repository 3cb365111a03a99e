// Fuzz entry point of the layered-document reader: probe, then read
// everything. Any input must give a value, never a crash or an over-read.
#include <cstddef>
#include <cstdint>
#include <span>

#include "imaging/psd/Psd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  (void)tessaro::ProbePsd(bytes);
  auto doc = tessaro::ReadPsd(bytes);
  if (doc.ok() && doc->width <= 256 && doc->height <= 256) {
    // What was read must be writable again.
    (void)tessaro::WritePsd(*doc);
  }
  return 0;
}
