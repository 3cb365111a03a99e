// Fuzzes the descriptor reader: the input is parsed as a deciphered body and
// also deciphered and parsed as a whole descriptor file. A body that parses
// must encode and parse again to the same template.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "model/Package.h"

namespace {

bool SameFloat(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool SameTemplate(const tessaro::TTempNode& a, const tessaro::TTempNode& b) {
  if (a.HeaderValue != b.HeaderValue || a.Spread != b.Spread || a.Slots.size() != b.Slots.size() ||
      a.Placements.size() != b.Placements.size())
    return false;
  for (size_t i = 0; i < a.Slots.size(); ++i) {
    const auto& x = *a.Slots[i];
    const auto& y = *b.Slots[i];
    if (x.PhotoType != y.PhotoType || x.TempIndex != y.TempIndex || x.Effects.size() != y.Effects.size())
      return false;
    for (size_t e = 0; e < x.Effects.size(); ++e) {
      if (x.Effects[e]->Kind != y.Effects[e]->Kind ||
          x.Effects[e]->Params.size() != y.Effects[e]->Params.size())
        return false;
      for (size_t p = 0; p < x.Effects[e]->Params.size(); ++p)
        if (!SameFloat(x.Effects[e]->Params[p], y.Effects[e]->Params[p])) return false;
    }
  }
  for (size_t i = 0; i < a.Placements.size(); ++i) {
    const auto& x = *a.Placements[i];
    const auto& y = *b.Placements[i];
    if (x.SlotNumber != y.SlotNumber || x.ChannelName != y.ChannelName ||
        !SameFloat(x.Rect.Left, y.Rect.Left) || !SameFloat(x.Rect.Top, y.Rect.Top) ||
        !SameFloat(x.Rect.Right, y.Rect.Right) || !SameFloat(x.Rect.Bottom, y.Rect.Bottom))
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  auto parsed = tessaro::ParseDescriptorBody(bytes, 3);
  if (parsed.ok()) {
    std::vector<uint8_t> body = tessaro::EncodeDescriptorBody(**parsed);
    if (body.size() % 8 != 0) std::abort();
    auto again = tessaro::ParseDescriptorBody(body, 3);
    if (!again.ok() || !SameTemplate(**parsed, **again)) std::abort();
  }
  (void)tessaro::DecodeDescriptor(bytes, 0);
  return 0;
}
