// The interfaces through which the controller reaches the screen. The Qt
// windows implement them; tests implement them with scripted fakes. Every
// call happens on the main thread. The controller never owns a view: the
// window that creates the controller keeps them alive longer than it.
#pragma once

#include <string>
#include <vector>

#include "base/Status.h"
#include "model/Records.h"
#include "model/Sizes.h"
#include "model/func.h"

namespace tessaro {

// Answers of the question boxes (the message-box answer codes).
enum class TAnswer : int { Yes = 6, No = 7, Cancel = 2 };

// Caption of the information box (ShowInfo).
inline constexpr const char* kInfoCaption = "提示信息";

// One list control (the thumbnail list): the template, photo, set and
// statistics lists. Rows and columns are indexed from 0.
class TRowList {
 public:
  virtual ~TRowList() = default;
  // Appends a row with one text per column, a thumbnail file (empty for
  // lists without thumbnails) and an initial tick. A list that shows
  // thumbnails refuses the row (returns false and adds nothing) when the
  // thumbnail cannot be drawn.
  virtual bool AddRow(const std::vector<std::string>& texts, const std::string& thumbFile, bool checked) = 0;
  // Ignored for an index without a row. Deleting the selected row leaves no
  // row selected; deleting a row above it moves the selection up by one.
  virtual void DeleteRow(int row) = 0;
  virtual void Clear() = 0;
  virtual void SetCellText(int row, int col, const std::string& text) = 0;
  // Empty for a missing row or column.
  virtual std::string GetCellText(int row, int col) const = 0;
  // Selecting a row other than the selected one raises the list's
  // row-changed event (old index, new index) before SelectedIndex changes;
  // the window forwards that event to the controller. Deselecting raises none.
  virtual void SetSelected(int row, bool selected) = 0;
  virtual int SelectedIndex() const = 0;
  virtual bool GetChecked(int row) const = 0;
  virtual void SetChecked(int row, bool checked) = 0;
  virtual int Count() const = 0;
};

// What the template browser hands back after it closes.
struct TTemplateBrowserResult {
  bool Confirmed = false;             // OK pressed
  std::string Folder;                 // the tree's current folder
  std::vector<std::string> Packages;  // selected package folder names, in list order
};

// Modal boxes and pickers.
class TDialogService {
 public:
  virtual ~TDialogService() = default;
  // Information box: the text, caption kInfoCaption, information icon, OK.
  virtual void ShowInfo(const std::string& text) = 0;
  // Question boxes with the question icon; Yes/No answers Yes or No.
  virtual TAnswer AskYesNo(const std::string& caption, const std::string& text) = 0;
  virtual TAnswer AskYesNoCancel(const std::string& caption, const std::string& text) = 0;
  // SaveDialogProj (filter "套系文件(*.cys)|*.cys", default extension .cys,
  // no question before replacing). Empty when cancelled.
  virtual std::string SaveSetFileName(const std::string& title, const std::string& proposedName) = 0;
  // OpenDialogProj, several files. Empty when cancelled.
  virtual std::vector<std::string> OpenSetFileNames() = 0;
  // OpenPictureDialog with the filter entry `filterIndex` (1-based, the
  // entries of kPictureFilter), several files. Empty when cancelled.
  virtual std::vector<std::string> OpenPictureFileNames(int filterIndex) = 0;
  // The template browser, modal. It may change `currentSize` (the size the
  // user picks) and, through its custom-size dialog, `sizeList`.
  virtual TTemplateBrowserResult BrowseTemplates(TSizeNode& currentSize, TSizeList& sizeList) = 0;
  // The custom-size dialog, modal; it adds and deletes custom sizes.
  virtual void EditCustomSizes(TSizeList& sizeList) = 0;
  // Question box with OK and Cancel buttons and the question icon; true for OK.
  virtual bool AskOkCancel(const std::string& caption, const std::string& text) = 0;
  // SavePictureDialog, for a result file: proposed name, default extension
  // (".jpg") and one filter ("成品文件(*.jpg)|*.jpg"). Empty when cancelled.
  virtual std::string SaveResultFileName(const std::string& proposedName, const std::string& defaultExtension,
                                         const std::string& filter) = 0;
  // A folder picker with a title. Empty when cancelled.
  virtual std::string ChooseFolder(const std::string& title) = 0;
};

// The progress window shown while files are imported or a set is read.
class TProgressService {
 public:
  virtual ~TProgressService() = default;
  virtual void Show(int itemCount) = 0;
  virtual void SetInfo(const std::string& text) = 0;
  virtual void Step() = 0;
  virtual void Close() = 0;
  // Lets pending window events run (a no-op for fakes).
  virtual void ProcessMessages() = 0;
};

// What the preview area, the slot buttons and the sample area must show.
class TPreviewService {
 public:
  virtual ~TPreviewService() = default;
  // Selects slot `slotIndex` of `temp`: checks its button (unchecking the
  // others), shows the photo page of the preview, builds the slot window
  // from the slot's first placement (keeping the previous one when there is
  // none) and shows `photoFile` with the slot's transform, or an empty photo
  // layer when `photoFile` is empty. For a slot that is not fitted it stores
  // the initial fit into the slot (without marking the set modified).
  virtual void SelectSlot(TTempNode& temp, int slotIndex, const std::string& photoFile) = 0;
  // Discards the handles and shows `photoFile` in the selected slot's window
  // (hand placement); stores the initial fit like SelectSlot.
  virtual void LoadSlotPhoto(TTempNode& temp, int slotIndex, const std::string& photoFile) = 0;
  // The second state of a slot button: the slot holds a photo.
  virtual void SetSlotButtonHoldsPhoto(int slotIndex, bool holds) = 0;
  // Slot buttons for a template: buttons beyond its slots disabled, the
  // others enabled with the look of their slot's photo type and its
  // holds-a-photo state; all unchecked. Null disables and unchecks all ten.
  virtual void ShowTemplateSlots(const TTempNode* temp) = 0;
  virtual void UncheckSlotButtons() = 0;
  // The "Template" page of the preview with a JPEG fitted into it; an empty
  // path shows an empty picture.
  virtual void ShowTemplatePicture(const std::string& jpegFile) = 0;
  // Only switches the preview to its "Template" page.
  virtual void ShowTemplatePage() = 0;
  // Sample area on its "Template" page without picture; all ten slot
  // buttons unchecked and disabled.
  virtual void ResetSampleAndSlotButtons() = 0;
  // The right panel's "Sample" page with this sample picture (empty or
  // missing: an empty picture).
  virtual void ShowSample(const std::string& sampleFile) = 0;
  // Mask size and screen pixels per inch of the slot windows.
  virtual TSlotWindowGeometry SlotWindowGeometry() const = 0;
  // The right panel's "Result" page with the template's composed preview
  // (empty or missing: an empty picture).
  virtual void ShowResult(const std::string& previewFile) { (void)previewFile; }
  // The selected slot's photo was edited: redraw it from the controller's
  // SlotEdit (rectangle, angle, mirroring).
  virtual void SlotPhotoChanged() {}
};

enum class TLeftPage { Template, Photo };

// The rest of the main window that commands change.
class TWindowService {
 public:
  virtual ~TWindowService() = default;
  // The left panel's page (ButtonTemp / ButtonPhoto).
  virtual void ShowLeftPage(TLeftPage page) = 0;
  // PanelSetInfo.
  virtual void SetSetInfo(const std::string& text) = 0;
  // The size control MyEditSize.
  virtual void DrawSizeCaption(const std::string& text) = 0;
  // Rebuilds PopupMenuSize; its items call ApplySize with their tag.
  virtual void SetSizeMenu(const std::vector<TSizeMenuItem>& items) = 0;
  // The statistics window's large view: both layers fully transparent.
  virtual void ClearStatLargeView() = 0;
  // The completion tune: plays the sound file over and over until stopped.
  // Failures are ignored.
  virtual void PlayCompletionTune(const std::string& soundFile) = 0;
  virtual void StopCompletionTune() = 0;
};

// What the desktop does for the program: file manager and other programs.
class TDesktopService {
 public:
  virtual ~TDesktopService() = default;
  // Shows a folder in the desktop's file manager. Failures are ignored.
  virtual void OpenFolder(const std::string& folder) = 0;
  // Starts the user's image editor on `file` without waiting for it:
  // `command` is a program (with arguments, if any) from the settings; empty
  // means the desktop's handler for the file. An error when it cannot start.
  virtual Status OpenInImageEditor(const std::string& command, const std::string& file) = 0;
};

// Switching the machine off after a batch (the window's real service; tests
// never power anything off).
class TPowerService {
 public:
  virtual ~TPowerService() = default;
  // An ordinary power-off: the session's other programs are asked to end
  // and may save their work first; never forced. An error when the system
  // refuses (the caller shows it).
  virtual Status PowerOff() = 0;
};

// Local date and time (import stamps, file names of emergency saves).
class TClock {
 public:
  virtual ~TClock() = default;
  virtual TDateTime Now() const = 0;
};

// The system's local time.
class TSystemClock : public TClock {
 public:
  TDateTime Now() const override;
};

// Everything the controller draws on; references stay valid for its lifetime.
struct TViews {
  TRowList& TempList;   // MyListBoxTemp
  TRowList& PhotoList;  // MyListBoxPhoto
  TRowList& SetList;    // MyListBoxSet
  TRowList& StatList;   // the statistics window's MyListBoxPhoto
  TDialogService& Dialogs;
  TProgressService& Progress;
  TPreviewService& Preview;
  TWindowService& Window;
  const TClock& Clock;
  TDesktopService& Desktop;
  TPowerService& Power;
};

}  // namespace tessaro
