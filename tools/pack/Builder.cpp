#include "tools/pack/Builder.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>

#include "base/FileIo.h"
#include "base/Parallel.h"
#include "imaging/codecs/Codecs.h"
#include "imaging/ops/Adjust.h"
#include "imaging/ops/Blend.h"
#include "imaging/ops/Resample.h"
#include "imaging/psd/Psd.h"
#include "model/Package.h"
#include "tools/pack/Raster.h"
#include "tools/pack/Scenes.h"
#include "tools/pack/Svg.h"

namespace tessaro::authoring {

namespace {

namespace fs = std::filesystem;

IntRect RoundRect(const RectF& r) {
  return IntRect{int(std::lround(r.left)), int(std::lround(r.top)), int(std::lround(r.right)),
                 int(std::lround(r.bottom))};
}

// Loads the pictures a description names at the sizes the pages need.
class TPictures {
 public:
  explicit TPictures(const TBuildOptions& options) : FOptions(options), FRenderer(options.CacheDir) {}

  // The size a drawing is rendered at to cover w x h (its own proportions
  // kept), or exactly w x h when it states no size.
  static std::pair<int, int> CoverRenderSize(const TPictureRef& ref, int w, int h) {
    auto size = ReadSvgSize(ref.Path);
    if (!size.ok() || size->Width <= 0 || size->Height <= 0) return {w, h};
    const double scale = std::max(w / size->Width, h / size->Height);
    return {std::max(w, int(std::ceil(size->Width * scale - 1e-6))),
            std::max(h, int(std::ceil(size->Height * scale - 1e-6)))};
  }

  void Want(const TPictureRef& ref, int w, int h) {
    if (ref.IsSvg() && w > 0 && h > 0) FRequests.push_back({ref.Path, w, h});
  }

  // Renders every wanted drawing that is not cached yet, side by side.
  void Prefetch() {
    const int threads = FOptions.Threads > 0 ? FOptions.Threads : ParallelThreads();
    FRenderer.Prefetch(FRequests, threads);  // failures come back from Render below
  }

  Result<Image> Stretched(const TPictureRef& ref, int w, int h) const {
    if (ref.IsSvg()) return FRenderer.Render(ref.Path, w, h);
    auto decoded = DecodeImageFile(ref.Path);
    if (!decoded.ok()) return decoded.status();
    if (decoded->pixels.width() == w && decoded->pixels.height() == h) return std::move(decoded->pixels);
    return ResizeImage(decoded->pixels, w, h);
  }

  Result<Image> Covering(const TPictureRef& ref, int w, int h) const {
    if (ref.IsSvg()) {
      auto [rw, rh] = CoverRenderSize(ref, w, h);
      auto img = FRenderer.Render(ref.Path, rw, rh);
      if (!img.ok() || (rw == w && rh == h)) return img;
      return Crop(*img, IntRect{(rw - w) / 2, (rh - h) / 2, (rw - w) / 2 + w, (rh - h) / 2 + h});
    }
    auto decoded = DecodeImageFile(ref.Path);
    if (!decoded.ok()) return decoded.status();
    return CoverCrop(decoded->pixels, w, h);
  }

