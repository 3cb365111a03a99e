// PackBits, ZIP prediction, action descriptors and name helpers of the
// layered-document format (see PsdInternal.h).
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "base/Text.h"
#include "imaging/psd/PsdInternal.h"

namespace tessaro::psd {

// ---- PackBits ----------------------------------------------------------

size_t PackBitsDecodeRow(std::span<const uint8_t> src, std::span<uint8_t> dst, bool skipZeroRuns) {
  size_t in = 0, out = 0;
  const size_t srcSize = src.size(), dstSize = dst.size();
  while (in < srcSize && out < dstSize) {
    const int n = static_cast<int8_t>(src[in++]);
    if (n >= 0) {
      size_t count = std::min<size_t>(size_t(n) + 1, srcSize - in);
      count = std::min(count, dstSize - out);
      std::memcpy(dst.data() + out, src.data() + in, count);
      in += size_t(n) + 1;
      out += count;
    } else if (n != -128) {
      if (in >= srcSize) break;
      const uint8_t value = src[in++];
      const size_t count = std::min<size_t>(size_t(1 - n), dstSize - out);
      if (value != 0 || !skipZeroRuns) std::memset(dst.data() + out, value, count);
      out += count;
    }
  }
  return out;
}

size_t PackBitsEncodeRow(std::span<const uint8_t> row, std::vector<uint8_t>& out) {
  const size_t start = out.size();
  const size_t n = row.size();
  size_t i = 0;
  while (i < n) {
    // Length of the run of equal bytes starting at i (at most 128).
    size_t run = 1;
    while (i + run < n && run < 128 && row[i + run] == row[i]) ++run;
    if (run >= 3 || (run == 2 && i + run == n)) {
      out.push_back(static_cast<uint8_t>(1 - int(run)));
      out.push_back(row[i]);
      i += run;
      continue;
    }
    // A literal: up to the next run of three equal bytes.
    size_t j = i;
    while (j < n && j - i < 128) {
      if (j + 2 < n && row[j] == row[j + 1] && row[j] == row[j + 2]) break;
      ++j;
    }
    if (j == i) j = i + 1;
    const size_t count = j - i;
    out.push_back(static_cast<uint8_t>(count - 1));
    out.insert(out.end(), row.begin() + i, row.begin() + j);
    i = j;
  }
  return out.size() - start;
}

// ---- ZIP ---------------------------------------------------------------

Status Inflate(std::span<const uint8_t> src, std::span<uint8_t> out) {
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return Status::Error("zlib could not start");
  constexpr size_t kChunk = size_t(1) << 30;
  size_t inPos = 0, outPos = 0;
  int rc = Z_OK;
  while (outPos < out.size()) {
    if (zs.avail_in == 0 && inPos < src.size()) {
      const size_t n = std::min(kChunk, src.size() - inPos);
      zs.next_in = const_cast<Bytef*>(src.data() + inPos);
      zs.avail_in = static_cast<uInt>(n);
      inPos += n;
    }
    const size_t room = std::min(kChunk, out.size() - outPos);
    zs.next_out = out.data() + outPos;
    zs.avail_out = static_cast<uInt>(room);
    rc = inflate(&zs, Z_NO_FLUSH);
    outPos += room - zs.avail_out;
    if (rc == Z_STREAM_END) break;
    if (rc != Z_OK) break;
    if (zs.avail_in == 0 && inPos >= src.size() && zs.avail_out != 0) {
      rc = Z_BUF_ERROR;
      break;
    }
  }
  inflateEnd(&zs);
  if (outPos < out.size()) return Status::Error("compressed channel data is corrupt or short");
  return Status::Ok();
}

void UndoPrediction(std::span<uint8_t> data, size_t rowBytes, int depth) {
  if (rowBytes == 0) return;
  const size_t rows = data.size() / rowBytes;
  std::vector<uint8_t> scratch(depth == 32 ? rowBytes : 0);
  for (size_t r = 0; r < rows; ++r) {
    uint8_t* row = data.data() + r * rowBytes;
    if (depth == 16) {
      const size_t w = rowBytes / 2;
      uint16_t prev = 0;
      for (size_t i = 0; i < w; ++i) {
        uint16_t v = static_cast<uint16_t>((row[2 * i] << 8) | row[2 * i + 1]);
        v = static_cast<uint16_t>(v + prev);
        row[2 * i] = uint8_t(v >> 8);
        row[2 * i + 1] = uint8_t(v);
        prev = v;
      }
    } else {
      for (size_t i = 1; i < rowBytes; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - 1]);
      if (depth == 32) {
        const size_t w = rowBytes / 4;
        for (size_t i = 0; i < w; ++i)
          for (size_t k = 0; k < 4; ++k) scratch[4 * i + k] = row[k * w + i];
        std::memcpy(row, scratch.data(), w * 4);
      }
    }
  }
}

