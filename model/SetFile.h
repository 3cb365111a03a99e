// Set files (.cys): one customer's set stored by reference, no image data.
// Little-endian, not enciphered; a counted text is an int32 byte count then
// that many UTF-8 bytes (read up to the first zero byte):
//   int32 count, count x template record   (PreviewTemps in order)
//   int32 count, count x template record   (ResultTemps in order)
//   int32 count, count x counted text      (Photos' FileName in order)
// Template record:
//   counted text Folder (with trailing separator), float32 Width,
//   float32 Height, int32 SizeUnit, int32 Spread, counted text SizeName
//   (0..255 bytes), int32 HeaderValue, counted text ImportStamp (0..255),
//   int32 slot count S, S x slot record
// Slot record (26 bytes): int32 PhotoIndex, float32 OffsetX, OffsetY,
//   ScaleX, ScaleY, Angle, u8 FlipH, u8 FlipV.
// Slot photo types, effects, TempIndex, the template's slot count and its
// placements are not stored: they come from the package descriptors.
//
// Reading is split in two: ParseSetFile turns bytes into records without
// touching the file system (every count is checked against the bytes left
// before anything is allocated), and BuildSet looks the packages and photos
// up through a TSetFileSource. Thread-safe: no shared state.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/Status.h"
#include "model/Records.h"

namespace tessaro {

// Paths (package folders, photo files) may be as long as the system allows;
// short texts hold at most kShortTextBytes.
inline constexpr size_t kMaxSetPathBytes = 4096;
inline constexpr size_t kSlotRecordBytes = 26;
// The most memory a set may make the loader build for its templates (slots,
// effects, parameters and placements of every kept template, both versions,
// as estimated by the loader). A real set needs a few megabytes; a file
// naming one large package many times could otherwise ask for gigabytes.
inline constexpr uint64_t kMaxSetTemplateBytes = uint64_t(64) << 20;

struct TSlotRecord {
  int32_t PhotoIndex = -1;
  float OffsetX = 0, OffsetY = 0, ScaleX = -1, ScaleY = -1, Angle = 0;
  bool FlipH = false, FlipV = false;
};

struct TTemplateRecord {
  std::string Folder;
  float Width = -1, Height = -1;
  int32_t SizeUnit = -1;
  int32_t Spread = 0;
  std::string SizeName;
  int32_t HeaderValue = 0;
  std::string ImportStamp;
  std::vector<TSlotRecord> Slots;
};

struct TSetFileData {
  std::vector<TTemplateRecord> PreviewTemps;
  std::vector<TTemplateRecord> ResultTemps;
  std::vector<std::string> Photos;
};

// Parses set-file bytes. Errors name what is wrong: a file that ends inside a
// field, a negative count, a count the bytes left cannot hold, or a text
// longer than its limit. Bytes after the photo list are ignored.
Result<TSetFileData> ParseSetFile(std::span<const uint8_t> bytes);
// The bytes of a set: both template lists and the photos. Short texts are
// cut to 255 bytes on a character boundary. Fails for a path longer than
// kMaxSetPathBytes, which no reader would take back.
Result<std::vector<uint8_t>> EncodeSetFile(const TSetNode& set);

// Where the references of a set file are looked up.
class TSetFileSource {
 public:
  virtual ~TSetFileSource() = default;
  virtual bool FileExists(const std::string& path) const = 0;
  // A descriptor read as ReadDescriptor does; null when it cannot be read.
  virtual std::unique_ptr<TTempNode> ReadDescriptor(const std::string& path, int templateIndex) const = 0;
  // The same with the reason of a failure ("PATH: what is wrong"). By
  // default the reason only says that the file cannot be read.
  virtual Result<std::unique_ptr<TTempNode>> ReadDescriptorFile(const std::string& path,
                                                                int templateIndex) const;
};

// The packages and photos on disk.
class TDiskSetFileSource : public TSetFileSource {
 public:
  bool FileExists(const std::string& path) const override;
  std::unique_ptr<TTempNode> ReadDescriptor(const std::string& path, int templateIndex) const override;
  Result<std::unique_ptr<TTempNode>> ReadDescriptorFile(const std::string& path,
                                                        int templateIndex) const override;
};

// What BuildSet left out, for callers that report it (the inspect tool).
// Entry i of each reason list says why entry i of the list before it was
// dropped, in one line.
struct TSetLoadReport {
  std::vector<std::string> DroppedTemplates;  // package folders
  std::vector<std::string> DroppedTemplateReasons;
  std::vector<std::string> DroppedPhotos;  // photo paths
  std::vector<std::string> DroppedPhotoReasons;
  bool WorkCapReached = false;  // templates were dropped for kMaxSetTemplateBytes
};

// Builds the set a file describes, with FileName = fileName:
// - record i of both template lists is kept only when its package (decided by
//   Folder + brivanto_a.dll) exists, both descriptors can be read and both
//   records name the same folder; otherwise it is dropped from both lists;
// - the stored fields overwrite the descriptor's; stored slot records beyond
//   the descriptor's slots are skipped; a stored photo index outside the
//   stored photo list counts as -1; non-finite numbers count as unset;
// - a photo is kept when its file exists, its extension is a picture type
//   (0 or 1) and the path is not yet in the set; slots of a dropped photo
//   become empty and later indices shift down;
// - PlacedCount and UsedBy are rebuilt, so the result meets CheckInvariants;
// - each package's descriptors are read once however often the file names
//   it; once the kept templates would need more than `maxTemplateBytes`, the
//   remaining
//   templates are dropped (WorkCapReached).
std::unique_ptr<TSetNode> BuildSet(const TSetFileData& data, const std::string& fileName,
                                   const TSetFileSource& source, TSetLoadReport* report = nullptr,
                                   uint64_t maxTemplateBytes = kMaxSetTemplateBytes);

// Reads and builds a set file. Missing or malformed files, and files that ask
// for more than kMaxSetTemplateBytes, are errors naming the file.
Result<std::unique_ptr<TSetNode>> ReadSetFile(const std::string& path, const TSetFileSource& source,
                                              TSetLoadReport* report = nullptr);

}  // namespace tessaro
