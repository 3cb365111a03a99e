// Reading layered documents (PSD, PSB, PDD). The file layout is summarised in
// PsdInternal.h. The input is hostile: every length is checked against the
// bytes left, every count is capped by the bytes it needs before anything is
// allocated, and pixel buffers go through ImageSizeAllowed.
#include <lcms2.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>

#include "base/Parallel.h"
#include "base/Text.h"
#include "imaging/psd/Psd.h"
#include "imaging/psd/PsdInternal.h"

namespace tessaro {

namespace {

using namespace psd;

// ---- Header, resources -------------------------------------------------

struct Header {
  bool psb = false;
  int channels = 0;
  int width = 0, height = 0;
  int depth = 8;
  PsdColorMode mode = PsdColorMode::kRgb;
};

Status ReadHeader(ByteReader& in, Header& h) {
  char signature[4];
  uint16_t version, channels, depth, mode;
  uint32_t height, width;
  if (!in.ReadBytes(signature, 4)) return Status::Error("not a layered document (file too short)");
  if (std::memcmp(signature, "8BPS", 4) != 0)
    return Status::Error("not a layered document (no 8BPS signature)");
  if (!in.U16BE(version) || !in.Skip(6) || !in.U16BE(channels) || !in.U32BE(height) || !in.U32BE(width) ||
      !in.U16BE(depth) || !in.U16BE(mode))
    return Status::Error("header is truncated");
  if (version != 1 && version != 2) return Status::Error("unknown version " + std::to_string(version));
  h.psb = version == 2;
  if (channels < 1 || channels > kMaxChannels)
    return Status::Error("channel count " + std::to_string(channels) + " out of range");
  const uint32_t maxSide = h.psb ? kMaxPsbSide : kMaxPsdSide;
  if (width < 1 || width > maxSide) return Status::Error("width " + std::to_string(width) + " out of range");
  if (height < 1 || height > maxSide)
    return Status::Error("height " + std::to_string(height) + " out of range");
  if (depth != 1 && depth != 8 && depth != 16 && depth != 32)
    return Status::Error("bit depth " + std::to_string(depth) + " not supported");
  switch (mode) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 7:
    case 8:
    case 9:
      break;
    default:
      return Status::Error("colour mode " + std::to_string(mode) + " not supported");
  }
  if ((mode == 0) != (depth == 1)) return Status::Error("bitmap mode needs depth 1 and only it");
  if (!ImageSizeAllowed(width, height, 4)) return Status::Error("document too large");
  h.channels = channels;
  h.width = static_cast<int>(width);
  h.height = static_cast<int>(height);
  h.depth = depth;
  h.mode = static_cast<PsdColorMode>(mode);
  return Status::Ok();
}

struct Resources {
  double resolution = 72;
  std::vector<std::string> legacyNames;   // 1006
  std::vector<std::string> unicodeNames;  // 1045
  std::vector<uint32_t> ids;              // 1053
  bool hasIds = false;
  std::vector<uint8_t> kinds;  // display kind per extra channel (1077 or 1007): 2 = spot
  std::vector<uint8_t> icc;
  int transparencyIndex = -1;
  std::optional<bool> realMergedData;

