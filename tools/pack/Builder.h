// Builds a template package from a checked description (Description.h):
//   brivanto_a.dll, brivanto_b.dll  the descriptors (TTempNode records encoded
//                                   and enciphered by model/Package.h),
//   brivanto_a.psd, brivanto_b.psd  the template documents: a "Background"
//                                   layer, every overlay as a layer named
//                                   "brivanto" (opacity, blend mode), one
//                                   alpha channel per placement, the page
//                                   flattened as the merged image,
//   brivanto_a.jpg, brivanto_b.jpg  the background pictures as JPEG with the
//                                   first 480 bytes enciphered,
//   Sample.jpg                      the preview version with placeholder
//                                   pictures in its slots (600 pixels on the
//                                   long side), the template list's thumbnail.
// The preview version's rectangles are stored in reference-page pixels, the
// result version's in result-document pixels (each version's own pixels).
//
// The package is written into a fresh folder beside the target (every file
// flushed to disk) and renamed into place, so an interrupted build never
// leaves half a package; an existing package at the target is exchanged with
// the new one in one step (renameat2 RENAME_EXCHANGE; where the file system
// lacks it, set aside and put back by the next build if killed between), so
// the target always holds a whole package. Each build first removes what
// killed builds of the same target left beside it.
//
// Thread-safety: one build per call; the pixel work uses the process-wide
// pool and SVG rendering runs rsvg-convert processes side by side.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/Records.h"
#include "tools/pack/Description.h"

namespace tessaro::authoring {

struct TBuildOptions {
  std::string CacheDir;  // renderings of SVG drawings; empty: none kept
  int Threads = 0;       // rsvg-convert processes at once; 0: one per core
  std::string Name;      // the template's name (seeds its placeholder pictures)
};

inline constexpr int kSampleLongSide = 600;
inline constexpr int kBackgroundJpegQuality = 95;
inline constexpr int kSampleJpegQuality = 90;

// The descriptor records of one version (slots from the template, placements
// of that version, sorted by slot number as the reader keeps them).
std::unique_ptr<TTempNode> DescriptorOf(const TTemplateDesc& desc, const TVersionDesc& version);

// Builds the package and writes it to `outFolder`. Returns the mistakes met
// while making pictures (a drawing rsvg-convert refuses, a picture that
// cannot be decoded), each with its location, or one error without location
// for a failure to write; empty on success. Nothing is written on failure.
std::vector<TDescriptionError> BuildPackage(const TTemplateDesc& desc, const std::string& outFolder,
                                            const TBuildOptions& options);

}  // namespace tessaro::authoring
