// The size catalogue: 19 built-in album sizes followed by the custom sizes,
// the size menu built from it, and the arithmetic that keeps photos in place
// when a template gets another size. Not thread-safe (main thread only).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/Records.h"
#include "model/func.h"

namespace tessaro {

inline constexpr int kBuiltInSizeCount = 19;
// Tag of the last menu item, which opens the custom-size dialog.
inline constexpr int kCustomSizeMenuTag = -1;
inline constexpr const char* kCustomSizeMenuCaption = "自定义尺寸";

// Appends the built-in sizes (inch, not custom, album page) in catalogue order.
void AddBuiltInSizes(TSizeList& sizeList);

// Appends a size and returns it (owned by the list). Its Id is one more than
// the largest Id in the list (0 for an empty list), so ids stay distinct
// after deletions; for a list that never lost an entry this equals the
// catalogue length. The name is cut to 255 bytes.
TSizeNode& AddSize(TSizeList& sizeList, const std::string& name, int32_t unit, float width, float height,
                   int32_t custom, int32_t sizeType);
// The first entry with this Id, or null (also for a negative id).
TSizeNode* FindSize(const TSizeList& sizeList, int32_t id);
// Frees the entry at a list position; false for a position outside the list.
bool DeleteSize(TSizeList& sizeList, int index);
// Copies every field, Id included.
void CopySize(TSizeNode& target, const TSizeNode& source);

// One item of the size menu, as the window renders it.
struct TSizeMenuItem {
  std::string Caption;  // "-" for a separator
  int32_t Tag = 0;      // the size's Id, kCustomSizeMenuTag for the last item
  bool Separator = false;
  friend bool operator==(const TSizeMenuItem&, const TSizeMenuItem&) = default;
};
// Every size (name trimmed, tag = Id), a separator before the first custom
// size that follows a built-in one, then a separator and "自定义尺寸".
std::vector<TSizeMenuItem> BuildSizeMenu(const TSizeList& sizeList);

// What the preview shows slot windows in: the size of its mask bitmap and the
// screen's pixels per inch.
struct TSlotWindowGeometry {
  int32_t MaskWidth = 646;
  int32_t MaskHeight = 430;
  double PixelsPerInch = kDefaultPixelsPerInch;
};

// Size (W, H) in preview pixels of the window of a slot whose reference-space
// rectangle is `rect`, on a template of page size width x height in `unit`
// (a spread doubles the width and uses the 4200-unit reference width).
// Nothing when the window would be smaller than 2 x 2 pixels (a template
// without a usable size).
std::optional<std::pair<int32_t, int32_t>> SlotWindowSize(const TPlacementRect& rect, int32_t spread,
                                                          float width, float height, int32_t unit,
                                                          const TSlotWindowGeometry& geometry);

// Gives every slot of `temp` that holds a photo the offsets and scales that
// keep the photo's on-screen size and offset in pixels when the template
// changes from its own size to `newSize`. Slots without a placement record,
// and slots whose window is unusable under either size, keep their numbers;
// a scale of -1 (not yet fitted) stays -1. The template's size fields are not
// changed here.
void KeepPhotosForNewSize(TTempNode& temp, const TSizeNode& newSize, const TSlotWindowGeometry& geometry);

}  // namespace tessaro
