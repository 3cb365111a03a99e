#include "editor/DocumentFiles.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "base/FileIo.h"
#include "editor/Raster.h"
#include "imaging/codecs/Codecs.h"

namespace tessaro::editor {

namespace {

bool IsLayeredSignature(const std::vector<uint8_t>& head) {
  return head.size() >= 4 && std::memcmp(head.data(), "8BPS", 4) == 0;
}

// One layer covering the canvas, or the part `box` of it the pixels were
// decoded for. `mayBeTransparent` false (a file without transparency)
// spares the look at every pixel's alpha.
std::unique_ptr<LayerData> WholeCanvasLayer(Image pixels, bool mayBeTransparent = true,
                                            std::optional<IntRect> part = std::nullopt) {
  auto layer = std::make_unique<LayerData>();
  const IntRect box = part ? *part : IntRect{0, 0, pixels.width(), pixels.height()};
  if (const std::optional<Rgba8> colour = UniformColor(pixels)) {
    // A picture of one colour (a plain background) is kept as that colour.
    layer->name = colour->a == 255 ? "Background" : "Layer 0";
    layer->box = box;
    layer->fill = colour;
    return layer;
  }
  bool opaque = true;
  for (int y = 0; y < pixels.height() && opaque && mayBeTransparent; ++y) {
    const Rgba8* row = pixels.Row(y);
    for (int x = 0; x < pixels.width(); ++x)
      if (row[x].a != 255) {
        opaque = false;
        break;
      }
  }
  layer->name = opaque ? "Background" : "Layer 0";
  layer->box = box;
  layer->pixels = std::move(pixels);
  if (!opaque) CompactLayer(*layer);
  return layer;
}

Result<DocContent> ReadLayered(const std::string& path) {
  Result<std::vector<uint8_t>> bytes = ReadWholeFile(path);
  if (!bytes.ok()) return bytes.status();
  PsdReadOptions options;
  options.composite = false;
  options.cropAlphaChannels = true;
  options.fillLayers = true;
  Result<PsdDocument> psd = ReadPsd(*bytes, options);
  if (!psd.ok()) return Status::Error(FileNameOf(path) + ": " + psd.message());
  Result<DocContent> content = DocContentFromPsd(*psd);
  if (!content.ok()) return content.status();
  if (content->layers.empty()) {
    // No pixel layers: the merged picture is the document's only layer.
    PsdReadOptions compositeOnly;
    compositeOnly.layers = false;
    compositeOnly.alphaChannels = false;
    Result<PsdDocument> merged = ReadPsd(*bytes, compositeOnly);
    if (!merged.ok()) return Status::Error(FileNameOf(path) + ": " + merged.message());
    if (merged->composite.empty()) return Status::Error(FileNameOf(path) + ": no picture in the document");
    content->layers.push_back(WholeCanvasLayer(std::move(merged->composite)));
  }
  return content;
}

}  // namespace

Result<DocContent> DocContentFromPsd(PsdDocument& psd) {
  DocContent content;
  content.width = psd.width;
  content.height = psd.height;
  content.resolution = psd.resolution > 0 ? psd.resolution : 72;
  content.iccProfile = psd.iccProfile;

  // Walk from the top: a folder record opens a group whose contents follow
  // until its divider. Each art layer takes the visibility and opacity of
  // every group around it.
  struct Group {
    bool visible;
    double opacity;  // 0..1
  };
  std::vector<Group> groups;
  for (auto it = psd.layers.rbegin(); it != psd.layers.rend(); ++it) {
    PsdLayer& l = *it;
    if (l.section == PsdSection::kOpenFolder || l.section == PsdSection::kClosedFolder) {
      groups.push_back(Group{l.visible, l.opacity / 255.0});
      continue;
    }
    if (l.section == PsdSection::kDivider) {
      if (!groups.empty()) groups.pop_back();
      continue;
    }
    auto layer = std::make_unique<LayerData>();
    layer->name = l.name;
    bool visible = l.visible;
    double opacity = l.opacity / 255.0;
    for (const Group& g : groups) {
      visible = visible && g.visible;
      opacity *= g.opacity;
    }
    layer->visible = visible;
    layer->opacity = opacity * 100.0;
    layer->fillOpacity = l.fillOpacity;
    layer->mode = l.blendMode == BlendMode::kPassThrough ? BlendMode::kNormal : l.blendMode;
    layer->clipping = l.clipping;
    if (l.fill && !l.bounds.Empty()) {
      layer->box = l.bounds;
      layer->fill = l.fill;
    } else if (!l.pixels.empty() && !l.bounds.Empty()) {
      layer->box = l.bounds;
      layer->pixels = std::move(l.pixels);
    }
    if (l.mask) {
      LayerMaskData m;
      m.plane.outside = l.mask->defaultColor;
      if (!l.mask->bounds.Empty() && !l.mask->pixels.empty()) {
        m.plane.box = l.mask->bounds;
        m.plane.pixels = std::move(l.mask->pixels);
        Status s = m.plane.Trim();
        if (!s.ok()) return s;
      }
      m.linked = l.mask->linked;
      m.disabled = l.mask->disabled;
      layer->mask = std::move(m);
    }
    layer->overlay = l.colorOverlay;
    content.layers.push_back(std::move(layer));
  }
  for (PsdAlphaChannel& a : psd.alphaChannels) {
    auto channel = std::make_unique<ChannelData>();
    channel->name = a.name;
    channel->spot = a.spot;
    if (!a.pixels.empty() && !a.bounds.Empty() && a.bounds != IntRect{0, 0, psd.width, psd.height}) {
      // Read cropped already.
      channel->plane.box = a.bounds;
      channel->plane.pixels = std::move(a.pixels);
      if (Status s = channel->plane.Trim(); !s.ok()) return s;
    } else if (!a.pixels.empty()) {
      Result<MaskPlane> plane = MaskPlane::FromPlane(a.pixels, 0, 0, 0);
      if (!plane.ok()) return plane.status();
      channel->plane = std::move(plane.value());
    }
    a.pixels.Reset();  // the full-size plane is not kept
    content.channels.push_back(std::move(channel));
  }
  return content;
}

Result<DocContent> ReadDocumentFile(const std::string& path, const automation::DecodeHint& hint) {
  static_assert(automation::DecodeHint::kCropUnit == kDecodeCropUnit);
  if (!FileExists(path)) return Status::Error("file not found: " + path);
  Result<std::vector<uint8_t>> head = ReadFileHead(path, 4);
  if (!head.ok()) return head.status();
  if (IsLayeredSignature(*head)) return ReadLayered(path);
  DecodeOptions options;
  options.minWidth = std::max(0, hint.MinWidth);
  options.minHeight = std::max(0, hint.MinHeight);
  options.cropLeft = hint.CropLeft;
  options.cropTop = hint.CropTop;
  options.cropRight = hint.CropRight;
  options.cropBottom = hint.CropBottom;
  options.cropMargin = hint.CropMargin;
  Result<DecodedImage> decoded = DecodeImageFile(path, options);
  if (!decoded.ok()) return Status::Error(FileNameOf(path) + ": " + decoded.message());
  DocContent content;
  content.width = decoded->wholeWidth;
  content.height = decoded->wholeHeight;
  const IntRect canvas{0, 0, content.width, content.height};
  const IntRect part = decoded->region;
  if (canvas.Empty() || part.Empty() || Intersect(part, canvas) != part ||
      part.Width() != decoded->pixels.width() || part.Height() != decoded->pixels.height())
    return Status::Error(FileNameOf(path) + ": the decoder placed its pixels outside the picture");
  content.resolution = decoded->ppi > 0 ? decoded->ppi : 72;
  const int fullWidth = decoded->info.DisplayWidth(), fullHeight = decoded->info.DisplayHeight();
  if (decoded->scale < 1 && !decoded->fromThumbnail && fullWidth > content.width) {
    content.fullWidth = fullWidth;
    content.fullHeight = fullHeight;
    content.resolution *= double(content.width) / fullWidth;
  }
  content.layers.push_back(WholeCanvasLayer(std::move(decoded->pixels), decoded->info.hasAlpha, part));
  return content;
}

int JpegEncoderQuality(int quality) {
  static constexpr int kTable[13] = {10, 20, 30, 40, 50, 60, 68, 75, 82, 88, 92, 95, 98};
  if (quality < 0 || quality > 12) return -1;
  return kTable[quality];
}

bool JpegKeepsFullChroma(int quality) { return quality >= 7; }

Status SaveDocumentJpeg(const DocState& doc, const std::string& path, int quality,
                        const CancelToken& cancel) {
  const int encoderQuality = JpegEncoderQuality(quality);
  if (encoderQuality < 0)
    return Status::Error("JPEG quality must lie in 0..12, not " + std::to_string(quality));
  Status s = cancel.Check();
  if (!s.ok()) return s;
  JpegEncodeOptions options;
  options.quality = encoderQuality;
  options.subsampleChroma = !JpegKeepsFullChroma(quality);
  options.cancel = cancel;
  // The page is flattened a band at a time, each band while the one above
  // it is encoded: the flat page never exists whole.
  const IntRect canvas = doc.Canvas();
  auto band = [&doc, &cancel, &canvas](int top, int bottom) -> Result<Image> {
    Image rows;
    Status f = FlattenArea(doc, IntRect{canvas.left, top, canvas.right, bottom}, rows, cancel);
    if (!f.ok()) return f;
    return rows;
  };
  Result<std::vector<uint8_t>> bytes = EncodeJpegBands(
      canvas.Width(), canvas.Height(), BandRows(canvas.Width()), band, options, doc.resolution);
  if (!bytes.ok()) {
    if (cancel.Requested()) return Status::Cancelled();
    return Status::Error("cannot encode " + FileNameOf(path) + ": " + bytes.message());
  }
  s = WriteFileAtomic(path, *bytes);
  if (!s.ok()) return Status::Error("cannot write " + path + ": " + s.message());
  return Status::Ok();
}

Status SaveDocumentPsd(DocState& doc, const std::string& path, bool withLayers, bool withAlphaChannels,
                       const CancelToken& cancel) {
  PsdDocument psd;
  psd.width = doc.width;
  psd.height = doc.height;
  psd.resolution = doc.resolution;
  psd.iccProfile = doc.iccProfile;
  Status s = FlattenArea(doc, doc.Canvas(), psd.composite, cancel);
  if (!s.ok()) return s;

  // Alpha channels are lent to the writer cropped, as they are stored
  // (only a channel that is not 0 outside its box is made whole).
  std::vector<ChannelData*> lentChannels;
  auto giveChannelsBack = [&] {
    for (size_t i = 0; i < lentChannels.size(); ++i)
      if (lentChannels[i]) lentChannels[i]->plane.pixels = std::move(psd.alphaChannels[i].pixels);
  };
  if (withAlphaChannels) {
    for (const auto& c : doc.channels) {
      s = cancel.Check();
      if (!s.ok()) {
        giveChannelsBack();
        return s;
      }
      PsdAlphaChannel a;
      a.name = c->name;
      a.spot = c->spot;
      if (c->plane.IsUniform() && c->plane.outside == 0) {
        lentChannels.push_back(nullptr);  // all 0: no pixels, no box
      } else if (c->plane.outside == 0 && Intersect(c->plane.box, doc.Canvas()) == c->plane.box) {
        a.bounds = c->plane.box;
        a.pixels = std::move(c->plane.pixels);
        lentChannels.push_back(c.get());
      } else {
        Result<Plane> full = c->plane.Materialize(doc.Canvas());
        if (!full.ok()) {
          giveChannelsBack();
          return full.status();
        }
        a.pixels = std::move(full.value());
        a.bounds = doc.Canvas();
        lentChannels.push_back(nullptr);
      }
      psd.alphaChannels.push_back(std::move(a));
    }
  }

  // Lend the layers' pixels to the writer (bottom first) and take them back
  // afterwards, whatever happens.
  struct Lent {
    LayerData* layer;
    bool mask;
  };
  std::vector<Lent> lent;
  if (withLayers) {
    for (auto it = doc.layers.rbegin(); it != doc.layers.rend(); ++it) {
      LayerData& l = **it;
      PsdLayer p;
      p.name = l.name;
      p.bounds = l.HasContent() ? l.box : IntRect{};
      p.pixels = std::move(l.pixels);
      p.fill = l.fill;
      p.opacity = l.OpacityByte();
      p.fillOpacity = l.fillOpacity;
      p.blendMode = l.mode;
      p.visible = l.visible;
      p.clipping = l.clipping;
      bool maskLent = false;
      if (l.mask) {
        PsdLayerMask m;
        MaskPlane& plane = l.mask->plane;
        if (plane.outside == 0 || plane.outside == 255) {
          m.bounds = plane.box;
          m.pixels = std::move(plane.pixels);
          m.defaultColor = plane.outside;
          maskLent = true;
        } else {
          // A file's mask is 0 or 255 outside its box: store the canvas.
          Result<Plane> full = plane.Materialize(doc.Canvas());
          if (!full.ok()) {
            s = full.status();
          } else {
            m.bounds = doc.Canvas();
            m.pixels = std::move(full.value());
            m.defaultColor = 0;
          }
        }
        m.linked = l.mask->linked;
        m.disabled = l.mask->disabled;
        p.mask = std::move(m);
      }
      p.colorOverlay = l.overlay;
      psd.layers.push_back(std::move(p));
      lent.push_back(Lent{&l, maskLent});
    }
  }
  // Written straight to the file, a few bands at a time; a failure or a
  // cancel leaves the old file as it was.
  if (s.ok()) s = WritePsdFile(path, psd, PsdWriteOptions{cancel});
  for (size_t i = 0; i < lent.size(); ++i) {
    lent[i].layer->pixels = std::move(psd.layers[i].pixels);
    if (lent[i].mask) lent[i].layer->mask->plane.pixels = std::move(psd.layers[i].mask->pixels);
  }
  giveChannelsBack();
  if (!s.ok()) {
    if (cancel.Requested()) return Status::Cancelled();
    return Status::Error("cannot write " + path + ": " + s.message());
  }
  return Status::Ok();
}

}  // namespace tessaro::editor
