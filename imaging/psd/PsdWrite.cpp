// Writing layered documents: 8-bit RGB, PSB when a side exceeds the PSD
// limit (or when a section outgrows 32-bit lengths). Layout as described in
// PsdInternal.h; every channel is PackBits-coded.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "base/Parallel.h"
#include "imaging/psd/Psd.h"
#include "imaging/psd/PsdInternal.h"

namespace tessaro {

namespace {

using namespace psd;

// A section length or RLE row count that does not fit the PSD field widths:
// the document is written again as PSB.
struct Overflow {};

class Writer {
 public:
  Writer(const PsdDocument& doc, bool psb, CancelToken cancel) : FDoc(doc), FPsb(psb), FCancel(cancel) {}
  Result<std::vector<uint8_t>> Write();
  bool Overflowed() const { return FOverflow; }
  bool Cancelled() const { return FCancelled; }
  // Polled between rows and bands; remembers a cancel once seen.
  bool StopRequested() {
    if (!FCancelled && FCancel.Requested()) FCancelled = true;
    return FCancelled;
  }

 private:
  struct Channel {
    int16_t id = 0;
    std::vector<uint8_t> bytes;  // compression code, row counts, data
  };
  struct EncodedLayer {
    std::vector<Channel> channels;
  };

  void Length(ByteWriter& w, uint64_t v) {
    if (FPsb) {
      w.U64BE(v);
    } else {
      if (v > 0xFFFFFFFFu) FOverflow = true;
      w.U32BE(static_cast<uint32_t>(v));
    }
  }
  void PatchLength(ByteWriter& w, size_t at, uint64_t v) {
    if (FPsb) {
      w.PatchU64BE(at, v);
    } else {
      if (v > 0xFFFFFFFFu) FOverflow = true;
      w.PatchU32BE(at, static_cast<uint32_t>(v));
    }
  }

  // Codes `height` rows of `width` samples; `row(y, buffer)` returns the
  // samples of row y (it may fill `buffer`, which holds width bytes).
  template <typename RowFn>
  std::vector<uint8_t> EncodeRle(int width, int height, RowFn row);
  std::vector<uint8_t> EncodeImageChannel(const Image& img, int component);
  std::vector<uint8_t> EncodePlane(const Plane& plane);

  void WriteResources(ByteWriter& w);
  void WriteLayerSection(ByteWriter& w);
  void WriteLayerRecord(ByteWriter& w, const PsdLayer& layer, const EncodedLayer& encoded);
  void WriteMerged(ByteWriter& w);