  const std::vector<std::string>& Names() const { return unicodeNames.empty() ? legacyNames : unicodeNames; }
};

std::string ReadUnicodeUnits(ByteReader& in, uint32_t count) {
  std::u16string units(count, u'\0');
  for (uint32_t i = 0; i < count; ++i) {
    uint16_t u = 0;
    in.U16BE(u);
    units[i] = static_cast<char16_t>(u);
  }
  while (!units.empty() && units.back() == 0) units.pop_back();
  return Utf16ToUtf8(units.data(), units.size());
}

void ParseResource(uint16_t id, ByteReader data, Resources& res) {
  switch (id) {
    case kResResolution: {
      uint32_t fixed;
      if (data.U32BE(fixed)) {
        const double ppi = fixed / 65536.0;
        if (ppi > 0 && ppi < 1e6) res.resolution = ppi;
      }
      break;
    }
    case kResAlphaNames: {
      uint8_t len;
      while (data.U8(len)) {
        std::span<const uint8_t> bytes;
        if (!data.View(len, bytes)) break;
        res.legacyNames.push_back(
            LegacyNameToUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
      }
      break;
    }
    case kResUnicodeAlphaNames: {
      uint32_t count;
      while (data.Remaining() >= 4 && data.U32BE(count)) {
        if (!data.CanHold(count, 2)) break;
        res.unicodeNames.push_back(ReadUnicodeUnits(data, count));
      }
      break;
    }
    case kResAlphaIds: {
      uint32_t v;
      res.hasIds = true;
      while (data.Remaining() >= 4 && data.U32BE(v)) res.ids.push_back(v);
      break;
    }
    case kResDisplayInfo: {
      uint32_t version;
      if (!data.U32BE(version)) break;
      res.kinds.clear();
      while (data.Remaining() >= 13) {
        std::span<const uint8_t> entry;
        data.View(13, entry);
        res.kinds.push_back(entry[12]);
      }
      break;
    }
    case kResDisplayInfoOld: {
      if (!res.kinds.empty()) break;  // the newer resource wins
      while (data.Remaining() >= 14) {
        std::span<const uint8_t> entry;
        data.View(14, entry);
        res.kinds.push_back(entry[12]);
      }
      break;
    }
    case kResIccProfile:
      data.ReadBytes(res.icc, data.Remaining());
      break;
    case kResTransparencyIndex: {
      uint16_t index;
      if (data.U16BE(index)) res.transparencyIndex = index;
      break;
    }
    case kResVersionInfo: {
      uint32_t version;
      uint8_t real;
      if (data.U32BE(version) && data.U8(real)) res.realMergedData = real != 0;
      break;
    }
    default:
      break;
  }
}

// Resource blocks are ancillary: a damaged block ends the list, keeping what
// was read before it.
void ParseResources(ByteReader in, Resources& res) {
  while (in.Remaining() >= 12) {
    char signature[4];
    in.ReadBytes(signature, 4);
    const std::string_view sig(signature, 4);
    if (sig != "8BIM" && sig != "MeSa" && sig != "AgHg" && sig != "PHUT" && sig != "DCSR") break;
    uint16_t id;
    uint8_t nameLength;
    uint32_t size;
    if (!in.U16BE(id) || !in.U8(nameLength) || !in.Skip(nameLength + ((nameLength + 1) & 1)) ||
        !in.U32BE(size))
      break;
    ByteReader data;
    if (!in.Sub(size, data)) break;
    if (size & 1) in.Skip(std::min<size_t>(1, in.Remaining()));
    ParseResource(id, data, res);
  }
}

// ---- Layer records -----------------------------------------------------

bool ReadLength(ByteReader& in, bool wide, uint64_t& v) {
  if (wide) return in.U64BE(v);
  uint32_t v32;
  if (!in.U32BE(v32)) return false;
  v = v32;
  return true;
}

// Keys whose block lengths are 8 bytes in PSB files.
bool IsWideKey(std::string_view key) {
  static constexpr std::string_view kKeys[] = {"LMsk", "Lr16", "Lr32", "Layr", "Mt16", "Mt32", "Mtrn",
                                               "Alph", "FMsk", "lnk2", "FEid", "FXid", "PxSD"};
  for (std::string_view k : kKeys)
    if (k == key) return true;
  return false;
}

struct ChannelData {
  int16_t id = 0;
  uint64_t length = 0;
  std::span<const uint8_t> bytes;  // including the 2-byte compression code
};

struct MaskRecord {
  bool present = false;
  IntRect rect;
  uint8_t defaultColor = 0;
  uint8_t flags = 0;
  bool hasReal = false;
  IntRect realRect;
  uint8_t realDefault = 0;
  uint8_t realFlags = 0;
};

struct LayerRecord {
  PsdLayer layer;
  std::vector<ChannelData> channels;
  MaskRecord mask;
  bool hasEffectsDescriptor = false;
};

Status ReadRect(ByteReader& in, IntRect& r, const char* what) {
  int32_t top, left, bottom, right;
  if (!in.I32BE(top) || !in.I32BE(left) || !in.I32BE(bottom) || !in.I32BE(right))
    return Status::Error(std::string(what) + " is truncated");
  if (int64_t(bottom) < int64_t(top) || int64_t(right) < int64_t(left) ||
      int64_t(bottom) - top > std::numeric_limits<int>::max() ||
      int64_t(right) - left > std::numeric_limits<int>::max())
    return Status::Error(std::string(what) + " has inverted or oversized bounds");
  r = IntRect{left, top, right, bottom};
  return Status::Ok();
}

std::optional<PsdColorOverlay> OverlayFromDescriptor(const Descriptor& d) {
  bool master = true;
  if (const DescValue* m = d.Find("masterFXSwitch"); m && m->type == DescValue::Type::kBool)
    master = m->boolean;
  const Descriptor* fill = nullptr;
  if (const DescValue* v = d.Find("SoFi"); v && v->type == DescValue::Type::kObject) fill = v->object.get();
  if (!fill) {
    if (const DescValue* v = d.Find("solidFillMulti"); v && v->type == DescValue::Type::kList)
      for (const DescValue& item : v->list)
        if (item.type == DescValue::Type::kObject) {
          fill = item.object.get();
          break;
        }
  }
  if (!fill) return std::nullopt;
  PsdColorOverlay o;
  if (const DescValue* v = fill->Find("enab"); v && v->type == DescValue::Type::kBool) o.enabled = v->boolean;
  o.enabled = o.enabled && master;
  if (const DescValue* v = fill->Find("Md  "); v && v->type == DescValue::Type::kEnum)
    o.blendMode = BlendModeFromDescriptorValue(v->text).value_or(BlendMode::kNormal);
  if (const DescValue* v = fill->Find("Opct");
      v && (v->type == DescValue::Type::kUnitNumber || v->type == DescValue::Type::kNumber))
    o.opacityPercent = std::clamp(v->number, 0.0, 100.0);
  if (const DescValue* c = fill->Find("Clr "); c && c->type == DescValue::Type::kObject) {
    const Descriptor& color = *c->object;
    auto component = [&](std::string_view key) -> uint8_t {
      const DescValue* v = color.Find(key);
      if (!v || (v->type != DescValue::Type::kNumber && v->type != DescValue::Type::kInteger)) return 0;
      return static_cast<uint8_t>(std::lround(std::clamp(v->number, 0.0, 255.0)));
    };
    if (color.classId == "Grsc") {
      const DescValue* g = color.Find("Gry ");
      const double grey = g ? std::clamp(g->number, 0.0, 100.0) : 0;
      o.red = o.green = o.blue = static_cast<uint8_t>(std::lround(255 - grey * 2.55));
    } else {
      o.red = component("Rd  ");
      o.green = component("Grn ");
      o.blue = component("Bl  ");
    }
  }
  return o;
}

// The legacy effects block: a solid fill ('sofi') becomes the overlay.
std::optional<PsdColorOverlay> OverlayFromLegacyEffects(ByteReader in) {
  uint16_t version, count;
  if (!in.U16BE(version) || !in.U16BE(count)) return std::nullopt;
  std::optional<PsdColorOverlay> result;
  bool common = true;
  for (uint16_t i = 0; i < count && in.Remaining() >= 12; ++i) {
    char sig[4], key[4];
    uint32_t size;
    ByteReader body;
    if (!in.ReadBytes(sig, 4) || !in.ReadBytes(key, 4) || !in.U32BE(size) || !in.Sub(size, body)) break;
    const std::string_view k(key, 4);
    if (k == "cmnS") {
      uint32_t v;
      uint8_t visible;
      if (body.U32BE(v) && body.U8(visible)) common = visible != 0;
    } else if (k == "sofi") {
      uint32_t v;
      char blendSig[4], blendKey[4];
      uint16_t space, c[4];
      uint8_t opacity, enabled;
      if (body.U32BE(v) && body.ReadBytes(blendSig, 4) && body.ReadBytes(blendKey, 4) && body.U16BE(space) &&
          body.U16BE(c[0]) && body.U16BE(c[1]) && body.U16BE(c[2]) && body.U16BE(c[3]) && body.U8(opacity) &&
          body.U8(enabled)) {
        PsdColorOverlay o;
        o.enabled = enabled != 0;
        o.blendMode = BlendModeFromKey(std::string_view(blendKey, 4)).value_or(BlendMode::kNormal);
        o.opacityPercent = std::round(opacity * 1000.0 / 255.0) / 10.0;
        if (space == 0) {
          o.red = uint8_t(c[0] >> 8);
          o.green = uint8_t(c[1] >> 8);
          o.blue = uint8_t(c[2] >> 8);
        }
        result = o;
      }
    }
  }
  if (result) result->enabled = result->enabled && common;
  return result;
}

void ParseTaggedBlock(std::string_view key, ByteReader data, LayerRecord& rec) {
  if (key == "luni") {
    uint32_t count;
    if (data.U32BE(count) && data.CanHold(count, 2)) {
      std::string name = ReadUnicodeUnits(data, count);
      if (!name.empty() || rec.layer.name.empty()) rec.layer.name = std::move(name);
    }
  } else if (key == "lsct" || key == "lsdk") {
    uint32_t type;
    if (!data.U32BE(type)) return;
    switch (type) {
      case 1:
        rec.layer.section = PsdSection::kOpenFolder;
        break;
      case 2:
        rec.layer.section = PsdSection::kClosedFolder;
        break;
      case 3:
        rec.layer.section = PsdSection::kDivider;
        break;
      default:
        rec.layer.section = PsdSection::kNone;
        break;
    }
    char sig[4], blend[4];
    if (data.ReadBytes(sig, 4) && data.ReadBytes(blend, 4) && std::memcmp(sig, "8BIM", 4) == 0)
      if (auto mode = BlendModeFromKey(std::string_view(blend, 4))) rec.layer.blendMode = *mode;
  } else if (key == "iOpa") {
    uint8_t fill;
    if (data.U8(fill)) rec.layer.fillOpacity = fill;
  } else if (key == "lfx2") {
    uint32_t objectVersion, descriptorVersion;
    if (!data.U32BE(objectVersion) || !data.U32BE(descriptorVersion)) return;
    rec.hasEffectsDescriptor = true;
    const Descriptor d = ParseDescriptor(data);
    rec.layer.colorOverlay = OverlayFromDescriptor(d);
  } else if (key == "lrFX") {
    if (!rec.hasEffectsDescriptor) rec.layer.colorOverlay = OverlayFromLegacyEffects(data);
  }
}

void ParseMask(ByteReader in, MaskRecord& m) {
  if (in.Remaining() < 18) return;
  int32_t t, l, b, r;
  in.I32BE(t);
  in.I32BE(l);
  in.I32BE(b);
  in.I32BE(r);
  in.U8(m.defaultColor);
  in.U8(m.flags);
  m.present = true;
  m.rect =
      (int64_t(b) >= t && int64_t(r) >= l && int64_t(b) - t <= kMaxPsbSide && int64_t(r) - l <= kMaxPsbSide)
          ? IntRect{l, t, r, b}
          : IntRect{};
  if (in.Remaining() >= 18) {
    in.U8(m.realFlags);
    in.U8(m.realDefault);
    in.I32BE(t);
    in.I32BE(l);
    in.I32BE(b);
    in.I32BE(r);
    m.hasReal = true;
    m.realRect =
        (int64_t(b) >= t && int64_t(r) >= l && int64_t(b) - t <= kMaxPsbSide && int64_t(r) - l <= kMaxPsbSide)
            ? IntRect{l, t, r, b}
            : IntRect{};
  }
}

Status ParseLayerRecord(ByteReader& in, bool psb, LayerRecord& rec) {
  if (Status s = ReadRect(in, rec.layer.bounds, "layer record"); !s.ok()) return s;
  uint16_t channelCount;
  if (!in.U16BE(channelCount)) return Status::Error("layer record is truncated");
  if (!in.CanHold(channelCount, psb ? 10 : 6))
    return Status::Error("layer channel count larger than the section");
  rec.channels.resize(channelCount);
  for (ChannelData& c : rec.channels)
    if (!in.I16BE(c.id) || !ReadLength(in, psb, c.length)) return Status::Error("layer record is truncated");
  char signature[4], key[4];
  uint8_t opacity, clipping, flags, filler;
  uint32_t extraLength;
  if (!in.ReadBytes(signature, 4) || !in.ReadBytes(key, 4) || !in.U8(opacity) || !in.U8(clipping) ||
      !in.U8(flags) || !in.U8(filler) || !in.U32BE(extraLength))
    return Status::Error("layer record is truncated");
  if (std::memcmp(signature, "8BIM", 4) != 0) return Status::Error("layer record has no blend signature");
  rec.layer.blendMode = BlendModeFromKey(std::string_view(key, 4)).value_or(BlendMode::kNormal);
  rec.layer.opacity = opacity;
  rec.layer.clipping = clipping != 0;
  rec.layer.visible = (flags & 0x02) == 0;
  ByteReader extra;
  if (!in.Sub(extraLength, extra)) return Status::Error("layer record extra data is truncated");

  uint32_t maskLength, rangesLength;
  ByteReader mask;
  if (!extra.U32BE(maskLength) || !extra.Sub(maskLength, mask))
    return Status::Error("layer mask data is truncated");
  ParseMask(mask, rec.mask);
  if (!extra.U32BE(rangesLength) || !extra.Skip(rangesLength))
    return Status::Error("layer blending ranges are truncated");
  uint8_t nameLength;
  std::span<const uint8_t> nameBytes;
  if (!extra.U8(nameLength) || !extra.View(nameLength, nameBytes))
    return Status::Error("layer name is truncated");
  rec.layer.name =
      LegacyNameToUtf8(std::string_view(reinterpret_cast<const char*>(nameBytes.data()), nameLength));
  const size_t pad = (4 - (1 + nameLength) % 4) % 4;
  extra.Skip(std::min(pad, extra.Remaining()));

  // Tagged blocks are ancillary: a damaged one ends the list.
  while (extra.Remaining() >= 12) {
    char sig[4], blockKey[4];
    extra.ReadBytes(sig, 4);
    if (std::memcmp(sig, "8BIM", 4) != 0 && std::memcmp(sig, "8B64", 4) != 0) break;
    extra.ReadBytes(blockKey, 4);
    const std::string_view k(blockKey, 4);
    uint64_t length;
    ByteReader data;
    if (!ReadLength(extra, psb && IsWideKey(k), length) || !extra.Sub(length, data)) break;
    ParseTaggedBlock(k, data, rec);
  }
  return Status::Ok();
}

struct LayerInfo {
  bool present = false;
  bool negativeCount = false;
  std::vector<LayerRecord> records;
};

// The layer records and, after them, the channel data of every layer.
Status ParseLayerInfo(ByteReader in, bool psb, LayerInfo& info) {
  int16_t count;
  if (!in.I16BE(count)) return Status::Error("layer count is truncated");
  info.present = true;
  info.negativeCount = count < 0;
  const int n = std::abs(int(count));
  // A record takes at least 34 bytes (bounds, counts, blend fields, lengths).
  if (!in.CanHold(n, 34)) return Status::Error("layer count larger than the section");
  info.records.resize(n);
  for (LayerRecord& rec : info.records)
    if (Status s = ParseLayerRecord(in, psb, rec); !s.ok()) return s;
  for (LayerRecord& rec : info.records)
    for (ChannelData& c : rec.channels) {
      if (c.length > in.Remaining())
        return Status::Error("layer channel data runs past the end of its section");
      in.View(static_cast<size_t>(c.length), c.bytes);
    }
  return Status::Ok();
}

// The layer-and-mask section: the layer info, or (16- and 32-bit files) the
// global tagged block that holds it instead.
Status ParseLayerSection(ByteReader& file, bool psb, LayerInfo& info) {
  uint64_t length;
  if (!ReadLength(file, psb, length)) return Status::Error("layer section length is truncated");
  ByteReader section;
  if (!file.Sub(length, section)) return Status::Error("layer section runs past the end of the file");
  if (section.AtEnd()) return Status::Ok();
  uint64_t infoLength;
  ByteReader infoBytes;
  if (!ReadLength(section, psb, infoLength) || !section.Sub(infoLength, infoBytes))
    return Status::Error("layer info runs past the end of its section");
  if (infoLength > 0)
    if (Status s = ParseLayerInfo(infoBytes, psb, info); !s.ok()) return s;
  uint32_t globalMaskLength;
  if (!section.U32BE(globalMaskLength) || !section.Skip(globalMaskLength)) return Status::Ok();
  while (section.Remaining() >= 12) {
    // Some writers pad blocks to four bytes without counting the padding.
    const uint8_t* p = section.Current();
    if (std::memcmp(p, "8BIM", 4) != 0 && std::memcmp(p, "8B64", 4) != 0) {
      section.Skip(1);
      continue;
    }
    char sig[4], key[4];
    section.ReadBytes(sig, 4);
    section.ReadBytes(key, 4);
    const std::string_view k(key, 4);
    uint64_t blockLength;
    ByteReader block;
    if (!ReadLength(section, psb && IsWideKey(k), blockLength) || !section.Sub(blockLength, block)) break;
    if ((k == "Lr16" || k == "Lr32" || k == "Layr") && !info.present)
      if (Status s = ParseLayerInfo(block, psb, info); !s.ok()) return s;
  }
  return Status::Ok();
}

// ---- Channel decoding --------------------------------------------------

size_t RowBytes(int width, int depth) {
  return depth == 1 ? (size_t(width) + 7) / 8 : size_t(width) * size_t(depth / 8);
}

// Linear light (32-bit documents) to the sRGB curve, on 0..1.
uint8_t LinearToSrgb8(float v) {
  if (!(v > 0)) return 0;  // also NaN
  if (v >= 1) return 255;
  const double s = v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(double(v), 1 / 2.4) - 0.055;
  return static_cast<uint8_t>(std::lround(s * 255));
}

uint8_t Linear8(float v) {
  if (!(v > 0)) return 0;
  if (v >= 1) return 255;
  return static_cast<uint8_t>(std::lround(v * 255));
}

// Where the 8-bit samples of one channel go.
struct Target {
  uint8_t* base = nullptr;  // first sample of the first row
  size_t step = 1;          // bytes between samples
  size_t stride = 0;        // bytes between rows
  bool freshZero = false;   // the destination is all zero (skip zero runs)
  bool color = true;        // colour (32-bit: sRGB curve) or coverage (linear)
  bool bitmap = false;      // 1-bit samples: 1 = black
};

// Converts one stored row (any depth) to the 8-bit target row.
void StoreRow(const uint8_t* src, int width, int depth, const Target& t, uint8_t* dst) {
  switch (depth) {
    case 1:
      for (int x = 0; x < width; ++x) dst[size_t(x) * t.step] = (src[x >> 3] & (0x80 >> (x & 7))) ? 0 : 255;
      break;
    case 8:
      if (t.step == 1) {
        std::memcpy(dst, src, size_t(width));
      } else {
        for (int x = 0; x < width; ++x) dst[size_t(x) * t.step] = src[x];
      }
      break;
    case 16:
      for (int x = 0; x < width; ++x)
        dst[size_t(x) * t.step] = Narrow16To8(static_cast<uint16_t>((src[2 * x] << 8) | src[2 * x + 1]));
      break;
    case 32:
      for (int x = 0; x < width; ++x) {
        const uint32_t bits = (uint32_t(src[4 * x]) << 24) | (uint32_t(src[4 * x + 1]) << 16) |
                              (uint32_t(src[4 * x + 2]) << 8) | uint32_t(src[4 * x + 3]);
        float f;
        std::memcpy(&f, &bits, 4);
        dst[size_t(x) * t.step] = t.color ? LinearToSrgb8(f) : Linear8(f);
      }
      break;
  }
}

bool AllZero(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i]) return false;
  return true;
}

