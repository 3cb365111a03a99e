#include "imaging/codecs/Exif.h"

#include <cmath>

#include "base/ByteReader.h"

namespace tessaro {
namespace {

constexpr uint16_t kTagCompression = 0x0103;
constexpr uint16_t kTagOrientation = 0x0112;
constexpr uint16_t kTagXResolution = 0x011A;
constexpr uint16_t kTagYResolution = 0x011B;
constexpr uint16_t kTagResolutionUnit = 0x0128;
constexpr uint16_t kTagThumbnailOffset = 0x0201;
constexpr uint16_t kTagThumbnailLength = 0x0202;
constexpr uint16_t kTagExifIfd = 0x8769;
constexpr uint16_t kTagColorSpace = 0xA001;

constexpr uint16_t kTypeByte = 1;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;
constexpr uint16_t kTypeRational = 5;

// Reads values at absolute offsets of the block in its byte order.
class TiffView {
 public:
  TiffView(std::span<const uint8_t> block, bool bigEndian) : FBlock(block), FBigEndian(bigEndian) {}

  bool U8(uint64_t offset, uint8_t& v) const {
    ByteReader r(FBlock);
    return offset <= FBlock.size() && r.Skip(offset) && r.U8(v);
  }
  bool U16(uint64_t offset, uint16_t& v) const {
    ByteReader r(FBlock);
    if (offset > FBlock.size() || !r.Skip(offset)) return false;
    return FBigEndian ? r.U16BE(v) : r.U16LE(v);
  }
  bool U32(uint64_t offset, uint32_t& v) const {
    ByteReader r(FBlock);
    if (offset > FBlock.size() || !r.Skip(offset)) return false;
    return FBigEndian ? r.U32BE(v) : r.U32LE(v);
  }
  size_t Size() const { return FBlock.size(); }

 private:
  std::span<const uint8_t> FBlock;
  bool FBigEndian;
};

struct Entry {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  uint64_t valueOffset = 0;  // absolute offset of the value bytes (inline or pointed to)
};

size_t TypeSize(uint16_t type) {
  switch (type) {
    case 1:  // BYTE
    case 2:  // ASCII
    case 6:  // SBYTE
    case 7:  // UNDEFINED
      return 1;
    case 3:  // SHORT
    case 8:  // SSHORT
      return 2;
    case 4:   // LONG
    case 9:   // SLONG
    case 11:  // FLOAT
    case 13:  // IFD
      return 4;
    case 5:   // RATIONAL
    case 10:  // SRATIONAL
    case 12:  // DOUBLE
      return 8;
    default:
      return 0;
  }
}

// Reads the entries of the directory at `offset`; false when the directory
// itself does not fit. Entries whose values fall outside the block are
// dropped. `next` receives the offset of the following directory (0 if none).
bool ReadDirectory(const TiffView& view, uint32_t offset, std::vector<Entry>& entries, uint32_t& next) {
  entries.clear();
  next = 0;
  uint16_t count = 0;
  if (offset < 8 || !view.U16(offset, count)) return false;
  uint64_t first = uint64_t(offset) + 2;
  if (uint64_t(count) * 12 > view.Size() - first) return false;
  entries.reserve(count);
  for (uint16_t i = 0; i < count; ++i) {
    uint64_t at = first + uint64_t(i) * 12;
    Entry e;
    uint32_t valueOrOffset = 0;
    if (!view.U16(at, e.tag) || !view.U16(at + 2, e.type) || !view.U32(at + 4, e.count) ||
        !view.U32(at + 8, valueOrOffset))
      return false;
    size_t unit = TypeSize(e.type);
    if (unit == 0) continue;
    uint64_t bytes = uint64_t(e.count) * unit;
    e.valueOffset = bytes <= 4 ? at + 8 : valueOrOffset;
    if (e.valueOffset > view.Size() || bytes > view.Size() - e.valueOffset) continue;
    entries.push_back(e);
  }
  uint32_t nextOffset = 0;
  if (view.U32(first + uint64_t(count) * 12, nextOffset)) next = nextOffset;
  return true;
}

// The first value of an integer entry (BYTE, SHORT or LONG).
bool IntegerValue(const TiffView& view, const Entry& e, uint32_t& v) {
  if (e.count < 1) return false;
  if (e.type == kTypeShort) {
    uint16_t s = 0;
    if (!view.U16(e.valueOffset, s)) return false;
    v = s;
    return true;
  }
  if (e.type == kTypeLong || e.type == 13) return view.U32(e.valueOffset, v);
  if (e.type == kTypeByte) {
    uint8_t b = 0;
    if (!view.U8(e.valueOffset, b)) return false;
    v = b;
    return true;
  }
  return false;
}

bool RationalValue(const TiffView& view, const Entry& e, double& v) {
  if (e.type != kTypeRational || e.count < 1) return false;
  uint32_t num = 0, den = 0;
  if (!view.U32(e.valueOffset, num) || !view.U32(e.valueOffset + 4, den) || den == 0) return false;
  v = double(num) / double(den);
  return std::isfinite(v) && v > 0;
}

void WriteU16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
  out[at] = uint8_t(v);
  out[at + 1] = uint8_t(v >> 8);
}
void WriteU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
}

}  // namespace

