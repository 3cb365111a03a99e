// Fuzzes the set-file reader: the input is parsed from memory and, when it
// parses, built into a set against a made-up package and photo source. The
// built set must meet every invariant, and its encoding must parse again.
#include <cstdint>
#include <cstdlib>

#include "model/SetFile.h"

namespace {

// Packages and photos decided by the path alone, so the run is repeatable:
// a path "exists" unless it contains '!', a descriptor has (length % 6) slots
// of alternating photo types and cannot be read when its folder contains '?'.
class TMadeUpSource : public tessaro::TSetFileSource {
 public:
  bool FileExists(const std::string& path) const override { return path.find('!') == std::string::npos; }
  std::unique_ptr<tessaro::TTempNode> ReadDescriptor(const std::string& path,
                                                     int templateIndex) const override {
    if (path.find('?') != std::string::npos) return nullptr;
    auto temp = std::make_unique<tessaro::TTempNode>();
    for (size_t i = 0; i < path.size() % 6; ++i) {
      auto slot = std::make_unique<tessaro::TSlotNode>();
      slot->TempIndex = templateIndex;
      slot->PhotoType = static_cast<int32_t>(i % 2);
      temp->Slots.push_back(std::move(slot));
    }
    return temp;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto parsed = tessaro::ParseSetFile(std::span<const uint8_t>(data, size));
  if (!parsed.ok()) return 0;
  TMadeUpSource source;
  auto set = tessaro::BuildSet(*parsed, "fuzz.cys", source);
  if (!tessaro::CheckInvariants(*set).empty()) std::abort();
  auto encoded = tessaro::EncodeSetFile(*set);
  if (!encoded.ok()) std::abort();
  auto again = tessaro::ParseSetFile(*encoded);
  if (!again.ok() || again->PreviewTemps.size() != set->PreviewTemps.size() ||
      again->Photos.size() != set->Photos.size())
    std::abort();
  return 0;
}
