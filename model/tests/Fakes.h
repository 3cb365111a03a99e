// Scripted fakes of the views the controller draws on, and helpers that
// build template packages, photo files and folders for tests.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "base/FileIo.h"
#include "model/Compose.h"
#include "model/Package.h"
#include "model/Views.h"
#include "testing/TempFolder.h"

namespace tessaro::testing {

// A list control that keeps its rows in memory and behaves like the real one:
// AddRow refuses rows whose thumbnail is listed in RefusedThumbs, deleting
// rows moves the selection, and selecting another row raises OnRowChanged
// (old, new) before SelectedIndex changes.
class FakeRowList : public TRowList {
 public:
  struct Row {
    std::vector<std::string> Texts;
    std::string Thumb;
    bool Checked = false;
  };

  explicit FakeRowList(int columns) : FColumns(columns) {}

  bool AddRow(const std::vector<std::string>& texts, const std::string& thumbFile, bool checked) override {
    EXPECT_EQ(static_cast<int>(texts.size()), FColumns) << "row texts do not match the list's columns";
    if (RefusedThumbs.count(thumbFile)) return false;
    Rows.push_back(Row{texts, thumbFile, checked});
    return true;
  }
  void DeleteRow(int row) override {
    if (row < 0 || row >= Count()) return;
    if (row == Selected)
      Selected = -1;
    else if (row < Selected)
      --Selected;
    Rows.erase(Rows.begin() + row);
  }
  void Clear() override {
    Rows.clear();
    Selected = -1;
  }
  void SetCellText(int row, int col, const std::string& text) override {
    if (row >= 0 && row < Count() && col >= 0 && col < FColumns) Rows[row].Texts[col] = text;
  }
  std::string GetCellText(int row, int col) const override {
    if (row < 0 || row >= Count() || col < 0 || col >= FColumns) return {};
    return Rows[row].Texts[col];
  }
  void SetSelected(int row, bool selected) override {
    if (row < 0) return;
    if (!selected) {
      if (row == Selected) Selected = -1;
      return;
    }
    if (row == Selected) return;
    const int old = Selected;
    if (OnRowChanged) OnRowChanged(old, row);
    Selected = row;
  }
  int SelectedIndex() const override { return Selected; }
  bool GetChecked(int row) const override { return row >= 0 && row < Count() && Rows[row].Checked; }
  void SetChecked(int row, bool checked) override {
    if (row >= 0 && row < Count()) Rows[row].Checked = checked;
  }
  int Count() const override { return static_cast<int>(Rows.size()); }

  // Column `col` of every row.
  std::vector<std::string> Column(int col) const {
    std::vector<std::string> out;
    for (const Row& r : Rows) out.push_back(r.Texts[col]);
    return out;
  }

  std::vector<Row> Rows;
  int Selected = -1;
  std::set<std::string> RefusedThumbs;
  std::function<void(int, int)> OnRowChanged;

 private:
  int FColumns;
};

// Dialogs answered from a script. Every box and picker the controller opens
// must be the next expected one, with the expected caption and text;
// anything unexpected fails the test.
class FakeDialogs : public TDialogService {
 public:
  enum class Kind {
    Info,
    YesNo,
    YesNoCancel,
    SaveName,
    OpenSets,
    OpenPictures,
    Browse,
    CustomSizes,
    OkCancel,
    SaveResult,
    Folder
  };

  struct Step {
    Kind What = Kind::Info;
    std::string Caption, Text;
    TAnswer Answer = TAnswer::Cancel;
    std::vector<std::string> Paths;
    int FilterIndex = 0;
    TTemplateBrowserResult Browse;
    std::function<void(TSizeNode&, TSizeList&)> Action;
  };

  ~FakeDialogs() override {
    EXPECT_TRUE(Script.empty()) << Script.size() << " scripted dialogs never opened";
  }