Result<ExifInfo> ParseExif(std::span<const uint8_t> block) {
  if (block.size() < 8) return Status::Error("EXIF block too short");
  bool bigEndian;
  if (block[0] == 'I' && block[1] == 'I')
    bigEndian = false;
  else if (block[0] == 'M' && block[1] == 'M')
    bigEndian = true;
  else
    return Status::Error("EXIF block has no byte-order mark");
  TiffView view(block, bigEndian);
  uint16_t magic = 0;
  uint32_t ifd0 = 0;
  if (!view.U16(2, magic) || magic != 42) return Status::Error("EXIF block is not a TIFF structure");
  view.U32(4, ifd0);

  ExifInfo info;
  std::vector<Entry> entries;
  uint32_t ifd1 = 0;
  if (!ReadDirectory(view, ifd0, entries, ifd1)) return info;  // nothing usable, but not an error

  double xRes = 0, yRes = 0;
  uint32_t unit = 2;  // inches unless stated
  uint32_t exifIfd = 0;
  for (const Entry& e : entries) {
    uint32_t v = 0;
    switch (e.tag) {
      case kTagOrientation:
        if (IntegerValue(view, e, v) && v >= 1 && v <= 8) info.orientation = int(v);
        break;
      case kTagXResolution:
        RationalValue(view, e, xRes);
        break;
      case kTagYResolution:
        RationalValue(view, e, yRes);
        break;
      case kTagResolutionUnit:
        if (IntegerValue(view, e, v)) unit = v;
        break;
      case kTagExifIfd:
        if (IntegerValue(view, e, v)) exifIfd = v;
        break;
      default:
        break;
    }
  }
  if (unit == 2 || unit == 3) {
    double toInch = unit == 3 ? 2.54 : 1.0;
    if (xRes > 0 && xRes < 1e6) info.xPpi = xRes * toInch;
    if (yRes > 0 && yRes < 1e6) info.yPpi = yRes * toInch;
    if (info.xPpi > 0 && info.yPpi == 0) info.yPpi = info.xPpi;
    if (info.yPpi > 0 && info.xPpi == 0) info.xPpi = info.yPpi;
  }

  std::vector<Entry> sub;
  uint32_t ignored = 0;
  if (exifIfd && exifIfd != ifd0 && ReadDirectory(view, exifIfd, sub, ignored)) {
    for (const Entry& e : sub) {
      uint32_t v = 0;
      if (e.tag == kTagColorSpace && IntegerValue(view, e, v)) info.colorSpace = int(v);
    }
  }

  if (ifd1 && ifd1 != ifd0 && ifd1 != exifIfd && ReadDirectory(view, ifd1, sub, ignored)) {
    uint32_t offset = 0, length = 0, compression = 6;
    for (const Entry& e : sub) {
      uint32_t v = 0;
      if (!IntegerValue(view, e, v)) continue;
      if (e.tag == kTagThumbnailOffset) offset = v;
      if (e.tag == kTagThumbnailLength) length = v;
      if (e.tag == kTagCompression) compression = v;
    }
    bool isJpeg = compression == 6 || compression == 7;
    if (isJpeg && offset >= 8 && length > 0 && offset <= block.size() && length <= block.size() - offset) {
      info.thumbnailOffset = offset;
      info.thumbnailLength = length;
    }
  }
  return info;
}

