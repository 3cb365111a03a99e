// The main window's behaviour: events forwarded to the controller, the views
// the controller draws on (preview service, window service), the shortcut
// keys, the hint line, the pop-up menus and closing.
#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QMessageBox>
#include <QUrl>

#include "app/MainForm.h"
#include "app/MainFormSkin.h"
#include "base/FileIo.h"
#include "controls/Skin.h"

namespace tessaro {

namespace {

const char* kHintProperty = "tessaroHint";

TKeyStroke ToStroke(const QKeyEvent& e) { return KeyStrokeOf(e.key(), e.modifiers()); }

}  // namespace

void TMainForm::WireEvents() {
  auto click = [this](const char* name, std::function<void()> action) {
    auto* button = findChild<QAbstractButton*>(name);
    Q_ASSERT(button);
    connect(button, &QAbstractButton::clicked, this, [action = std::move(action)] { action(); });
  };
  TMainController& c = *FController;
  click("ImageButtonTemp", [&c] { c.ImageButtonTempClick(); });
  click("ImageButtonPhoto", [&c] { c.ImageButtonPhotoClick(); });
  // The composition commands act once an engine is given.
  auto composing = [this](void (TMainController::*command)()) {
    return [this, command] {
      if (FCompose) (FController.get()->*command)();
    };
  };
  click("ImageButtonPreviewSingle", composing(&TMainController::ImageButtonPreviewSingleClick));
  click("ImageButtonBatchPreview", composing(&TMainController::ImageButtonBatchPreviewClick));
  click("ImageButtonSingleCreateResult", composing(&TMainController::ImageButtonSingleCreateResultClick));
  click("ImageButtonBatchCreateResult", composing(&TMainController::ImageButtonBatchCreateResultClick));
  click("ImageButtonPhotoShop", composing(&TMainController::ImageButtonPhotoShopClick));
  click("suiImageButtonSet", [this] {
    if (OnSettings) OnSettings();
  });
  // The help menu opens on the mouse going down, like the size menu.
  connect(static_cast<QAbstractButton*>(FHelpButton), &QAbstractButton::pressed, this, [this] {
    static_cast<QAbstractButton*>(FHelpButton)->setDown(false);
    PopupAt(*FHelpMenu, *FHelpButton);
  });
  FJpgButton->OnClick = [this](TImageButton*) { ChooseFormat(true); };
  FPsdButton->OnClick = [this](TImageButton*) { ChooseFormat(false); };

  click("ButtonTemp", [&c] { c.ButtonTempClick(); });
  click("ButtonPhoto", [&c] { c.ButtonPhotoClick(); });
  click("ButtonSelectAll", [&c] { c.ButtonSelectAllClick(); });
  click("ButtonDel", [&c] { c.ButtonDelClick(); });
  click("ButtonStat", [this] {
    if (OnToggleStat) OnToggleStat();
  });
  click("ButtonNewSet", [&c] { c.ButtonNewSetClick(); });
  click("ButtonSaveSet", [&c] { c.ButtonSaveSetClick(); });
  click("ButtonSaveAsSet", [&c] { c.ButtonSaveAsSetClick(); });
  click("ButtonLoadSet", [&c] { c.ButtonLoadSetClick(); });
  click("ButtonSelectAllSet", [&c] { c.ButtonSelectAllSetClick(); });
  click("ButtonDelSet", [&c] { c.ButtonDelSetClick(); });
  click("ButtonSample", [&c] { c.ButtonSampleClick(); });
  click("ButtonResultPhoto", [&c] { c.ButtonResultPhotoClick(); });

  // The photo tools act on the selected slot's photo through the controller;
  // the zoom buttons zoom while held.
  for (bool in : {true, false}) {
    auto* zoom = findChild<QAbstractButton*>(in ? "ImageButtonZoomIn" : "ImageButtonZoomOut");
    connect(zoom, &QAbstractButton::pressed, this, [this, in] { FPreview->ZoomPress(in); });
    connect(zoom, &QAbstractButton::released, this, [this] { FPreview->ZoomRelease(); });
  }
  click("ImageButtonFlipH", [&c] { c.FlipSlotPhoto(true); });
  click("ImageButtonFlipV", [&c] { c.FlipSlotPhoto(false); });
  click("ImageButtonRotateLeft90", [&c] { c.RotateSlotPhoto(90); });
  click("ImageButtonRotateRight90", [&c] { c.RotateSlotPhoto(-90); });
  click("ImageButtonRotateLeft1", [&c] { c.RotateSlotPhoto(1); });
  click("ImageButtonRotateRight1", [&c] { c.RotateSlotPhoto(-1); });
  click("ImageButtonInit", [&c] { c.ResetSlotPhoto(); });
  click("ButtonCancelEffect", [this, &c] {
    c.ButtonCancelEffectClick();
    DrawEffectButton();
  });
  FSizeEdit->OnMouseDown = [this](TMyEdit*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    PopupAt(*FSizeMenu, *FSizeEdit);
  };

  for (int i = 0; i < kSlotButtonCount; ++i) {
    TImageButton* button = FSlotButtons[i];
    button->OnMouseDown = [this, i](TImageButton* b, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
      if (b->isEnabled()) FController->SelectSlot(i);
    };
    button->OnMouseEnter = [this, i](TImageButton* b) {
      b->HoverEnter();
      FHint.EnterSlot(i, b->isEnabled());
      ShowHint(FHint.Text());
    };
    button->OnMouseLeave = [this](TImageButton* b) {
      b->HoverLeave();
      FHint.LeaveSlot(b->isEnabled());
      ShowHint(FHint.Text().empty() ? FPrintQuality : FHint.Text());
    };
    button->installEventFilter(this);  // double-clicks import photos for the slot
  }

  FTempList->OnRowChanged = [&c](int oldRow, int newRow) { c.MyListBoxTempRowChanged(oldRow, newRow); };
  FTempList->OnTextClick = [&c](QWidget*, int row, int col, void*, const std::string&) {
    c.MyListBoxTempTextClick(row, col);
  };
  FPhotoList->OnTextClick = [&c](QWidget*, int row, int col, void*, const std::string&) {
    c.MyListBoxPhotoTextClick(row, col);
  };
  FPhotoList->OnTextDblClick = [&c](QWidget*, int row, int col, void*, const std::string&) {
    c.MyListBoxPhotoTextDblClick(row, col);
  };
  FSetList->OnTextClick = [&c](QWidget*, int row, int col, void*, const std::string&) {
    c.MyListBoxSetTextClick(row, col);
  };

  // The help menu: the bundled help and the version box (there is no web
  // site to open).
  FHelpMenu = new QMenu(this);
  FHelpMenu->setObjectName("PopupMenuHelp");
  QAction* help = FHelpMenu->addAction(QString::fromUtf8(kHelpMenuHelpItem), this, [this] { OpenHelp(); });
  help->setShortcut(QKeySequence(Qt::Key_F1));
  help->setShortcutContext(Qt::WidgetShortcut);  // F1 itself goes through HandleKey
  FHelpMenu->addAction(QString::fromUtf8(kHelpMenuVersionItem), this, [this] { ShowVersion(); });
  FSizeMenu = new QMenu(this);
  FSizeMenu->setObjectName("PopupMenuSize");
  const char* menuStyle =
      "QMenu { background: white; color: black; border: 1px solid #8d97a5; }"
      "QMenu::item { height: 21px; padding: 0 24px 0 20px; }"
      "QMenu::item:selected { background: #1aecec; color: black; }"
      "QMenu::separator { height: 1px; background: #c8ccd2; margin: 3px 6px; }";
  FHelpMenu->setStyleSheet(menuStyle);
  FSizeMenu->setStyleSheet(menuStyle);
  if (!OnOpenHelp) {
    OnOpenHelp = [](const std::string& page) {
      QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(page)));
    };
  }
}