  void ExpectInfo(const std::string& text) { Push(Kind::Info, kInfoCaption, text); }
  void ExpectYesNo(const std::string& caption, const std::string& text, TAnswer answer) {
    Push(Kind::YesNo, caption, text).Answer = answer;
  }
  void ExpectYesNoCancel(const std::string& caption, const std::string& text, TAnswer answer) {
    Push(Kind::YesNoCancel, caption, text).Answer = answer;
  }
  // An empty path answers Cancel.
  void ExpectSaveName(const std::string& path) { Push(Kind::SaveName, "保存套系", "套系_").Paths = {path}; }
  void ExpectOpenSets(std::vector<std::string> paths) { Push(Kind::OpenSets).Paths = std::move(paths); }
  void ExpectOpenPictures(int filterIndex, std::vector<std::string> paths) {
    Step& s = Push(Kind::OpenPictures);
    s.FilterIndex = filterIndex;
    s.Paths = std::move(paths);
  }
  void ExpectBrowse(TTemplateBrowserResult result, std::function<void(TSizeNode&, TSizeList&)> action = {}) {
    Step& s = Push(Kind::Browse);
    s.Browse = std::move(result);
    s.Action = std::move(action);
  }
  void ExpectCustomSizes(std::function<void(TSizeNode&, TSizeList&)> action) {
    Push(Kind::CustomSizes).Action = std::move(action);
  }
  void ExpectOkCancel(const std::string& caption, const std::string& text, bool ok) {
    Push(Kind::OkCancel, caption, text).Answer = ok ? TAnswer::Yes : TAnswer::Cancel;
  }
  // The result save dialog: the proposed name, then "extension|filter". An
  // empty path answers Cancel.
  void ExpectSaveResult(const std::string& proposedName, const std::string& extension,
                        const std::string& filter, const std::string& path) {
    Push(Kind::SaveResult, proposedName, extension + "|" + filter).Paths = {path};
  }
  // An empty path answers Cancel.
  void ExpectFolder(const std::string& title, const std::string& path) {
    Push(Kind::Folder, title).Paths = {path};
  }

  void ShowInfo(const std::string& text) override { Next(Kind::Info, kInfoCaption, text); }
  TAnswer AskYesNo(const std::string& caption, const std::string& text) override {
    const Step* s = Next(Kind::YesNo, caption, text);
    return s ? s->Answer : TAnswer::No;
  }
  TAnswer AskYesNoCancel(const std::string& caption, const std::string& text) override {
    const Step* s = Next(Kind::YesNoCancel, caption, text);
    return s ? s->Answer : TAnswer::Cancel;
  }
  std::string SaveSetFileName(const std::string& title, const std::string& proposedName) override {
    const Step* s = Next(Kind::SaveName, title, proposedName);
    return s ? s->Paths.front() : std::string();
  }
  std::vector<std::string> OpenSetFileNames() override {
    const Step* s = Next(Kind::OpenSets, "", "");
    return s ? s->Paths : std::vector<std::string>();
  }
  std::vector<std::string> OpenPictureFileNames(int filterIndex) override {
    const Step* s = Next(Kind::OpenPictures, "", "");
    if (!s) return {};
    EXPECT_EQ(filterIndex, s->FilterIndex) << "photo dialog filter index";
    return s->Paths;
  }
  TTemplateBrowserResult BrowseTemplates(TSizeNode& currentSize, TSizeList& sizeList) override {
    const Step* s = Next(Kind::Browse, "", "");
    if (!s) return {};
    if (s->Action) s->Action(currentSize, sizeList);
    return s->Browse;
  }
  void EditCustomSizes(TSizeList& sizeList) override {
    const Step* s = Next(Kind::CustomSizes, "", "");
    TSizeNode unused;
    if (s && s->Action) s->Action(unused, sizeList);
  }
  bool AskOkCancel(const std::string& caption, const std::string& text) override {
    const Step* s = Next(Kind::OkCancel, caption, text);
    return s && s->Answer == TAnswer::Yes;
  }
  std::string SaveResultFileName(const std::string& proposedName, const std::string& defaultExtension,
                                 const std::string& filter) override {
    const Step* s = Next(Kind::SaveResult, proposedName, defaultExtension + "|" + filter);
    return s ? s->Paths.front() : std::string();
  }
  std::string ChooseFolder(const std::string& title) override {
    const Step* s = Next(Kind::Folder, title, "");
    return s ? s->Paths.front() : std::string();
  }

  std::deque<Step> Script;
  std::vector<std::string> Shown;  // "caption|text" of every box shown