 private:
  const TBuildOptions& FOptions;
  TSvgRenderer FRenderer;
  std::vector<TSvgRenderer::TRequest> FRequests;
};

std::string PictureError(const TPictureRef& ref, const std::string& message) {
  return ref.Written + ": " + message;
}

// Everything of one version that goes into files.
struct TVersionBuild {
  PsdDocument Document;
  Image Background;
};

bool BuildVersion(const TVersionDesc& v, const std::string& name, const TPictures& pictures,
                  TVersionBuild& out, std::vector<TDescriptionError>& errors) {
  const size_t errorsBefore = errors.size();
  const IntRect page{0, 0, v.Width, v.Height};
  // The background, opaque: a picture with transparency lies on white.
  Image& bg = out.Background;
  if (Status s =
          bg.Create(v.Width, v.Height, v.Background.IsColor ? v.Background.Color : Rgba8{255, 255, 255, 255});
      !s.ok()) {
    errors.push_back({name, s.message()});
    return false;
  }
  if (!v.Background.IsColor) {
    auto picture = pictures.Covering(v.Background.Picture, v.Width, v.Height);
    if (!picture.ok())
      errors.push_back({name + ".background", PictureError(v.Background.Picture, picture.message())});
    else
      Composite(bg, page, *picture, 0, 0);
  }

  PsdDocument& doc = out.Document;
  doc.width = v.Width;
  doc.height = v.Height;
  doc.resolution = v.Resolution;
  PsdLayer background;
  background.name = "Background";
  background.bounds = page;
  background.pixels = bg.Clone();
  doc.layers.push_back(std::move(background));

  for (size_t i = 0; i < v.Overlays.size(); ++i) {
    const TOverlayDesc& o = v.Overlays[i];
    const IntRect r = RoundRect(o.Rect);
    auto picture = pictures.Stretched(o.Picture, r.Width(), r.Height());
    if (!picture.ok()) {
      errors.push_back({name + ".overlays[" + std::to_string(i) + "].picture",
                        PictureError(o.Picture, picture.message())});
      continue;
    }
    PsdLayer layer;
    layer.name = "brivanto";
    layer.opacity = static_cast<uint8_t>(std::lround(o.Opacity * 2.55));
    layer.blendMode = o.Blend;
    // Keep only the part that shows: overlays are mostly transparent.
    const IntRect shown = OpaqueBounds(*picture);
    if (!shown.Empty()) {
      layer.bounds =
          IntRect{r.left + shown.left, r.top + shown.top, r.left + shown.right, r.top + shown.bottom};
      layer.pixels =
          shown == IntRect{0, 0, r.Width(), r.Height()} ? std::move(*picture) : Crop(*picture, shown);
    }
    doc.layers.push_back(std::move(layer));
  }

  for (size_t i = 0; i < v.Placements.size(); ++i) {
    const TPlacementDesc& p = v.Placements[i];
    PsdAlphaChannel channel;
    channel.name = p.Channel;
    if (Status s = channel.pixels.Create(v.Width, v.Height); !s.ok()) {
      errors.push_back({name, s.message()});
      return false;
    }
    if (p.Shape == TShapeKind::kMask) {
      const IntRect r = RoundRect(p.Rect);
      auto picture = pictures.Stretched(p.Mask, r.Width(), r.Height());
      if (!picture.ok()) {
        errors.push_back(
            {name + ".placements[" + std::to_string(i) + "].mask", PictureError(p.Mask, picture.message())});
        continue;
      }
      if (Status s = DrawMask(channel.pixels, p.Rect, *picture); !s.ok()) {
        errors.push_back(
            {name + ".placements[" + std::to_string(i) + "].mask", PictureError(p.Mask, s.message())});
        continue;
      }
    } else {
      DrawShape(channel.pixels, p.Rect, p.Shape, p.Radius);
    }
    Feather(channel.pixels, CoveredPixels(p.Rect), p.Feather);
    doc.alphaChannels.push_back(std::move(channel));
  }

  // The merged image: the page as the document shows it on its own.
  doc.composite = bg.Clone();
  for (const PsdLayer& layer : doc.layers) {
    if (&layer == &doc.layers.front() || layer.pixels.empty()) continue;
    CompositeOptions options;
    options.mode = layer.blendMode;
    options.opacity = layer.opacity;
    Composite(doc.composite, page, layer.pixels, layer.bounds.left, layer.bounds.top, options);
  }
  return errors.size() == errorsBefore;
}

// ---- Sample.jpg -------------------------------------------------------------

struct TLayerLook {
  BlendMode Mode = BlendMode::kNormal;
  double Opacity = 100;  // percent
};

// What the engine does to a slot's photo, where it is cheap to show: blend
// mode and opacity, colour overlay, levels, brightness/contrast,
// hue/saturation and the channel mixer.
TLayerLook ApplyEffects(Image& photo, const TSlotDesc& slot) {
  TLayerLook look;
  const IntRect all{0, 0, photo.width(), photo.height()};
  auto i = [](float v) { return int(std::lrint(v)); };
  for (const TEffectDesc& e : slot.Effects) {
    const auto& p = e.Params;
    switch (e.Kind) {
      case 0: {
        // Selectors 0 to 3; another number keeps the mode.
        const BlendMode modes[] = {BlendMode::kNormal, BlendMode::kOverlay, BlendMode::kSoftLight,
                                   BlendMode::kColor};
        const int selector = i(p[0]);
        if (selector >= 0 && selector < int(std::size(modes))) look.Mode = modes[selector];
        look.Opacity = p[1];
        break;
      }
      case 5: {
        const BlendMode modes[] = {BlendMode::kOverlay, BlendMode::kSoftLight, BlendMode::kColor};
        const int selector = std::clamp(i(p[0]), 0, 2);
        ApplyColorOverlay(photo, all, Rgba8{uint8_t(i(p[1])), uint8_t(i(p[2])), uint8_t(i(p[3])), 255},
                          modes[selector], static_cast<uint8_t>(std::lround(0.48 * 255)));
        break;
      }
      case 7: {
        LevelsParams levels{i(p[1]), i(p[3]), p[2], i(p[4]), i(p[5])};
        const unsigned channels[] = {kAdjustRgb, kAdjustRed, kAdjustGreen, kAdjustBlue};
        AdjustLevels(photo, all, levels, channels[std::clamp(i(p[0]), 0, 3)]);
        look.Opacity = i(p[6]);
        break;
      }
      case 10:
        AdjustBrightnessContrast(photo, all, i(p[0]), i(p[1]), BrightnessContrastStyle::kLegacy);
        look.Opacity = i(p[2]);
        break;
      case 11:
        AdjustHueSaturation(photo, all, 30, -18, 16);
        look.Opacity = p[3];
        break;
      case 12: {
        ChannelMixerParams mixer;
        for (int r = 0; r < 3; ++r)
          for (int c = 0; c < 4; ++c) mixer.rows[r][c] = i(p[r * 4 + c]);
        mixer.monochrome = i(p[12]) != 0;
        MixChannels(photo, all, mixer);
        look.Opacity = p[13];
        break;
      }
      default:
        break;
    }
  }
  return look;
}

uint32_t NameSeed(const std::string& name) {
  uint32_t h = 2166136261U;
  for (unsigned char c : name) h = (h ^ c) * 16777619U;
  return h;
}

// A placeholder photo for one slot window (sample pixels): an opaque scene
// covering it, or for a transparent slot a cut-out standing in it.
Image Placeholder(const TSlotDesc& slot, int slotIndex, int w, int h, uint32_t seed) {
  if (slot.PhotoType == 0) {
    const TCutoutKind kinds[] = {TCutoutKind::kChild, TCutoutKind::kCouple, TCutoutKind::kBalloons};
    return PaintCutout(kinds[(seed + slotIndex) % 3], w, h, seed + slotIndex);
  }
  const int kind = int((seed % kSceneKindCount + uint32_t(slotIndex)) % kSceneKindCount);
  return PaintScene(static_cast<TSceneKind>(kind), w, h, seed + uint32_t(slotIndex) * 7919U);
}

Result<std::vector<uint8_t>> BuildSample(const TTemplateDesc& desc, const TVersionBuild& preview,
                                         const std::string& name) {
  const PsdDocument& doc = preview.Document;
  const double scale = double(kSampleLongSide) / std::max(doc.width, doc.height);
  const int sw = std::max(1, int(std::lround(doc.width * scale))),
            sh = std::max(1, int(std::lround(doc.height * scale)));
  auto sample = ResizeImage(preview.Background, sw, sh);
  if (!sample.ok()) return sample.status();
  const IntRect all{0, 0, sw, sh};
  const uint32_t seed = NameSeed(name);

  // Photos in the order the engine places them: by slot number, stable.
  std::vector<size_t> order(desc.Preview.Placements.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return desc.Preview.Placements[a].Slot < desc.Preview.Placements[b].Slot;
  });
  for (size_t index : order) {
    const TPlacementDesc& p = desc.Preview.Placements[index];
    if (index >= doc.alphaChannels.size()) continue;
    const IntRect window = Intersect(CoveredPixels(RectF{p.Rect.left * scale, p.Rect.top * scale,
                                                         p.Rect.right * scale, p.Rect.bottom * scale}),
                                     all);
    if (window.Empty()) continue;
    const TSlotDesc& slot = desc.Slots[p.Slot - 1];
    Image photo = Placeholder(slot, p.Slot - 1, window.Width(), window.Height(), seed);
    if (photo.empty()) continue;
    const TLayerLook look = ApplyEffects(photo, slot);
    auto mask = ResizePlane(doc.alphaChannels[index].pixels, sw, sh);
    if (!mask.ok()) return mask.status();
    MaskRef maskRef{&*mask, all, 0};
    CompositeOptions options;
    options.mode = look.Mode;
    options.opacity = static_cast<uint8_t>(std::clamp(std::lround(look.Opacity * 2.55), 0L, 255L));
    options.mask = &maskRef;
    Composite(*sample, all, photo, window.left, window.top, options);
  }
  // The overlays above the photos.
  for (size_t i = 1; i < doc.layers.size(); ++i) {
    const PsdLayer& layer = doc.layers[i];
    if (layer.pixels.empty()) continue;
    const RectF scaled{layer.bounds.left * scale, layer.bounds.top * scale, layer.bounds.right * scale,
                       layer.bounds.bottom * scale};
    const IntRect target = CoveredPixels(scaled);
    Image small;
    if (Status s = small.Create(target.Width(), target.Height()); !s.ok()) return s;
    // Map the layer so that its scaled bounds land where they belong.
    const RectF source{(target.left - scaled.left) / scale, (target.top - scaled.top) / scale,
                       (target.right - scaled.left) / scale, (target.bottom - scaled.top) / scale};
    ResampleOptions ro;
    ro.edge = ResampleEdge::kTransparent;
    if (Status s =
            ResampleRegion(layer.pixels, source, small, IntRect{0, 0, target.Width(), target.Height()}, ro);
        !s.ok())
      return s;
    CompositeOptions options;
    options.mode = layer.blendMode;
    options.opacity = layer.opacity;
    Composite(*sample, all, small, target.left, target.top, options);
  }
  JpegEncodeOptions jpeg;
  jpeg.quality = kSampleJpegQuality;
  return EncodeJpeg(*sample, jpeg);
}

// ---- Writing the folder -----------------------------------------------------

bool IsEmptyFolder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec) && fs::is_empty(path, ec);
}