// ---------------------------------------------------------------------------
// Keys and the hint line

TWindowState TMainForm::State() const {
  TWindowState s;
  const TTempNode* temp = FController->CurrentTemplate();
  s.HasTemplate = temp != nullptr;
  s.SlotCount = temp ? static_cast<int>(temp->Slots.size()) : 0;
  s.HasSlot = FController->CurSlot != -1;
  s.ComposeAvailable = FCompose != nullptr;
  s.PreviewEditing = FPreview != nullptr;
  s.ModalOpen = QApplication::activeModalWidget() != nullptr;
  return s;
}

bool TMainForm::HandleKey(const TKeyStroke& stroke) {
  const TKeyAction action = MapKey(stroke);
  if (!CommandEnabled(action, State())) return false;
  if (action.Command == TKeyCommand::Help) {
    OpenHelp();
    return true;
  }
  // The preview screen runs the other rows: the controller's commands and
  // its own zoom and nudge.
  return FPreview && FPreview->RunKey(action);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const TKeyAction action = MapKey(ToStroke(*key));
    const bool zoomKey = action.Command == TKeyCommand::ZoomIn || action.Command == TKeyCommand::ZoomOut;
    if (type == QEvent::KeyRelease) {
      // Releasing = + or - ends a zoom started by the key.
      if (zoomKey && !key->isAutoRepeat() && CommandEnabled(action, State())) {
        FPreview->ZoomRelease();
        return true;
      }
      return false;
    }
    // Held zoom keys repeat; the zoom runs on its own timer until released.
    if (zoomKey && key->isAutoRepeat()) return CommandEnabled(action, State());
    return HandleKey(ToStroke(*key));
  }
  if (type == QEvent::MouseButtonDblClick) {
    for (int i = 0; i < kSlotButtonCount; ++i) {
      if (watched == FSlotButtons[i] && FSlotButtons[i]->isEnabled()) {
        FController->SlotButtonDblClick(i);
        return true;
      }
    }
  }
  if (type == QEvent::Enter || type == QEvent::Leave) {
    const QVariant hint = watched->property(kHintProperty);
    if (hint.isValid()) {
      if (type == QEvent::Enter)
        FHint.Enter(static_cast<THintControl>(hint.toInt()));
      else
        FHint.Leave();
      ShowHint(FHint.Text().empty() ? FPrintQuality : FHint.Text());
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (FController->FormCloseQuery())
    event->accept();
  else
    event->ignore();
}

// ---------------------------------------------------------------------------
// Preview service: slot buttons and pictures

void TMainForm::SelectSlot(TTempNode& temp, int slotIndex, const std::string& photoFile) {
  for (int i = 0; i < kSlotButtonCount; ++i) FSlotButtons[i]->SetChecked(i == slotIndex);
  FPreview->SelectSlot(temp, slotIndex, photoFile);
}

void TMainForm::LoadSlotPhoto(TTempNode& temp, int slotIndex, const std::string& photoFile) {
  FPreview->LoadSlotPhoto(temp, slotIndex, photoFile);
}

void TMainForm::SetSlotButtonHoldsPhoto(int slotIndex, bool holds) {
  if (slotIndex >= 0 && slotIndex < kSlotButtonCount) FSlotButtons[slotIndex]->SetState2(holds);
}

void TMainForm::ShowTemplateSlots(const TTempNode* temp) {
  const int count = temp ? static_cast<int>(temp->Slots.size()) : 0;
  for (int i = 0; i < kSlotButtonCount; ++i) {
    TImageButton* button = FSlotButtons[i];
    button->SetChecked(false);
    if (i >= count) {
      button->SetState2(false);
      button->setEnabled(false);
      continue;
    }
    const TSlotNode& slot = *temp->Slots[i];
    const bool opaque = slot.PhotoType != 0;
    if (opaque != FSlotOpaque[i]) {
      button->SetBmpNormal(SkinImage(opaque ? "slot_opaque_empty" : "slot_transparent_empty"));
      button->SetBmpState2Normal(SkinImage(opaque ? "slot_opaque_photo" : "slot_transparent_photo"));
      FSlotOpaque[i] = opaque;
    }
    button->setEnabled(true);
    button->SetState2(slot.PhotoIndex != -1);
  }
}

void TMainForm::UncheckSlotButtons() {
  for (TImageButton* button : FSlotButtons) button->SetChecked(false);
}

void TMainForm::ShowTemplatePicture(const std::string& jpegFile) {
  FTemplatePictureFile = FileExists(jpegFile) ? jpegFile : std::string();
  FPreview->ShowTemplatePicture(FTemplatePictureFile);
}

void TMainForm::ShowTemplatePage() { FPreview->ShowTemplatePage(); }

void TMainForm::ResetSampleAndSlotButtons() {
  ShowTemplatePicture("");
  ShowSample("");
  for (TImageButton* button : FSlotButtons) {
    button->SetChecked(false);
    button->SetState2(false);
    button->setEnabled(false);
  }
}

void TMainForm::ShowSample(const std::string& sampleFile) {
  FSamplePage = TSamplePage::Sample;
  DrawPageMarkers();
  FSamplePictureFile = FileExists(sampleFile) ? sampleFile : std::string();
  FSamplePanel->ShowSample(FSamplePictureFile);
}

void TMainForm::ShowResult(const std::string& previewFile) {
  FSamplePage = TSamplePage::Result;
  DrawPageMarkers();
  FSamplePanel->ShowResult(FileExists(previewFile) ? previewFile : std::string());
}

void TMainForm::SlotPhotoChanged() { FPreview->SlotPhotoChanged(); }

TSlotWindowGeometry TMainForm::SlotWindowGeometry() const { return FPreview->SlotWindowGeometry(); }

// ---------------------------------------------------------------------------
// Window service

void TMainForm::ShowLeftPage(TLeftPage page) {
  FLeftPage = page;
  FLeftNotebook->setCurrentIndex(page == TLeftPage::Template ? 0 : 1);
  DrawPageMarkers();
}

void TMainForm::SetSetInfo(const std::string& text) { FSetInfo->setText(QString::fromStdString(text)); }

void TMainForm::DrawSizeCaption(const std::string& text) { FSizeEdit->SetCaption(text); }

void TMainForm::SetSizeMenu(const std::vector<TSizeMenuItem>& items) {
  FSizeMenu->clear();
  for (const TSizeMenuItem& item : items) {
    if (item.Separator) {
      FSizeMenu->addSeparator();
      continue;
    }
    const int tag = item.Tag;
    FSizeMenu->addAction(QString::fromStdString(item.Caption), this,
                         [this, tag] { FController->ApplySize(tag); });
  }
}

void TMainForm::ClearStatLargeView() {
  if (OnClearStatLargeView) OnClearStatLargeView();
}

void TMainForm::PlayCompletionTune(const std::string& soundFile) {
  if (OnPlayTune) OnPlayTune(soundFile);
}

void TMainForm::StopCompletionTune() {
  if (OnStopTune) OnStopTune();
}

// ---------------------------------------------------------------------------
// Small commands of the window itself

void TMainForm::ChooseFormat(bool jpg) {
  if (jpg)
    FController->ImageButtonJpgFormatClick();
  else
    FController->ImageButtonPSDFormatClick();
  DrawFormatButtons();
}

void TMainForm::DrawFormatButtons() {
  FJpgButton->SetState2(FController->JpgOutput);
  FPsdButton->SetState2(!FController->JpgOutput);
}

void TMainForm::DrawEffectButton() {
  FButtonCancelEffect->setText(
      QString::fromUtf8(FController->CancelEffects ? "恢复照片特效" : "取消照片特效"));
}

void TMainForm::DrawPageMarkers() {
  const QIcon marker(QPixmap::fromImage(SkinImage("marker", QSize(16, 16))));
  const TPageMarkers left = LeftPageMarkers(FLeftPage == TLeftPage::Photo);
  FButtonTemp->setIcon(left.First ? marker : QIcon());
  FButtonPhoto->setIcon(left.Second ? marker : QIcon());
  const TPageMarkers sample = SamplePageMarkers(FSamplePage);
  FButtonSample->setIcon(sample.First ? marker : QIcon());
  FButtonResult->setIcon(sample.Second ? marker : QIcon());
}

void TMainForm::PopupAt(QMenu& menu, QWidget& control) {
  const TMenuOrigin origin = PopupMenuOrigin(control.x(), control.y(), control.height());
  QWidget* parent = control.parentWidget() ? control.parentWidget() : this;
  menu.popup(parent->mapToGlobal(QPoint(origin.X, origin.Y)));
}

void TMainForm::OpenHelp() {
  if (OnOpenHelp) OnOpenHelp(JoinPath(FServices->Paths.AppDir, kHelpIndexPage));
}

void TMainForm::ShowVersion() {
  QMessageBox box(QMessageBox::Information, QString::fromUtf8(kVersionBoxCaption),
                  QString::fromUtf8(kVersionText), QMessageBox::Ok, this);
  box.exec();
}

void TMainForm::SetComposeService(TComposeService& compose) {
  FCompose = &compose;
  FController->SetComposeService(compose);
}

void TMainForm::OpenSetAtStart(const std::string& file) {
  TMainController& c = *FController;
  const int row = c.CurSet;
  if (row < 0 || row >= static_cast<int>(c.SetList.size()) || !FileExists(file)) return;
  // The current set is the unnamed one of start-up: it becomes the file's set
  // and is read from the file as any set made current.
  c.SetList[row]->FileName = file;
  FSetRows->SetCellText(row, 0, StemOf(file));
  c.CurSet = -1;
  c.Modified = false;
  c.MakeSetCurrent(row);
}

QImage TMainForm::Snapshot() { return grab().toImage(); }

}  // namespace tessaro
