#include "model/Photos.h"

#include <algorithm>

namespace tessaro {

int ClassifyPhotoFile(std::string_view extension) {
  if (extension.empty()) return kPhotoTypeOther;
  if (std::string_view(kOpaqueExtensions).find(extension) != std::string_view::npos) return kPhotoTypeOpaque;
  if (std::string_view(kTransparentExtensions).find(extension) != std::string_view::npos)
    return kPhotoTypeTransparent;
  return kPhotoTypeOther;
}

int FindPhoto(const TSetNode* set, const std::string& path) {
  if (!set) return -1;
  for (size_t i = 0; i < set->Photos.size(); ++i)
    if (set->Photos[i]->FileName == path) return static_cast<int>(i);
  return -1;
}

std::string PlacedCaption(const TTempNode& temp) {
  return std::to_string(temp.PlacedCount) + "/" + std::to_string(temp.Slots.size());
}

namespace {

void WriteUsage(const TSetNode& set, int photo, const TPhotoRows& rows) {
  const std::string count = std::to_string(set.Photos[photo]->UsedBy.size());
  if (rows.Photos) rows.Photos->SetCellText(photo, 2, count);
  if (rows.Stats) rows.Stats->SetCellText(photo, 2, count);
}

void DropFromUsedBy(TPhotoInfoNode& photo, const TSlotNode* slot) {
  auto it = std::find(photo.UsedBy.begin(), photo.UsedBy.end(), slot);
  if (it != photo.UsedBy.end()) photo.UsedBy.erase(it);
}

TTempNode* TemplateOf(TSetNode& set, const TSlotNode& slot) {
  if (slot.TempIndex < 0 || slot.TempIndex >= static_cast<int>(set.PreviewTemps.size())) return nullptr;
  return set.PreviewTemps[slot.TempIndex].get();
}

bool ValidPhoto(const TSetNode& set, int index) {
  return index >= 0 && index < static_cast<int>(set.Photos.size());
}

}  // namespace

void AssignPhotoToSlot(TSetNode* set, TSlotNode* slot, int photoIndex, const TPhotoRows& rows) {
  if (!set || !slot || !ValidPhoto(*set, photoIndex)) return;
  bool wasFilled = false;
  if (slot->PhotoIndex != -1) {
    const int old = slot->PhotoIndex;
    if (ValidPhoto(*set, old)) {
      DropFromUsedBy(*set->Photos[old], slot);
      WriteUsage(*set, old, rows);
    }
    slot->PhotoIndex = -1;
    wasFilled = true;
  }
  set->Photos[photoIndex]->UsedBy.push_back(slot);
  slot->PhotoIndex = photoIndex;
  WriteUsage(*set, photoIndex, rows);
  if (!wasFilled) {
    if (TTempNode* temp = TemplateOf(*set, *slot)) {
      ++temp->PlacedCount;
      if (rows.Temps) rows.Temps->SetCellText(slot->TempIndex, 2, PlacedCaption(*temp));
    }
  }
}

void UnlinkSlotPhoto(TSetNode& set, TSlotNode& slot, const TPhotoRows& rows) {
  if (slot.PhotoIndex == -1) return;
  if (ValidPhoto(set, slot.PhotoIndex)) {
    DropFromUsedBy(*set.Photos[slot.PhotoIndex], &slot);
    WriteUsage(set, slot.PhotoIndex, rows);
  }
  slot.PhotoIndex = -1;
}

void RemovePhoto(TSetNode& set, int row, const TPhotoRows& rows) {
  if (!ValidPhoto(set, row)) return;
  for (TSlotNode* slot : set.Photos[row]->UsedBy) {
    if (slot->TempIndex != -1) {
      if (TTempNode* temp = TemplateOf(set, *slot)) {
        --temp->PlacedCount;
        if (rows.Temps) rows.Temps->SetCellText(slot->TempIndex, 2, PlacedCaption(*temp));
      }
    }
    slot->PhotoIndex = -1;
    slot->SetEmptyTransform();
  }
  set.Photos.erase(set.Photos.begin() + row);
  for (const auto& temp : set.PreviewTemps)
    for (const auto& slot : temp->Slots)
      if (slot->PhotoIndex > row) --slot->PhotoIndex;
}

void RefreshPlacedCounts(const TSetNode& set, TRowList& temps) {
  for (size_t i = 0; i < set.PreviewTemps.size(); ++i)
    temps.SetCellText(static_cast<int>(i), 2, PlacedCaption(*set.PreviewTemps[i]));
}

void RefreshUsageCounts(const TSetNode& set, TRowList& photos, TRowList& stats) {
  for (size_t i = 0; i < set.Photos.size(); ++i) {
    const std::string count = std::to_string(set.Photos[i]->UsedBy.size());
    photos.SetCellText(static_cast<int>(i), 2, count);
    stats.SetCellText(static_cast<int>(i), 2, count);
  }
}

}  // namespace tessaro
