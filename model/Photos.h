// Photo bookkeeping of a set: photo types, lookup, linking photos to slots,
// removing photos, and the count columns of the lists that mirror the set
// (template list column 2 "placed/total", photo and statistics list column 2
// the usage count). Main thread only.
#pragma once

#include <string>
#include <string_view>

#include "model/Records.h"
#include "model/Views.h"

namespace tessaro {

// Extension lists of the two picture types; an extension (with its dot) is
// of a type when it occurs, case-sensitively, inside the list.
inline constexpr const char* kTransparentExtensions = "*.psd;*.pdd;*.png;*.tga;";
inline constexpr const char* kOpaqueExtensions = "*.jpg;*.jpeg;*.bmp;*.gif;*.jpe;*.tif;*.tiff;";
// Entries of the photo file dialog's filter, in order (filter index 1..3).
inline constexpr const char* kPictureFilterNames[3] = {
    "所有图片格式", "透明图片格式 (*.PSD;*.PDD;*.PNG;*.TGA)",
    "不透明图片格式 (*.JPG;*.JPEG;*.BMP;*.GIF;*.JPE;*.TIF;*.TIFF)"};

inline constexpr int kPhotoTypeTransparent = 0;
inline constexpr int kPhotoTypeOpaque = 1;
inline constexpr int kPhotoTypeOther = 2;

// 1 when the extension occurs in the opaque list, else 0 when it occurs in
// the transparent list, else 2 (also for an empty extension). Case-sensitive:
// ".JPG" is 2.
int ClassifyPhotoFile(std::string_view extension);

// Index of the photo whose FileName equals `path` exactly, or -1 (also for a
// null set).
int FindPhoto(const TSetNode* set, const std::string& path);

// The rows that mirror a set: template list, photo list, statistics list.
// Null members are skipped.
struct TPhotoRows {
  TRowList* Temps = nullptr;
  TRowList* Photos = nullptr;
  TRowList* Stats = nullptr;
};

// "placed/total", e.g. "2/4".
std::string PlacedCaption(const TTempNode& temp);

// Links photo `photoIndex` to `slot` (a slot of set->PreviewTemps): a photo
// the slot held before loses it, the new photo gains it, column 2 of both
// photo rows is rewritten, and the template's PlacedCount (and its row) grows
// only when the slot was empty. Nothing for a null slot or set or an index
// outside Photos.
void AssignPhotoToSlot(TSetNode* set, TSlotNode* slot, int photoIndex, const TPhotoRows& rows);
// Removes the slot from its photo's UsedBy, rewrites that photo's rows and
// empties the slot. PlacedCount is left as it is (the caller frees the
// template or fixes the count).
void UnlinkSlotPhoto(TSetNode& set, TSlotNode& slot, const TPhotoRows& rows);
// Removes photo `row` from the set: its slots become empty with the empty
// transform (their templates' counts and rows drop), the record is freed,
// and every later index shifts down. Rows are not deleted here.
void RemovePhoto(TSetNode& set, int row, const TPhotoRows& rows);

// Rewrites column 2 of every template row as PlacedCount/slot count.
void RefreshPlacedCounts(const TSetNode& set, TRowList& temps);
// Rewrites column 2 of every photo row of both lists as its usage count.
void RefreshUsageCounts(const TSetNode& set, TRowList& photos, TRowList& stats);

}  // namespace tessaro