  const PsdDocument& FDoc;
  bool FPsb;
  bool FOverflow = false;
  bool FTransparency = false;
  CancelToken FCancel;
  std::atomic<bool> FCancelled{false};
};

template <typename RowFn>
std::vector<uint8_t> Writer::EncodeRle(int width, int height, RowFn row) {
  const size_t countBytes = FPsb ? 4 : 2;
  std::vector<uint8_t> out;
  out.reserve(2 + size_t(height) * countBytes + size_t(height) * (PackBitsBound(size_t(width)) / 4 + 2));
  out.push_back(0);
  out.push_back(kRle);
  out.resize(2 + size_t(height) * countBytes);
  std::vector<uint8_t> buffer(static_cast<size_t>(width));
  for (int y = 0; y < height; ++y) {
    // Channels are encoded on several threads; a cancel stops each of them
    // within a few rows, and the result is thrown away.
    if (y % 64 == 0 && StopRequested()) break;
    const uint8_t* samples = row(y, buffer.data());
    const size_t n = PackBitsEncodeRow(std::span<const uint8_t>(samples, size_t(width)), out);
    uint8_t* c = out.data() + 2 + size_t(y) * countBytes;
    if (FPsb) {
      c[0] = uint8_t(n >> 24);
      c[1] = uint8_t(n >> 16);
      c[2] = uint8_t(n >> 8);
      c[3] = uint8_t(n);
    } else {
      if (n > 0xFFFF) FOverflow = true;
      c[0] = uint8_t(n >> 8);
      c[1] = uint8_t(n);
    }
  }
  return out;
}

std::vector<uint8_t> Writer::EncodeImageChannel(const Image& img, int component) {
  return EncodeRle(img.width(), img.height(), [&](int y, uint8_t* buffer) -> const uint8_t* {
    const uint8_t* p = &img.Row(y)->r + component;
    for (int x = 0; x < img.width(); ++x) buffer[x] = p[size_t(x) * 4];
    return buffer;
  });
}

std::vector<uint8_t> Writer::EncodePlane(const Plane& plane) {
  return EncodeRle(plane.width(), plane.height(), [&](int y, uint8_t*) { return plane.Row(y); });
}

void WriteResource(ByteWriter& w, uint16_t id, const std::vector<uint8_t>& data) {
  w.Append("8BIM", 4);
  w.U16BE(id);
  w.U16BE(0);  // empty name, padded to even
  w.U32BE(static_cast<uint32_t>(data.size()));
  w.Append(data);
  if (data.size() & 1) w.U8(0);
}

void AppendUnicode(ByteWriter& w, std::string_view utf8, bool terminate) {
  const std::u16string units = Utf8ToUtf16(utf8);
  w.U32BE(static_cast<uint32_t>(units.size() + (terminate ? 1 : 0)));
  for (char16_t u : units) w.U16BE(static_cast<uint16_t>(u));
  if (terminate) w.U16BE(0);
}

void Writer::WriteResources(ByteWriter& w) {
  const size_t lengthAt = w.Size();
  w.U32BE(0);
  const size_t start = w.Size();

  ByteWriter r;
  const double ppi = std::clamp(FDoc.resolution > 0 ? FDoc.resolution : 72.0, 1.0, 60000.0);
  const uint32_t fixed = static_cast<uint32_t>(std::lround(ppi * 65536.0));
  r.U32BE(fixed);
  r.U16BE(1);  // shown as pixels per inch
  r.U16BE(1);  // width shown in inches
  r.U32BE(fixed);
  r.U16BE(1);
  r.U16BE(1);
  WriteResource(w, kResResolution, r.Take());

  // Extra channels, in merged-image order: the merged transparency (named
  // and numbered as the image editors do), then the alpha channels.
  std::vector<std::string> names;
  std::vector<uint32_t> ids;
  std::vector<bool> spot;
  if (FTransparency) {
    names.push_back("Transparency");
    ids.push_back(0);
    spot.push_back(false);
  }
  for (size_t i = 0; i < FDoc.alphaChannels.size(); ++i) {
    names.push_back(FDoc.alphaChannels[i].name);
    ids.push_back(static_cast<uint32_t>(i + 2));
    spot.push_back(FDoc.alphaChannels[i].spot);
  }
  if (!names.empty()) {
    ByteWriter legacy, unicode, idList, display;
    for (const std::string& n : names) {
      const std::string l = Utf8ToLegacyName(n, 255);
      legacy.U8(static_cast<uint8_t>(l.size()));
      legacy.Append(l);
      AppendUnicode(unicode, n, true);
    }
    for (uint32_t id : ids) idList.U32BE(id);
    display.U32BE(1);
    for (size_t i = 0; i < names.size(); ++i) {
      const bool transparency = FTransparency && i == 0;
      display.U16BE(0);  // RGB display colour: red, as the editors default
      display.U16BE(0xFFFF);
      display.U16BE(0);
      display.U16BE(0);
      display.U16BE(0);
      display.U16BE(transparency || spot[i] ? 100 : 50);  // opacity (spot: solidity)
      display.U8(spot[i] ? 2 : 1);                        // 1 = alpha showing masked areas, 2 = spot
    }
    WriteResource(w, kResAlphaNames, legacy.Take());
    WriteResource(w, kResUnicodeAlphaNames, unicode.Take());
    WriteResource(w, kResAlphaIds, idList.Take());
    WriteResource(w, kResDisplayInfo, display.Take());
  }
  // An RGB profile describes the written colour; others (a CMYK profile of
  // a converted document) would not.
  const auto& icc = FDoc.iccProfile;
  if (icc.size() >= 128 && std::memcmp(icc.data() + 16, "RGB ", 4) == 0)
    WriteResource(w, kResIccProfile, icc);

  ByteWriter version;
  version.U32BE(1);
  version.U8(1);  // the merged image is real
  AppendUnicode(version, "Tessaro", true);
  AppendUnicode(version, "Tessaro", true);
  version.U32BE(1);
  WriteResource(w, kResVersionInfo, version.Take());

  w.PatchU32BE(lengthAt, static_cast<uint32_t>(w.Size() - start));
}

void WriteBlock(ByteWriter& w, std::string_view key, const std::vector<uint8_t>& data) {
  w.Append("8BIM", 4);
  w.Append(key.data(), 4);
  const size_t padded = (data.size() + 3) & ~size_t(3);
  w.U32BE(static_cast<uint32_t>(padded));
  w.Append(data);
  w.Zeros(padded - data.size());
}

std::vector<uint8_t> EffectsDescriptor(const PsdColorOverlay& o) {
  ByteWriter w;
  w.U32BE(0);   // object effects version
  w.U32BE(16);  // descriptor version
  DescriptorWriter d(w);
  d.Begin("null", 3);
  d.Unit("Scl ", "#Prc", 100);
  d.Bool("masterFXSwitch", true);
  d.Object("SoFi", "SoFi", 4);
  d.Bool("enab", o.enabled);
  d.Enum("Md  ", "BlnM", BlendModeDescriptorValue(o.blendMode));
  d.Unit("Opct", "#Prc", std::clamp(o.opacityPercent, 0.0, 100.0));
  d.Object("Clr ", "RGBC", 3);
  d.Double("Rd  ", o.red);
  d.Double("Grn ", o.green);
  d.Double("Bl  ", o.blue);
  return w.Take();
}

// The same fill for readers that know only the older effects block.
std::vector<uint8_t> LegacyEffects(const PsdColorOverlay& o) {
  ByteWriter w;
  w.U16BE(0);  // version
  w.U16BE(2);  // effects: common state, solid fill
  w.Append("8BIMcmnS", 8);
  w.U32BE(7);
  w.U32BE(0);
  w.U8(1);  // visible
  w.U16BE(0);
  w.Append("8BIMsofi", 8);
  w.U32BE(34);
  w.U32BE(2);
  w.Append("8BIM", 4);
  const std::string_view key = BlendModeKey(o.blendMode);
  w.Append(key.data(), 4);
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) {
      w.U8(static_cast<uint8_t>(std::lround(std::clamp(o.opacityPercent, 0.0, 100.0) * 2.55)));
      w.U8(o.enabled ? 1 : 0);
    }
    w.U16BE(0);  // RGB colour space
    w.U16BE(static_cast<uint16_t>(o.red * 257));
    w.U16BE(static_cast<uint16_t>(o.green * 257));
    w.U16BE(static_cast<uint16_t>(o.blue * 257));
    w.U16BE(0);
  }
  return w.Take();
}

