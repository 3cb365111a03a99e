#include "engine/CreateTemp.h"

#include <cmath>
#include <map>
#include <new>
#include <numbers>
#include <optional>
#include <stdexcept>

#include "base/FileIo.h"
#include "base/Text.h"
#include "engine/Effects.h"
#include "engine/Try.h"
#include "model/Package.h"
#include "model/func.h"

namespace tessaro {

namespace au = automation;

void ScaleRect(int32_t oldW, int32_t oldH, int32_t newW, int32_t newH, TSlotRect& rect) {
  if (oldW == 0 || oldH == 0) return;
  auto sx = [&](int32_t v) { return RoundToInt32(double(newW) * v / oldW); };
  auto sy = [&](int32_t v) { return RoundToInt32(double(newH) * v / oldH); };
  rect = {sx(rect.Left), sy(rect.Top), sx(rect.Right), sy(rect.Bottom)};
}

Result<au::ArtLayerRef> FindVisibleLayer(au::Document& document, bool fromTop) {
  Result<std::shared_ptr<au::ArtLayers>> layers = document.ArtLayers();
  if (!layers.ok()) return layers.status();
  Result<int> count = (*layers)->Count();
  if (!count.ok()) return count.status();
  for (int k = 0; k < *count; ++k) {
    Result<au::ArtLayerRef> layer = (*layers)->Item(fromTop ? k + 1 : *count - k);
    if (!layer.ok()) return layer.status();
    Result<bool> visible = (*layer)->Visible();
    if (!visible.ok()) return visible.status();
    if (*visible) return layer;
  }
  return Status::Error("the document has no visible layer");
}

TPoint WatermarkCorner(int32_t orient, double width, double height, double bw, double bh, int32_t marginH,
                       int32_t marginV) {
  const int column = orient < 0 ? 0 : orient > 8 ? 2 : orient % 3;
  const int row = orient < 0 ? 0 : orient > 8 ? 2 : orient / 3;
  // The centred positions divide whole pixels (truncating, as an integer
  // division does); the far-side positions round the difference.
  const int64_t w = RoundToInt32(width), h = RoundToInt32(height);
  const int64_t bwi = RoundToInt32(bw), bhi = RoundToInt32(bh);
  TPoint p;
  p.X = column == 0 ? marginH : column == 1 ? double((w - bwi) / 2) : RoundToInt32(width - marginH - bw);
  p.Y = row == 0 ? marginV : row == 1 ? double((h - bhi) / 2) : RoundToInt32(height - marginV - bh);
  return p;
}

std::string SavedFilePath(const std::string& path, bool psd) {
  const std::string ext = ExtensionOf(path);
  const std::string lower = AsciiLower(ext);
  const bool known = psd ? (lower == ".psd" || lower == ".pdd" || lower == ".psb")
                         : (lower == ".jpg" || lower == ".jpeg" || lower == ".jpe");
  if (!known) return path + (psd ? ".psd" : ".jpg");
  return path.substr(0, path.size() - ext.size()) + lower;
}

Result<au::ChannelRef> FindSlotChannel(au::Document& document, const std::string& storedName) {
  Result<std::shared_ptr<au::Channels>> channels = document.Channels();
  if (!channels.ok()) return channels.status();
  const std::string wanted = DecodeLegacyText(storedName);
  Result<au::ChannelRef> exact = (*channels)->Item(wanted);
  if (exact.ok()) return exact;
  // The document may keep a name as stored bytes: compare decoded texts.
  Result<int> count = (*channels)->Count();
  if (!count.ok()) return count.status();
  for (int i = 4; i <= *count; ++i) {
    Result<au::ChannelRef> channel = (*channels)->Item(i);
    if (!channel.ok()) continue;
    Result<std::string> name = (*channel)->Name();
    if (name.ok() && DecodeLegacyText(*name) == wanted) return channel;
  }
  return exact.status();
}

au::DecodeHint PlacedPhotoHint(const TSlotRect& slot, const TSlotNode& node,
                               const std::optional<TSlotRect>& visible) {
  // Step 16 makes the whole photo zx * pw by zy * ph pixels, and zx * pw is
  // the slot's width times the slot's scale: a photo decoded at least that
  // big loses nothing. One pixel more keeps rounding on the safe side.
  au::DecodeHint hint;
  const double sw = slot.Right - slot.Left, sh = slot.Bottom - slot.Top;
  if (!(sw > 0) || !(sh > 0)) return hint;
  const double w = node.IsFitted() ? sw * std::fabs(double(node.ScaleX)) : sw;
  const double h = node.IsFitted() ? sh * std::fabs(double(node.ScaleY)) : sh;
  if (!(w > 0) || !(h > 0) || w > 1e6 || h > 1e6) return hint;
  hint.MinWidth = static_cast<int>(std::ceil(w)) + 1;
  hint.MinHeight = static_cast<int>(std::ceil(h)) + 1;
  if (!visible || !node.IsFitted()) return hint;
  const TSlotRect& v = *visible;
  const double angle = double(node.Angle) * std::numbers::pi / 180;
  const double offsetX = node.OffsetX, offsetY = node.OffsetY;
  if (v.Right <= v.Left || v.Bottom <= v.Top || !std::isfinite(angle) || !std::isfinite(offsetX) ||
      !std::isfinite(offsetY))
    return hint;
  // Step 17 puts the picture's centre here and the turn is about it (to
  // within the rounding of the move): a point (u, v) of the placed picture,
  // from its centre, lands at (u cos a + v sin a, -u sin a + v cos a) from
  // there. The box's corners taken back give the part, in picture widths and
  // heights from the centre, largest on either side, since the part is
  // centred (mirroring therefore changes nothing).
  const double cx = (slot.Left + slot.Right) / 2.0 + sw * offsetX;
  const double cy = (slot.Top + slot.Bottom) / 2.0 + sh * offsetY;
  const double c = std::cos(angle), s = std::sin(angle);
  double halfX = 0, halfY = 0;
  for (const double x : {double(v.Left) - kPhotoCropReach, double(v.Right) + kPhotoCropReach})
    for (const double y : {double(v.Top) - kPhotoCropReach, double(v.Bottom) + kPhotoCropReach}) {
      const double dx = x - cx, dy = y - cy;
      halfX = std::max(halfX, std::fabs(c * dx - s * dy) / w);
      halfY = std::max(halfY, std::fabs(s * dx + c * dy) / h);
    }
  if (!(halfX < 0.5) && !(halfY < 0.5)) return hint;
  constexpr int32_t kUnit = au::DecodeHint::kCropUnit;
  // The near edges rounded down, so outward; the far ones mirror them.
  auto nearEdge = [](double half) {
    return half < 0.5 ? static_cast<int32_t>(std::floor((0.5 - half) * kUnit)) : int32_t(0);
  };
  hint.CropLeft = nearEdge(halfX);
  hint.CropTop = nearEdge(halfY);
  hint.CropRight = kUnit - hint.CropLeft;
  hint.CropBottom = kUnit - hint.CropTop;
  hint.CropMargin = kPhotoCropMargin;
  return hint;
}

namespace {

// Photos read ahead of the one being placed, each on its own thread. The
// editor keeps at most four reads ahead (EditorOptions::prefetchLimit); the
// background picture takes one while the first photos are read.
constexpr int kPhotosReadAhead = 3;

// One run of the procedure; its steps return the first error.
class TComposer {
 public:
  TComposer(const TComposeEnvironment& env, const TComposeJob& job) : FEnv(env), FJob(job), FApp(*env.App) {}