 private:
  const Step* Next(Kind kind, const std::string& caption, const std::string& text) {
    Shown.push_back(caption + "|" + text);
    if (Script.empty()) {
      ADD_FAILURE() << "unexpected dialog: " << caption << " | " << text;
      return nullptr;
    }
    FCurrent = Script.front();
    Script.pop_front();
    if (FCurrent.What != kind) {
      ADD_FAILURE() << "expected another dialog than: " << caption << " | " << text;
      return nullptr;
    }
    EXPECT_EQ(caption, FCurrent.Caption);
    EXPECT_EQ(text, FCurrent.Text);
    return &FCurrent;
  }
  Step& Push(Kind kind, const std::string& caption = "", const std::string& text = "") {
    Step s;
    s.What = kind;
    s.Caption = caption;
    s.Text = text;
    Script.push_back(std::move(s));
    return Script.back();
  }
  Step FCurrent;
};

class FakeProgress : public TProgressService {
 public:
  void Show(int itemCount) override { Log.push_back("Show " + std::to_string(itemCount)); }
  void SetInfo(const std::string& text) override { Log.push_back("Info " + text); }
  void Step() override { Log.push_back("Step"); }
  void Close() override { Log.push_back("Close"); }
  void ProcessMessages() override {}
  std::vector<std::string> Log;
};

// Records what the preview is asked to show. Like the real preview it stores
// an initial fit into a slot that is shown with a photo and is not fitted.
class FakePreview : public TPreviewService {
 public:
  static constexpr float kFitX = 1.25f, kFitY = 1.0f;

  void SelectSlot(TTempNode& temp, int slotIndex, const std::string& photoFile) override {
    Log.push_back("SelectSlot " + std::to_string(slotIndex) + " " + photoFile);
    if (Forward) Forward->SelectSlot(temp, slotIndex, photoFile);
    Fit(*temp.Slots[slotIndex], photoFile);
  }
  void LoadSlotPhoto(TTempNode& temp, int slotIndex, const std::string& photoFile) override {
    Log.push_back("LoadSlotPhoto " + std::to_string(slotIndex) + " " + photoFile);
    if (Forward) Forward->LoadSlotPhoto(temp, slotIndex, photoFile);
    Fit(*temp.Slots[slotIndex], photoFile);
  }
  void SetSlotButtonHoldsPhoto(int slotIndex, bool holds) override { Holds.at(slotIndex) = holds; }
  void ShowTemplateSlots(const TTempNode* temp) override {
    Log.push_back(temp ? "ShowTemplateSlots " + std::to_string(temp->Slots.size())
                       : "ShowTemplateSlots none");
    for (int i = 0; i < kSlotButtonCount; ++i)
      Holds[i] = temp && i < static_cast<int>(temp->Slots.size()) && temp->Slots[i]->PhotoIndex != -1;
  }
  void UncheckSlotButtons() override { Log.push_back("UncheckSlotButtons"); }
  void ShowTemplatePicture(const std::string& jpegFile) override {
    Log.push_back("ShowTemplatePicture " + jpegFile);
    TemplatePicture = jpegFile;
    if (Forward) Forward->ShowTemplatePicture(jpegFile);
  }
  void ShowTemplatePage() override {
    Log.push_back("ShowTemplatePage");
    if (Forward) Forward->ShowTemplatePage();
  }
  void ResetSampleAndSlotButtons() override {
    Log.push_back("ResetSampleAndSlotButtons");
    Holds.fill(false);
  }
  void ShowSample(const std::string& sampleFile) override { Log.push_back("ShowSample " + sampleFile); }
  TSlotWindowGeometry SlotWindowGeometry() const override { return Geometry; }
  void ShowResult(const std::string& previewFile) override { Log.push_back("ShowResult " + previewFile); }
  void SlotPhotoChanged() override {
    ++PhotoRedraws;
    if (Forward) Forward->SlotPhotoChanged();
  }

  std::vector<std::string> Log;
  std::array<bool, kSlotButtonCount> Holds{};
  std::string TemplatePicture;
  TSlotWindowGeometry Geometry;
  int PhotoRedraws = 0;
  // The real preview under test, which the fake passes the drawing calls on to.
  TPreviewService* Forward = nullptr;