void Writer::WriteLayerRecord(ByteWriter& w, const PsdLayer& layer, const EncodedLayer& encoded) {
  w.I32BE(layer.bounds.top);
  w.I32BE(layer.bounds.left);
  w.I32BE(layer.bounds.bottom);
  w.I32BE(layer.bounds.right);
  w.U16BE(static_cast<uint16_t>(encoded.channels.size()));
  for (const Channel& c : encoded.channels) {
    w.I16BE(c.id);
    Length(w, c.bytes.size());
  }
  const bool section = layer.section != PsdSection::kNone;
  // Folders keep their mode in the section block; pass-through is not a
  // layer mode, so the record says normal.
  const BlendMode recordMode =
      layer.blendMode == BlendMode::kPassThrough ? BlendMode::kNormal : layer.blendMode;
  w.Append("8BIM", 4);
  w.Append(BlendModeKey(recordMode).data(), 4);
  w.U8(layer.opacity);
  w.U8(layer.clipping ? 1 : 0);
  // bit 1: hidden; bit 3: bit 4 is meaningful; bit 4: no pixels of its own
  w.U8(static_cast<uint8_t>((layer.visible ? 0 : 0x02) | 0x08 | (section ? 0x10 : 0)));
  w.U8(0);
  const size_t extraAt = w.Size();
  w.U32BE(0);
  const size_t extraStart = w.Size();

  if (layer.mask) {
    const PsdLayerMask& m = *layer.mask;
    w.U32BE(20);
    w.I32BE(m.bounds.top);
    w.I32BE(m.bounds.left);
    w.I32BE(m.bounds.bottom);
    w.I32BE(m.bounds.right);
    w.U8(m.defaultColor);
    // Bit 0 set = unlinked (the mask keeps its place when the layer moves),
    // as the image editors write it; bit 1 = disabled.
    w.U8(static_cast<uint8_t>((m.linked ? 0 : 0x01) | (m.disabled ? 0x02 : 0)));
    w.U16BE(0);
  } else {
    w.U32BE(0);
  }
  // Blending ranges: everything blends (grey, then each of four channels).
  w.U32BE(40);
  for (int i = 0; i < 10; ++i) {
    w.U16BE(0x0000);
    w.U16BE(0xFFFF);
  }
  const std::string legacy = Utf8ToLegacyName(layer.name, 31);
  w.U8(static_cast<uint8_t>(legacy.size()));
  w.Append(legacy);
  w.Zeros((4 - (1 + legacy.size()) % 4) % 4);

  {
    ByteWriter luni;
    AppendUnicode(luni, layer.name, false);
    WriteBlock(w, "luni", luni.Take());
  }
  if (section) {
    ByteWriter lsct;
    const uint32_t type = layer.section == PsdSection::kOpenFolder     ? 1
                          : layer.section == PsdSection::kClosedFolder ? 2
                                                                       : 3;
    lsct.U32BE(type);
    if (type != 3) {
      lsct.Append("8BIM", 4);
      lsct.Append(BlendModeKey(layer.blendMode).data(), 4);
      lsct.U32BE(0);
    }
    WriteBlock(w, "lsct", lsct.Take());
  }
  if (layer.fillOpacity != 255) WriteBlock(w, "iOpa", {layer.fillOpacity, 0, 0, 0});
  if (layer.colorOverlay) {
    WriteBlock(w, "lrFX", LegacyEffects(*layer.colorOverlay));
    WriteBlock(w, "lfx2", EffectsDescriptor(*layer.colorOverlay));
  }
  w.PatchU32BE(extraAt, static_cast<uint32_t>(w.Size() - extraStart));
}

