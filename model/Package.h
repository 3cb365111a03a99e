// Template packages: a folder holding two enciphered descriptors (preview
// and result version), the template documents and images, and Sample.jpg.
//
// Descriptor file: one marker byte (not enciphered, skipped by the reader),
// then the body enciphered as a whole with TDES under kTemplateKey; the body
// length is a multiple of 8. The deciphered body, little-endian:
//   int32 header value, int32 spread, int32 slot count S,
//   S x { int32 photo type, int32 effect count E,
//         E x { int32 kind, int32 parameter count P, P x float32 } },
//   placements while at least two bytes remain and the next byte is 0x43:
//     { u8 0x43, int32 slot number, int32 name length L (0..255),
//       L bytes channel name (a zero byte ends it early),
//       float32 left, top, right, bottom },
//   filler up to the end of the body (its first byte is not 0x43).
// Placements are kept sorted by slot number; equal numbers keep file order.
// A template has at most kMaxTemplateSlots slots and kMaxTemplatePlacements
// placements: more than any real page shows (ten slot buttons; a template
// document holds one alpha channel per placement), and a bound on what a
// descriptor, and a set file naming it many times, can make the reader build.
//
// Template images (brivanto_a.jpg, brivanto_b.jpg): the first 480 bytes are
// enciphered with TDES under the same key, the rest is plain; a file shorter
// than 480 bytes is enciphered whole and padded to a multiple of 8.
//
// All functions are thread-safe (no shared state); they allocate no more
// than the input bytes can describe.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/Status.h"
#include "model/Records.h"

namespace tessaro {

inline constexpr const char* kPreviewDescriptorName = "brivanto_a.dll";
inline constexpr const char* kResultDescriptorName = "brivanto_b.dll";
inline constexpr const char* kPreviewTemplateDocument = "brivanto_a.psd";
inline constexpr const char* kResultTemplateDocument = "brivanto_b.psd";
inline constexpr const char* kPreviewTemplateImage = "brivanto_a.jpg";
inline constexpr const char* kResultTemplateImage = "brivanto_b.jpg";
inline constexpr const char* kSampleName = "Sample.jpg";
// The composed preview inside a template's composing folder.
inline constexpr const char* kComposedPreviewName = "preview.jpg";

inline constexpr uint8_t kTemplateKey[16] = {0x7E, 0x19, 0xC4, 0x52, 0xA8, 0x0D, 0x36, 0xF1,
                                             0x5B, 0x92, 0xE7, 0x04, 0xCD, 0x68, 0x3A, 0x9F};
inline constexpr size_t kEncipheredImageHead = 480;
inline constexpr uint8_t kPlacementTag = 0x43;
// The marker byte EncodeDescriptor writes; readers ignore its value.
inline constexpr uint8_t kDescriptorMarker = 0x01;
inline constexpr int32_t kMaxChannelNameBytes = 255;
inline constexpr int32_t kMaxTemplateSlots = 256;
inline constexpr int32_t kMaxTemplatePlacements = 1024;

// Caps of the descriptor reader; tests and benchmarks may raise them.
struct TDescriptorLimits {
  int32_t MaxSlots = kMaxTemplateSlots;
  int32_t MaxPlacements = kMaxTemplatePlacements;
};

// Parses a deciphered body. Every slot gets TempIndex = templateIndex,
// PhotoIndex -1, offsets and scales -1, angle 0, no flips; the template gets
// no size (width, height -1, unit -1) and an empty Folder. A body that ends
// inside a field, a negative count, a count larger than the bytes left could
// hold, a name length outside 0..255, or more slots or placements than the
// limits allow is an error naming what is wrong. Time O(n log n) in the
// number of placements.
Result<std::unique_ptr<TTempNode>> ParseDescriptorBody(std::span<const uint8_t> body, int templateIndex,
                                                       const TDescriptorLimits& limits = {});
// Deciphers the bytes of a descriptor file (marker byte and body) and parses
// the body. A body whose length is not a multiple of 8, or that TDES
// refuses, is an error.
Result<std::unique_ptr<TTempNode>> DecodeDescriptor(std::span<const uint8_t> file, int templateIndex);
// Reads a descriptor file; the template's Folder is the file's folder with
// its trailing separator. The message names the file.
Result<std::unique_ptr<TTempNode>> ReadDescriptorFile(const std::string& path, int templateIndex);
// ReadDescriptor: the same, nothing for any failure.
std::unique_ptr<TTempNode> ReadDescriptor(const std::string& path, int templateIndex);

// The inverse, for the template-authoring tool: the body of a template's
// header value, spread, slots (photo type, effects) and placements, with
// the cipher fill (0x80 then zeros) up to a multiple of 8. Channel names are
// cut to 255 bytes.
std::vector<uint8_t> EncodeDescriptorBody(const TTempNode& temp);
// The whole descriptor file: marker byte and enciphered body.
Result<std::vector<uint8_t>> EncodeDescriptor(const TTempNode& temp);

// Writes `target` as `source` with its enciphered head deciphered (replacing
// target atomically). Fails, writing nothing, when the source cannot be
// read, is shorter than 480 bytes without being a multiple of 8, or TDES
// refuses.
Status DecipherTemplateImage(const std::string& source, const std::string& target);
// The inverse: enciphers the first 480 bytes (a shorter file whole, padded
// with 0x80 then zeros to a multiple of 8).
Status EncipherTemplateImage(const std::string& source, const std::string& target);
// In-memory forms of the two, for callers that hold the bytes.
Status DecipherImageHead(std::vector<uint8_t>& bytes);
Status EncipherImageHead(std::vector<uint8_t>& bytes);

// Name of a template's composing folder inside the working folder:
// LastPathPart(Folder) + "_" + ImportStamp, with any path separator turned
// into "_" so that a stamp read from a file can never leave the folder.
std::string ComposingFolderName(const TTempNode& temp);
// TempDir + ComposingFolderName + "/".
std::string PreviewFolder(const std::string& tempDir, const TTempNode& temp);

}  // namespace tessaro
