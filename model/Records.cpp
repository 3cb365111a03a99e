#include "model/Records.h"

#include <algorithm>

namespace tessaro {

const TPlacement* TTempNode::FirstPlacementOf(int slotIndex) const {
  for (const auto& p : Placements)
    if (p->SlotNumber == slotIndex + 1) return p.get();
  return nullptr;
}

bool ReleaseSet(TSetList& setList, int index) {
  if (index < 0 || index >= static_cast<int>(setList.size())) return false;
  setList.erase(setList.begin() + index);
  return true;
}

void ReleaseAllSets(TSetList& setList) {
  // Release in list order, as the window does at shutdown.
  while (!setList.empty()) ReleaseSet(setList, 0);
}

bool ReleaseTemplateAt(TSetNode& set, int index) {
  bool released = false;
  if (index >= 0 && index < static_cast<int>(set.PreviewTemps.size())) {
    set.PreviewTemps.erase(set.PreviewTemps.begin() + index);
    released = true;
  }
  if (index >= 0 && index < static_cast<int>(set.ResultTemps.size())) {
    set.ResultTemps.erase(set.ResultTemps.begin() + index);
    released = true;
  }
  return released;
}

void InsertPlacement(TTempNode& temp, std::unique_ptr<TPlacement> placement) {
  auto it = std::find_if(temp.Placements.begin(), temp.Placements.end(),
                         [&](const auto& p) { return p->SlotNumber > placement->SlotNumber; });
  temp.Placements.insert(it, std::move(placement));
}

int CountPlacedSlots(const TTempNode& temp) {
  int n = 0;
  for (const auto& s : temp.Slots)
    if (s && s->PhotoIndex != -1) ++n;
  return n;
}

namespace {

std::string Where(const char* list, size_t t) { return std::string(list) + " " + std::to_string(t) + ": "; }

std::string CheckTemplateList(const std::vector<std::unique_ptr<TTempNode>>& temps, const char* name) {
  for (size_t t = 0; t < temps.size(); ++t) {
    const TTempNode* temp = temps[t].get();
    if (!temp) return Where(name, t) + "null template";
    for (size_t i = 0; i < temp->Slots.size(); ++i) {
      if (!temp->Slots[i]) return Where(name, t) + "null slot " + std::to_string(i);
      for (const auto& e : temp->Slots[i]->Effects)
        if (!e) return Where(name, t) + "null effect in slot " + std::to_string(i);
    }
    for (size_t i = 0; i < temp->Placements.size(); ++i) {
      if (!temp->Placements[i]) return Where(name, t) + "null placement " + std::to_string(i);
      if (i > 0 && temp->Placements[i - 1] &&
          temp->Placements[i - 1]->SlotNumber > temp->Placements[i]->SlotNumber)
        return Where(name, t) + "placements not sorted by slot number";
    }
  }
  return {};
}

}  // namespace

std::string CheckInvariants(const TSetNode& set) {
  if (set.PreviewTemps.size() != set.ResultTemps.size())
    return "PreviewTemps has " + std::to_string(set.PreviewTemps.size()) + " entries but ResultTemps " +
           std::to_string(set.ResultTemps.size());
  if (std::string e = CheckTemplateList(set.PreviewTemps, "preview template"); !e.empty()) return e;
  if (std::string e = CheckTemplateList(set.ResultTemps, "result template"); !e.empty()) return e;
  const int photoCount = static_cast<int>(set.Photos.size());
  for (int p = 0; p < photoCount; ++p)
    if (!set.Photos[p]) return "photo " + std::to_string(p) + " is null";

  size_t slotsWithPhoto = 0;
  for (size_t t = 0; t < set.PreviewTemps.size(); ++t) {
    const TTempNode& temp = *set.PreviewTemps[t];
    int placed = 0;
    for (size_t i = 0; i < temp.Slots.size(); ++i) {
      const TSlotNode& slot = *temp.Slots[i];
      std::string where = Where("preview template", t) + "slot " + std::to_string(i) + " ";
      if (slot.TempIndex != static_cast<int>(t))
        return where + "has TempIndex " + std::to_string(slot.TempIndex);
      if (slot.PhotoIndex == -1) continue;
      if (slot.PhotoIndex < 0 || slot.PhotoIndex >= photoCount)
        return where + "has PhotoIndex " + std::to_string(slot.PhotoIndex) + " outside " +
               std::to_string(photoCount) + " photos";
      ++placed;
      ++slotsWithPhoto;
      const auto& usedBy = set.Photos[slot.PhotoIndex]->UsedBy;
      if (std::count(usedBy.begin(), usedBy.end(), &slot) != 1)
        return where + "is not listed exactly once in UsedBy of photo " + std::to_string(slot.PhotoIndex);
    }
    if (placed != temp.PlacedCount)
      return Where("preview template", t) + "PlacedCount " + std::to_string(temp.PlacedCount) + " but " +
             std::to_string(placed) + " slots hold a photo";
  }
  // Every UsedBy entry is a slot that points back at its photo; with the
  // check above this makes UsedBy and PhotoIndex describe the same links.
  size_t usedByEntries = 0;
  for (int p = 0; p < photoCount; ++p) {
    for (const TSlotNode* s : set.Photos[p]->UsedBy) {
      if (!s || s->PhotoIndex != p)
        return "UsedBy of photo " + std::to_string(p) + " lists a slot that does not hold it";
      ++usedByEntries;
    }
  }
  if (usedByEntries != slotsWithPhoto) return "UsedBy lists slots that are not in PreviewTemps";
  return {};
}

std::string CheckInvariants(const TSetList& setList, int curSet, int curTemp, int curSlot) {
  for (size_t i = 0; i < setList.size(); ++i) {
    if (!setList[i]) return "set " + std::to_string(i) + " is null";
    if (std::string e = CheckInvariants(*setList[i]); !e.empty())
      return "set " + std::to_string(i) + ": " + e;
  }
  if (curSet < -1 || curSet >= static_cast<int>(setList.size()))
    return "CurSet " + std::to_string(curSet) + " outside " + std::to_string(setList.size()) + " sets";
  if (curSet == -1) {
    if (curTemp != -1) return "CurTemp " + std::to_string(curTemp) + " without a current set";
    if (curSlot != -1) return "CurSlot " + std::to_string(curSlot) + " without a current set";
    return {};
  }
  const TSetNode& set = *setList[curSet];
  if (curTemp < -1 || curTemp >= static_cast<int>(set.PreviewTemps.size()))
    return "CurTemp " + std::to_string(curTemp) + " outside " + std::to_string(set.PreviewTemps.size()) +
           " templates";
  if (curTemp == -1) {
    if (curSlot != -1) return "CurSlot " + std::to_string(curSlot) + " without a current template";
    return {};
  }
  const int slots =
      static_cast<int>(std::min<size_t>(set.PreviewTemps[curTemp]->Slots.size(), kSlotButtonCount));
  if (curSlot < -1 || curSlot >= slots)
    return "CurSlot " + std::to_string(curSlot) + " outside " + std::to_string(slots) + " selectable slots";
  return {};
}

}  // namespace tessaro