void Writer::WriteLayerSection(ByteWriter& w) {
  const size_t sectionAt = w.Size();
  Length(w, 0);
  const size_t sectionStart = w.Size();
  const size_t infoAt = w.Size();
  Length(w, 0);
  const size_t infoStart = w.Size();

  if (!FDoc.layers.empty()) {
    // Code every channel of every layer first (in parallel), then lay out
    // the records and the data.
    struct Task {
      size_t layer;
      size_t channel;
    };
    std::vector<EncodedLayer> encoded(FDoc.layers.size());
    std::vector<Task> tasks;
    int64_t totalPixels = 0;
    for (size_t i = 0; i < FDoc.layers.size(); ++i) {
      const PsdLayer& layer = FDoc.layers[i];
      auto& channels = encoded[i].channels;
      for (int16_t id : {int16_t(-1), int16_t(0), int16_t(1), int16_t(2)}) channels.push_back({id, {0, 0}});
      if (layer.mask) channels.push_back({-2, {0, 0}});
      if (!layer.bounds.Empty()) {
        for (size_t c = 0; c < 4; ++c) tasks.push_back({i, c});
        totalPixels += int64_t(layer.bounds.Width()) * layer.bounds.Height() * 4;
      }
      if (layer.mask && !layer.mask->pixels.empty()) {
        tasks.push_back({i, 4});
        totalPixels += int64_t(layer.mask->pixels.PixelCount());
      }
    }
    const int64_t perTask = totalPixels > (int64_t(1) << 20) ? 1 : int64_t(tasks.size()) + 1;
    ParallelFor(static_cast<int64_t>(tasks.size()), perTask, [&](int64_t begin, int64_t end) {
      for (int64_t t = begin; t < end; ++t) {
        const Task& task = tasks[size_t(t)];
        const PsdLayer& layer = FDoc.layers[task.layer];
        Channel& c = encoded[task.layer].channels[task.channel];
        if (task.channel == 4) {
          c.bytes = EncodePlane(layer.mask->pixels);
        } else if (layer.pixels.empty()) {
          // A layer without pixels of its own (an adjustment layer as read)
          // is written transparent.
          const std::vector<uint8_t> zeros(static_cast<size_t>(layer.bounds.Width()), 0);
          c.bytes = EncodeRle(layer.bounds.Width(), layer.bounds.Height(),
                              [&](int, uint8_t*) { return zeros.data(); });
        } else {
          // Channel order -1, 0, 1, 2 maps to alpha, red, green, blue.
          c.bytes = EncodeImageChannel(layer.pixels, task.channel == 0 ? 3 : int(task.channel) - 1);
        }
      }
    });

    int count = static_cast<int>(FDoc.layers.size());
    w.I16BE(static_cast<int16_t>(FTransparency ? -count : count));
    for (size_t i = 0; i < FDoc.layers.size(); ++i) WriteLayerRecord(w, FDoc.layers[i], encoded[i]);
    for (EncodedLayer& e : encoded)
      for (Channel& c : e.channels) {
        w.Append(c.bytes);
        std::vector<uint8_t>().swap(c.bytes);
      }
    while ((w.Size() - infoStart) % 4) w.U8(0);
    PatchLength(w, infoAt, w.Size() - infoStart);
  }
  w.U32BE(0);  // global layer mask info
  PatchLength(w, sectionAt, w.Size() - sectionStart);
}