struct TFile {
  std::string Name;
  std::vector<uint8_t> Bytes;
};

// Names of the folders a build of `name` works with beside it:
// ".NAME.tessaro-partial-N" (the new package being written, locked while
// the build runs; after the swap, the old package on its way out) and
// ".NAME.tessaro-old-N" (the old package set aside where the file system
// cannot swap two folders).
std::string PartialPrefix(const std::string& name) { return "." + name + ".tessaro-partial-"; }
std::string OldPrefix(const std::string& name) { return "." + name + ".tessaro-old-"; }

bool HasDigitsAfter(std::string_view entry, std::string_view prefix) {
  if (entry.size() <= prefix.size() || entry.substr(0, prefix.size()) != prefix) return false;
  for (char c : entry.substr(prefix.size()))
    if (c < '0' || c > '9') return false;
  return true;
}

// Leftovers of builds of `target` that were killed: an old package set aside
// goes back when no package is at the target, everything else of ours that
// no running build holds is removed. Folders named "NAME.partial-PID" and
// "NAME.old-PID" by earlier versions are removed once that process is gone.
void CleanLeftovers(const std::string& target) {
  const std::string parent = FolderOf(target);
  const std::string name = FileNameOf(target);
  std::error_code ec;
  if (!fs::exists(target, ec)) {
    for (const auto& e : fs::directory_iterator(parent.empty() ? "." : parent, ec)) {
      const std::string entry = e.path().filename().string();
      if (HasDigitsAfter(entry, OldPrefix(name)) && e.is_directory(ec) && !e.is_symlink(ec) &&
          FileExists(JoinPath(e.path().string(), kPreviewDescriptorName))) {
        if (std::rename(e.path().c_str(), target.c_str()) == 0) break;
      }
    }
  }
  RemoveUnlockedLeftovers(parent, [&](std::string_view entry) {
    if (HasDigitsAfter(entry, PartialPrefix(name)) || HasDigitsAfter(entry, OldPrefix(name))) return true;
    for (const std::string& legacy : {name + ".partial-", name + ".old-"}) {
      if (!HasDigitsAfter(entry, legacy)) continue;
      const long pid = std::strtol(std::string(entry.substr(legacy.size())).c_str(), nullptr, 10);
      return pid > 0 && pid <= INT32_MAX && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
    }
    return false;
  });
}

