// Slot editing commands of the main window: rotation, mirroring, reset,
// zooming, handle drags and nudges on the selected slot's photo, and the
// right panel's sample and result pages.
#include "base/FileIo.h"
#include "base/Text.h"
#include "model/Controller.h"
#include "model/Package.h"
#include "model/func.h"

namespace tessaro {

TSlotNode* TMainController::EditableSlot() {
  if (CurSlot == -1 || !SlotEdit.HasPhoto()) return nullptr;
  return CurrentSlot();
}

void TMainController::RotateSlotPhoto(float degrees) {
  TSlotNode* slot = EditableSlot();
  if (!slot) return;
  SlotEdit.Angle += degrees;
  slot->Angle = SlotEdit.Angle;
  Modified = true;
  FViews.Preview.SlotPhotoChanged();
}

void TMainController::FlipSlotPhoto(bool horizontal) {
  TSlotNode* slot = EditableSlot();
  if (!slot) return;
  if (horizontal) {
    SlotEdit.FlipH = !SlotEdit.FlipH;
    slot->FlipH = SlotEdit.FlipH;
  } else {
    SlotEdit.FlipV = !SlotEdit.FlipV;
    slot->FlipV = SlotEdit.FlipV;
  }
  Modified = true;
  FViews.Preview.SlotPhotoChanged();
}

void TMainController::ResetSlotPhoto() {
  TSlotNode* slot = EditableSlot();
  if (!slot) return;
  Modified = true;
  slot->SetEmptyTransform();
  SlotEdit.DestRect = ResetPhotoRect(SlotEdit.PhotoWidth(), SlotEdit.PhotoHeight());
  SlotEdit.Angle = 0;
  SlotEdit.FlipH = SlotEdit.FlipV = false;
  const TSlotWindow& window = SlotEdit.Window();
  if (window.Ws() > 0 && window.Hs() > 0) {
    slot->ScaleX = static_cast<float>(SlotEdit.DestRect.Width() / window.Ws());
    slot->ScaleY = static_cast<float>(SlotEdit.DestRect.Height() / window.Hs());
  }
  FViews.Preview.SlotPhotoChanged();
}

void TMainController::StartZoom(bool zoomIn) { SlotEdit.ZoomDirection = zoomIn ? 0 : 1; }

bool TMainController::ZoomTick() {
  if (SlotEdit.ZoomDirection == -1 || !SlotEdit.HasPhoto()) return false;
  auto next = ZoomStepRect(SlotEdit.DestRect, SlotEdit.PhotoWidth(), SlotEdit.PhotoHeight(),
                           SlotEdit.ZoomDirection == 0);
  if (!next) return false;
  SlotEdit.DestRect = *next;
  FViews.Preview.SlotPhotoChanged();
  return true;
}

void TMainController::StopZoom() {
  SlotEdit.ZoomDirection = -1;
  TSlotNode* slot = EditableSlot();
  if (!slot) return;
  StoreTransform(*slot, SlotEdit.DestRect, SlotEdit.Window());
  Modified = true;
}

void TMainController::BandDragFinished(const TRectF& location, float angle, bool moveDrag) {
  if (!SlotEdit.HasPhoto()) return;
  SlotEdit.DestRect = location;
  if (!moveDrag) SlotEdit.Angle = angle;
  TSlotNode* slot = EditableSlot();
  if (slot) {
    StoreTransform(*slot, location, SlotEdit.Window());
    slot->Angle = angle;
    Modified = true;
  }
  FViews.Preview.SlotPhotoChanged();
}

void TMainController::NudgeSlotPhoto(int dx, int dy) {
  if (!SlotEdit.HasPhoto()) return;
  SlotEdit.DestRect.Left += dx;
  SlotEdit.DestRect.Right += dx;
  SlotEdit.DestRect.Top += dy;
  SlotEdit.DestRect.Bottom += dy;
  FViews.Preview.SlotPhotoChanged();
}

std::optional<double> TMainController::SlotPrintPpi() const {
  const TTempNode* temp = CurrentTemplate();
  if (!temp || CurSlot == -1 || !SlotEdit.HasPhoto()) return std::nullopt;
  const TSlotWindow& window = SlotEdit.Window();
  if (window.Ws() <= 0 || window.Hs() <= 0) return std::nullopt;
  return PrintPpi(*temp, CurSlot, SlotEdit.PhotoWidth(), SlotEdit.PhotoHeight(),
                  SlotEdit.DestRect.Width() / window.Ws(), SlotEdit.DestRect.Height() / window.Hs());
}

std::string TMainController::ComposedPreviewOf(const TTempNode& temp) const {
  return JoinPath(PreviewFolder(FPaths.TempDir, temp), kComposedPreviewName);
}

void TMainController::ButtonSampleClick() {
  const TTempNode* temp = CurrentTemplate();
  FViews.Preview.ShowSample(temp ? JoinPath(temp->Folder, kSampleName) : std::string());
}

void TMainController::ButtonResultPhotoClick() {
  const TTempNode* temp = CurrentTemplate();
  std::string preview;
  if (temp) {
    preview = ComposedPreviewOf(*temp);
    if (!FileExists(preview)) preview.clear();
  }
  FViews.Preview.ShowResult(preview);
}

const TTempNode* TMainController::LeaveSlotForPicture() {
  const TTempNode* temp = CurrentTemplate();
  if (!temp) return nullptr;
  FViews.Preview.UncheckSlotButtons();
  CurSlot = -1;
  SlotEdit.Clear();
  return temp;
}

void TMainController::ImageSampleMouseDown() {
  if (const TTempNode* temp = LeaveSlotForPicture())
    FViews.Preview.ShowTemplatePicture(JoinPath(temp->Folder, kSampleName));
}

void TMainController::ImageResultMouseDown() {
  const TTempNode* temp = LeaveSlotForPicture();
  if (!temp) return;
  const std::string preview = ComposedPreviewOf(*temp);
  if (FileExists(preview)) FViews.Preview.ShowTemplatePicture(preview);
}

}  // namespace tessaro
