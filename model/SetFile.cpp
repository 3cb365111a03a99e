#include "model/SetFile.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "base/ByteReader.h"
#include "base/FileIo.h"
#include "base/Text.h"
#include "model/Package.h"
#include "model/Photos.h"

namespace tessaro {

namespace {

// A set file holds texts and numbers only; one this large is not a set file.
constexpr uint64_t kMaxSetFileBytes = 256u << 20;
// Smallest template record: three empty counted texts, six numbers, no slots.
constexpr uint64_t kMinTemplateRecordBytes = 36;

class TSetFileParser {
 public:
  explicit TSetFileParser(std::span<const uint8_t> bytes) : FIn(bytes) {}

  Result<TSetFileData> Parse() {
    TSetFileData data;
    if (!Templates("preview template", data.PreviewTemps) ||
        !Templates("result template", data.ResultTemps) || !Photos(data.Photos))
      return Status::Error(FError);
    return data;
  }

 private:
  bool Fail(std::string message) {
    FError = std::move(message);
    return false;
  }

  bool Count(const std::string& what, uint64_t minItemBytes, int32_t& count) {
    if (!FIn.I32LE(count)) return Fail("file ends before the " + what + " count");
    if (count < 0) return Fail("negative " + what + " count " + std::to_string(count));
    if (!FIn.CanHold(static_cast<uint64_t>(count), minItemBytes))
      return Fail(what + " count " + std::to_string(count) + " is more than the file holds");
    return true;
  }

  bool Text(const std::string& what, size_t maxBytes, std::string& out) {
    int32_t length = 0;
    if (!FIn.I32LE(length)) return Fail("file ends inside " + what);
    if (length < 0 || static_cast<uint64_t>(length) > maxBytes)
      return Fail(what + " has length " + std::to_string(length) + ", more than " + std::to_string(maxBytes) +
                  " bytes");
    std::span<const uint8_t> bytes;
    if (!FIn.View(static_cast<size_t>(length), bytes)) return Fail("file ends inside " + what);
    size_t n = 0;
    while (n < bytes.size() && bytes[n] != 0) ++n;
    out.assign(reinterpret_cast<const char*>(bytes.data()), n);
    return true;
  }

  bool Templates(const std::string& what, std::vector<TTemplateRecord>& out) {
    int32_t count = 0;
    if (!Count(what, kMinTemplateRecordBytes, count)) return false;
    out.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
      const std::string where = what + " " + std::to_string(i + 1);
      TTemplateRecord r;
      if (!Text("the folder of " + where, kMaxSetPathBytes, r.Folder)) return false;
      if (!FIn.F32LE(r.Width) || !FIn.F32LE(r.Height) || !FIn.I32LE(r.SizeUnit) || !FIn.I32LE(r.Spread))
        return Fail("file ends inside " + where);
      if (!Text("the size name of " + where, kShortTextBytes, r.SizeName)) return false;
      if (!FIn.I32LE(r.HeaderValue)) return Fail("file ends inside " + where);
      if (!Text("the import stamp of " + where, kShortTextBytes, r.ImportStamp)) return false;
      int32_t slots = 0;
      if (!Count("slot record", kSlotRecordBytes, slots)) return Fail(FError + " in " + where);
      r.Slots.resize(static_cast<size_t>(slots));
      for (TSlotRecord& s : r.Slots) {
        uint8_t flipH = 0, flipV = 0;
        FIn.I32LE(s.PhotoIndex);
        FIn.F32LE(s.OffsetX);
        FIn.F32LE(s.OffsetY);
        FIn.F32LE(s.ScaleX);
        FIn.F32LE(s.ScaleY);
        FIn.F32LE(s.Angle);
        FIn.U8(flipH);
        FIn.U8(flipV);
        s.FlipH = flipH != 0;
        s.FlipV = flipV != 0;
      }
      out.push_back(std::move(r));
    }
    return true;
  }

  bool Photos(std::vector<std::string>& out) {
    int32_t count = 0;
    if (!Count("photo", 4, count)) return false;
    out.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
      std::string path;
      if (!Text("photo " + std::to_string(i + 1), kMaxSetPathBytes, path)) return false;
      out.push_back(std::move(path));
    }
    return true;
  }