// Exchanges two folders in one step; false (errno set) where the file system
// cannot.
bool ExchangeFolders(const std::string& a, const std::string& b) {
  return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
}

// Writes the files into a new folder beside `target` and puts it in place.
// An existing package is exchanged with the new one in one step, so the
// target always holds a whole package, even when the build is killed.
Status ReplacePackage(const std::string& target, const std::vector<TFile>& files) {
  CleanLeftovers(target);
  const std::string parent = FolderOf(target);
  const std::string name = FileNameOf(target);
  if (!parent.empty() && !MakeDirectories(WithoutTrailingSeparator(parent)))
    return Status::Error(parent + ": cannot create the folder");
  auto partial = TLockedFolder::Create(parent + PartialPrefix(name), 0777);
  if (!partial.ok()) return partial.status();
  const std::string folder = partial->Path();
  std::error_code ec;
  for (const TFile& f : files) {
    const std::string path = JoinPath(folder, f.Name);
    if (Status s = WriteFileAtomic(path, f.Bytes); !s.ok()) {
      fs::remove_all(folder, ec);
      return s;
    }
  }
  if (!fs::exists(target, ec)) {
    if (std::rename(folder.c_str(), target.c_str()) != 0) {
      fs::remove_all(folder, ec);
      return Status::Error(target + ": cannot move the package into place (" + std::strerror(errno) + ")");
    }
    return SyncFolder(parent);
  }
  if (ExchangeFolders(folder, target)) {
    // The old package now sits under the partial name: make the exchange
    // durable first, then remove it.
    Status synced = SyncFolder(parent);
    fs::remove_all(folder, ec);
    return synced;
  }
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
    const int error = errno;
    fs::remove_all(folder, ec);
    return Status::Error(target + ": cannot replace the package (" + std::strerror(error) + ")");
  }
  // No exchange here: set the old package aside, move the new one in. A
  // build killed in between leaves the old package aside, and the next build
  // puts it back before anything else.
  auto old = TLockedFolder::Create(parent + OldPrefix(name), 0700);
  if (!old.ok()) {
    fs::remove_all(folder, ec);
    return old.status();
  }
  const std::string aside = old->Path();
  if (::rmdir(aside.c_str()) != 0 || std::rename(target.c_str(), aside.c_str()) != 0) {
    fs::remove_all(folder, ec);
    return Status::Error(target + ": cannot replace the package (" + std::strerror(errno) + ")");
  }
  if (std::rename(folder.c_str(), target.c_str()) != 0) {
    const int error = errno;
    std::rename(aside.c_str(), target.c_str());
    fs::remove_all(folder, ec);
    return Status::Error(target + ": cannot move the package into place (" + std::strerror(error) + ")");
  }
  Status synced = SyncFolder(parent);
  fs::remove_all(aside, ec);
  return synced;
}

}  // namespace

