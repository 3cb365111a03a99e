// tessaro-cli inspect for template packages and set files: prints what the
// program would read, as JSON on stdout. A malformed input prints one line
// naming the file and what is wrong on stderr and exits with 1.
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "base/FileIo.h"
#include "imaging/codecs/Codecs.h"
#include "imaging/psd/Psd.h"
#include "model/Package.h"
#include "model/SetFile.h"
#include "tools/Commands.h"

namespace tessaro::cli {

namespace {

using Json = nlohmann::ordered_json;

int Fail(const std::string& message) {
  std::fprintf(stderr, "tessaro-cli: %s\n", message.c_str());
  return 1;
}

void Print(const Json& json) {
  // Texts from old packages need not be UTF-8; show such bytes as U+FFFD.
  std::cout << json.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
}

Json RectJson(const TPlacementRect& r) {
  return Json{{"left", r.Left}, {"top", r.Top}, {"right", r.Right}, {"bottom", r.Bottom}};
}

Json EffectsJson(const TSlotNode& slot) {
  Json effects = Json::array();
  for (const auto& e : slot.Effects) effects.push_back(Json{{"kind", e->Kind}, {"params", e->Params}});
  return effects;
}

Json PlacementsJson(const TTempNode& temp) {
  Json placements = Json::array();
  for (const auto& p : temp.Placements)
    placements.push_back(
        Json{{"slotNumber", p->SlotNumber}, {"channelName", p->ChannelName}, {"rect", RectJson(p->Rect)}});
  return placements;
}

Json DescriptorJson(const TTempNode& temp) {
  Json slots = Json::array();
  for (const auto& s : temp.Slots)
    slots.push_back(Json{{"photoType", s->PhotoType}, {"effects", EffectsJson(*s)}});
  return Json{{"headerValue", temp.HeaderValue},
              {"spread", temp.Spread},
              {"slots", slots},
              {"placements", PlacementsJson(temp)}};
}

Json SlotJson(const TSlotNode& s, const TSetNode& set) {
  Json photo = nullptr;
  if (s.PhotoIndex >= 0 && s.PhotoIndex < static_cast<int>(set.Photos.size()))
    photo = set.Photos[s.PhotoIndex]->FileName;
  return Json{{"photoType", s.PhotoType}, {"photoIndex", s.PhotoIndex}, {"photo", photo},
              {"offsetX", s.OffsetX},     {"offsetY", s.OffsetY},       {"scaleX", s.ScaleX},
              {"scaleY", s.ScaleY},       {"angle", s.Angle},           {"flipH", s.FlipH},
              {"flipV", s.FlipV},         {"effects", EffectsJson(s)}};
}

// A template document: size, resolution, layers (bottom first, with opacity
// and blend mode) and alpha channels; null when the file is missing.
Json DocumentJson(const std::string& path) {
  if (!FileExists(path)) return nullptr;
  auto bytes = ReadWholeFile(path);
  if (!bytes.ok()) return Json{{"error", bytes.message()}};
  PsdReadOptions options;
  options.composite = false;
  auto doc = ReadPsd(*bytes, options);
  if (!doc.ok()) return Json{{"error", doc.message()}};
  Json layers = Json::array();
  for (const PsdLayer& l : doc->layers)
    layers.push_back(
        Json{{"name", l.name},
             {"opacity", l.opacity},
             {"blend", std::string(BlendModeName(l.blendMode))},
             {"bounds", Json::array({l.bounds.left, l.bounds.top, l.bounds.right, l.bounds.bottom})}});
  Json channels = Json::array();
  for (const PsdAlphaChannel& c : doc->alphaChannels) channels.push_back(c.name);
  return Json{{"width", doc->width},
              {"height", doc->height},
              {"resolution", doc->resolution},
              {"layers", layers},
              {"alphaChannels", channels}};
}

// A template image (its head enciphered): the picture's header facts after
// deciphering in memory; null when the file is missing.
Json TemplateImageJson(const std::string& path) {
  if (!FileExists(path)) return nullptr;
  auto bytes = ReadWholeFile(path);
  if (!bytes.ok()) return Json{{"error", bytes.message()}};
  if (Status s = DecipherImageHead(*bytes); !s.ok()) return Json{{"error", s.message()}};
  auto info = ProbeImage(*bytes);
  if (!info.ok()) return Json{{"error", info.message()}};
  return Json{{"format", ImageFormatName(info->format)},
              {"width", info->width},
              {"height", info->height},
              {"ppi", info->xPpi}};
}

}  // namespace

int InspectPackage(const std::string& folder) {
  Json out{{"folder", WithTrailingSeparator(folder)}};
  for (auto [key, name] :
       {std::pair{"preview", kPreviewDescriptorName}, std::pair{"result", kResultDescriptorName}}) {
    auto temp = ReadDescriptorFile(JoinPath(folder, name), 0);
    if (!temp.ok()) return Fail(temp.message());
    out[key] = DescriptorJson(**temp);
  }
  out["documents"] = Json{{"preview", DocumentJson(JoinPath(folder, kPreviewTemplateDocument))},
                          {"result", DocumentJson(JoinPath(folder, kResultTemplateDocument))}};
  out["images"] = Json{{"preview", TemplateImageJson(JoinPath(folder, kPreviewTemplateImage))},
                       {"result", TemplateImageJson(JoinPath(folder, kResultTemplateImage))}};
  const std::string sample = JoinPath(folder, kSampleName);
  out["sample"] = FileExists(sample);
  if (auto info = ProbeImageFile(sample); info.ok())
    out["sampleSize"] = Json::array({info->width, info->height});
  Print(out);
  return 0;
}

int InspectSet(const std::string& path) {
  TDiskSetFileSource disk;
  TSetLoadReport report;
  auto set = ReadSetFile(path, disk, &report);
  if (!set.ok()) return Fail(set.message());
  const TSetNode& s = **set;
  Json templates = Json::array();
  for (size_t i = 0; i < s.PreviewTemps.size(); ++i) {
    const TTempNode& t = *s.PreviewTemps[i];
    Json slots = Json::array();
    for (const auto& slot : t.Slots) slots.push_back(SlotJson(*slot, s));
    templates.push_back(Json{{"folder", t.Folder},
                             {"sizeName", t.SizeName},
                             {"width", t.Width},
                             {"height", t.Height},
                             {"sizeUnit", t.SizeUnit},
                             {"spread", t.Spread},
                             {"headerValue", t.HeaderValue},
                             {"importStamp", t.ImportStamp},
                             {"placedCount", t.PlacedCount},
                             {"slotCount", t.Slots.size()},
                             {"slots", slots},
                             {"placements", PlacementsJson(t)},
                             {"resultPlacements", PlacementsJson(*s.ResultTemps[i])}});
  }
  Json photos = Json::array();
  for (const auto& p : s.Photos)
    photos.push_back(Json{{"fileName", p->FileName}, {"usageCount", p->UsedBy.size()}});
  Print(Json{{"file", path},
             {"templates", templates},
             {"photos", photos},
             {"droppedTemplates", report.DroppedTemplates},
             {"droppedTemplateReasons", report.DroppedTemplateReasons},
             {"droppedPhotos", report.DroppedPhotos},
             {"droppedPhotoReasons", report.DroppedPhotoReasons}});
  return 0;
}

}  // namespace tessaro::cli
