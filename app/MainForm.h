// TMainForm: the program's one main window. It lays out every region and
// control at its fixed place (client 1018 x 761), implements the controller's
// row lists (through the list controls' adapter), the preview service (slot
// buttons, template and sample pictures) and the window service, creates the
// controller on those views and forwards every event to it. Rules without
// widgets (hints, keys, page markers) live in model/MainWindow.h.
//
// Ownership: the window owns its child widgets, the list adapters and the
// controller; the services it is given are borrowed and must outlive it.
// GUI thread only.
#pragma once

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "app/PrefetchingDialogs.h"
#include "controls/ImageButton.h"
#include "controls/MyEdit.h"
#include "controls/MyListBoxRows.h"
#include "controls/MyListbox.h"
#include "model/Controller.h"
#include "model/MainWindow.h"
#include "model/Views.h"
#include "preview/PreviewScreen.h"

namespace tessaro {

class TPictureButton;

// What the window works with besides its own widgets. Tests pass fakes.
struct TMainFormServices {
  TDialogService& Dialogs;
  TProgressService& Progress;
  TDesktopService& Desktop;
  TPowerService& Power;
  const TClock& Clock;
  TControllerPaths Paths;
  // The statistics window's list; null: a hidden list of the window's own.
  TRowList* StatList = nullptr;
  // The composition engine; null leaves the composition commands unwired.
  TComposeService* Compose = nullptr;
};

class TMainForm : public QWidget, public TPreviewService, public TWindowService {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 1018;
  static constexpr int kClientHeight = 761;
  // The preview notebook's place in the window.
  static constexpr QRect kScreenRect{181, 264, 648, 432};
  static constexpr int kMidBarWidth = 645;

  // Builds every region and control; the window does nothing until Attach.
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  // Creates the controller on the window's views and these services and
  // wires every event to it. Once, before Start. (Two steps, so that the
  // services may be made with the window as their parent.)
  void Attach(const TMainFormServices& services);
  // The model part of start-up (sizes, configuration, size menu, the first
  // unnamed set) and the JPG output; call once after Attach.
  void Start();
  // The window's destruction (also run by the destructor, once): saves the
  // configuration, releases the sizes and sets, removes the working folder.
  // The program calls it while the services are still alive.
  void Shutdown();
  // The composition engine, when there is one (may come after Start).
  void SetComposeService(TComposeService& compose);
  // Makes `file` the current set in place of the current unnamed one (the
  // demo set at first start, a set named on the command line).
  void OpenSetAtStart(const std::string& file);
  TMainController& Controller() { return *FController; }

  // ---- Parts the program and the tests reach.
  TMyListBox& TempList() { return *FTempList; }
  TMyListBox& PhotoList() { return *FPhotoList; }
  TMyListBox& SetList() { return *FSetList; }
  TImageButton& SlotButton(int i) { return *FSlotButtons.at(i); }
  TImageButton& JpgButton() { return *FJpgButton; }
  TImageButton& PsdButton() { return *FPsdButton; }
  QLabel& HintLabel() { return *FHintLabel; }
  QLabel& SetInfo() { return *FSetInfo; }
  TMyEdit& SizeEdit() { return *FSizeEdit; }
  QMenu& SizeMenu() { return *FSizeMenu; }
  QMenu& HelpMenu() { return *FHelpMenu; }
  QTimer& MessageTimer() { return *FMessageTimer; }
  QStackedWidget& LeftNotebook() { return *FLeftNotebook; }
  // The preview screen and the sample panel (made by Attach).
  TPreviewScreen& Preview() { return *FPreview; }
  TSamplePanel& SamplePanel() { return *FSamplePanel; }
  // The picture file the template page and the sample page show ("" none).
  const std::string& TemplatePictureFile() const { return FTemplatePictureFile; }
  const std::string& SamplePictureFile() const { return FSamplePictureFile; }

  // Handles a key before the control with the focus; true when a shortcut
  // acted (the key is then consumed).
  bool HandleKey(const TKeyStroke& stroke);
  TWindowState State() const;
  // The statistics window's show/hide toggle; wired when the window exists.
  std::function<void()> OnToggleStat;
  // The settings dialog; null leaves the settings button without action.
  std::function<void()> OnSettings;
  // Takes the window's grabbed picture (for the screenshot option).
  QImage Snapshot();

