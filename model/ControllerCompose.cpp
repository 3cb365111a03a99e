// The composition commands of the main window: single and batch previews
// and results, and editing a slot's photo in the user's image editor. Each
// composing command checks its inputs, runs one engine job per template and
// ends the same way (the new preview, then the optional power-off).
#include "base/FileIo.h"
#include "model/Controller.h"
#include "model/Package.h"
#include "model/func.h"

namespace tessaro {

namespace {

const char* ResultExtension(bool psd) { return psd ? ".psd" : ".jpg"; }

}  // namespace

int TMainController::FindEmptySlot(int setIndex, int tempIndex) const {
  if (setIndex < 0 || setIndex >= static_cast<int>(SetList.size())) return -1;
  const TSetNode& set = *SetList[setIndex];
  if (tempIndex < 0 || tempIndex >= static_cast<int>(set.PreviewTemps.size())) return -1;
  const auto& slots = set.PreviewTemps[tempIndex]->Slots;
  for (size_t i = 0; i < slots.size(); ++i)
    if (slots[i]->PhotoIndex == -1) return static_cast<int>(i);
  return -1;
}

bool TMainController::CheckPhotoshop() {
  if (!FCompose) return false;
  int index = -1;
  const TEditorCheck check = FCompose->CheckEditor(index);
  PSVersionIndex = index;
  switch (check) {
    case TEditorCheck::Ready:
      if (index != -1) return true;
      FViews.Dialogs.ShowInfo(kEditorUnsupportedText);
      return false;
    case TEditorCheck::Starting:
      FViews.Dialogs.ShowInfo(kEditorStartingText);
      return false;
    case TEditorCheck::CannotStart:
      // The editor was not running: the operator is told it is being started,
      // then that it could not be.
      FViews.Dialogs.ShowInfo(kEditorStartingText);
      FViews.Dialogs.ShowInfo(kEditorCannotStartText);
      return false;
    case TEditorCheck::Unsupported:
      FViews.Dialogs.ShowInfo(kEditorUnsupportedText);
      return false;
  }
  return false;
}

TJobOutcome TMainController::RunJob(const TSetNode& set, int tempIndex, bool previewMode,
                                    const std::string& resultFile, const std::string& prefix) {
  if (!FCompose || tempIndex < 0 || tempIndex >= static_cast<int>(set.PreviewTemps.size()))
    return TJobOutcome::Finished;
  const TTempNode& temp = *set.PreviewTemps[tempIndex];
  const std::string folder = PreviewFolder(FPaths.TempDir, temp);
  TComposeJob job;
  job.PreviewMode = previewMode;
  job.SetNode = &set;
  job.TemplateIndex = tempIndex;
  job.PsdOutput = !previewMode && !JpgOutput;
  job.PreviewFile = JoinPath(folder, kComposedPreviewName);
  job.ResultFile = previewMode ? std::string() : resultFile;
  job.CancelEffects = CancelEffects;
  job.PSVersionIndex = PSVersionIndex;
  // The composing folder lives in the private working folder; when that is
  // not ours (another user planted it) nothing is written there and the job
  // ends without output, like any failed job.
  if (!EnsureTempDir(FPaths.TempDir).ok()) return TJobOutcome::Finished;
  MakeDirectories(WithoutTrailingSeparator(folder), 0700);
  // A preview left from an earlier job must not pass for this job's.
  if (FileExists(job.PreviewFile)) RemoveFile(job.PreviewFile);
  const TJobOutcome outcome = FCompose->RunJob(job, prefix + LastPathPart(temp.Folder));
  if (outcome == TJobOutcome::Cancelled) JobCancelled = true;
  return outcome;
}

bool TMainController::SelectEmptySlot() {
  const int slot = FindEmptySlot(CurSet, CurTemp);
  if (slot < 0) return false;
  SelectSlot(slot);
  FViews.Dialogs.ShowInfo(kEmptySlotText);
  return true;
}

void TMainController::StartCommand(int jobTotal, int jobNumber) {
  JobCancelled = false;
  FCompose->SetShutdownChecked(false);
  FCompose->SetJobCounter(jobTotal, jobNumber);
}

void TMainController::CommonEnding(const std::string& resultFile) {
  if (const TTempNode* temp = CurrentTemplate()) {
    const std::string preview = JoinPath(PreviewFolder(FPaths.TempDir, *temp), kComposedPreviewName);
    if (FileExists(preview)) {
      FViews.Preview.ShowTemplatePicture(preview);
      FViews.Preview.ShowSample(JoinPath(temp->Folder, kSampleName));
      if (CurSlot != -1) {
        FViews.Preview.UncheckSlotButtons();
        CurSlot = -1;
      }
    }
  }
  // A single result: its folder is shown when the job wrote the file.
  if (!resultFile.empty() && FileExists(resultFile)) FViews.Desktop.OpenFolder(FolderOf(resultFile));
  if (FCompose->ShutdownChecked() && !JobCancelled) {
    // The machine stays on when the set could not be saved: switching off
    // would lose the operator's changes.
    if (!SaveBeforeShutdown().ok()) {
      FViews.Dialogs.ShowInfo(kShutdownSaveFailedText);
      return;
    }
    FViews.Power.PowerOff();
  }
}

bool TMainController::ReadyForOneTemplate(const char* noTemplateText) {
  if (!FCompose) return false;
  if (!CurrentTemplate()) {
    FViews.Dialogs.ShowInfo(noTemplateText);
    return false;
  }
  return !SelectEmptySlot() && CheckPhotoshop();
}

void TMainController::ImageButtonPreviewSingleClick() {
  if (!ReadyForOneTemplate(kSelectTemplateToPreviewText)) return;
  TSetNode* set = CurrentSet();
  StartCommand(1, 1);
  RunJob(*set, CurTemp, /*previewMode=*/true, "", kSinglePreviewPrefix);
  CommonEnding("");
}

void TMainController::ImageButtonSingleCreateResultClick() {
  if (!ReadyForOneTemplate(kSelectTemplateText)) return;
  TSetNode* set = CurrentSet();
  const bool psd = !JpgOutput;
  const std::string proposed =
      SingleResultFileName(CurSet + 1, FViews.SetList.GetCellText(CurSet, 0), CurTemp + 1,
                           FViews.TempList.GetCellText(CurTemp, 1), psd);
  std::string path = FViews.Dialogs.SaveResultFileName(proposed, ResultExtension(psd),
                                                       psd ? kPsdResultFilter : kJpgResultFilter);
  if (path.empty()) return;
  // The dialog adds the default extension when none is typed.
  if (ExtensionOf(path).empty()) path += ResultExtension(psd);
  StartCommand(1, 1);
  // Deleted first, so that a failed job leaves no earlier file that would
  // pass for its result.
  if (FileExists(path)) RemoveFile(path);
  RunJob(*set, CurTemp, /*previewMode=*/false, path, kSingleResultPrefix);
  CommonEnding(path);
}

void TMainController::ImageButtonBatchPreviewClick() { BatchCompose(/*preview=*/true); }

void TMainController::ImageButtonBatchCreateResultClick() { BatchCompose(/*preview=*/false); }

void TMainController::BatchCompose(bool preview) {
  if (!FCompose || SetList.empty()) return;
  if (Modified) {
    if (!FViews.Dialogs.AskOkCancel(kSaveSetCaption, kSetChangedQuestion)) return;
    if (SaveSet(CurSet) != TAnswer::Yes) return;
  }
  const int sets = static_cast<int>(SetList.size());
  int count = 0;
  for (int r = 0; r < sets; ++r) {
    if (!FViews.SetList.GetChecked(r)) continue;
    const int temps = static_cast<int>(SetList[r]->PreviewTemps.size());
    for (int t = 0; t < temps; ++t) {
      ++count;
      if (FindEmptySlot(r, t) < 0) continue;
      // Show the operator the slot: its set current (which reads a named
      // set's file again), its template selected, the slot selected.
      MyListBoxSetTextClick(r, 0);
      if (CurSet == r && CurTemp != t) {
        FViews.TempList.SetSelected(t, true);
        if (CurTemp != t) SelectTemplate(t);
      }
      const int slot = FindEmptySlot(CurSet, CurTemp);
      if (slot >= 0) SelectSlot(slot);
      FViews.Dialogs.ShowInfo(kEmptySlotText);
      return;
    }
  }
  if (count == 0) {
    FViews.Dialogs.ShowInfo(preview ? kNothingToPreviewText : kNothingToComposeText);
    return;
  }
  if (!CheckPhotoshop()) return;
  std::string folder;
  if (!preview) {
    folder = FViews.Dialogs.ChooseFolder(kChooseResultFolderTitle);
    if (folder.empty()) return;
  }
  StartCommand(count, 0);
  const bool psd = !JpgOutput;
  const char* prefix = preview ? kBatchPreviewPrefix : kBatchResultPrefix;
  for (int r = 0; r < sets && !JobCancelled; ++r) {
    if (!FViews.SetList.GetChecked(r)) continue;
    const TSetNode& set = *SetList[r];
    const std::string caption = FViews.SetList.GetCellText(r, 0);
    std::string setFolder;
    if (!preview) {
      setFolder = JoinPath(folder, BatchSetFolderName(r + 1, caption));
      MakeDirectories(setFolder);
    }
    const int temps = static_cast<int>(set.PreviewTemps.size());
    for (int t = 0; t < temps && !JobCancelled; ++t) {
      FCompose->NextJob();
      std::string resultFile;
      if (!preview) {
        resultFile =
            JoinPath(setFolder, BatchResultFileName(r + 1, caption, t + 1, *set.PreviewTemps[t], psd));
        // Replaced: a failed job leaves no result of an earlier run behind.
        if (FileExists(resultFile)) RemoveFile(resultFile);
      }
      RunJob(set, t, preview, resultFile, prefix);
    }
  }
  CommonEnding("");
  if (JobCancelled || FCompose->ShutdownChecked()) return;
  // The completion step: the tune plays while the message is open.
  const std::string tune = JoinPath(FPaths.AppDir, kCompletionTuneName);
  const bool playing = FileExists(tune);
  if (playing) FViews.Window.PlayCompletionTune(tune);
  ButtonTempClick();
  FViews.Dialogs.ShowInfo(preview ? kBatchPreviewDoneText : kBatchResultDoneText);
  if (playing) FViews.Window.StopCompletionTune();
}

void TMainController::ImageButtonPhotoShopClick() {
  const TSlotNode* slot = CurrentSlot();
  if (!slot) {
    FViews.Dialogs.ShowInfo(kChoosePhotoToEditText);
    return;
  }
  if (slot->PhotoIndex == -1) {
    FViews.Dialogs.ShowInfo(kSlotHasNoPhotoText);
    return;
  }
  const TSetNode& set = *CurrentSet();
  if (slot->PhotoIndex < 0 || slot->PhotoIndex >= static_cast<int>(set.Photos.size())) {
    FViews.Dialogs.ShowInfo(kPhotoMissingText);
    return;
  }
  const std::string& file = set.Photos[slot->PhotoIndex]->FileName;
  if (!FileExists(file)) {
    FViews.Dialogs.ShowInfo(kPhotoFileMissingText);
    return;
  }
  if (!FViews.Desktop.OpenInImageEditor(Settings.ImageEditor, file).ok())
    FViews.Dialogs.ShowInfo(kEditorLaunchFailedText);
}

}  // namespace tessaro