// Decodes rows [rowBegin, rowEnd) of a channel whose rows are already located.
// `rowData(r)` gives the stored bytes of row r.
template <typename RowSource>
void DecodeRows(int rowBegin, int rowEnd, int width, int depth, Compression compression, const Target& t,
                RowSource rowData) {
  const size_t rowBytes = RowBytes(width, depth);
  std::vector<uint8_t> buffer;
  const bool direct = depth == 8 && t.step == 1;
  for (int y = rowBegin; y < rowEnd; ++y) {
    uint8_t* dst = t.base + size_t(y) * t.stride;
    const std::span<const uint8_t> src = rowData(y);
    if (compression == kRle) {
      if (direct) {
        PackBitsDecodeRow(src, std::span<uint8_t>(dst, rowBytes), t.freshZero);
        continue;
      }
      buffer.assign(rowBytes, 0);
      PackBitsDecodeRow(src, buffer, false);
      StoreRow(buffer.data(), width, depth, t, dst);
    } else {
      if (direct && t.freshZero && AllZero(src.data(), rowBytes)) continue;
      StoreRow(src.data(), width, depth, t, dst);
    }
  }
}

// The least data a channel of w x h samples can be stored in (after its
// 2-byte compression code): raw rows are exact, PackBits needs two bytes per
// 128 samples of every row besides the row counts, and zlib never expands
// more than about 1032 times. Checked before any buffer is made so that
// memory stays proportional to the input.
bool PlausibleChannelData(uint16_t compression, uint64_t available, int w, int h, int depth, bool psb) {
  const uint64_t rowBytes = RowBytes(w, depth), rows = uint64_t(h);
  switch (compression) {
    case kRaw:
      return available / std::max<uint64_t>(rowBytes, 1) >= rows;
    case kRle:
      return available >= rows * ((psb ? 4 : 2) + 2 * ((rowBytes + 127) / 128));
    case kZip:
    case kZipPredicted:
      return available > 0 && available * 1032 + 1024 >= rowBytes * rows;
    default:
      return false;
  }
}

