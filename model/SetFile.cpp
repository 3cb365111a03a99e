#include "model/SetFile.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "base/ByteReader.h"
#include "base/FileIo.h"
#include "base/Text.h"
#include "model/Package.h"
#include "model/Photos.h"

namespace tessaro {

namespace {

// A set file holds texts and numbers only; one this large is not a set file.
constexpr uint64_t kMaxSetFileBytes = 64u << 20;
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
    if (length < 0) return Fail(what + " has a negative length " + std::to_string(length));
    if (static_cast<uint64_t>(length) > maxBytes)
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
      return Status::Error(t->Folder + ": folder path too long for a set file");
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

// The memory a copy of a template takes, roughly: its records, the list
// entries owning them, and heap texts.
uint64_t WorkOf(const TTempNode& temp) {
  constexpr uint64_t kPerAllocation = 16;  // allocator overhead and owning pointer
  uint64_t work = sizeof(TTempNode) + temp.Folder.size() +
                  temp.Slots.size() * (sizeof(TSlotNode) + kPerAllocation) +
                  temp.Placements.size() * (sizeof(TPlacement) + kPerAllocation);
  for (const auto& slot : temp.Slots) {
    work += slot->Effects.size() * (sizeof(TEffectNode) + kPerAllocation);
    for (const auto& e : slot->Effects) work += e->Params.size() * sizeof(float);
  }
  for (const auto& p : temp.Placements) work += p->ChannelName.size();
  return work;
}

std::unique_ptr<TTempNode> CopyTemplate(const TTempNode& from, int templateIndex) {
  auto temp = std::make_unique<TTempNode>();
  temp->Folder = from.Folder;
  temp->PlacedCount = from.PlacedCount;
  temp->Width = from.Width;
  temp->Height = from.Height;
  temp->SizeUnit = from.SizeUnit;
  temp->Spread = from.Spread;
  temp->SizeName = from.SizeName;
  temp->HeaderValue = from.HeaderValue;
  temp->ImportStamp = from.ImportStamp;
  temp->Slots.reserve(from.Slots.size());
  for (const auto& s : from.Slots) {
    auto slot = std::make_unique<TSlotNode>();
    slot->TempIndex = templateIndex;
    slot->PhotoType = s->PhotoType;
    slot->PhotoIndex = s->PhotoIndex;
    slot->OffsetX = s->OffsetX;
    slot->OffsetY = s->OffsetY;
    slot->ScaleX = s->ScaleX;
    slot->ScaleY = s->ScaleY;
    slot->Angle = s->Angle;
    slot->FlipH = s->FlipH;
    slot->FlipV = s->FlipV;
    for (const auto& e : s->Effects) slot->Effects.push_back(std::make_unique<TEffectNode>(*e));
    temp->Slots.push_back(std::move(slot));
  }
  temp->Placements.reserve(from.Placements.size());
  for (const auto& p : from.Placements) temp->Placements.push_back(std::make_unique<TPlacement>(*p));
  return temp;
}

std::string SetTooLargeText(uint64_t maxTemplateBytes) {
  return "its templates need more than " + std::to_string(maxTemplateBytes >> 20) +
         " MB of memory; no real set is that large";
}

// Both descriptors of one package as read the first time a set names it.
struct TPackageRead {
  std::unique_ptr<TTempNode> Preview, Result;
  std::string Error;  // why the package cannot be used; empty when it can
  uint64_t Work = 0;  // of both versions
};

void Drop(std::vector<std::string>* list, std::vector<std::string>* reasons, const std::string& what,
          const std::string& why) {
  if (!list) return;
  list->push_back(what);
  reasons->push_back(why);
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
      return Status::Error(p->FileName + ": photo path too long for a set file");
  return out.Take();
}

bool TDiskSetFileSource::FileExists(const std::string& path) const { return tessaro::FileExists(path); }

Result<std::unique_ptr<TTempNode>> TSetFileSource::ReadDescriptorFile(const std::string& path,
                                                                      int templateIndex) const {
  auto temp = ReadDescriptor(path, templateIndex);
  if (!temp) return Status::Error(path + ": cannot be read");
  return temp;
}

Result<std::unique_ptr<TTempNode>> TDiskSetFileSource::ReadDescriptorFile(const std::string& path,
                                                                          int templateIndex) const {
  return tessaro::ReadDescriptorFile(path, templateIndex);
}

std::unique_ptr<TTempNode> TDiskSetFileSource::ReadDescriptor(const std::string& path,
                                                              int templateIndex) const {
  return tessaro::ReadDescriptor(path, templateIndex);
}

std::unique_ptr<TSetNode> BuildSet(const TSetFileData& data, const std::string& fileName,
                                   const TSetFileSource& source, TSetLoadReport* report,
                                   uint64_t maxTemplateBytes) {
  auto set = std::make_unique<TSetNode>();
  set->FileName = fileName;
  const int storedPhotos = static_cast<int>(data.Photos.size());

  // Record i of both lists describes one package; a template is kept only
  // when both of its versions can be read, so the lists stay the same length.
  // Each package is read once; every record naming it gets a copy.
  std::unordered_map<std::string, TPackageRead> packages;
  uint64_t work = 0;
  TSetLoadReport localReport;
  if (!report) report = &localReport;
  auto dropTemplate = [&](const std::string& folder, const std::string& why) {
    Drop(&report->DroppedTemplates, &report->DroppedTemplateReasons, folder, why);
  };
  const size_t pairs = std::max(data.PreviewTemps.size(), data.ResultTemps.size());
  for (size_t i = 0; i < pairs; ++i) {
    const bool bothStored = i < data.PreviewTemps.size() && i < data.ResultTemps.size();
    const TTemplateRecord& a = i < data.PreviewTemps.size() ? data.PreviewTemps[i] : data.ResultTemps[i];
    if (!bothStored) {
      dropTemplate(a.Folder, std::string("the set file holds only its ") +
                                 (i < data.PreviewTemps.size() ? "preview" : "result") + " record");
      continue;
    }
    if (a.Folder != data.ResultTemps[i].Folder) {
      dropTemplate(a.Folder, "its result record names another folder, " + data.ResultTemps[i].Folder);
      continue;
    }
    auto [entry, isNew] = packages.try_emplace(a.Folder);
    TPackageRead& package = entry->second;
    if (isNew) {
      const std::string previewPath = JoinPath(a.Folder, kPreviewDescriptorName);
      if (!source.FileExists(previewPath)) {
        package.Error = previewPath + ": no such file";
      } else if (auto preview = source.ReadDescriptorFile(previewPath, 0); !preview.ok()) {
        package.Error = preview.message();
      } else if (auto result = source.ReadDescriptorFile(JoinPath(a.Folder, kResultDescriptorName), 0);
                 !result.ok()) {
        package.Error = result.message();
      } else {
        package.Preview = std::move(*preview);
        package.Result = std::move(*result);
        package.Work = WorkOf(*package.Preview) + WorkOf(*package.Result);
      }
    }
    if (!package.Error.empty()) {
      dropTemplate(a.Folder, package.Error);
      continue;
    }
    if (work + package.Work > maxTemplateBytes) {
      report->WorkCapReached = true;
      dropTemplate(a.Folder, SetTooLargeText(maxTemplateBytes));
      continue;
    }
    work += package.Work;
    const int index = static_cast<int>(set->PreviewTemps.size());
    auto preview = CopyTemplate(*package.Preview, index);
    auto result = CopyTemplate(*package.Result, index);
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
    std::string why;
    if (type != kPhotoTypeTransparent && type != kPhotoTypeOpaque)
      why = "not a picture type";
    else if (kept.count(path))
      why = "named twice in the set";
    else if (!source.FileExists(path))
      why = "no such file";
    if (!why.empty()) {
      Drop(&report->DroppedPhotos, &report->DroppedPhotoReasons, path, why);
      continue;
    }
    kept.insert(path);
    newIndex[i] = static_cast<int>(set->Photos.size());
    auto photo = std::make_unique<TPhotoInfoNode>();
    photo->FileName = path;
    set->Photos.push_back(std::move(photo));
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
  auto bytes = ReadWholeFile(path, kMaxSetFileBytes);
  if (!bytes.ok()) return bytes.status();
  auto data = ParseSetFile(*bytes);
  if (!data.ok()) return Status::Error(path + ": " + data.message());
  bytes = std::vector<uint8_t>();  // freed before the packages are read
  TSetLoadReport localReport;
  auto set = BuildSet(*data, path, source, report ? report : &localReport);
  if ((report ? report : &localReport)->WorkCapReached)
    return Status::Error(path + ": " + SetTooLargeText(kMaxSetTemplateBytes));
  return set;
}

}  // namespace tessaro