void Writer::WriteMerged(ByteWriter& w) {
  const Image& comp = FDoc.composite;
  const int width = comp.width(), height = comp.height();
  // Planes: R, G, B (over white where transparent, as the editors store
  // them), the merged transparency, then the alpha channels.
  const int planes = 3 + (FTransparency ? 1 : 0) + static_cast<int>(FDoc.alphaChannels.size());
  const int band = std::max(1, std::min(height, 256));
  const int bands = (height + band - 1) / band;
  struct Chunk {
    std::vector<uint8_t> data;
    std::vector<uint32_t> lengths;
  };
  std::vector<Chunk> chunks(size_t(planes) * size_t(bands));
  std::atomic<bool> overflow{false};
  ParallelFor(static_cast<int64_t>(chunks.size()), 1, [&](int64_t begin, int64_t end) {
    std::vector<uint8_t> row(static_cast<size_t>(width));
    for (int64_t k = begin; k < end; ++k) {
      if (StopRequested()) return;
      const int plane = int(k / bands), y0 = int(k % bands) * band, y1 = std::min(height, y0 + band);
      Chunk& chunk = chunks[size_t(k)];
      for (int y = y0; y < y1; ++y) {
        const uint8_t* samples;
        if (plane < 3) {
          const Rgba8* p = comp.Row(y);
          for (int x = 0; x < width; ++x) {
            const uint8_t c = plane == 0 ? p[x].r : plane == 1 ? p[x].g : p[x].b;
            const unsigned a = FTransparency ? p[x].a : 255;
            row[size_t(x)] = static_cast<uint8_t>((c * a + 255 * (255 - a) + 127) / 255);
          }
          samples = row.data();
        } else if (plane == 3 && FTransparency) {
          const Rgba8* p = comp.Row(y);
          for (int x = 0; x < width; ++x) row[size_t(x)] = p[x].a;
          samples = row.data();
        } else {
          samples = FDoc.alphaChannels[size_t(plane - 3 - (FTransparency ? 1 : 0))].pixels.Row(y);
        }
        const size_t n = PackBitsEncodeRow(std::span<const uint8_t>(samples, size_t(width)), chunk.data);
        if (!FPsb && n > 0xFFFF) overflow = true;
        chunk.lengths.push_back(static_cast<uint32_t>(n));
      }
    }
  });
  if (overflow) FOverflow = true;
  w.U16BE(kRle);
  for (const Chunk& chunk : chunks)
    for (uint32_t n : chunk.lengths) {
      if (FPsb) {
        w.U32BE(n);
      } else {
        w.U16BE(static_cast<uint16_t>(n));
      }
    }
  for (Chunk& chunk : chunks) {
    w.Append(chunk.data);
    std::vector<uint8_t>().swap(chunk.data);
  }
}