// Checks a layer channel (2-byte compression code, then data) before its
// buffers are made.
Status CheckChannel(std::span<const uint8_t> bytes, int width, int height, int depth, bool psb) {
  if (width <= 0 || height <= 0 || bytes.size() < 2) return Status::Ok();
  const uint16_t compression = static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
  if (compression > kZipPredicted)
    return Status::Error("unknown channel compression " + std::to_string(compression));
  if (!PlausibleChannelData(compression, bytes.size() - 2, width, height, depth, psb))
    return Status::Error("channel data too short for its size");
  return Status::Ok();
}

// The value of an 8-bit layer channel every sample of which is the same,
// told from its coded data without decoding it whole: raw rows all alike,
// or PackBits rows that are each the same bytes as a first row of one value.
// Nothing when the samples may differ (also for codings this does not look
// into); the data has been checked against its size before.
std::optional<uint8_t> ConstantChannel(std::span<const uint8_t> bytes, int width, int height, bool psb) {
  if (width <= 0 || height <= 0 || bytes.size() < 2) return std::nullopt;
  const uint16_t compression = static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
  const std::span<const uint8_t> data = bytes.subspan(2);
  const size_t rowBytes = size_t(width);
  if (compression == kRaw) {
    const size_t n = rowBytes * size_t(height);
    if (data.size() < n) return std::nullopt;
    const uint8_t v = data[0];
    for (size_t i = 1; i < n; ++i)
      if (data[i] != v) return std::nullopt;
    return v;
  }
  if (compression != kRle) return std::nullopt;
  const size_t countBytes = psb ? 4 : 2;
  if (data.size() / countBytes < size_t(height)) return std::nullopt;
  auto count = [&](int y) -> uint64_t {
    const uint8_t* c = data.data() + size_t(y) * countBytes;
    return psb ? (uint64_t(c[0]) << 24 | uint64_t(c[1]) << 16 | uint64_t(c[2]) << 8 | c[3])
               : (uint64_t(c[0]) << 8 | c[1]);
  };
  const uint64_t first = count(0);
  uint64_t pos = uint64_t(height) * countBytes;
  if (first > data.size() - pos) return std::nullopt;
  const std::span<const uint8_t> row0 = data.subspan(size_t(pos), size_t(first));
  std::vector<uint8_t> decoded(rowBytes, 0);
  if (PackBitsDecodeRow(row0, decoded, false) != rowBytes) return std::nullopt;
  const uint8_t v = decoded[0];
  for (uint8_t b : decoded)
    if (b != v) return std::nullopt;
  pos += first;
  for (int y = 1; y < height; ++y) {
    const uint64_t n = count(y);
    if (n != first || n > data.size() - pos) return std::nullopt;
    if (std::memcmp(data.data() + pos, row0.data(), size_t(n)) != 0) return std::nullopt;
    pos += n;
  }
  return v;
}

// Decodes one whole layer channel (2-byte compression code, then data).
Status DecodeLayerChannel(std::span<const uint8_t> bytes, int width, int height, int depth, bool psb,
                          const Target& t) {
  if (width <= 0 || height <= 0) return Status::Ok();
  if (bytes.size() < 2) return Status::Ok();  // no data stored: leave the default
  const uint16_t compression = static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
  const std::span<const uint8_t> data = bytes.subspan(2);
  const size_t rowBytes = RowBytes(width, depth);
  switch (compression) {
    case kRaw: {
      if (data.size() / rowBytes < size_t(height)) return Status::Error("raw layer channel is truncated");
      DecodeRows(0, height, width, depth, kRaw, t,
                 [&](int y) { return data.subspan(size_t(y) * rowBytes, rowBytes); });
      return Status::Ok();
    }
    case kRle: {
      const size_t countBytes = psb ? 4 : 2;
      if (data.size() / countBytes < size_t(height)) return Status::Error("RLE row counts are truncated");
      std::vector<uint64_t> offsets(size_t(height) + 1);
      uint64_t pos = uint64_t(height) * countBytes;
      for (int y = 0; y < height; ++y) {
        const uint8_t* c = data.data() + size_t(y) * countBytes;
        const uint64_t n = psb ? (uint64_t(c[0]) << 24 | uint64_t(c[1]) << 16 | uint64_t(c[2]) << 8 | c[3])
                               : (uint64_t(c[0]) << 8 | c[1]);
        offsets[y] = pos;
        pos += n;
      }
      offsets[height] = pos;
      if (pos > data.size()) return Status::Error("RLE layer channel is truncated");
      DecodeRows(0, height, width, depth, kRle, t, [&](int y) {
        return data.subspan(static_cast<size_t>(offsets[y]),
                            static_cast<size_t>(offsets[y + 1] - offsets[y]));
      });
      return Status::Ok();
    }
    case kZip:
    case kZipPredicted: {
      if (depth == 1) return Status::Error("ZIP data in a bitmap document");
      std::vector<uint8_t> raw;
      try {
        raw.resize(rowBytes * size_t(height));
      } catch (const std::bad_alloc&) {
        return Status::Error("out of memory for a compressed channel");
      }
      if (Status s = Inflate(data, raw); !s.ok()) return s;
      if (compression == kZipPredicted) UndoPrediction(raw, rowBytes, depth);
      const std::span<const uint8_t> all(raw);
      DecodeRows(0, height, width, depth, kRaw, t,
                 [&](int y) { return all.subspan(size_t(y) * rowBytes, rowBytes); });
      return Status::Ok();
    }
    default:
      return Status::Error("unknown channel compression " + std::to_string(compression));
  }
}

// ---- Colour conversion -------------------------------------------------

// Converts colour samples held in an RGBA buffer (and the K plane for CMYK)
// to RGB in place. Thread-safe per row range.
class ColorConverter {
 public:
  ColorConverter(PsdColorMode mode, const std::vector<uint8_t>& icc, std::span<const uint8_t> palette)
      : FMode(mode), FPalette(palette) {
    if (mode == PsdColorMode::kCmyk || mode == PsdColorMode::kLab) {
      cmsHPROFILE source = nullptr;
      if (mode == PsdColorMode::kLab) {
        source = cmsCreateLab4Profile(nullptr);
      } else if (!icc.empty()) {
        source = cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
        if (source && cmsGetColorSpace(source) != cmsSigCmykData) {
          cmsCloseProfile(source);
          source = nullptr;
        }
      }
      if (source) {
        cmsHPROFILE srgb = cmsCreate_sRGBProfile();
        FTransform = cmsCreateTransform(source, mode == PsdColorMode::kLab ? TYPE_Lab_8 : TYPE_CMYK_8, srgb,
                                        TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC,
                                        cmsFLAGS_NOCACHE | cmsFLAGS_BLACKPOINTCOMPENSATION);
        cmsCloseProfile(srgb);
        cmsCloseProfile(source);
      }
    }
  }
  ~ColorConverter() {
    if (FTransform) cmsDeleteTransform(FTransform);
  }
  ColorConverter(const ColorConverter&) = delete;
  ColorConverter& operator=(const ColorConverter&) = delete;

  bool ColorManaged() const { return FTransform != nullptr; }

