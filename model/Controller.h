// The main window's commands without the window: sets, templates, photos,
// slot selection, sizes, start-up and shutdown. The controller owns the
// model (SetList, SizeList, CurrentSize, the selection, Modified and the
// settings) and reaches the screen only through the views it is given
// (model/Views.h): row lists, dialogs, the progress window, the preview and
// the rest of the window. The Qt window forwards its events to the methods
// named after them; tests drive the same methods with scripted fakes.
//
// Ownership: the controller owns every record; the views are borrowed and
// must outlive it. Thread-safety: main thread only, except MessageQueue,
// which any thread may post to.
#pragma once

#include <memory>
#include <string>

#include "base/Status.h"
#include "model/Config.h"
#include "model/Lifecycle.h"
#include "model/Photos.h"
#include "model/Records.h"
#include "model/SetFile.h"
#include "model/Sizes.h"
#include "model/Views.h"

namespace tessaro {

// Texts the commands show, verbatim.
inline constexpr const char* kUnnamedSetName = "未命名套系";
inline constexpr const char* kDeleteLinkText = "删除";
inline constexpr const char* kPlaceLinkText = "放置";
inline constexpr const char* kCurrentSetPrefix = "当前套系：";
inline constexpr const char* kSaveSetCaption = "保存套系";
inline constexpr const char* kDeleteSetCaption = "删除套系";
inline constexpr const char* kSetChangedQuestion = "当前套系已更改，是否保存？";
inline constexpr const char* kAlreadyExistsSuffix = "已存在，是否覆盖？";
inline constexpr const char* kSetAlreadyOpenText = "该文件已经导入到当前套版程序，不能覆盖！";
inline constexpr const char* kDeleteTickedSetsQuestion = "确实要删除所有选中的套系吗？";
inline constexpr const char* kProposedSetName = "套系_";
inline constexpr const char* kImportingPrefix = "正在导入：";
inline constexpr const char* kImportingSetText = "正在导入套系";
inline constexpr const char* kTickTemplatesFirstText = "请先选中模板左下角的复选框，再点击【删除】按钮";
inline constexpr const char* kTickPhotosFirstText = "请先选中照片左下角的复选框，再点击【删除】按钮";
inline constexpr const char* kChooseSlotFirstText = "请先指定需要将该照片放置到模板的第几张照片位中";
// Shown when a set file cannot be written (the text is followed by the path).
inline constexpr const char* kSaveFailedText = "套系文件保存失败：";
inline constexpr const char* kSetFileExtension = ".cys";

// Where the controller keeps its files.
struct TControllerPaths {
  std::string AppDir;      // program folder, without trailing separator
  std::string TempDir;     // private working folder, with trailing separator
  std::string ConfigFile;  // cfg.ini
};

class TMainController {
 public:
  // `source` looks up packages and photos when set files are read; null
  // means the disk.
  TMainController(const TViews& views, TControllerPaths paths,
                  std::unique_ptr<TSetFileSource> source = nullptr);
  TMainController(const TMainController&) = delete;
  TMainController& operator=(const TMainController&) = delete;

  // ---- Start-up and shutdown ----
  // The model part of the window's creation: built-in sizes, CurrentSize a
  // copy of the first, the configuration (custom sizes), the size caption
  // and menu, the template page, and one unnamed current set.
  void Start();
  // Asked before the window closes; true when it may close. With unsaved
  // changes asks to save (Yes saves, Cancel or a cancelled save keeps the
  // window open).
  bool FormCloseQuery();
  // The window is destroyed: saves the configuration, releases the sizes
  // and sets, deletes the working folder.
  void Shutdown();
  // The 100 ms timer: shows at most one queued worker message.
  void TimerGetSerMsg();
  // Before an automatic power-off: a changed named set is saved to its file;
  // a changed unnamed set is written to AppDir/套系_hh_nn_ss.cys (or, when the
  // program folder cannot be written, the configuration folder).
  Status SaveBeforeShutdown();

  // ---- Lookups (null when an index on the way is -1) ----
  TSetNode* CurrentSet() const;
  TTempNode* CurrentTemplate(bool resultVersion = false) const;
  TSlotNode* CurrentSlot() const;
  const TControllerPaths& Paths() const { return FPaths; }
  TLeftPage LeftPage() const { return FLeftPage; }

  // ---- Sizes ----
  // A size-menu item was chosen (tag = size Id, -1 = custom-size dialog).
  void ApplySize(int tag);
  void RebuildSizeMenu();

