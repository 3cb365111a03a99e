// Pieces shared by the layered-document reader and writer, exposed for their
// tests: PackBits run-length coding, the ZIP prediction filter, the action
// descriptors that carry layer effects, and the constants of the format.
// Everything here is pure and thread-safe (no shared state).
//
// The layered document, in file order (all integers big-endian):
//   header        '8BPS', version (1 = PSD, 2 = PSB), 6 reserved bytes,
//                 channels (1..56), height, width, depth (1/8/16/32), colour mode
//   colour data   u32 length + bytes (the palette of indexed documents)
//   resources     u32 length + blocks: '8BIM', u16 id, padded Pascal name,
//                 u32 size, data padded to even
//   layers+masks  length (u32; u64 in PSB) holding: layer info (length, i16
//                 layer count, layer records, channel data of every layer),
//                 global mask info (u32 length + bytes), tagged blocks
//   merged image  u16 compression + the planes of every channel: colour planes,
//                 then the merged transparency (when present), then alpha and
//                 spot channels
// PSB widens the section, block and channel lengths to 8 bytes and the RLE
// row counts to 4.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/ByteReader.h"
#include "base/Status.h"
#include "imaging/BlendMode.h"

namespace tessaro::psd {

inline constexpr int kMaxPsdSide = 30000;
inline constexpr int kMaxPsbSide = 300000;
inline constexpr int kMaxChannels = 56;

enum Compression : uint16_t { kRaw = 0, kRle = 1, kZip = 2, kZipPredicted = 3 };

// Resource ids used here.
enum ResourceId : uint16_t {
  kResResolution = 1005,
  kResAlphaNames = 1006,
  kResDisplayInfoOld = 1007,
  kResIccProfile = 1039,
  kResUnicodeAlphaNames = 1045,
  kResIndexedColorCount = 1046,
  kResTransparencyIndex = 1047,
  kResAlphaIds = 1053,
  kResVersionInfo = 1057,
  kResDisplayInfo = 1077,
};

// ---- PackBits ----------------------------------------------------------

// Decodes one PackBits-coded row from `src` into exactly `dst.size()` bytes.
// Output beyond the coded data stays as it was; coded data beyond the row is
// ignored (some writers pad rows). With `skipZeroRuns` a repeated zero is not
// written, for destinations known to be zero already (fresh planes).
// Returns the number of bytes produced (at most dst.size()).
size_t PackBitsDecodeRow(std::span<const uint8_t> src, std::span<uint8_t> dst, bool skipZeroRuns);

// Appends the PackBits coding of `row` to `out` and returns its length.
size_t PackBitsEncodeRow(std::span<const uint8_t> row, std::vector<uint8_t>& out);
// Largest coding of a row of n bytes.
inline size_t PackBitsBound(size_t n) { return n + (n + 127) / 128; }

// ---- ZIP ---------------------------------------------------------------

// Inflates a zlib stream into exactly `out.size()` bytes; fails when the
// stream is corrupt or yields fewer bytes.
Status Inflate(std::span<const uint8_t> src, std::span<uint8_t> out);
// Undoes the per-row delta filter of ZIP-with-prediction in place. `rowBytes`
// is the stored row length; 16-bit samples are big-endian deltas, 32-bit rows
// are byte deltas over the row whose bytes are then regrouped from four
// planes (all first bytes, all second bytes, ...) into big-endian floats.
void UndoPrediction(std::span<uint8_t> data, size_t rowBytes, int depth);

// ---- Action descriptors ------------------------------------------------

// A parsed action descriptor value. Only what the reader needs is kept:
// numbers, booleans, enumerations, texts, nested objects and lists.
struct DescValue;
struct Descriptor {
  std::string classId;
  std::vector<std::pair<std::string, DescValue>> items;
  const DescValue* Find(std::string_view key) const;
};
struct DescValue {
  enum class Type { kOther, kNumber, kUnitNumber, kInteger, kBool, kEnum, kText, kObject, kList };
  Type type = Type::kOther;
  double number = 0;  // kNumber, kUnitNumber, kInteger
  bool boolean = false;
  std::string unit;  // kUnitNumber: '#Prc', '#Pxl', ...
  std::string text;  // kEnum: the value; kText: UTF-8
  std::string enumType;
  std::shared_ptr<Descriptor> object;  // kObject
  std::vector<DescValue> list;         // kList
};

// Parses a descriptor (starting at its Unicode name). Unknown value types end
// the parse: what was read before is kept and `complete` is cleared. Nesting
// is capped; counts are checked against the bytes left.
Descriptor ParseDescriptor(ByteReader& in, bool* complete = nullptr);

// Builds descriptors for writing.
class DescriptorWriter {
 public:
  explicit DescriptorWriter(ByteWriter& out) : FOut(out) {}
  // Writes the header of a descriptor with `itemCount` items.
  void Begin(std::string_view classId, uint32_t itemCount);
  void Key(std::string_view key);
  void Bool(std::string_view key, bool v);
  void Double(std::string_view key, double v);
  void Unit(std::string_view key, std::string_view unit, double v);
  void Enum(std::string_view key, std::string_view type, std::string_view value);
  // Begins a nested object item; follow with its items.
  void Object(std::string_view key, std::string_view classId, uint32_t itemCount);

 private:
  void Id(std::string_view id);
  ByteWriter& FOut;
};

// The blend-mode enumeration values used inside descriptors ('Nrml', 'Mltp',
// 'linearBurn', ...).
std::string_view BlendModeDescriptorValue(BlendMode mode);
std::optional<BlendMode> BlendModeFromDescriptorValue(std::string_view value);

// ---- Text --------------------------------------------------------------

// The name the image editors give the merged-transparency channel, in the
// languages seen in files ("Transparency", "透明度", ...).
bool IsTransparencyChannelName(std::string_view utf8);
// A legacy (Pascal) name as UTF-8: kept when it is valid UTF-8 (as some
// writers store it), else read as Windows-1252.
std::string LegacyNameToUtf8(std::string_view bytes);
// A UTF-8 name for a legacy field: ASCII kept, every other character written
// as '?', at most `maxBytes` bytes.
std::string Utf8ToLegacyName(std::string_view utf8, size_t maxBytes);
// UTF-8 to UTF-16 code units (surrogate pairs for characters above U+FFFF).
std::u16string Utf8ToUtf16(std::string_view utf8);

}  // namespace tessaro::psd
