// The format registry behind imaging/codecs/Codecs.h. Each photo format is
// one ImageCodec, defined in the format's own file, and one row of
// imaging/codecs/Formats.inc; the entry points (SniffFormat, ProbeImage,
// ProbeImageFile, DecodeImage, DecodeImageFile, WriteImageFile,
// ImageFormatName) walk the table and know no format by name.
//
// Thread-safety: the table and the codecs are constant.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/Status.h"
#include "imaging/codecs/Codecs.h"
#include "imaging/codecs/CodecsInternal.h"

namespace tessaro::codecs {

// What a sniff test sees of a file.
struct SniffInput {
  std::span<const uint8_t> head;  // the first bytes (up to 32; 16 are enough for a signature)
  // The last 18 bytes when the caller has them and the file holds at least
  // 44 bytes; empty otherwise.
  std::span<const uint8_t> tail;
  bool extensionMatches = false;  // the name's extension is one of the codec's
};

struct ImageCodec {
  const char* name = "";  // "JPEG"; what ImageFormatName answers
  // The extensions files of the format carry, lower case with the dot,
  // separated by spaces, the usual one first. WriteImageFile writes the
  // format under any of them when `encode` is set.
  std::string_view extensions;
  // True when the bytes are this format. Tests that are not a firm signature
  // look at `extensionMatches` or the tail.
  bool (*sniff)(const SniffInput& input) = nullptr;
  // Header facts, reading only what the header needs from the source.
  Result<ImageInfo> (*probe)(ByteSource& source) = nullptr;
  // The first frame / page / merged picture as stored (not yet turned
  // upright; the dispatcher applies the orientation and the resolution).
  Result<DecodedImage> (*decode)(std::span<const uint8_t> bytes, const DecodeOptions& options) = nullptr;
  // The file's bytes for an image; null when the format is only read.
  Result<std::vector<uint8_t>> (*encode)(const Image& image, const WriteImageOptions& options) = nullptr;
  // Writes the file itself, atomically, without building it in memory first;
  // WriteImageFile prefers it to `encode` when set (large layered files).
  Status (*writeFile)(const std::string& path, const Image& image,
                      const WriteImageOptions& options) = nullptr;
  // A reduced picture (an embedded thumbnail) read from the source without
  // the rest of the file, when the options allow one; null when the format
  // has none.
  std::optional<DecodedImage> (*thumbnail)(ByteSource& source, const DecodeOptions& options) = nullptr;
};

struct FormatEntry {
  ImageFormat id;
  const ImageCodec* codec;
};

#define TESSARO_IMAGE_FORMAT(id, codec) extern const ImageCodec codec;
#include "imaging/codecs/Formats.inc"
#undef TESSARO_IMAGE_FORMAT

// True when `head` begins with `magic`.
inline bool HeadStartsWith(std::span<const uint8_t> head, std::initializer_list<uint8_t> magic) {
  return head.size() >= magic.size() && std::equal(magic.begin(), magic.end(), head.begin());
}

// Every row, in sniffing order.
std::span<const FormatEntry> Formats();
// The codec of a format; null for kUnknown.
const ImageCodec* FindCodec(ImageFormat format);
// True when `extension` (lower case, with the dot) is one of the codec's.
bool HasExtension(const ImageCodec& codec, std::string_view extension);

}  // namespace tessaro::codecs
