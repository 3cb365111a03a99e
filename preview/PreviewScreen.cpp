#include "preview/PreviewScreen.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/FileIo.h"
#include "imaging/codecs/Codecs.h"
#include "model/func.h"

namespace tessaro {

namespace {

constexpr int kZoomIntervalMs = 10;
constexpr int kCheckerSize = 13;
constexpr QRgb kCheckerGrey = 0xFFB0B0B0;
constexpr int kMaskAlpha = 220;
// Decoded photos kept for switching back to a slot: at most this many, and
// beyond the newest one at most this many bytes (a photo zoomed far into may
// be decoded at full size).
constexpr size_t kCacheEntries = 8;
constexpr qsizetype kCacheBytes = qsizetype(256) << 20;
// A decode is enough while the photo is drawn at most this much larger than
// its decoded pixels.
constexpr double kEnlargeBeforeRedecode = 1.5;
constexpr const char* kMissingPhotoText = "照片文件不存在，请重新导入：\n";
constexpr const char* kUnreadablePhotoText = "无法读取照片文件：\n";

QImage ToPremultiplied(const Image& src) {
  if (src.empty()) return {};
  QImage wrapped(reinterpret_cast<const uchar*>(src.data()), src.width(), src.height(),
                 static_cast<qsizetype>(src.StrideBytes()), QImage::Format_RGBA8888);
  return wrapped.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// 13 x 13 squares from (0, 0): light grey where column and row are both even
// or both odd, else white.
QImage Checkerboard(QSize size) {
  QImage board(size, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < board.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(board.scanLine(y));
    const int row = y / kCheckerSize;
    for (int x = 0; x < board.width(); ++x)
      line[x] = (x / kCheckerSize) % 2 == row % 2 ? kCheckerGrey : 0xFFFFFFFF;
  }
  return board;
}

// Shows a JPEG fitted into a box (never enlarged), centred, without
// smoothing. A missing or unreadable file changes nothing.
void ShowImageFitted(const std::string& file, QLabel* control, int boxWidth, int boxHeight) {
  if (file.empty() || !FileExists(file)) return;
  QImage picture(QString::fromStdString(file));
  if (picture.isNull()) return;
  int32_t w = boxWidth, h = boxHeight;
  FitInBox(picture.width(), picture.height(), w, h);
  if (w <= 0 || h <= 0) return;
  control->setPixmap(QPixmap::fromImage(picture.scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
  control->setGeometry((boxWidth - w) / 2, (boxHeight - h) / 2, w, h);
}

}  // namespace

// ---------------------------------------------------------------------------
// Key table

TKeyStroke KeyStrokeOf(int key, Qt::KeyboardModifiers modifiers) {
  TKeyStroke k;
  k.Ctrl = modifiers.testFlag(Qt::ControlModifier);
  k.Shift = modifiers.testFlag(Qt::ShiftModifier);
  k.Alt = modifiers.testFlag(Qt::AltModifier);
  k.Keypad = modifiers.testFlag(Qt::KeypadModifier);
  // Shifted digits arrive as their symbols on a US layout.
  static const QString kShiftedDigits = ")!@#$%^&*(";
  if (key >= Qt::Key_F1 && key <= Qt::Key_F8) {
    k.Code = kKeyF1 + (key - Qt::Key_F1);
  } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    k.Code = kKeyEnter;
  } else if (key == Qt::Key_Plus || key == Qt::Key_Equal) {
    k.Code = kKeyPlus;
  } else if (key == Qt::Key_Minus) {
    k.Code = kKeyMinus;
  } else if (key == Qt::Key_Left) {
    k.Code = kKeyLeft;
  } else if (key == Qt::Key_Right) {
    k.Code = kKeyRight;
  } else if (key == Qt::Key_Up) {
    k.Code = kKeyUp;
  } else if (key == Qt::Key_Down) {
    k.Code = kKeyDown;
  } else if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
    k.Code = key;
  } else if (k.Shift && key < 0x80 && kShiftedDigits.contains(QChar(key))) {
    k.Code = '0' + int(kShiftedDigits.indexOf(QChar(key)));
  }
  return k;
}

TKeyAction MatchPreviewKey(int key, Qt::KeyboardModifiers modifiers) {
  return MapKey(KeyStrokeOf(key, modifiers));
}

// ---------------------------------------------------------------------------
// Sample panel

TSamplePanel::TSamplePanel(QWidget* parent, TMainController& controller)
    : QWidget(parent), FController(controller) {
  FPages = new QStackedWidget(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(FPages);
  for (QLabel** label : {&FSample, &FResult}) {
    auto* page = new QWidget(FPages);
    *label = new QLabel(page);
    (*label)->setScaledContents(true);
    (*label)->installEventFilter(this);
    FPages->addWidget(page);
  }
}

void TSamplePanel::ShowSample(const std::string& sampleFile) {
  FPages->setCurrentIndex(0);
  FSample->clear();
  FSample->resize(0, 0);
  ShowImageFitted(sampleFile, FSample, width(), height());
}

void TSamplePanel::ShowResult(const std::string& previewFile) {
  FPages->setCurrentIndex(1);
  FResult->clear();
  FResult->resize(0, 0);
  ShowImageFitted(previewFile, FResult, width(), height());
}

bool TSamplePanel::ResultShown() const { return FPages->currentIndex() == 1; }

bool TSamplePanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    if (watched == FSample) FController.ImageSampleMouseDown();
    if (watched == FResult) FController.ImageResultMouseDown();
  }
  return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Preview screen

TPreviewScreen::TPreviewScreen(QWidget* parent, TMainController& controller)
    : QWidget(parent), FController(controller) {
  setFixedSize(kPreviewPanelWidth, kPreviewPanelHeight);
  FPool.setMaxThreadCount(1);
  FPages = new QStackedWidget(this);
  FPages->setGeometry(0, 0, kPreviewPanelWidth, kPreviewPanelHeight);

  // "Photo": the canvas inside the panel's one-pixel border.
  FPhotoPage = new QWidget(FPages);
  FPhotoPage->setAutoFillBackground(true);
  FCanvas = new TImage32(FPhotoPage);
  FCanvas->setGeometry(1, 1, kPreviewCanvasWidth, kPreviewCanvasHeight);
  FCanvas->PaintStage = [board = QImage()](QImage& buffer) mutable {
    if (board.size() != buffer.size()) board = Checkerboard(buffer.size());
    std::memcpy(buffer.bits(), board.constBits(), static_cast<size_t>(board.sizeInBytes()));
  };
  FPhotoLayer = FCanvas->Layers().Add<TMyRotLayer>();
  FPhotoLayer->DestRect = {0, 0, kPreviewCanvasWidth, kPreviewCanvasHeight};
  FPhotoLayer->SetScaled(false);
  FMaskLayer = FCanvas->Layers().Add<TBitmapLayer>();
  FMaskLayer->Bitmap.SetSize(kPreviewCanvasWidth, kPreviewCanvasHeight);
  FMaskLayer->SetLocation({0, 0, kPreviewCanvasWidth, kPreviewCanvasHeight});
  FMaskLayer->SetScaled(false);
  FCanvas->RegisterCursor(101, QCursor(Qt::CrossCursor));
  FNotice = new QLabel(FCanvas);
  FNotice->setAlignment(Qt::AlignCenter);
  FNotice->setWordWrap(true);
  FNotice->setStyleSheet("QLabel { color: white; background: rgba(0,0,0,160); padding: 6px; }");
  FNotice->hide();
  FBadge = new QLabel(FCanvas);
  FBadge->hide();
  FPages->addWidget(FPhotoPage);

  // "Template": the template's picture fitted into the page.
  FTemplatePage = new QWidget(FPages);
  FTemplateImage = new QLabel(FTemplatePage);
  FTemplateImage->setScaledContents(true);
  FPages->addWidget(FTemplatePage);
  FPages->setCurrentWidget(FTemplatePage);

  FZoomTimer.setInterval(kZoomIntervalMs);
  connect(&FZoomTimer, &QTimer::timeout, this, [this] { ZoomTimerTick(); });
}

TPreviewScreen::~TPreviewScreen() {
  FPool.clear();
  FPool.waitForDone();
}

bool TPreviewScreen::PhotoPageShown() const { return FPages->currentWidget() == FPhotoPage; }

TSlotWindowGeometry TPreviewScreen::SlotWindowGeometry() const {
  TSlotWindowGeometry g;
  g.MaskWidth = FMaskLayer->Bitmap.Width();
  g.MaskHeight = FMaskLayer->Bitmap.Height();
  g.PixelsPerInch = logicalDpiX() > 0 ? logicalDpiX() : kDefaultPixelsPerInch;
  return g;
}

void TPreviewScreen::BuildSlotMask(const TSlotWindow& window) {
  QImage& mask = FMaskLayer->Bitmap.Image;
  mask.fill(qRgba(0, 0, 0, kMaskAlpha));  // black at alpha 220, premultiplied
  const int x0 = std::max(0, window.Left), x1 = std::min(mask.width() - 1, window.Right);
  const int y0 = std::max(0, window.Top), y1 = std::min(mask.height() - 1, window.Bottom);
  for (int y = y0; y <= y1; ++y) {
    auto* line = reinterpret_cast<QRgb*>(mask.scanLine(y));
    for (int x = x0; x <= x1; ++x) line[x] = 0;
  }
  // A one-pixel red outline of columns left..right and rows top..bottom - 1.
  const QRgb red = qRgb(255, 0, 0);
  auto put = [&mask, red](int x, int y) {
    if (x >= 0 && y >= 0 && x < mask.width() && y < mask.height())
      reinterpret_cast<QRgb*>(mask.scanLine(y))[x] = red;
  };
  for (int x = window.Left; x <= window.Right; ++x) {
    put(x, window.Top);
    put(x, window.Bottom - 1);
  }
  for (int y = window.Top; y <= window.Bottom - 1; ++y) {
    put(window.Left, y);
    put(window.Right, y);
  }
  FMaskLayer->Bitmap.Changed();
}

void TPreviewScreen::SelectSlot(TTempNode& temp, int slotIndex, const std::string& photoFile) {
  FPages->setCurrentWidget(FPhotoPage);
  if (auto window = SlotWindowFor(temp, slotIndex, SlotWindowGeometry())) {
    FController.SlotEdit.SetWindow(*window);
    BuildSlotMask(*window);
  }
  FreeHandles();
  ShowPhoto(temp, slotIndex, photoFile);
}

void TPreviewScreen::LoadSlotPhoto(TTempNode& temp, int slotIndex, const std::string& photoFile) {
  FreeHandles();
  ShowPhoto(temp, slotIndex, photoFile);
}

void TPreviewScreen::ShowNoPhoto(const QString& notice) {
  FController.SlotEdit.Clear();
  FPhotoFile.clear();
  ++FGeneration;
  FDecoding = false;
  FPhotoLayer->SetFlipHorz(false);
  FPhotoLayer->SetFlipVert(false);
  FPhotoLayer->Bitmap.SetSize(0, 0);
  if (notice.isEmpty()) {
    FNotice->hide();
  } else {
    const TSlotWindow& w = FController.SlotEdit.Window();
    FNotice->setText(notice);
    const QRect box = QRect(QPoint(w.Left, w.Top), QPoint(w.Right, w.Bottom)).intersected(FCanvas->rect());
    FNotice->setGeometry(box.isValid() && box.width() > 40 ? box : FCanvas->rect());
    FNotice->show();
  }
  UpdatePrintQuality();
}

void TPreviewScreen::ShowPhoto(TTempNode& temp, int slotIndex, const std::string& photoFile) {
  if (photoFile.empty() || slotIndex < 0 || slotIndex >= static_cast<int>(temp.Slots.size())) {
    ShowNoPhoto({});
    return;
  }
  const QString name = QString::fromStdString(FileNameOf(photoFile));
  if (!FileExists(photoFile)) {
    ShowNoPhoto(QString::fromUtf8(kMissingPhotoText) + name);
    return;
  }
  Result<ImageInfo> info = ProbeImageFile(photoFile);
  if (!info.ok() || info->DisplayWidth() <= 0 || info->DisplayHeight() <= 0) {
    ShowNoPhoto(QString::fromUtf8(kUnreadablePhotoText) + name);
    return;
  }
  FNotice->hide();
  TSlotEdit& edit = FController.SlotEdit;
  edit.ShowPhoto(*temp.Slots[slotIndex], info->DisplayWidth(), info->DisplayHeight());

  // The pixels: from the cache at once, else decoded in the background.
  ++FGeneration;
  FDecoding = false;
  FPhotoFile = photoFile;
  const QSize want = DecodeSizeFor(edit.DestRect);
  FPhotoLayer->SetFlipHorz(false);
  FPhotoLayer->SetFlipVert(false);
  if (const TCached* cached = FindCached(photoFile, want)) {
    FRequested = cached->MinSize;
    ApplyBitmap(cached->Image);
  } else {
    FPhotoLayer->Bitmap.SetSize(0, 0);
    RequestDecode(photoFile, want);
  }
  AttachHandles();
  SlotPhotoChanged();
}

QSize TPreviewScreen::DecodeSizeFor(const TRectF& rect) const {
  // At least the canvas's share of the photo, never more than the photo.
  const TSlotEdit& edit = FController.SlotEdit;
  const int w =
      std::clamp(static_cast<int>(std::ceil(std::abs(rect.Width()))), 1, std::max(1, edit.PhotoWidth()));
  const int h =
      std::clamp(static_cast<int>(std::ceil(std::abs(rect.Height()))), 1, std::max(1, edit.PhotoHeight()));
  return {w, h};
}

const TPreviewScreen::TCached* TPreviewScreen::FindCached(const std::string& file, QSize minSize) const {
  for (const TCached& c : FCache) {
    if (c.File != file) continue;
    const bool full = c.Image.width() >= c.FullSize.width() && c.Image.height() >= c.FullSize.height();
    if (full || (c.Image.width() >= minSize.width() && c.Image.height() >= minSize.height())) return &c;
  }
  return nullptr;
}

void TPreviewScreen::RequestDecode(const std::string& file, QSize minSize) {
  const int generation = FGeneration;
  FDecoding = true;
  FRequested = minSize;
  FPool.start([this, file, minSize, generation] {
    DecodeOptions options;
    options.minWidth = minSize.width();
    options.minHeight = minSize.height();
    Result<DecodedImage> decoded = DecodeImageFile(file, options);
    QImage image;
    QSize full;
    if (decoded.ok()) {
      image = ToPremultiplied(decoded->pixels);
      full = QSize(decoded->info.DisplayWidth(), decoded->info.DisplayHeight());
    }
    QMetaObject::invokeMethod(
        this,
        [this, file, minSize, generation, image = std::move(image), full] {
          if (!image.isNull()) {
            std::erase_if(FCache, [&](const TCached& c) { return c.File == file; });
            FCache.push_front({file, minSize, image, full});
            qsizetype bytes = 0;
            size_t kept = 0;
            for (auto it = FCache.begin(); it != FCache.end();) {
              const qsizetype size = it->Image.sizeInBytes();
              if (kept == 0 || (kept < kCacheEntries && bytes + size <= kCacheBytes)) {
                bytes += size;
                ++kept;
                ++it;
              } else {
                it = FCache.erase(it);
              }
            }
          }
          if (generation != FGeneration) return;
          FDecoding = false;
          emit PhotoDecoded();
          if (image.isNull()) {
            ShowNoPhoto(QString::fromUtf8(kUnreadablePhotoText) + QString::fromStdString(FileNameOf(file)));
            FreeHandles();
            return;
          }
          ApplyBitmap(image);
        },
        Qt::QueuedConnection);
  });
}

void TPreviewScreen::ApplyBitmap(const QImage& image) {
  // Mirroring acts on the pixels: start from the upright picture.
  FPhotoLayer->SetFlipHorz(false);
  FPhotoLayer->SetFlipVert(false);
  FPhotoLayer->Bitmap.LinearResampler = true;
  FPhotoLayer->Bitmap.Assign(image);
  FPhotoLayer->Pivot = QPointF(image.width() / 2.0, image.height() / 2.0);
  const TSlotEdit& edit = FController.SlotEdit;
  FPhotoLayer->SetFlipHorz(edit.FlipH);
  FPhotoLayer->SetFlipVert(edit.FlipV);
  FPhotoLayer->Changed();
}

bool TPreviewScreen::WaitForPhoto(int timeoutMs) {
  if (FDecoding) {
    QEventLoop loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    connect(this, &TPreviewScreen::PhotoDecoded, &loop, &QEventLoop::quit);
    if (FDecoding) loop.exec();
  }
  QCoreApplication::processEvents();
  return !FDecoding;
}

void TPreviewScreen::FreeHandles() {
  if (FPhotoLayer->Band) {
    FCanvas->Layers().Remove(FPhotoLayer->Band);
    FPhotoLayer->Band = nullptr;
  }
  FBandDragging = false;
}

void TPreviewScreen::AttachHandles() {
  if (!FPhotoLayer->Band) FPhotoLayer->Band = FCanvas->Layers().Add<TRotRubberbandLayer>();
  TRotRubberbandLayer* band = FPhotoLayer->Band;
  TLayerCollection& layers = FCanvas->Layers();
  layers.BeginUpdate();
  const TRectF& r = FController.SlotEdit.DestRect;
  band->SetLocation(r);
  band->SetAngle(FController.SlotEdit.Angle);
  band->SetScaled(true);
  band->RotateCursor = 101;
  band->Cursor = Qt::OpenHandCursor;
  band->SetHandles(band->Handles() & ~bhFrame);
  band->RotLayer = FPhotoLayer;
  band->OnBandMouseDown = [this](TBandDragState, Qt::MouseButton button, Qt::KeyboardModifiers, double,
                                 double) {
    if (button == Qt::LeftButton) FBandDragging = true;
  };
  band->OnBandMouseMove = [this](TBandDragState, Qt::KeyboardModifiers, double, double) {
    if (!FBandDragging || !FPhotoLayer->Band) return;
    TRotRubberbandLayer* b = FPhotoLayer->Band;
    if (!(b->Handles() & bhFrame)) b->SetHandles(b->Handles() | bhFrame);
    FPhotoLayer->DestRect = b->Location();
    FPhotoLayer->SetAngle(b->Angle());
  };
  band->OnBandMouseUp = [this](TBandDragState state, Qt::MouseButton, Qt::KeyboardModifiers, double, double) {
    if (!FBandDragging || !FPhotoLayer->Band) return;
    TRotRubberbandLayer* b = FPhotoLayer->Band;
    const TFloatRect loc = b->Location();
    const bool move = state == TBandDragState::Move;
    if (move) b->SetHandles(b->Handles() & ~bhFrame);
    FBandDragging = false;
    FController.BandDragFinished(loc, static_cast<float>(b->Angle()), move);
    FCanvas->update();
  };
  band->OnBandDblClick = [] {};
  layers.EndUpdate();
}

void TPreviewScreen::SlotPhotoChanged() {
  const TSlotEdit& edit = FController.SlotEdit;
  if (!edit.HasPhoto()) return;
  const TRectF& r = edit.DestRect;
  FPhotoLayer->DestRect = r;
  FPhotoLayer->SetAngle(edit.Angle);
  if (!FPhotoLayer->Bitmap.Empty()) {
    FPhotoLayer->SetFlipHorz(edit.FlipH);
    FPhotoLayer->SetFlipVert(edit.FlipV);
  }
  if (TRotRubberbandLayer* band = FPhotoLayer->Band) {
    band->SetLocation(r);
    band->SetAngle(edit.Angle);
  }
  // Zoomed far past the decoded pixels: decode larger.
  const QImage& pixels = FPhotoLayer->Bitmap.Image;
  if (!FDecoding && !pixels.isNull() && !FPhotoFile.empty() && pixels.width() < edit.PhotoWidth() &&
      std::abs(r.Width()) > pixels.width() * kEnlargeBeforeRedecode) {
    const QSize want = DecodeSizeFor(r);
    if (const TCached* cached = FindCached(FPhotoFile, want))
      ApplyBitmap(cached->Image);
    else
      RequestDecode(FPhotoFile, want);
  }
  UpdatePrintQuality();
  FCanvas->update();
}

void TPreviewScreen::ShowTemplatePicture(const std::string& jpegFile) {
  FPages->setCurrentWidget(FTemplatePage);
  if (jpegFile.empty()) {
    FTemplateImage->clear();
    FTemplateImage->resize(0, 0);
    return;
  }
  ShowImageFitted(jpegFile, FTemplateImage, kPreviewPanelWidth, kPreviewPanelHeight);
}

void TPreviewScreen::ShowTemplatePage() {
  FPages->setCurrentWidget(FTemplatePage);
  FZoomTimer.stop();
  FController.SlotEdit.ZoomDirection = -1;
  UpdatePrintQuality();
}

QString TPreviewScreen::PrintQualityText() const {
  auto ppi = FController.SlotPrintPpi();
  if (!ppi) return {};
  const int value = static_cast<int>(std::lround(*ppi));
  if (*ppi < kLowPrintPpi) return QString::fromUtf8("打印精度 %1 ppi，低于 150 ppi，成品可能模糊").arg(value);
  return QString::fromUtf8("打印精度 %1 ppi").arg(value);
}

bool TPreviewScreen::PrintQualityLow() const {
  auto ppi = FController.SlotPrintPpi();
  return ppi && *ppi < kLowPrintPpi;
}

void TPreviewScreen::UpdatePrintQuality() {
  const QString text = PrintQualityText();
  const bool low = PrintQualityLow();
  if (text.isEmpty()) {
    FBadge->hide();
  } else {
    FBadge->setText(text);
    FBadge->setStyleSheet(low ? "QLabel { color: white; background: rgba(200,0,0,200); padding: 2px; }"
                              : "QLabel { color: white; background: rgba(0,0,0,140); padding: 2px; }");
    FBadge->adjustSize();
    FBadge->move(4, FCanvas->height() - FBadge->height() - 4);
    FBadge->show();
  }
  emit PrintQualityChanged(text, low);
}

void TPreviewScreen::ZoomPress(bool zoomIn) {
  FController.StartZoom(zoomIn);
  FZoomTimer.start();
}

void TPreviewScreen::ZoomRelease() {
  FZoomTimer.stop();
  FController.StopZoom();
  UpdatePrintQuality();
}

void TPreviewScreen::ZoomTimerTick() {
  if (!FController.ZoomTick() && FController.SlotEdit.ZoomDirection == -1) FZoomTimer.stop();
}

bool TPreviewScreen::Enabled(TKeyCommand command, int slot) const {
  if (CommandEnabled) return CommandEnabled(command, slot);
  if (command == TKeyCommand::SelectSlot) {
    const TTempNode* temp = FController.CurrentTemplate();
    return temp && slot >= 0 && slot < static_cast<int>(temp->Slots.size());
  }
  return true;
}

bool TPreviewScreen::HandleKeyPress(QKeyEvent* event) {
  const TKeyAction key = MatchPreviewKey(event->key(), event->modifiers());
  if (key.Command == TKeyCommand::None || key.Command == TKeyCommand::Help) return false;
  if (key.Command == TKeyCommand::Nudge) {
    if (!FPhotoLayer->Band) return false;
  } else if (!Enabled(key.Command, key.Slot)) {
    return true;
  }
  if (event->isAutoRepeat() && (key.Command == TKeyCommand::ZoomIn || key.Command == TKeyCommand::ZoomOut))
    return true;
  RunKey(key);
  return true;
}

bool TPreviewScreen::HandleKeyRelease(QKeyEvent* event) {
  if (event->isAutoRepeat()) return false;
  const TKeyAction key = MatchPreviewKey(event->key(), event->modifiers());
  if (key.Command != TKeyCommand::ZoomIn && key.Command != TKeyCommand::ZoomOut) return false;
  if (!Enabled(key.Command, -1)) return true;
  ZoomRelease();
  return true;
}

bool TPreviewScreen::RunKey(const TKeyAction& action) {
  using C = TKeyCommand;
  TMainController& c = FController;
  switch (action.Command) {
    case C::ImportTemplates:
      c.ImageButtonTempClick();
      break;
    case C::ImportPhotos:
      c.ImageButtonPhotoClick();
      break;
    case C::BatchPreview:
      c.ImageButtonBatchPreviewClick();
      break;
    case C::PreviewSingle:
      c.ImageButtonPreviewSingleClick();
      break;
    case C::SingleResult:
      c.ImageButtonSingleCreateResultClick();
      break;
    case C::BatchResult:
      c.ImageButtonBatchCreateResultClick();
      break;
    case C::EditPhoto:
      c.ImageButtonPhotoShopClick();
      break;
    case C::ZoomIn:
    case C::ZoomOut:
      ZoomPress(action.Command == C::ZoomIn);
      break;
    case C::FlipH:
    case C::FlipV:
      c.FlipSlotPhoto(action.Command == C::FlipH);
      break;
    case C::RotateLeft90:
      c.RotateSlotPhoto(90);
      break;
    case C::RotateRight90:
      c.RotateSlotPhoto(-90);
      break;
    case C::RotateLeft1:
      c.RotateSlotPhoto(1);
      break;
    case C::RotateRight1:
      c.RotateSlotPhoto(-1);
      break;
    case C::ResetPhoto:
      c.ResetSlotPhoto();
      break;
    case C::NewSet:
      c.ButtonNewSetClick();
      break;
    case C::SaveSet:
      c.ButtonSaveSetClick();
      break;
    case C::SaveSetAs:
      c.ButtonSaveAsSetClick();
      break;
    case C::LoadSet:
      c.ButtonLoadSetClick();
      break;
    case C::SelectAllSets:
      c.ButtonSelectAllSetClick();
      break;
    case C::SelectSlot:
      c.SelectSlot(action.Slot);
      break;
    case C::Nudge:
      if (!FPhotoLayer->Band) return false;
      c.NudgeSlotPhoto(action.Dx, action.Dy);
      break;
    case C::None:
    case C::Help:
      return false;
  }
  return true;
}

}  // namespace tessaro