  // ---- Sets ----
  void AddUnnamedSet();
  // Writes set `index` to `path`, asking before replacing an existing file.
  // Yes when written (or for an index outside the list), otherwise the
  // answer that stopped it; Cancel (after a message) when writing fails.
  TAnswer SaveSetFile(int index, const std::string& path);
  // Replaces set `index` by the one read from `path`. Nothing happens (false)
  // for an invalid index or a missing or malformed file.
  bool LoadSetFile(int index, const std::string& path);
  // Fills the template, photo and statistics lists from set `index`.
  void FillSetLists(int index);
  // Saves set `index` under its name, asking for one when it has none. Yes or
  // Cancel.
  TAnswer SaveSet(int index);
  void ButtonNewSetClick();
  void ButtonSaveSetClick();
  void ButtonSaveAsSetClick();
  void ButtonLoadSetClick();
  void ButtonDelSetClick();
  void ButtonSelectAllSetClick();
  // Set list clicks: column 1 deletes the set, other columns make it current.
  void MyListBoxSetTextClick(int row, int col);
  void MakeSetCurrent(int row);
  void DeleteSetRow(int row);

  // ---- Templates ----
  bool ImportTemplate(int setIndex, const std::string& folder, const TSizeNode& size);
  // The template-import command (ImageButtonTemp, F2).
  void ImageButtonTempClick();
  // The template list's row-changed event.
  void MyListBoxTempRowChanged(int oldRow, int newRow);
  // Template list clicks: column 3 deletes the template; other columns end the
  // slot selection and show the template.
  void MyListBoxTempTextClick(int row, int col);
  void SelectTemplate(int row);
  void DeleteTemplate(int row);

  // ---- Slots ----
  // A slot button was pressed (0-based slot).
  void SelectSlot(int slot);
  // A slot button was double-clicked: import photos for that slot.
  void SlotButtonDblClick(int slot);

  // ---- Photos ----
  // The photo-import command (ImageButtonPhoto, F3).
  void ImageButtonPhotoClick();
  // Puts photo `photoIndex` into the selected slot (needs a set, a template
  // and a slot).
  void HandPlacePhoto(int photoIndex);
  void MyListBoxPhotoTextClick(int row, int col);
  void MyListBoxPhotoTextDblClick(int row, int col);
  // The statistics list: column 3 places, column 4 deletes.
  void StatListTextClick(int row, int col);
  void DeletePhoto(int row);

  // ---- Left panel ----
  void ButtonTempClick();
  void ButtonPhotoClick();
  void ButtonDelClick();
  void ButtonSelectAllClick();

  // Checks the invariants of the records and the selection, and that the
  // rows of every list match the records they show (count, numbering, names,
  // count columns). The first broken one as a sentence, or empty.
  std::string CheckInvariants() const;

  // ---- The model ----
  TSetList SetList;
  TSizeList SizeList;
  TSizeNode CurrentSize;
  int CurSet = -1;
  int CurTemp = -1;
  int CurSlot = -1;
  bool Modified = false;
  TAppSettings Settings;
  TMessageQueue MessageQueue;

 private:
  TPhotoRows Rows();
  std::string SetName(int index) const;
  bool IsOpenSetFile(const std::string& path) const;
  // Asks "当前套系已更改，是否保存？" when the set is modified; false stops the
  // command. Yes with no current set stops it too, unless `yesWithoutSetLeaves`.
  bool AskBeforeLeavingSet(bool yesWithoutSetLeaves = false);
  TAnswer SaveSetFileImpl(int index, const std::string& path, bool askBeforeReplacing);
  Status WriteSetFile(int index, const std::string& path) const;
  void ClearSetLists();
  void ResetPreview();
  void DropTemplate(TSetNode& set, int index);
  int ImportPhotoFile(const std::string& path);
  void AutoPlacePhoto(int photoIndex, int start);
  void ShowTemplateSize(const TTempNode& temp);
  std::string TemplatePicture(const TTempNode& temp) const;
  void DeleteComposingFolder(const TTempNode& temp) const;
  void RenumberRows(TRowList& list, int count);
  TRowList& VisibleList();

  TViews FViews;
  TControllerPaths FPaths;
  std::unique_ptr<TSetFileSource> FSource;
  TLeftPage FLeftPage = TLeftPage::Template;
};

}  // namespace tessaro