// ---- Action descriptors ------------------------------------------------

namespace {

constexpr int kMaxDescriptorDepth = 32;

bool ReadId(ByteReader& in, std::string& out) {
  uint32_t length;
  if (!in.U32BE(length)) return false;
  const size_t n = length == 0 ? 4 : length;
  if (!in.CanHold(n, 1)) {
    in.Fail();
    return false;
  }
  out.assign(reinterpret_cast<const char*>(in.Current()), n);
  return in.Skip(n);
}

bool ReadUnicode(ByteReader& in, std::string& out) {
  uint32_t count;
  if (!in.U32BE(count)) return false;
  if (!in.CanHold(count, 2)) {
    in.Fail();
    return false;
  }
  std::u16string units(count, u'\0');
  for (uint32_t i = 0; i < count; ++i) {
    uint16_t u;
    in.U16BE(u);
    units[i] = static_cast<char16_t>(u);
  }
  while (!units.empty() && units.back() == 0) units.pop_back();
  out = Utf16ToUtf8(units.data(), units.size());
  return in.ok();
}

bool ParseBody(ByteReader& in, Descriptor& out, int depth, bool& complete);

bool SkipBytesWithLength(ByteReader& in) {
  uint32_t n;
  return in.U32BE(n) && in.Skip(n);
}

// Reads one value of `type`; returns false when the value could not be read
// (unknown type, short data), which ends the parse.
bool ParseValue(ByteReader& in, std::string_view type, DescValue& v, int depth, bool& complete) {
  using T = DescValue::Type;
  std::string scratch;
  if (type == "Objc" || type == "GlbO") {
    if (depth >= kMaxDescriptorDepth) return false;
    v.type = T::kObject;
    v.object = std::make_shared<Descriptor>();
    return ParseBody(in, *v.object, depth + 1, complete);
  }
  if (type == "VlLs") {
    if (depth >= kMaxDescriptorDepth) return false;
    uint32_t count;
    if (!in.U32BE(count) || !in.CanHold(count, 5)) return false;
    v.type = T::kList;
    for (uint32_t i = 0; i < count; ++i) {
      char itemType[4];
      if (!in.ReadBytes(itemType, 4)) return false;
      DescValue item;
      const bool ok = ParseValue(in, std::string_view(itemType, 4), item, depth + 1, complete);
      v.list.push_back(std::move(item));
      if (!ok) return false;
    }
    return true;
  }
  if (type == "doub") {
    v.type = T::kNumber;
    return in.F64BE(v.number);
  }
  if (type == "UntF") {
    char unit[4];
    if (!in.ReadBytes(unit, 4)) return false;
    v.type = T::kUnitNumber;
    v.unit.assign(unit, 4);
    return in.F64BE(v.number);
  }
  if (type == "UnFl") {
    uint32_t count;
    return in.Skip(4) && in.U32BE(count) && in.CanHold(count, 8) && in.Skip(uint64_t(count) * 8);
  }
  if (type == "TEXT") {
    v.type = T::kText;
    return ReadUnicode(in, v.text);
  }
  if (type == "enum") {
    v.type = T::kEnum;
    return ReadId(in, v.enumType) && ReadId(in, v.text);
  }
  if (type == "long") {
    int32_t i;
    if (!in.I32BE(i)) return false;
    v.type = T::kInteger;
    v.number = i;
    return true;
  }
  if (type == "comp") {
    uint64_t u;
    if (!in.U64BE(u)) return false;
    v.type = T::kInteger;
    v.number = static_cast<double>(static_cast<int64_t>(u));
    return true;
  }
  if (type == "bool") {
    uint8_t b;
    if (!in.U8(b)) return false;
    v.type = T::kBool;
    v.boolean = b != 0;
    return true;
  }
  if (type == "type" || type == "GlbC") return ReadUnicode(in, scratch) && ReadId(in, scratch);
  if (type == "alis" || type == "tdta" || type == "Pth ") return SkipBytesWithLength(in);
  if (type == "obj ") {
    uint32_t count;
    if (!in.U32BE(count) || !in.CanHold(count, 4)) return false;
    for (uint32_t i = 0; i < count; ++i) {
      char kind[4];
      if (!in.ReadBytes(kind, 4)) return false;
      const std::string_view k(kind, 4);
      bool ok;
      if (k == "prop") {
        ok = ReadUnicode(in, scratch) && ReadId(in, scratch) && ReadId(in, scratch);
      } else if (k == "Clss") {
        ok = ReadUnicode(in, scratch) && ReadId(in, scratch);
      } else if (k == "Enmr") {
        ok = ReadUnicode(in, scratch) && ReadId(in, scratch) && ReadId(in, scratch) && ReadId(in, scratch);
      } else if (k == "rele") {
        ok = ReadUnicode(in, scratch) && ReadId(in, scratch) && in.Skip(4);
      } else if (k == "Idnt" || k == "indx") {
        ok = in.Skip(4);
      } else if (k == "name") {
        ok = ReadUnicode(in, scratch) && ReadId(in, scratch) && ReadUnicode(in, scratch);
      } else {
        ok = false;
      }
      if (!ok) return false;
    }
    return true;
  }
  return false;
}

bool ParseBody(ByteReader& in, Descriptor& out, int depth, bool& complete) {
  std::string name;
  uint32_t count;
  if (!ReadUnicode(in, name) || !ReadId(in, out.classId) || !in.U32BE(count)) {
    complete = false;
    return false;
  }
  // Every item takes at least a 4-byte key length, a 4-byte key and a type.
  if (!in.CanHold(count, 12)) {
    complete = false;
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) {
    std::string key;
    char type[4];
    if (!ReadId(in, key) || !in.ReadBytes(type, 4)) {
      complete = false;
      return false;
    }
    DescValue value;
    const bool ok = ParseValue(in, std::string_view(type, 4), value, depth, complete);
    out.items.emplace_back(std::move(key), std::move(value));
    if (!ok) {
      complete = false;
      return false;
    }
  }
  return true;
}

}  // namespace

