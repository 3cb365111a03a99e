#include "app/DialogService.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QKeyEvent>
#include <QMessageBox>
#include <QRegularExpression>

#include "app/tests/ModalAnswer.h"
#include "testing/TempFolder.h"

namespace tessaro {
namespace {

using test::AnswerNextModal;

TEST(MakeMessageBox, KindsHaveTheirIconButtonsAndEscape) {
  struct Case {
    TBoxKind Kind;
    QMessageBox::Icon Icon;
    QMessageBox::StandardButtons Buttons;
    QMessageBox::StandardButton Escape;  // NoButton: the only button
  } cases[] = {
      {TBoxKind::Info, QMessageBox::Information, QMessageBox::Ok, QMessageBox::NoButton},
      {TBoxKind::YesNo, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No},
      {TBoxKind::YesNoCancel, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
       QMessageBox::Cancel},
      {TBoxKind::OkCancel, QMessageBox::Question, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel},
  };
  for (const Case& c : cases) {
    auto box = MakeMessageBox(nullptr, c.Kind, "保存套系", "当前套系已更改，是否保存？");
    SCOPED_TRACE(static_cast<int>(c.Kind));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("保存套系"));
    EXPECT_EQ(box->text(), QStringLiteral("当前套系已更改，是否保存？"));
    EXPECT_EQ(box->icon(), c.Icon);
    EXPECT_EQ(box->standardButtons(), c.Buttons);
    if (c.Escape != QMessageBox::NoButton) {
      EXPECT_EQ(box->escapeButton(), box->button(c.Escape));
    }
    // The program speaks Chinese: no button keeps Qt's English label.
    for (QAbstractButton* b : box->buttons()) {
      EXPECT_FALSE(b->text().contains(QRegularExpression("[A-Za-z]{2,}"))) << b->text().toStdString();
    }
  }
}

// How each question box maps what the user does to the controller's answer.
TEST(TQtDialogService, QuestionsReturnTheAnswerGiven) {
  TQtDialogService dialogs(nullptr);
  auto click = [](QMessageBox::StandardButton which) {
    return [which](QWidget* w) { static_cast<QMessageBox*>(w)->button(which)->click(); };
  };
  auto escape = [](QWidget* w) {
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(w, &key);
  };
  struct Case {
    const char* Name;
    std::function<void(QWidget*)> Act;
    std::function<int()> Ask;
    int Expected;
  } cases[] = {
      {"yes/no: yes", click(QMessageBox::Yes), [&] { return int(dialogs.AskYesNo("取消", "确实?")); },
       int(TAnswer::Yes)},
      {"yes/no: no", click(QMessageBox::No), [&] { return int(dialogs.AskYesNo("取消", "确实?")); },
       int(TAnswer::No)},
      {"yes/no: escape", escape, [&] { return int(dialogs.AskYesNo("取消", "确实?")); }, int(TAnswer::No)},
      {"yes/no/cancel: yes", click(QMessageBox::Yes), [&] { return int(dialogs.AskYesNoCancel("c", "t")); },
       int(TAnswer::Yes)},
      {"yes/no/cancel: no", click(QMessageBox::No), [&] { return int(dialogs.AskYesNoCancel("c", "t")); },
       int(TAnswer::No)},
      {"yes/no/cancel: cancel", click(QMessageBox::Cancel),
       [&] { return int(dialogs.AskYesNoCancel("c", "t")); }, int(TAnswer::Cancel)},
      {"yes/no/cancel: escape", escape, [&] { return int(dialogs.AskYesNoCancel("c", "t")); },
       int(TAnswer::Cancel)},
      {"ok/cancel: ok", click(QMessageBox::Ok), [&] { return int(dialogs.AskOkCancel("c", "t")); }, 1},
      {"ok/cancel: escape", escape, [&] { return int(dialogs.AskOkCancel("c", "t")); }, 0},
  };
  for (const Case& c : cases) {
    AnswerNextModal(c.Act);
    EXPECT_EQ(c.Ask(), c.Expected) << c.Name;
  }
}

TEST(TQtDialogService, ShowInfoUsesTheInformationCaption) {
  TQtDialogService dialogs(nullptr);
  QString title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  AnswerNextModal([&](QWidget* w) {
    auto* box = static_cast<QMessageBox*>(w);
    title = box->windowTitle();
    icon = box->icon();
    box->button(QMessageBox::Ok)->click();
  });
  dialogs.ShowInfo("批量预览完成");
  EXPECT_EQ(title, QString::fromUtf8(kInfoCaption));
  EXPECT_EQ(icon, QMessageBox::Information);
}

TEST(QtNameFilters, TurnsFilterPairsIntoQtFilters) {
  struct Case {
    std::string Pairs;
    QStringList Expected;
  } cases[] = {
      {"套系文件(*.cys)|*.cys", {"套系文件(*.cys)"}},
      {"成品文件(*.psd)|*.psd", {"成品文件(*.psd)"}},
      {"Pictures|*.jpg;*.png|Layered|*.psd", {"Pictures (*.jpg *.png)", "Layered (*.psd)"}},
      {"|*.jpg", {"*.jpg"}},
      {"Dangling name", {}},
      {"No patterns|", {}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(QtNameFilters(c.Pairs), c.Expected) << c.Pairs;
}

TEST(PictureNameFilters, EntriesMatchTheirPictureTypes) {
  const QStringList filters = PictureNameFilters();
  ASSERT_EQ(filters.size(), 3);
  auto matches = [&](int entry, const char* file) {
    return QDir::match(filters[entry].section('(', 1).chopped(1).split(' '), QString::fromUtf8(file));
  };
  struct Case {
    const char* File;
    bool All, Transparent, Opaque;
  } cases[] = {
      {"a.jpg", true, false, true},  {"b.png", true, true, false},   {"c.psd", true, true, false},
      {"d.tiff", true, false, true}, {"e.txt", false, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(matches(0, c.File), c.All) << c.File;
    EXPECT_EQ(matches(1, c.File), c.Transparent) << c.File;
    EXPECT_EQ(matches(2, c.File), c.Opaque) << c.File;
  }
  EXPECT_TRUE(filters[0].startsWith(QStringLiteral("所有图片格式")));
}

TEST(FileDialogs, OpenPictureSelectsTheFilterEntry) {
  const QStringList filters = PictureNameFilters();
  const std::pair<int, int> cases[] = {{1, 0}, {2, 1}, {3, 2}, {0, 0}, {9, 0}};
  for (auto [index, entry] : cases) {
    auto dialog = MakeOpenPictureDialog(nullptr, index);
    EXPECT_EQ(dialog->selectedNameFilter(), filters[entry]) << index;
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
  }
}

TEST(FileDialogs, SaveDialogsAddTheirDefaultExtension) {
  test::TempFolder dir;
  TQtDialogService dialogs(nullptr);
  // QFileDialog hides accept(); QDialog's is public.
  auto accept = [](QWidget* w) { static_cast<QDialog*>(w)->accept(); };

  AnswerNextModal(accept);
  EXPECT_EQ(dialogs.SaveSetFileName("保存套系", dir / "客户A"), dir / "客户A.cys");
  AnswerNextModal(accept);
  EXPECT_EQ(dialogs.SaveResultFileName(dir / "1_套系_1_模板", ".jpg", "成品文件(*.jpg)|*.jpg"),
            dir / "1_套系_1_模板.jpg");
  AnswerNextModal(accept);
  EXPECT_EQ(dialogs.SaveResultFileName(dir / "r.psd", "psd", "成品文件(*.psd)|*.psd"), dir / "r.psd");

  auto saveSet = MakeSaveSetDialog(nullptr, "保存套系", "x");
  EXPECT_TRUE(saveSet->testOption(QFileDialog::DontConfirmOverwrite)) << "no question before replacing";
  EXPECT_EQ(saveSet->acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(MakeOpenSetDialog(nullptr)->fileMode(), QFileDialog::ExistingFiles);
}

TEST(FileDialogs, CancelledPickersGiveNothing) {
  TQtDialogService dialogs(nullptr);
  auto reject = [](QWidget* w) { static_cast<QDialog*>(w)->reject(); };
  AnswerNextModal(reject);
  EXPECT_EQ(dialogs.SaveSetFileName("保存套系", "x"), "");
  AnswerNextModal(reject);
  EXPECT_TRUE(dialogs.OpenPictureFileNames(1).empty());
  AnswerNextModal(reject);
  EXPECT_EQ(dialogs.ChooseFolder("请选择保存文件夹"), "");
}

TEST(FileDialogs, ChosenFolderKeepsItsTrailingSeparator) {
  test::TempFolder dir;
  TQtDialogService dialogs(nullptr);
  QString title;
  AnswerNextModal([&](QWidget* w) {
    auto* d = static_cast<QFileDialog*>(w);
    title = d->windowTitle();
    d->setDirectory(QString::fromStdString(dir.Path()));
    d->selectFile(QString::fromStdString(dir.Path()));
    static_cast<QDialog*>(d)->accept();
  });
  EXPECT_EQ(dialogs.ChooseFolder("请选择保存文件夹（文件重名将被自动覆盖）"), dir.Path() + "/");
  EXPECT_EQ(title, QStringLiteral("请选择保存文件夹（文件重名将被自动覆盖）"));
}

}  // namespace
}  // namespace tessaro
