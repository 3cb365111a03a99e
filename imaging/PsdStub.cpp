// Stand-in until the layered-document reader and writer land.
#include "imaging/Psd.h"

namespace tessaro {

Result<PsdInfo> ProbePsd(std::span<const uint8_t>) { return Status::Error("PSD support not built"); }
Result<PsdDocument> ReadPsd(std::span<const uint8_t>, const PsdReadOptions&) {
  return Status::Error("PSD support not built");
}
Result<std::vector<uint8_t>> WritePsd(const PsdDocument&) { return Status::Error("PSD support not built"); }

}  // namespace tessaro
