// The main window's controller: set files and set management.
#include <algorithm>

#include "base/FileIo.h"
#include "base/Text.h"
#include "model/Controller.h"
#include "model/ControllerHelpers.h"
#include "model/Package.h"
#include "model/func.h"

namespace tessaro {

using controller::HasFileName;
using controller::TemplateCaption;

namespace {

// The file dialogs add the default extension when none is typed; do the same
// for paths that arrive without one.
std::string WithSetExtension(const std::string& path) {
  return ExtensionOf(path).empty() ? path + kSetFileExtension : path;
}

}  // namespace

// ---------------------------------------------------------------------------
// Sets

void TMainController::AddUnnamedSet() {
  SetList.push_back(std::make_unique<TSetNode>());
  FViews.SetList.AddRow({kUnnamedSetName, kDeleteLinkText}, "", true);
}

Status TMainController::WriteSetFile(int index, const std::string& path) const {
  auto bytes = EncodeSetFile(*SetList[index]);
  if (!bytes.ok()) return bytes.status();
  return WriteFileAtomic(path, *bytes);
}

TAnswer TMainController::SaveSetFileImpl(int index, const std::string& path, bool askBeforeReplacing) {
  if (index < 0 || index >= static_cast<int>(SetList.size())) return TAnswer::Yes;
  if (askBeforeReplacing && FileExists(path)) {
    TAnswer answer = FViews.Dialogs.AskYesNoCancel(kSaveSetCaption, FileNameOf(path) + kAlreadyExistsSuffix);
    if (answer != TAnswer::Yes) return answer;
  }
  // The file is replaced atomically: until the new one is complete the old
  // one stays, so a failed or interrupted save never loses the set on disk.
  if (!WriteSetFile(index, path).ok()) {
    FViews.Dialogs.ShowInfo(kSaveFailedText + path);
    return TAnswer::Cancel;
  }
  return TAnswer::Yes;
}

TAnswer TMainController::SaveSetFile(int index, const std::string& path) {
  return SaveSetFileImpl(index, path, true);
}

bool TMainController::LoadSetFile(int index, const std::string& path) {
  if (index < 0 || index >= static_cast<int>(SetList.size()) || !FileExists(path)) return false;
  auto set = ReadSetFile(path, *FSource);
  if (!set.ok()) return false;  // a malformed file leaves the set as it was
  SetList[index] = std::move(*set);
  return true;
}

void TMainController::DropTemplate(TSetNode& set, int index) {
  for (auto* temps : {&set.PreviewTemps, &set.ResultTemps})
    for (const auto& t : *temps)
      for (const auto& s : t->Slots)
        if (s->TempIndex > index) --s->TempIndex;
  if (index < static_cast<int>(set.PreviewTemps.size()))
    for (const auto& s : set.PreviewTemps[index]->Slots)
      if (s->PhotoIndex != -1) UnlinkSlotPhoto(set, *s, Rows());
  ReleaseTemplateAt(set, index);
}

void TMainController::FillSetLists(int index) {
  if (index < 0 || index >= static_cast<int>(SetList.size())) return;
  TSetNode& set = *SetList[index];
  TProgressService& progress = FViews.Progress;
  progress.Show(static_cast<int>(set.Photos.size() + set.PreviewTemps.size() + 2));
  progress.SetInfo(kImportingSetText);

  // A photo or template whose row cannot be shown (its picture cannot be
  // read) is left out of the set, so that row i always shows record i.
  for (size_t i = 0; i < set.Photos.size();) {
    const std::string number = std::to_string(i + 1);
    const std::string& path = set.Photos[i]->FileName;
    const std::string name = FileNameOf(path);
    if (!FViews.PhotoList.AddRow({number, name, "0", kDeleteLinkText}, path, false)) {
      RemovePhoto(set, static_cast<int>(i), Rows());
      continue;
    }
    if (!FViews.StatList.AddRow({number, name, "0", kPlaceLinkText, kDeleteLinkText}, "", false)) {
      FViews.PhotoList.DeleteRow(static_cast<int>(i));
      RemovePhoto(set, static_cast<int>(i), Rows());
      continue;
    }
    progress.Step();
    ++i;
  }
  for (size_t i = 0; i < set.PreviewTemps.size();) {
    const TTempNode& t = *set.PreviewTemps[i];
    if (!FViews.TempList.AddRow({std::to_string(i + 1), TemplateCaption(t.Folder, t.SizeUnit, t.Height),
                                 "0/" + std::to_string(t.Slots.size()), kDeleteLinkText},
                                JoinPath(t.Folder, kSampleName), false)) {
      DropTemplate(set, static_cast<int>(i));
      continue;
    }
    progress.Step();
    ++i;
  }
  RefreshPlacedCounts(set, FViews.TempList);
  progress.Step();
  RefreshUsageCounts(set, FViews.PhotoList, FViews.StatList);
  progress.Close();
}

TAnswer TMainController::SaveSet(int index) {
  if (CurSet == -1 || index < 0 || index >= static_cast<int>(SetList.size())) return TAnswer::Cancel;
  std::string path = SetList[index]->FileName;
  const bool named = HasFileName(path);
  if (!named) {
    path = FViews.Dialogs.SaveSetFileName(kSaveSetCaption, kProposedSetName);
    if (path.empty()) return TAnswer::Cancel;
    path = WithSetExtension(path);
    if (IsOpenSetFile(path)) {
      FViews.Dialogs.ShowInfo(kSetAlreadyOpenText);
      return TAnswer::Cancel;
    }
  }
  // Saving under the set's own name replaces its file without a question.
  if (SaveSetFileImpl(index, path, false) != TAnswer::Yes) return TAnswer::Cancel;
  if (!named) {
    SetList[index]->FileName = path;
    FViews.SetList.SetCellText(index, 0, StemOf(path));
    if (index == CurSet) FViews.Window.SetSetInfo(kCurrentSetPrefix + StemOf(path));
  }
  Modified = false;
  return TAnswer::Yes;
}

bool TMainController::AskBeforeLeavingSet(bool yesWithoutSetLeaves) {
  if (!Modified) return true;
  switch (FViews.Dialogs.AskYesNoCancel(kSaveSetCaption, kSetChangedQuestion)) {
    case TAnswer::Yes:
      // Closing the window with no current set answers Yes by leaving.
      if (CurSet == -1 && yesWithoutSetLeaves) return true;
      return SaveSet(CurSet) != TAnswer::Cancel;
    case TAnswer::No:
      return true;
    case TAnswer::Cancel:
      return false;
  }
  return false;
}

void TMainController::ClearSetLists() {
  FViews.TempList.Clear();
  FViews.PhotoList.Clear();
  FViews.StatList.Clear();
}

void TMainController::ResetPreview() {
  FViews.Preview.ShowTemplatePicture("");
  FViews.Preview.ResetSampleAndSlotButtons();
}

void TMainController::MakeSetCurrent(int row) {
  if (row == CurSet || row < 0 || row >= static_cast<int>(SetList.size())) return;
  if (Modified) {
    if (FViews.Dialogs.AskYesNo(kSaveSetCaption, kSetChangedQuestion) == TAnswer::Yes) {
      if (SaveSet(CurSet) == TAnswer::Cancel) return;
    } else if (CurSet != -1 && !HasFileName(SetList[CurSet]->FileName)) {
      // An unnamed set left without saving is discarded; a named one keeps
      // its records and is read again from its file when next made current.
      const int discarded = CurSet;
      ReleaseSet(SetList, discarded);
      FViews.SetList.DeleteRow(discarded);
      CurSet = -1;
      if (discarded < row) --row;
    }
  }
  ClearSetLists();
  ResetPreview();
  FViews.SetList.SetSelected(row, true);
  FViews.Window.SetSetInfo(kCurrentSetPrefix + FViews.SetList.GetCellText(row, 0));
  CurSet = row;
  LoadSetFile(row, SetList[row]->FileName);
  FillSetLists(row);
  CurTemp = -1;
  CurSlot = -1;
  Modified = false;
}

void TMainController::DeleteSetRow(int row) {
  if (row < 0 || row >= static_cast<int>(SetList.size())) return;
  const std::string question = "确实要删除套系【" + FViews.SetList.GetCellText(row, 0) + "】吗？";
  if (FViews.Dialogs.AskYesNo(kDeleteSetCaption, question) != TAnswer::Yes) return;
  for (const auto& t : SetList[row]->PreviewTemps) DeleteComposingFolder(*t);
  ReleaseSet(SetList, row);
  FViews.SetList.DeleteRow(row);
  ClearSetLists();
  ResetPreview();
  CurSet = CurTemp = CurSlot = -1;
  Modified = false;
}

void TMainController::MyListBoxSetTextClick(int row, int col) {
  if (col == 1)
    DeleteSetRow(row);
  else
    MakeSetCurrent(row);
}

void TMainController::ButtonNewSetClick() {
  if (!AskBeforeLeavingSet()) return;
  if (!SetList.empty() && !HasFileName(SetList.back()->FileName)) {
    const int last = static_cast<int>(SetList.size()) - 1;
    ReleaseSet(SetList, last);
    FViews.SetList.DeleteRow(last);
    if (CurSet == last) CurSet = -1;
  }
  AddUnnamedSet();
  Modified = false;
  CurSet = -1;
  MakeSetCurrent(static_cast<int>(SetList.size()) - 1);
}

void TMainController::ButtonSaveSetClick() {
  if (CurSet != -1) SaveSet(CurSet);
}

void TMainController::ButtonSaveAsSetClick() {
  if (!AskBeforeLeavingSet()) return;
  if (CurSet == -1) return;
  std::string path = FViews.Dialogs.SaveSetFileName(kSaveSetCaption, kProposedSetName);
  if (path.empty()) return;
  path = WithSetExtension(path);
  if (IsOpenSetFile(path)) {
    FViews.Dialogs.ShowInfo(kSetAlreadyOpenText);
    return;
  }
  if (SaveSetFile(CurSet, path) != TAnswer::Yes) return;

  // The current set goes on under the new file at the end of the list; an
  // empty set carrying the old name takes its place (choosing it later reads
  // the old file again).
  const int old = CurSet;
  const std::string oldName = SetList[old]->FileName;
  auto moved = std::move(SetList[old]);
  moved->FileName = path;
  auto placeholder = std::make_unique<TSetNode>();
  placeholder->FileName = oldName;
  SetList[old] = std::move(placeholder);
  SetList.push_back(std::move(moved));
  FViews.SetList.AddRow({StemOf(path), kDeleteLinkText}, "", true);
  FViews.Window.SetSetInfo(kCurrentSetPrefix + StemOf(path));
  CurSet = static_cast<int>(SetList.size()) - 1;
  FViews.SetList.SetSelected(CurSet, true);
  Modified = false;
  if (!HasFileName(oldName)) {
    ReleaseSet(SetList, old);
    FViews.SetList.DeleteRow(old);
    --CurSet;
  }
}

void TMainController::ButtonLoadSetClick() {
  if (!AskBeforeLeavingSet()) return;
  const std::vector<std::string> files = FViews.Dialogs.OpenSetFileNames();
  if (files.empty()) return;
  const int last = static_cast<int>(SetList.size()) - 1;
  int first = -1;
  for (const std::string& file : files) {
    auto open =
        std::find_if(SetList.begin(), SetList.end(), [&](const auto& s) { return s->FileName == file; });
    if (open != SetList.end()) {
      if (first == -1) first = static_cast<int>(open - SetList.begin());
      continue;
    }
    // A file that is missing or malformed is skipped; it never becomes an
    // empty set that a later save would write over the damaged file.
    auto set = ReadSetFile(file, *FSource);
    if (!set.ok()) continue;
    SetList.push_back(std::move(*set));
    FViews.SetList.AddRow({StemOf(file), kDeleteLinkText}, "", true);
    if (first == -1) first = static_cast<int>(SetList.size()) - 1;
  }
  if (first == -1) return;  // nothing could be read: the current set stays
  Modified = false;
  CurSet = -1;
  MakeSetCurrent(first);
  if (last >= 0 && last < static_cast<int>(SetList.size()) && !HasFileName(SetList[last]->FileName)) {
    ReleaseSet(SetList, last);
    FViews.SetList.DeleteRow(last);
    if (CurSet >= last) --CurSet;
  }
}

void TMainController::ButtonDelSetClick() {
  if (FViews.SetList.Count() == 0) return;
  if (FViews.Dialogs.AskYesNo(kDeleteSetCaption, kDeleteTickedSetsQuestion) != TAnswer::Yes) return;
  for (int row = FViews.SetList.Count() - 1; row >= 0; --row) {
    if (!FViews.SetList.GetChecked(row)) continue;
    ReleaseSet(SetList, row);
    FViews.SetList.DeleteRow(row);
    if (row == CurSet) {
      ClearSetLists();
      ResetPreview();
      CurSet = CurTemp = CurSlot = -1;
      Modified = false;
    } else if (row < CurSet) {
      --CurSet;
    }
  }
}

void TMainController::ButtonSelectAllSetClick() {
  for (int row = 0; row < FViews.SetList.Count(); ++row) FViews.SetList.SetChecked(row, true);
}

}  // namespace tessaro