  // ---- TPreviewService
  void SelectSlot(TTempNode& temp, int slotIndex, const std::string& photoFile) override;
  void LoadSlotPhoto(TTempNode& temp, int slotIndex, const std::string& photoFile) override;
  void SetSlotButtonHoldsPhoto(int slotIndex, bool holds) override;
  void ShowTemplateSlots(const TTempNode* temp) override;
  void UncheckSlotButtons() override;
  void ShowTemplatePicture(const std::string& jpegFile) override;
  void ShowTemplatePage() override;
  void ResetSampleAndSlotButtons() override;
  void ShowSample(const std::string& sampleFile) override;
  TSlotWindowGeometry SlotWindowGeometry() const override;
  void ShowResult(const std::string& previewFile) override;
  void SlotPhotoChanged() override;

  // ---- TWindowService
  void ShowLeftPage(TLeftPage page) override;
  void SetSetInfo(const std::string& text) override;
  void DrawSizeCaption(const std::string& text) override;
  void SetSizeMenu(const std::vector<TSizeMenuItem>& items) override;
  void ClearStatLargeView() override;
  void PlayCompletionTune(const std::string& soundFile) override;
  void StopCompletionTune() override;
  // The completion tune's player (set by the program when sound is wired).
  std::function<void(const std::string&)> OnPlayTune;
  std::function<void()> OnStopTune;
  std::function<void()> OnClearStatLargeView;

  // The right panel's page shown.
  TSamplePage SamplePage() const { return FSamplePage; }

  // The help menu's items. OpenHelp hands AppDir/help/index.html to
  // OnOpenHelp (by default the desktop's browser).
  std::function<void(const std::string&)> OnOpenHelp;
  void OpenHelp();
  void ShowVersion();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Construction (MainForm.cpp).
  void BuildTitleAndBanner();
  void BuildLeftPanel();
  void BuildMiddleToolBar();
  void BuildScreen();
  void BuildRightPanel();
  void BuildBottomBanner();
  QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect rect);
  TPictureButton* MakePictureButton(QWidget* parent, const char* name, int icon, QRect rect);
  void SetHint(QWidget* control, THintControl hint);
  void ShowHint(const std::string& text);
  void WireEvents();

  // Behaviour (MainFormViews.cpp).
  void PopupAt(QMenu& menu, QWidget& control);
  void ChooseFormat(bool jpg);
  void DrawFormatButtons();
  void DrawEffectButton();
  void DrawPageMarkers();

  std::unique_ptr<TMainFormServices> FServices;  // set by Attach
  TComposeService* FCompose = nullptr;           // not owned
  bool FShutDown = false;
  THintLine FHint;
  TLeftPage FLeftPage = TLeftPage::Template;
  TSamplePage FSamplePage = TSamplePage::Sample;
  std::string FTemplatePictureFile;
  std::string FSamplePictureFile;
  std::string FPrintQuality;  // shown on the hint line when no hint is

  // Widgets (owned by Qt's parent chain).
  QWidget* FLeftPanel = nullptr;
  QWidget* FMidBar = nullptr;
  QWidget* FRightPanel = nullptr;
  QStackedWidget* FLeftNotebook = nullptr;
  TPreviewScreen* FPreview = nullptr;
  TSamplePanel* FSamplePanel = nullptr;
  TMyListBox* FTempList = nullptr;
  TMyListBox* FPhotoList = nullptr;
  TMyListBox* FSetList = nullptr;
  TMyListBox* FStatFallback = nullptr;
  QPushButton* FButtonTemp = nullptr;
  QPushButton* FButtonPhoto = nullptr;
  QPushButton* FButtonSample = nullptr;
  QPushButton* FButtonResult = nullptr;
  QPushButton* FButtonCancelEffect = nullptr;
  QLabel* FSetInfo = nullptr;
  QLabel* FHintLabel = nullptr;
  TMyEdit* FSizeEdit = nullptr;
  TImageButton* FJpgButton = nullptr;
  TImageButton* FPsdButton = nullptr;
  std::array<TImageButton*, kSlotButtonCount> FSlotButtons{};
  std::array<bool, kSlotButtonCount> FSlotOpaque{};  // photo type of the slot shown
  QMenu* FSizeMenu = nullptr;
  QMenu* FHelpMenu = nullptr;
  QTimer* FMessageTimer = nullptr;
  QWidget* FHelpButton = nullptr;

  // The controller's views.
  std::unique_ptr<TMyListBoxRows> FTempRows, FPhotoRows, FSetRows, FStatRows;
  std::unique_ptr<TPrefetchingDialogs> FDialogs;  // the services' dialogs, prefetching photo thumbnails
  std::unique_ptr<TMainController> FController;
};

}  // namespace tessaro
