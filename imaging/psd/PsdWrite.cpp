// Writing layered documents: 8-bit RGB, PSB when a side exceeds the PSD
// limit (or when a section outgrows 32-bit lengths). Layout as described in
// PsdInternal.h; every channel is PackBits-coded. The channels are coded a
// few bands of rows at a time (in parallel) and, when writing to a file,
// written out as they are done: lengths that come before the data are
// written as zeros and patched afterwards, so the file is never whole in
// memory.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "base/FileIo.h"
#include "base/Parallel.h"
#include "imaging/psd/Psd.h"
#include "imaging/psd/PsdInternal.h"

namespace tessaro {

namespace {

using namespace psd;

// Where the document goes. Bytes collect in a buffer; with a file they are
// written out at each Flush, so that only a bounded part of the document is
// held. Positions count from the start of the document. The first file error
// is kept and later writes are dropped.
class Output {
 public:
  explicit Output(TAtomicFileWriter* file) : FFile(file) {}
  ByteWriter& Bytes() { return FPending; }
  uint64_t Position() const { return FFlushed + FPending.Size(); }
  const Status& Error() const { return FError; }
  void Flush() {
    if (!FFile || FPending.Size() == 0) return;
    if (FError.ok()) FError = FFile->Write(FPending.Bytes().data(), FPending.Size());
    FFlushed += FPending.Size();
    FPending.Bytes().clear();
  }
  // Overwrites n bytes at an earlier position.
  void Patch(uint64_t at, const uint8_t* data, size_t n) {
    if (at < FFlushed) {
      const size_t early = static_cast<size_t>(std::min<uint64_t>(n, FFlushed - at));
      if (FError.ok()) FError = FFile->WriteAt(at, data, early);
      at += early, data += early, n -= early;
    }
    if (n > 0) std::memcpy(FPending.Bytes().data() + (at - FFlushed), data, n);
  }
  std::vector<uint8_t> Take() { return FPending.Take(); }

 private:
  TAtomicFileWriter* FFile;
  ByteWriter FPending;
  uint64_t FFlushed = 0;
  Status FError = Status::Ok();
};

// The pixels to write: the document's own, or an image the caller lends for
// the composite and the layers (one picture written as both, uncopied).
struct Pixels {
  const Image* composite = nullptr;
  std::vector<const Image*> layers;  // one per layer, the layer's pixels

  static Pixels Of(const PsdDocument& doc) {
    Pixels p;
    p.composite = &doc.composite;
    for (const PsdLayer& l : doc.layers) p.layers.push_back(&l.pixels);
    return p;
  }
};

class Writer {
 public:
  Writer(const PsdDocument& doc, const Pixels& pixels, bool psb, CancelToken cancel, Output& out)
      : FDoc(doc), FPixels(pixels), FPsb(psb), FCancel(cancel), FOut(out) {}
  Status Write();
  // A section length or RLE row count did not fit the PSD field widths: the
  // document must be written again as PSB.
  bool Overflowed() const { return FOverflow; }
  bool Cancelled() const { return FCancelled; }
  // Polled between rows and bands; remembers a cancel once seen.
  bool StopRequested() {
    if (!FCancelled && FCancel.Requested()) FCancelled = true;
    return FCancelled;
  }

 private:
  void Length(ByteWriter& w, uint64_t v) {
    if (FPsb) {
      w.U64BE(v);
    } else {
      if (v > 0xFFFFFFFFu) FOverflow = true;
      w.U32BE(static_cast<uint32_t>(v));
    }
  }
  void PatchLength(uint64_t at, uint64_t v) {
    uint8_t b[8];
    const int n = FPsb ? 8 : 4;
    if (!FPsb && v > 0xFFFFFFFFu) FOverflow = true;
    for (int i = 0; i < n; ++i) b[i] = uint8_t(v >> (8 * (n - 1 - i)));
    FOut.Patch(at, b, size_t(n));
  }

  // Codes `planes` planes of `height` rows of `width` samples with
  // PackBits: the byte counts of every row of every plane, then the data,
  // plane by plane. `row(plane, y, buffer)` returns the samples of a row (it
  // may fill `buffer`, which holds width bytes).
  template <typename RowFn>
  void StreamRle(int planes, int width, int height, RowFn row);
  void WriteLayerChannel(const PsdLayer& layer, const Image& pixels, size_t channel);

  void WriteResources(ByteWriter& w);
  void WriteLayerSection();
  // Writes a layer's record with its channel lengths as zeros; adds the
  // positions of those lengths to `lengthsAt`.
  void WriteLayerRecord(const PsdLayer& layer, size_t channels, std::vector<uint64_t>& lengthsAt);
  void WriteMerged();