  // Rows of `image` hold the first colour samples in r, g, b; `black` holds
  // the K samples of CMYK. Sets alpha to 255 when `opaque`, then to 0 where
  // an indexed sample is `transparentIndex`.
  void ConvertRows(Image& image, const Plane* black, int y0, int y1, bool opaque,
                   int transparentIndex) const {
    const int w = image.width();
    std::vector<uint8_t> in(size_t(w) * 4), out(size_t(w) * 3);
    for (int y = y0; y < y1; ++y) {
      Rgba8* row = image.Row(y);
      if (opaque)
        for (int x = 0; x < w; ++x) row[x].a = 255;
      switch (FMode) {
        case PsdColorMode::kRgb:
          break;
        case PsdColorMode::kCmyk: {
          const uint8_t* k = black ? black->Row(y) : nullptr;
          if (FTransform) {
            // Stored samples are inverted (255 = no ink).
            for (int x = 0; x < w; ++x) {
              in[4 * x] = uint8_t(255 - row[x].r);
              in[4 * x + 1] = uint8_t(255 - row[x].g);
              in[4 * x + 2] = uint8_t(255 - row[x].b);
              in[4 * x + 3] = uint8_t(255 - (k ? k[x] : 255));
            }
            cmsDoTransform(FTransform, in.data(), out.data(), static_cast<cmsUInt32Number>(w));
            for (int x = 0; x < w; ++x) {
              row[x].r = out[3 * x];
              row[x].g = out[3 * x + 1];
              row[x].b = out[3 * x + 2];
            }
          } else {
            // No profile: the inverted-ink formula, R = (1 - C)(1 - K).
            for (int x = 0; x < w; ++x) {
              const unsigned kk = k ? k[x] : 255;
              row[x].r = uint8_t((row[x].r * kk + 127) / 255);
              row[x].g = uint8_t((row[x].g * kk + 127) / 255);
              row[x].b = uint8_t((row[x].b * kk + 127) / 255);
            }
          }
          break;
        }
        case PsdColorMode::kLab: {
          if (!FTransform) break;
          for (int x = 0; x < w; ++x) {
            in[3 * x] = row[x].r;
            in[3 * x + 1] = row[x].g;
            in[3 * x + 2] = row[x].b;
          }
          cmsDoTransform(FTransform, in.data(), out.data(), static_cast<cmsUInt32Number>(w));
          for (int x = 0; x < w; ++x) {
            row[x].r = out[3 * x];
            row[x].g = out[3 * x + 1];
            row[x].b = out[3 * x + 2];
          }
          break;
        }
        case PsdColorMode::kIndexed:
          for (int x = 0; x < w; ++x) {
            const uint8_t i = row[x].r;
            if (FPalette.size() >= 768) {
              row[x].r = FPalette[i];
              row[x].g = FPalette[256 + i];
              row[x].b = FPalette[512 + i];
            } else {
              row[x].g = row[x].b = i;
            }
            if (i == transparentIndex) row[x].a = 0;
          }
          break;
        default:  // grey, bitmap, duotone, multichannel: the first channel as grey
          for (int x = 0; x < w; ++x) row[x].g = row[x].b = row[x].r;
          break;
      }
    }
  }

 private:
  PsdColorMode FMode;
  std::span<const uint8_t> FPalette;
  cmsHTRANSFORM FTransform = nullptr;
};

// ---- Whole-document reading --------------------------------------------

struct ParsedFile {
  Header header;
  std::span<const uint8_t> colorData;
  Resources resources;
  LayerInfo layers;
  std::span<const uint8_t> mergedImage;  // from the compression code to the end of the file
  int colorChannels = 0;
  int extraChannels = 0;
  bool mergedTransparency = false;
};

// Decides whether the first extra channel is the merged transparency: by its
// id (0) when the ids are stored, else by its (localised) name, else, with
// neither, by the negative layer count that marks it.
bool FirstExtraIsTransparency(const ParsedFile& f) {
  if (f.extraChannels <= 0 || f.colorChannels == 0) return false;
  const Resources& r = f.resources;
  if (r.hasIds && !r.ids.empty()) return r.ids[0] == 0;
  const auto& names = r.Names();
  if (!names.empty()) return IsTransparencyChannelName(names[0]);
  return f.layers.negativeCount;
}

Status ParseFile(std::span<const uint8_t> bytes, ParsedFile& f) {
  ByteReader in(bytes);
  if (Status s = ReadHeader(in, f.header); !s.ok()) return s;
  uint32_t colorLength;
  if (!in.U32BE(colorLength) || !in.View(colorLength, f.colorData))
    return Status::Error("colour mode data runs past the end of the file");
  if (f.header.mode == PsdColorMode::kIndexed && f.colorData.size() < 768)
    return Status::Error("indexed document without a palette");
  uint32_t resourceLength;
  ByteReader resources;
  if (!in.U32BE(resourceLength) || !in.Sub(resourceLength, resources))
    return Status::Error("image resources run past the end of the file");
  ParseResources(resources, f.resources);
  if (Status s = ParseLayerSection(in, f.header.psb, f.layers); !s.ok()) return s;
  f.mergedImage = std::span<const uint8_t>(in.Current(), in.Remaining());
  f.colorChannels = PsdColorChannelCount(f.header.mode, f.header.channels, f.resources.Names().size());
  if (f.header.channels < f.colorChannels) return Status::Error("too few channels for the colour mode");
  f.extraChannels = f.header.channels - f.colorChannels;
  f.mergedTransparency = FirstExtraIsTransparency(f);
  return Status::Ok();
}

std::vector<std::string> AlphaChannelNames(const ParsedFile& f) {
  std::vector<std::string> out;
  const auto& names = f.resources.Names();
  for (int e = f.mergedTransparency ? 1 : 0; e < f.extraChannels; ++e)
    out.push_back(size_t(e) < names.size() && !names[e].empty() ? names[e]
                                                                : "Alpha " + std::to_string(e + 1));
  return out;
}

class ErrorSlot {
 public:
  void Set(const Status& s) {
    if (s.ok()) return;
    std::lock_guard lock(FMutex);
    if (FStatus.ok()) FStatus = s;
    FFailed = true;
  }
  bool Failed() const { return FFailed; }
  Status Get() const { return FStatus; }

 private:
  std::mutex FMutex;
  Status FStatus;
  std::atomic<bool> FFailed{false};
};

