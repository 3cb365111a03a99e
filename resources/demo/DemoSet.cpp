#include "resources/demo/DemoSet.h"

#include <cstdio>

#include "base/FileIo.h"
#include "imaging/codecs/Codecs.h"
#include "model/Package.h"
#include "model/Photos.h"
#include "model/SetFile.h"
#include "model/Sizes.h"
#include "model/SlotEdit.h"
#include "resources/demo/DemoPhotos.h"

namespace tessaro::demo {

namespace {

struct TTemplateChoice {
  const char* Folder;
  int SizeIndex;  // into the built-in size list
};

// Single pages and spreads, the transparent slot and the slot shown twice.
constexpr TTemplateChoice kChoices[] = {
    {"婚纱01_花园", 3},    // 8 x 6 in
    {"儿童01_气球", 4},    // 10 x 8 in
    {"家庭01_温馨", 6},    // 12 x 10 in pages, a spread
    {"旅行01_明信片", 3},  // a spread
    {"写真02_胶片", 4},    // a spread with all ten slots
};

// The operator's adjustments, applied to the first slots of each template
// in turn: zoom factor on the covering fit, offsets in window sizes, angle.
struct TAdjustment {
  float Zoom, OffsetX, OffsetY, Angle;
  bool FlipH;
};
constexpr TAdjustment kAdjustments[] = {
    {1.0f, 0.0f, 0.0f, 0.0f, false},  {1.15f, 0.04f, -0.03f, 0.0f, false}, {1.0f, 0.0f, 0.0f, 3.0f, false},
    {1.0f, 0.0f, 0.0f, 0.0f, true},   {1.3f, -0.06f, 0.05f, 0.0f, false},  {1.05f, 0.0f, 0.02f, -2.0f, false},
    {1.0f, 0.03f, 0.0f, 0.0f, false},
};

}  // namespace

const std::vector<std::string>& DemoSetTemplates() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> v;
    for (const auto& c : kChoices) v.push_back(c.Folder);
    return v;
  }();
  return names;
}

Status WriteDemoSet(const std::string& libraryFolder, const std::string& photoFolder,
                    const std::string& setFile) {
  TSizeList sizes;
  AddBuiltInSizes(sizes);
  TSetNode set;
  set.FileName = setFile;

  // Photos, with their upright sizes, split by the type of slot they fill.
  std::vector<std::pair<int, int>> photoSizes;
  std::vector<int> byType[2];
  for (const TDemoPhoto& p : DemoPhotos()) {
    const std::string path = JoinPath(photoFolder, p.Name);
    auto info = ProbeImageFile(path);
    if (!info.ok()) return Status::Error(path + ": " + info.message());
    const int type = ClassifyPhotoFile(ExtensionOf(p.Name));
    if (type != kPhotoTypeOpaque && type != kPhotoTypeTransparent)
      return Status::Error(path + ": not a photo type");
    auto photo = std::make_unique<TPhotoInfoNode>();
    photo->FileName = path;
    byType[type].push_back(static_cast<int>(set.Photos.size()));
    set.Photos.push_back(std::move(photo));
    photoSizes.emplace_back(info->DisplayWidth(), info->DisplayHeight());
  }

  size_t nextOfType[2] = {0, 0};
  size_t adjustment = 0;
  const TSlotWindowGeometry geometry;
  for (size_t t = 0; t < std::size(kChoices); ++t) {
    const std::string folder = JoinPath(libraryFolder, kChoices[t].Folder);
    auto preview = ReadDescriptor(JoinPath(folder, kPreviewDescriptorName), int(t));
    auto result = ReadDescriptor(JoinPath(folder, kResultDescriptorName), int(t));
    if (!preview || !result) return Status::Error(folder + ": not a template package");
    const TSizeNode& size = *sizes.at(kChoices[t].SizeIndex);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "2025_06_14_10_%02zu_00", t);
    for (TTempNode* temp : {preview.get(), result.get()}) {
      temp->Width = size.Width;
      temp->Height = size.Height;
      temp->SizeUnit = size.SizeUnit;
      temp->SizeName = size.Name;
      temp->ImportStamp = stamp;
    }
    set.PreviewTemps.push_back(std::move(preview));
    set.ResultTemps.push_back(std::move(result));
    TTempNode& temp = *set.PreviewTemps.back();
    for (size_t s = 0; s < temp.Slots.size(); ++s) {
      TSlotNode& slot = *temp.Slots[s];
      const int type = slot.PhotoType == 0 ? 0 : 1;
      if (byType[type].empty()) continue;
      const int photo = byType[type][nextOfType[type]++ % byType[type].size()];
      AssignPhotoToSlot(&set, &slot, photo, {});
      slot.SetEmptyTransform();
      // The covering fit the preview makes on first display, then the
      // operator's adjustments.
      const std::optional<TSlotWindow> window = SlotWindowFor(temp, static_cast<int>(s), geometry);
      if (!window) continue;
      const auto [pw, ph] = photoSizes[photo];
      const auto [coverX, coverY] = CoveringScale(pw, ph, *window);
      const TAdjustment& a = kAdjustments[adjustment++ % std::size(kAdjustments)];
      slot.ScaleX = coverX * a.Zoom;
      slot.ScaleY = coverY * a.Zoom;
      slot.OffsetX = a.OffsetX;
      slot.OffsetY = a.OffsetY;
      slot.Angle = a.Angle;
      slot.FlipH = a.FlipH;
    }
  }
  if (std::string broken = CheckInvariants(set); !broken.empty()) return Status::Error("demo set: " + broken);

  auto bytes = EncodeSetFile(set);
  if (!bytes.ok()) return bytes.status();
  if (Status s = WriteFileAtomic(setFile, *bytes); !s.ok()) return s;

  // Read it back as the program does: nothing may be dropped.
  TDiskSetFileSource disk;
  TSetLoadReport report;
  auto back = ReadSetFile(setFile, disk, &report);
  if (!back.ok()) return back.status();
  if (!report.DroppedTemplates.empty() || !report.DroppedPhotos.empty() ||
      (*back)->PreviewTemps.size() != set.PreviewTemps.size() ||
      (*back)->Photos.size() != set.Photos.size()) {
    RemoveFile(setFile);
    return Status::Error(setFile + ": templates or photos are dropped when the set is read back");
  }
  return Status::Ok();
}

}  // namespace tessaro::demo
