// Fixture for the controller tests: a controller on scripted fakes, with a
// template library, photo files, a working folder and a configuration file
// in a temporary folder. Tests call Check() after every command.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>

#include "Fakes.h"
#include "model/Controller.h"

namespace tessaro::testing {

class ControllerTest : public ::testing::Test {
 protected:
  ControllerTest()
      : FViews{FTemps,   FPhotos, FSets,  FStats,   FDialogs, FProgress,
               FPreview, FWindow, FClock, FDesktop, FPower} {}

  void SetUp() override {
    MakeDirectories(FDir / "app");
    FTemps.OnRowChanged = [this](int oldRow, int newRow) { FCtl->MyListBoxTempRowChanged(oldRow, newRow); };
    Restart();
  }

  // A fresh controller on emptied fakes, started.
  void Restart() {
    FCtl.reset();
    for (FakeRowList* list : {&FTemps, &FPhotos, &FSets, &FStats}) list->Clear();
    FCtl = std::make_unique<TMainController>(FViews, Paths());
    FCtl->SetComposeService(FCompose);
    FCtl->Start();
    Check();
  }

  TControllerPaths Paths() const {
    return TControllerPaths{FDir / "app", FDir / "work/", FDir / "cfg/cfg.ini"};
  }

  void Check() { EXPECT_EQ(FCtl->CheckInvariants(), ""); }

  TMainController& Ctl() { return *FCtl; }
  TSetNode& Set() { return *FCtl->CurrentSet(); }
  TTempNode& Temp(int i) { return *Set().PreviewTemps.at(i); }
  TSlotNode& Slot(int t, int s) { return *Temp(t).Slots.at(s); }

  // A package in the template library whose slot i has placement rectangle
  // (100 i, 100, 100 i + 600, 1000).
  std::string Package(const std::string& name, std::vector<int> types) {
    PackageSpec spec = SlotsSpec(std::move(types));
    for (int i = 0; i < static_cast<int>(spec.SlotTypes.size()); ++i)
      spec.Placements.push_back({i + 1, {100.0f * i, 100, 100.0f * i + 600, 1000}});
    return WritePackage(FDir / ("lib/" + name), spec);
  }

  // Imports packages of the library through the template browser.
  void ImportTemplates(std::vector<std::string> names) {
    TTemplateBrowserResult result;
    result.Confirmed = true;
    result.Folder = FDir / "lib";
    result.Packages = std::move(names);
    FDialogs.ExpectBrowse(result);
    FCtl->ImageButtonTempClick();
    Check();
  }

  std::string PhotoFile(const std::string& name) {
    const std::string path = FDir / ("photos/" + name);
    if (!FileExists(path)) WriteText(path, "photo");
    return path;
  }

  std::vector<std::string> PhotoFiles(std::vector<std::string> names) {
    std::vector<std::string> paths;
    for (const auto& n : names) paths.push_back(PhotoFile(n));
    return paths;
  }

  void ImportPhotos(int filterIndex, std::vector<std::string> names) {
    FDialogs.ExpectOpenPictures(filterIndex, PhotoFiles(std::move(names)));
    FCtl->ImageButtonPhotoClick();
    Check();
  }

  // The delete button on a page whose list is `list`: with no row ticked it
  // only shows `hint`; then the rows `ticked` are ticked and deleted.
  void DeleteTicked(FakeRowList& list, const std::string& hint, std::initializer_list<int> ticked) {
    FDialogs.ExpectInfo(hint);
    FCtl->ButtonDelClick();
    for (int row : ticked) list.SetChecked(row, true);
    FCtl->ButtonDelClick();
    Check();
  }

  // Saves the current set under `name` in the sets folder (unnamed sets ask
  // for the name) and returns the path.
  std::string SaveAs(const std::string& name) {
    const std::string path = FDir / ("sets/" + name + ".cys");
    MakeDirectories(FDir / "sets");
    FDialogs.ExpectSaveName(path);
    FCtl->ButtonSaveSetClick();
    Check();
    return path;
  }

  std::vector<int> PhotoIndices(int t) {
    std::vector<int> out;
    for (const auto& s : Temp(t).Slots) out.push_back(s->PhotoIndex);
    return out;
  }

  test::TempFolder FDir;
  FakeRowList FTemps{4}, FPhotos{4}, FSets{2}, FStats{5};
  FakeDialogs FDialogs;
  FakeProgress FProgress;
  FakePreview FPreview;
  FakeWindow FWindow;
  FakeClock FClock;
  FakeDesktop FDesktop;
  FakePower FPower;
  FakeCompose FCompose;
  TViews FViews;
  std::unique_ptr<TMainController> FCtl;
};

}  // namespace tessaro::testing
