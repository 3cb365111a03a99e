// The in-memory model: sets, templates (each held twice per set, a preview
// and a result version), slots, placements, effects, photos and sizes.
//
// Ownership: every list owns its records through std::unique_ptr, so a
// record is freed with the list entry that holds it; a set owns its templates
// and photos, a template its slots and placements, a slot its effects.
// TPhotoInfoNode::UsedBy is the one non-owning list: it points at slots of
// the same set's PreviewTemps and must be kept in step with each slot's
// PhotoIndex (CheckInvariants below says exactly how).
//
// Thread-safety: none. The main thread creates, changes and frees records;
// a composing thread may read them while the main window is modal.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessaro {

// Short texts (size names, import stamps, channel names) hold at most this
// many bytes when written to a file; longer ones are cut on a UTF-8
// character boundary.
inline constexpr size_t kShortTextBytes = 255;
// Reference space of a preview page: 2100 x 3000 units, twice as wide for a
// two-page spread.
inline constexpr int kReferencePageWidth = 2100;
inline constexpr int kReferencePageHeight = 3000;
// Slots reachable from the slot buttons of the main window.
inline constexpr int kSlotButtonCount = 10;

// Measurement units of sizes (TSizeNode::SizeUnit, TTempNode::SizeUnit).
enum TSizeUnitKind : int32_t { kUnitPixel = 0, kUnitInch = 1, kUnitCentimetre = 2, kUnitMillimetre = 3 };

struct TEffectNode {
  int32_t Kind = 0;
  std::vector<float> Params;  // in the order the effect kind defines; may be empty
};

struct TSlotNode {
  int32_t TempIndex = -1;  // index of the owning template in PreviewTemps
  int32_t PhotoType = 0;   // 0 transparent-format photo, 1 opaque-format photo
  std::vector<std::unique_ptr<TEffectNode>> Effects;
  int32_t PhotoIndex = -1;  // index into the set's Photos, -1 = empty
  // Transform of the photo relative to the slot window (see the preview):
  // offsets of the photo centre in window widths / heights, sizes in window
  // widths / heights (-1 = not yet fitted), angle in degrees counter-clockwise.
  float OffsetX = -1.0f;
  float OffsetY = -1.0f;
  float ScaleX = -1.0f;
  float ScaleY = -1.0f;
  float Angle = 0.0f;
  bool FlipH = false;
  bool FlipV = false;

  // The transform a slot gets whenever its photo changes.
  void SetEmptyTransform() {
    OffsetX = OffsetY = 0.0f;
    ScaleX = ScaleY = -1.0f;
    Angle = 0.0f;
    FlipH = FlipV = false;
  }
  bool IsFitted() const { return ScaleX != -1.0f && ScaleY != -1.0f; }
};

struct TPlacementRect {
  float Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// Where the photo of slot SlotNumber - 1 goes in the template image.
struct TPlacement {
  int32_t SlotNumber = 0;   // 1-based
  std::string ChannelName;  // alpha channel that masks the photo
  TPlacementRect Rect;      // in the template's reference space
};

struct TTempNode {
  std::string Folder;       // the package folder, with its trailing separator
  int32_t PlacedCount = 0;  // slots holding a photo (PreviewTemps entries only)
  std::vector<std::unique_ptr<TSlotNode>> Slots;
  std::vector<std::unique_ptr<TPlacement>> Placements;  // sorted by SlotNumber, stable
  float Width = -1.0f;                                  // one page's width in SizeUnit
  float Height = -1.0f;                                 // page height in SizeUnit
  int32_t SizeUnit = -1;                                // TSizeUnitKind, -1 = no size given
  int32_t Spread = 0;                                   // non-zero: a two-page spread
  std::string SizeName;
  int32_t HeaderValue = 0;  // carried into set files, not interpreted
  std::string ImportStamp;  // "yyyy_mm_dd_hh_nn_ss"

  // The first placement of a 0-based slot, or null.
  const TPlacement* FirstPlacementOf(int slotIndex) const;
};

struct TPhotoInfoNode {
  std::string FileName;            // full path, compared exactly (case-sensitive)
  std::vector<TSlotNode*> UsedBy;  // not owned: slots of PreviewTemps holding this photo
};

struct TSetNode {
  std::string FileName;  // the set's .cys file; empty for an unnamed set
  std::vector<std::unique_ptr<TTempNode>> PreviewTemps;
  std::vector<std::unique_ptr<TTempNode>> ResultTemps;  // entry i belongs to PreviewTemps entry i
  std::vector<std::unique_ptr<TPhotoInfoNode>> Photos;
};

struct TSizeNode {
  int32_t Id = 0;
  std::string Name;
  float Width = 0.0f;
  float Height = 0.0f;
  int32_t SizeUnit = kUnitInch;
  int32_t Custom = 0;    // 0 built-in, 1 custom (only custom sizes are saved)
  int32_t SizeType = 0;  // 0 album page, 1 spread (how the custom-size dialog shows it)
  friend bool operator==(const TSizeNode&, const TSizeNode&) = default;
};

using TSetList = std::vector<std::unique_ptr<TSetNode>>;
using TSizeList = std::vector<std::unique_ptr<TSizeNode>>;

// Release operations. Freeing a record frees everything it owns; these
// remove the entry from its list as well, so no list ever holds a freed
// record. Both do nothing for an index outside the list.
bool ReleaseSet(TSetList& setList, int index);
void ReleaseAllSets(TSetList& setList);
// Removes template `index` from both lists of a set (preview and result).
// The caller unlinks the template's photos first.
bool ReleaseTemplateAt(TSetNode& set, int index);

// Inserts a placement before the first one with a greater SlotNumber, so that
// equal slot numbers keep their insertion order.
void InsertPlacement(TTempNode& temp, std::unique_ptr<TPlacement> placement);

// Number of slots of a template that hold a photo.
int CountPlacedSlots(const TTempNode& temp);

// Checks every invariant of one set: both template lists of equal length and
// without holes, TempIndex of every preview slot equal to its template's
// index, PhotoIndex -1 or valid, each slot in its photo's UsedBy exactly once
// and no UsedBy entry elsewhere, PlacedCount equal to the slots with a photo,
// placements sorted by slot number. Returns the first broken invariant as a
// sentence, or an empty string.
std::string CheckInvariants(const TSetNode& set);
// The same for every set of a list, plus the selection: CurSet -1 or valid,
// CurTemp -1 or valid in the current set (-1 without a current set), CurSlot
// -1 or a valid slot among the first ten (-1 without a current template).
std::string CheckInvariants(const TSetList& setList, int curSet, int curTemp, int curSlot);

}  // namespace tessaro