// Decodes the layers' pixels and masks. Work is spread over channels.
Status DecodeLayers(ParsedFile& f, std::vector<PsdLayer>& out, int64_t pixelLimit, bool fills) {
  const Header& h = f.header;
  struct Job {
    size_t layer;
    const ChannelData* channel;
    Target target;
    int width, height;
  };
  std::vector<Job> jobs;
  std::vector<Plane> blacks(f.layers.records.size());
  std::vector<bool> opaque(f.layers.records.size(), false);
  int64_t totalPixels = 0;
  out.resize(f.layers.records.size());
  for (size_t i = 0; i < f.layers.records.size(); ++i) {
    LayerRecord& rec = f.layers.records[i];
    PsdLayer& layer = out[i];
    layer = std::move(rec.layer);
    const int w = layer.bounds.Width(), lh = layer.bounds.Height();
    auto hasChannel = [&](int16_t id) {
      return std::any_of(rec.channels.begin(), rec.channels.end(),
                         [&](const ChannelData& c) { return c.id == id; });
    };
    const bool hasAlpha = hasChannel(-1);
    const bool hasColor = std::any_of(rec.channels.begin(), rec.channels.end(), [&](const ChannelData& c) {
      return c.id >= 0 && c.id < f.colorChannels;
    });
    const bool hasPixels = w > 0 && lh > 0 && (hasColor || hasAlpha);

    // The user's pixel mask. When a vector mask is present too, the user's
    // mask is the "real" one (channel -3) and channel -2 holds the vector
    // mask as rendered; a vector mask alone is not rasterised here.
    const MaskRecord& m = rec.mask;
    const bool hasUser = m.present && hasChannel(-2);
    const bool hasReal = m.present && m.hasReal && hasChannel(-3);
    int16_t maskId = 0;
    if (hasReal && !m.realRect.Empty()) {
      maskId = -3;
    } else if (hasUser && !m.rect.Empty()) {
      maskId = -2;
    } else if (hasReal) {
      maskId = -3;
    } else if (hasUser && !(m.flags & 0x08)) {
      maskId = -2;
    }
    const IntRect maskRect = maskId == -3 ? m.realRect : m.rect;
    // The sizes the records claim, before any buffer is made.
    if (hasPixels)
      if (Status s = CheckDecodePixels(w, lh, pixelLimit); !s.ok())
        return Status::Error("layer \"" + layer.name + "\": " + s.message());
    if (maskId != 0 && !maskRect.Empty())
      if (Status s = CheckDecodePixels(maskRect.Width(), maskRect.Height(), pixelLimit); !s.ok())
        return Status::Error("mask of layer \"" + layer.name + "\": " + s.message());

    // Every channel to decode is checked against its data before any buffer
    // is made, so memory stays proportional to the input.
    for (const ChannelData& c : rec.channels) {
      int cw = w, ch = lh;
      if (maskId != 0 && c.id == maskId) {
        cw = maskRect.Width();
        ch = maskRect.Height();
      } else if (!hasPixels || !(c.id == -1 || (c.id >= 0 && c.id < f.colorChannels))) {
        continue;
      }
      if (Status s = CheckChannel(c.bytes, cw, ch, h.depth, h.psb); !s.ok())
        return Status::Error("layer \"" + layer.name + "\": " + s.message());
    }

    if (hasPixels && fills && h.mode == PsdColorMode::kRgb && h.depth == 8) {
      // A layer of one colour is kept as that colour.
      Rgba8 colour{0, 0, 0, 255};
      bool constant = true;
      for (const ChannelData& c : rec.channels) {
        if (!constant) break;
        if (!(c.id == -1 || (c.id >= 0 && c.id < 3))) continue;
        const std::optional<uint8_t> v = ConstantChannel(c.bytes, w, lh, h.psb);
        if (!v) {
          constant = false;
        } else if (c.id == -1) {
          colour.a = *v;
        } else {
          (&colour.r)[c.id] = *v;
        }
      }
      if (constant) layer.fill = colour;
    }
    if (hasPixels && !layer.fill) {
      if (!ImageSizeAllowed(w, lh, 4)) return Status::Error("layer \"" + layer.name + "\" is too large");
      if (Status s = layer.pixels.Create(w, lh); !s.ok()) return s;
      if (h.mode == PsdColorMode::kCmyk && hasChannel(3))
        if (Status s = blacks[i].Create(w, lh); !s.ok()) return s;
      opaque[i] = !hasAlpha;
      totalPixels += int64_t(w) * lh;
    }
    if (maskId != 0) {
      const bool real = maskId == -3;
      PsdLayerMask mask;
      mask.bounds = maskRect;
      mask.defaultColor = real ? m.realDefault : m.defaultColor;
      const uint8_t flags = real ? m.realFlags : m.flags;
      mask.disabled = (flags & 0x02) != 0;
      // Image editors write a linked mask (the default) with bit 0 clear and
      // set it when the user unlinks the mask from its layer.
      mask.linked = (flags & 0x01) == 0;
      if (!maskRect.Empty()) {
        if (!ImageSizeAllowed(maskRect.Width(), maskRect.Height(), 1))
          return Status::Error("mask of layer \"" + layer.name + "\" is too large");
        if (Status s = mask.pixels.Create(maskRect.Width(), maskRect.Height()); !s.ok()) return s;
        totalPixels += int64_t(maskRect.Width()) * maskRect.Height();
      }
      layer.mask = std::move(mask);
    }
    for (const ChannelData& c : rec.channels) {
      Job job{i, &c, {}, w, lh};
      if (maskId != 0 && c.id == maskId) {
        Plane& p = layer.mask->pixels;
        if (p.empty()) continue;
        job.target = Target{p.data(), 1, p.StrideBytes(), true, false, false};
        job.width = p.width();
        job.height = p.height();
      } else if (layer.pixels.empty()) {
        continue;
      } else if (c.id == -1) {
        job.target = Target{&layer.pixels.data()->a, 4, layer.pixels.StrideBytes(), false, false, false};
      } else if (c.id >= 0 && c.id < f.colorChannels && c.id < 3) {
        uint8_t* base = &layer.pixels.data()->r + c.id;
        job.target = Target{base, 4, layer.pixels.StrideBytes(), false, true, false};
      } else if (c.id == 3 && !blacks[i].empty()) {
        job.target = Target{blacks[i].data(), 1, blacks[i].StrideBytes(), true, true, false};
      } else {
        continue;
      }
      jobs.push_back(job);
    }
  }
  ErrorSlot error;
  const int64_t perTask = totalPixels > (int64_t(1) << 20) ? 1 : int64_t(jobs.size()) + 1;
  ParallelFor(static_cast<int64_t>(jobs.size()), perTask, [&](int64_t begin, int64_t end) {
    for (int64_t j = begin; j < end && !error.Failed(); ++j) {
      const Job& job = jobs[size_t(j)];
      Status s = DecodeLayerChannel(job.channel->bytes, job.width, job.height, h.depth, h.psb, job.target);
      if (!s.ok()) error.Set(Status::Error("layer \"" + out[job.layer].name + "\": " + s.message()));
    }
  });
  if (error.Failed()) return error.Get();
  ColorConverter converter(h.mode, f.resources.icc, f.colorData);
  for (size_t i = 0; i < out.size(); ++i) {
    Image& img = out[i].pixels;
    if (img.empty() || (h.mode == PsdColorMode::kRgb && !opaque[i])) continue;
    // Without a stored black plane a CMYK layer has no black ink.
    const Plane* black = blacks[i].empty() ? nullptr : &blacks[i];
    ParallelFor(img.height(), std::max(1, (1 << 16) / img.width()), [&](int64_t y0, int64_t y1) {
      converter.ConvertRows(img, black, int(y0), int(y1), opaque[i], -1);
    });
  }
  return Status::Ok();
}

// The image editors store the merged colour of a transparent document
// blended over white; this recovers the straight colour.
void RemoveWhiteMatte(Image& image, int y0, int y1) {
  for (int y = y0; y < y1; ++y) {
    Rgba8* row = image.Row(y);
    for (int x = 0; x < image.width(); ++x) {
      Rgba8& p = row[x];
      if (p.a == 0 || p.a == 255) continue;
      const int a = p.a, white = 255 - a;
      auto un = [&](uint8_t c) {
        const int v = ((int(c) - white) * 255 + a / 2) / a;
        return static_cast<uint8_t>(std::clamp(v, 0, 255));
      };
      p.r = un(p.r);
      p.g = un(p.g);
      p.b = un(p.b);
    }
  }
}

// Some documents (saved with compatibility off) store a placeholder instead
// of the merged image. Their picture is rebuilt from the layers: visible
// layers (inside visible groups) over transparency, with opacity, fill
// opacity, enabled pixel masks and clipping to the layer below. Every layer
// is blended as normal; group opacity multiplies into its layers.
void FlattenLayers(const std::vector<PsdLayer>& layers, Image& out) {
  const int n = static_cast<int>(layers.size());
  std::vector<double> groupOpacity(size_t(n), 1.0);
  std::vector<bool> shown(size_t(n), false);
  {
    std::vector<std::pair<bool, double>> stack;  // enclosing folders, walking down from the top
    for (int i = n - 1; i >= 0; --i) {
      const PsdLayer& l = layers[size_t(i)];
      const bool parentsShown = std::all_of(stack.begin(), stack.end(), [](auto& g) { return g.first; });
      double parentsOpacity = 1;
      for (auto& g : stack) parentsOpacity *= g.second;
      if (l.section == PsdSection::kOpenFolder || l.section == PsdSection::kClosedFolder) {
        stack.emplace_back(l.visible, l.opacity / 255.0);
      } else if (l.section == PsdSection::kDivider) {
        if (!stack.empty()) stack.pop_back();
      } else {
        shown[size_t(i)] = parentsShown && l.visible;
        groupOpacity[size_t(i)] = parentsOpacity;
      }
    }
  }
  // Coverage of a layer at a document pixel: its alpha through its mask.
  auto coverage = [&](const PsdLayer& l, int x, int y) -> int {
    const IntRect& b = l.bounds;
    if (l.pixels.empty() || x < b.left || y < b.top || x >= b.right || y >= b.bottom) return 0;
    int a = l.pixels.At(x - b.left, y - b.top).a;
    if (l.mask && !l.mask->disabled) {
      const PsdLayerMask& m = *l.mask;
      const int mv = (!m.pixels.empty() && x >= m.bounds.left && y >= m.bounds.top && x < m.bounds.right &&
                      y < m.bounds.bottom)
                         ? m.pixels.At(x - m.bounds.left, y - m.bounds.top)
                         : m.defaultColor;
      a = (a * mv + 127) / 255;
    }
    return a;
  };
  int base = -1;
  for (int i = 0; i < n; ++i) {
    const PsdLayer& l = layers[size_t(i)];
    if (l.section != PsdSection::kNone) continue;
    if (!l.clipping) base = i;
    if (!shown[size_t(i)] || l.pixels.empty()) continue;
    const PsdLayer* clipBase = l.clipping && base >= 0 && base != i ? &layers[size_t(base)] : nullptr;
    if (clipBase && !shown[size_t(base)]) continue;
    const int opacity =
        static_cast<int>(std::lround(l.opacity * (l.fillOpacity / 255.0) * groupOpacity[size_t(i)]));
    const IntRect area = Intersect(l.bounds, IntRect{0, 0, out.width(), out.height()});
    ParallelFor(area.Height(), 64, [&](int64_t r0, int64_t r1) {
      for (int y = area.top + int(r0); y < area.top + int(r1); ++y) {
        Rgba8* dst = out.Row(y);
        for (int x = area.left; x < area.right; ++x) {
          int a = coverage(l, x, y) * opacity / 255;
          if (clipBase) a = a * coverage(*clipBase, x, y) / 255;
          if (a == 0) continue;
          const Rgba8 s = l.pixels.At(x - l.bounds.left, y - l.bounds.top);
          Rgba8& d = dst[x];
          const int da = d.a * (255 - a) / 255;
          const int oa = a + da;
          d.r = uint8_t((s.r * a + d.r * da + oa / 2) / oa);
          d.g = uint8_t((s.g * a + d.g * da + oa / 2) / oa);
          d.b = uint8_t((s.b * a + d.b * da + oa / 2) / oa);
          d.a = uint8_t(oa);
        }
      }
    });
  }
}