 private:
  static void Fit(TSlotNode& slot, const std::string& photoFile) {
    if (photoFile.empty() || slot.IsFitted()) return;
    slot.ScaleX = kFitX;
    slot.ScaleY = kFitY;
    slot.OffsetX = slot.OffsetY = 0;
  }
};

class FakeWindow : public TWindowService {
 public:
  void ShowLeftPage(TLeftPage page) override { Page = page; }
  void SetSetInfo(const std::string& text) override { SetInfo = text; }
  void DrawSizeCaption(const std::string& text) override { SizeCaption = text; }
  void SetSizeMenu(const std::vector<TSizeMenuItem>& items) override {
    Menu = items;
    ++MenuBuilds;
  }
  void ClearStatLargeView() override { ++LargeViewClears; }
  void PlayCompletionTune(const std::string& soundFile) override { Tune.push_back("Play " + soundFile); }
  void StopCompletionTune() override { Tune.push_back("Stop"); }

  TLeftPage Page = TLeftPage::Template;
  std::vector<std::string> Tune;
  std::string SetInfo, SizeCaption;
  std::vector<TSizeMenuItem> Menu;
  int MenuBuilds = 0;
  int LargeViewClears = 0;
};

class FakeDesktop : public TDesktopService {
 public:
  void OpenFolder(const std::string& folder) override { OpenedFolders.push_back(folder); }
  Status OpenInImageEditor(const std::string& command, const std::string& file) override {
    EditorLaunches.push_back(command + "|" + file);
    return LaunchFails ? Status::Error("cannot start " + command) : Status::Ok();
  }
  std::vector<std::string> OpenedFolders;
  std::vector<std::string> EditorLaunches;  // "command|file"
  bool LaunchFails = false;
};

// Counts power-offs; never switches anything off.
class FakePower : public TPowerService {
 public:
  Status PowerOff() override {
    ++PowerOffs;
    return Status::Ok();
  }
  int PowerOffs = 0;
};

// The engine as a script. Every job is recorded with what the controller
// had prepared when it started; by default a job writes its preview and its
// result file (the text "job N") and finishes. Jobs are numbered from 0 in
// the order they run.
class FakeCompose : public TComposeService {
 public:
  struct Run {
    TComposeJob Job;
    std::string Info;
    std::string Counter;          // "number/total" of the progress window
    bool FolderExisted = false;   // the preview file's folder
    bool PreviewExisted = false;  // the preview file itself
    bool ResultExisted = false;
  };

  TEditorCheck CheckEditor(int& versionIndex) override {
    ++Checks;
    versionIndex = Check == TEditorCheck::Ready ? VersionIndex : -1;
    return Check;
  }
  TJobOutcome RunJob(const TComposeJob& job, const std::string& info) override {
    const int n = static_cast<int>(Runs.size());
    Run run;
    run.Job = job;
    run.Info = info;
    run.Counter = std::to_string(Number) + "/" + std::to_string(Total);
    run.FolderExisted = DirectoryExists(FolderOf(job.PreviewFile));
    run.PreviewExisted = FileExists(job.PreviewFile);
    run.ResultExisted = !job.ResultFile.empty() && FileExists(job.ResultFile);
    Runs.push_back(run);
    if (n == TickShutdownAt) Shutdown = true;
    if (n == CancelAt) return TJobOutcome::Cancelled;
    if (FailingJobs.count(n)) return TJobOutcome::Finished;
    EXPECT_TRUE(WriteFileAtomic(job.PreviewFile, std::string_view("job " + std::to_string(n))).ok());
    if (!job.ResultFile.empty()) {
      EXPECT_TRUE(WriteFileAtomic(job.ResultFile, std::string_view("job " + std::to_string(n))).ok());
    }
    return TJobOutcome::Finished;
  }
  void SetJobCounter(int total, int number) override {
    Total = total;
    Number = number;
  }
  void NextJob() override { ++Number; }
  bool ShutdownChecked() const override { return Shutdown; }
  void SetShutdownChecked(bool checked) override { Shutdown = checked; }