const DescValue* Descriptor::Find(std::string_view key) const {
  for (const auto& [k, v] : items)
    if (k == key) return &v;
  return nullptr;
}

Descriptor ParseDescriptor(ByteReader& in, bool* complete) {
  Descriptor d;
  bool ok = true;
  ParseBody(in, d, 0, ok);
  if (complete) *complete = ok;
  return d;
}

void DescriptorWriter::Id(std::string_view id) {
  if (id.size() == 4) {
    FOut.U32BE(0);
  } else {
    FOut.U32BE(static_cast<uint32_t>(id.size()));
  }
  FOut.Append(id.data(), id.size());
}

void DescriptorWriter::Begin(std::string_view classId, uint32_t itemCount) {
  FOut.U32BE(1);  // the (empty) Unicode name: one terminating unit
  FOut.U16BE(0);
  Id(classId);
  FOut.U32BE(itemCount);
}

void DescriptorWriter::Key(std::string_view key) { Id(key); }

void DescriptorWriter::Bool(std::string_view key, bool v) {
  Key(key);
  FOut.Append("bool", 4);
  FOut.U8(v ? 1 : 0);
}

void DescriptorWriter::Double(std::string_view key, double v) {
  Key(key);
  FOut.Append("doub", 4);
  FOut.F64BE(v);
}

void DescriptorWriter::Unit(std::string_view key, std::string_view unit, double v) {
  Key(key);
  FOut.Append("UntF", 4);
  FOut.Append(unit.data(), 4);
  FOut.F64BE(v);
}

void DescriptorWriter::Enum(std::string_view key, std::string_view type, std::string_view value) {
  Key(key);
  FOut.Append("enum", 4);
  Id(type);
  Id(value);
}

