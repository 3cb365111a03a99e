// A working session through the real window, with the dialogs scripted:
// demo templates and photos imported, photos placed by key and double-click,
// the set saved, then read back into a fresh window.
#include <algorithm>
#include <filesystem>

#include "app/tests/MainFormTestBase.h"
#include "base/FileIo.h"

namespace tessaro::testing {
namespace {

const std::string kLibrary = std::string(TESSARO_BINARY_DIR) + "/resources/templates";
const std::string kPhotos = std::string(TESSARO_BINARY_DIR) + "/resources/demo/photos";

std::vector<std::string> Entries(const std::string& folder, bool folders) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    if (e.is_directory() == folders) names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// What a set looks like from the window: rows and the slots' photos.
struct SetPicture {
  std::vector<std::string> TemplateNames, PhotoNames;
  std::vector<std::vector<int>> SlotPhotos;
  friend bool operator==(const SetPicture&, const SetPicture&) = default;
};

SetPicture Picture(TMainForm& window) {
  SetPicture p;
  for (int i = 0; i < window.TempList().Count(); ++i)
    p.TemplateNames.push_back(window.TempList().GetCellText(i, 1));
  for (int i = 0; i < window.PhotoList().Count(); ++i)
    p.PhotoNames.push_back(window.PhotoList().GetCellText(i, 1));
  for (const auto& temp : window.Controller().CurrentSet()->PreviewTemps) {
    std::vector<int> photosOfSlots;
    for (const auto& s : temp->Slots) photosOfSlots.push_back(s->PhotoIndex);
    p.SlotPhotos.push_back(photosOfSlots);
  }
  return p;
}

using Session = MainFormTest;

TEST_F(Session, ImportPlaceSaveAndReloadThroughTheWindow) {
  const std::vector<std::string> packages = Entries(kLibrary, true);
  std::vector<std::string> photos;
  for (const std::string& name : Entries(kPhotos, false)) {
    if (ExtensionOf(name) == ".jpg") photos.push_back(JoinPath(kPhotos, name));
  }
  ASSERT_GE(packages.size(), 2u) << "the demo library is built with the project (target demo_library)";
  ASSERT_GE(photos.size(), 3u) << "the demo photos are built with the project (target demo_photos)";
  photos.resize(3);

  // Two templates through the template browser (F2's button).
  TTemplateBrowserResult browse;
  browse.Confirmed = true;
  browse.Folder = kLibrary;
  browse.Packages = {packages[0], packages[1]};
  FDialogs.ExpectBrowse(browse);
  Click("ImageButtonTemp");
  ASSERT_EQ(Window().TempList().Count(), 2);
  ASSERT_EQ(Ctl().CurrentSet()->PreviewTemps.size(), 2u);

  // Clicking the first template's name selects it and enables its slots.
  ClickCell(Window().TempList(), 0, 1);
  ASSERT_EQ(Ctl().CurTemp, 0);
  const TTempNode& temp = *Ctl().CurrentSet()->PreviewTemps[0];
  const int slotCount = std::min<int>(static_cast<int>(temp.Slots.size()), kSlotButtonCount);
  ASSERT_GE(slotCount, 1);
  for (int i = 0; i < kSlotButtonCount; ++i)
    EXPECT_EQ(Window().SlotButton(i).isEnabled(), i < slotCount) << i;
  EXPECT_FALSE(Window().TemplatePictureFile().empty()) << "the template's picture is shown";
  EXPECT_EQ(Window().SamplePictureFile(), JoinPath(temp.Folder, kSampleName));

  // Three photos; the dialog opens with the filter for all pictures.
  FDialogs.ExpectOpenPictures(1, photos);
  Click("ImageButtonPhoto");
  ASSERT_EQ(Window().PhotoList().Count(), 3);
  EXPECT_EQ(Window().LeftNotebook().currentIndex(), 1) << "importing photos shows the photo page";

  // Digit 1 selects the first slot; a double-click on the third photo's name
  // places it there.
  Key(Qt::Key_1);
  ASSERT_EQ(Ctl().CurSlot, 0);
  EXPECT_TRUE(Window().SlotButton(0).Checked());
  for (int i = 1; i < kSlotButtonCount; ++i) EXPECT_FALSE(Window().SlotButton(i).Checked());
  ClickCell(Window().PhotoList(), 2, 1, /*doubleClick=*/true);
  EXPECT_EQ(temp.Slots[0]->PhotoIndex, 2);
  EXPECT_TRUE(Window().SlotButton(0).State2()) << "the button shows that its slot holds a photo";
  EXPECT_TRUE(Ctl().Modified);
  EXPECT_TRUE(Window().Preview().PhotoPageShown());
  // The photo keys edit the placed photo through the preview.
  Key(Qt::Key_H);
  EXPECT_TRUE(temp.Slots[0]->FlipH);
  Key(Qt::Key_L, Qt::ControlModifier);
  EXPECT_FLOAT_EQ(temp.Slots[0]->Angle, 90.0f);
  Key(Qt::Key_R);
  EXPECT_FLOAT_EQ(temp.Slots[0]->Angle, 89.0f);
  EXPECT_EQ(Ctl().CheckInvariants(), "");

  // Ctrl+S names the unnamed set and writes it.
  const std::string setFile = FDir / "sets/会话.cys";
  ASSERT_TRUE(MakeDirectories(FDir / "sets"));
  FDialogs.ExpectSaveName(setFile);
  Key(Qt::Key_S, Qt::ControlModifier);
  ASSERT_TRUE(FileExists(setFile));
  EXPECT_FALSE(Ctl().Modified);
  EXPECT_EQ(Window().SetList().GetCellText(0, 0), "会话");
  const SetPicture saved = Picture(Window());

  // A fresh window reads it back through the open-set button.
  Close();
  Open();
  FDialogs.ExpectOpenSets({setFile});
  Click("ButtonLoadSet");
  ASSERT_NE(Ctl().CurrentSet(), nullptr);
  EXPECT_EQ(Ctl().CurrentSet()->FileName, setFile);
  EXPECT_EQ(Picture(Window()), saved);
  EXPECT_EQ(Window().SetList().Count(), 1) << "the unnamed start-up set gave way to the opened one";
  EXPECT_EQ(Window().SetInfo().text(), QString::fromUtf8("当前套系：会话"));
  EXPECT_EQ(Ctl().CheckInvariants(), "");
}

TEST_F(Session, OpenSetAtStartReplacesTheUnnamedSet) {
  const std::vector<std::string> packages = Entries(kLibrary, true);
  ASSERT_GE(packages.size(), 1u);
  TTemplateBrowserResult browse;
  browse.Confirmed = true;
  browse.Folder = kLibrary;
  browse.Packages = {packages[0]};
  FDialogs.ExpectBrowse(browse);
  Click("ImageButtonTemp");
  const std::string setFile = FDir / "start.cys";
  FDialogs.ExpectSaveName(setFile);
  Click("ButtonSaveSet");
  ASSERT_TRUE(FileExists(setFile));

  Close();
  Open();
  Window().OpenSetAtStart(setFile);
  EXPECT_EQ(Window().SetList().Count(), 1);
  EXPECT_EQ(Window().SetList().GetCellText(0, 0), "start");
  EXPECT_EQ(Window().TempList().Count(), 1);
  EXPECT_FALSE(Ctl().Modified);
  // A missing file leaves the unnamed set alone.
  Close();
  Open();
  Window().OpenSetAtStart(FDir / "missing.cys");
  EXPECT_EQ(Window().SetList().GetCellText(0, 0), kUnnamedSetName);
  EXPECT_EQ(Window().TempList().Count(), 0);
}

}  // namespace
}  // namespace tessaro::testing