std::unique_ptr<TTempNode> DescriptorOf(const TTemplateDesc& desc, const TVersionDesc& version) {
  auto temp = std::make_unique<TTempNode>();
  temp->HeaderValue = desc.Header;
  temp->Spread = desc.Spread ? 1 : 0;
  for (const TSlotDesc& s : desc.Slots) {
    auto slot = std::make_unique<TSlotNode>();
    slot->PhotoType = s.PhotoType;
    for (const TEffectDesc& e : s.Effects) {
      auto effect = std::make_unique<TEffectNode>();
      effect->Kind = e.Kind;
      effect->Params = e.Params;
      slot->Effects.push_back(std::move(effect));
    }
    temp->Slots.push_back(std::move(slot));
  }
  for (const TPlacementDesc& p : version.Placements) {
    auto placement = std::make_unique<TPlacement>();
    placement->SlotNumber = p.Slot;
    placement->ChannelName = p.Channel;
    placement->Rect =
        TPlacementRect{float(p.Rect.left), float(p.Rect.top), float(p.Rect.right), float(p.Rect.bottom)};
    temp->Placements.push_back(std::move(placement));
  }
  std::stable_sort(temp->Placements.begin(), temp->Placements.end(),
                   [](const auto& a, const auto& b) { return a->SlotNumber < b->SlotNumber; });
  return temp;
}