// Decodes one document-sized extra channel into the box of its non-zero
// samples only: a first pass finds the box row by row, a second keeps the
// rows inside it. So an alpha channel that shapes one slot costs the slot's
// area, and the full plane never exists.
template <typename RowSource>
Status DecodeCroppedPlane(int width, int height, int depth, Compression compression, RowSource rowData,
                          IntRect& bounds, Plane& out) {
  std::vector<int> first(size_t(height), width), last(size_t(height), -1);
  ParallelFor(height, 64, [&](int64_t y0, int64_t y1) {
    std::vector<uint8_t> row(static_cast<size_t>(width));
    const Target t{row.data(), 1, 0, false, false, false};  // every row into the same buffer
    for (int64_t y = y0; y < y1; ++y) {
      std::fill(row.begin(), row.end(), uint8_t(0));
      DecodeRows(int(y), int(y) + 1, width, depth, compression, t, rowData);
      int a = 0, b = width - 1;
      while (a < width && row[size_t(a)] == 0) ++a;
      if (a == width) continue;
      while (row[size_t(b)] == 0) --b;
      first[size_t(y)] = a;
      last[size_t(y)] = b;
    }
  });
  bounds = IntRect{};
  for (int y = 0; y < height; ++y)
    if (last[size_t(y)] >= 0)
      bounds = Union(bounds, IntRect{first[size_t(y)], y, last[size_t(y)] + 1, y + 1});
  out.Reset();
  if (bounds.Empty()) return Status::Ok();
  if (Status s = out.CreateUninitialized(bounds.Width(), bounds.Height()); !s.ok()) return s;
  ParallelFor(bounds.Height(), 64, [&](int64_t y0, int64_t y1) {
    std::vector<uint8_t> row(static_cast<size_t>(width));
    const Target t{row.data(), 1, 0, false, false, false};
    for (int64_t j = y0; j < y1; ++j) {
      std::fill(row.begin(), row.end(), uint8_t(0));
      DecodeRows(bounds.top + int(j), bounds.top + int(j) + 1, width, depth, compression, t, rowData);
      std::memcpy(out.Row(int(j)), row.data() + bounds.left, size_t(bounds.Width()));
    }
  });
  return Status::Ok();
}

// Decodes the merged image: colour planes into `composite`, the merged
// transparency into its alpha, alpha channels into their planes.
Status DecodeMerged(const ParsedFile& f, const PsdReadOptions& options, PsdDocument& doc) {
  const Header& h = f.header;
  ByteReader in(f.mergedImage);
  uint16_t compression;
  if (!in.U16BE(compression)) return Status::Error("merged image is missing");
  if (compression > kZipPredicted)
    return Status::Error("unknown merged image compression " + std::to_string(compression));
  const std::span<const uint8_t> data(in.Current(), in.Remaining());
  const size_t rowBytes = RowBytes(h.width, h.depth);
  const uint64_t planeBytes = uint64_t(rowBytes) * uint64_t(h.height);

  // The channels wanted, in merged-image order.
  const int colorPlanes = std::max(1, std::min(f.colorChannels, 3));
  const int firstAlpha = f.colorChannels + (f.mergedTransparency ? 1 : 0);
  std::vector<int> wanted;
  if (options.composite) {
    for (int c = 0; c < colorPlanes; ++c) wanted.push_back(c);
    if (h.mode == PsdColorMode::kCmyk) wanted.push_back(3);
    if (f.mergedTransparency) wanted.push_back(f.colorChannels);
  }
  if (options.alphaChannels)
    for (int c = firstAlpha; c < h.channels; ++c) wanted.push_back(c);
  if (wanted.empty()) return Status::Ok();
  const int lastWanted = *std::max_element(wanted.begin(), wanted.end());

  // The data is checked before any buffer is made.
  const size_t countBytes = h.psb ? 4 : 2;
  std::vector<uint64_t> channelStart;  // RLE: where each channel's rows start
  auto rowCount = [&](uint64_t i) -> uint64_t {
    const uint8_t* c = data.data() + i * countBytes;
    return h.psb ? (uint64_t(c[0]) << 24 | uint64_t(c[1]) << 16 | uint64_t(c[2]) << 8 | c[3])
                 : (uint64_t(c[0]) << 8 | c[1]);
  };
  switch (compression) {
    case kRaw:
      if (data.size() / planeBytes < uint64_t(lastWanted) + 1)
        return Status::Error("merged image is truncated");
      break;
    case kRle: {
      const uint64_t rows = uint64_t(h.channels) * uint64_t(h.height);
      if (data.size() / countBytes < rows) return Status::Error("merged image row counts are truncated");
      channelStart.resize(size_t(h.channels) + 1);
      uint64_t pos = rows * countBytes;
      for (int c = 0; c < h.channels; ++c) {
        channelStart[size_t(c)] = pos;
        for (int y = 0; y < h.height; ++y) pos += rowCount(uint64_t(c) * h.height + y);
      }
      channelStart[size_t(h.channels)] = pos;
      if (pos > data.size()) return Status::Error("merged image is truncated");
      const uint64_t least = uint64_t(h.height) * 2 * ((rowBytes + 127) / 128);
      for (int c : wanted)
        if (channelStart[size_t(c) + 1] - channelStart[size_t(c)] < least)
          return Status::Error("merged image channel data too short for its size");
      break;
    }
    default:
      if (h.depth == 1) return Status::Error("ZIP data in a bitmap document");
      if (!PlausibleChannelData(compression, data.size(), h.width, h.height * h.channels, h.depth, h.psb))
        return Status::Error("merged image data too short for its size");
      break;
  }

  struct Job {
    int channel;
    Target target;
  };
  std::vector<Job> jobs;
  Plane black;
  if (options.composite) {
    if (Status s = doc.composite.Create(h.width, h.height); !s.ok()) return s;
    const size_t stride = doc.composite.StrideBytes();
    uint8_t* base = &doc.composite.data()->r;
    const bool bitmap = h.mode == PsdColorMode::kBitmap;
    for (int c = 0; c < colorPlanes; ++c)
      jobs.push_back({c, Target{base + c, 4, stride, false, true, bitmap}});
    if (h.mode == PsdColorMode::kCmyk) {
      if (Status s = black.Create(h.width, h.height); !s.ok()) return s;
      jobs.push_back({3, Target{black.data(), 1, black.StrideBytes(), true, true, false}});
    }
    if (f.mergedTransparency)
      jobs.push_back({f.colorChannels, Target{base + 3, 4, stride, false, false, false}});
  }
  if (options.alphaChannels) {
    const std::vector<std::string> names = AlphaChannelNames(f);
    for (int e = firstAlpha, i = 0; e < h.channels; ++e, ++i) {
      PsdAlphaChannel ch;
      ch.name = names[size_t(i)];
      const size_t extraIndex = size_t(e - f.colorChannels);
      ch.spot = extraIndex < f.resources.kinds.size() && f.resources.kinds[extraIndex] == 2;
      if (!options.cropAlphaChannels) {
        if (Status s = ch.pixels.Create(h.width, h.height); !s.ok()) return s;
        ch.bounds = IntRect{0, 0, h.width, h.height};
      }
      doc.alphaChannels.push_back(std::move(ch));
    }
    if (!options.cropAlphaChannels)
      for (size_t i = 0; i < doc.alphaChannels.size(); ++i) {
        Plane& p = doc.alphaChannels[i].pixels;
        jobs.push_back({firstAlpha + int(i), Target{p.data(), 1, p.StrideBytes(), true, false, false}});
      }
  }
  const bool cropped = options.alphaChannels && options.cropAlphaChannels;
  // Cropped alpha channels are decoded one at a time from their rows.
  auto decodeCropped = [&](Compression coding, auto rowsOf) -> Status {
    if (!cropped) return Status::Ok();
    for (size_t i = 0; i < doc.alphaChannels.size(); ++i) {
      PsdAlphaChannel& a = doc.alphaChannels[i];
      if (Status s = DecodeCroppedPlane(h.width, h.height, h.depth, coding, rowsOf(firstAlpha + int(i)),
                                        a.bounds, a.pixels);
          !s.ok())
        return s;
    }
    return Status::Ok();
  };

  // A channel's rows stored one plane after another without coding.
  auto planeRows = [planeBytes, rowBytes](std::span<const uint8_t> bytes, int channel) {
    const size_t planeStart = size_t(planeBytes) * size_t(channel);
    return [bytes, planeStart, rowBytes](int y) {
      return bytes.subspan(planeStart + size_t(y) * rowBytes, rowBytes);
    };
  };
  // Where each of a run-length-coded channel's rows starts, and where the last ends.
  auto rleRowStarts = [&](int channel, std::vector<uint64_t>& starts) {
    starts.resize(size_t(h.height) + 1);
    uint64_t p = channelStart[size_t(channel)];
    for (int y = 0; y < h.height; ++y) {
      starts[size_t(y)] = p;
      p += rowCount(uint64_t(channel) * h.height + y);
    }
    starts[size_t(h.height)] = p;
  };
  auto rleRows = [data](const std::vector<uint64_t>& starts) {
    return [data, &starts](int y) {
      return data.subspan(size_t(starts[size_t(y)]), size_t(starts[size_t(y) + 1] - starts[size_t(y)]));
    };
  };

  // Rows of all wanted channels are decoded in parallel.
  const int64_t rowsPerTask =
      std::max<int64_t>(16, int64_t(1 << 18) / int64_t(std::max<size_t>(rowBytes, 1)));
  const int64_t totalRows = int64_t(jobs.size()) * h.height;
  switch (compression) {
    case kRaw: {
      ParallelFor(totalRows, rowsPerTask, [&](int64_t begin, int64_t end) {
        while (begin < end) {
          const Job& job = jobs[size_t(begin / h.height)];
          const int y0 = int(begin % h.height);
          const int y1 = int(std::min<int64_t>(h.height, y0 + (end - begin)));
          DecodeRows(y0, y1, h.width, h.depth, kRaw, job.target, planeRows(data, job.channel));
          begin += y1 - y0;
        }
      });
      if (Status s = decodeCropped(kRaw, [&](int channel) { return planeRows(data, channel); }); !s.ok())
        return s;
      break;
    }
    case kRle: {
      std::vector<std::vector<uint64_t>> rowStart(jobs.size());
      for (size_t j = 0; j < jobs.size(); ++j) rleRowStarts(jobs[j].channel, rowStart[j]);
      ParallelFor(totalRows, rowsPerTask, [&](int64_t begin, int64_t end) {
        while (begin < end) {
          const size_t j = size_t(begin / h.height);
          const int y0 = int(begin % h.height);
          const int y1 = int(std::min<int64_t>(h.height, y0 + (end - begin)));
          DecodeRows(y0, y1, h.width, h.depth, kRle, jobs[j].target, rleRows(rowStart[j]));
          begin += y1 - y0;
        }
      });
      std::vector<uint64_t> starts;
      if (Status s = decodeCropped(kRle,
                                   [&](int channel) {
                                     rleRowStarts(channel, starts);
                                     return rleRows(starts);
                                   });
          !s.ok())
        return s;
      break;
    }
    default: {  // ZIP: one stream over all planes
      std::vector<uint8_t> raw;
      try {
        raw.resize(size_t(planeBytes) * size_t(h.channels));
      } catch (const std::bad_alloc&) {
        return Status::Error("out of memory for the merged image");
      }
      if (Status s = Inflate(data, raw); !s.ok()) return s;
      if (compression == kZipPredicted) UndoPrediction(raw, rowBytes, h.depth);
      const std::span<const uint8_t> all(raw);
      for (const Job& job : jobs)
        DecodeRows(0, h.height, h.width, h.depth, kRaw, job.target, planeRows(all, job.channel));
      if (Status s = decodeCropped(kRaw, [&](int channel) { return planeRows(all, channel); }); !s.ok())
        return s;
      break;
    }
  }

  if (options.composite) {
    ColorConverter converter(h.mode, f.resources.icc, f.colorData);
    const bool opaque = !f.mergedTransparency;
    const int transparentIndex = h.mode == PsdColorMode::kIndexed ? f.resources.transparencyIndex : -1;
    Image& img = doc.composite;
    ParallelFor(h.height, std::max(1, (1 << 16) / h.width), [&](int64_t y0, int64_t y1) {
      converter.ConvertRows(img, black.empty() ? nullptr : &black, int(y0), int(y1), opaque,
                            transparentIndex);
      if (f.mergedTransparency) RemoveWhiteMatte(img, int(y0), int(y1));
    });
  }
  return Status::Ok();
}

