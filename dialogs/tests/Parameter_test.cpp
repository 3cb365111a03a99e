#include "dialogs/Parameter.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <filesystem>

#include "dialogs/DialogLook.h"
#include "testing/TempFolder.h"

namespace tessaro {
namespace {

class SetFormTest : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(Dir.File("lib"));
    Settings.TempPath = Dir.File("lib");
    Settings.WaterMarkFile = Dir.Write("logo.png", "x");
    Settings.ShowWaterMark = true;
    Settings.AutoResolution = false;
    Settings.Resolution = 200;
    Settings.Orient = 0;
  }
  // Shows the form (FormShow runs) with message boxes recorded.
  void Open() {
    Form = std::make_unique<TSetForm>(nullptr, Settings);
    Form->ShowInfo = [this](const std::string& text) { Messages.push_back(text); };
    Form->show();
  }
  test::TempFolder Dir{"set-form"};
  TAppSettings Settings;
  std::unique_ptr<TSetForm> Form;
  std::vector<std::string> Messages;
};

TEST_F(SetFormTest, OpeningFillsFieldsAndDropsVanishedPathsEvenOnCancel) {
  std::filesystem::remove(Dir.File("lib"));
  Settings.Orient = 7;
  Open();
  EXPECT_EQ(Form->EditTempPath->text(), "");
  EXPECT_EQ(Settings.TempPath, "") << "cleared in the settings themselves";
  EXPECT_TRUE(Form->RadioButtonFixResolution->isChecked());
  EXPECT_TRUE(Form->EditResolution->isEnabled());
  EXPECT_EQ(Form->EditResolution->text(), "200");
  EXPECT_TRUE(Form->PositionButtons[7]->isChecked());
  EXPECT_FALSE(Form->EditMarginH->isEnabled()) << "bottom centre";
  EXPECT_TRUE(Form->EditMarginV->isEnabled());
  QTest::mouseClick(Form->ButtonCancel, Qt::LeftButton);
  EXPECT_EQ(Form->result(), QDialog::Rejected);
  EXPECT_EQ(Settings.TempPath, "");
  EXPECT_EQ(Settings.Resolution, 200);
}

TEST_F(SetFormTest, WatermarkSwitchAndPositionsEnableTheMargins) {
  Settings.ShowWaterMark = false;
  Open();
  for (QWidget* w : std::initializer_list<QWidget*>{Form->EditWatermarkFile, Form->ButtonBrowseWatermark,
                                                    Form->EditMarginH, Form->EditMarginV, Form->EditTrans,
                                                    Form->EditScale, Form->PositionButtons[4]})
    EXPECT_FALSE(w->isEnabled());

  QTest::mouseClick(Form->CheckBoxWatermark, Qt::LeftButton);
  ASSERT_TRUE(Form->CheckBoxWatermark->isChecked());
  EXPECT_TRUE(Form->EditWatermarkFile->isEnabled());
  EXPECT_TRUE(Form->EditMarginH->isEnabled());
  EXPECT_TRUE(Form->EditMarginV->isEnabled());

  struct Case {
    int code;
    bool h, v;
  };
  for (const Case& c :
       {Case{4, false, false}, Case{1, false, true}, Case{3, true, false}, Case{8, true, true}}) {
    QTest::mouseClick(Form->PositionButtons[c.code], Qt::LeftButton, {}, QPoint(7, 7));
    EXPECT_TRUE(Form->PositionButtons[c.code]->isChecked()) << c.code;
    int checked = 0;
    for (QRadioButton* b : Form->PositionButtons) checked += b->isChecked();
    EXPECT_EQ(checked, 1) << c.code;
    EXPECT_EQ(Form->EditMarginH->isEnabled(), c.h) << c.code;
    EXPECT_EQ(Form->EditMarginV->isEnabled(), c.v) << c.code;
  }
  QTest::mouseClick(Form->CheckBoxWatermark, Qt::LeftButton);
  EXPECT_FALSE(Form->EditMarginH->isEnabled());
  EXPECT_FALSE(Form->EditMarginV->isEnabled());
}