Result<std::vector<uint8_t>> Writer::Write() {
  const Image& comp = FDoc.composite;
  std::atomic<bool> transparent{false};
  ParallelFor(comp.height(), 64, [&](int64_t y0, int64_t y1) {
    for (int64_t y = y0; y < y1 && !transparent; ++y) {
      const Rgba8* row = comp.Row(int(y));
      for (int x = 0; x < comp.width(); ++x)
        if (row[x].a != 255) {
          transparent = true;
          break;
        }
    }
  });
  FTransparency = transparent;
  const int channels = 3 + (FTransparency ? 1 : 0) + static_cast<int>(FDoc.alphaChannels.size());
  if (channels > kMaxChannels) return Status::Error("too many alpha channels for a layered document");

  ByteWriter w;
  w.Append("8BPS", 4);
  w.U16BE(FPsb ? 2 : 1);
  w.Zeros(6);
  w.U16BE(static_cast<uint16_t>(channels));
  w.U32BE(static_cast<uint32_t>(FDoc.height));
  w.U32BE(static_cast<uint32_t>(FDoc.width));
  w.U16BE(8);
  w.U16BE(static_cast<uint16_t>(PsdColorMode::kRgb));
  w.U32BE(0);  // no colour mode data
  WriteResources(w);
  WriteLayerSection(w);
  if (FCancelled) return Status::Cancelled();
  WriteMerged(w);
  if (FCancelled) return Status::Cancelled();
  if (FOverflow) return Status::Error("document too large for the PSD field widths");
  return w.Take();
}

Status Validate(const PsdDocument& doc) {
  if (doc.width < 1 || doc.height < 1 || doc.width > kMaxPsbSide || doc.height > kMaxPsbSide)
    return Status::Error("document size out of range");
  if (doc.composite.width() != doc.width || doc.composite.height() != doc.height)
    return Status::Error("the composite must have the document's size");
  if (doc.layers.size() > 32767) return Status::Error("too many layers");
  for (const PsdAlphaChannel& a : doc.alphaChannels)
    if (a.pixels.width() != doc.width || a.pixels.height() != doc.height)
      return Status::Error("alpha channel \"" + a.name + "\" does not have the document's size");
  for (const PsdLayer& l : doc.layers) {
    if (l.bounds.right < l.bounds.left || l.bounds.bottom < l.bounds.top)
      return Status::Error("layer \"" + l.name + "\" has inverted bounds");
    // Empty pixels within non-empty bounds stand for a transparent layer.
    const bool empty = l.bounds.Empty();
    if (empty ? !l.pixels.empty()
              : (!l.pixels.empty() &&
                 (l.pixels.width() != l.bounds.Width() || l.pixels.height() != l.bounds.Height())))
      return Status::Error("pixels of layer \"" + l.name + "\" do not match its bounds");
    if (l.mask) {
      const IntRect& b = l.mask->bounds;
      if (b.right < b.left || b.bottom < b.top)
        return Status::Error("mask of layer \"" + l.name + "\" has inverted bounds");
      if (b.Empty() ? !l.mask->pixels.empty()
                    : (l.mask->pixels.width() != b.Width() || l.mask->pixels.height() != b.Height()))
        return Status::Error("mask pixels of layer \"" + l.name + "\" do not match its bounds");
    }
  }
  return Status::Ok();
}

}  // namespace

Result<std::vector<uint8_t>> WritePsd(const PsdDocument& document) { return WritePsd(document, {}); }

Result<std::vector<uint8_t>> WritePsd(const PsdDocument& document, const PsdWriteOptions& options) {
  if (Status s = Validate(document); !s.ok()) return s;
  const bool psb = document.psb || document.width > kMaxPsdSide || document.height > kMaxPsdSide;
  Writer writer(document, psb, options.cancel);
  Result<std::vector<uint8_t>> out = writer.Write();
  if (!out.ok() && writer.Overflowed() && !writer.Cancelled() && !psb) {
    Writer wide(document, true, options.cancel);
    return wide.Write();
  }
  return out;
}

}  // namespace tessaro
