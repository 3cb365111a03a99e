#include "model/Package.h"

#include <algorithm>
#include <cstring>

#include "base/ByteReader.h"
#include "base/FileIo.h"
#include "base/Text.h"
#include "crypt/Crypt.h"
#include "model/func.h"

namespace tessaro {

namespace {

// A descriptor is a few kilobytes; anything this large is not one.
constexpr uint64_t kMaxDescriptorBytes = 64u << 20;
// Smallest encoded sizes, used to check counts against the bytes left.
constexpr uint64_t kMinSlotBytes = 8;                  // photo type, effect count
constexpr uint64_t kMinEffectBytes = 8;                // kind, parameter count
constexpr uint64_t kPlacementFixedBytes = 4 + 4 + 16;  // after the tag: number, length, rectangle

constexpr int32_t kDecipher = 0;
constexpr int32_t kEncipher = 1;

std::string Nth(const char* what, size_t i) { return std::string(what) + " " + std::to_string(i + 1); }

}  // namespace

Result<std::unique_ptr<TTempNode>> ParseDescriptorBody(std::span<const uint8_t> body, int templateIndex,
                                                       const TDescriptorLimits& limits) {
  ByteReader in(body);
  auto temp = std::make_unique<TTempNode>();
  int32_t slotCount = 0;
  if (!in.I32LE(temp->HeaderValue) || !in.I32LE(temp->Spread) || !in.I32LE(slotCount))
    return Status::Error("body ends inside the header");
  if (slotCount < 0) return Status::Error("negative slot count " + std::to_string(slotCount));
  if (!in.CanHold(static_cast<uint64_t>(slotCount), kMinSlotBytes))
    return Status::Error("slot count " + std::to_string(slotCount) + " is more than the body holds");
  if (slotCount > limits.MaxSlots)
    return Status::Error("slot count " + std::to_string(slotCount) +
                         " is more than a template can show (at most " + std::to_string(limits.MaxSlots) +
                         ")");
  temp->Slots.reserve(static_cast<size_t>(slotCount));
  for (int32_t i = 0; i < slotCount; ++i) {
    auto slot = std::make_unique<TSlotNode>();
    slot->TempIndex = templateIndex;
    int32_t effectCount = 0;
    if (!in.I32LE(slot->PhotoType) || !in.I32LE(effectCount))
      return Status::Error("body ends inside " + Nth("slot", i));
    if (effectCount < 0 || !in.CanHold(static_cast<uint64_t>(effectCount), kMinEffectBytes))
      return Status::Error("effect count " + std::to_string(effectCount) + " of " + Nth("slot", i) +
                           " does not fit the body");
    slot->Effects.reserve(static_cast<size_t>(effectCount));
    for (int32_t e = 0; e < effectCount; ++e) {
      auto effect = std::make_unique<TEffectNode>();
      int32_t paramCount = 0;
      if (!in.I32LE(effect->Kind) || !in.I32LE(paramCount))
        return Status::Error("body ends inside " + Nth("effect", e) + " of " + Nth("slot", i));
      if (paramCount < 0 || !in.CanHold(static_cast<uint64_t>(paramCount), 4))
        return Status::Error("parameter count " + std::to_string(paramCount) + " of " + Nth("effect", e) +
                             " of " + Nth("slot", i) + " does not fit the body");
      effect->Params.resize(static_cast<size_t>(paramCount));
      for (float& p : effect->Params) in.F32LE(p);
      slot->Effects.push_back(std::move(effect));
    }
    temp->Slots.push_back(std::move(slot));
  }

  size_t placementNumber = 0;
  while (in.Remaining() >= 2) {
    uint8_t tag = 0;
    in.U8(tag);
    if (tag != kPlacementTag) break;
    if (placementNumber >= static_cast<size_t>(std::max(limits.MaxPlacements, 0)))
      return Status::Error("more than " + std::to_string(limits.MaxPlacements) +
                           " placements, more than a template can show");
    auto placement = std::make_unique<TPlacement>();
    int32_t nameLength = 0;
    if (!in.CanHold(1, kPlacementFixedBytes) || !in.I32LE(placement->SlotNumber) || !in.I32LE(nameLength))
      return Status::Error("body ends inside " + Nth("placement", placementNumber));
    if (nameLength < 0 || nameLength > kMaxChannelNameBytes)
      return Status::Error("channel name length " + std::to_string(nameLength) + " of " +
                           Nth("placement", placementNumber) + " is outside 0..255");
    std::span<const uint8_t> name;
    if (!in.View(static_cast<size_t>(nameLength), name))
      return Status::Error("body ends inside the channel name of " + Nth("placement", placementNumber));
    size_t nameBytes = 0;
    while (nameBytes < name.size() && name[nameBytes] != 0) ++nameBytes;
    placement->ChannelName =
        CutUtf8(std::string_view(reinterpret_cast<const char*>(name.data()), nameBytes), kShortTextBytes);
    TPlacementRect& r = placement->Rect;
    if (!in.F32LE(r.Left) || !in.F32LE(r.Top) || !in.F32LE(r.Right) || !in.F32LE(r.Bottom))
      return Status::Error("body ends inside the rectangle of " + Nth("placement", placementNumber));
    temp->Placements.push_back(std::move(placement));
    ++placementNumber;
  }
  // By slot number, file order kept within a slot (what InsertPlacement
  // gives one by one, without its quadratic cost).
  std::stable_sort(temp->Placements.begin(), temp->Placements.end(),
                   [](const auto& a, const auto& b) { return a->SlotNumber < b->SlotNumber; });
  return temp;
}

Result<std::unique_ptr<TTempNode>> DecodeDescriptor(std::span<const uint8_t> file, int templateIndex) {
  if (file.size() < 1) return Status::Error("empty file");
  std::vector<uint8_t> body(file.begin() + 1, file.end());
  if (body.size() % 8 != 0)
    return Status::Error("enciphered body of " + std::to_string(body.size()) +
                         " bytes is not a multiple of 8");
  if (body.size() > UINT32_MAX) return Status::Error("body too large");
  if (!body.empty() &&
      TDES(kTemplateKey, kDecipher, body.data(), body.data(), static_cast<uint32_t>(body.size())) != 0)
    return Status::Error("the body cannot be deciphered");
  return ParseDescriptorBody(body, templateIndex);
}

Result<std::unique_ptr<TTempNode>> ReadDescriptorFile(const std::string& path, int templateIndex) {
  auto bytes = ReadWholeFile(path, kMaxDescriptorBytes);
  if (!bytes.ok()) return bytes.status();
  auto temp = DecodeDescriptor(*bytes, templateIndex);
  if (!temp.ok()) return Status::Error(path + ": " + temp.message());
  (*temp)->Folder = FolderOf(path);
  return temp;
}

std::unique_ptr<TTempNode> ReadDescriptor(const std::string& path, int templateIndex) {
  auto temp = ReadDescriptorFile(path, templateIndex);
  if (!temp.ok()) return nullptr;
  return std::move(*temp);
}

std::vector<uint8_t> EncodeDescriptorBody(const TTempNode& temp) {
  ByteWriter out;
  out.I32LE(temp.HeaderValue);
  out.I32LE(temp.Spread);
  out.I32LE(static_cast<int32_t>(temp.Slots.size()));
  for (const auto& slot : temp.Slots) {
    out.I32LE(slot->PhotoType);
    out.I32LE(static_cast<int32_t>(slot->Effects.size()));
    for (const auto& effect : slot->Effects) {
      out.I32LE(effect->Kind);
      out.I32LE(static_cast<int32_t>(effect->Params.size()));
      for (float p : effect->Params) out.F32LE(p);
    }
  }
  for (const auto& p : temp.Placements) {
    std::string name = CutUtf8(p->ChannelName, kMaxChannelNameBytes);
    out.U8(kPlacementTag);
    out.I32LE(p->SlotNumber);
    out.I32LE(static_cast<int32_t>(name.size()));
    out.Append(name);
    out.F32LE(p->Rect.Left);
    out.F32LE(p->Rect.Top);
    out.F32LE(p->Rect.Right);
    out.F32LE(p->Rect.Bottom);
  }
  if (out.Size() % 8 != 0) {
    out.U8(0x80);
    out.Zeros((8 - out.Size() % 8) % 8);
  }
  return out.Take();
}

Result<std::vector<uint8_t>> EncodeDescriptor(const TTempNode& temp) {
  std::vector<uint8_t> body = EncodeDescriptorBody(temp);
  if (body.size() > UINT32_MAX) return Status::Error("descriptor too large");
  if (TDES(kTemplateKey, kEncipher, body.data(), body.data(), static_cast<uint32_t>(body.size())) != 0)
    return Status::Error("the body cannot be enciphered");
  std::vector<uint8_t> file;
  file.reserve(body.size() + 1);
  file.push_back(kDescriptorMarker);
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

Status DecipherImageHead(std::vector<uint8_t>& bytes) {
  const size_t n = std::min(bytes.size(), kEncipheredImageHead);
  if (n % 8 != 0)
    return Status::Error("enciphered image of " + std::to_string(n) + " bytes is not a multiple of 8");
  if (n > 0 && TDES(kTemplateKey, kDecipher, bytes.data(), bytes.data(), static_cast<uint32_t>(n)) != 0)
    return Status::Error("the image head cannot be deciphered");
  return Status::Ok();
}

Status EncipherImageHead(std::vector<uint8_t>& bytes) {
  if (bytes.size() < kEncipheredImageHead && bytes.size() % 8 != 0) {
    bytes.push_back(0x80);
    while (bytes.size() % 8 != 0) bytes.push_back(0);
  }
  const size_t n = std::min(bytes.size(), kEncipheredImageHead);
  if (n > 0 && TDES(kTemplateKey, kEncipher, bytes.data(), bytes.data(), static_cast<uint32_t>(n)) != 0)
    return Status::Error("the image head cannot be enciphered");
  return Status::Ok();
}

Status DecipherTemplateImage(const std::string& source, const std::string& target) {
  auto bytes = ReadWholeFile(source);
  if (!bytes.ok()) return bytes.status();
  if (Status s = DecipherImageHead(*bytes); !s.ok()) return Status::Error(source + ": " + s.message());
  return WriteFileAtomic(target, *bytes);
}

Status EncipherTemplateImage(const std::string& source, const std::string& target) {
  auto bytes = ReadWholeFile(source);
  if (!bytes.ok()) return bytes.status();
  if (Status s = EncipherImageHead(*bytes); !s.ok()) return Status::Error(source + ": " + s.message());
  return WriteFileAtomic(target, *bytes);
}

std::string ComposingFolderName(const TTempNode& temp) {
  std::string name = LastPathPart(temp.Folder) + "_" + temp.ImportStamp;
  for (char& c : name)
    if (c == kPathSeparator || c == '\0') c = '_';
  return name;
}

std::string PreviewFolder(const std::string& tempDir, const TTempNode& temp) {
  return WithTrailingSeparator(JoinPath(tempDir, ComposingFolderName(temp)));
}

}  // namespace tessaro
