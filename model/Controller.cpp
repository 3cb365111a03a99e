// The main window's controller: construction, start-up and shutdown, lookups,
// the left panel and the invariants. Sets, templates and photos have files of
// their own (model/ControllerSets.cpp, ControllerTemplates.cpp, ControllerPhotos.cpp).
#include "model/Controller.h"

#include <algorithm>

#include "base/FileIo.h"
#include "base/Text.h"
#include "model/ControllerHelpers.h"
#include "model/Package.h"
#include "model/func.h"

namespace tessaro {

using controller::HasFileName;
using controller::TemplateCaption;

TMainController::TMainController(const TViews& views, TControllerPaths paths,
                                 std::unique_ptr<TSetFileSource> source)
    : FViews(views), FPaths(std::move(paths)), FSource(std::move(source)) {
  if (!FSource) FSource = std::make_unique<TDiskSetFileSource>();
}

// ---------------------------------------------------------------------------
// Start-up and shutdown

void TMainController::Start() {
  AddBuiltInSizes(SizeList);
  CopySize(CurrentSize, *SizeList.front());
  LoadConfig(FPaths.ConfigFile, Settings, SizeList);
  FViews.Window.DrawSizeCaption(CurrentSize.Name);
  RebuildSizeMenu();
  ButtonTempClick();
  AddUnnamedSet();
  FViews.SetList.SetSelected(0, true);
  FViews.Window.SetSetInfo(std::string(kCurrentSetPrefix) + kUnnamedSetName);
  CurSet = 0;
  CurTemp = -1;
  CurSlot = -1;
}

bool TMainController::FormCloseQuery() { return AskBeforeLeavingSet(/*yesWithoutSetLeaves=*/true); }

void TMainController::Shutdown() {
  SaveConfig(FPaths.ConfigFile, Settings, SizeList);
  SizeList.clear();
  ReleaseAllSets(SetList);
  CurSet = CurTemp = CurSlot = -1;
  if (!FPaths.TempDir.empty()) RemoveTempDir(FPaths.TempDir);
}

void TMainController::TimerGetSerMsg() {
  if (auto text = MessageQueue.TakeNext()) FViews.Dialogs.ShowInfo(*text);
}

Status TMainController::SaveBeforeShutdown() {
  if (!Modified || CurSet == -1) return Status::Ok();
  if (HasFileName(SetList[CurSet]->FileName)) {
    if (SaveSet(CurSet) == TAnswer::Yes) return Status::Ok();
    return Status::Error("the current set was not saved");
  }
  // Unnamed: a file in the program folder, or in the configuration folder
  // when the program folder is not writable (an installed program's folder
  // usually is not).
  const std::string name =
      std::string(kProposedSetName) + FormatTimeOfDay(FViews.Clock.Now()) + kSetFileExtension;
  Status last = Status::Error("no folder to save the set in");
  for (const std::string& folder : {FPaths.AppDir, FolderOf(FPaths.ConfigFile)}) {
    if (folder.empty()) continue;
    const std::string path = JoinPath(folder, name);
    if (FileExists(path)) {
      TAnswer answer =
          FViews.Dialogs.AskYesNoCancel(kSaveSetCaption, FileNameOf(path) + kAlreadyExistsSuffix);
      if (answer != TAnswer::Yes) return Status::Error("not replacing " + path);
    }
    last = WriteSetFile(CurSet, path);
    if (last.ok()) return last;
  }
  return last;
}

// ---------------------------------------------------------------------------
// Lookups

TSetNode* TMainController::CurrentSet() const {
  if (CurSet < 0 || CurSet >= static_cast<int>(SetList.size())) return nullptr;
  return SetList[CurSet].get();
}

TTempNode* TMainController::CurrentTemplate(bool resultVersion) const {
  TSetNode* set = CurrentSet();
  if (!set) return nullptr;
  const auto& temps = resultVersion ? set->ResultTemps : set->PreviewTemps;
  if (CurTemp < 0 || CurTemp >= static_cast<int>(temps.size())) return nullptr;
  return temps[CurTemp].get();
}

TSlotNode* TMainController::CurrentSlot() const {
  TTempNode* temp = CurrentTemplate();
  if (!temp || CurSlot < 0 || CurSlot >= static_cast<int>(temp->Slots.size())) return nullptr;
  return temp->Slots[CurSlot].get();
}

TPhotoRows TMainController::Rows() {
  return TPhotoRows{&FViews.TempList, &FViews.PhotoList, &FViews.StatList};
}

std::string TMainController::SetName(int index) const {
  const std::string& fileName = SetList[index]->FileName;
  return HasFileName(fileName) ? StemOf(fileName) : kUnnamedSetName;
}

bool TMainController::IsOpenSetFile(const std::string& path) const {
  return std::any_of(SetList.begin(), SetList.end(), [&](const auto& s) { return s->FileName == path; });
}

// ---------------------------------------------------------------------------
// Left panel

void TMainController::ButtonTempClick() {
  FLeftPage = TLeftPage::Template;
  FViews.Window.ShowLeftPage(TLeftPage::Template);
}

void TMainController::ButtonPhotoClick() {
  FLeftPage = TLeftPage::Photo;
  FViews.Window.ShowLeftPage(TLeftPage::Photo);
}

TRowList& TMainController::VisibleList() {
  return FLeftPage == TLeftPage::Photo ? FViews.PhotoList : FViews.TempList;
}

void TMainController::ButtonDelClick() {
  const bool photos = FLeftPage == TLeftPage::Photo;
  TRowList& list = VisibleList();
  bool any = false;
  for (int row = list.Count() - 1; row >= 0; --row) {
    if (!list.GetChecked(row)) continue;
    any = true;
    if (photos)
      DeletePhoto(row);
    else
      DeleteTemplate(row);
  }
  if (!any) FViews.Dialogs.ShowInfo(photos ? kTickPhotosFirstText : kTickTemplatesFirstText);
}

void TMainController::ButtonSelectAllClick() {
  TRowList& list = VisibleList();
  for (int row = 0; row < list.Count(); ++row) list.SetChecked(row, true);
}

// ---------------------------------------------------------------------------
// Invariants

std::string TMainController::CheckInvariants() const {
  if (std::string e = tessaro::CheckInvariants(SetList, CurSet, CurTemp, CurSlot); !e.empty()) return e;
  const TRowList& setRows = FViews.SetList;
  if (setRows.Count() != static_cast<int>(SetList.size()))
    return "set list has " + std::to_string(setRows.Count()) + " rows for " + std::to_string(SetList.size()) +
           " sets";
  for (int i = 0; i < setRows.Count(); ++i)
    if (setRows.GetCellText(i, 0) != SetName(i))
      return "set row " + std::to_string(i) + " shows '" + setRows.GetCellText(i, 0) + "' for set '" +
             SetName(i) + "'";

  const TSetNode* set = CurrentSet();
  const int temps = set ? static_cast<int>(set->PreviewTemps.size()) : 0;
  const int photos = set ? static_cast<int>(set->Photos.size()) : 0;
  if (FViews.TempList.Count() != temps)
    return "template list has " + std::to_string(FViews.TempList.Count()) + " rows for " +
           std::to_string(temps) + " templates";
  for (const TRowList* list : {&FViews.PhotoList, &FViews.StatList})
    if (list->Count() != photos)
      return "a photo list has " + std::to_string(list->Count()) + " rows for " + std::to_string(photos) +
             " photos";
  for (int i = 0; i < temps; ++i) {
    const TTempNode& t = *set->PreviewTemps[i];
    const std::string where = "template row " + std::to_string(i) + " ";
    if (FViews.TempList.GetCellText(i, 0) != std::to_string(i + 1))
      return where + "is not numbered " + std::to_string(i + 1);
    if (FViews.TempList.GetCellText(i, 1) != TemplateCaption(t.Folder, t.SizeUnit, t.Height))
      return where + "shows '" + FViews.TempList.GetCellText(i, 1) + "'";
    if (FViews.TempList.GetCellText(i, 2) != PlacedCaption(t))
      return where + "shows " + FViews.TempList.GetCellText(i, 2) + " placed, not " + PlacedCaption(t);
  }
  for (int i = 0; i < photos; ++i) {
    const TPhotoInfoNode& p = *set->Photos[i];
    for (const TRowList* list : {&FViews.PhotoList, &FViews.StatList}) {
      const std::string where =
          (list == &FViews.PhotoList ? "photo row " : "statistics row ") + std::to_string(i);
      if (list->GetCellText(i, 0) != std::to_string(i + 1))
        return where + " is not numbered " + std::to_string(i + 1);
      if (list->GetCellText(i, 1) != FileNameOf(p.FileName)) return where + " shows another file";
      if (list->GetCellText(i, 2) != std::to_string(p.UsedBy.size()))
        return where + " shows usage " + list->GetCellText(i, 2) + ", not " + std::to_string(p.UsedBy.size());
    }
  }
  return {};
}

}  // namespace tessaro
