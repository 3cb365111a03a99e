// The format registry behind imaging/codecs/Codecs.h. Each photo format is
// one file of steps in imaging/codecs/ and one row of imaging/codecs/Formats.inc
// that names them (an ImageCodec); the entry points (SniffFormat, ProbeImage,
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
  ImageCodec codec;
};

// Every row's sniff, probe and decode steps, declared from the rows
// themselves; the optional steps are declared below.
#define TESSARO_IMAGE_FORMAT(id, name, extensions, sniff, probe, decode, ...) \
  bool sniff(const SniffInput& input);                                        \
  Result<ImageInfo> probe(ByteSource& source);                                \
  Result<DecodedImage> decode(std::span<const uint8_t> bytes, const DecodeOptions& options);
#include "imaging/codecs/Formats.inc"
#undef TESSARO_IMAGE_FORMAT

// The encoders and writers the rows name (the JPEG thumbnail reader is in
// CodecsInternal.h).
Result<std::vector<uint8_t>> EncodeJpegFile(const Image& image, const WriteImageOptions& options);
Result<std::vector<uint8_t>> EncodePngFile(const Image& image, const WriteImageOptions& options);
// A layered document is written as a document of one layer (named by the
// options, "Layer 1" by default) and its merged image.
Result<std::vector<uint8_t>> EncodePsdOneLayer(const Image& image, const WriteImageOptions& options);
Status WritePsdOneLayer(const std::string& path, const Image& image, const WriteImageOptions& options);

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