  TEditorCheck Check = TEditorCheck::Ready;
  int VersionIndex = 2;
  int CancelAt = -1;          // this job is cancelled (writes nothing)
  int TickShutdownAt = -1;    // the operator ticks the shutdown box during this job
  std::set<int> FailingJobs;  // these jobs write nothing
  int Checks = 0;
  int Total = 0, Number = 0;
  bool Shutdown = false;
  std::vector<Run> Runs;
};

class FakeClock : public TClock {
 public:
  TDateTime Now() const override { return Time; }
  TDateTime Time{2009, 3, 7, 14, 5, 9};
};

inline void WriteText(const std::string& path, const std::string& text) {
  MakeDirectories(WithoutTrailingSeparator(FolderOf(path)));
  ASSERT_TRUE(WriteFileAtomic(path, std::string_view(text)).ok()) << path;
}

// What a test package holds.
struct PackageSpec {
  std::vector<int> SlotTypes;  // photo type per slot
  // Placements: slot number and rectangle (reference space); the result
  // descriptor gets the same ones.
  std::vector<std::pair<int, TPlacementRect>> Placements;
  int Spread = 0;
  int HeaderValue = 11;
  bool ResultReadable = true;
  bool Sample = true;
};

inline PackageSpec SlotsSpec(std::vector<int> types) {
  PackageSpec spec;
  spec.SlotTypes = std::move(types);
  return spec;
}

inline std::unique_ptr<TTempNode> TemplateFromSpec(const PackageSpec& spec) {
  auto temp = std::make_unique<TTempNode>();
  temp->HeaderValue = spec.HeaderValue;
  temp->Spread = spec.Spread;
  for (int type : spec.SlotTypes) {
    auto slot = std::make_unique<TSlotNode>();
    slot->PhotoType = type;
    auto effect = std::make_unique<TEffectNode>();
    effect->Kind = 2;
    effect->Params = {0.5f, static_cast<float>(type)};
    slot->Effects.push_back(std::move(effect));
    temp->Slots.push_back(std::move(slot));
  }
  for (const auto& [number, rect] : spec.Placements) {
    auto p = std::make_unique<TPlacement>();
    p->SlotNumber = number;
    p->ChannelName = "通道" + std::to_string(number);
    p->Rect = rect;
    InsertPlacement(*temp, std::move(p));
  }
  return temp;
}

// Writes a package folder (both descriptors, Sample.jpg) and returns the
// folder path without trailing separator.
inline std::string WritePackage(const std::string& folder, const PackageSpec& spec) {
  MakeDirectories(folder);
  auto temp = TemplateFromSpec(spec);
  auto a = EncodeDescriptor(*temp);
  EXPECT_TRUE(a.ok()) << a.message();
  EXPECT_TRUE(WriteFileAtomic(JoinPath(folder, kPreviewDescriptorName), *a).ok());
  if (spec.ResultReadable) {
    EXPECT_TRUE(WriteFileAtomic(JoinPath(folder, kResultDescriptorName), *a).ok());
  } else {
    EXPECT_TRUE(WriteFileAtomic(JoinPath(folder, kResultDescriptorName), std::string_view("\x01xyz")).ok());
  }
  if (spec.Sample) {
    EXPECT_TRUE(WriteFileAtomic(JoinPath(folder, kSampleName), std::string_view("jpeg")).ok());
  }
  return folder;
}

// Gives every slot of the set's preview templates a transform of its own: with
// v = 0.125, 0.25, … in slot order, offsets (v, -v), scales (1 + v, 2 + v),
// the angle degreesPerStep * v, and `flip` set.
inline void SpreadSlotTransforms(TSetNode& set, float degreesPerStep, bool TSlotNode::*flip) {
  float v = 0.125f;
  for (auto& t : set.PreviewTemps)
    for (auto& s : t->Slots) {
      s->OffsetX = v;
      s->OffsetY = -v;
      s->ScaleX = 1 + v;
      s->ScaleY = 2 + v;
      s->Angle = degreesPerStep * v;
      (*s).*flip = true;
      v += 0.125f;
    }
}

// Expects a slot read back to hold the photo, photo type and transform of the
// slot that was written.
inline void ExpectSameSlot(const TSlotNode& got, const TSlotNode& want) {
  // photo, offsets, scales, angle, flips, photo type
  const auto placement = [](const TSlotNode& s) {
    return std::tuple(s.PhotoIndex, s.OffsetX, s.OffsetY, s.ScaleX, s.ScaleY, s.Angle, s.FlipH, s.FlipV,
                      s.PhotoType);
  };
  EXPECT_EQ(placement(got), placement(want));
}

}  // namespace tessaro::testing
