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
#include <optional>
#include <string>

#include "base/Status.h"
#include "model/Compose.h"
#include "model/Config.h"
#include "model/Lifecycle.h"
#include "model/Photos.h"
#include "model/Records.h"
#include "model/SetFile.h"
#include "model/Sizes.h"
#include "model/SlotEdit.h"
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

// Texts of the composition commands, verbatim. The image editor is named
// "图像编辑器" where a product name would stand.
inline constexpr const char* kSelectTemplateToPreviewText = "请先选中要预览的模板！";
inline constexpr const char* kSelectTemplateText = "请先选中模板！";
inline constexpr const char* kEmptySlotText = "这个位置没有放置照片";
inline constexpr const char* kNothingToPreviewText = "当前没有可以预览的模板";
inline constexpr const char* kNothingToComposeText = "请先选择要自动套版的模板";
inline constexpr const char* kChooseResultFolderTitle = "请选择保存文件夹（文件重名将被自动覆盖）";
inline constexpr const char* kSinglePreviewPrefix = "正在单张预览： ";  // the blank belongs to it
inline constexpr const char* kSingleResultPrefix = "正在单张自动套版：";
inline constexpr const char* kBatchPreviewPrefix = "正在批量预览：";
inline constexpr const char* kBatchResultPrefix = "正在批量自动套版：";
inline constexpr const char* kBatchPreviewDoneText = "批量预览完成";
inline constexpr const char* kBatchResultDoneText = "批量自动套版完成";
inline constexpr const char* kJpgResultFilter = "成品文件(*.jpg)|*.jpg";
inline constexpr const char* kPsdResultFilter = "成品文件(*.psd)|*.psd";
inline constexpr const char* kEditorStartingText =
    "正准备打开图像编辑器软件程序，打开后请最小化图像编辑器后再使用本软件。";
inline constexpr const char* kEditorCannotStartText =
    "无法打开图像编辑器软件，请确定本机是否已经安装了图像编辑器。";
inline constexpr const char* kEditorUnsupportedText =
    "不支持当前版本的图像编辑器！请在本软件所在文件夹的版本配置文件PSCfg.ini中为该版本增加一项。";