std::vector<uint8_t> WriteExif(const ExifWriteOptions& options) {
  struct Field {
    uint16_t tag, type;
    uint32_t count, value;  // value: inline value, or for rationals the numerator (denominator 1000)
  };
  std::vector<Field> ifd0;
  bool withOrientation = options.orientation >= 1 && options.orientation <= 8;
  if (withOrientation) ifd0.push_back({kTagOrientation, kTypeShort, 1, uint32_t(options.orientation)});
  bool withResolution = options.ppi > 0 && options.ppi < 1e6;
  uint32_t resNumerator = withResolution ? uint32_t(std::lround(options.ppi * 1000)) : 0;
  if (withResolution) {
    ifd0.push_back({kTagXResolution, kTypeRational, 1, resNumerator});
    ifd0.push_back({kTagYResolution, kTypeRational, 1, resNumerator});
    ifd0.push_back({kTagResolutionUnit, kTypeShort, 1, 2});
  }
  bool withExifIfd = options.colorSpace != 0;
  if (withExifIfd) ifd0.push_back({kTagExifIfd, kTypeLong, 1, 0});  // offset patched below
  bool withThumbnail = !options.thumbnailJpeg.empty();

  // Layout: header (8), IFD0, rationals, EXIF IFD, IFD1, thumbnail.
  std::vector<uint8_t> out(8);
  out[0] = 'I';
  out[1] = 'I';
  WriteU16(out, 2, 42);
  WriteU32(out, 4, 8);
  size_t ifd0At = 8;
  size_t ifd0Size = 2 + ifd0.size() * 12 + 4;
  size_t rationalsAt = ifd0At + ifd0Size;
  size_t rationalsSize = withResolution ? 16 : 0;
  size_t exifAt = rationalsAt + rationalsSize;
  size_t exifSize = withExifIfd ? 2 + 12 + 4 : 0;
  size_t ifd1At = exifAt + exifSize;
  size_t ifd1Size = withThumbnail ? 2 + 3 * 12 + 4 : 0;
  size_t thumbAt = ifd1At + ifd1Size;
  out.resize(thumbAt + options.thumbnailJpeg.size());

  WriteU16(out, ifd0At, uint16_t(ifd0.size()));
  for (size_t i = 0; i < ifd0.size(); ++i) {
    size_t at = ifd0At + 2 + i * 12;
    Field f = ifd0[i];
    if (f.type == kTypeRational) f.value = uint32_t(rationalsAt + (f.tag == kTagYResolution ? 8 : 0));
    if (f.tag == kTagExifIfd) f.value = uint32_t(exifAt);
    WriteU16(out, at, f.tag);
    WriteU16(out, at + 2, f.type);
    WriteU32(out, at + 4, f.count);
    WriteU32(out, at + 8, f.value);
  }
  WriteU32(out, ifd0At + 2 + ifd0.size() * 12, withThumbnail ? uint32_t(ifd1At) : 0);
  if (withResolution) {
    for (int i = 0; i < 2; ++i) {
      WriteU32(out, rationalsAt + i * 8, resNumerator);
      WriteU32(out, rationalsAt + i * 8 + 4, 1000);
    }
  }
  if (withExifIfd) {
    WriteU16(out, exifAt, 1);
    WriteU16(out, exifAt + 2, kTagColorSpace);
    WriteU16(out, exifAt + 4, kTypeShort);
    WriteU32(out, exifAt + 6, 1);
    WriteU32(out, exifAt + 10, uint32_t(uint16_t(options.colorSpace)));
    WriteU32(out, exifAt + 14, 0);
  }
  if (withThumbnail) {
    const Field fields[3] = {{kTagCompression, kTypeShort, 1, 6},
                             {kTagThumbnailOffset, kTypeLong, 1, uint32_t(thumbAt)},
                             {kTagThumbnailLength, kTypeLong, 1, uint32_t(options.thumbnailJpeg.size())}};
    WriteU16(out, ifd1At, 3);
    for (int i = 0; i < 3; ++i) {
      size_t at = ifd1At + 2 + i * 12;
      WriteU16(out, at, fields[i].tag);
      WriteU16(out, at + 2, fields[i].type);
      WriteU32(out, at + 4, fields[i].count);
      WriteU32(out, at + 8, fields[i].value);
    }
    WriteU32(out, ifd1At + 2 + 3 * 12, 0);
    std::copy(options.thumbnailJpeg.begin(), options.thumbnailJpeg.end(), out.begin() + thumbAt);
  }
  return out;
}

}  // namespace tessaro
