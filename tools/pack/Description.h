// The authoring description of a template package (docs/authoring.md): the
// JSON a designer writes, parsed into plain values and checked as a whole.
//
// The checker reports every mistake it finds, not just the first, each with
// its location in the JSON ("slots[2].effects[0]", "preview.placements[3]
// .rect"); a description with any mistake is not built. Paths of pictures are
// resolved against the folder of the description file. A result version
// written as { "from": "preview", ... } is derived here from the preview, so
// that the builder sees two complete versions.
//
// Coordinates: each version has its own pixels, (0, 0) the top left corner
// of its page; rectangles are [left, top, right, bottom) with right and bottom
// exclusive, so a window [0, 0, 2100, 3000] is the whole reference page.
//
// Thread-safety: pure functions (the checker reads the file system to see
// that pictures exist).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/BlendMode.h"
#include "imaging/Image.h"
#include "imaging/ops/Geometry.h"

namespace tessaro::authoring {

// A picture named by the description: a raster file or an SVG drawing.
struct TPictureRef {
  std::string Written;  // as written in the description (for messages)
  std::string Path;     // resolved against the description's folder
  bool IsSvg() const;
  bool Empty() const { return Path.empty(); }
};

struct TBackgroundDesc {
  bool IsColor = true;
  Rgba8 Color{255, 255, 255, 255};
  TPictureRef Picture;  // when !IsColor: scaled to cover the page, centred
};

struct TOverlayDesc {
  TPictureRef Picture;   // stretched to Rect
  RectF Rect;            // version pixels; the whole page by default
  double Opacity = 100;  // percent
  BlendMode Blend = BlendMode::kNormal;
};

enum class TShapeKind { kRectangle, kEllipse, kRounded, kMask };

struct TPlacementDesc {
  int Slot = 0;  // 1-based
  std::string Channel;
  RectF Rect;
  TShapeKind Shape = TShapeKind::kRectangle;
  double Radius = 0;   // kRounded: corner radius in version pixels
  TPictureRef Mask;    // kMask: grey picture stretched to Rect, white shows the photo
  double Feather = 0;  // width of the soft edge in version pixels, centred on the edge
};

struct TVersionDesc {
  int Width = 0;
  int Height = 0;
  double Resolution = 72;  // pixels per inch
  TBackgroundDesc Background;
  std::vector<TOverlayDesc> Overlays;      // bottom first
  std::vector<TPlacementDesc> Placements;  // as written
};

struct TEffectDesc {
  int32_t Kind = 0;
  std::vector<float> Params;
};

struct TSlotDesc {
  int32_t PhotoType = 1;  // 0 transparent formats, 1 opaque formats
  std::vector<TEffectDesc> Effects;
};

struct TTemplateDesc {
  bool Spread = false;
  int32_t Header = 1;
  std::vector<TSlotDesc> Slots;
  TVersionDesc Preview;
  TVersionDesc Result;
};

// One mistake: where it is (a JSON path, or "" for the file as a whole) and
// what is wrong.
struct TDescriptionError {
  std::string Location;
  std::string Message;
  friend bool operator==(const TDescriptionError&, const TDescriptionError&) = default;
};

// "file: location: message" (without the location when it is empty).
std::string FormatError(const std::string& fileLabel, const TDescriptionError& error);

struct TCheckedDescription {
  TTemplateDesc Template;
  std::vector<TDescriptionError> Errors;  // in the order of the description
  bool ok() const { return Errors.empty(); }
};

// Parses and checks a description. `baseFolder` resolves picture paths;
// `checkFiles` false skips the file-system checks (pictures exist and are
// pictures), for callers that check descriptions of files still to be made.
TCheckedDescription ParseDescription(const std::string& jsonText, const std::string& baseFolder,
                                     bool checkFiles = true);
// Reads the file and parses it; a file that cannot be read is one error.
TCheckedDescription ReadDescription(const std::string& path);

// Parameter counts of the effect kinds; -1 for an unknown kind.
int EffectParamCount(int32_t kind);

// The reference page of the preview version.
inline int ReferenceWidth(bool spread) { return spread ? 4200 : 2100; }
inline constexpr int kReferenceHeight = 3000;
// Largest page side the tool builds (the documents stay ordinary PSD files).
inline constexpr int kMaxPageSide = 30000;

}  // namespace tessaro::authoring