  ByteReader FIn;
  std::string FError;
};

bool WriteText(ByteWriter& out, const std::string& text, size_t maxBytes) {
  if (text.size() > maxBytes) return false;
  out.I32LE(static_cast<int32_t>(text.size()));
  out.Append(text);
  return true;
}

Status WriteTemplates(ByteWriter& out, const std::vector<std::unique_ptr<TTempNode>>& temps) {
  out.I32LE(static_cast<int32_t>(temps.size()));
  for (const auto& t : temps) {
    if (!WriteText(out, t->Folder, kMaxSetPathBytes))
      return Status::Error("folder path too long: " + t->Folder);
    out.F32LE(t->Width);
    out.F32LE(t->Height);
    out.I32LE(t->SizeUnit);
    out.I32LE(t->Spread);
    WriteText(out, CutUtf8(t->SizeName, kShortTextBytes), kShortTextBytes);
    out.I32LE(t->HeaderValue);
    WriteText(out, CutUtf8(t->ImportStamp, kShortTextBytes), kShortTextBytes);
    out.I32LE(static_cast<int32_t>(t->Slots.size()));
    for (const auto& s : t->Slots) {
      out.I32LE(s->PhotoIndex);
      out.F32LE(s->OffsetX);
      out.F32LE(s->OffsetY);
      out.F32LE(s->ScaleX);
      out.F32LE(s->ScaleY);
      out.F32LE(s->Angle);
      out.U8(s->FlipH ? 1 : 0);
      out.U8(s->FlipV ? 1 : 0);
    }
  }
  return Status::Ok();
}

float Finite(float v, float fallback) { return std::isfinite(v) ? v : fallback; }

// Overwrites a descriptor's template with a record's stored fields; returns
// the number of applied slot records that hold a photo.
int ApplyRecord(TTempNode& temp, const TTemplateRecord& r, int photoCount) {
  temp.Width = Finite(r.Width, -1.0f);
  temp.Height = Finite(r.Height, -1.0f);
  temp.SizeUnit = r.SizeUnit;
  temp.Spread = r.Spread;
  temp.SizeName = r.SizeName;
  temp.HeaderValue = r.HeaderValue;
  temp.ImportStamp = r.ImportStamp;
  int placed = 0;
  const size_t n = std::min(r.Slots.size(), temp.Slots.size());  // extra stored slots are skipped
  for (size_t j = 0; j < n; ++j) {
    const TSlotRecord& s = r.Slots[j];
    TSlotNode& slot = *temp.Slots[j];
    slot.PhotoIndex = s.PhotoIndex >= 0 && s.PhotoIndex < photoCount ? s.PhotoIndex : -1;
    slot.OffsetX = Finite(s.OffsetX, 0.0f);
    slot.OffsetY = Finite(s.OffsetY, 0.0f);
    slot.ScaleX = Finite(s.ScaleX, -1.0f);
    slot.ScaleY = Finite(s.ScaleY, -1.0f);
    slot.Angle = Finite(s.Angle, 0.0f);
    slot.FlipH = s.FlipH;
    slot.FlipV = s.FlipV;
    if (slot.PhotoIndex != -1) ++placed;
  }
  return placed;
}

}  // namespace

Result<TSetFileData> ParseSetFile(std::span<const uint8_t> bytes) { return TSetFileParser(bytes).Parse(); }

Result<std::vector<uint8_t>> EncodeSetFile(const TSetNode& set) {
  ByteWriter out;
  if (Status s = WriteTemplates(out, set.PreviewTemps); !s.ok()) return s;
  if (Status s = WriteTemplates(out, set.ResultTemps); !s.ok()) return s;
  out.I32LE(static_cast<int32_t>(set.Photos.size()));
  for (const auto& p : set.Photos)
    if (!WriteText(out, p->FileName, kMaxSetPathBytes))
      return Status::Error("photo path too long: " + p->FileName);
  return out.Take();
}