  TComposeReport Run();

 private:
  bool Cancelled() const { return FEnv.CancelFlag && FEnv.CancelFlag->load(std::memory_order_relaxed); }
  Status CheckCancel() const { return Cancelled() ? Status::Cancelled() : Status::Ok(); }
  void Progress(int percent) {
    if (FEnv.ReportProgress) FEnv.ReportProgress(percent);
  }
  void Queue(const std::string& text) {
    if (FEnv.QueueMessage) FEnv.QueueMessage(text);
  }

  Status CloseAllDocuments();
  Status Compose();
  TSlotRect SlotRect(const TPlacement& placement) const;
  void FindVisibleBoxes(const std::vector<std::unique_ptr<TPlacement>>& placements, size_t count);
  au::DecodeHint PhotoHint(const TPlacement& placement, const TSlotNode& slot) const;
  Status PlacePhoto(const TPlacement& placement, const TSlotNode& slot);
  Status RaiseOverlays();
  Status AddWatermark();
  Status Save();
  Status SaveJpeg(const std::string& path, int quality, std::string& written);
  void RestoreUnits();
  void CleanUp(bool removeOutputs);

  const TComposeEnvironment& FEnv;
  const TComposeJob& FJob;
  au::Application& FApp;
  const TTempNode* FA = nullptr;  // preview version: slots, page size
  const TTempNode* FB = nullptr;  // result version: the placement count
  const TPSGUIDNode* FVersion = nullptr;
  std::shared_ptr<au::Preferences> FPrefs;
  std::optional<int> FRulerUnits, FTypeUnits;
  bool FUnitsChanged = false;
  bool FBackgroundFailed = false;
  au::DocumentRef FDoc;
  int32_t FW0 = 0, FH0 = 0;  // template document as stored
  int32_t FO = 0, FP = 0;    // composed size
  double FK = 1;             // distance factor of Translate
  // Per placement, the box of composed pixels its slot's mask shows; none
  // when a photo there must be decoded whole.
  std::map<const TPlacement*, TSlotRect> FVisible;
  TComposeReport FReport;
};

Status TComposer::CloseAllDocuments() {
  TRY_ASSIGN(documents, FApp.Documents());
  TRY_ASSIGN(count, documents->Count());
  for (int i = count; i >= 1; --i) {
    TRY_ASSIGN(doc, documents->Item(i));
    TRY(doc->Close(au::kDoNotSaveChanges));
  }
  return Status::Ok();
}

void TComposer::RestoreUnits() {
  if (!FUnitsChanged || !FPrefs) return;
  if (FRulerUnits) (void)FPrefs->SetRulerUnits(*FRulerUnits);
  if (FTypeUnits) (void)FPrefs->SetTypeUnits(*FTypeUnits);
  FUnitsChanged = false;
}

Status TComposer::Compose() {
  const TTempNode& a = *FA;
  // Step 2: a clean editor.
  TRY(CloseAllDocuments());
  // Step 3.
  const std::string imageName = FJob.PreviewMode ? "brivanto_a" : "brivanto_b";
  // Step 4: pixels for both unit preferences, restored at the end.
  TRY_ASSIGN(prefs, FApp.Preferences());
  FPrefs = prefs;
  TRY_ASSIGN(ruler, prefs->RulerUnits());
  TRY_ASSIGN(type, prefs->TypeUnits());
  FRulerUnits = ruler;
  FTypeUnits = type;
  FUnitsChanged = true;
  TRY(prefs->SetRulerUnits(au::kUnitPixels));
  TRY(prefs->SetTypeUnits(au::kTypeUnitPixels));
  Progress(10);

  // Step 5: the job's own working file.
  const std::string& work = FEnv.WorkFile;
  if (FileExists(work)) RemoveFile(work);
  if (!DirectoryExists(FolderOf(work))) MakeDirectories(FolderOf(work), 0700);
  // The template document and the first photo are read ahead while the
  // background is deciphered.
  const std::string documentPath = a.Folder + imageName + ".psd";
  FApp.Prefetch(documentPath);

  // Step 6: the background picture, deciphered.
  Status deciphered = DecipherTemplateImage(a.Folder + imageName + ".jpg", work);
  if (!deciphered.ok()) {
    // Reported in both modes (a silent stop would read as success).
    if (FRulerUnits) (void)prefs->SetRulerUnits(*FRulerUnits);
    Queue(kBackgroundFailedMessage);
    FBackgroundFailed = true;
    return Status::Error(std::string(kBackgroundFailedMessage) + ": " + deciphered.message());
  }
  TRY(CheckCancel());
  // The background picture decodes while the template is read and resized.
  FApp.Prefetch(work);

  // Step 7: the template document.
  TRY_ASSIGN(doc, FApp.Load(documentPath));
  FDoc = doc;
  TRY_ASSIGN(w0, doc->Width());
  TRY_ASSIGN(h0, doc->Height());
  TRY_ASSIGN(r0, doc->Resolution());
  FW0 = RoundToInt32(w0);
  FH0 = RoundToInt32(h0);

  // Step 8: the composed size and resolution.
  if (a.SizeUnit < kUnitPixel || a.SizeUnit > kUnitMillimetre || !(a.Width > 0) || !(a.Height > 0))
    return Status::Error("the template has no page size");
  double resolution = r0;
  if (FJob.PreviewMode) {
    const double pageW = a.Spread != 0 ? double(a.Width) * 2 : double(a.Width);
    FO = FW0;
    FP = FH0;
    FitInBox(ToPixels(a.SizeUnit, pageW), ToPixels(a.SizeUnit, a.Height), FO, FP);
  } else {
    double w = a.Spread == 1 ? double(a.Width) * 2 : double(a.Width);
    double h = a.Height;
    double r = FEnv.Settings->AutoResolution ? -1 : FEnv.Settings->Resolution;
    if (!PrintPixelSize(FW0, FH0, a.SizeUnit, w, h, r)) return Status::Error("the template has no page size");
    FO = RoundToInt32(w);
    FP = RoundToInt32(h);
    resolution = r;
  }
  Progress(20);

  // The placements, in order, and the photo each shows. The first photos
  // are read ahead (at the size they are placed at) from here on, so that
  // their decoding overlaps the template's resampling and the placing of
  // the photos before them.
  const auto& placements = FJob.PreviewMode ? a.Placements : FB->Placements;
  const size_t count = FB->Placements.size();
  if (placements.size() < count)
    return Status::Error("the preview version has fewer placements than the result");
  auto photoOf = [&](size_t i) -> const TSlotNode* {
    const int32_t slot = placements[i]->SlotNumber - 1;
    if (slot < 0 || slot >= static_cast<int32_t>(a.Slots.size())) return nullptr;
    return a.Slots[slot].get();
  };
  auto prefetchFrom = [&](size_t from) {
    int ahead = 0;
    for (size_t j = from; j < count && ahead < kPhotosReadAhead; ++j) {
      const TSlotNode* s = photoOf(j);
      if (s && s->PhotoIndex >= 0 && s->PhotoIndex < static_cast<int32_t>(FJob.SetNode->Photos.size())) {
        FApp.PrefetchScaled(FJob.SetNode->Photos[s->PhotoIndex]->FileName, PhotoHint(*placements[j], *s));
        ++ahead;
      }
    }
  };
  FindVisibleBoxes(placements, count);
  prefetchFrom(0);

  TRY(doc->ResizeImage(FO, FP, resolution, au::kResampleBicubic));
  Progress(30);

  // Step 9: the background picture over the template, at the top.
  {
    TRY_ASSIGN(bg, FApp.Load(work));
    TRY_ASSIGN(bgRes, bg->Resolution());
    TRY(bg->ResizeImage(FO, FP, bgRes, au::kResampleBicubic));
    TRY_ASSIGN(bgLayers, bg->ArtLayers());
    TRY_ASSIGN(bgCount, bgLayers->Count());
    TRY_ASSIGN(bgLayer, bgLayers->Item(bgCount));
    TRY(bgLayer->Duplicate(doc, au::kPlaceAtBeginning).status());
    TRY(bg->Close(au::kDoNotSaveChanges));
    RemoveFile(work);
  }
  Progress(40);

  // Step 10.
  TRY_ASSIGN(resolutionNow, doc->Resolution());
  FK = FVersion->Scale ? 72.0 / resolutionNow : 1.0;

  // Step 11: the placements, in order.
  for (size_t i = 0; i < count; ++i) {
    const TSlotNode* slot = photoOf(i);
    if (!slot)
      return Status::Error("placement " + std::to_string(i + 1) + " names a slot the template lacks");
    if (slot->PhotoIndex == -1) continue;
    prefetchFrom(i + 1);
    TRY(PlacePhoto(*placements[i], *slot));
    TRY(CheckCancel());
    Progress(40 + 5 * static_cast<int>(i));
  }

  // Step 20.
  Progress(90);
  TRY(RaiseOverlays());
  // Step 21.
  TRY(AddWatermark());
  TRY(CheckCancel());
  // Step 22.
  TRY(Save());
  // Step 23.
  Progress(95);
  TRY(doc->Close(au::kDoNotSaveChanges));
  FDoc.reset();
  RestoreUnits();
  return Status::Ok();
}

// Step 15's rectangle: the slot in composed pixels.
TSlotRect TComposer::SlotRect(const TPlacement& placement) const {
  TSlotRect r{RoundToInt32(placement.Rect.Left), RoundToInt32(placement.Rect.Top),
              RoundToInt32(placement.Rect.Right), RoundToInt32(placement.Rect.Bottom)};
  ScaleRect(FW0, FH0, FO, FP, r);
  return r;
}

// The masks' boxes, taken from the template document before it is resized:
// resampling to the composed size spreads a mask by the filter's reach, two
// pixels of the larger grid and one more for rounding. A layered result
// keeps every photo whole in its layer (its mask is unlinked so that the
// photo can be moved in it later), so it needs no boxes.
void TComposer::FindVisibleBoxes(const std::vector<std::unique_ptr<TPlacement>>& placements, size_t count) {
  FVisible.clear();
  if (FJob.PsdOutput || FW0 <= 0 || FH0 <= 0 || FO <= 0 || FP <= 0) return;
  const double kx = double(FO) / FW0, ky = double(FP) / FH0;
  const double rx = 2 * std::max(1.0, kx) + 1, ry = 2 * std::max(1.0, ky) + 1;
  for (size_t i = 0; i < count && i < placements.size(); ++i) {
    Result<au::ChannelRef> channel = FindSlotChannel(*FDoc, placements[i]->ChannelName);
    if (!channel.ok()) continue;
    Result<au::LayerBounds> b = (*channel)->ContentBounds();
    if (!b.ok() || !(b->right > b->left) || !(b->bottom > b->top)) continue;
    const TSlotRect box{static_cast<int32_t>(std::max(0.0, std::floor(b->left * kx - rx))),
                        static_cast<int32_t>(std::max(0.0, std::floor(b->top * ky - ry))),
                        static_cast<int32_t>(std::min(double(FO), std::ceil(b->right * kx + rx))),
                        static_cast<int32_t>(std::min(double(FP), std::ceil(b->bottom * ky + ry)))};
    if (box.Right > box.Left && box.Bottom > box.Top) FVisible[placements[i].get()] = box;
  }
}

// Only the part of the photo its slot shows, unless the result keeps whole
// layers or an effect looks beyond each pixel.
au::DecodeHint TComposer::PhotoHint(const TPlacement& placement, const TSlotNode& slot) const {
  std::optional<TSlotRect> visible;
  if (auto it = FVisible.find(&placement);
      it != FVisible.end() && (FJob.CancelEffects || EffectsActPerPixel(slot)))
    visible = it->second;
  return PlacedPhotoHint(SlotRect(placement), slot, visible);
}

Status TComposer::PlacePhoto(const TPlacement& placement, const TSlotNode& slot) {
  const auto& photos = FJob.SetNode->Photos;
  if (slot.PhotoIndex < 0 || slot.PhotoIndex >= static_cast<int32_t>(photos.size()))
    return Status::Error("a slot names a photo the set lacks");
  const std::string& file = photos[slot.PhotoIndex]->FileName;
  au::DocumentRef doc = FDoc;

  // Step 12: the photo and its lowest visible layer. The photo may come
  // decoded below its size (see PhotoHint); every size rule below uses its
  // true pixels, and the layer's bounds are taken to true pixels too.
  TRY_ASSIGN(loaded, FApp.LoadScaled(file, PhotoHint(placement, slot)));
  au::DocumentRef photo = loaded.Document;
  TRY_ASSIGN(decodedW, photo->Width());
  TRY_ASSIGN(decodedH, photo->Height());
  const double photoW = loaded.FullWidth, photoH = loaded.FullHeight;
  const int32_t pw = RoundToInt32(photoW), ph = RoundToInt32(photoH);
  const double toTrueX = decodedW > 0 && photoW > 0 ? photoW / decodedW : 1;
  const double toTrueY = decodedH > 0 && photoH > 0 ? photoH / decodedH : 1;
  {
    TRY_ASSIGN(layers, photo->ArtLayers());
    TRY_ASSIGN(layerCount, layers->Count());
    if (layerCount > 1) (void)photo->MergeVisibleLayers();  // an error here is ignored
  }
  TRY_ASSIGN(l, FindVisibleLayer(*photo, false));
  TRY(photo->SetActiveLayer(l));
  TRY_ASSIGN(b, l->Bounds());  // decoded pixels

  // Step 13: offset of the picture's centre from the layer's centre, worked
  // out in decoded pixels (whole numbers: a layer centred on its canvas, as
  // a photo decoded over a centred part is, gives exactly 0) and then taken
  // to true pixels.
  double cx = (decodedW - (b.left + b.right)) / 2 * toTrueX;
  double cy = (decodedH - (b.top + b.bottom)) / 2 * toTrueY;

  // Step 14: copy and paste.
  {
    TRY_ASSIGN(selection, photo->Selection());
    TRY(selection->SelectAll());
    if (!l->Copy(true).ok()) TRY(l->Copy(false));
    TRY(selection->Deselect());
  }
  TRY(FApp.SetActiveDocument(doc));
  TRY(doc->Paste(false).status());
  TRY(photo->Close(au::kDoNotSaveChanges));
  TRY(CheckCancel());

  // Step 15: the slot rectangle in composed pixels.
  const TSlotRect r = SlotRect(placement);
  const int32_t sw = r.Right - r.Left, sh = r.Bottom - r.Top;
  if (sw <= 0 || sh <= 0)
    return Status::Error("the slot of channel " + placement.ChannelName + " has no area");

  // Step 16: the size.
  float scaleX = slot.ScaleX, scaleY = slot.ScaleY;
  if (!slot.IsFitted() && pw > 0 && ph > 0) {
    // A slot never shown on the preview: the photo covers the slot.
    const double z = std::max(double(sw) / pw, double(sh) / ph);
    scaleX = static_cast<float>(z * pw / sw);
    scaleY = static_cast<float>(z * ph / sh);
  }
  if (pw <= 0 || ph <= 0) return Status::Error("the photo has no pixels");
  const float zx = static_cast<float>(sw) * scaleX / static_cast<float>(pw);
  const float zy = static_cast<float>(sh) * scaleY / static_cast<float>(ph);
  cx *= zx;
  cy *= zy;
  TRY_ASSIGN(docLayers, doc->ArtLayers());
  TRY_ASSIGN(top, docLayers->Item(1));
  TRY(doc->SetActiveLayer(top));
  TRY_ASSIGN(layer, doc->ActiveLayer());
  TRY_ASSIGN(n, layer->Bounds());
  const double nw = n.right - n.left, nh = n.bottom - n.top;
  if (!(nw > 0) || !(nh > 0)) return Status::Error("the pasted photo is empty");
  // The layer's size in true pixels times zx, over the pasted size. The
  // pasted layer holds the photo layer's painted pixels, so the ratio of the
  // two sizes in decoded pixels is 1 and the percentage does not depend on
  // how much of the photo was decoded.
  const double hp = 100 * double(zx) * toTrueX * ((b.right - b.left) / nw) * (slot.FlipH ? -1 : 1);
  const double vp = 100 * double(zy) * toTrueY * ((b.bottom - b.top) / nh) * (slot.FlipV ? -1 : 1);
  // A turned photo is resized and turned in one resampling pass after the
  // move and the effects (moving by whole pixels commutes with a transform
  // about the layer's centre; the effects act on each pixel's colour or on
  // the whole layer, so their order against resampling changes the result
  // only within resampling tolerance). An upright one is resized here.
  const bool turned = slot.Angle != 0;
  if (!turned) TRY(layer->Resize(hp, vp, au::kAnchorMiddleCenter));

  // Step 17: the picture's centre on the slot centre moved by the offsets.
  const double sx = (r.Left + r.Right) / 2.0 + (r.Right - r.Left) * double(slot.OffsetX);
  const double sy = (r.Top + r.Bottom) / 2.0 + (r.Bottom - r.Top) * double(slot.OffsetY);
  const double dx = sx - (n.left + n.right) / 2;
  const double dy = sy - (n.top + n.bottom) / 2;
  TRY(layer->Translate(FK * (dx - cx), FK * (dy - cy)));
  TRY(CheckCancel());

  // Step 18: effects (errors ignored), then the rotation.
  if (!FJob.CancelEffects) (void)ApplyEffects(FApp, slot, *layer, *FVersion);
  TRY(CheckCancel());
  if (turned) TRY(layer->ResizeAndRotate(hp, vp, -double(slot.Angle), au::kAnchorMiddleCenter));

  // Step 19: the mask.
  TRY_ASSIGN(channel, FindSlotChannel(*doc, placement.ChannelName));
  TRY_ASSIGN(selection, doc->Selection());
  TRY(selection->Load(channel, au::kSelectionReplace, false));
  TRY(AddRevealMask(FApp, *FVersion));
  if (FJob.PsdOutput) TRY(UnlinkMask(FApp, *FVersion));
  TRY(selection->Deselect());
  return Status::Ok();
}

Status TComposer::RaiseOverlays() {
  TRY_ASSIGN(layers, FDoc->ArtLayers());
  TRY_ASSIGN(n, layers->Count());
  int m = 1;
  while (n >= m) {
    TRY_ASSIGN(layer, layers->Item(n));
    TRY_ASSIGN(name, layer->Name());
    if (AsciiLower(Trim(name)) == kOverlayLayerName) {
      TRY_ASSIGN(first, layers->Item(1));
      TRY(layer->Move(first, au::kPlaceBefore));
      ++m;
    } else {
      --n;
    }
  }
  return Status::Ok();
}

Status TComposer::AddWatermark() {
  const TAppSettings& s = *FEnv.Settings;
  if (!s.ShowWaterMark || !FileExists(s.WaterMarkFile)) return Status::Ok();
  TRY_ASSIGN(mark, FApp.Load(s.WaterMarkFile));
  TRY_ASSIGN(markLayer, FindVisibleLayer(*mark, false));
  TRY(mark->SetActiveLayer(markLayer));
  TRY(markLayer->Copy(false));
  TRY(FApp.SetActiveDocument(FDoc));
  TRY_ASSIGN(layer, FDoc->Paste(false));
  TRY(mark->Close(au::kDoNotSaveChanges));
  TRY(FDoc->SetActiveLayer(layer));
  TRY(layer->SetOpacity(100 - s.WaterMarkTrans));
  TRY(layer->Resize(s.WaterMarkScale, s.WaterMarkScale, au::kAnchorMiddleCenter));
  TRY_ASSIGN(b, layer->Bounds());
  TRY_ASSIGN(width, FDoc->Width());
  TRY_ASSIGN(height, FDoc->Height());
  const TPoint p =
      WatermarkCorner(s.Orient, width, height, b.right - b.left, b.bottom - b.top, s.MarginH, s.MarginV);
  return layer->Translate(FK * (p.X - b.left), FK * (p.Y - b.top));
}

Status TComposer::SaveJpeg(const std::string& path, int quality, std::string& written) {
  TRY_ASSIGN(options, au::CreateObjectAs<au::JPEGSaveOptions>(FApp, FVersion->JPEGSaveOptions));
  options.Quality = quality;
  TRY(FDoc->SaveAs(path, options, true, au::kExtensionLowerCase));
  written = SavedFilePath(path, false);
  return Status::Ok();
}

Status TComposer::Save() {
  if (FJob.PreviewMode) return SaveJpeg(FJob.PreviewFile, kPreviewJpegQuality, FReport.PreviewWritten);
  if (FJob.PsdOutput) {
    TRY_ASSIGN(options, au::CreateObjectAs<au::PhotoshopSaveOptions>(FApp, FVersion->PhotoshopSaveOptions));
    TRY(FDoc->SaveAs(FJob.ResultFile, options, true, au::kExtensionLowerCase));
    FReport.ResultWritten = SavedFilePath(FJob.ResultFile, true);
  } else {
    TRY(SaveJpeg(FJob.ResultFile, kResultJpegQuality, FReport.ResultWritten));
  }
  TRY(CheckCancel());
  // The small preview is for the preview screen. A job that names no file
  // for it (the command-line tool keeps only results) spares the merge and
  // the resampling of the whole page.
  if (FJob.PreviewFile.empty()) return Status::Ok();
  TRY_ASSIGN(width, FDoc->Width());
  TRY_ASSIGN(height, FDoc->Height());
  TRY_ASSIGN(resolution, FDoc->Resolution());
  int32_t o = kSmallPreviewWidth, p = kSmallPreviewHeight;
  FitInBox(RoundToInt32(width), RoundToInt32(height), o, p);
  // The small preview is flat: one merged layer is resampled instead of
  // every layer, mask and channel (the document is closed without saving).
  // Should the merge fail, the layers are resampled as they are.
  (void)FDoc->MergeVisibleLayers();
  TRY(FDoc->ResizeImage(o, p, resolution, au::kResampleBicubic));
  return SaveJpeg(FJob.PreviewFile, kPreviewJpegQuality, FReport.PreviewWritten);
}

void TComposer::CleanUp(bool removeOutputs) {
  // Queries and Close keep working after a cancel request.
  (void)CloseAllDocuments();
  FDoc.reset();
  RestoreUnits();
  if (FileExists(FEnv.WorkFile)) RemoveFile(FEnv.WorkFile);
  if (removeOutputs) {
    if (!FReport.ResultWritten.empty()) RemoveFile(FReport.ResultWritten);
    if (!FReport.PreviewWritten.empty()) RemoveFile(FReport.PreviewWritten);
    FReport.ResultWritten.clear();
    FReport.PreviewWritten.clear();
  }
}

TComposeReport TComposer::Run() {
  // Step 1.
  const TSetNode* set = FJob.SetNode;
  const int index = FJob.TemplateIndex;
  if (!set || !FEnv.App || !FEnv.Versions || !FEnv.Settings || index < 0 ||
      index >= static_cast<int>(set->PreviewTemps.size()) ||
      index >= static_cast<int>(set->ResultTemps.size()) || FJob.PSVersionIndex < 0 ||
      FJob.PSVersionIndex >= static_cast<int>(FEnv.Versions->size())) {
    FReport.State = TComposeState::NotRun;
    FReport.Message = "the job names no template or no editor version";
    return FReport;
  }
  FA = set->PreviewTemps[index].get();
  FB = set->ResultTemps[index].get();
  FVersion = &(*FEnv.Versions)[FJob.PSVersionIndex];

  Status s;
  bool thrown = false;
  try {
    s = Compose();
  } catch (const std::bad_alloc&) {
    thrown = true;
    s = Status::Error(NotEnoughMemoryMessage(FA->Folder));
  } catch (const std::exception& e) {
    thrown = true;
    s = Status::Error("composing " + LastPathPart(FA->Folder) + " failed: " + e.what());
  } catch (...) {
    thrown = true;
    s = Status::Error("composing " + LastPathPart(FA->Folder) + " failed");
  }
  if (thrown) {
    // The documents may be half changed and memory short: everything this
    // run opened or wrote goes, so that nothing half made is left behind.
    FReport.State = TComposeState::Failed;
    FReport.Message = s.message();
    try {
      CleanUp(true);
    } catch (...) {
      // Closing failed too; the next job closes every document first.
    }
    return FReport;
  }
  if (s.ok() && !Cancelled()) {
    FReport.State = TComposeState::Done;
    return FReport;
  }
  if (Cancelled()) {
    FReport.State = TComposeState::Cancelled;
    FReport.Message = "cancelled";
    CleanUp(true);
  } else {
    FReport.State = TComposeState::Failed;
    FReport.Message = s.message();
    CleanUp(false);
  }
  return FReport;
}

}  // namespace

std::string NotEnoughMemoryMessage(const std::string& templateFolder) {
  return "not enough memory to compose " + LastPathPart(templateFolder);
}

TComposeReport ComposeTemplate(const TComposeEnvironment& env, const TComposeJob& job) {
  return TComposer(env, job).Run();
}

}  // namespace tessaro
