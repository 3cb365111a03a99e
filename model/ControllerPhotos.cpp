// The main window's controller: slots and photos.
#include <algorithm>

#include "base/FileIo.h"
#include "base/Text.h"
#include "model/Controller.h"
#include "model/ControllerHelpers.h"
#include "model/Package.h"
#include "model/func.h"

namespace tessaro {

namespace {

// Photo dialog filter entry for a slot's photo type: 2 transparent, 3 opaque.
int FilterIndexFor(int32_t photoType) {
  return photoType == kPhotoTypeTransparent || photoType == kPhotoTypeOpaque ? photoType + 2 : 1;
}

int SelectableSlots(const TTempNode& temp) {
  return static_cast<int>(std::min<size_t>(temp.Slots.size(), kSlotButtonCount));
}

}  // namespace

// ---------------------------------------------------------------------------
// Slots

void TMainController::SelectSlot(int slot) {
  TTempNode* temp = CurrentTemplate();
  if (!temp || slot < 0 || slot >= SelectableSlots(*temp)) return;
  FLeftPage = TLeftPage::Photo;
  FViews.Window.ShowLeftPage(TLeftPage::Photo);
  CurSlot = slot;
  const TSlotNode& s = *temp->Slots[slot];
  TSetNode& set = *CurrentSet();
  const bool holds = s.PhotoIndex >= 0 && s.PhotoIndex < static_cast<int>(set.Photos.size());
  FViews.Preview.SelectSlot(*temp, slot, holds ? set.Photos[s.PhotoIndex]->FileName : std::string());
  FViews.Preview.SetSlotButtonHoldsPhoto(slot, holds);
}

void TMainController::SlotButtonDblClick(int slot) {
  if (CurSlot == -1 || slot != CurSlot) return;
  const TSlotNode* s = CurrentSlot();
  if (!s) return;
  const int filterIndex = FilterIndexFor(s->PhotoType);
  ButtonPhotoClick();
  const std::vector<std::string> files = FViews.Dialogs.OpenPictureFileNames(filterIndex);
  if (files.empty()) return;
  FViews.Progress.Show(static_cast<int>(files.size()));
  bool first = true;
  for (const std::string& file : files) {
    FViews.Progress.SetInfo(kImportingPrefix + FileNameOf(file));
    FViews.Progress.Step();
    FViews.Progress.ProcessMessages();
    const int p = ImportPhotoFile(file);
    if (p == -1) continue;
    if (first) {
      first = false;
      if (CurrentTemplate()) {
        HandPlacePhoto(p);
        FViews.PhotoList.SetSelected(p, true);
      }
    }
  }
  FViews.Progress.Close();
}

// ---------------------------------------------------------------------------
// Photos

int TMainController::ImportPhotoFile(const std::string& path) {
  TSetNode* set = CurrentSet();
  if (!set) return -1;
  const int found = FindPhoto(set, path);
  if (found != -1) return found;
  const int n = static_cast<int>(set->Photos.size());
  const std::string number = std::to_string(n + 1);
  const std::string name = FileNameOf(path);
  if (!FViews.PhotoList.AddRow({number, name, "0", kDeleteLinkText}, path, false)) return -1;
  if (!FViews.StatList.AddRow({number, name, "0", kPlaceLinkText, kDeleteLinkText}, "", false)) {
    FViews.PhotoList.DeleteRow(n);  // keep both lists in step with Photos
    return -1;
  }
  Modified = true;
  auto photo = std::make_unique<TPhotoInfoNode>();
  photo->FileName = path;
  set->Photos.push_back(std::move(photo));
  return n;
}

void TMainController::AutoPlacePhoto(int photoIndex, int start) {
  TTempNode* temp = CurrentTemplate();
  if (!temp) return;
  // The walk covers the slots the slot buttons reach; a template without
  // slots takes no photo.
  const int count = SelectableSlots(*temp);
  if (count == 0) return;
  const int type = ClassifyPhotoFile(ExtensionOf(CurrentSet()->Photos[photoIndex]->FileName));
  for (int k = 0; k < count; ++k) {
    const int i = (start + k) % count;
    const TSlotNode& slot = *temp->Slots[i];
    if (slot.PhotoIndex == -1 && slot.PhotoType == type) {
      SelectSlot(i);
      HandPlacePhoto(photoIndex);
      FViews.PhotoList.SetSelected(photoIndex, true);
      return;
    }
  }
}

void TMainController::ImageButtonPhotoClick() {
  const TSlotNode* slot = CurrentSlot();
  const int filterIndex = slot ? FilterIndexFor(slot->PhotoType) : 1;
  ButtonPhotoClick();
  const std::vector<std::string> files = FViews.Dialogs.OpenPictureFileNames(filterIndex);
  if (files.empty()) return;
  if (FViews.SetList.Count() == 0) ButtonNewSetClick();
  const int start = CurSlot != -1 ? CurSlot : 0;
  if (CurSet == -1) return;
  FViews.Progress.Show(static_cast<int>(files.size()));
  for (const std::string& file : files) {
    FViews.Progress.SetInfo(kImportingPrefix + FileNameOf(file));
    FViews.Progress.Step();
    const int p = ImportPhotoFile(file);
    if (p == -1 || !CurrentTemplate()) continue;
    AutoPlacePhoto(p, start);
  }
  FViews.Progress.Close();
}

void TMainController::HandPlacePhoto(int photoIndex) {
  TSetNode* set = CurrentSet();
  TTempNode* temp = CurrentTemplate();
  TSlotNode* slot = CurrentSlot();
  if (!set || !temp || !slot || photoIndex < 0 || photoIndex >= static_cast<int>(set->Photos.size())) return;
  AssignPhotoToSlot(set, slot, photoIndex, Rows());
  Modified = true;
  slot->SetEmptyTransform();
  FViews.Preview.SetSlotButtonHoldsPhoto(CurSlot, true);
  FViews.Preview.LoadSlotPhoto(*temp, CurSlot, set->Photos[photoIndex]->FileName);
}

void TMainController::MyListBoxPhotoTextClick(int row, int col) {
  if (col == 3) DeletePhoto(row);
}

void TMainController::MyListBoxPhotoTextDblClick(int row, int col) {
  // Column 1 is the file name, column 4 (one past the texts) the thumbnail.
  if (col == 1 || col == 4) HandPlacePhoto(row);
}

void TMainController::StatListTextClick(int row, int col) {
  if (col == 3) {
    if (CurSlot == -1)
      FViews.Dialogs.ShowInfo(kChooseSlotFirstText);
    else
      HandPlacePhoto(row);
  } else if (col == 4) {
    DeletePhoto(row);
  }
}

void TMainController::DeletePhoto(int row) {
  TSetNode* set = CurrentSet();
  if (!set || row < 0 || row >= static_cast<int>(set->Photos.size())) return;
  RemovePhoto(*set, row, Rows());
  FViews.PhotoList.DeleteRow(row);
  Modified = true;
  if (FViews.StatList.SelectedIndex() == row) FViews.Window.ClearStatLargeView();
  FViews.StatList.DeleteRow(row);
  const int count = static_cast<int>(set->Photos.size());
  RenumberRows(FViews.PhotoList, count);
  RenumberRows(FViews.StatList, count);
  if (const TTempNode* temp = CurrentTemplate())
    for (int i = 0; i < SelectableSlots(*temp); ++i)
      FViews.Preview.SetSlotButtonHoldsPhoto(i, temp->Slots[i]->PhotoIndex != -1);
  if (CurSlot == -1)
    FViews.Preview.ShowTemplatePage();
  else
    SelectSlot(CurSlot);
}

}  // namespace tessaro