bool TDiskSetFileSource::FileExists(const std::string& path) const { return tessaro::FileExists(path); }

std::unique_ptr<TTempNode> TDiskSetFileSource::ReadDescriptor(const std::string& path,
                                                              int templateIndex) const {
  return tessaro::ReadDescriptor(path, templateIndex);
}

std::unique_ptr<TSetNode> BuildSet(const TSetFileData& data, const std::string& fileName,
                                   const TSetFileSource& source, TSetLoadReport* report) {
  auto set = std::make_unique<TSetNode>();
  set->FileName = fileName;
  const int storedPhotos = static_cast<int>(data.Photos.size());

  // Record i of both lists describes one package; a template is kept only
  // when both of its versions can be read, so the lists stay the same length.
  const size_t pairs = std::max(data.PreviewTemps.size(), data.ResultTemps.size());
  for (size_t i = 0; i < pairs; ++i) {
    const bool bothStored = i < data.PreviewTemps.size() && i < data.ResultTemps.size();
    const TTemplateRecord& a = i < data.PreviewTemps.size() ? data.PreviewTemps[i] : data.ResultTemps[i];
    std::unique_ptr<TTempNode> preview, result;
    if (bothStored && a.Folder == data.ResultTemps[i].Folder &&
        source.FileExists(JoinPath(a.Folder, kPreviewDescriptorName))) {
      const int index = static_cast<int>(set->PreviewTemps.size());
      preview = source.ReadDescriptor(JoinPath(a.Folder, kPreviewDescriptorName), index);
      if (preview) result = source.ReadDescriptor(JoinPath(a.Folder, kResultDescriptorName), index);
    }
    if (!preview || !result) {
      if (report) report->DroppedTemplates.push_back(a.Folder);
      continue;
    }
    preview->PlacedCount = ApplyRecord(*preview, a, storedPhotos);
    ApplyRecord(*result, data.ResultTemps[i], storedPhotos);
    set->PreviewTemps.push_back(std::move(preview));
    set->ResultTemps.push_back(std::move(result));
  }

  // A photo is kept when its file is a picture that exists and is not yet in
  // the set. Stored index i becomes the number of photos kept before it, or
  // -1 when photo i was dropped (the slot's transform stays as stored).
  std::vector<int> newIndex(data.Photos.size(), -1);
  std::unordered_set<std::string> kept;
  for (size_t i = 0; i < data.Photos.size(); ++i) {
    const std::string& path = data.Photos[i];
    const int type = ClassifyPhotoFile(ExtensionOf(path));
    if ((type == kPhotoTypeTransparent || type == kPhotoTypeOpaque) && !kept.count(path) &&
        source.FileExists(path)) {
      kept.insert(path);
      newIndex[i] = static_cast<int>(set->Photos.size());
      auto photo = std::make_unique<TPhotoInfoNode>();
      photo->FileName = path;
      set->Photos.push_back(std::move(photo));
    } else if (report) {
      report->DroppedPhotos.push_back(path);
    }
  }
  for (const auto& temp : set->PreviewTemps) {
    for (const auto& slot : temp->Slots) {
      if (slot->PhotoIndex == -1) continue;
      slot->PhotoIndex = newIndex[slot->PhotoIndex];
      if (slot->PhotoIndex == -1) --temp->PlacedCount;
    }
  }

  for (const auto& temp : set->PreviewTemps)
    for (const auto& slot : temp->Slots)
      if (slot->PhotoIndex != -1) set->Photos[slot->PhotoIndex]->UsedBy.push_back(slot.get());
  return set;
}

Result<std::unique_ptr<TSetNode>> ReadSetFile(const std::string& path, const TSetFileSource& source,
                                              TSetLoadReport* report) {
  if (!FileExists(path)) return Status::Error(path + ": no such file");
  auto bytes = ReadWholeFile(path, kMaxSetFileBytes);
  if (!bytes.ok()) return Status::Error(bytes.message());
  auto data = ParseSetFile(*bytes);
  if (!data.ok()) return Status::Error(path + ": " + data.message());
  return BuildSet(*data, path, source, report);
}

}  // namespace tessaro
