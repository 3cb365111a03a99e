// The preview area of the main window (648 x 432) with its two pages:
// "Photo", the layered canvas on which the selected slot's photo is shown
// behind the darkened slot window and edited with the handle frame, and
// "Template", a template's picture or composed preview fitted into the page.
// TSamplePanel is the small right-hand panel with the template's sample
// picture and its composed preview.
//
// The screen only draws and forwards: the slot's geometry lives in the
// controller's SlotEdit, and every edit goes through a controller command,
// which asks the preview service to redraw (SlotPhotoChanged). The main
// window's TPreviewService forwards SelectSlot, LoadSlotPhoto,
// ShowTemplatePicture, ShowTemplatePage, SlotPhotoChanged and ShowResult /
// ShowSample (to the sample panel) here.
//
// Photos are decoded off the GUI thread at a size sufficient for the
// screen, upright by their EXIF orientation as the composition engine turns
// them; every size rule uses the photo's true pixel size. Main thread only.
#pragma once

#include <QLabel>
#include <QPointer>
#include <QStackedWidget>
#include <QThreadPool>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <list>
#include <memory>
#include <string>

#include "model/Controller.h"
#include "model/MainWindow.h"
#include "model/SlotEdit.h"
#include "preview/GR32_RotLayer.h"

class QKeyEvent;

namespace tessaro {

// The shortcut table's stroke for a Qt key press (key code and modifiers;
// the keypad modifier marks the numeric keypad). Shifted digits that arrive
// as their symbols (a US layout) count as the digits; keys the table does not
// know get code 0.
TKeyStroke KeyStrokeOf(int key, Qt::KeyboardModifiers modifiers);

// The first row of the shortcut table (MapKey) that matches a key press.
// Whether the row's button is enabled is not checked here.
TKeyAction MatchPreviewKey(int key, Qt::KeyboardModifiers modifiers);

// The right-hand panel: "Sample" and "Result" pages.
class TSamplePanel : public QWidget {
  Q_OBJECT
 public:
  explicit TSamplePanel(QWidget* parent, TMainController& controller);
  // The "Sample" page with this picture (empty or missing: empty).
  void ShowSample(const std::string& sampleFile);
  // The "Result" page with the composed preview (empty or missing: empty).
  void ShowResult(const std::string& previewFile);
  bool ResultShown() const;
  QLabel* SampleImage() const { return FSample; }
  QLabel* ResultImage() const { return FResult; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TMainController& FController;
  QStackedWidget* FPages;
  QLabel* FSample;
  QLabel* FResult;
};

class TPreviewScreen : public QWidget {
  Q_OBJECT
 public:
  explicit TPreviewScreen(QWidget* parent, TMainController& controller);
  ~TPreviewScreen() override;

  // ---- Forwarded from the main window's preview service ----
  void SelectSlot(TTempNode& temp, int slotIndex, const std::string& photoFile);
  void LoadSlotPhoto(TTempNode& temp, int slotIndex, const std::string& photoFile);
  // The "Template" page with a JPEG fitted into it; empty: an empty picture.
  void ShowTemplatePicture(const std::string& jpegFile);
  void ShowTemplatePage();
  // Redraws the photo and the handles from the controller's SlotEdit.
  void SlotPhotoChanged();
  TSlotWindowGeometry SlotWindowGeometry() const;

  // ---- Tool buttons (the window's buttons call these) ----
  // Press and hold: zooms every 10 ms until released.
  void ZoomPress(bool zoomIn);
  void ZoomRelease();

  // ---- Keys ----
  // True when the key was a shortcut of the table (handled or disabled).
  bool HandleKeyPress(QKeyEvent* event);
  bool HandleKeyRelease(QKeyEvent* event);
  // Runs a row of the shortcut table whose button is enabled: the
  // controller's command, or the screen's own zoom and nudge. False (nothing
  // done) for rows the screen does not run (none, help) and for the arrows
  // while no handle frame is shown, so the focused control keeps them.
  bool RunKey(const TKeyAction& action);
  // Whether the button of a key-table row is enabled (slot: the slot button
  // for SelectSlot). Unset: every command is enabled and the slot buttons of
  // the current template's slots.
  std::function<bool(TKeyCommand command, int slot)> CommandEnabled;

  // ---- Print quality ----
  // "打印精度 300 ppi", with a warning below 150 ppi; empty without a photo.
  QString PrintQualityText() const;
  bool PrintQualityLow() const;

  // ---- Inside (tests and benchmarks) ----
  TImage32* Canvas() const { return FCanvas; }
  TMyRotLayer* PhotoLayer() const { return FPhotoLayer; }
  TBitmapLayer* MaskLayer() const { return FMaskLayer; }
  TRotRubberbandLayer* Band() const { return FPhotoLayer->Band; }
  QLabel* TemplateImage() const { return FTemplateImage; }
  QLabel* Notice() const { return FNotice; }
  bool PhotoPageShown() const;
  // Waits (running events) until the photo being decoded is shown; false
  // after `timeoutMs`.
  bool WaitForPhoto(int timeoutMs);
  // The decoded picture's size (may be smaller than the photo's true size).
  QSize DecodedSize() const { return FPhotoLayer->Bitmap.Image.size(); }

 signals:
  // The print-quality line changed (for the window's hint line).
  void PrintQualityChanged(const QString& text, bool low);
  // The photo being decoded arrived (or failed).
  void PhotoDecoded();

 private:
  struct TCached {
    std::string File;
    QSize MinSize;  // what it was decoded for
    QImage Image;   // upright, premultiplied
    QSize FullSize;
  };
  void BuildSlotMask(const TSlotWindow& window);
  void ShowPhoto(TTempNode& temp, int slotIndex, const std::string& photoFile);
  void ShowNoPhoto(const QString& notice);
  void AttachHandles();
  void FreeHandles();
  void ApplyBitmap(const QImage& image);
  void RequestDecode(const std::string& file, QSize minSize);
  QSize DecodeSizeFor(const TRectF& rect) const;
  const TCached* FindCached(const std::string& file, QSize minSize) const;
  void UpdatePrintQuality();
  void ZoomTimerTick();
  bool Enabled(TKeyCommand command, int slot) const;

  TMainController& FController;
  QStackedWidget* FPages;
  QWidget* FPhotoPage;
  QWidget* FTemplatePage;
  TImage32* FCanvas;
  TMyRotLayer* FPhotoLayer;
  TBitmapLayer* FMaskLayer;
  QLabel* FTemplateImage;
  QLabel* FNotice;
  QLabel* FBadge;
  QTimer FZoomTimer;
  bool FBandDragging = false;
  std::string FPhotoFile;  // what the photo layer shows (or is decoding)
  QSize FRequested;        // the decode size asked for FPhotoFile
  int FGeneration = 0;     // stale decodes are dropped
  bool FDecoding = false;
  std::list<TCached> FCache;  // most recent first
  QThreadPool FPool;
};

}  // namespace tessaro