  const PsdDocument& FDoc;
  const Pixels& FPixels;
  bool FPsb;
  std::atomic<bool> FOverflow{false};
  bool FTransparency = false;
  CancelToken FCancel;
  std::atomic<bool> FCancelled{false};
  Output& FOut;
};

template <typename RowFn>
void Writer::StreamRle(int planes, int width, int height, RowFn row) {
  const size_t countBytes = FPsb ? 4 : 2;
  const uint64_t countsAt = FOut.Position();
  std::vector<uint8_t> counts(size_t(planes) * size_t(height) * countBytes, 0);
  FOut.Bytes().Append(counts);
  const int band = std::max(1, std::min(height, 256));
  const int bands = (height + band - 1) / band;
  const int64_t chunks = int64_t(planes) * bands;
  // A few bands per thread at a time bound what is held to a few hundred
  // rows per thread.
  const int64_t batch = std::max<int64_t>(4, 2 * int64_t(ParallelThreads()));
  std::vector<std::vector<uint8_t>> data;
  for (int64_t first = 0; first < chunks && !StopRequested(); first += batch) {
    const int64_t n = std::min(batch, chunks - first);
    data.assign(size_t(n), {});
    ParallelFor(n, 1, [&](int64_t begin, int64_t end) {
      std::vector<uint8_t> buffer(static_cast<size_t>(width));
      for (int64_t i = begin; i < end; ++i) {
        if (StopRequested()) return;
        const int64_t k = first + i;
        const int plane = int(k / bands), y0 = int(k % bands) * band, y1 = std::min(height, y0 + band);
        std::vector<uint8_t>& out = data[size_t(i)];
        out.reserve(size_t(y1 - y0) * (PackBitsBound(size_t(width)) / 4 + 2));
        for (int y = y0; y < y1; ++y) {
          const uint8_t* samples = row(plane, y, buffer.data());
          const size_t len = PackBitsEncodeRow(std::span<const uint8_t>(samples, size_t(width)), out);
          uint8_t* c = counts.data() + (size_t(plane) * size_t(height) + size_t(y)) * countBytes;
          if (FPsb) {
            c[0] = uint8_t(len >> 24);
            c[1] = uint8_t(len >> 16);
            c[2] = uint8_t(len >> 8);
            c[3] = uint8_t(len);
          } else {
            if (len > 0xFFFF) FOverflow = true;
            c[0] = uint8_t(len >> 8);
            c[1] = uint8_t(len);
          }
        }
      }
    });
    for (std::vector<uint8_t>& d : data) FOut.Bytes().Append(d);
    data.clear();
    FOut.Flush();
  }
  FOut.Patch(countsAt, counts.data(), counts.size());
}

void Writer::WriteLayerChannel(const PsdLayer& layer, const Image& pixels, size_t channel) {
  ByteWriter& w = FOut.Bytes();
  const int width = layer.bounds.Width(), height = layer.bounds.Height();
  if (channel == 4) {
    const Plane& mask = layer.mask->pixels;
    if (mask.empty()) return w.U16BE(kRaw);
    w.U16BE(kRle);
    return StreamRle(1, mask.width(), mask.height(), [&](int, int y, uint8_t*) { return mask.Row(y); });
  }
  if (layer.bounds.Empty()) return w.U16BE(kRaw);
  w.U16BE(kRle);
  // Channel order -1, 0, 1, 2 maps to alpha, red, green, blue.
  const int component = channel == 0 ? 3 : int(channel) - 1;
  if (pixels.empty()) {
    // A fill is written as rows of its colour; a layer without pixels of
    // its own (an adjustment layer as read) is written transparent.
    const uint8_t value = layer.fill ? (&layer.fill->r)[component] : 0;
    const std::vector<uint8_t> same(static_cast<size_t>(width), value);
    return StreamRle(1, width, height, [&](int, int, uint8_t*) { return same.data(); });
  }
  StreamRle(1, width, height, [&](int, int y, uint8_t* buffer) -> const uint8_t* {
    const uint8_t* p = &pixels.Row(y)->r + component;
    for (int x = 0; x < width; ++x) buffer[x] = p[size_t(x) * 4];
    return buffer;
  });
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

void Writer::WriteLayerRecord(const PsdLayer& layer, size_t channels, std::vector<uint64_t>& lengthsAt) {
  ByteWriter& w = FOut.Bytes();
  w.I32BE(layer.bounds.top);
  w.I32BE(layer.bounds.left);
  w.I32BE(layer.bounds.bottom);
  w.I32BE(layer.bounds.right);
  w.U16BE(static_cast<uint16_t>(channels));
  for (size_t c = 0; c < channels; ++c) {
    w.I16BE(c == 4 ? int16_t(-2) : int16_t(int(c) - 1));
    lengthsAt.push_back(FOut.Position());
    Length(w, 0);
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

void Writer::WriteLayerSection() {
  ByteWriter& w = FOut.Bytes();
  const uint64_t sectionAt = FOut.Position();
  Length(w, 0);
  const uint64_t sectionStart = FOut.Position();
  const uint64_t infoAt = FOut.Position();
  Length(w, 0);
  const uint64_t infoStart = FOut.Position();

  if (!FDoc.layers.empty()) {
    // The records first, with their channel lengths patched in once each
    // channel is written; then the channel data, layer by layer.
    int count = static_cast<int>(FDoc.layers.size());
    w.I16BE(static_cast<int16_t>(FTransparency ? -count : count));
    std::vector<uint64_t> lengthsAt;
    for (const PsdLayer& layer : FDoc.layers) WriteLayerRecord(layer, layer.mask ? 5 : 4, lengthsAt);
    FOut.Flush();
    size_t next = 0;
    for (size_t i = 0; i < FDoc.layers.size() && !StopRequested(); ++i) {
      const PsdLayer& layer = FDoc.layers[i];
      for (size_t c = 0; c < (layer.mask ? 5u : 4u); ++c) {
        const uint64_t start = FOut.Position();
        WriteLayerChannel(layer, *FPixels.layers[i], c);
        PatchLength(lengthsAt[next++], FOut.Position() - start);
      }
      FOut.Flush();
    }
    while ((FOut.Position() - infoStart) % 4) w.U8(0);
    PatchLength(infoAt, FOut.Position() - infoStart);
  }
  w.U32BE(0);  // global layer mask info
  PatchLength(sectionAt, FOut.Position() - sectionStart);
  FOut.Flush();
}

void Writer::WriteMerged() {
  const Image& comp = *FPixels.composite;
  const int width = comp.width(), height = comp.height();
  // Planes: R, G, B (over white where transparent, as the editors store
  // them), the merged transparency, then the alpha channels.
  const int planes = 3 + (FTransparency ? 1 : 0) + static_cast<int>(FDoc.alphaChannels.size());
  FOut.Bytes().U16BE(kRle);
  StreamRle(planes, width, height, [&](int plane, int y, uint8_t* row) -> const uint8_t* {
    if (plane < 3) {
      const Rgba8* p = comp.Row(y);
      for (int x = 0; x < width; ++x) {
        const uint8_t c = plane == 0 ? p[x].r : plane == 1 ? p[x].g : p[x].b;
        const unsigned a = FTransparency ? p[x].a : 255;
        row[size_t(x)] = static_cast<uint8_t>((c * a + 255 * (255 - a) + 127) / 255);
      }
      return row;
    }
    if (plane == 3 && FTransparency) {
      const Rgba8* p = comp.Row(y);
      for (int x = 0; x < width; ++x) row[size_t(x)] = p[x].a;
      return row;
    }
    const PsdAlphaChannel& a = FDoc.alphaChannels[size_t(plane - 3 - (FTransparency ? 1 : 0))];
    if (a.bounds.Empty() && !a.pixels.empty()) return a.pixels.Row(y);
    // A cropped channel: 0 outside its box.
    std::fill_n(row, width, uint8_t(0));
    if (!a.pixels.empty() && y >= a.bounds.top && y < a.bounds.bottom)
      std::memcpy(row + a.bounds.left, a.pixels.Row(y - a.bounds.top), size_t(a.bounds.Width()));
    return row;
  });
  FOut.Flush();
}

Status Writer::Write() {
  const Image& comp = *FPixels.composite;
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

  ByteWriter& w = FOut.Bytes();
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
  WriteLayerSection();
  if (FCancelled) return Status::Cancelled();
  WriteMerged();
  if (FCancelled) return Status::Cancelled();
  if (!FOut.Error().ok()) return FOut.Error();
  if (FOverflow) return Status::Error("document too large for the PSD field widths");
  return Status::Ok();
}

Status Validate(const PsdDocument& doc, const Pixels& pixels) {
  if (doc.width < 1 || doc.height < 1 || doc.width > kMaxPsbSide || doc.height > kMaxPsbSide)
    return Status::Error("document size out of range");
  if (pixels.composite->width() != doc.width || pixels.composite->height() != doc.height)
    return Status::Error("the composite must have the document's size");
  if (doc.layers.size() > 32767) return Status::Error("too many layers");
  const IntRect page{0, 0, doc.width, doc.height};
  for (const PsdAlphaChannel& a : doc.alphaChannels) {
    // Document-sized; or cropped to a box inside the document; or no pixels
    // and no box (all 0).
    const bool whole = (a.bounds.Empty() || a.bounds == page) && a.pixels.width() == doc.width &&
                       a.pixels.height() == doc.height;
    const bool cropped = !a.bounds.Empty() && Intersect(a.bounds, page) == a.bounds &&
                         a.pixels.width() == a.bounds.Width() && a.pixels.height() == a.bounds.Height();
    const bool zero = a.bounds.Empty() && a.pixels.empty();
    const bool fits = whole || cropped || zero;
    if (!fits) return Status::Error("alpha channel \"" + a.name + "\" does not have the document's size");
  }
  for (size_t i = 0; i < doc.layers.size(); ++i) {
    const PsdLayer& l = doc.layers[i];
    const Image& layerPixels = *pixels.layers[i];
    if (l.bounds.right < l.bounds.left || l.bounds.bottom < l.bounds.top)
      return Status::Error("layer \"" + l.name + "\" has inverted bounds");
    // Empty pixels within non-empty bounds stand for a transparent layer.
    const bool empty = l.bounds.Empty();
    if (empty ? !layerPixels.empty()
              : (!layerPixels.empty() &&
                 (layerPixels.width() != l.bounds.Width() || layerPixels.height() != l.bounds.Height())))
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

bool NeedsPsb(const PsdDocument& doc) {
  return doc.psb || doc.width > kMaxPsdSide || doc.height > kMaxPsdSide;
}

Result<std::vector<uint8_t>> WriteToMemory(const PsdDocument& doc, const Pixels& pixels, bool psb,
                                           const PsdWriteOptions& options) {
  Output out(nullptr);
  Writer writer(doc, pixels, psb, options.cancel, out);
  Status s = writer.Write();
  if (!s.ok() && writer.Overflowed() && !writer.Cancelled() && !psb)
    return WriteToMemory(doc, pixels, true, options);
  if (!s.ok()) return s;
  return out.Take();
}

Status WriteToFile(const std::string& path, const PsdDocument& doc, const Pixels& pixels, bool psb,
                   const PsdWriteOptions& options) {
  Result<TAtomicFileWriter> file = TAtomicFileWriter::Open(path);
  if (!file.ok()) return file.status();
  Output out(&*file);
  Writer writer(doc, pixels, psb, options.cancel, out);
  Status s = writer.Write();
  if (!s.ok()) {
    file->Discard();
    if (writer.Overflowed() && !writer.Cancelled() && !psb)
      return WriteToFile(path, doc, pixels, true, options);
    return s;
  }
  // A cancel seen only now still leaves the old file.
  if (options.cancel.Requested()) return Status::Cancelled();
  return file->Commit();
}

}  // namespace

Result<std::vector<uint8_t>> WritePsd(const PsdDocument& document) { return WritePsd(document, {}); }

Result<std::vector<uint8_t>> WritePsd(const PsdDocument& document, const PsdWriteOptions& options) {
  const Pixels pixels = Pixels::Of(document);
  if (Status s = Validate(document, pixels); !s.ok()) return s;
  return WriteToMemory(document, pixels, NeedsPsb(document), options);
}

Status WritePsdFile(const std::string& path, const PsdDocument& document, const PsdWriteOptions& options) {
  const Pixels pixels = Pixels::Of(document);
  if (Status s = Validate(document, pixels); !s.ok()) return s;
  return WriteToFile(path, document, pixels, NeedsPsb(document), options);
}

Status WriteSingleLayerPsdFile(const std::string& path, const Image& image, const std::string& layerName,
                               double ppi, const PsdWriteOptions& options) {
  if (image.empty()) return Status::Error("nothing to write (empty image)");
  PsdDocument doc;
  doc.width = image.width();
  doc.height = image.height();
  doc.resolution = ppi > 0 ? ppi : 72;
  PsdLayer layer;
  layer.name = layerName.empty() ? "Layer 1" : layerName;
  layer.bounds = IntRect{0, 0, image.width(), image.height()};
  doc.layers.push_back(std::move(layer));
  Pixels pixels;
  pixels.composite = &image;
  pixels.layers.push_back(&image);
  if (Status s = Validate(doc, pixels); !s.ok()) return s;
  return WriteToFile(path, doc, pixels, NeedsPsb(doc), options);
}

}  // namespace tessaro