TEST_F(SetFormTest, ResolutionRadiosEnableTheField) {
  Open();
  QTest::mouseClick(Form->RadioButtonAutoResolution, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_FALSE(Form->EditResolution->isEnabled());
  QTest::mouseClick(Form->RadioButtonFixResolution, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_TRUE(Form->EditResolution->isEnabled());
}

TEST_F(SetFormTest, EachTextFieldShowsAndReturnsItsOwnValue) {
  Settings.MarginH = 11;
  Settings.MarginV = 22;
  Settings.WaterMarkTrans = 33;
  Settings.WaterMarkScale = 44;
  Settings.ImageEditor = "gimp";
  Open();
  EXPECT_EQ(Form->EditTempPath->text().toStdString(), Dir.File("lib"));
  EXPECT_EQ(Form->EditWatermarkFile->text().toStdString(), Dir.File("logo.png"));
  EXPECT_EQ(Form->EditMarginH->text(), "11");
  EXPECT_EQ(Form->EditMarginV->text(), "22");
  EXPECT_EQ(Form->EditTrans->text(), "33");
  EXPECT_EQ(Form->EditScale->text(), "44");
  EXPECT_EQ(Form->EditImageEditor->text(), "gimp");

  Form->EditTempPath->setText("t");
  Form->EditResolution->setText("r");
  Form->EditWatermarkFile->setText("w");
  Form->EditMarginH->setText("h");
  Form->EditMarginV->setText("v");
  Form->EditTrans->setText("a");
  Form->EditScale->setText("s");
  Form->EditImageEditor->setText("e");
  const TSetFormFields f = Form->Fields();
  EXPECT_EQ(f.TempPath, "t");
  EXPECT_EQ(f.Resolution, "r");
  EXPECT_EQ(f.WatermarkFile, "w");
  EXPECT_EQ(f.MarginH, "h");
  EXPECT_EQ(f.MarginV, "v");
  EXPECT_EQ(f.Trans, "a");
  EXPECT_EQ(f.Scale, "s");
  EXPECT_EQ(f.ImageEditor, "e");
}

TEST_F(SetFormTest, FailedCheckReportsFocusesAndStaysOpen) {
  Open();
  Form->EditTrans->setText("101");
  Form->EditScale->setText("0");
  QTest::mouseClick(Form->ButtonOK, Qt::LeftButton);
  EXPECT_EQ(Messages, std::vector<std::string>{kBadTransText});
  EXPECT_EQ(Form->focusWidget(), Form->EditTrans);
  EXPECT_NE(Form->result(), QDialog::Accepted);
  EXPECT_EQ(Settings.WaterMarkTrans, 60) << "nothing stored";

  // A disabled (centred) margin is still checked.
  QTest::mouseClick(Form->PositionButtons[4], Qt::LeftButton, {}, QPoint(7, 7));
  Form->EditMarginH->setText("abc");
  Form->EditTrans->setText("50");
  Form->EditScale->setText("100");
  Messages.clear();
  Form->ButtonOKClick();
  EXPECT_EQ(Messages, std::vector<std::string>{kBadMarginHText});
  EXPECT_NE(Form->result(), QDialog::Accepted);
}

TEST_F(SetFormTest, OkStoresTheFieldsAndCloses) {
  Open();
  Form->EditResolution->setText(" 300 ");
  Form->EditMarginV->setText("1000");
  QTest::mouseClick(Form->PositionButtons[5], Qt::LeftButton, {}, QPoint(7, 7));
  QTest::mouseClick(Form->ButtonOK, Qt::LeftButton);
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(Form->result(), QDialog::Accepted);
  EXPECT_EQ(Settings.Resolution, 300);
  EXPECT_EQ(Settings.MarginV, 1000);
  EXPECT_EQ(Settings.Orient, 5);
}

TEST_F(SetFormTest, BrowseReplacesTheTextOnlyWhenSomethingWasChosen) {
  Open();
  std::string start;
  std::string answer;
  Form->ChooseFolder = [&](const std::string& from) {
    start = from;
    return answer;
  };
  Form->EditTempPath->setText("  /somewhere  ");
  QTest::mouseClick(Form->ButtonBrowseTempPath, Qt::LeftButton);
  EXPECT_EQ(start, "/somewhere") << "starts at the trimmed text";
  EXPECT_EQ(Form->EditTempPath->text(), "  /somewhere  ") << "cancelled";
  answer = "/chosen";
  QTest::mouseClick(Form->ButtonBrowseTempPath, Qt::LeftButton);
  EXPECT_EQ(Form->EditTempPath->text(), "/chosen");

  Form->ChooseEditorProgram = [] { return std::string("/opt/my editor/run"); };
  QTest::mouseClick(Form->ButtonBrowseEditor, Qt::LeftButton);
  EXPECT_EQ(Form->EditImageEditor->text(), "\"/opt/my editor/run\"") << "quoted so the program stays whole";
}

}  // namespace
}  // namespace tessaro