inline constexpr const char* kChoosePhotoToEditText = "请先选择模板中的哪张照片需要在图像编辑器中编辑!";
inline constexpr const char* kSlotHasNoPhotoText = "该位置还没有增加照片!";
inline constexpr const char* kPhotoMissingText = "该照片不存在，请重新导入!";
inline constexpr const char* kPhotoFileMissingText = "该照片不存在，请重新导入。";
inline constexpr const char* kEditorLaunchFailedText = "无法启动图像编辑器，请在设置中检查图像编辑器的命令。";
inline constexpr const char* kShutdownSaveFailedText = "当前套系未能保存，已取消自动关机。";
// Played in a loop while a batch's completion message is open, when present
// in the program folder.
inline constexpr const char* kCompletionTuneName = "beep.wav";

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

  // ---- Composition (ControllerCompose.cpp) ----
  // The engine; main thread only. Must be given before a composing command
  // runs; without it the four composing commands do nothing.
  void SetComposeService(TComposeService& service) { FCompose = &service; }
  // The five commands: single preview (Enter), single result (F5), batch
  // preview (Shift+Enter), batch result (F8), and editing the selected slot's
  // photo in the user's image editor (F4).
  void ImageButtonPreviewSingleClick();
  void ImageButtonSingleCreateResultClick();
  void ImageButtonBatchPreviewClick();
  void ImageButtonBatchCreateResultClick();
  void ImageButtonPhotoShopClick();
  // The output-format pair and the effects switch (Tag 0/1 of
  // ButtonCancelEffect); the window draws the buttons from JpgOutput and
  // CancelEffects.
  void ImageButtonJpgFormatClick() { JpgOutput = true; }
  void ImageButtonPSDFormatClick() { JpgOutput = false; }
  void ButtonCancelEffectClick() { CancelEffects = !CancelEffects; }
  // The first slot of the template whose PhotoIndex is -1, or -1 (also for a
  // set or template index that names nothing).
  int FindEmptySlot(int setIndex, int tempIndex) const;
  // Checks the composing editor; shows why it is not ready. True when it is
  // ready and PSVersionIndex names a version table entry.
  bool CheckPhotoshop();
  // Runs one job of `set`'s template `tempIndex`: the template's composing
  // folder is made and its preview.jpg deleted, then the engine composes it
  // (the progress window shows `prefix` + the package name). A cancelled job
  // sets JobCancelled.
  TJobOutcome RunJob(const TSetNode& set, int tempIndex, bool previewMode, const std::string& resultFile,
                     const std::string& prefix);

  // ---- Slot editing (ControllerSlots.cpp) ----
  // Each edit needs a selected slot whose photo is shown; it changes SlotEdit,
  // writes the slot's transform, marks the set modified (the nudge excepted)
  // and asks the preview to redraw the photo.
  // Rotation buttons and keys: +1 / +90 turn left, -1 / -90 right. The slot
  // keeps the angle unwrapped (four left quarter turns store 360).
  void RotateSlotPhoto(float degrees);
  void FlipSlotPhoto(bool horizontal);
  // ImageButtonInit: the photo back to its shrink-to-fit size, centred,
  // unturned and unmirrored.
  void ResetSlotPhoto();
  // Zoom buttons and the = / - keys: press starts, each timer tick zooms one
  // step (true when the photo changed), release stores the transform.
  void StartZoom(bool zoomIn);
  bool ZoomTick();
  void StopZoom();
  // The handle frame was released after a drag to `location` at `angle`.
  void BandDragFinished(const TRectF& location, float angle, bool moveDrag);
  // Arrow keys: moves the photo one pixel; the slot takes the moved rectangle
  // up at the next zoom or drag release.
  void NudgeSlotPhoto(int dx, int dy);
  // The selected slot's photo's effective print resolution, or nothing.
  std::optional<double> SlotPrintPpi() const;
  // The right panel's two pages and clicks on their pictures.
  void ButtonSampleClick();
  void ButtonResultPhotoClick();
  void ImageSampleMouseDown();
  void ImageResultMouseDown();
  // The selected slot's photo as the preview shows it.
  TSlotEdit SlotEdit;

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
  bool JpgOutput = true;       // merged JPEG results; false: layered PSD
  bool CancelEffects = false;  // every job skips the slots' photo effects
  int PSVersionIndex = -1;     // entry of the editor version table in use
  bool JobCancelled = false;   // the last composition command was cancelled

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
  // A click on one of the right panel's pictures leaves slot editing: the
  // slot buttons and the selected slot are cleared. The current template, or
  // null (then nothing changes).
  const TTempNode* LeaveSlotForPicture();
  void DropTemplate(TSetNode& set, int index);
  int ImportPhotoFile(const std::string& path);
  void AutoPlacePhoto(int photoIndex, int start);
  void ShowTemplateSize(const TTempNode& temp);
  std::string TemplatePicture(const TTempNode& temp) const;
  void DeleteComposingFolder(const TTempNode& temp) const;
  void RenumberRows(TRowList& list, int count);
  TRowList& VisibleList();
  // Composition helpers (ControllerCompose.cpp).
  bool SelectEmptySlot();
  // True when a one-template command may run: the composer is there, a
  // template is chosen (else `noTemplateText` is shown), all its slots hold
  // photos and the composing editor is ready.
  bool ReadyForOneTemplate(const char* noTemplateText);
  void BatchCompose(bool preview);
  void StartCommand(int jobTotal, int jobNumber);
  void CommonEnding(const std::string& resultFile);
  // Slot editing helpers (ControllerSlots.cpp).
  TSlotNode* EditableSlot();
  std::string ComposedPreviewOf(const TTempNode& temp) const;

  TViews FViews;
  TControllerPaths FPaths;
  std::unique_ptr<TSetFileSource> FSource;
  TLeftPage FLeftPage = TLeftPage::Template;
  TComposeService* FCompose = nullptr;  // not owned
};

}  // namespace tessaro