// The facts of the header and the resources that a probe and a full read
// both report.
template <typename Facts>
void CopyDocumentFacts(const ParsedFile& f, Facts& out) {
  out.width = f.header.width;
  out.height = f.header.height;
  out.resolution = f.resources.resolution;
  out.colorMode = f.header.mode;
  out.depth = f.header.depth;
  out.psb = f.header.psb;
  out.hasMergedTransparency = f.mergedTransparency;
}

}  // namespace

Result<PsdInfo> ProbePsd(std::span<const uint8_t> bytes) {
  ParsedFile f;
  if (Status s = ParseFile(bytes, f); !s.ok()) return s;
  PsdInfo info;
  CopyDocumentFacts(f, info);
  info.channels = f.header.channels;
  info.layerCount = static_cast<int>(f.layers.records.size());
  for (const LayerRecord& r : f.layers.records) info.layerNames.push_back(r.layer.name);
  info.alphaChannelNames = AlphaChannelNames(f);
  return info;
}

Result<PsdDocument> ReadPsd(std::span<const uint8_t> bytes, const PsdReadOptions& options) {
  ParsedFile f;
  if (Status s = ParseFile(bytes, f); !s.ok()) return s;
  // The merged image and the extra channels have the document's size.
  if (options.composite || options.alphaChannels)
    if (Status s = CheckDecodePixels(f.header.width, f.header.height, DecodePixelLimit(options.maxPixels));
        !s.ok())
      return s;
  PsdDocument doc;
  CopyDocumentFacts(f, doc);
  doc.iccProfile = f.resources.icc;
  // Without a real merged image the composite is rebuilt from the layers,
  // which are then decoded even when the caller does not want them.
  const bool flatten = options.composite && f.resources.realMergedData == false && !f.layers.records.empty();
  if (options.layers || flatten)
    if (Status s =
            DecodeLayers(f, doc.layers, DecodePixelLimit(options.maxPixels), options.fillLayers && !flatten);
        !s.ok())
      return s;
  PsdReadOptions mergedOptions = options;
  mergedOptions.composite = options.composite && !flatten;
  if (mergedOptions.composite || mergedOptions.alphaChannels)
    if (Status s = DecodeMerged(f, mergedOptions, doc); !s.ok()) return s;
  if (flatten) {
    if (Status s = doc.composite.Create(doc.width, doc.height); !s.ok()) return s;
    FlattenLayers(doc.layers, doc.composite);
    doc.compositeFlattened = true;
    doc.hasMergedTransparency = false;
    for (int y = 0; y < doc.height && !doc.hasMergedTransparency; ++y)
      for (int x = 0; x < doc.width; ++x)
        if (doc.composite.At(x, y).a != 255) {
          doc.hasMergedTransparency = true;
          break;
        }
    if (!options.layers) doc.layers.clear();
  }
  return doc;
}

const char* PsdColorModeName(PsdColorMode mode) {
  switch (mode) {
    case PsdColorMode::kBitmap:
      return "Bitmap";
    case PsdColorMode::kGrayscale:
      return "Grayscale";
    case PsdColorMode::kIndexed:
      return "Indexed";
    case PsdColorMode::kRgb:
      return "RGB";
    case PsdColorMode::kCmyk:
      return "CMYK";
    case PsdColorMode::kMultichannel:
      return "Multichannel";
    case PsdColorMode::kDuotone:
      return "Duotone";
    case PsdColorMode::kLab:
      return "Lab";
  }
  return "unknown";
}

int PsdColorChannelCount(PsdColorMode mode, int channels, size_t channelNames) {
  switch (mode) {
    case PsdColorMode::kRgb:
    case PsdColorMode::kLab:
      return 3;
    case PsdColorMode::kCmyk:
      return 4;
    case PsdColorMode::kMultichannel:
      return std::max(
          0, channels - static_cast<int>(std::min<size_t>(channelNames, size_t(std::max(0, channels)))));
    default:
      return 1;
  }
}

}  // namespace tessaro
