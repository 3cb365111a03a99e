#include "dialogs/AddTemplate.h"

#include <gtest/gtest.h>

#include <QFileSystemModel>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <filesystem>

#include "controls/MyEdit.h"
#include "dialogs/DialogLook.h"
#include "model/Sizes.h"
#include "testing/TempFolder.h"

namespace tessaro {
namespace {

class AddTempFormTest : public testing::Test {
 protected:
  void SetUp() override {
    AddBuiltInSizes(Sizes);
    Dir.Write("lib/small/brivanto_a.dll", "d");
    Dir.Write("lib/tall/brivanto_a.dll", "d");
    Dir.Write("lib/none/brivanto_a.dll", "d");
    Dir.Write("lib/tall/sub/readme.txt", "a package with a subfolder");
    Dir.Write("lib/group/inner/brivanto_a.dll", "d");
    ASSERT_TRUE(
        QImage(Picture(100, 50)).save(QString::fromStdString(Dir.File("lib/small/Sample.jpg")), "JPG"));
    ASSERT_TRUE(
        QImage(Picture(300, 600)).save(QString::fromStdString(Dir.File("lib/tall/Sample.jpg")), "JPG"));
  }
  static QImage Picture(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::red);
    return image;
  }
  void Open(const std::string& saved, const std::string& bundled) {
    Form = std::make_unique<TAddTempForm>(nullptr, Current, Sizes, saved, bundled);
    Form->ShowInfo = [this](const std::string& text) { Messages.push_back(text); };
    Form->show();
  }
  // Selects exactly `names`, adding the new ones before dropping the others
  // (as a ctrl-click would), so the selection never passes through empty.
  void Select(const std::vector<std::string>& names) {
    auto wanted = [&](QListWidgetItem* item) {
      return std::find(names.begin(), names.end(), item->text().toStdString()) != names.end();
    };
    for (int i = 0; i < Form->ListViewTemp->count(); ++i)
      if (wanted(Form->ListViewTemp->item(i))) Form->ListViewTemp->item(i)->setSelected(true);
    for (int i = 0; i < Form->ListViewTemp->count(); ++i)
      if (!wanted(Form->ListViewTemp->item(i))) Form->ListViewTemp->item(i)->setSelected(false);
  }
  QStringList MenuCaptions() const {
    QStringList captions;
    for (QAction* a : Form->PopupMenuSize->actions())
      if (!a->isSeparator()) captions << a->text();
    return captions;
  }
  test::TempFolder Dir{"add-temp"};
  TSizeList Sizes;
  TSizeNode Current;
  std::unique_ptr<TAddTempForm> Form;
  std::vector<std::string> Messages;
};

TEST_F(AddTempFormTest, StartsAtTheBundledFolderAndListsItsPackages) {
  Open(Dir.File("gone"), Dir.File("lib"));
  EXPECT_EQ(Form->CurrentFolder(), Dir.File("lib"));
  EXPECT_EQ(Form->LabelPath->text().toStdString(), Dir.File("lib"));
  QStringList names;
  for (int i = 0; i < Form->ListViewTemp->count(); ++i) names << Form->ListViewTemp->item(i)->text();
  names.sort();
  EXPECT_EQ(names, (QStringList{"none", "small", "tall"})) << "nested packages wait for their folder";

  // The tree shows the folder that holds packages, never a package.
  EXPECT_TRUE(Form->FolderFilter
                  ->mapFromSource(Form->FolderModel->index(QString::fromStdString(Dir.File("lib/group"))))
                  .isValid());
  EXPECT_FALSE(Form->FolderFilter
                   ->mapFromSource(Form->FolderModel->index(QString::fromStdString(Dir.File("lib/tall"))))
                   .isValid())
      << "a package with subfolders is still no node";

  Form->SetCurrentFolder(Dir.File("lib/group"));
  ASSERT_EQ(Form->ListViewTemp->count(), 1);
  EXPECT_EQ(Form->ListViewTemp->item(0)->text(), "inner");
}

TEST_F(AddTempFormTest, SavedFolderComesFirstAndNoFolderListsNothing) {
  std::filesystem::create_directories(Dir.File("saved"));
  Open(Dir.File("lib/group"), Dir.File("lib"));
  EXPECT_EQ(Form->CurrentFolder(), Dir.File("lib/group"));
  Form.reset();
  Open(Dir.File("gone"), Dir.File("gone too"));
  EXPECT_EQ(Form->CurrentFolder(), "");
  EXPECT_EQ(Form->ListViewTemp->count(), 0);
}

TEST_F(AddTempFormTest, PreviewFollowsTheSingleSelection) {
  Open("", Dir.File("lib"));
  Select({"small"});
  EXPECT_EQ(Form->ImagePreview->geometry(), QRect(75, 100, 100, 50)) << "own size, centred";
  EXPECT_FALSE(Form->ImagePreview->pixmap().isNull());
  Select({"tall"});
  EXPECT_EQ(Form->ImagePreview->geometry(), QRect(63, 1, 124, 248)) << "fitted into 248 x 248";
  Select({"tall", "small"});
  EXPECT_EQ(Form->ImagePreview->geometry(), QRect(63, 1, 124, 248)) << "two selected: unchanged";
  Select({"none"});
  EXPECT_EQ(Form->ImagePreview->geometry(), QRect(63, 1, 124, 248)) << "no Sample.jpg: unchanged";
  EXPECT_FALSE(Form->ImagePreview->pixmap().isNull());
  Form->ListViewTemp->clearSelection();
  EXPECT_TRUE(Form->ImagePreview->pixmap().isNull()) << "cleared";
}

TEST_F(AddTempFormTest, OkChecksSizeThenSelectionAndFocuses) {
  Open("", Dir.File("lib"));
  Select({"small"});
  QTest::mouseClick(Form->ButtonOK, Qt::LeftButton);
  EXPECT_EQ(Messages, std::vector<std::string>{kNoTemplateSizeText});
  EXPECT_EQ(Form->focusWidget(), Form->MyEditSize);
  EXPECT_FALSE(Form->Result());

  Form->SizeMenuClick(4);
  EXPECT_EQ(Current.Name, "10×8  (10英寸)") << "copied at once";
  EXPECT_EQ(Form->MyEditSize->Caption(), "10×8  (10英寸)");
  EXPECT_EQ(Form->EditWidth->text(), "8 英寸");
  EXPECT_EQ(Form->EditHeight->text(), "10 英寸");
  Form->ListViewTemp->clearSelection();
  Messages.clear();
  Form->ButtonOKClick();
  EXPECT_EQ(Messages, std::vector<std::string>{kNoTemplateSelectedText});
  EXPECT_EQ(Form->focusWidget(), Form->ListViewTemp);
  EXPECT_FALSE(Form->Result());

  Select({"tall", "small"});
  Form->ButtonOKClick();
  EXPECT_TRUE(Form->Result());
  const TTemplateBrowserResult result = Form->BrowserResult();
  EXPECT_TRUE(result.Confirmed);
  EXPECT_EQ(result.Folder, Dir.File("lib"));
  std::vector<std::string> packages = result.Packages;
  std::sort(packages.begin(), packages.end());
  EXPECT_EQ(packages, (std::vector<std::string>{"small", "tall"}));
}

TEST_F(AddTempFormTest, DoubleClickActsAsOk) {
  CopySize(Current, *Sizes[0]);
  Open("", Dir.File("lib"));
  Select({"small"});
  QListWidgetItem* item = Form->ListViewTemp->selectedItems().front();
  emit Form->ListViewTemp->itemDoubleClicked(item);
  EXPECT_TRUE(Form->Result());
  EXPECT_EQ(Form->result(), QDialog::Accepted);
  EXPECT_TRUE(Messages.empty());
}

TEST_F(AddTempFormTest, CustomSizeEntryOpensTheDialogAndRebuildsTheMenu) {
  CopySize(Current, *Sizes[2]);
  Open("", Dir.File("lib"));
  EXPECT_EQ(MenuCaptions().size(), kBuiltInSizeCount + 1);
  EXPECT_EQ(MenuCaptions().back(), "自定义尺寸");
  int opened = 0;
  Form->EditCustomSizes = [&](TSizeList& list) {
    ++opened;
    AddSize(list, "R&D  ", kUnitInch, 3, 4, 1, 0);
  };
  Form->SizeMenuClick(kCustomSizeMenuTag);
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(Current.Name, Sizes[2]->Name) << "the shown size stays";
  const QStringList captions = MenuCaptions();
  ASSERT_EQ(captions.size(), kBuiltInSizeCount + 2);
  EXPECT_EQ(captions[kBuiltInSizeCount], "R&&D") << "trimmed, no accelerator";
  Form->SizeMenuClick(Sizes.back()->Id);
  EXPECT_EQ(Current.Name, "R&D  ");
}

TEST_F(AddTempFormTest, PressingTheSizeSelectorOpensItsMenuInThePressedLook) {
  Open("", Dir.File("lib"));
  QTest::mousePress(Form->MyEditSize, Qt::LeftButton, {}, QPoint(20, 10));
  EXPECT_TRUE(Form->PopupMenuSize->isVisible());
  EXPECT_TRUE(Form->MyEditSize->ShowBKBmp2());
  Form->PopupMenuSize->hide();
  EXPECT_FALSE(Form->MyEditSize->ShowBKBmp2()) << "the pressed look goes with the menu";
  QTest::mouseRelease(Form->MyEditSize, Qt::LeftButton, {}, QPoint(20, 10));
}

}  // namespace
}  // namespace tessaro