void DescriptorWriter::Object(std::string_view key, std::string_view classId, uint32_t itemCount) {
  Key(key);
  FOut.Append("Objc", 4);
  Begin(classId, itemCount);
}

namespace {
struct DescriptorMode {
  BlendMode mode;
  std::string_view value;
};
constexpr std::array<DescriptorMode, 28> kDescriptorModes{{
    {BlendMode::kPassThrough, "passThrough"},
    {BlendMode::kNormal, "Nrml"},
    {BlendMode::kDissolve, "Dslv"},
    {BlendMode::kDarken, "Drkn"},
    {BlendMode::kMultiply, "Mltp"},
    {BlendMode::kColorBurn, "CBrn"},
    {BlendMode::kLinearBurn, "linearBurn"},
    {BlendMode::kDarkerColor, "darkerColor"},
    {BlendMode::kLighten, "Lghn"},
    {BlendMode::kScreen, "Scrn"},
    {BlendMode::kColorDodge, "CDdg"},
    {BlendMode::kLinearDodge, "linearDodge"},
    {BlendMode::kLighterColor, "lighterColor"},
    {BlendMode::kOverlay, "Ovrl"},
    {BlendMode::kSoftLight, "SftL"},
    {BlendMode::kHardLight, "HrdL"},
    {BlendMode::kVividLight, "vividLight"},
    {BlendMode::kLinearLight, "linearLight"},
    {BlendMode::kPinLight, "pinLight"},
    {BlendMode::kHardMix, "hardMix"},
    {BlendMode::kDifference, "Dfrn"},
    {BlendMode::kExclusion, "Xclu"},
    {BlendMode::kSubtract, "blendSubtraction"},
    {BlendMode::kDivide, "blendDivide"},
    {BlendMode::kHue, "H   "},
    {BlendMode::kSaturation, "Strt"},
    {BlendMode::kColor, "Clr "},
    {BlendMode::kLuminosity, "Lmns"},
}};
}  // namespace

std::string_view BlendModeDescriptorValue(BlendMode mode) {
  for (const auto& e : kDescriptorModes)
    if (e.mode == mode) return e.value;
  return "Nrml";
}

std::optional<BlendMode> BlendModeFromDescriptorValue(std::string_view value) {
  for (const auto& e : kDescriptorModes)
    if (e.value == value) return e.mode;
  return std::nullopt;
}

// ---- Text --------------------------------------------------------------

bool IsTransparencyChannelName(std::string_view utf8) {
  static constexpr std::array<std::string_view, 22> kNames{
      "transparency",  "透明度",          "透明部分",        "투명도",           "прозрачность",
      "Прозрачность",  "transparenz",     "transparence",    "trasparenza",      "transparencia",
      "transparência", "transparantie",   "przezroczystość", "průhlednost",      "átlátszóság",
      "saydamlık",     "genomskinlighet", "gennemsigtighed", "gjennomsiktighet", "läpinäkyvyys",
      "διαφάνεια",     "прозорість"};
  const std::string lower = AsciiLower(Trim(utf8));
  for (std::string_view n : kNames)
    if (lower == n) return true;
  return false;
}

namespace {
bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || (extra == 1 && c < 0xC2) || i + extra >= s.size()) return false;
    for (int k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}

// Windows-1252 code points of bytes 0x80..0x9F (0 where undefined).
constexpr std::array<char16_t, 32> kCp1252High{
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
}  // namespace

std::string LegacyNameToUtf8(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  std::string out;
  for (char ch : bytes) {
    const unsigned char c = static_cast<unsigned char>(ch);
    char32_t cp = c;
    if (c >= 0x80 && c <= 0x9F) cp = kCp1252High[c - 0x80] ? kCp1252High[c - 0x80] : U'?';
    AppendUtf8(out, cp);
  }
  return out;
}

std::string Utf8ToLegacyName(std::string_view utf8, size_t maxBytes) {
  std::string out;
  size_t pos = 0;
  while (pos < utf8.size() && out.size() < maxBytes) {
    const char32_t cp = NextCodePoint(utf8, pos);
    out.push_back(cp >= 0x20 && cp < 0x7F ? static_cast<char>(cp) : '?');
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t cp = NextCodePoint(utf8, pos);
    if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

}  // namespace tessaro::psd