std::vector<TDescriptionError> BuildPackage(const TTemplateDesc& desc, const std::string& outFolder,
                                            const TBuildOptions& options) {
  std::vector<TDescriptionError> errors;
  auto fail = [&](const std::string& message) {
    errors.push_back({"", message});
    return errors;
  };
  const std::string target = WithoutTrailingSeparator(outFolder);
  if (target.empty()) return fail("no output folder given");
  if (fs::exists(target) && !FileExists(JoinPath(target, kPreviewDescriptorName)) && !IsEmptyFolder(target))
    return fail(target + " exists and is not a template package; it is left as it is");

  // Render every drawing first, both versions side by side.
  TPictures pictures(options);
  for (const TVersionDesc* v : {&desc.Preview, &desc.Result}) {
    if (!v->Background.IsColor) {
      auto [w, h] = TPictures::CoverRenderSize(v->Background.Picture, v->Width, v->Height);
      pictures.Want(v->Background.Picture, w, h);
    }
    for (const auto& o : v->Overlays) {
      const IntRect r = RoundRect(o.Rect);
      pictures.Want(o.Picture, r.Width(), r.Height());
    }
    for (const auto& p : v->Placements) {
      if (p.Shape != TShapeKind::kMask) continue;
      const IntRect r = RoundRect(p.Rect);
      pictures.Want(p.Mask, r.Width(), r.Height());
    }
  }
  pictures.Prefetch();

  std::vector<TFile> files;
  TVersionBuild previewBuild;
  for (int which = 0; which < 2; ++which) {
    const bool isPreview = which == 0;
    const TVersionDesc& v = isPreview ? desc.Preview : desc.Result;
    TVersionBuild build;
    if (!BuildVersion(v, isPreview ? "preview" : "result", pictures, build, errors)) continue;

    auto temp = DescriptorOf(desc, v);
    auto descriptor = EncodeDescriptor(*temp);
    if (!descriptor.ok()) return fail(descriptor.message());
    // The reader must see exactly what was meant (this also checks that the
    // filler after the last placement cannot be taken for another one).
    auto back = DecodeDescriptor(*descriptor, 0);
    if (!back.ok() || (*back)->Slots.size() != temp->Slots.size() ||
        (*back)->Placements.size() != temp->Placements.size())
      return fail("internal error: the descriptor does not read back");

    auto psd = WritePsd(build.Document);
    if (!psd.ok()) return fail(std::string(isPreview ? "preview" : "result") + " document: " + psd.message());
    JpegEncodeOptions jpeg;
    jpeg.quality = kBackgroundJpegQuality;
    auto background = EncodeJpeg(build.Background, jpeg, v.Resolution);
    if (!background.ok()) return fail(background.message());
    if (Status s = EncipherImageHead(*background); !s.ok()) return fail(s.message());

    files.push_back({isPreview ? kPreviewDescriptorName : kResultDescriptorName, std::move(*descriptor)});
    files.push_back({isPreview ? kPreviewTemplateDocument : kResultTemplateDocument, std::move(*psd)});
    files.push_back({isPreview ? kPreviewTemplateImage : kResultTemplateImage, std::move(*background)});
    if (isPreview) {
      previewBuild = std::move(build);
    } else {
      build = TVersionBuild{};  // free the result version's pixels before the sample
    }
  }
  if (!errors.empty()) return errors;
  auto sample = BuildSample(desc, previewBuild, options.Name);
  if (!sample.ok()) return fail("Sample.jpg: " + sample.message());
  files.push_back({kSampleName, std::move(*sample)});

  // Write into a fresh folder beside the target, then swap it in.
  if (Status s = ReplacePackage(target, files); !s.ok()) return fail(s.message());
  return errors;
}

}  // namespace tessaro::authoring
