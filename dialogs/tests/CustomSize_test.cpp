#include "dialogs/CustomSize.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "controls/MyListbox.h"
#include "dialogs/DialogLook.h"
#include "model/Sizes.h"

namespace tessaro {
namespace {

class CustomSizeFormTest : public testing::Test {
 protected:
  void SetUp() override {
    AddBuiltInSizes(Sizes);
    AddSize(Sizes, "first", kUnitInch, 10, 12, 1, 0);
    AddSize(Sizes, "second", kUnitCentimetre, 20, 30, 1, 1);
    AddSize(Sizes, "third", kUnitInch, 5, 7, 1, 0);
    Form = std::make_unique<TCustomSizeForm>(nullptr, Sizes);
    Form->PixelsPerInch = 96;
    Form->ShowInfo = [this](const std::string& text) { Messages.push_back(text); };
    Form->show();
  }
  std::vector<std::string> CustomNames() const {
    std::vector<std::string> names;
    for (TSizeNode* s : CustomSizes(Sizes)) names.push_back(s->Name);
    return names;
  }
  TSizeList Sizes;
  std::unique_ptr<TCustomSizeForm> Form;
  std::vector<std::string> Messages;
};

TEST_F(CustomSizeFormTest, ListsCustomSizesAndDeletesByRowWithoutAsking) {
  ASSERT_EQ(Form->MyListBoxCustomSize->Count(), 3);
  EXPECT_EQ(Form->MyListBoxCustomSize->GetCellText(1, 0), "second");
  EXPECT_EQ(Form->MyListBoxCustomSize->GetCellText(1, 1), "删除");
  Form->MyListBoxCustomSizeTextClick(1, 1);
  EXPECT_EQ(CustomNames(), (std::vector<std::string>{"first", "third"}));
  EXPECT_EQ(Form->MyListBoxCustomSize->Count(), 2);
  EXPECT_EQ(Form->MyListBoxCustomSize->GetCellText(1, 0), "third");
  EXPECT_TRUE(Messages.empty());
}

TEST_F(CustomSizeFormTest, RadiosSwitchLabelsAndDoubleOrHalveTheWidth) {
  Form->EditWidth->setText("10");
  QTest::mouseClick(Form->RadioButtonDouble, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(Form->EditWidth->text(), "20");
  EXPECT_EQ(Form->LabelWidth->text(), "跨页宽度");
  EXPECT_EQ(Form->LabelHeight->text(), "跨页高度");
  QTest::mouseClick(Form->RadioButtonDouble, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(Form->EditWidth->text(), "20") << "the checked radio again changes nothing";
  QTest::mouseClick(Form->RadioButtonSingle, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(Form->EditWidth->text(), "10");
  EXPECT_EQ(Form->LabelWidth->text(), "相册宽度");
  Form->EditWidth->setText("abc");
  QTest::mouseClick(Form->RadioButtonDouble, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(Form->EditWidth->text(), "abc");
}

TEST_F(CustomSizeFormTest, UnitBoxesFollowEachOther) {
  EXPECT_EQ(Form->ComboBoxWidthUnit->currentIndex(), kUnitInch);
  Form->ComboBoxHeightUnit->setCurrentIndex(kUnitCentimetre);
  EXPECT_EQ(Form->ComboBoxWidthUnit->currentIndex(), kUnitCentimetre);
  Form->ComboBoxWidthUnit->setCurrentIndex(kUnitPixel);
  EXPECT_EQ(Form->ComboBoxHeightUnit->currentIndex(), kUnitPixel);
}

TEST_F(CustomSizeFormTest, AddsASpreadAndShowsItAgainFromItsRow) {
  Form->EditSizeName->setText("wide");
  QTest::mouseClick(Form->RadioButtonDouble, Qt::LeftButton, {}, QPoint(5, 5));
  Form->EditWidth->setText("24");
  Form->EditHeight->setText("12");
  QTest::mouseClick(Form->SuiButtonOK, Qt::LeftButton);
  ASSERT_TRUE(Messages.empty()) << Messages.front();
  ASSERT_EQ(Form->MyListBoxCustomSize->Count(), 4);
  const TSizeNode& added = *Sizes.back();
  EXPECT_EQ(added.Name, "wide");
  EXPECT_EQ(added.Width, 12.0f);
  EXPECT_EQ(added.SizeType, 1);
  EXPECT_EQ(Form->MyListBoxCustomSize->GetRow(3)->P, &added);
  EXPECT_EQ(Form->EditSizeName->text(), "wide") << "fields keep their contents";

  // Another size shown, then the spread again: the spread radio and 24 come back.
  Form->MyListBoxCustomSizeTextClick(0, 0);
  EXPECT_TRUE(Form->RadioButtonSingle->isChecked());
  EXPECT_EQ(Form->EditWidth->text(), "10");
  Form->MyListBoxCustomSizeTextClick(1, 0);
  EXPECT_TRUE(Form->RadioButtonDouble->isChecked());
  EXPECT_EQ(Form->EditWidth->text(), "40") << "album width 20 shown doubled";
  EXPECT_EQ(Form->EditHeight->text(), "30");
  EXPECT_EQ(Form->ComboBoxWidthUnit->currentIndex(), kUnitCentimetre);
  EXPECT_EQ(Form->ComboBoxHeightUnit->currentIndex(), kUnitCentimetre);
}

TEST_F(CustomSizeFormTest, FailedAddReportsAndFocusesTheField) {
  struct Case {
    const char *name, *width, *height;
    std::string message;
    QWidget* focus;
  };
  const Case cases[] = {
      {" ", "10", "10", kEmptySizeNameText, Form->EditSizeName},
      {" first ", "10", "10", kDuplicateSizeNameText, Form->EditSizeName},
      {"n", "48.1", "10", std::string(kWidthTooLargeText) + "英寸】", Form->EditWidth},
      {"n", "10", "0", kHeightNotPositiveText, Form->EditHeight},
  };
  for (const Case& c : cases) {
    Messages.clear();
    Form->EditSizeName->setText(c.name);
    Form->EditWidth->setText(c.width);
    Form->EditHeight->setText(c.height);
    Form->SuiButtonOKClick();
    EXPECT_EQ(Messages, std::vector<std::string>{c.message}) << c.name;
    EXPECT_EQ(Form->focusWidget(), c.focus) << c.name;
  }
  EXPECT_EQ(CustomNames().size(), 3u) << "nothing added";
  EXPECT_EQ(Form->MyListBoxCustomSize->Count(), 3);
}

}  // namespace
}  // namespace tessaro
