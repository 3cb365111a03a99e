// The main window's controller: sizes and templates.
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

}  // namespace tessaro
