#include "model/Sizes.h"

#include <algorithm>

#include "base/Text.h"

namespace tessaro {

namespace {

struct TBuiltInSize {
  const char* Name;
  float Width;
  float Height;
};

// Height x width, then the height in inches; the pages are upright. The runs
// of blanks align the parentheses in the fixed-width menu.
constexpr TBuiltInSize kBuiltInSizes[kBuiltInSizeCount] = {
    {"5×3.5 (5英寸)", 3.5f, 5}, {"6×4   (6英寸)", 4, 6},    {"7×5   (7英寸)", 5, 7},
    {"8×6   (8英寸)", 6, 8},    {"10×8  (10英寸)", 8, 10},  {"12×8  (12英寸)", 8, 12},
    {"12×10 (12英寸)", 10, 12}, {"16×12 (16英寸)", 12, 16}, {"18×12 (18英寸)", 12, 18},
    {"18×14 (18英寸)", 14, 18}, {"20×16 (20英寸)", 16, 20}, {"20×18 (20英寸)", 18, 20},
    {"24×20 (24英寸)", 20, 24}, {"30×24 (30英寸)", 24, 30}, {"32×24 (32英寸)", 24, 32},
    {"36×24 (36英寸)", 24, 36}, {"40×32 (40英寸)", 32, 40}, {"42×32 (42英寸)", 32, 42},
    {"48×32 (48英寸)", 32, 48},
};

}  // namespace

void AddBuiltInSizes(TSizeList& sizeList) {
  for (const TBuiltInSize& s : kBuiltInSizes) AddSize(sizeList, s.Name, kUnitInch, s.Width, s.Height, 0, 0);
}

TSizeNode& AddSize(TSizeList& sizeList, const std::string& name, int32_t unit, float width, float height,
                   int32_t custom, int32_t sizeType) {
  int32_t id = 0;
  for (const auto& s : sizeList) id = std::max(id, s->Id + 1);
  sizeList.push_back(std::make_unique<TSizeNode>(
      TSizeNode{id, CutUtf8(name, kShortTextBytes), width, height, unit, custom, sizeType}));
  return *sizeList.back();
}

TSizeNode* FindSize(const TSizeList& sizeList, int32_t id) {
  if (id < 0) return nullptr;
  for (const auto& s : sizeList)
    if (s->Id == id) return s.get();
  return nullptr;
}

bool DeleteSize(TSizeList& sizeList, int index) {
  if (index < 0 || index >= static_cast<int>(sizeList.size())) return false;
  sizeList.erase(sizeList.begin() + index);
  return true;
}

void CopySize(TSizeNode& target, const TSizeNode& source) { target = source; }

std::vector<TSizeMenuItem> BuildSizeMenu(const TSizeList& sizeList) {
  std::vector<TSizeMenuItem> items;
  for (size_t i = 0; i < sizeList.size(); ++i) {
    const TSizeNode& s = *sizeList[i];
    if (s.Custom == 1 && i > 0 && sizeList[i - 1]->Custom == 0) items.push_back({"-", 0, true});
    items.push_back({Trim(s.Name), s.Id, false});
  }
  items.push_back({"-", 0, true});
  items.push_back({kCustomSizeMenuCaption, kCustomSizeMenuTag, false});
  return items;
}

std::optional<std::pair<int32_t, int32_t>> SlotWindowSize(const TPlacementRect& rect, int32_t spread,
                                                          float width, float height, int32_t unit,
                                                          const TSlotWindowGeometry& geometry) {
  const double refWidth = spread != 0 ? 2.0 * kReferencePageWidth : kReferencePageWidth;
  int64_t pixelWidth = ToPixels(unit, width, geometry.PixelsPerInch);
  if (spread != 0) pixelWidth *= 2;
  const double pixelHeight = ToPixels(unit, height, geometry.PixelsPerInch);
  auto x = [&](float v) { return RoundToInt32(RoundToInt32(v) * double(pixelWidth) / refWidth); };
  auto y = [&](float v) { return RoundToInt32(RoundToInt32(v) * pixelHeight / kReferencePageHeight); };
  const int64_t w = int64_t(x(rect.Right)) - x(rect.Left);
  const int64_t h = int64_t(y(rect.Bottom)) - y(rect.Top);
  if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX) return std::nullopt;
  int32_t bw = geometry.MaskWidth, bh = geometry.MaskHeight;
  FitToBox(static_cast<int32_t>(w), static_cast<int32_t>(h), bw, bh);
  if (bw < 2 || bh < 2) return std::nullopt;
  return std::make_pair(bw, bh);
}

void KeepPhotosForNewSize(TTempNode& temp, const TSizeNode& newSize, const TSlotWindowGeometry& geometry) {
  for (size_t i = 0; i < temp.Slots.size(); ++i) {
    TSlotNode& slot = *temp.Slots[i];
    if (slot.PhotoIndex == -1) continue;
    const TPlacement* placement = temp.FirstPlacementOf(static_cast<int>(i));
    if (!placement) continue;
    auto before =
        SlotWindowSize(placement->Rect, temp.Spread, temp.Width, temp.Height, temp.SizeUnit, geometry);
    auto after = SlotWindowSize(placement->Rect, temp.Spread, newSize.Width, newSize.Height, newSize.SizeUnit,
                                geometry);
    if (!before || !after) continue;
    // Window extents are one less than the window's pixel size.
    const double oldW = before->first - 1, oldH = before->second - 1;
    const double newW = after->first - 1, newH = after->second - 1;
    slot.OffsetX = static_cast<float>(RoundToInt32(oldW * slot.OffsetX) / newW);
    slot.OffsetY = static_cast<float>(RoundToInt32(oldH * slot.OffsetY) / newH);
    if (slot.ScaleX != -1.0f) slot.ScaleX = static_cast<float>(RoundToInt32(oldW * slot.ScaleX) / newW);
    if (slot.ScaleY != -1.0f) slot.ScaleY = static_cast<float>(RoundToInt32(oldH * slot.ScaleY) / newH);
  }
}

}  // namespace tessaro
