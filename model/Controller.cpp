#include "model/Controller.h"

#include <algorithm>

#include "base/FileIo.h"
#include "base/Text.h"
#include "model/Package.h"
#include "model/func.h"

namespace tessaro {

namespace {

bool HasFileName(const std::string& fileName) { return !Trim(fileName).empty(); }

// The file dialogs add the default extension when none is typed; do the same
// for paths that arrive without one.
std::string WithSetExtension(const std::string& path) {
  return ExtensionOf(path).empty() ? path + kSetFileExtension : path;
}

// Photo dialog filter entry for a slot's photo type: 2 transparent, 3 opaque.
int FilterIndexFor(int32_t photoType) {
  return photoType == kPhotoTypeTransparent || photoType == kPhotoTypeOpaque ? photoType + 2 : 1;
}

int SelectableSlots(const TTempNode& temp) {
  return static_cast<int>(std::min<size_t>(temp.Slots.size(), kSlotButtonCount));
}

std::string TemplateCaption(const std::string& folder, int32_t unit, float height) {
  return LastPathPart(folder) + SizeCaption(unit, height);
}

}  // namespace

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
// Sizes

void TMainController::RebuildSizeMenu() { FViews.Window.SetSizeMenu(BuildSizeMenu(SizeList)); }

void TMainController::ApplySize(int tag) {
  if (tag == kCustomSizeMenuTag) {
    FViews.Dialogs.EditCustomSizes(SizeList);
    RebuildSizeMenu();
    return;
  }
  const TSizeNode* found = FindSize(SizeList, tag);
  if (!found) return;
  const TSizeNode size = *found;
  FViews.Window.DrawSizeCaption(size.Name);
  CopySize(CurrentSize, size);
  TTempNode* temp = CurrentTemplate();
  if (!temp) return;
  KeepPhotosForNewSize(*temp, size, FViews.Preview.SlotWindowGeometry());
  temp->SizeName = size.Name;
  temp->Width = size.Width;
  temp->Height = size.Height;
  temp->SizeUnit = size.SizeUnit;
  FViews.TempList.SetCellText(
      CurTemp, 1, ReplaceSizeCaption(FViews.TempList.GetCellText(CurTemp, 1), temp->SizeUnit, temp->Height));
  FViews.Window.DrawSizeCaption(size.Name);
  CopySize(CurrentSize, size);
  Modified = true;
  if (CurSlot != -1) SelectSlot(CurSlot);
}

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

// ---------------------------------------------------------------------------
// Templates

bool TMainController::ImportTemplate(int setIndex, const std::string& folder, const TSizeNode& size) {
  if (!DirectoryExists(folder) || setIndex < 0 || setIndex >= static_cast<int>(SetList.size())) return false;
  TSetNode& set = *SetList[setIndex];
  const std::string stamp = FormatImportStamp(FViews.Clock.Now());
  const int n = static_cast<int>(set.PreviewTemps.size());
  auto giveSize = [&](TTempNode& t) {
    t.ImportStamp = stamp;
    t.Width = size.Width;
    t.Height = size.Height;
    t.SizeUnit = size.SizeUnit;
    t.SizeName = CutUtf8(size.Name, kShortTextBytes);
  };
  auto preview = ReadDescriptor(JoinPath(folder, kPreviewDescriptorName), n);
  if (!preview) return false;
  giveSize(*preview);
  auto result = ReadDescriptor(JoinPath(folder, kResultDescriptorName), n);
  if (!result) return false;
  giveSize(*result);
  // Rows show the current set only. A row the list refuses (its sample
  // picture cannot be read) means the template is not imported at all, so
  // that rows and records keep matching.
  if (setIndex == CurSet &&
      !FViews.TempList.AddRow({std::to_string(n + 1), TemplateCaption(folder, size.SizeUnit, size.Height),
                               "0/" + std::to_string(preview->Slots.size()), kDeleteLinkText},
                              JoinPath(folder, kSampleName), false))
    return false;
  set.PreviewTemps.push_back(std::move(preview));
  set.ResultTemps.push_back(std::move(result));
  Modified = true;
  return true;
}

void TMainController::ImageButtonTempClick() {
  ButtonTempClick();
  TTemplateBrowserResult chosen = FViews.Dialogs.BrowseTemplates(CurrentSize, SizeList);
  if (chosen.Confirmed) {
    FViews.Progress.ProcessMessages();
    if (FViews.SetList.Count() == 0) ButtonNewSetClick();
    const int first = FViews.TempList.Count();
    FViews.Progress.Show(static_cast<int>(chosen.Packages.size()));
    ButtonTempClick();
    FViews.Window.DrawSizeCaption(CurrentSize.Name);
    for (const std::string& package : chosen.Packages) {
      FViews.Progress.SetInfo(kImportingPrefix + package);
      FViews.Progress.Step();
      ImportTemplate(CurSet, JoinPath(chosen.Folder, package), CurrentSize);
    }
    FViews.Progress.Close();
    if (FViews.TempList.Count() > first) FViews.TempList.SetSelected(first, true);
  }
  RebuildSizeMenu();
}

void TMainController::MyListBoxTempRowChanged(int /*oldRow*/, int newRow) { SelectTemplate(newRow); }

void TMainController::ShowTemplateSize(const TTempNode& temp) {
  FViews.Window.DrawSizeCaption(temp.SizeName);
  CurrentSize.Name = temp.SizeName;
  CurrentSize.Width = temp.Width;
  CurrentSize.Height = temp.Height;
  CurrentSize.SizeUnit = temp.SizeUnit;
  CurrentSize.SizeType = temp.Spread;
}

std::string TMainController::TemplatePicture(const TTempNode& temp) const {
  const std::string composed = JoinPath(PreviewFolder(FPaths.TempDir, temp), kComposedPreviewName);
  if (FileExists(composed)) return composed;
  return JoinPath(temp.Folder, kSampleName);
}

void TMainController::SelectTemplate(int row) {
  FViews.Preview.ShowTemplatePage();
  CurTemp = row;
  CurSlot = -1;
  FViews.Window.DrawSizeCaption("");
  CurrentSize.Width = CurrentSize.Height = -1.0f;
  CurrentSize.SizeUnit = -1;
  CurrentSize.SizeType = -1;
  TSetNode* set = CurrentSet();
  if (!set || row < 0 || row >= static_cast<int>(set->PreviewTemps.size())) {
    FViews.Preview.ShowTemplatePicture("");
    CurTemp = -1;
    CurSlot = -1;
    FViews.Preview.ShowTemplateSlots(nullptr);
    return;
  }
  const TTempNode& temp = *set->PreviewTemps[row];
  ShowTemplateSize(temp);
  FViews.Preview.ShowTemplateSlots(&temp);
  FViews.Preview.ShowTemplatePicture(TemplatePicture(temp));
  FViews.Preview.ShowSample(JoinPath(temp.Folder, kSampleName));
  CurTemp = row;
  CurSlot = -1;
}

void TMainController::MyListBoxTempTextClick(int row, int col) {
  if (col == 3) {
    DeleteTemplate(row);
    return;
  }
  FViews.Preview.UncheckSlotButtons();
  CurSlot = -1;
  TSetNode* set = CurrentSet();
  if (!set || row < 0 || row >= static_cast<int>(set->PreviewTemps.size())) return;
  const TTempNode& temp = *set->PreviewTemps[row];
  ShowTemplateSize(temp);
  FViews.Preview.ShowTemplatePicture(TemplatePicture(temp));
}

void TMainController::DeleteTemplate(int row) {
  TSetNode* set = CurrentSet();
  if (!set || row < 0 || row >= static_cast<int>(set->PreviewTemps.size())) return;
  DeleteComposingFolder(*set->PreviewTemps[row]);
  DropTemplate(*set, row);
  FViews.TempList.DeleteRow(row);
  // Keep CurTemp on the template it named; the selection below moves it on
  // when the list reports a new row.
  if (CurTemp == row) {
    CurTemp = CurSlot = -1;
  } else if (CurTemp > row) {
    --CurTemp;
  }
  const int remaining = FViews.TempList.Count();
  if (remaining > 0) {
    FViews.TempList.SetSelected(std::min(row, remaining - 1), true);
  } else {
    FViews.Preview.ShowTemplatePicture("");
    FViews.Preview.ShowSample("");
    CurTemp = CurSlot = -1;
    FViews.Preview.ShowTemplateSlots(nullptr);
  }
  Modified = true;
  RenumberRows(FViews.TempList, remaining);
}

void TMainController::DeleteComposingFolder(const TTempNode& temp) const {
  // Only inside our own working folder: a folder of that name planted by
  // someone else is not followed into.
  if (!IsOwnTempDir(FPaths.TempDir)) return;
  const std::string folder = PreviewFolder(FPaths.TempDir, temp);
  if (DirectoryExists(folder)) DeleteFolder(folder);
}

void TMainController::RenumberRows(TRowList& list, int count) {
  for (int i = 0; i < count; ++i) list.SetCellText(i, 0, std::to_string(i + 1));
}

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
